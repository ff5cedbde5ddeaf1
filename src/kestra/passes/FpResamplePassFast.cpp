// The resampling pass as the strips run it: input lines gathered into
// arrays with their edges laid out (lines read across columns a block at a
// time, so each row of the picture is touched once per block), then one dot
// product per output sample over consecutive entries. Products and sums wrap
// as 32-bit values exactly as in the ring version, so the bytes are the same.
//
// Where the processor has AVX2 and every sample fits 16 bits, lines are
// kept as 16-bit values less 32768 and multiplied pairwise with 16-bit taps
// (vpmaddwd), eight output samples at a time; 32768 x the phase's tap sum is
// added back, which leaves every sum the same modulo 2^32.
#include "FpResamplePass.h"

#include "FpResamplePassCommon.h"
#include "FpScratch.h"

#include <algorithm>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace kestra {

namespace {

constexpr int64_t kBlockLines = 16; // lines gathered together from columns
constexpr int32_t kLanes = 16;      // 16-bit taps per vector

__attribute__((target_clones("avx2", "default"))) uint32_t dot(const int32_t* x, const int32_t* k, int32_t T,
                                                               uint32_t acc) {
    for (int32_t s = 0; s < T; ++s) acc += uint32_t(x[s]) * uint32_t(k[s]);
    return acc;
}

template <int T> uint32_t dotFixed(const int32_t* x, const int32_t* k, uint32_t acc) {
    for (int32_t s = 0; s < T; ++s) acc += uint32_t(x[s]) * uint32_t(k[s]);
    return acc;
}

__attribute__((target_clones("avx2", "default"))) void dots32(const int32_t* line, const int64_t* at,
                                                              const int32_t* const* kernels, int64_t n, uint32_t round,
                                                              uint32_t* out) {
    for (int64_t j = 0; j < n; ++j) out[j] = dotFixed<32>(line + at[j], kernels[j], round);
}

bool HaveAvx2() {
#if defined(__x86_64__)
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
#else
    return false;
#endif
}

#if defined(__x86_64__)
// The eight 32-bit partial sums of one output sample's padded taps.
__attribute__((target("avx2"))) inline __m256i dot16(const int16_t* x, const int16_t* k, int32_t blocks) {
    __m256i s = _mm256_madd_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(x)),
                                  _mm256_loadu_si256(reinterpret_cast<const __m256i*>(k)));
    for (int32_t b = 1; b < blocks; ++b)
        s = _mm256_add_epi32(s,
                             _mm256_madd_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + kLanes * b)),
                                               _mm256_loadu_si256(reinterpret_cast<const __m256i*>(k + kLanes * b))));
    return s;
}

// out[j] = the sample of bias[j] + the sum over the padded taps of
// line[at[j] + s] x kernel[j][s] (modulo 2^32), shifted right arithmetically
// by f and held to 0 .. largest; blocks = padded taps / 16.
__attribute__((target("avx2"))) void dots16(const int16_t* line, const int64_t* at, const int16_t* const* kernels,
                                            const uint32_t* bias, int64_t n, int32_t blocks, int32_t f, int32_t largest,
                                            uint32_t* out) {
    const __m128i shift = _mm_cvtsi32_si128(f);
    const __m256i zero = _mm256_setzero_si256(), top = _mm256_set1_epi32(largest);
    int64_t j = 0;
    for (; j + 8 <= n; j += 8) {
        __m256i v[8];
        for (int i = 0; i < 8; ++i) v[i] = dot16(line + at[j + i], kernels[j + i], blocks);
        const __m256i h01 = _mm256_hadd_epi32(v[0], v[1]);
        const __m256i h23 = _mm256_hadd_epi32(v[2], v[3]);
        const __m256i h45 = _mm256_hadd_epi32(v[4], v[5]);
        const __m256i h67 = _mm256_hadd_epi32(v[6], v[7]);
        const __m256i h0123 = _mm256_hadd_epi32(h01, h23);
        const __m256i h4567 = _mm256_hadd_epi32(h45, h67);
        __m256i sum = _mm256_add_epi32(_mm256_permute2x128_si256(h0123, h4567, 0x20),
                                       _mm256_permute2x128_si256(h0123, h4567, 0x31));
        sum = _mm256_add_epi32(sum, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bias + j)));
        sum = _mm256_min_epi32(_mm256_max_epi32(_mm256_sra_epi32(sum, shift), zero), top);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + j), sum);
    }
    for (; j < n; ++j) {
        const __m256i s = dot16(line + at[j], kernels[j], blocks);
        const __m128i h = _mm_add_epi32(_mm256_castsi256_si128(s), _mm256_extracti128_si256(s, 1));
        const __m128i h2 = _mm_hadd_epi32(h, h);
        out[j] = uint32_t(FpFinishSum(bias[j] + uint32_t(_mm_cvtsi128_si32(_mm_hadd_epi32(h2, h2))), f, largest));
    }
}
#endif

