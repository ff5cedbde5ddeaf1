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
#include "WorkerPool.h"

#include <algorithm>
#include <memory>
#include <new>
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

// What every line of one pass shares, worked out once.
struct ResamplePlan {
    FpResampleLayout l;
    int32_t T = 0, f = 0, phases = 0, padded = 0;
    int64_t count = 0, start0 = 0, d = 0;
    std::vector<int16_t> taps16;
    std::vector<uint32_t> phaseBias;
};

// The work memory of one lane: the positions of a line's samples (kept for
// the line start they were made for) and its gathered lines.
struct ResampleLane {
    FpScratch<int64_t> at;
    FpScratch<const int32_t*> kernel;
    FpScratch<const int16_t*> kernel16;
    FpScratch<uint32_t> bias, sums;
    FpScratch<uint8_t> inside;
    std::vector<int32_t> lines32;
    std::vector<int16_t> lines16;
    int64_t positionsOf = INT64_MIN;

    explicit ResampleLane(int64_t count) : at(count), kernel(count), kernel16(count), bias(count), sums(count), inside(count) {}
    bool Made() const { return at && kernel && kernel16 && bias && sums && inside; }
};

LineSpan SpanOf(const FpResampleArgs& a, const ResamplePlan& p, int64_t start) {
    LineSpan s;
    s.start = start;
    int64_t lo, hi;
    int32_t phase;
    FpPositionIndex(start, a.phaseBits, lo, phase);
    FpPositionIndex(start + (p.count - 1) * p.d, a.phaseBits, hi, phase);
    s.base = lo - (p.T - 1) / 2;
    s.span = hi - lo + p.T;
    s.a0 = std::clamp(p.l.in0, s.base, s.base + s.span);
    s.a1 = std::clamp(p.l.in1, s.base, s.base + s.span);
    return s;
}

// Positions of a line's samples, relative to its gathered samples.
void Positions(const FpResampleArgs& a, const ResamplePlan& p, ResampleLane& m, const LineSpan& s) {
    if (m.positionsOf == s.start) return;
    m.positionsOf = s.start;
    const int32_t T = p.T;
    int64_t pos = s.start;
    for (int64_t x = 0; x < p.count; ++x, pos += p.d) {
        int64_t i;
        int32_t phase;
        FpPositionIndex(pos, a.phaseBits, i, phase);
        m.at[x] = i - (T - 1) / 2 - s.base;
        m.kernel[x] = a.kernels + int64_t(phase) * 2 * T;
        m.kernel16[x] = p.taps16.data() + int64_t(phase) * p.padded;
        m.bias[x] = uint32_t(p.l.round) + p.phaseBias[size_t(phase)];
        m.inside[x] = i >= p.l.in0 && i < p.l.in1;
    }
}

