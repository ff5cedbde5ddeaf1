#include "ThresholdDemosaicer.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "IntOps.h"
#include "VqStatus.h"

namespace lumora {

uint16_t ThresholdDemosaicer::SetThreshold(int value) {
    threshold_ = value;
    return 0;
}

namespace {

// One strip row of green; flag[c] marks the colour sites that counted as flat.
// Plain pointer parameters marked restrict let the compiler vectorise the row.
void ThresholdGreenRow(const int16_t* __restrict x, const int16_t* __restrict up, const int16_t* __restrict down,
                       const int16_t* __restrict up2, const int16_t* __restrict down2, int16_t* __restrict g,
                       int16_t* __restrict flag, int w, int greenParity, int32_t threshold) {
    for (int c = 2; c < w - 2; ++c) {
        const int32_t X = x[c];
        const int32_t gl = x[c - 1], gr = x[c + 1], gu = up[c], gd = down[c];
        const int32_t lh = 2 * X - x[c - 2] - x[c + 2];
        const int32_t lv = 2 * X - up2[c] - down2[c];
        const int32_t dh = std::abs(gl - gr) + std::abs(lh);
        const int32_t dv = std::abs(gu - gd) + std::abs(lv);
        const int32_t gV = asr32(gu + gd + 1, 1) + asr32(lv, 2);
        const int32_t gH = asr32(gl + gr + 1, 1) + asr32(lh, 2);
        const int32_t gEdge = dv < dh ? gV : gH;
        const int32_t gFlat = asr32(lh + lv, 3) + asr32(gl + gr + gu + gd + 2, 2);
        const int32_t edge = (dh > threshold) | (dv > threshold);
        const int32_t colour = (c & 1) ^ greenParity;
        g[c] = colour ? wrap16(edge ? gEdge : gFlat) : int16_t(X);
        flag[c] = int16_t(colour & (edge ^ 1));
    }
}

void FlagsToBytes(const int16_t* __restrict flag, uint8_t* __restrict out, int w) {
    for (int c = 2; c < w - 2; ++c) out[c] = uint8_t(flag[c]);
}

} // namespace

uint16_t ThresholdDemosaicer::InterpolateGreen(const int16_t* contextAbove, const int16_t* strip,
                                               const int16_t* contextBelow, int16_t* planeG, int rowsPlus2,
                                               int width) {
    if (uint16_t st = CheckGreenArguments(contextAbove, strip, contextBelow, planeG, rowsPlus2, width))
        return st;
    const size_t w = size_t(width);
    // Flat marks of the colour sites; a green's count of flat neighbours is the
    // sum of the marks around it.
    std::unique_ptr<uint8_t[]> flat(new (std::nothrow) uint8_t[size_t(rowsPlus2) * w]());
    std::unique_ptr<int16_t[]> smoothed(new (std::nothrow) int16_t[w]);
    if (!flat || !smoothed) return VQ_ERR_PROCESS_NO_MEMORY;

    const SensorRows s{contextAbove, strip, contextBelow, rowsPlus2 - 2, width};
    const int32_t threshold = int16_t(uint16_t(uint32_t(threshold_)));
    AdaptiveGreenRow(s, planeG, 0);
    AdaptiveGreenRow(s, planeG, rowsPlus2 - 1);
    for (int i = 1; i <= rowsPlus2 - 2; ++i) {
        const int r = i - 1;
        ThresholdGreenRow(s.Row(r), s.Row(r - 1), s.Row(r + 1), s.Row(r - 2), s.Row(r + 2), planeG + i * w,
                          smoothed.get(), width, r & 1, threshold);
        FlagsToBytes(smoothed.get(), flat.get() + i * w, width);
    }
    for (int i = 1; i <= rowsPlus2 - 2; ++i) {
        // Measured greens with at least two flat neighbours are re-smoothed.
        ResmoothGreenRow(planeG + (i - 1) * w, planeG + i * w, planeG + (i + 1) * w, flat.get() + (i - 1) * w,
                         flat.get() + i * w, flat.get() + (i + 1) * w, smoothed.get(), width, (i - 1) & 1, 2);
        std::memcpy(planeG + i * w + 2, smoothed.get() + 2, (w - 4) * sizeof(int16_t));
    }
    return 0;
}

} // namespace lumora
