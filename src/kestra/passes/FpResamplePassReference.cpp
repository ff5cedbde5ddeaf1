// The resampling pass as first written: a ring of the last T input samples,
// reloaded when the position jumps by T or more and shifted otherwise.
#include "FpResamplePass.h"

#include "FpResamplePassCommon.h"

namespace kestra {

void FpPositionIndex(int64_t p, int32_t pb, int64_t& index, int32_t& phase) {
    const int64_t half = int64_t(1) << (15 - pb);
    if (p >= 0) {
        index = (p + half) >> 16;
        phase = int32_t(((p + half) & 0xFFFF) >> (16 - pb));
    } else {
        index = -1 - ((half - p) >> 16);
        phase = int32_t(((p - half) & 0xFFFF) >> (16 - pb));
    }
}

FpStatus FpResamplePassReference(const FpResampleArgs& a) {
    const FpResampleLayout l = FpLayoutOf(a);
    if (l.in1 <= l.in0) return FpBadSourcePicture;
    const int32_t T = a.taps, f = a.fractionBits;
    const FpPassTable& t = *a.pass;
    // The ring holds S(i - lead) .. S(i - lead + T - 1): for an even T one
    // more sample right of i than left of it.
    const int32_t lead = (T - 1) / 2;
    FpLineProgress progress(a, l.oy1 - l.oy0);
    int64_t done = 0;
    for (int32_t p = 0; p < a.input->planeCount; ++p) {
        FpPlaneWalk w;
        const FpStatus ws = FpPlaneWalkOf(a, p, w);
        if (ws != FpOk) return ws;
        const int64_t count = l.ox1 - l.ox0;
        int64_t start = int64_t(t.a1) * l.oy0 + int64_t(t.a0) * l.ox0 + t.a2;
        int64_t d = t.a0, outStep = w.outInner, outStart = 0;
        if (t.a0 < 0) {
            start += (count - 1) * t.a0;
            outStart = (count - 1) * w.outInner;
            outStep = -w.outInner;
            d = -int64_t(t.a0);
        }
        for (int64_t y = l.oy0; y < l.oy1; ++y) {
            const bool fill = w.edge.mode == FpEdgeFill;
            const int32_t first = fill ? w.edge.fill : FpReadSample(w.inLine, 0, w.inInner, w.inBytes);
            const int32_t last = fill ? w.edge.fill : FpReadSample(w.inLine, l.in1 - 1 - l.in0, w.inInner, w.inBytes);
            auto S = [&](int64_t q) {
                if (q < l.in0) return first;
                if (q >= l.in1) return last;
                return FpReadSample(w.inLine, q - l.in0, w.inInner, w.inBytes);
            };
            bool empty = true;
            int64_t previous = 0;
            int32_t r = 0;
            int64_t pos = start;
            uint8_t* o = w.outLine + outStart;
            for (int64_t x = 0; x < count; ++x) {
                int64_t i;
                int32_t phase;
                FpPositionIndex(pos, a.phaseBits, i, phase);
                if (empty || i - previous >= T) {
                    for (int32_t s = 0; s < T; ++s) a.ring[s] = S(i - lead + s);
                    r = 0;
                    empty = false;
                } else {
                    for (int64_t q = previous - lead + T; q <= i - lead + T - 1; ++q) {
                        a.ring[r] = S(q);
                        r = r + 1 == T ? 0 : r + 1;
                    }
                }
                previous = i;
                if (w.edge.mode != FpEdgeKeep || (i >= l.in0 && i < l.in1)) {
                    const int32_t* K = a.kernels + int64_t(phase) * 2 * T + T;
                    uint32_t acc = uint32_t(l.round);
                    for (int32_t s = 0; s < T; ++s) acc += uint32_t(a.ring[s]) * uint32_t(K[s - r]);
                    FpWriteSample(o, w.outBytes, FpFinishSum(acc, f, w.largest));
                }
                pos += d;
                o += outStep;
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
