#include "PixelArray.h"

namespace NimbalCore {

uint8_t* PixelArray::GetPixelAddress(int32_t x, int32_t y) {
    auto* data = static_cast<uint8_t*>(GetData());
    if (!data) return nullptr;
    return data + int64_t(bytesPerSample_) * channels_ * x + int64_t(rowBytes_) * y;
}

PixelLayout PixelArray::GetBufferDescriptor() {
    PixelLayout d{};
    const int32_t b = bytesPerSample_;
    d.sampleType = b == 1 ? PixelSample8 : PixelSample16;
    d.columns = int32_t(bounds_.Width());
    d.rows = int32_t(bounds_.Height());
    d.rowOffset = rowBytes_;
    uint8_t* p = GetPixelAddress(0, 0);
    auto at = [&](int32_t n) -> void* { return p ? p + int64_t(n) * b : nullptr; };
    switch (pixelType_) {
    case Gray: d.channels = 1, d.columnOffset = b, d.base[0] = d.base[1] = d.base[2] = at(0); break;
    case RGB: d.channels = 3, d.columnOffset = 3 * b, d.base[0] = at(0), d.base[1] = at(1), d.base[2] = at(2); break;
    case BGR: d.channels = 3, d.columnOffset = 3 * b, d.base[0] = at(2), d.base[1] = at(1), d.base[2] = at(0); break;
    case XRGB: d.channels = 3, d.columnOffset = 4 * b, d.base[0] = at(1), d.base[1] = at(2), d.base[2] = at(3); break;
    case BGRX: d.channels = 3, d.columnOffset = 4 * b, d.base[0] = at(2), d.base[1] = at(1), d.base[2] = at(0); break;
    default: break;
    }
    return d;
}

PixelLayout PixelArray::DescribeRect(const NbRect& r) {
    PixelLayout d = GetBufferDescriptor();
    const int64_t offset = int64_t(d.columnOffset) * r.left + int64_t(rowBytes_) * r.top;
    for (void*& base : d.base)
        if (base) base = static_cast<uint8_t*>(base) + offset;
    d.columns = int32_t(r.Width());
    d.rows = int32_t(r.Height());
    return d;
}

void PixelArray::SetPixelType(int32_t type) {
    pixelType_ = type;
    switch (type) {
    case Gray: channels_ = 1; break;
    case XRGB:
    case BGRX:
    case FourSample: channels_ = 4; break;
    default: channels_ = 3; break;
    }
}

} // namespace NimbalCore