// Output lines [from, to) of one plane, in blocks of lines gathered together.
// A line's samples depend on that line's inputs alone, so any cut of the
// lines gives the same bytes.
void RunLines(const FpResampleArgs& a, const ResamplePlan& p, const FpPlaneWalk& walk, int64_t from, int64_t to,
              ResampleLane& m) {
    const FpResampleLayout& l = p.l;
    const FpPassTable& t = *a.pass;
    const int32_t T = p.T, f = p.f, padded = p.padded;
    const int64_t count = p.count;
    const bool fill = walk.edge.mode == FpEdgeFill;
    const bool keep = walk.edge.mode == FpEdgeKeep;
    // 16-bit lanes hold every sample of 8- and 16-bit planes; a fill value
    // beyond them takes the 32-bit sums.
    const bool narrow = HaveAvx2() && (!fill || (walk.edge.fill >= 0 && walk.edge.fill <= 65535));
    const int64_t outStart = t.a0 < 0 ? (count - 1) * walk.outInner : 0;
    const int64_t outStep = t.a0 < 0 ? -walk.outInner : walk.outInner;
    // Lines that run across the picture's rows are gathered in blocks.
    const int64_t block = std::abs(walk.inInner) > std::abs(walk.inOuter) ? kBlockLines : 1;
    const uint8_t* inLine = walk.inLine + (from - l.oy0) * walk.inOuter;
    uint8_t* outLine = walk.outLine + (from - l.oy0) * walk.outOuter;
    int64_t start = p.start0 + (from - l.oy0) * int64_t(t.a1);
    std::vector<int32_t>& lines32 = m.lines32;
    std::vector<int16_t>& lines16 = m.lines16;
    for (int64_t y0 = from; y0 < to; y0 += block) {
        const int64_t nb = std::min(block, to - y0);
        LineSpan spans[kBlockLines];
        int64_t stride = 0, u0 = INT64_MAX, u1 = INT64_MIN;
        for (int64_t b = 0; b < nb; ++b) {
            spans[b] = SpanOf(a, p, start + b * t.a1);
            stride = std::max(stride, spans[b].span + padded);
            if (spans[b].a0 < spans[b].a1) u0 = std::min(u0, spans[b].a0), u1 = std::max(u1, spans[b].a1);
        }
        const size_t need = size_t(nb) * size_t(stride);
        if (narrow) {
            if (lines16.size() < need) lines16.resize(need);
        } else if (lines32.size() < need) {
            lines32.resize(need);
        }
        // The valid samples of the block's lines, row by row.
        auto gather = [&](auto* lines, auto convert) {
            if (nb == 1) {
                const LineSpan& s = spans[0];
                auto* g = lines - s.base;
                if (walk.inBytes) {
                    const uint8_t* q = inLine + (s.a0 - l.in0) * walk.inInner;
                    for (int64_t i = s.a0; i < s.a1; ++i, q += walk.inInner) g[i] = convert(*q);
                } else {
                    for (int64_t i = s.a0; i < s.a1; ++i)
                        g[i] = convert(FpReadSample(inLine, i - l.in0, walk.inInner, false));
                }
                return;
            }
            for (int64_t i = u0; i < u1; ++i) {
                const uint8_t* q = inLine + (i - l.in0) * walk.inInner;
                for (int64_t b = 0; b < nb; ++b, q += walk.inOuter) {
                    const LineSpan& s = spans[b];
                    if (i >= s.a0 && i < s.a1) lines[b * stride + i - s.base] = convert(FpReadSample(q, 0, 0, walk.inBytes));
                }
            }
        };
        // Each line's edges beyond the valid samples, up to its padding.
        auto edges = [&](auto* lines, auto convert) {
            for (int64_t b = 0; b < nb; ++b) {
                const LineSpan& s = spans[b];
                const uint8_t* q = inLine + b * walk.inOuter;
                const int32_t first = fill ? walk.edge.fill : FpReadSample(q, 0, walk.inInner, walk.inBytes);
                const int32_t last = fill ? walk.edge.fill : FpReadSample(q, l.in1 - 1 - l.in0, walk.inInner, walk.inBytes);
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
            Positions(a, p, m, s);
#if defined(__x86_64__)
            if (narrow) {
                dots16(lines16.data() + b * stride, m.at.get(), m.kernel16.get(), m.bias.get(), count, padded / kLanes, f,
                       walk.largest, m.sums.get());
            } else
#endif
            {
                const int32_t* g = lines32.data() + b * stride;
                if (T == 32) {
                    dots32(g, m.at.get(), m.kernel.get(), count, uint32_t(l.round), m.sums.get());
                } else {
                    for (int64_t x = 0; x < count; ++x) m.sums[x] = dot(g + m.at[x], m.kernel[x], T, uint32_t(l.round));
                }
                for (int64_t x = 0; x < count; ++x) m.sums[x] = uint32_t(FpFinishSum(m.sums[x], f, walk.largest));
            }
            // The samples, in order along the output line.
            uint8_t* o = outLine + outStart;
            if (walk.outBytes) {
                for (int64_t x = 0; x < count; ++x, o += outStep)
                    if (!keep || m.inside[x]) *o = uint8_t(m.sums[x]);
            } else {
                for (int64_t x = 0; x < count; ++x, o += outStep)
                    if (!keep || m.inside[x]) FpWriteSample(o, false, int32_t(m.sums[x]));
            }
            outLine += walk.outOuter;
        }
        inLine += nb * walk.inOuter;
        start += nb * t.a1;
    }
}

} // namespace

