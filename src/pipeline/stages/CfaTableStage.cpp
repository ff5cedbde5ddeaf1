#include "CfaTableStage.h"

#include <cstddef>
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "StageRowKernels.h"
#include "StageRowsAvx2.h"
#include "VqStatus.h"

namespace lumora {

CfaTableStage::CfaTableStage()
    : fields_{&width, &height, &size, &redTable, &greenTable, &blueTable} {}

CfaTableStage::~CfaTableStage() = default;

uint32_t CfaTableStage::Run(int16_t* plane) {
    if (size == 0 || !redTable || !greenTable || !blueTable) return 0;
    return Filter(plane, redTable, greenTable, blueTable);
}

namespace {

inline uint16_t Threshold(const uint16_t* table, int32_t v, int32_t last) {
    const int32_t i = v < 0 ? 0 : (v > last ? last : v);
    return table[i];
}

} // namespace

uint32_t CfaTableStage::Filter(int16_t* plane, const uint16_t* red, const uint16_t* green, const uint16_t* blue) {
    if (!plane || !red || !green || !blue) return VQ_ERR_NULL_PLANES;
    const int w = width, h = height;
    // Without table entries there is no threshold to read.
    if (size == 0 || w < 5 || h < 5) return 0;
    const size_t n = size_t(w);
    std::unique_ptr<int16_t[]> ring(new (std::nothrow) int16_t[3 * n]);
    std::unique_ptr<int32_t[]> thr(new (std::nothrow) int32_t[n]);
    if (!ring || !thr) return VQ_ERR_PROCESS_NO_MEMORY;
    const int32_t last = int32_t(size) - 1;
    const bool avx2 = Avx2Chosen(kernel_);
    auto row = [&](int y) { return plane + size_t(y) * n; };
    auto slot = [&](int y) { return ring.get() + size_t(y % 3) * n; };

    for (int y = 2; y < h - 2; ++y) {
        const int16_t* src = row(y);
        // Even rows: green at even columns, red at odd; odd rows: blue at even, green at odd.
        const uint16_t* evenTable = (y & 1) ? blue : green;
        const uint16_t* oddTable = (y & 1) ? green : red;
        for (int x = 2; x < w - 2; x += 2) thr[x] = Threshold(evenTable, src[x], last);
        for (int x = 3; x < w - 2; x += 2) thr[x] = Threshold(oddTable, src[x], last);
        const int16_t* rows[5] = {row(y - 2), row(y - 1), src, row(y + 1), row(y + 2)};
        if (avx2)
            CfaFilterRowAvx2(rows[0], rows[1], rows[2], rows[3], rows[4], thr.get(), slot(y), w, y & 1);
        else
            stage_rows::CfaFilter(rows[0], rows[1], rows[2], rows[3], rows[4], thr.get(), slot(y), w, y & 1);
        // Row y-2 is no longer in any window still to come.
        if (y - 2 >= 2) std::memcpy(row(y - 2) + 2, slot(y - 2) + 2, (n - 4) * sizeof(int16_t));
    }
    for (int y = std::max(2, h - 4); y < h - 2; ++y)
        std::memcpy(row(y) + 2, slot(y) + 2, (n - 4) * sizeof(int16_t));
    return 0;
}

} // namespace lumora
