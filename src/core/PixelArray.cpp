#include "PixelArray.h"

namespace NimbalCore {

uint8_t* PixelArray::GetPixelAddress(int32_t x, int32_t y) {
    auto* data = static_cast<uint8_t*>(GetData());
    if (!data) return nullptr;
    return data + int64_t(bytesPerSample_) * channels_ * x + int64_t(rowBytes_) * y;
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