FpStatus FpResamplePass(const FpResampleArgs& a) {
    ResamplePlan p;
    p.l = FpLayoutOf(a);
    const FpResampleLayout& l = p.l;
    if (l.in1 <= l.in0) return FpBadSourcePicture;
    const int32_t T = a.taps;
    p.T = T;
    p.f = a.fractionBits;
    const FpPassTable& t = *a.pass;
    p.count = l.ox1 - l.ox0;
    const int64_t count = p.count;
    if (count <= 0 || l.oy1 <= l.oy0) return FpOk;
    p.phases = 1 << a.phaseBits;
    // The taps padded to whole vectors, as 16-bit values, per phase, and
    // 32768 x each phase's tap sum.
    p.padded = (T + kLanes - 1) / kLanes * kLanes;
    p.taps16.assign(size_t(p.phases) * size_t(p.padded), 0);
    p.phaseBias.assign(size_t(p.phases), 0);
    for (int32_t v = 0; v < p.phases; ++v) {
        uint32_t sum = 0;
        for (int32_t s = 0; s < T; ++s) {
            const int32_t k = a.kernels[int64_t(v) * 2 * T + s];
            p.taps16[size_t(v) * size_t(p.padded) + size_t(s)] = int16_t(k);
            sum += uint32_t(k);
        }
        p.phaseBias[size_t(v)] = sum * 32768u;
    }
    // The positions of one line run from start to start + (count - 1) d.
    p.start0 = int64_t(t.a1) * l.oy0 + int64_t(t.a0) * l.ox0 + t.a2;
    p.d = t.a0;
    if (t.a0 < 0) {
        p.start0 += (count - 1) * t.a0;
        p.d = -int64_t(t.a0);
    }

    // Work memory for the calling thread and, when the lines spread, for each
    // further lane of the worker pool.
    const int64_t linesPerPlane = l.oy1 - l.oy0;
    const int64_t chunk = kBlockLines;
    lumora::WorkerPool& pool = lumora::WorkerPool::Shared();
    const unsigned wanted = pool.LanesFor(size_t((linesPerPlane + chunk - 1) / chunk));
    std::vector<std::unique_ptr<ResampleLane>> lanes;
    for (unsigned i = 0; i < wanted; ++i) {
        std::unique_ptr<ResampleLane> lane(new (std::nothrow) ResampleLane(count));
        if (!lane || !lane->Made()) {
            if (i == 0) return FpNoSharedMemory;
            break;
        }
        lanes.push_back(std::move(lane));
    }

    // Where the progress reports fall: after the same lines as when the lines
    // are worked one after another, so the output holds exactly the lines up
    // to a report when it answers cancel. The lines between two reports are
    // spread over the lanes; the reports come from this thread.
    FpLineProgress progress(a, linesPerPlane);
    const int64_t total = int64_t(a.input->planeCount) * linesPerPlane;
    FpPlaneWalk walk{};
    int32_t walked = -1; // the plane `walk` describes
    auto run = [&](int64_t from, int64_t to) -> FpStatus {
        // Global line numbers, plane after plane.
        while (from < to) {
            const int32_t plane = int32_t(from / linesPerPlane);
            if (plane != walked) {
                const FpStatus ws = FpPlaneWalkOf(a, plane, walk);
                if (ws != FpOk) return ws;
                walked = plane;
            }
            const int64_t planeEnd = std::min(to, int64_t(plane + 1) * linesPerPlane);
            const int64_t y0 = l.oy0 + from - int64_t(plane) * linesPerPlane, y1 = y0 + (planeEnd - from);
            const size_t chunks = size_t((y1 - y0 + chunk - 1) / chunk);
            pool.ForEach(chunks, unsigned(lanes.size()), [&](size_t i, unsigned lane) {
                const int64_t first = y0 + int64_t(i) * chunk;
                RunLines(a, p, walk, first, std::min(y1, first + chunk), *lanes[lane]);
            });
            from = planeEnd;
        }
        return FpOk;
    };
    int64_t done = 0;
    for (int64_t line = 0; line < total; ++line) {
        if (!progress.WouldReport()) {
            progress.lineDone(line);
            continue;
        }
        if (const FpStatus st = run(done, line + 1); st != FpOk) return st;
        done = line + 1;
        if (const FpStatus st = progress.lineDone(line); st != FpOk) return st;
    }
    return run(done, total);
}

} // namespace kestra
