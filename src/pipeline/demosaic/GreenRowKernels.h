#pragma once
// The demosaicers' green row kernels, written once and built twice: into the
// portable code and, in GreenRowsAvx2.cpp only, for AVX2. Everything here has
// internal linkage and calls nothing outside this file, so the linker can never
// let one build's copy stand in for the other's.
#include <cstdint>

namespace lumora::green_rows {

static inline int32_t Asr(int32_t v, unsigned n) { return v >> n; }
static inline int16_t Wrap(int32_t v) { return int16_t(uint16_t(uint32_t(v))); }
static inline int32_t Abs(int32_t v) { return v < 0 ? -v : v; }

// What both green rules read of column c: the sample, its four green
// neighbours, the horizontal and vertical Laplacians and the gradients they
// make.
struct Neighbours {
    int32_t X, gl, gr, gu, gd, lh, lv, dh, dv;
};

static inline Neighbours At(const int16_t* __restrict x, const int16_t* __restrict up,
                            const int16_t* __restrict down, const int16_t* __restrict up2,
                            const int16_t* __restrict down2, int c) {
    Neighbours n;
    n.X = x[c];
    n.gl = x[c - 1], n.gr = x[c + 1], n.gu = up[c], n.gd = down[c];
    n.lh = 2 * n.X - x[c - 2] - x[c + 2];
    n.lv = 2 * n.X - up2[c] - down2[c];
    n.dh = Abs(n.gl - n.gr) + Abs(n.lh);
    n.dv = Abs(n.gu - n.gd) + Abs(n.lv);
    return n;
}

// Gradient-plus-Laplacian green of columns 2 ... w-3; green sites keep their
// sensor value. Every column is computed so the loads stay contiguous.
static inline void Adaptive(const int16_t* __restrict x, const int16_t* __restrict up,
                            const int16_t* __restrict down, const int16_t* __restrict up2,
                            const int16_t* __restrict down2, int16_t* __restrict g, int w, int greenParity) {
    for (int c = 2; c < w - 2; ++c) {
        const auto [X, gl, gr, gu, gd, lh, lv, dh, dv] = At(x, up, down, up2, down2, c);
        const int32_t gh = Asr(gl + gr, 1) + Asr(lh, 2);
        const int32_t gv = Asr(gu + gd, 1) + Asr(lv, 2);
        const int32_t g4 = Asr(gl + gr + gu + gd, 2) + Asr(lh + lv, 3);
        const int32_t gi = dh < dv ? gh : (dv < dh ? gv : g4);
        g[c] = ((c & 1) == greenParity) ? int16_t(X) : Wrap(gi);
    }
}

// The threshold rule's green of columns 2 ... w-3; flag[c] marks the colour
// sites that counted as flat (16 bits wide like the samples, which keeps the
// loop to one element size; Flags narrows them).
static inline void Threshold(const int16_t* __restrict x, const int16_t* __restrict up,
                             const int16_t* __restrict down, const int16_t* __restrict up2,
                             const int16_t* __restrict down2, int16_t* __restrict g, int16_t* __restrict flag,
                             int w, int greenParity, int32_t threshold) {
    for (int c = 2; c < w - 2; ++c) {
        const auto [X, gl, gr, gu, gd, lh, lv, dh, dv] = At(x, up, down, up2, down2, c);
        const int32_t gV = Asr(gu + gd + 1, 1) + Asr(lv, 2);
        const int32_t gH = Asr(gl + gr + 1, 1) + Asr(lh, 2);
        const int32_t gEdge = dv < dh ? gV : gH;
        const int32_t gFlat = Asr(lh + lv, 3) + Asr(gl + gr + gu + gd + 2, 2);
        const int32_t edge = (dh > threshold) | (dv > threshold);
        const int32_t colour = (c & 1) ^ greenParity;
        g[c] = colour ? Wrap(edge ? gEdge : gFlat) : int16_t(X);
        flag[c] = int16_t(colour & (edge ^ 1));
    }
}

static inline void Flags(const int16_t* __restrict flag, uint8_t* __restrict out, int w) {
    for (int c = 2; c < w - 2; ++c) out[c] = uint8_t(flag[c]);
}

// Measured greens (plane rows gu, gc, gd) with at least `need` flat neighbours
// (flag rows fu, fc, fd) take the mean of the four greens beside them; columns
// 2 ... w-3 go to out.
static inline void Resmooth(const int16_t* __restrict gu, const int16_t* __restrict gc,
                            const int16_t* __restrict gd, const uint8_t* __restrict fu,
                            const uint8_t* __restrict fc, const uint8_t* __restrict fd, int16_t* __restrict out,
                            int w, int greenParity, int32_t need) {
    for (int c = 2; c < w - 2; ++c) {
        const int32_t count = int32_t(fc[c - 1]) + fc[c + 1] + fu[c] + fd[c];
        const int32_t avg = Asr(int32_t(gc[c - 1]) + gc[c + 1] + gu[c] + gd[c] + 2, 2);
        const bool replace = ((c & 1) == greenParity) && count >= need;
        out[c] = replace ? int16_t(avg) : gc[c];
    }
}

} // namespace lumora::green_rows
