// Built with -mavx2 (this file only); reached only when the processor has it.
#include "GreenRowsAvx2.h"

#include "GreenRowKernels.h"

namespace lumora {

void AdaptiveGreenRowAvx2(const int16_t* x, const int16_t* up, const int16_t* down, const int16_t* up2,
                          const int16_t* down2, int16_t* g, int w, int greenParity) {
    green_rows::Adaptive(x, up, down, up2, down2, g, w, greenParity);
}

void ThresholdGreenRowAvx2(const int16_t* x, const int16_t* up, const int16_t* down, const int16_t* up2,
                           const int16_t* down2, int16_t* g, int16_t* flag, uint8_t* flat, int w, int greenParity,
                           int32_t threshold) {
    green_rows::Threshold(x, up, down, up2, down2, g, flag, w, greenParity, threshold);
    green_rows::Flags(flag, flat, w);
}

void ResmoothGreenRowAvx2(const int16_t* gu, const int16_t* gc, const int16_t* gd, const uint8_t* fu,
                          const uint8_t* fc, const uint8_t* fd, int16_t* out, int w, int greenParity, int32_t need) {
    green_rows::Resmooth(gu, gc, gd, fu, fc, fd, out, w, greenParity, need);
}

} // namespace lumora
