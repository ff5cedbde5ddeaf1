#pragma once
// The demosaicers' green row kernels built for AVX2 (GreenRowKernels.h holds
// them; the portable build is the same source). Callers check the processor
// first (ProcessorHasAvx2).
#include <cstdint>

namespace lumora {

void AdaptiveGreenRowAvx2(const int16_t* x, const int16_t* up, const int16_t* down, const int16_t* up2,
                          const int16_t* down2, int16_t* g, int w, int greenParity);
void ThresholdGreenRowAvx2(const int16_t* x, const int16_t* up, const int16_t* down, const int16_t* up2,
                           const int16_t* down2, int16_t* g, int16_t* flag, uint8_t* flat, int w, int greenParity,
                           int32_t threshold);
void ResmoothGreenRowAvx2(const int16_t* gu, const int16_t* gc, const int16_t* gd, const uint8_t* fu,
                          const uint8_t* fc, const uint8_t* fd, int16_t* out, int w, int greenParity, int32_t need);

} // namespace lumora
