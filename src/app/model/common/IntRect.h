#pragma once
// A screen rectangle as the settings and window placements keep it: left and
// top inside, right and bottom just outside (width = right - left).

struct IntRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool IsAllZero() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    // True when the two rectangles share at least one pixel.
    bool Intersects(const IntRect& other) const {
        return !IsEmpty() && !other.IsEmpty() && left < other.right && other.left < right && top < other.bottom &&
               other.top < bottom;
    }
    bool operator==(const IntRect&) const = default;
};
