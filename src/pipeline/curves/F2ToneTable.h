#pragma once
// The family-2 engine's tone table: two contrast curves in the curve domain
// (0 ... 3612), joined with the image's transfer tables (linear -> curve domain
// and back) and its output tone curve, into one 4096-entry table for all three
// channels. Rebuilt only when the curve record marks it stale.
#include <cstdint>
#include <vector>

#include "CurveState.h"
#include "VqStatus.h"

namespace lumora {

struct F2TransferTables {
    const uint16_t* curveA = nullptr; // linear 12-bit -> curve domain, at least 4096 entries
    uint32_t curveASize = 0;
    const uint16_t* curveB = nullptr; // curve domain -> linear
    uint32_t curveBSize = 0;
};

class F2ToneTable {
public:
    static constexpr int32_t kEntries = 4096;
    static constexpr int32_t kCurveDomain = 3613;
    static constexpr int32_t kShoulder = 300;
    static constexpr int32_t kSampledBalanceType = 5;

    // Builds (or keeps) the table. The tone curve needs 4096 entries; curve A
    // must hold 4096 entries below 4096. A failure keeps the previous table and
    // leaves the record's toneStale set so the next render tries again.
    VqStatus Build(CurveState& state, const F2TransferTables& tables, const uint16_t* toneCurve,
                   uint32_t toneCurveSize, int32_t balanceType);

    const uint16_t* Table() const { return table_.empty() ? nullptr : table_.data(); }
    uint32_t BuildCount() const { return builds_; }

private:
    VqStatus Compose(const CurveState& state, const F2TransferTables& tables, const uint16_t* toneCurve,
                     int32_t balanceType, std::vector<uint16_t>& out) const;

    std::vector<uint16_t> table_;
    uint32_t builds_ = 0;
};

} // namespace lumora
