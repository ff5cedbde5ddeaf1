#pragma once
// A window whose placement is saved and restored.
#include "WindowPlacement.h"

class WindowPlacementTarget {
public:
    virtual ~WindowPlacementTarget() = default;
    virtual WindowPlacement GetPlacement() = 0;
    virtual void SetPlacement(const WindowPlacement& placement) = 0;
};
