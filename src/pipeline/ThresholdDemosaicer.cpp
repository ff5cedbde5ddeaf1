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

// One strip row of green; flat[c] marks the colour sites that counted as flat.
void ThresholdGreenRow(const AdaptiveDemosaicer::SensorRows& s, int16_t* planeG, uint8_t* flatRow, int row,
                       int32_t threshold) {
    const int r = row - 1;
    const int w = s.width;
    const int16_t* __restrict x = s.Row(r);
    const int16_t* __restrict up = s.Row(r - 1);
    const int16_t* __restrict down = s.Row(r + 1);
    const int16_t* __restrict up2 = s.Row(r - 2);
    const int16_t* __restrict down2 = s.Row(r + 2);
    int16_t* __restrict g = planeG + ptrdiff_t(row) * w;
    uint8_t* __restrict flat = flatRow;
    const int greenParity = r & 1;
    for (int c = 2; c < w - 2; ++c) {
        const int32_t X = x[c];
        const int32_t gl = x[c - 1], gr = x[c + 1], gu = up[c], gd = down[c];
        const int32_t lh = 2 * X - x[c - 2] - x[c + 2];
        const int32_t lv = 2 * X - up2[c] - down2[c];
        const int32_t dh = std::abs(gl - gr) + std::abs(lh);
        const int32_t dv = std::abs(gu - gd) + std::abs(lv);
        const int32_t gEdge = dv < dh ? asr32(gu + gd + 1, 1) + asr32(lv, 2) : asr32(gl + gr + 1, 1) + asr32(lh, 2);
        const int32_t gFlat = asr32(lh + lv, 3) + asr32(gl + gr + gu + gd + 2, 2);
        const bool edge = dh > threshold || dv > threshold;
        const bool green = (c & 1) == greenParity;
        g[c] = green ? int16_t(X) : wrap16(edge ? gEdge : gFlat);
        flat[c] = uint8_t(!green && !edge);
    }
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
    for (int i = 1; i <= rowsPlus2 - 2; ++i) ThresholdGreenRow(s, planeG, flat.get() + i * w, i, threshold);

    for (int i = 1; i <= rowsPlus2 - 2; ++i) {
        const int16_t* __restrict gu = planeG + (i - 1) * w;
        const int16_t* __restrict gc = planeG + i * w;
        const int16_t* __restrict gd = planeG + (i + 1) * w;
        const uint8_t* __restrict fu = flat.get() + (i - 1) * w;
        const uint8_t* __restrict fc = flat.get() + i * w;
        const uint8_t* __restrict fd = flat.get() + (i + 1) * w;
        int16_t* __restrict out = smoothed.get();
        const int greenParity = (i - 1) & 1;
        for (int c = 2; c < width - 2; ++c) {
            const int count = fc[c - 1] + fc[c + 1] + fu[c] + fd[c];
            const int32_t avg = asr32(int32_t(gc[c - 1]) + gc[c + 1] + gu[c] + gd[c] + 2, 2);
            const bool replace = ((c & 1) == greenParity) && count > 1;
            out[c] = replace ? wrap16(avg) : gc[c];
        }
        std::memcpy(planeG + i * w + 2, out + 2, (w - 4) * sizeof(int16_t));
    }
    return 0;
}

} // namespace lumora
