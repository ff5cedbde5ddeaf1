#include "ControlDrawContext.h"

#include "IntOps.h"

#include <cmath>
#include <cstdint>

namespace NimbalCore {

namespace {

// v × scale, truncated; what no int32 can hold is held at its end.
int32_t ScaleCoordinate(int32_t v, double scale) {
    const double scaled = std::trunc(double(v) * scale);
    if (!(scaled >= double(INT32_MIN))) return std::isnan(scaled) ? 0 : INT32_MIN;
    if (scaled > double(INT32_MAX)) return INT32_MAX;
    return int32_t(scaled);
}

} // namespace

bool ControlDrawContext::SetColor(const ControlColor& color) {
    if (!device_ || color.red > 255 || color.green > 255 || color.blue > 255) return false;
    return device_->SetColor(uint8_t(color.red), uint8_t(color.green), uint8_t(color.blue));
}

bool ControlDrawContext::MoveTo(int32_t x, int32_t y) {
    const NbPoint p = Scale(NbPoint{x, y});
    return device_ && device_->MoveTo(p.x, p.y);
}

bool ControlDrawContext::LineTo(int32_t x, int32_t y) {
    const NbPoint p = Scale(NbPoint{x, y});
    return device_ && device_->LineTo(p.x, p.y);
}

bool ControlDrawContext::FillRect(const NbRect& rect) { return device_ && device_->FillRect(Scale(rect)); }

bool ControlDrawContext::EraseRect(const NbRect& rect) { return device_ && device_->EraseRect(Scale(rect)); }

bool ControlDrawContext::DrawText(const std::string& text, const NbRect& rect, int alignment) {
    return device_ && device_->DrawText(text, Scale(rect), alignment);
}

NbPoint ControlDrawContext::Scale(NbPoint p) const {
    return NbPoint{ScaleCoordinate(p.x, scaleX_), ScaleCoordinate(p.y, scaleY_)};
}

NbRect ControlDrawContext::Scale(const NbRect& rect) const {
    return NbRect(ScaleCoordinate(rect.left, scaleX_), ScaleCoordinate(rect.top, scaleY_),
                  ScaleCoordinate(rect.right, scaleX_), ScaleCoordinate(rect.bottom, scaleY_));
}

NbRect ControlDrawContext::Shrink(const NbRect& rect, int32_t dx, int32_t dy) {
    return NbRect(lumora::wrapAdd32(rect.left, dx), lumora::wrapAdd32(rect.top, dy),
                  lumora::wrapSub32(rect.right, dx), lumora::wrapSub32(rect.bottom, dy));
}

} // namespace NimbalCore
