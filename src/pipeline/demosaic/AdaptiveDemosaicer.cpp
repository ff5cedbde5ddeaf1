#include "AdaptiveDemosaicer.h"

#include <cstddef>
#include <cstdlib>

#include "GreenRowKernels.h"
#include "GreenRowsAvx2.h"
#include "IntOps.h"
#include "VqStatus.h"

namespace lumora {

const int16_t* AdaptiveDemosaicer::SensorRows::Row(int r) const {
    if (r < 0) return above + ptrdiff_t(r + 3) * width;
    if (r < rows) return strip + ptrdiff_t(r) * width;
    return below + ptrdiff_t(r - rows) * width;
}

AdaptiveDemosaicer::AdaptiveDemosaicer() { parameter_ = 0; }

uint16_t AdaptiveDemosaicer::SetMode(int mode) {
    parameter_ = mode;
    return 0;
}

uint16_t AdaptiveDemosaicer::Run(int16_t** planeG, int16_t** planeEven, int16_t** planeOdd) {
    if (passThrough_) return GetPassThroughPlanes(planeG, planeEven, planeOdd);
    return Interpolate(contextAbove_, strip_, contextBelow_, planeG_, planeEven_, planeOdd_, planeG,
                       planeEven, planeOdd, rows_, width_, parameter_);
}

uint16_t AdaptiveDemosaicer::CheckGreenArguments(const int16_t* contextAbove, const int16_t* strip,
                                                 const int16_t* contextBelow, const int16_t* planeG,
                                                 int rowsPlus2, int width) {
    if (!contextAbove || !strip || !contextBelow || !planeG) return VQ_ERR_DEMOSAIC_NULL;
    if (rowsPlus2 < 6) return VQ_ERR_STRIP_TOO_SMALL;
    if (rowsPlus2 & 1) return VQ_ERR_DEMOSAIC_ODD_HEIGHT;
    if (width < 6) return VQ_ERR_STRIP_TOO_SMALL;
    if (width & 1) return VQ_ERR_DEMOSAIC_ODD_WIDTH;
    return 0;
}

uint16_t AdaptiveDemosaicer::PrepareGreenBorders(const int16_t* contextAbove, const int16_t* strip,
                                                 const int16_t* contextBelow, int16_t* planeG,
                                                 int rowsPlus2, int width) {
    if (uint16_t st = CheckGreenArguments(contextAbove, strip, contextBelow, planeG, rowsPlus2, width))
        return st;
    const SensorRows s{contextAbove, strip, contextBelow, rowsPlus2 - 2, width};
    const int w = width;
    for (int i = 0; i < rowsPlus2; ++i) {
        const int16_t* x = s.Row(i - 1);
        int16_t* g = planeG + ptrdiff_t(i) * w;
        // Plane row i is strip row i-1: odd plane rows carry green at even columns.
        const int greenParity = (i - 1) & 1;
        for (int c = greenParity; c < w; c += 2) g[c] = x[c];
        if (greenParity == 0) {
            g[1] = x[0];
            g[w - 1] = x[w - 2];
        } else {
            g[0] = x[1];
            g[w - 2] = x[w - 1];
        }
    }
    return 0;
}

bool AdaptiveDemosaicer::Avx2Runs() const { return Avx2Chosen(kernel_); }

void AdaptiveDemosaicer::AdaptiveGreenRow(const SensorRows& s, int16_t* planeG, int row) const {
    const int r = row - 1;
    int16_t* g = planeG + ptrdiff_t(row) * s.width;
    if (Avx2Runs())
        AdaptiveGreenRowAvx2(s.Row(r), s.Row(r - 1), s.Row(r + 1), s.Row(r - 2), s.Row(r + 2), g, s.width, r & 1);
    else
        green_rows::Adaptive(s.Row(r), s.Row(r - 1), s.Row(r + 1), s.Row(r - 2), s.Row(r + 2), g, s.width, r & 1);
}

uint16_t AdaptiveDemosaicer::InterpolateGreen(const int16_t* contextAbove, const int16_t* strip,
                                              const int16_t* contextBelow, int16_t* planeG, int rowsPlus2,
                                              int width) {
    if (uint16_t st = CheckGreenArguments(contextAbove, strip, contextBelow, planeG, rowsPlus2, width))
        return st;
    const SensorRows s{contextAbove, strip, contextBelow, rowsPlus2 - 2, width};
    for (int i = 0; i < rowsPlus2; ++i) AdaptiveGreenRow(s, planeG, i);
    return 0;
}

namespace {

// Odd-row colour row: differences at even columns, averaged at odd ones.
void OddColourRow(const int16_t* __restrict x, const int16_t* __restrict g, int16_t* __restrict out,
                  int w) {
    out[0] = wrap16(x[0] - g[0]);
    for (int c = 1; c < w - 1; ++c) {
        const int16_t dl = wrap16(x[c - 1] - g[c - 1]);
        const int16_t dc = wrap16(x[c] - g[c]);
        const int16_t dr = wrap16(x[c + 1] - g[c + 1]);
        out[c] = (c & 1) ? wrap16(asr32(int32_t(dl) + dr, 1)) : dc;
    }
    out[w - 1] = out[w - 2];
}

// Even-row colour row: differences at odd columns, averaged at even ones.
void EvenColourRow(const int16_t* __restrict x, const int16_t* __restrict g, int16_t* __restrict out,
                   int w) {
    for (int c = 1; c < w - 1; ++c) {
        const int16_t dl = wrap16(x[c - 1] - g[c - 1]);
        const int16_t dc = wrap16(x[c] - g[c]);
        const int16_t dr = wrap16(x[c + 1] - g[c + 1]);
        out[c] = (c & 1) ? dc : wrap16(asr32(int32_t(dl) + dr, 1));
    }
    out[w - 1] = wrap16(x[w - 1] - g[w - 1]);
    out[0] = out[1];
}

void AverageRows(const int16_t* __restrict a, const int16_t* __restrict b, int16_t* __restrict out, int w) {
    for (int c = 0; c < w; ++c) out[c] = wrap16(asr32(int32_t(a[c]) + b[c], 1));
}

void AddGreen(int16_t* __restrict colour, const int16_t* __restrict g, int w) {
    for (int c = 0; c < w; ++c) colour[c] = wrap16(int32_t(colour[c]) + g[c]);
}

void ClampNegative(int16_t* __restrict p, int w) {
    for (int c = 0; c < w; ++c) p[c] = p[c] < 0 ? int16_t(0) : p[c];
}

} // namespace

uint16_t AdaptiveDemosaicer::InterpolateColours(const int16_t* contextAbove, const int16_t* strip,
                                                const int16_t* contextBelow, int16_t* planeG,
                                                int16_t* planeEven, int16_t* planeOdd, int rows, int width,
                                                int mode) {
    if (!contextAbove || !strip || !contextBelow || !planeG || !planeEven || !planeOdd)
        return VQ_ERR_DEMOSAIC_NULL;
    if (rows < 6) return VQ_ERR_STRIP_TOO_SMALL;
    if (rows & 1) return VQ_ERR_DEMOSAIC_ODD_HEIGHT;
    if (width < 6) return VQ_ERR_STRIP_TOO_SMALL;
    if (width & 1) return VQ_ERR_DEMOSAIC_ODD_WIDTH;
    const SensorRows s{contextAbove, strip, contextBelow, rows, width};
    const ptrdiff_t w = width;
    auto G = [&](int j) { return planeG + j * w; };
    auto E = [&](int j) { return planeEven + j * w; };
    auto O = [&](int j) { return planeOdd + j * w; };

    // Plane row j of the odd-row colour is strip row j-1 (green row j); of the
    // even-row colour strip row j (green row j+1). Rows are finished as soon as
    // the rows they depend on are, so the strip is walked once.
    auto finish = [&](int j) {
        if (mode != 1) return;
        AddGreen(O(j), G(j), width);
        AddGreen(E(j), G(j + 1), width);
        if (j >= 1) ClampNegative(O(j), width);
        if (j <= rows - 1) ClampNegative(E(j), width);
        if (j >= 1) ClampNegative(G(j), width);
    };
    for (int k = 0; k <= rows / 2; ++k) {
        const int j = 2 * k;
        OddColourRow(s.Row(j - 1), G(j), O(j), width);
        EvenColourRow(s.Row(j), G(j + 1), E(j), width);
        if (k > 0) {
            AverageRows(O(j - 2), O(j), O(j - 1), width);
            AverageRows(E(j - 2), E(j), E(j - 1), width);
            finish(j - 2);
            finish(j - 1);
        }
    }
    finish(rows);
    return 0;
}

uint16_t AdaptiveDemosaicer::StartInterpolation(const int16_t* contextAbove, const int16_t* strip,
                                                const int16_t* contextBelow, int16_t* planeG, int16_t* planeEven,
                                                int16_t* planeOdd, int16_t** outG, int16_t** outEven,
                                                int16_t** outOdd, int rows, int width) {
    if (outG) *outG = planeG ? planeG + width : nullptr;
    if (outEven) *outEven = planeEven;
    if (outOdd) *outOdd = planeOdd ? planeOdd + width : nullptr;
    return PrepareGreenBorders(contextAbove, strip, contextBelow, planeG, rows + 2, width);
}

uint16_t AdaptiveDemosaicer::Interpolate(const int16_t* contextAbove, const int16_t* strip,
                                         const int16_t* contextBelow, int16_t* planeG, int16_t* planeEven,
                                         int16_t* planeOdd, int16_t** outG, int16_t** outEven,
                                         int16_t** outOdd, int rows, int width, int mode) {
    if (uint16_t st = StartInterpolation(contextAbove, strip, contextBelow, planeG, planeEven, planeOdd, outG,
                                         outEven, outOdd, rows, width))
        return st;
    if (uint16_t st = InterpolateGreen(contextAbove, strip, contextBelow, planeG, rows + 2, width))
        return st;
    return InterpolateColours(contextAbove, strip, contextBelow, planeG, planeEven, planeOdd, rows, width,
                              mode);
}

} // namespace lumora
