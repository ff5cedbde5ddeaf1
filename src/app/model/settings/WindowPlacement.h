#pragma once
// A window's placement as it is saved and restored: how it is shown, its
// minimised and maximised positions and its normal rectangle.
#include "IntRect.h"

struct WindowPlacement {
    static constexpr int kLength = 44;
    enum ShowCmd : int { kHide = 0, kShowNormal = 1, kShowMinimized = 2, kShowMaximized = 3 };

    int length = kLength;
    int flags = 0;
    int showCmd = 0;
    int minX = 0, minY = 0;
    int maxX = 0, maxY = 0;
    IntRect normal;

    bool operator==(const WindowPlacement&) const = default;
};
