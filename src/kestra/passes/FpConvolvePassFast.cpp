// The convolution pass line by line: the input line (ends replicated) and
// the control values are gathered once into the caller's scratch, the dot
// products run as plain loops over 32-bit lanes that the compiler
// vectorises (with an AVX2 clone where the processor has it), and the
// results are finished and stored in one more loop. Sums wrap as unsigned
// 32-bit values, which gives the same bits as the reference's signed sums in
// any order of addition.
#include "FpConvolvePass.h"

#include "FpPictures.h"

#include <IntOps.h>
#include <WorkerPool.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace kestra {

namespace {

struct Steps {
    int64_t inner, outer;
};

Steps steps(const PSFPlane& p, uint16_t flag) {
    return flag ? Steps{p.rowStep, p.sampleStep} : Steps{p.sampleStep, p.rowStep};
}

PSFRect oriented(const PSFRect& r, uint16_t flag) { return flag ? FpTransposeRect(r) : r; }

inline int32_t load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

inline int32_t sampleAt(const uint8_t* p, int32_t bits) { return bits <= 8 ? *p : load16(p); }

// line[b][q] = S(p + q) of line b (at base + b x outer), q = 0 .. count - 1,
// for nb lines; `across` walks the lines innermost, for lines that lie
// closer together than their samples.
void gather(const uint8_t* base, Steps st, int32_t bits, int64_t validCount, int64_t p, int64_t count, int32_t nb,
            int64_t stride, int32_t* line, bool across) {
    auto index = [&](int64_t q) {
        const int64_t i = p + q;
        return i < 0 ? 0 : (i >= validCount ? validCount - 1 : i);
    };
    if (across) {
        for (int64_t q = 0; q < count; ++q) {
            const uint8_t* s = base + index(q) * st.inner;
            for (int32_t b = 0; b < nb; ++b) line[b * stride + q] = sampleAt(s + b * st.outer, bits);
        }
        return;
    }
    for (int32_t b = 0; b < nb; ++b) {
        const uint8_t* lineBase = base + b * st.outer;
        int32_t* out = line + b * stride;
        const int32_t first = sampleAt(lineBase, bits), last = sampleAt(lineBase + (validCount - 1) * st.inner, bits);
        int64_t q = 0;
        for (; q < count && p + q < 0; ++q) out[q] = first;
        int64_t end = validCount - p;
        if (end > count) end = count;
        if (q < end) {
            const uint8_t* s = lineBase + (p + q) * st.inner;
            if (bits <= 8 && st.inner == 1) {
                for (int64_t i = q; i < end; ++i) out[i] = s[i - q];
            } else if (bits > 8 && st.inner == 2) {
                for (int64_t i = q; i < end; ++i) out[i] = load16(s + 2 * (i - q));
            } else {
                for (int64_t i = q; i < end; ++i, s += st.inner) out[i] = sampleAt(s, bits);
            }
            q = end;
        }
        for (; q < count; ++q) out[q] = last;
    }
}

__attribute__((target_clones("avx2", "default"))) void fixedKernel(const int32_t* line, const int32_t* K, int32_t T,
                                                                    int64_t count, uint32_t round, uint32_t* sums) {
    for (int64_t j = 0; j < count; ++j) sums[j] = round;
    for (int32_t m = 0; m < T; ++m) {
        const uint32_t k = uint32_t(K[m]);
        const int32_t* in = line + m;
        for (int64_t j = 0; j < count; ++j) sums[j] += k * uint32_t(in[j]);
    }
}

// The kernel length fixed at compile time: the dot product is unrolled.
template <int T>
void chosenKernelsT(const int32_t* line,
                                                                       const int32_t* const* kernels,
                                                                       const uint8_t* control, int64_t count,
                                                                       uint32_t round, uint32_t* sums) {
    for (int64_t j = 0; j < count; ++j) {
        const int32_t* K = kernels[control[j]];
        const int32_t* in = line + j;
        uint32_t acc = round;
        for (int m = 0; m < T; ++m) acc += uint32_t(K[m]) * uint32_t(in[m]);
        sums[j] = acc;
    }
}

__attribute__((target_clones("avx2", "default"))) void chosenKernels(const int32_t* line,
                                                                      const int32_t* const* kernels,
                                                                      const uint8_t* control, int32_t T, int64_t count,
                                                                      uint32_t round, uint32_t* sums) {
    for (int64_t j = 0; j < count; ++j) {
        const int32_t* K = kernels[control[j]];
        const int32_t* in = line + j;
        uint32_t acc = round;
        for (int32_t m = 0; m < T; ++m) acc += uint32_t(K[m]) * uint32_t(in[m]);
        sums[j] = acc;
    }
}

using ChosenFn = void (*)(const int32_t*, const int32_t* const*, const uint8_t*, int64_t, uint32_t, uint32_t*);

template <int... Ts>
struct ChosenTable {
    // Entry t - 1 serves kernels of t taps.
    static ChosenFn get(int32_t T) {
        static constexpr ChosenFn table[] = {&chosenKernelsT<Ts>...};
        return T >= 1 && T <= int32_t(sizeof...(Ts)) ? table[T - 1] : nullptr;
    }
};
using Chosen = ChosenTable<1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25,
                           26, 27, 28, 29, 30, 31, 32, 33>;

struct Finish {
    unsigned shift;
    int32_t M;
    int32_t bits;
    int64_t twoT;
    const int32_t* const* pairs;
    int32_t fractionBits;
    int32_t pairRound;
};

inline void store(uint8_t* p, int32_t bits, int32_t v) {
    if (bits <= 8) {
        *p = uint8_t(v);
    } else {
        const uint16_t w = uint16_t(v);
        std::memcpy(p, &w, 2);
    }
}

inline int32_t finishSample(const Finish& f, uint32_t sum, int32_t control, const uint8_t* ref) {
    int32_t v = lumora::asr32(int32_t(sum), f.shift);
    v = v < 0 ? 0 : (v > f.M ? f.M : v);
    if (!ref) return v;
    const int32_t u = sampleAt(ref, f.bits);
    if (f.twoT > 0) {
        const int64_t d = v - u;
        if (std::llabs(d) < f.twoT) v = int32_t(u + (std::llabs(d) * d) / f.twoT);
    }
    if (f.pairs) {
        const int32_t* pr = f.pairs[control];
        const uint32_t mix = uint32_t(pr[0]) * uint32_t(v) + uint32_t(pr[1]) * uint32_t(u) + uint32_t(f.pairRound);
        v = lumora::asr32(int32_t(mix), unsigned(f.fractionBits));
        v = v < 0 ? 0 : (v > f.M ? f.M : v);
    }
    return v;
}

// Shifts, clamps, mixes in the reference and stores nb lines.
void finishLines(const Finish& f, const uint32_t* sums, int64_t count, int32_t nb, int64_t stride,
                 const uint8_t* control, const uint8_t* ref, Steps rs, uint8_t* out, Steps os, bool across) {
    if (across) {
        for (int64_t j = 0; j < count; ++j)
            for (int32_t b = 0; b < nb; ++b)
                store(out + b * os.outer + j * os.inner, f.bits,
                      finishSample(f, sums[b * stride + j], control ? control[b * stride + j] : 0,
                                   ref ? ref + b * rs.outer + j * rs.inner : nullptr));
        return;
    }
    for (int32_t b = 0; b < nb; ++b) {
        const uint32_t* s = sums + b * stride;
        uint8_t* o = out + b * os.outer;
        if (!ref && f.bits > 8 && os.inner == 2) {
            for (int64_t j = 0; j < count; ++j) {
                int32_t v = lumora::asr32(int32_t(s[j]), f.shift);
                v = v < 0 ? 0 : (v > f.M ? f.M : v);
                const uint16_t w = uint16_t(v);
                std::memcpy(o + 2 * j, &w, 2);
            }
            continue;
        }
        for (int64_t j = 0; j < count; ++j)
            store(o + j * os.inner, f.bits,
                  finishSample(f, s[j], control ? control[b * stride + j] : 0,
                               ref ? ref + b * rs.outer + j * rs.inner : nullptr));
    }
}

} // namespace

