// Built with -mavx2 (this file only); reached only when the processor has it.
#include "StageRowsAvx2.h"

#include "StageRowKernels.h"

namespace lumora {

void CfaFilterRowAvx2(const int16_t* r0, const int16_t* r1, const int16_t* r2, const int16_t* r3, const int16_t* r4,
                      const int32_t* thr, int16_t* out, int width, int rowParity) {
    stage_rows::CfaFilter(r0, r1, r2, r3, r4, thr, out, width, rowParity);
}

void AddOffsetsRowAvx2(int16_t* p, int32_t rowOffset, const int16_t* col, int32_t maximum, uint32_t width) {
    stage_rows::AddOffsets(p, rowOffset, col, maximum, width);
}

} // namespace lumora
