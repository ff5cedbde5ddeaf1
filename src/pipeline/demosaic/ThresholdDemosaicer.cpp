#include "ThresholdDemosaicer.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "GreenRowKernels.h"
#include "GreenRowsAvx2.h"
#include "VqStatus.h"

namespace lumora {

uint16_t ThresholdDemosaicer::SetThreshold(int value) {
    threshold_ = value;
    return 0;
}

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
    const bool avx2 = Avx2Runs();
    AdaptiveGreenRow(s, planeG, 0);
    AdaptiveGreenRow(s, planeG, rowsPlus2 - 1);
    for (int i = 1; i <= rowsPlus2 - 2; ++i) {
        const int r = i - 1;
        int16_t* g = planeG + i * w;
        uint8_t* f = flat.get() + i * w;
        if (avx2) {
            ThresholdGreenRowAvx2(s.Row(r), s.Row(r - 1), s.Row(r + 1), s.Row(r - 2), s.Row(r + 2), g,
                                  smoothed.get(), f, width, r & 1, threshold);
        } else {
            green_rows::Threshold(s.Row(r), s.Row(r - 1), s.Row(r + 1), s.Row(r - 2), s.Row(r + 2), g,
                                  smoothed.get(), width, r & 1, threshold);
            green_rows::Flags(smoothed.get(), f, width);
        }
    }
    for (int i = 1; i <= rowsPlus2 - 2; ++i) {
        // Measured greens with at least two flat neighbours are re-smoothed.
        const int16_t* gu = planeG + (i - 1) * w;
        const uint8_t* fu = flat.get() + (i - 1) * w;
        if (avx2)
            ResmoothGreenRowAvx2(gu, gu + w, gu + 2 * w, fu, fu + w, fu + 2 * w, smoothed.get(), width, (i - 1) & 1,
                                 2);
        else
            green_rows::Resmooth(gu, gu + w, gu + 2 * w, fu, fu + w, fu + 2 * w, smoothed.get(), width, (i - 1) & 1,
                                 2);
        std::memcpy(planeG + i * w + 2, smoothed.get() + 2, (w - 4) * sizeof(int16_t));
    }
    return 0;
}

} // namespace lumora
