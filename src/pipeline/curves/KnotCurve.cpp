#include "KnotCurve.h"

#include <algorithm>
#include <new>
#include <vector>

namespace lumora {

namespace {

// Slope of a segment in 9-bit fixed point.
int32_t Slope9(int32_t p, int32_t q, int32_t P, int32_t Q) {
    return ((Q - q) * 512 + ((P - p) >> 1)) / (P - p);
}

// The segment's value at x, relative to its start.
int32_t Along(int32_t p, int32_t q, int32_t P, int32_t Q, int32_t x) {
    return (Slope9(p, q, P, Q) * (x - p) + 256) >> 9;
}

} // namespace

void SampleLinear(const int32_t* x, const int32_t* y, int32_t n, const int32_t* inputs, int32_t* outputs,
                  int32_t count) {
    if (!x || !y || !inputs || !outputs || n < 2) return;
    int32_t j = 0;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t v = inputs[i];
        if (v > x[j + 1]) ++j;
        if (j > n - 2) j = n - 2;
        if (v < x[0]) {
            outputs[i] = y[0];
        } else if (v > x[n - 1]) {
            outputs[i] = y[n - 1];
        } else {
            const int32_t dx = x[j + 1] - x[j];
            // Knots that coincide have no slope between them: the segment is a step.
            if (dx <= 0) {
                outputs[i] = v > x[j] ? y[j + 1] : y[j];
                continue;
            }
            const int64_t rise = int64_t(y[j + 1] - y[j]) * (v - x[j]) + (dx >> 1);
            outputs[i] = y[j] + int32_t(rise / dx);
        }
    }
}

VqStatus SampleLinearRange(const int32_t* x, const int32_t* y, int32_t n, int32_t low, int32_t high,
                           int32_t count, int32_t* out) {
    if (high < low || count <= 0 || n < 2) return VQ_ERR_BAD_SAMPLE;
    if (!x || !y || !out) return VQ_ERR_BAD_HANDLE;
    std::vector<int32_t> inputs;
    try {
        inputs.resize(size_t(count));
    } catch (const std::bad_alloc&) {
        return VQ_ERR_NO_MEMORY;
    }
    const int64_t span = int64_t(high) - low;
    for (int32_t i = 0; i < count; ++i) inputs[size_t(i)] = low + int32_t((count / 2 + int64_t(i) * span) / count);
    SampleLinear(x, y, n, inputs.data(), out, count);
    return 0;
}

VqStatus KnotsFromLevels(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f, int32_t g, int32_t x[5],
                         int32_t y[5]) {
    VqStatus status = 0;
    if (b > c || b < a) {
        status = VQ_ERR_BAD_SAMPLE;
        b = b > c ? c - 200 : a + 200;
    }
    const int32_t ef = e * f;
    const int32_t h = std::max(0, d - ef);
    const int32_t y1 = std::max(h, (d + 2) / 4);
    const int32_t r = (3 * (g - 1 - d) + 2) / 4;
    const int32_t y3 = d + std::min(ef, r);
    const int32_t x1 = std::max(b - e, (a + b + 1) / 2);
    const int32_t x3 = std::min(b + e, (b + c + 1) / 2);
    const int32_t xs[5] = {a, x1, b, x3, c};
    const int32_t ys[5] = {0, y1, d, y3, g - 1};
    std::copy(xs, xs + 5, x);
    std::copy(ys, ys + 5, y);
    return status;
}

