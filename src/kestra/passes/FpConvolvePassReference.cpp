#include "FpConvolvePass.h"

#include "FpPictures.h"

#include <IntOps.h>

#include <cstdlib>

namespace kestra {

namespace {

struct Steps {
    int64_t inner, outer;
};

Steps steps(const PSFPlane& p, uint16_t flag) {
    return flag ? Steps{p.rowStep, p.sampleStep} : Steps{p.sampleStep, p.rowStep};
}

PSFRect oriented(const PSFRect& r, uint16_t flag) { return flag ? FpTransposeRect(r) : r; }

int32_t readSample(const uint8_t* p, int32_t bits) {
    if (bits <= 8) return *p;
    uint16_t v;
    __builtin_memcpy(&v, p, 2);
    return v;
}

void writeSample(uint8_t* p, int32_t bits, int32_t v) {
    if (bits <= 8) {
        *p = uint8_t(v);
        return;
    }
    const uint16_t w = uint16_t(v);
    __builtin_memcpy(p, &w, 2);
}

} // namespace

FpStatus FpConvolvePassReference(const FpPassArgs& a) {
    const int32_t bi = FpSampleBits(a.input->sampleType), bo = FpSampleBits(a.output->sampleType);
    const int32_t s = bi - bo + a.fractionBits;
    const int32_t round = s >= 1 ? lumora::shl32(1, unsigned(s - 1)) : 0;
    const unsigned shift = s >= 1 ? unsigned(s) : 0;
    const int32_t M = (1 << bo) - 1;
    const int32_t T = a.taps, h = (T - 1) / 2;

    const PSFRect valid = oriented(a.inputValid, a.inputFlag), start = oriented(a.inputStart, a.inputFlag);
    const PSFRect lines = oriented(a.outputLines, a.outputFlag), samples = oriented(a.outputSamples, a.outputFlag);
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
    const int64_t twoT = 2 * (int64_t(a.threshold) << (bo - 8));
    const int32_t pairRound = a.fractionBits >= 1 ? 1 << (a.fractionBits - 1) : 0;

    const int32_t L = lines.y1 - lines.y0;
    int32_t n = int32_t(22.0 - L * 0.002);
    n = n < 1 ? 1 : (n > 25 ? 25 : n);
    const int32_t every = int32_t((int64_t(n) * L) / 100);
    int32_t countdown = every;

    const uint8_t* inLine = static_cast<const uint8_t*>(a.input->data);
    uint8_t* outLine = static_cast<uint8_t*>(a.output->data);
    const int32_t count = samples.x1 - samples.x0;
    for (int32_t y = lines.y0; y < lines.y1; ++y) {
        const int32_t first = readSample(inLine, bi);
        const int32_t last = readSample(inLine + int64_t(valid.x1 - valid.x0 - 1) * in.inner, bi);
        const int32_t p = start.x0 - h;
        auto S = [&](int64_t q) {
            if (q < valid.x0) return first;
            if (q >= valid.x1) return last;
            return readSample(inLine + (q - valid.x0) * in.inner, bi);
        };
        for (int32_t k = 0; k < T - 1; ++k) a.ring[k] = S(int64_t(p) + k);
        int32_t r = T == 1 ? 0 : T - 1;
        const uint8_t* c = controlLine;
        const uint8_t* u = referenceLine;
        uint8_t* o = outLine;
        for (int32_t j = 0; j < count; ++j) {
            a.ring[r] = S(int64_t(p) + T - 1 + j);
            if (++r > T - 1) r = 0;
            int32_t value = 0;
            if (c) {
                value = bc <= 8 ? *c : (readSample(c, 16) >> (bc - 8));
                c += cs.inner;
            }
            const int32_t* K = a.kernels[c ? value : 0];
            int32_t acc = round;
            for (int32_t k = 0; k < T; ++k) acc = lumora::wrapAdd32(acc, lumora::wrapMul32(a.ring[k], K[k - r]));
            int32_t v = lumora::asr32(acc, shift);
            v = v < 0 ? 0 : (v > M ? M : v);
            if (u) {
                const int32_t ref = readSample(u, bo);
                u += rs.inner;
                if (twoT > 0) {
                    const int64_t d = v - ref;
                    // The product is formed in 64 bits: on 16-bit planes with
                    // a high threshold it does not fit 32.
                    if (std::llabs(d) < twoT) v = int32_t(ref + (std::llabs(d) * d) / twoT);
                }
                if (a.pairs) {
                    const int32_t* pr = a.pairs[c ? value : 0];
                    const int32_t mix = lumora::wrapAdd32(
                        lumora::wrapAdd32(lumora::wrapMul32(pr[0], v), lumora::wrapMul32(pr[1], ref)), pairRound);
                    v = lumora::asr32(mix, unsigned(a.fractionBits));
                    v = v < 0 ? 0 : (v > M ? M : v);
                }
            }
            writeSample(o, bo, v);
            o += out.inner;
        }
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
