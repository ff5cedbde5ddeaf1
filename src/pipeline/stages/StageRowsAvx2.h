#pragma once
// The mosaic noise filter's and the offset stage's row kernels built for AVX2
// (StageRowKernels.h holds them; the portable build is the same source).
// Callers check the processor first (ProcessorHasAvx2).
#include <cstdint>

namespace lumora {

void CfaFilterRowAvx2(const int16_t* r0, const int16_t* r1, const int16_t* r2, const int16_t* r3, const int16_t* r4,
                      const int32_t* thr, int16_t* out, int width, int rowParity);
void AddOffsetsRowAvx2(int16_t* p, int32_t rowOffset, const int16_t* col, int32_t maximum, uint32_t width);

} // namespace lumora
