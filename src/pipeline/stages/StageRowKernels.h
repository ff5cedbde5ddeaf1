#pragma once
// Row kernels of the mosaic noise filter and of the offset stage, written once
// and built twice: into the portable code and, in StageRowsAvx2.cpp only, for
// AVX2. Everything here has internal linkage and calls nothing outside this
// file, so the linker can never let one build's copy stand in for the other's.
#include <cstdint>

namespace lumora::stage_rows {

// One output row of the mosaic noise filter (rows: the five input rows around
// it; thr: each column's threshold). Every column computes the eight
// same-colour samples at distance two; the four diagonal neighbours count only
// at green sites, through a mask, so the loop has no per-sample branch. The
// mean is a float division: the sums stay below 2^19, where a correctly rounded
// quotient truncates to the integer result.
static inline void CfaFilter(const int16_t* __restrict r0, const int16_t* __restrict r1,
                             const int16_t* __restrict r2, const int16_t* __restrict r3,
                             const int16_t* __restrict r4, const int32_t* __restrict thr, int16_t* __restrict out,
                             int width, int rowParity) {
    for (int x = 2; x < width - 2; ++x) {
        const int32_t v = r2[x];
        const int32_t lo = v - thr[x], hi = v + thr[x];
        const int32_t green = ((x ^ rowParity) & 1) == 0 ? -1 : 0;
        int32_t s = v, k = 1;
        auto take = [&](int32_t n, int32_t mask) {
            const int32_t in = (n >= lo && n <= hi) ? mask : 0;
            s += n & in;
            k -= in;
        };
        take(r0[x - 2], -1);
        take(r0[x], -1);
        take(r0[x + 2], -1);
        take(r4[x - 2], -1);
        take(r4[x], -1);
        take(r4[x + 2], -1);
        take(r2[x - 2], -1);
        take(r2[x + 2], -1);
        take(r1[x - 1], green);
        take(r1[x + 1], green);
        take(r3[x - 1], green);
        take(r3[x + 1], green);
        out[x] = int16_t(int32_t(float(s + k / 2) / float(k)));
    }
}

// One row of the offset stage: the row's offset and each column's (col may be
// null), added with 32-bit wrap-around, taken mod 2^16 and limited to
// 0 ... maximum.
static inline void AddOffsets(int16_t* __restrict p, int32_t rowOffset, const int16_t* __restrict col,
                              int32_t maximum, uint32_t width) {
    auto add = [](int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); };
    auto limit = [maximum](int32_t sum) {
        int32_t v = int16_t(uint16_t(uint32_t(sum)));
        if (v < 0) v = 0;
        if (v > maximum) v = maximum;
        return int16_t(v);
    };
    if (col) {
        for (uint32_t c = 0; c < width; ++c) p[c] = limit(add(add(p[c], rowOffset), col[c]));
    } else {
        for (uint32_t c = 0; c < width; ++c) p[c] = limit(add(p[c], rowOffset));
    }
}

} // namespace lumora::stage_rows
