#pragma once
// What a control draws through: a device and the scale from the logical
// pixels of a 96-dots-per-inch screen to the device's pixels. Every
// coordinate is multiplied by its scale and truncated on its way to the
// device.
#include "ControlDrawDevice.h"
#include "NbPoint.h"
#include "NbRect.h"

#include <cstdint>
#include <string>

namespace NimbalCore {

// A colour of 16-bit components; only 0..255 reach a device.
struct ControlColor {
    uint16_t red = 0;
    uint16_t green = 0;
    uint16_t blue = 0;
};

class ControlDrawContext {
public:
    static constexpr double kLogicalDotsPerInch = 96.0;

    ControlDrawContext(ControlDrawDevice* device, double scaleX = 1.0, double scaleY = 1.0)
        : device_(device), scaleX_(scaleX), scaleY_(scaleY) {}
    // The scales of a device with these resolutions.
    static ControlDrawContext ForDotsPerInch(ControlDrawDevice* device, double dotsPerInchX, double dotsPerInchY) {
        return ControlDrawContext(device, dotsPerInchX / kLogicalDotsPerInch, dotsPerInchY / kLogicalDotsPerInch);
    }

    // The pen and fill colour; false, and nothing changes, when a component
    // is above 255.
    bool SetColor(const ControlColor& color);
    bool MoveTo(int32_t x, int32_t y);
    bool LineTo(int32_t x, int32_t y);
    bool FillRect(const NbRect& rect);
    bool EraseRect(const NbRect& rect);
    bool DrawText(const std::string& text, const NbRect& rect, int alignment);

    NbPoint Scale(NbPoint p) const;
    NbRect Scale(const NbRect& rect) const;
    // Narrower by dx at the left and right, lower by dy at the top and
    // bottom.
    static NbRect Shrink(const NbRect& rect, int32_t dx, int32_t dy);

    double GetScaleX() const { return scaleX_; }
    double GetScaleY() const { return scaleY_; }
    ControlDrawDevice* GetDevice() const { return device_; }

private:
    ControlDrawDevice* device_;
    double scaleX_;
    double scaleY_;
};

} // namespace NimbalCore
