#pragma once
// The core's integer rectangle. Right and bottom belong to it, so the width is
// right - left + 1; the all-zero rectangle is "null".
#include "NbPoint.h"

#include <cstdint>

namespace NimbalCore {

struct NbRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    NbRect() = default;
    NbRect(int32_t l, int32_t t, int32_t r, int32_t b) : left(l), top(t), right(r), bottom(b) {}

    bool operator==(const NbRect& other) const {
        return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
    }
    bool operator!=(const NbRect& other) const { return !(*this == other); }

    int64_t Width() const { return int64_t(right) - left + 1; }
    int64_t Height() const { return int64_t(bottom) - top + 1; }

    void Clear() { *this = NbRect(); }
    bool IsNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    bool IsInside(const NbRect& outer) const;
    bool ContainsPoint(int32_t x, int32_t y) const;
    // Raw crops start on an even and end on an odd coordinate.
    bool HasOddLeftOrEvenRight() const { return (left & 1) != 0 || (right & 1) == 0; }
    bool HasOddTopOrEvenBottom() const { return (top & 1) != 0 || (bottom & 1) == 0; }
    // Same size, centred on p (the extra pixel of an even size goes right
    // and down).
    void CenterOn(NbPoint p);
    // For a quarter turn (exactly 90 or 270 degrees): same corner, width and
    // height exchanged.
    void SwapSizeForRotation(float degrees);
    // Moves right and down onto bounds, then cuts what sticks out to the
    // right and below; never moves left or up.
    void MoveInside(const NbRect& bounds);
    // Moves the corner to (0, 0); answers the new right and bottom.
    NbPoint MoveToOrigin();
};

// Turns a point of an image whose native rectangle (from 0, 0) is rect into
// the image turned clockwise by degrees (quarter turns; other angles leave it).
void RotatePoint(NbPoint& p, float degrees, const NbRect& rect);

} // namespace NimbalCore
