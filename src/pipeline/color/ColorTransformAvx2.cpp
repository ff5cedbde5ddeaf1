// Built with -mavx2 (this file only); reached only when the processor has it.
#include "ColorTransformAvx2.h"

#include <immintrin.h>

namespace lumora {

namespace {

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Entries of a 16-bit table: each lane reads the 32 bits at its entry, so the
// lanes at the table's last entry take it from a broadcast instead of reading
// past the table's end.
__m256i Lookup(const uint16_t* table, __m256i index, int32_t last) {
    const __m256i lastIndex = _mm256_set1_epi32(last);
    const __m256i inside = _mm256_cmpgt_epi32(lastIndex, index);
    const __m256i atLast = _mm256_set1_epi32(table[last]);
    const __m256i got = _mm256_mask_i32gather_epi32(atLast, reinterpret_cast<const int*>(table), index, inside, 2);
    return _mm256_and_si256(got, _mm256_set1_epi32(0xFFFF));
}

__m256i Row(const int32_t* m, __m256i a, __m256i b, __m256i c, __m256i half, __m128i shift) {
    __m256i s = _mm256_mullo_epi32(_mm256_set1_epi32(m[0]), a);
    s = _mm256_add_epi32(s, _mm256_mullo_epi32(_mm256_set1_epi32(m[1]), b));
    s = _mm256_add_epi32(s, _mm256_mullo_epi32(_mm256_set1_epi32(m[2]), c));
    return _mm256_sra_epi32(_mm256_add_epi32(s, half), shift);
}

__m256i Clamp8(__m256i v, __m256i lo, __m256i hi) { return _mm256_min_epi32(_mm256_max_epi32(v, lo), hi); }

void Store8(int16_t* to, __m256i v) {
    // Table entries are 0..65535: unsigned saturation keeps them as they are.
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(v, v), 0x08);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm256_castsi256_si128(packed));
}

} // namespace

void ConvertSeparateTonesAvx2(const SeparateTonesKernel& k, int16_t* p, int16_t* q, int16_t* r, int32_t width) {
    const __m256i h1 = _mm256_set1_epi32(k.firstHalf), h2 = _mm256_set1_epi32(k.secondHalf);
    const __m128i s1 = _mm_cvtsi32_si128(int(k.firstShift)), s2 = _mm_cvtsi32_si128(int(k.secondShift));
    const __m256i zero = _mm256_setzero_si256(), wmax = _mm256_set1_epi32(k.workingMaximum);
    const __m256i lo = _mm256_set1_epi32(k.lowest), hi = _mm256_set1_epi32(k.highest);
    int32_t i = 0;
    for (; i + 8 <= width; i += 8) {
        const __m256i a = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
        const __m256i b = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q + i)));
        const __m256i c = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r + i)));
        const __m256i x0 = Clamp8(Row(k.first, a, b, c, h1, s1), zero, wmax);
        const __m256i y0 = Clamp8(Row(k.first + 3, a, b, c, h1, s1), zero, wmax);
        const __m256i z0 = Clamp8(Row(k.first + 6, a, b, c, h1, s1), zero, wmax);
        const __m256i t = Lookup(k.middleTone, y0, k.workingMaximum);
        const __m256i x = Lookup(k.firstTone, x0, k.workingMaximum);
        const __m256i z = Lookup(k.lastTone, z0, k.workingMaximum);
        const __m256i u = Clamp8(Row(k.second, x, t, z, h2, s2), lo, hi);
        const __m256i v = Clamp8(Row(k.second + 3, x, t, z, h2, s2), lo, hi);
        const __m256i w = Clamp8(Row(k.second + 6, x, t, z, h2, s2), lo, hi);
        Store8(p + i, Lookup(k.output, u, k.highest));
        Store8(q + i, Lookup(k.output, v, k.highest));
        Store8(r + i, Lookup(k.output, w, k.highest));
    }
    const int32_t* m = k.first;
    const int32_t* n = k.second;
    for (; i < width; ++i) {
        const int32_t a = p[i], b = q[i], c = r[i];
        const int32_t x0 = Clamp((m[0] * a + m[1] * b + m[2] * c + k.firstHalf) >> k.firstShift, 0, k.workingMaximum);
        const int32_t y0 = Clamp((m[3] * a + m[4] * b + m[5] * c + k.firstHalf) >> k.firstShift, 0, k.workingMaximum);
        const int32_t z0 = Clamp((m[6] * a + m[7] * b + m[8] * c + k.firstHalf) >> k.firstShift, 0, k.workingMaximum);
        const int32_t t = k.middleTone[y0], x = k.firstTone[x0], z = k.lastTone[z0];
        p[i] = int16_t(k.output[Clamp((n[0] * x + n[1] * t + n[2] * z + k.secondHalf) >> k.secondShift, k.lowest, k.highest)]);
        q[i] = int16_t(k.output[Clamp((n[3] * x + n[4] * t + n[5] * z + k.secondHalf) >> k.secondShift, k.lowest, k.highest)]);
        r[i] = int16_t(k.output[Clamp((n[6] * x + n[7] * t + n[8] * z + k.secondHalf) >> k.secondShift, k.lowest, k.highest)]);
    }
}

} // namespace lumora