VqStatus NineKnotCurve(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f, int32_t count,
                       int32_t* out) {
    int32_t X[5], Y[5];
    if (const VqStatus s = KnotsFromLevels(a, b, c, d, e, f, count, X, Y)) return s;
    const int32_t K1 = (X[0] + X[1] + 1) / 2, K3 = (X[1] + X[2] + 1) / 2;
    const int32_t K5 = (X[2] + X[3] + 1) / 2, K7 = (X[3] + X[4] + 1) / 2;
    if (X[4] == X[2] || X[3] == X[2] || X[2] == X[0] || X[2] == X[1] || X[4] == K5 || K3 == X[0] || X[4] == X[3] ||
        X[1] == X[0])
        return VQ_ERR_BAD_SAMPLE;
    int32_t K[9] = {X[0], K1, X[1], K3, X[2], K5, X[3], K7, X[4]};
    int32_t V[9] = {};
    V[0] = Y[0];
    V[4] = Y[2];
    V[8] = Y[4];

    const int32_t tB = Y[2] + Along(X[2], Y[2], X[3], Y[3], K5);
    const int32_t tA = Y[2] + Along(X[2], Y[2], X[4], Y[4], K5);
    V[5] = (486 * tB + 26 * tA + 256) >> 9;
    const int32_t uC = (Slope9(X[1], Y[1], X[2], Y[2]) * (X[2] - K3) + 256) >> 9;
    const int32_t uD = (Slope9(X[0], Y[0], X[2], Y[2]) * (X[2] - K3) + 256) >> 9;
    V[3] = (512 * Y[2] - 486 * uC - 26 * uD + 256) >> 9;
    const int32_t wE = V[5] + ((Slope9(K5, V[5], X[4], Y[4]) * (X[3] - K5) + 256) >> 9);
    V[6] = (358 * Y[3] + 154 * wE + 256) >> 9;
    const int32_t vF = (Slope9(X[0], Y[0], K3, V[3]) * (K3 - X[1]) + 256) >> 9;
    V[2] = (358 * Y[1] + 154 * (V[3] - vF) + 256) >> 9;
    V[7] = Y[3] + Along(X[3], Y[3], X[4], Y[4], K7);
    V[1] = Y[1] - ((Slope9(X[0], Y[0], X[1], Y[1]) * (X[1] - K1) + 256) >> 9);

    // Raising the middle level steepens the lower segments: hold them at a slope of 10.
    if (b > d) {
        for (int s = 0; s < 8; ++s) {
            const int32_t dx = K[s + 1] - K[s];
            if (dx == 0) return VQ_ERR_BAD_SAMPLE;
            if ((2 * (V[s + 1] - V[s]) + dx) / (2 * dx) > 10) V[s + 1] = V[s] + 10 * dx;
        }
    }
    return SampleLinearRange(K, V, 9, 0, count - 1, count, out);
}

VqStatus SevenKnotCurve(int32_t a, int32_t b, int32_t c, int32_t count, int32_t* out) {
    const int32_t e = (8 * b + 5) / 10;
    int32_t X[5], Y[5];
    if (const VqStatus s = KnotsFromLevels(0, a, count - 1, a, e, c, count, X, Y)) return s;
    // Coinciding knots would divide by zero in the slopes below.
    if (X[2] == X[1] || X[3] == X[2]) return VQ_ERR_BAD_SAMPLE;
    const int32_t K1 = (X[0] + X[1] + 1) >> 1, K5 = (X[3] + X[4] + 1) >> 1;
    const int32_t s1 = (Y[2] - Y[1] + ((X[2] - X[1] + 1) >> 1)) / (X[2] - X[1]);
    const int32_t s2 = (Y[3] - Y[2] + ((X[3] - X[2] + 1) >> 1)) / (X[3] - X[2]);
    int32_t e1 = Y[1] + s1 * (K1 - X[1]);
    int32_t e2 = Y[3] + s2 * (K5 - X[3]);
    if (c >= 1) {
        e1 = std::max(e1, Y[0]);
        e2 = std::min(e2, Y[4]);
    }
    const int32_t V1 = (Y[0] + 2 * e1 + Y[1] + 2) >> 2;
    const int32_t V5 = (Y[3] + 2 * e2 + Y[4] + 2) >> 2;
    const int32_t K[7] = {X[0], K1, X[1], X[2], X[3], K5, X[4]};
    const int32_t V[7] = {Y[0], V1, Y[1], Y[2], Y[3], V5, Y[4]};
    return SampleLinearRange(K, V, 7, 0, count - 1, count, out);
}

} // namespace lumora
