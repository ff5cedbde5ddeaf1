#include "F2ToneTable.h"

#include <algorithm>
#include <new>

#include "KnotCurve.h"

namespace lumora {

VqStatus F2ToneTable::Build(CurveState& state, const F2TransferTables& tables, const uint16_t* toneCurve,
                            uint32_t toneCurveSize, int32_t balanceType) {
    if (!toneCurve) return VQ_ERR_BAD_HANDLE;
    bool stale = state.toneStale != 0;
    state.toneStale = 0;
    if (table_.empty()) stale = true;
    else if (!stale) return 0;

    // The composition indexes these tables by each other's values: check their
    // sizes and the values used as indices once, before anything is built.
    VqStatus status = 0;
    if (!tables.curveA || !tables.curveB) status = VQ_ERR_BAD_HANDLE;
    else if (tables.curveASize < uint32_t(kEntries) || tables.curveBSize == 0 || toneCurveSize < uint32_t(kEntries))
        status = VQ_ERR_BAD_SAMPLE;
    else if (std::any_of(tables.curveA, tables.curveA + kEntries, [](uint16_t v) { return v >= kEntries; }))
        status = VQ_ERR_BAD_SAMPLE;

    std::vector<uint16_t> built;
    if (status == 0) {
        try {
            built.resize(kEntries);
        } catch (const std::bad_alloc&) {
            status = VQ_ERR_PROCESS_NO_MEMORY;
        }
    }
    if (status == 0) status = Compose(state, tables, toneCurve, balanceType, built);
    if (status != 0) {
        state.toneStale = 1;
        return status;
    }
    table_.swap(built);
    ++builds_;
    return 0;
}

VqStatus F2ToneTable::Compose(const CurveState& state, const F2TransferTables& tables, const uint16_t* toneCurve,
                              int32_t balanceType, std::vector<uint16_t>& out) const {
    std::vector<int32_t> work;
    try {
        work.resize(3 * kEntries);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_PROCESS_NO_MEMORY;
    }
    int32_t* c1 = work.data();
    int32_t* c2 = c1 + kEntries;
    int32_t* t = c2 + kEntries;
    const int32_t m = balanceType == kSampledBalanceType ? state.sampledLevel : int32_t(state.midLevel);
    if (const VqStatus s = NineKnotCurve(state.blackLevel, m, state.whiteLevel, state.midLevel, kShoulder, 1,
                                         kCurveDomain, c1))
        return s;
    if (const VqStatus s = SevenKnotCurve(state.midLevel, kShoulder, 1, kCurveDomain, c2)) return s;

    // Curve values are taken as indices: negative ones count as 0.
    const int32_t last = kCurveDomain - 1;
    auto index = [](int32_t v, int32_t top) { return std::clamp(v, 0, top); };
    for (int32_t j = 0; j < kEntries; ++j)
        t[j] = std::min(c2[index(c1[std::min(j, last)], last)], kEntries - 1);
    const int32_t bSize = int32_t(std::min<uint32_t>(tables.curveBSize, uint32_t(INT32_MAX)));
    for (int32_t k = 0; k < kEntries; ++k) {
        const int32_t v = index(t[tables.curveA[k]], kEntries - 1);
        const uint16_t u = v < bSize ? tables.curveB[v] : tables.curveB[bSize - 1];
        out[size_t(k)] = std::min<uint16_t>(toneCurve[std::min<int32_t>(u, kEntries - 1)], kEntries - 1);
    }
    return 0;
}

} // namespace lumora
