#include "MonoSubsampler.h"

#include <cstddef>

#include "VqStatus.h"

namespace lumora {

uint16_t MonoSubsampler::Run(int16_t** planeG, int16_t** planeEven, int16_t** planeOdd) {
    if (passThrough_) return GetPassThroughPlanes(planeG, planeEven, planeOdd);
    const int step = parameter_;
    if (step <= 0) return GetPassThroughPlanes(planeG, planeEven, planeOdd);
    if (planeG) *planeG = planeG_;
    if (planeEven) *planeEven = planeG_;
    if (planeOdd) *planeOdd = planeG_;
    if (rows_ <= 0 || width_ <= 0) return 0;
    const int a = 2 * step;
    const int outRows = rows_ / a;
    const int outCols = width_ / a;
    if (outRows == 0 || outCols == 0) return 0;
    if (!strip_ || !planeG_) return VQ_ERR_DEMOSAIC_NULL;
    const ptrdiff_t w = width_;
    for (int i = 0; i < outRows; ++i) {
        const int16_t* src = strip_ + ptrdiff_t(i) * a * w;
        int16_t* dst = planeG_ + ptrdiff_t(i) * outCols;
        for (int j = 0; j < outCols; ++j) dst[j] = src[ptrdiff_t(j) * a];
    }
    return 0;
}

} // namespace lumora
