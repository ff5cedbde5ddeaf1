#include "NbRect.h"

#include "IntOps.h"

namespace NimbalCore {

using lumora::wrapAdd32;
using lumora::wrapSub32;

bool NbRect::IsInside(const NbRect& outer) const {
    return left >= outer.left && top >= outer.top && right <= outer.right && bottom <= outer.bottom;
}

bool NbRect::ContainsPoint(int32_t x, int32_t y) const {
    return left <= x && x <= right && top <= y && y <= bottom;
}

void NbRect::CenterOn(NbPoint p) {
    const int32_t width = wrapAdd32(wrapSub32(right, left), 1);
    const int32_t height = wrapAdd32(wrapSub32(bottom, top), 1);
    left = wrapSub32(p.x, width / 2);
    top = wrapSub32(p.y, height / 2);
    right = wrapSub32(wrapAdd32(left, width), 1);
    bottom = wrapSub32(wrapAdd32(top, height), 1);
}

void NbRect::SwapSizeForRotation(float degrees) {
    if (degrees != 90.0f && degrees != 270.0f) return;
    const int32_t oldRight = right;
    right = wrapAdd32(left, wrapSub32(bottom, top));
    bottom = wrapAdd32(top, wrapSub32(oldRight, left));
}

void NbRect::MoveInside(const NbRect& bounds) {
    if (left < bounds.left) {
        right = wrapAdd32(right, wrapSub32(bounds.left, left));
        left = bounds.left;
    }
    if (right > bounds.right) right = bounds.right;
    if (top < bounds.top) {
        bottom = wrapAdd32(bottom, wrapSub32(bounds.top, top));
        top = bounds.top;
    }
    if (bottom > bounds.bottom) bottom = bounds.bottom;
}

NbPoint NbRect::MoveToOrigin() {
    right = wrapSub32(right, left);
    bottom = wrapSub32(bottom, top);
    left = top = 0;
    return NbPoint{right, bottom};
}

void RotatePoint(NbPoint& p, float degrees, const NbRect& rect) {
    if (!(degrees > -1000.0f && degrees < 1000.0f)) return;
    const int angle = static_cast<int>(degrees); // whole degrees

    const NbPoint q = p;
    switch (angle) {
    case 90:
    case -270: p = NbPoint{wrapSub32(rect.bottom, q.y), q.x}; break;
    case 180:
    case -180: p = NbPoint{wrapSub32(rect.right, q.x), wrapSub32(rect.bottom, q.y)}; break;
    case 270:
    case -90: p = NbPoint{q.y, wrapSub32(rect.right, q.x)}; break;
    default: break;
    }
}

} // namespace NimbalCore
