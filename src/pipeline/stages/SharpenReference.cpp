#include "SharpenReference.h"

#include <cstddef>
#include <utility>
#include <vector>

#include "IntOps.h"
#include "SharpenStage.h"
#include "VqStatus.h"

namespace lumora::reference {

uint32_t Sharpen(int16_t* plane1, int16_t* plane2, int16_t* plane3, const SharpenParameters& p) {
    if (p.mode != 0 && p.mode != 2) return 0;
    if (p.divisor == 0 || p.width < 5 || p.height < 5) return 0;
    const int w = p.width, h = p.height;
    std::vector<int16_t> table(4096);
    SharpenStage::BuildCoringTable(table.data(), p.gain, p.coreLow, p.coreHigh, p.linearEnd, p.cutoff);
    const int16_t* k = p.kernelBlock + 3;
    const int kernelClass = SharpenStage::ClassifyKernel(k, p.divisor);
    const bool shifted = kernelClass % 2 == 0;
    if (shifted && !(p.divisor > 0 && (p.divisor & (p.divisor - 1)) == 0)) return VQ_ERR_BAD_FILE;
    unsigned shift = 0;
    while (shifted && (int64_t(1) << shift) < p.divisor) ++shift;

    // The kernel is read as symmetric: tap (dr, dc) is K(2 + |dr|, 2 + |dc|) with
    // |dr| <= |dc| after transposition; the sparse classes drop the odd offsets.
    auto tap = [&](int dr, int dc) -> int32_t {
        int a = dr < 0 ? -dr : dr, b = dc < 0 ? -dc : dc;
        if (a > b) std::swap(a, b);
        if (kernelClass >= 5) return (a == 0 && b == 0) ? k[12] : ((a % 2 == 0 && b == 2) ? -1 : 0);
        if (kernelClass >= 3 && (a % 2 || b % 2)) return 0;
        return k[(2 + a) * 5 + 2 + b];
    };
    std::vector<int16_t> detail(size_t(w) * h, 0);
    for (int y = 2; y < h - 2; ++y)
        for (int x = 2; x < w - 2; ++x) {
            uint32_t s = 0;
            for (int dr = -2; dr <= 2; ++dr)
                for (int dc = -2; dc <= 2; ++dc)
                    s += uint32_t(tap(dr, dc)) * uint32_t(int32_t(plane2[size_t(y + dr) * w + x + dc]));
            const int32_t sum = int32_t(s);
            detail[size_t(y) * w + x] = wrap16(shifted ? asr32(sum, shift) : int32_t(int64_t(sum) / p.divisor));
        }
    for (size_t i = 0; i < detail.size(); ++i) {
        const int32_t t = SharpenStage::CoringLookup(table.data(), detail[i]);
        if (p.mode == 0) {
            for (int16_t* q : {plane1, plane2, plane3}) {
                const int16_t v = wrap16(q[i] + t);
                q[i] = v < 0 ? int16_t(0) : v;
            }
        } else {
            int32_t v = plane2[i] + t;
            if (v < 0) v = 0;
            if (v > p.maximum) v = p.maximum;
            plane2[i] = int16_t(v);
        }
    }
    return 0;
}

} // namespace lumora::reference
