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

#include <cstdlib>
#include <cstring>

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

// line[q] = S(p + q) for q = 0 .. count - 1.
void gather(const uint8_t* base, int64_t step, int32_t bits, int64_t validCount, int64_t p, int64_t count,
            int32_t* line) {
    const int32_t first = bits <= 8 ? base[0] : load16(base);
    const uint8_t* lastp = base + (validCount - 1) * step;
    const int32_t last = bits <= 8 ? lastp[0] : load16(lastp);
    int64_t q = 0;
    for (; q < count && p + q < 0; ++q) line[q] = first;
    int64_t end = validCount - p; // first q past the valid samples
    if (end > count) end = count;
    if (q < end) {
        const uint8_t* s = base + (p + q) * step;
        if (bits <= 8) {
            if (step == 1) {
                for (int64_t i = q; i < end; ++i) line[i] = s[i - q];
            } else {
                for (int64_t i = q; i < end; ++i, s += step) line[i] = *s;
            }
        } else if (step == 2) {
            const uint16_t* s16 = reinterpret_cast<const uint16_t*>(s);
            for (int64_t i = q; i < end; ++i) {
                uint16_t v;
                std::memcpy(&v, s16 + (i - q), 2);
                line[i] = v;
            }
        } else {
            for (int64_t i = q; i < end; ++i, s += step) line[i] = load16(s);
        }
        q = end;
    }
    for (; q < count; ++q) line[q] = last;
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

template <int T>
__attribute__((target_clones("avx2", "default"))) void chosenKernelsT(const int32_t* line,
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
    static ChosenFn get(int32_t T) {
        ChosenFn f = nullptr;
        ((T == Ts ? (f = &chosenKernelsT<Ts>, true) : false) || ...);
        return f;
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

// Shifts, clamps, mixes in the reference and stores one line.
void finishLine(const Finish& f, const uint32_t* sums, int64_t count, const uint8_t* control, const uint8_t* ref,
                int64_t refStep, uint8_t* out, int64_t outStep) {
    const int32_t M = f.M;
    if (!ref) {
        if (f.bits <= 8) {
            for (int64_t j = 0; j < count; ++j) {
                int32_t v = lumora::asr32(int32_t(sums[j]), f.shift);
                v = v < 0 ? 0 : (v > M ? M : v);
                out[j * outStep] = uint8_t(v);
            }
        } else {
            for (int64_t j = 0; j < count; ++j) {
                int32_t v = lumora::asr32(int32_t(sums[j]), f.shift);
                v = v < 0 ? 0 : (v > M ? M : v);
                const uint16_t w = uint16_t(v);
                std::memcpy(out + j * outStep, &w, 2);
            }
        }
        return;
    }
    for (int64_t j = 0; j < count; ++j) {
        int32_t v = lumora::asr32(int32_t(sums[j]), f.shift);
        v = v < 0 ? 0 : (v > M ? M : v);
        const uint8_t* rp = ref + j * refStep;
        const int32_t u = f.bits <= 8 ? *rp : load16(rp);
        if (f.twoT > 0) {
            const int64_t d = v - u;
            if (std::llabs(d) < f.twoT) v = int32_t(u + (std::llabs(d) * d) / f.twoT);
        }
        if (f.pairs) {
            const int32_t* pr = f.pairs[control ? control[j] : 0];
            const uint32_t mix = uint32_t(pr[0]) * uint32_t(v) + uint32_t(pr[1]) * uint32_t(u) + uint32_t(f.pairRound);
            v = lumora::asr32(int32_t(mix), unsigned(f.fractionBits));
            v = v < 0 ? 0 : (v > M ? M : v);
        }
        if (f.bits <= 8) {
            out[j * outStep] = uint8_t(v);
        } else {
            const uint16_t w = uint16_t(v);
            std::memcpy(out + j * outStep, &w, 2);
        }
    }
}

} // namespace

FpStatus FpConvolvePass(const FpPassArgs& a) {
    const PSFRect samples = oriented(a.outputSamples, a.outputFlag);
    const int64_t count = int64_t(samples.x1) - samples.x0;
    const int32_t T = a.taps;
    if (!a.scratch || a.scratch->capacity < count || T < 1) return FpConvolvePassReference(a);

    const int32_t bi = FpSampleBits(a.input->sampleType), bo = FpSampleBits(a.output->sampleType);
    const int32_t s = bi - bo + a.fractionBits;
    Finish f;
    f.shift = s >= 1 ? unsigned(s) : 0;
    const uint32_t round = s >= 1 ? uint32_t(1) << (s - 1) : 0;
    f.M = (1 << bo) - 1;
    f.bits = bo;
    f.twoT = 2 * (int64_t(a.threshold) << (bo - 8));
    f.pairs = a.pairs;
    f.fractionBits = a.fractionBits;
    f.pairRound = a.fractionBits >= 1 ? 1 << (a.fractionBits - 1) : 0;
    const int32_t h = (T - 1) / 2;

    const PSFRect valid = oriented(a.inputValid, a.inputFlag), start = oriented(a.inputStart, a.inputFlag);
    const PSFRect lines = oriented(a.outputLines, a.outputFlag);
    const Steps in = steps(*a.input, a.inputFlag), out = steps(*a.output, a.outputFlag);

    int32_t bc = 0;
    Steps cs{0, 0};
    const uint8_t* controlLine = nullptr;
    if (a.control) {
        bc = FpSampleBits(a.control->sampleType);
        cs = steps(*a.control, a.controlFlag);
        const PSFRect buf = oriented(a.controlBuffer, a.controlFlag), st = oriented(a.controlStart, a.controlFlag);
        controlLine = static_cast<const uint8_t*>(a.control->data) + int64_t(st.y0 - buf.y0) * cs.outer +
                      int64_t(st.x0 - buf.x0) * cs.inner;
    }
    Steps rs{0, 0};
    const uint8_t* referenceLine = nullptr;
    if (a.reference) {
        if (a.reference->sampleType != a.output->sampleType) return FpReferenceType;
        rs = steps(*a.reference, a.outputFlag);
        const PSFRect buf = oriented(a.referenceBuffer, a.outputFlag), st = oriented(a.referenceStart, a.outputFlag);
        referenceLine = static_cast<const uint8_t*>(a.reference->data) + int64_t(st.y0 - buf.y0) * rs.outer +
                        int64_t(st.x0 - buf.x0) * rs.inner;
    }
    const ChosenFn chosen = Chosen::get(T);

    const int32_t L = lines.y1 - lines.y0;
    int32_t n = int32_t(22.0 - L * 0.002);
    n = n < 1 ? 1 : (n > 25 ? 25 : n);
    const int32_t every = int32_t((int64_t(n) * L) / 100);
    int32_t countdown = every;

    const uint8_t* inLine = static_cast<const uint8_t*>(a.input->data);
    uint8_t* outLine = static_cast<uint8_t*>(a.output->data);
    int32_t* line = a.scratch->line;
    uint32_t* sums = reinterpret_cast<uint32_t*>(a.scratch->sums);
    uint8_t* control = a.scratch->control;
    for (int32_t y = lines.y0; y < lines.y1; ++y) {
        gather(inLine, in.inner, bi, int64_t(valid.x1) - valid.x0, int64_t(start.x0) - h - valid.x0, count + T - 1,
               line);
        if (controlLine) {
            const uint8_t* c = controlLine;
            if (bc <= 8) {
                for (int64_t j = 0; j < count; ++j, c += cs.inner) control[j] = *c;
            } else {
                for (int64_t j = 0; j < count; ++j, c += cs.inner) control[j] = uint8_t(load16(c) >> (bc - 8));
            }
            if (chosen) chosen(line, a.kernels, control, count, round, sums);
            else chosenKernels(line, a.kernels, control, T, count, round, sums);
        } else {
            fixedKernel(line, a.kernels[0], T, count, round, sums);
        }
        finishLine(f, sums, count, controlLine ? control : nullptr, referenceLine, rs.inner, outLine, out.inner);
        if (countdown < 0) {
            const FpStatus st = a.progress ? a.progress(int32_t((int64_t(y - lines.y0) * 100) / L), a.progressContext) : FpOk;
            countdown = every;
            if (st != FpOk) return st;
        } else {
            --countdown;
        }
        inLine += in.outer;
        outLine += out.outer;
        if (controlLine) controlLine += cs.outer;
        if (referenceLine) referenceLine += rs.outer;
    }
    return FpOk;
}

} // namespace kestra
