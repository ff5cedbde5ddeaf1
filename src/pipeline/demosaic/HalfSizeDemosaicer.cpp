#include "HalfSizeDemosaicer.h"

#include <cstddef>

#include "VqStatus.h"

namespace lumora {

HalfSizeDemosaicer::HalfSizeDemosaicer() { parameter_ = 1; }

uint16_t HalfSizeDemosaicer::SetStep(int step) {
    parameter_ = step;
    return 0;
}

uint16_t HalfSizeDemosaicer::Run(int16_t** planeG, int16_t** planeEven, int16_t** planeOdd) {
    if (passThrough_) return GetPassThroughPlanes(planeG, planeEven, planeOdd);
    if (planeG) *planeG = planeG_;
    if (planeEven) *planeEven = planeEven_;
    if (planeOdd) *planeOdd = planeOdd_;
    const int e = parameter_;
    if (e <= 0 || rows_ <= 0 || width_ <= 0) return 0;
    const int outRows = (rows_ / 2) / e;
    const int outCols = (width_ / 2) / e;
    if (outRows == 0 || outCols == 0) return 0;
    if (!strip_ || !planeG_ || !planeEven_ || !planeOdd_) return VQ_ERR_DEMOSAIC_NULL;
    const ptrdiff_t w = width_;
    for (int i = 0; i < outRows; ++i) {
        const int16_t* top = strip_ + ptrdiff_t(2 * i * e) * w;
        const int16_t* bottom = top + w;
        int16_t* g = planeG_ + ptrdiff_t(i) * outCols;
        int16_t* ev = planeEven_ + ptrdiff_t(i) * outCols;
        int16_t* od = planeOdd_ + ptrdiff_t(i) * outCols;
        for (int j = 0; j < outCols; ++j) {
            const ptrdiff_t c = ptrdiff_t(2 * j) * e;
            g[j] = top[c];
            ev[j] = top[c + 1];
            od[j] = bottom[c];
        }
    }
    return 0;
}

} // namespace lumora
