#pragma once
// One draggable handle of a custom control: its position within an allowed
// range, the rectangle that catches the mouse (relative to the handle's
// origin inside the control) and the axis it is dragged along.
#include "NbRect.h"

#include <cstdint>

namespace NimbalCore {

struct ControlHandle {
    // Drag axes; any other value keeps the handle where drags put 0.
    static constexpr int32_t kDragVertical = 1;
    static constexpr int32_t kDragHorizontal = 2;

    int32_t id = 0;
    int32_t min = 0;
    int32_t max = 0;
    int32_t position = 0;
    NbRect hitRect;
    int32_t dragAxis = 0;
    int32_t originX = 0;
    int32_t originY = 0;
};

} // namespace NimbalCore
