#include "FpPhaseTables.h"

#include "FpRounding.h"

namespace kestra {

namespace {

struct Stretch {
    int64_t d, h;
};

bool stretch(int32_t n, double s, int32_t T, Stretch& out) {
    if (!(s > 0) || n < 1) return false;
    const double mReal = n * s + 0.99;
    if (!(mReal < 4.0 * kMaxStretchedTaps)) return false;
    int64_t m = int64_t(mReal);
    if (m < n) m = n;
    m = 2 * (m / 2) + 1;
    const double dReal = m / s;
    int64_t d = dReal < 4.0 * kMaxStretchedTaps ? int64_t(dReal) - n : int64_t(T / 2);
    if (d < 0) d = 0;
    if (d > T / 2) d = T / 2;
    const double hReal = ((double(n + d) * s - 1 + 1) * 0.5);
    if (!(hReal < 4.0 * kMaxStretchedTaps)) return false;
    out.d = d;
    out.h = int64_t(hReal);
    return 2 * out.h + 1 <= kMaxStretchedTaps;
}

} // namespace

bool FpStretchedTaps(int32_t n, double s, int32_t T, int32_t& taps) {
    Stretch st;
    if (!stretch(n, s, T, st)) return false;
    taps = int32_t(2 * st.h + 1);
    return true;
}

FpStatus FpBuildPhaseTables(FpPhaseTables& rec, const FpKernelSet& set, double s, int32_t n, int32_t& taps) {
    rec.positions = rec.phases = nullptr;
    const FpKernelTable* table = set.slots[kSlotKernels - 1].table;
    if (!table) return FpNoKernelTable;
    const int32_t T = table->taps, P = table->variants, log2Taps = table->log2Taps;
    rec.scale = s;
    Stretch st;
    if (!stretch(n, s, T, st)) return FpBadKernelSize;
    const int32_t h = int32_t(st.h);
    const int32_t N = 2 * h + 1;
    rec.positions = static_cast<int32_t*>(allocBufferPtr(uint32_t(N) * 4));
    rec.phases = static_cast<int32_t*>(allocBufferPtr(uint32_t(N) * 4));
    if (!rec.positions || !rec.phases) {
        FpFreePhaseTables(rec);
        return FpNoSharedMemory;
    }
    const int32_t c0 = (n + 1) / 2 - 1;
    const double start = c0 - h / s;
    for (int32_t i = 0; i < N; ++i) {
        const double x = i / s + start;
        int32_t k = FpTruncate(x);
        double phi = x - k;
        if (phi < 0) {
            phi = phi + 1;
            k = k - 1;
        }
        int32_t p = FpTruncate(P * phi + 0.5);
        if (p == P) {
            p = 0;
            k = k + 1;
        }
        rec.positions[i] = k - (T / 2 - 1);
        rec.phases[i] = int32_t(uint32_t(p) << log2Taps);
    }
    taps = N;
    return FpOk;
}

void FpFreePhaseTables(FpPhaseTables& rec) {
    if (rec.positions) freeBufferPtr(rec.positions);
    if (rec.phases) freeBufferPtr(rec.phases);
    rec.positions = rec.phases = nullptr;
}

} // namespace kestra
