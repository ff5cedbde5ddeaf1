// Concealment of listed bad sensor columns: each listed sample is rebuilt from
// its 5 x 5 neighbourhood (7 columns wide for two bad columns side by side),
// choosing the direction with the least change.
#include <cstdlib>
#include <cstring>

#include "IntOps.h"
#include "RawEngineV3.h"

namespace lumora {

namespace {

struct Entry {
    uint8_t kind;
    uint8_t minimum;
    uint16_t column;
};

Entry ReadEntry(const uint8_t* entries, int32_t i) {
    const uint8_t* p = entries + size_t(i) * BadColumnRecord::kEntryBytes;
    Entry e{p[0], p[1], 0};
    std::memcpy(&e.column, p + 2, sizeof e.column);
    return e;
}

bool Active(const Entry& e, int32_t level) { return e.kind == BadColumnRecord::kConceal && level >= e.minimum; }

// The strip around one sample: S(dr, dc) is dr rows below and dc columns right
// of it; `flip` mirrors the columns (the paired rule is written for the other
// bad column on the left).
class Around {
public:
    Around(const int16_t* at, int32_t stride, bool flip = false) : at_(at), stride_(stride), flip_(flip) {}
    int32_t operator()(int32_t dr, int32_t dc) const {
        return at_[ptrdiff_t(dr) * stride_ + (flip_ ? -dc : dc)];
    }

private:
    const int16_t* at_;
    ptrdiff_t stride_;
    bool flip_;
};

// Kept as a signed 16-bit value, a negative one as 0.
int16_t Store(int32_t v) {
    const int16_t s = wrap16(v);
    return s < 0 ? int16_t(0) : s;
}

int32_t Max3(int32_t a, int32_t b, int32_t c) { return a > b ? (a > c ? a : c) : (b > c ? b : c); }

int32_t SingleColumn(const Around& S, const int16_t* t) {
    const int32_t L = (3 * (S(-1, -1) + S(1, -1) + 1) - S(-2, -1) - S(2, -1) + 2 * S(0, -1)) / 6;
    const int32_t R = (3 * (S(-1, 1) + S(1, 1) + 1) - S(-2, 1) - S(2, 1) + 2 * S(0, 1)) / 6;
    const int32_t g1 = std::abs(S(2, -2) - S(1, -1)) + std::abs(S(1, 1) - S(0, 2)) + std::abs(S(1, -1) - S(-1, 1)) +
                       std::abs(S(0, -2) - S(-1, -1)) + std::abs(S(-1, 1) - S(-2, 2));
    const int32_t g2 = std::abs(L - R) + std::abs(S(0, -2) - L) + std::abs(R - S(0, 2)) +
                       std::abs(S(1, -1) - S(1, 1)) + std::abs(S(-1, -1) - S(-1, 1));
    const int32_t g3 = std::abs(S(1, 1) - S(2, 2)) + std::abs(S(0, -2) - S(1, -1)) + std::abs(S(-1, -1) - S(1, 1)) +
                       std::abs(S(-1, 1) - S(0, 2)) + std::abs(S(-2, -2) - S(-1, -1));
    const int32_t across = (S(0, -2) + S(0, 2)) / 2;
    if (Max3(g1, g2, g3) < t[0]) return across;
    if (g2 < g1 && g2 < g3) {
        const int32_t v = std::abs(2 * S(0, 1) - S(2, 1) - S(-2, 1)) + std::abs(2 * S(0, -1) - S(2, -1) - S(-2, -1)) +
                          std::abs(S(-1, 1) - S(1, 1)) + std::abs(S(-1, -1) - S(1, -1));
        if (v <= t[1]) return (L + R) / 2;
        if (v > t[2]) return across;
        return (21 * L + 21 * R - 5 * S(0, -2) - 5 * S(0, 2) + 16) / 32;
    }
    if (g1 < g3) return (21 * S(1, -1) + 21 * S(-1, 1) - 5 * S(2, -2) - 5 * S(-2, 2) + 16) / 32;
    return (21 * S(-1, -1) + 21 * S(1, 1) - 5 * S(-2, -2) - 5 * S(2, 2) + 16) / 32;
}

int32_t PairedColumn(const Around& P, const int16_t* t) {
    const int32_t g1 = std::abs(P(2, -2) - P(1, -3)) + std::abs(P(0, 2) - P(-1, 1)) + std::abs(P(1, 1) - P(-2, -2));
    const int32_t g2 = std::abs(P(1, 1) - P(1, -3)) + std::abs(P(-1, 1) - P(-1, -3)) + std::abs(P(0, 2) - P(0, -2));
    const int32_t g3 = std::abs(P(-2, -2) - P(-1, -3)) + std::abs(P(0, 2) - P(1, 1)) + std::abs(P(-1, 1) - P(2, -2));
    const int32_t across = (P(0, 2) + P(0, -2)) / 2;
    if (Max3(g1, g2, g3) < t[3]) return across;
    if ((g1 < g3 ? g1 : g3) <= g2) {
        if (g1 < g3) return (P(-2, -2) + 2 * P(1, 1) + 1) / 3;
        return (P(2, -2) + 2 * P(-1, 1) + 1) / 3;
    }
    const int32_t v = std::abs(P(-1, -3) - P(1, -3) - P(1, 1) + P(-1, 1));
    if (v > t[4]) return across;
    return (P(-2, -2) + P(2, -2) + 2 * P(-1, 1) + 2 * P(1, 1) + 2) / 6;
}

// A red or blue site from the mended greens above, below and beside it and its
// own colour two columns away.
int32_t ColourSite(const Around& S) {
    const int32_t s = S(-1, 0) + S(1, 0) + S(0, -1) + S(0, 1);
    const int32_t d1 = (s - S(1, 2) - S(1, -2) - S(-1, 2) - S(-1, -2)) / 2;
    const int32_t d2 = (s - S(-2, 1) - S(2, -1) - S(1, -2) - S(-1, 2)) / 2;
    const int32_t d3 = (s - S(-2, -1) - S(2, 1) - S(1, 2) - S(-1, -2)) / 2;
    if (std::abs(d1) < std::abs(d2) && std::abs(d1) < std::abs(d3)) return (S(0, -2) + S(0, 2) + d1) / 2;
    if (std::abs(d2) < std::abs(d3)) return (S(-2, 2) + S(2, -2) + d2) / 2;
    return (S(-2, -2) + S(2, 2) + d3) / 2;
}

} // namespace

bool RawEngineV3::FindAdjacentBadColumn(int32_t count, int32_t index, int32_t level, const uint8_t* entries,
                                        int32_t* side) {
    if (!entries || index < 0 || index >= count) return false;
    const int32_t column = ReadEntry(entries, index).column;
    for (int32_t i = 0; i < count; ++i) {
        const Entry e = ReadEntry(entries, i);
        if (!Active(e, level)) continue;
        if (e.column + 1 == column || e.column == column + 1) {
            if (side) *side = e.column < column ? 0 : 1;
            return true;
        }
    }
    return false;
}

VqStatus RawEngineV3::ConcealColumns(int16_t* strip, int32_t x, int32_t width, int32_t height, bool colour,
                                     const BadColumnRecord& record) {
    if (!strip) return VQ_ERR_NULL_PLANES;
    const int32_t count = record.count, level = record.level;
    if (count <= 0 || !record.entries) return VQ_OK;
    const int16_t* t = record.thresholds;
    for (int32_t i = 0; i < count; ++i) {
        const Entry e = ReadEntry(record.entries, i);
        if (!Active(e, level)) continue;
        int32_t side = 0;
        const bool paired = FindAdjacentBadColumn(count, i, level, record.entries, &side);
        const int64_t o = int64_t(e.column) - x;
        const int32_t left = paired && side == 0 ? 3 : 2, right = paired && side == 1 ? 3 : 2;
        if (o < left || o + right > int64_t(width) - 1) continue;
        const int32_t first = !colour ? 2 : (o % 2 == 0 ? 2 : 3);
        const int32_t step = colour ? 2 : 1;
        for (int32_t r = first; r <= height - 3; r += step) {
            int16_t* at = strip + size_t(r) * size_t(width) + size_t(o);
            const int32_t v = colour && paired ? PairedColumn(Around(at, width, side == 1), t)
                                               : SingleColumn(Around(at, width), t);
            *at = Store(v);
        }
    }
    if (!colour) return VQ_OK;
    for (int32_t i = 0; i < count; ++i) {
        const Entry e = ReadEntry(record.entries, i);
        if (!Active(e, level)) continue;
        const int64_t o = int64_t(e.column) - x;
        if (o < 2 || o + 2 > int64_t(width) - 1) continue;
        for (int32_t r = o % 2 == 0 ? 3 : 2; r <= height - 3; r += 2) {
            int16_t* at = strip + size_t(r) * size_t(width) + size_t(o);
            *at = Store(ColourSite(Around(at, width)));
        }
    }
    return VQ_OK;
}

VqStatus RawEngineV3::ConcealBadColumns(int16_t* strip, int32_t x, int32_t, int32_t width, int32_t height,
                                        const void* record) {
    if (!record) return VQ_OK;
    BadColumnRecord r;
    std::memcpy(&r, record, sizeof r);
    if (r.enabled == 0 || r.count <= 0) return VQ_OK;
    return ConcealColumns(strip, x, width, height, isColor_ != 0, r);
}

} // namespace lumora
