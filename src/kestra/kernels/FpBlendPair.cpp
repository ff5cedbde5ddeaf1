#include "FpBlendPair.h"

#include "FpKernelSums.h"
#include "FpRounding.h"

#include <algorithm>
#include <vector>

namespace kestra {

void FpExpandKernel(const int16_t* k, int32_t n, const int16_t* pair, int32_t f, int16_t* out) {
    const int32_t c = (n - 1) / 2;
    for (int32_t j = 0; j < n; ++j) {
        int32_t v = lumora::wrapMul32(k[j], pair[0]);
        if (j == c) v = lumora::wrapAdd32(v, lumora::shl32(pair[1], unsigned(f)));
        out[j] = FpToTap(FpShiftRound(v, f));
    }
}

void FpResponseRange(const int16_t* k, int32_t n, int16_t& lowest, int16_t& highest) {
    const int32_t h = n / 2;
    double lo = int16_t(FpToTap(FpKernelSum(k, n)));
    double hi = lo;
    for (int32_t j = 1; j <= h; ++j) {
        double x = 1.0;
        double step = 2.0 / j;
        double acc = k[h];
        for (int32_t m = 1; m <= h; ++m) {
            if (x <= -0.99999 || x >= 0.99999) step = -step;
            x = x + step;
            // An even kernel has no tap at h + h: the walk reads it as 0.
            const int32_t right = h + m < n ? k[h + m] : 0;
            acc += (k[h - m] + right) * x;
        }
        lo = std::min(lo, acc);
        hi = std::max(hi, acc);
    }
    lowest = FpToTap(FpTruncate(lo));
    highest = FpToTap(FpTruncate(hi + 0.5));
}

void FpSplitKernel(const int16_t* full, int32_t n, int32_t f, int16_t* out, int16_t* pair) {
    const int32_t c = (n - 1) / 2;
    bool leftZero = true;
    for (int32_t j = 0; j < c; ++j) leftZero = leftZero && full[j] == 0;
    if (c < 1 || leftZero) {
        pair[0] = 0;
        pair[1] = full[c];
        std::fill(out, out + n, int16_t(0));
        return;
    }
    int16_t lo, hi;
    FpResponseRange(full, n, lo, hi);
    if (lo == hi) {
        // A flat response leaves nothing to divide by: the kernel is kept
        // whole, with the pair that gives it back unchanged.
        std::copy(full, full + n, out);
        pair[0] = FpToTap(lumora::shl32(1, unsigned(f)));
        pair[1] = 0;
        return;
    }
    const int32_t s = FpKernelSum(full, n);
    const int32_t mid = (int32_t(lo) + int32_t(hi)) / 2;
    int32_t a, b;
    if (s < mid) {
        a = int32_t(lo) - hi;
        b = hi;
    } else {
        a = int32_t(hi) - lo;
        b = lo;
    }
    std::vector<int16_t> stored(static_cast<size_t>(n));
    for (int32_t j = 0; j < n; ++j) {
        const int32_t v = full[j] - (j == c ? b : 0);
        const int32_t q = int32_t(uint32_t(int64_t(lumora::shl32(v, unsigned(f + 1))) / a));
        stored[size_t(j)] = FpToTap(q >= 0 ? lumora::asr32(lumora::wrapAdd32(q, 1), 1) : lumora::asr32(lumora::wrapSub32(q, 1), 1));
    }
    std::copy(stored.begin(), stored.end(), out);
    pair[0] = FpToTap(a);
    pair[1] = FpToTap(b);
}

} // namespace kestra