namespace {

// What every line of one pass shares, worked out once.
struct PassPlan {
    Finish f;
    uint32_t round = 0;
    int32_t T = 0, h = 0, bi = 0, bc = 0;
    int64_t count = 0;
    PSFRect valid{}, start{}, lines{};
    Steps in{0, 0}, out{0, 0}, cs{0, 0}, rs{0, 0};
    const uint8_t* controlLine = nullptr;   // at the first output line
    const uint8_t* referenceLine = nullptr; // at the first output line
    ChosenFn chosen = nullptr;
    bool inAcross = false, outAcross = false, ctlAcross = false;
};

// Output lines [from, to) of the pass, in blocks of the scratch's lines. A
// line's samples depend on that line's inputs alone, so any cut of the lines
// into blocks gives the same bytes.
void RunLines(const FpPassArgs& a, const PassPlan& p, int32_t from, int32_t to, const FpPassScratch& scratch) {
    const int64_t skip = int64_t(from) - p.lines.y0;
    const uint8_t* inLine = static_cast<const uint8_t*>(a.input->data) + skip * p.in.outer;
    uint8_t* outLine = static_cast<uint8_t*>(a.output->data) + skip * p.out.outer;
    const uint8_t* controlLine = p.controlLine ? p.controlLine + skip * p.cs.outer : nullptr;
    const uint8_t* referenceLine = p.referenceLine ? p.referenceLine + skip * p.rs.outer : nullptr;
    const int64_t stride = scratch.capacity + scratch.taps;
    int32_t* line = scratch.line;
    uint32_t* sums = reinterpret_cast<uint32_t*>(scratch.sums);
    uint8_t* control = scratch.control;
    const int64_t count = p.count;
    const int32_t T = p.T;
    for (int32_t y = from; y < to;) {
        const int32_t n32 = int32_t(std::min<int64_t>(scratch.lines, int64_t(to) - y));
        gather(inLine, p.in, p.bi, int64_t(p.valid.x1) - p.valid.x0, int64_t(p.start.x0) - p.h - p.valid.x0,
               count + T - 1, n32, stride, line, p.inAcross);
        if (controlLine) {
            const int32_t bc = p.bc;
            if (p.ctlAcross) {
                for (int64_t j = 0; j < count; ++j)
                    for (int32_t b = 0; b < n32; ++b) {
                        const uint8_t* c = controlLine + b * p.cs.outer + j * p.cs.inner;
                        control[b * stride + j] = bc <= 8 ? *c : uint8_t(load16(c) >> (bc - 8));
                    }
            } else {
                for (int32_t b = 0; b < n32; ++b) {
                    const uint8_t* c = controlLine + b * p.cs.outer;
                    uint8_t* to8 = control + b * stride;
                    if (bc <= 8) {
                        for (int64_t j = 0; j < count; ++j, c += p.cs.inner) to8[j] = *c;
                    } else {
                        for (int64_t j = 0; j < count; ++j, c += p.cs.inner) to8[j] = uint8_t(load16(c) >> (bc - 8));
                    }
                }
            }
        }
        for (int32_t b = 0; b < n32; ++b) {
            if (controlLine) {
                if (p.chosen)
                    p.chosen(line + b * stride, a.kernels, control + b * stride, count, p.round, sums + b * stride);
                else
                    chosenKernels(line + b * stride, a.kernels, control + b * stride, T, count, p.round,
                                  sums + b * stride);
            } else {
                fixedKernel(line + b * stride, a.kernels[0], T, count, p.round, sums + b * stride);
            }
        }
        finishLines(p.f, sums, count, n32, stride, controlLine ? control : nullptr, referenceLine, p.rs, outLine, p.out,
                    p.outAcross);
        y += n32;
        inLine += n32 * p.in.outer;
        outLine += n32 * p.out.outer;
        if (controlLine) controlLine += n32 * p.cs.outer;
        if (referenceLine) referenceLine += n32 * p.rs.outer;
    }
}

// Work memory like the caller's, for one more lane.
struct LaneScratch {
    std::unique_ptr<int32_t[]> line, sums;
    std::unique_ptr<uint8_t[]> control;
    FpPassScratch scratch{};
    bool Make(const FpPassScratch& like) {
        const int64_t size = (like.capacity + like.taps) * like.lines;
        line.reset(new (std::nothrow) int32_t[size_t(size)]);
        sums.reset(new (std::nothrow) int32_t[size_t(size)]);
        control.reset(new (std::nothrow) uint8_t[size_t(size)]);
        scratch = FpPassScratch{line.get(), sums.get(), control.get(), like.capacity, like.taps, like.lines};
        return line && sums && control;
    }
};

} // namespace

