// The resampling pass as the strips run it: each input line gathered once
// into a 32-bit array with its edges laid out, then one dot product per
// output sample over consecutive entries. Products and sums wrap exactly as
// in the ring version, so the bytes are the same.
#include "FpResamplePass.h"

#include "FpResamplePassCommon.h"
#include "FpScratch.h"

#include <algorithm>

namespace kestra {

namespace {

__attribute__((target_clones("avx2", "default"))) uint32_t dot(const int32_t* x, const int32_t* k, int32_t T,
                                                                uint32_t acc) {
    for (int32_t s = 0; s < T; ++s) acc += uint32_t(x[s]) * uint32_t(k[s]);
    return acc;
}

template <int T>
uint32_t dotFixed(const int32_t* x, const int32_t* k, uint32_t acc) {
    for (int32_t s = 0; s < T; ++s) acc += uint32_t(x[s]) * uint32_t(k[s]);
    return acc;
}

__attribute__((target_clones("avx2", "default"))) void dots32(const int32_t* line, const int64_t* at,
                                                               const int32_t* const* kernels, int64_t n,
                                                               uint32_t round, uint32_t* out) {
    for (int64_t j = 0; j < n; ++j) out[j] = dotFixed<32>(line + at[j], kernels[j], round);
}

} // namespace

FpStatus FpResamplePass(const FpResampleArgs& a) {
    const FpResampleLayout l = FpLayoutOf(a);
    if (l.in1 <= l.in0) return FpBadSourcePicture;
    const int32_t T = a.taps, f = a.fractionBits;
    const FpPassTable& t = *a.pass;
    const int64_t count = l.ox1 - l.ox0;
    if (count <= 0 || l.oy1 <= l.oy0) return FpOk;
    // The positions of one line run from start to start + (count - 1) d;
    // their indexes span the gathered range of every line, shifted by
    // the line's A1.
    int64_t start0 = int64_t(t.a1) * l.oy0 + int64_t(t.a0) * l.ox0 + t.a2;
    int64_t d = t.a0;
    if (t.a0 < 0) {
        start0 += (count - 1) * t.a0;
        d = -int64_t(t.a0);
    }
    FpScratch<int64_t> at(count);
    FpScratch<const int32_t*> kernel(count);
    FpScratch<uint32_t> sums(count);
    FpScratch<uint8_t> inside(count);
    if (!at || !kernel || !sums || !inside) return FpNoSharedMemory;

    FpLineProgress progress(a, l.oy1 - l.oy0);
    int64_t done = 0;
    FpScratch<int32_t> line;
    int64_t lineCapacity = 0;
    for (int32_t p = 0; p < a.input->planeCount; ++p) {
        FpPlaneWalk w;
        const FpStatus ws = FpPlaneWalkOf(a, p, w);
        if (ws != FpOk) return ws;
        const int64_t outStart = t.a0 < 0 ? (count - 1) * w.outInner : 0;
        const int64_t outStep = t.a0 < 0 ? -w.outInner : w.outInner;
        int64_t start = start0;
        for (int64_t y = l.oy0; y < l.oy1; ++y) {
            int64_t lo, hi;
            int32_t phase;
            FpPositionIndex(start, a.phaseBits, lo, phase);
            FpPositionIndex(start + (count - 1) * d, a.phaseBits, hi, phase);
            const int64_t base = lo - (T - 1) / 2, span = hi - lo + T;
            if (span > lineCapacity) {
                if (!line.allocate(span)) return FpNoSharedMemory;
                lineCapacity = span;
            }
            const bool fill = w.edge.mode == FpEdgeFill;
            const int32_t first = fill ? w.edge.fill : FpReadSample(w.inLine, 0, w.inInner, w.inBytes);
            const int32_t last = fill ? w.edge.fill : FpReadSample(w.inLine, l.in1 - 1 - l.in0, w.inInner, w.inBytes);
            int32_t* g = line.get();
            const int64_t a0 = std::clamp(l.in0, base, base + span), a1 = std::clamp(l.in1, base, base + span);
            for (int64_t q = base; q < a0; ++q) g[q - base] = first;
            if (w.inBytes) {
                const uint8_t* s = w.inLine + (a0 - l.in0) * w.inInner;
                for (int64_t q = a0; q < a1; ++q, s += w.inInner) g[q - base] = *s;
            } else {
                for (int64_t q = a0; q < a1; ++q) g[q - base] = FpReadSample(w.inLine, q - l.in0, w.inInner, false);
            }
            for (int64_t q = a1; q < base + span; ++q) g[q - base] = last;

            int64_t pos = start;
            for (int64_t x = 0; x < count; ++x, pos += d) {
                int64_t i;
                FpPositionIndex(pos, a.phaseBits, i, phase);
                at[x] = i - (T - 1) / 2 - base;
                kernel[x] = a.kernels + int64_t(phase) * 2 * T;
                inside[x] = w.edge.mode != FpEdgeKeep || (i >= l.in0 && i < l.in1);
            }
            if (T == 32) {
                dots32(g, at.get(), kernel.get(), count, uint32_t(l.round), sums.get());
            } else {
                for (int64_t x = 0; x < count; ++x) sums[x] = dot(g + at[x], kernel[x], T, uint32_t(l.round));
            }
            uint8_t* o = w.outLine + outStart;
            if (w.outBytes) {
                for (int64_t x = 0; x < count; ++x, o += outStep)
                    if (inside[x]) *o = uint8_t(FpFinishSum(sums[x], f, w.largest));
            } else {
                for (int64_t x = 0; x < count; ++x, o += outStep)
                    if (inside[x]) FpWriteSample(o, false, FpFinishSum(sums[x], f, w.largest));
            }
            start += t.a1;
            const FpStatus st = progress.lineDone(done + (y - l.oy0));
            if (st != FpOk) return st;
            w.inLine += w.inOuter;
            w.outLine += w.outOuter;
        }
        done += l.oy1 - l.oy0;
    }
    return FpOk;
}

} // namespace kestra
