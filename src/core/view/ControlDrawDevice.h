#pragma once
// The few drawing primitives a custom control needs, in device pixels. The
// application implements them over its window system's device context;
// tests record them. Each answers whether the device did it.
#include "NbRect.h"

#include <cstdint>
#include <string>

namespace NimbalCore {

class ControlDrawDevice {
public:
    // How DrawText places a text in its rectangle.
    enum Alignment : int { AlignLeft = 0, AlignCentre = 1, AlignRight = 2 };

    virtual ~ControlDrawDevice() = default;

    // Both the pen and the fill colour.
    virtual bool SetColor(uint8_t red, uint8_t green, uint8_t blue) = 0;
    virtual bool MoveTo(int32_t x, int32_t y) = 0;
    // A line from the current point; the end becomes the current point.
    virtual bool LineTo(int32_t x, int32_t y) = 0;
    // In the fill colour; right and bottom included.
    virtual bool FillRect(const NbRect& rect) = 0;
    // In white.
    virtual bool EraseRect(const NbRect& rect) = 0;
    // In the interface's default font; any alignment but centre and right
    // is left.
    virtual bool DrawText(const std::string& text, const NbRect& rect, int alignment) = 0;
};

} // namespace NimbalCore