// The geometry of one output line: where its gathered samples start and end
// in input positions, and the valid part of them.
struct LineSpan {
    int64_t start; // 16.16 position of the line's first produced sample
    int64_t base, span, a0, a1;
};

} // namespace

FpStatus FpResamplePass(const FpResampleArgs& a) {
    const FpResampleLayout l = FpLayoutOf(a);
    if (l.in1 <= l.in0) return FpBadSourcePicture;
    const int32_t T = a.taps, f = a.fractionBits;
    const FpPassTable& t = *a.pass;
    const int64_t count = l.ox1 - l.ox0;
    if (count <= 0 || l.oy1 <= l.oy0) return FpOk;
    const int32_t phases = 1 << a.phaseBits;
    // The taps padded to whole vectors, as 16-bit values, per phase, and
    // 32768 x each phase's tap sum.
    const int32_t padded = (T + kLanes - 1) / kLanes * kLanes;
    std::vector<int16_t> taps16(size_t(phases) * size_t(padded), 0);
    std::vector<uint32_t> phaseBias(size_t(phases), 0);
    for (int32_t v = 0; v < phases; ++v) {
        uint32_t sum = 0;
        for (int32_t s = 0; s < T; ++s) {
            const int32_t k = a.kernels[int64_t(v) * 2 * T + s];
            taps16[size_t(v) * size_t(padded) + size_t(s)] = int16_t(k);
            sum += uint32_t(k);
        }
        phaseBias[size_t(v)] = sum * 32768u;
    }
    // The positions of one line run from start to start + (count - 1) d.
    int64_t start0 = int64_t(t.a1) * l.oy0 + int64_t(t.a0) * l.ox0 + t.a2;
    int64_t d = t.a0;
    if (t.a0 < 0) {
        start0 += (count - 1) * t.a0;
        d = -int64_t(t.a0);
    }
    FpScratch<int64_t> at(count);
    FpScratch<const int32_t*> kernel(count);
    FpScratch<const int16_t*> kernel16(count);
    FpScratch<uint32_t> bias(count);
    FpScratch<uint32_t> sums(count);
    FpScratch<uint8_t> inside(count);
    if (!at || !kernel || !kernel16 || !bias || !sums || !inside) return FpNoSharedMemory;

    auto spanOf = [&](int64_t start) {
        LineSpan s;
        s.start = start;
        int64_t lo, hi;
        int32_t phase;
        FpPositionIndex(start, a.phaseBits, lo, phase);
        FpPositionIndex(start + (count - 1) * d, a.phaseBits, hi, phase);
        s.base = lo - (T - 1) / 2;
        s.span = hi - lo + T;
        s.a0 = std::clamp(l.in0, s.base, s.base + s.span);
        s.a1 = std::clamp(l.in1, s.base, s.base + s.span);
        return s;
    };
    // Positions of a line's samples, relative to its gathered samples.
    int64_t positionsOf = INT64_MIN; // the start they were made for
    auto positions = [&](const LineSpan& s) {
        if (positionsOf == s.start) return;
        positionsOf = s.start;
        int64_t pos = s.start;
        for (int64_t x = 0; x < count; ++x, pos += d) {
            int64_t i;
            int32_t phase;
            FpPositionIndex(pos, a.phaseBits, i, phase);
            at[x] = i - (T - 1) / 2 - s.base;
            kernel[x] = a.kernels + int64_t(phase) * 2 * T;
            kernel16[x] = taps16.data() + int64_t(phase) * padded;
            bias[x] = uint32_t(l.round) + phaseBias[size_t(phase)];
            inside[x] = i >= l.in0 && i < l.in1;
        }
    };

    FpLineProgress progress(a, l.oy1 - l.oy0);
    int64_t done = 0;
    std::vector<int32_t> lines32;
    std::vector<int16_t> lines16;
    for (int32_t p = 0; p < a.input->planeCount; ++p) {
        FpPlaneWalk w;
        const FpStatus ws = FpPlaneWalkOf(a, p, w);
        if (ws != FpOk) return ws;
        const bool fill = w.edge.mode == FpEdgeFill;
        const bool keep = w.edge.mode == FpEdgeKeep;
        // 16-bit lanes hold every sample of 8- and 16-bit planes; a fill
        // value beyond them takes the 32-bit sums.
        const bool narrow = HaveAvx2() && (!fill || (w.edge.fill >= 0 && w.edge.fill <= 65535));
        const int64_t outStart = t.a0 < 0 ? (count - 1) * w.outInner : 0;
        const int64_t outStep = t.a0 < 0 ? -w.outInner : w.outInner;
        // Lines that run across the picture's rows are gathered in blocks.
        const int64_t block = std::abs(w.inInner) > std::abs(w.inOuter) ? kBlockLines : 1;
        int64_t start = start0;
        for (int64_t y0 = l.oy0; y0 < l.oy1; y0 += block) {
            const int64_t nb = std::min(block, l.oy1 - y0);
            LineSpan spans[kBlockLines];
            int64_t stride = 0, u0 = INT64_MAX, u1 = INT64_MIN;
            for (int64_t b = 0; b < nb; ++b) {
                spans[b] = spanOf(start + b * t.a1);
                stride = std::max(stride, spans[b].span + padded);
                if (spans[b].a0 < spans[b].a1) u0 = std::min(u0, spans[b].a0), u1 = std::max(u1, spans[b].a1);
            }
            const size_t need = size_t(nb) * size_t(stride);
            if (narrow) {
                if (lines16.size() < need) lines16.resize(need);
            } else if (lines32.size() < need) {
                lines32.resize(need);
            }
            const uint8_t* inLine = w.inLine;
            // The valid samples of the block's lines, row by row.
            auto gather = [&](auto* lines, auto convert) {
                if (nb == 1) {
                    const LineSpan& s = spans[0];
                    auto* g = lines - s.base;
                    if (w.inBytes) {
                        const uint8_t* q = inLine + (s.a0 - l.in0) * w.inInner;
                        for (int64_t i = s.a0; i < s.a1; ++i, q += w.inInner) g[i] = convert(*q);
                    } else {
                        for (int64_t i = s.a0; i < s.a1; ++i)
                            g[i] = convert(FpReadSample(inLine, i - l.in0, w.inInner, false));
                    }
                    return;
                }
                for (int64_t i = u0; i < u1; ++i) {
                    const uint8_t* q = inLine + (i - l.in0) * w.inInner;
                    for (int64_t b = 0; b < nb; ++b, q += w.inOuter) {
                        const LineSpan& s = spans[b];
                        if (i >= s.a0 && i < s.a1)
                            lines[b * stride + i - s.base] = convert(FpReadSample(q, 0, 0, w.inBytes));
                    }
                }
            };
            // Each line's edges beyond the valid samples, up to its padding.
            auto edges = [&](auto* lines, auto convert) {
                for (int64_t b = 0; b < nb; ++b) {
                    const LineSpan& s = spans[b];
                    const uint8_t* q = inLine + b * w.inOuter;
                    const int32_t first = fill ? w.edge.fill : FpReadSample(q, 0, w.inInner, w.inBytes);
                    const int32_t last = fill ? w.edge.fill : FpReadSample(q, l.in1 - 1 - l.in0, w.inInner, w.inBytes);
                    auto* g = lines + b * stride - s.base;
                    for (int64_t i = s.base; i < s.a0; ++i) g[i] = convert(first);
                    for (int64_t i = s.a1; i < s.base + stride; ++i) g[i] = convert(last);
                }
            };
            if (narrow) {
                auto c16 = [](int32_t v) { return int16_t(uint16_t(v) ^ 0x8000u); };
                gather(lines16.data(), c16);
                edges(lines16.data(), c16);
            } else {
                auto c32 = [](int32_t v) { return v; };
                gather(lines32.data(), c32);
                edges(lines32.data(), c32);
            }

            for (int64_t b = 0; b < nb; ++b) {
                const LineSpan& s = spans[b];
                positions(s);
#if defined(__x86_64__)
                if (narrow) {
                    dots16(lines16.data() + b * stride, at.get(), kernel16.get(), bias.get(), count, padded / kLanes, f,
                           w.largest, sums.get());
                } else
#endif
                {
                    const int32_t* g = lines32.data() + b * stride;
                    if (T == 32) {
                        dots32(g, at.get(), kernel.get(), count, uint32_t(l.round), sums.get());
                    } else {
                        for (int64_t x = 0; x < count; ++x) sums[x] = dot(g + at[x], kernel[x], T, uint32_t(l.round));
                    }
                    for (int64_t x = 0; x < count; ++x) sums[x] = uint32_t(FpFinishSum(sums[x], f, w.largest));
                }
                // The samples, in order along the output line.
                uint8_t* o = w.outLine + outStart;
                if (w.outBytes) {
                    for (int64_t x = 0; x < count; ++x, o += outStep)
                        if (!keep || inside[x]) *o = uint8_t(sums[x]);
                } else {
                    for (int64_t x = 0; x < count; ++x, o += outStep)
                        if (!keep || inside[x]) FpWriteSample(o, false, int32_t(sums[x]));
                }
                const FpStatus st = progress.lineDone(done + (y0 + b - l.oy0));
                if (st != FpOk) return st;
                w.outLine += w.outOuter;
            }
            w.inLine += nb * w.inOuter;
            start += nb * t.a1;
        }
        done += l.oy1 - l.oy0;
    }
    return FpOk;
}

} // namespace kestra
