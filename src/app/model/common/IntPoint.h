#pragma once
// A point in window or image pixels.

struct IntPoint {
    int x = 0;
    int y = 0;
    bool operator==(const IntPoint&) const = default;
};