FpStatus FpConvolvePass(const FpPassArgs& a) {
    const PSFRect samples = oriented(a.outputSamples, a.outputFlag);
    const int64_t count = int64_t(samples.x1) - samples.x0;
    const int32_t T = a.taps;
    if (!a.scratch || a.scratch->capacity < count || a.scratch->taps < T || a.scratch->lines < 1 || T < 1)
        return FpConvolvePassReference(a);

    PassPlan p;
    p.T = T;
    p.count = count;
    p.bi = FpSampleBits(a.input->sampleType);
    const int32_t bo = FpSampleBits(a.output->sampleType);
    const int32_t s = p.bi - bo + a.fractionBits;
    p.f.shift = s >= 1 ? unsigned(s) : 0;
    p.round = s >= 1 ? uint32_t(1) << (s - 1) : 0;
    p.f.M = (1 << bo) - 1;
    p.f.bits = bo;
    p.f.twoT = 2 * (int64_t(a.threshold) << (bo - 8));
    p.f.pairs = a.pairs;
    p.f.fractionBits = a.fractionBits;
    p.f.pairRound = a.fractionBits >= 1 ? 1 << (a.fractionBits - 1) : 0;
    p.h = (T - 1) / 2;

    p.valid = oriented(a.inputValid, a.inputFlag);
    p.start = oriented(a.inputStart, a.inputFlag);
    p.lines = oriented(a.outputLines, a.outputFlag);
    p.in = steps(*a.input, a.inputFlag);
    p.out = steps(*a.output, a.outputFlag);

    if (a.control) {
        p.bc = FpSampleBits(a.control->sampleType);
        p.cs = steps(*a.control, a.controlFlag);
        const PSFRect buf = oriented(a.controlBuffer, a.controlFlag), st = oriented(a.controlStart, a.controlFlag);
        p.controlLine = static_cast<const uint8_t*>(a.control->data) + int64_t(st.y0 - buf.y0) * p.cs.outer +
                        int64_t(st.x0 - buf.x0) * p.cs.inner;
    }
    if (a.reference) {
        if (a.reference->sampleType != a.output->sampleType) return FpReferenceType;
        p.rs = steps(*a.reference, a.outputFlag);
        const PSFRect buf = oriented(a.referenceBuffer, a.outputFlag), st = oriented(a.referenceStart, a.outputFlag);
        p.referenceLine = static_cast<const uint8_t*>(a.reference->data) + int64_t(st.y0 - buf.y0) * p.rs.outer +
                          int64_t(st.x0 - buf.x0) * p.rs.inner;
    }
    p.chosen = Chosen::get(T);
    // Lines that lie closer together than their samples (a column-wise
    // group over interleaved or row-major data) are walked across, a block
    // of lines at a time, so that each cache line serves several of them.
    auto across = [](Steps st) { return std::llabs(st.outer) < std::llabs(st.inner); };
    p.inAcross = across(p.in);
    p.outAcross = across(p.out);
    p.ctlAcross = p.controlLine && across(p.cs);

    // Where the progress reports fall: the reference reports after the same
    // lines, its blocks ending at most one line after each report, so the
    // output holds exactly the lines up to that block's end when a report
    // answers cancel.
    const int32_t L = p.lines.y1 - p.lines.y0;
    int32_t n = int32_t(22.0 - L * 0.002);
    n = n < 1 ? 1 : (n > 25 ? 25 : n);
    const int32_t every = int32_t((int64_t(n) * L) / 100);
    struct Report {
        int32_t line, end;
    };
    std::vector<Report> reports;
    {
        int32_t countdown = every;
        for (int32_t y = p.lines.y0; y < p.lines.y1;) {
            int64_t nb = std::min<int64_t>({a.scratch->lines, int64_t(p.lines.y1) - y, int64_t(countdown) + 2});
            if (nb < 1) nb = 1;
            const int32_t end = y + int32_t(nb);
            for (; y < end; ++y) {
                if (countdown < 0) {
                    reports.push_back({y, end});
                    countdown = every;
                } else {
                    --countdown;
                }
            }
        }
    }

    // The lines between two reports on every lane of the worker pool, each
    // with work memory of its own; the reports come from this thread.
    lumora::WorkerPool& pool = lumora::WorkerPool::Shared();
    const int32_t chunk = a.scratch->lines;
    const unsigned wanted = pool.LanesFor(size_t((int64_t(L) + chunk - 1) / chunk));
    std::vector<LaneScratch> lanes;
    for (unsigned i = 1; i < wanted; ++i) {
        lanes.emplace_back();
        if (!lanes.back().Make(*a.scratch)) {
            lanes.pop_back();
            break;
        }
    }
    auto run = [&](int32_t from, int32_t to) {
        if (to <= from) return;
        const size_t chunks = size_t((int64_t(to) - from + chunk - 1) / chunk);
        pool.ForEach(chunks, unsigned(lanes.size()) + 1, [&](size_t i, unsigned lane) {
            const int32_t first = from + int32_t(i) * chunk;
            RunLines(a, p, first, std::min(to, first + chunk), lane == 0 ? *a.scratch : lanes[lane - 1].scratch);
        });
    };
    int32_t done = p.lines.y0;
    for (const Report& r : reports) {
        run(done, r.end);
        done = r.end;
        const FpStatus st =
            a.progress ? a.progress(int32_t((int64_t(r.line - p.lines.y0) * 100) / L), a.progressContext) : FpOk;
        if (st != FpOk) return st;
    }
    run(done, p.lines.y1);
    return FpOk;
}

} // namespace kestra
