#include "DirectionMapDemosaicer.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "IntOps.h"
#include "VqStatus.h"

namespace lumora {

namespace {
constexpr int kScratchRows = 7;

// Everything of a row that does not depend on the running horizontal term:
// the vertical terms (carried per column), the measures and the candidates.
void PrecomputeRow(const int16_t* __restrict x, const int16_t* __restrict up, const int16_t* __restrict down,
                   const int16_t* __restrict up2, const int16_t* __restrict down2, int32_t* __restrict terms,
                   int32_t* __restrict vMeasure, int32_t* __restrict gVert, int32_t* __restrict gHorz,
                   int32_t* __restrict gFlat, int32_t* __restrict hConst, int32_t* __restrict hPair, int width,
                   int greenParity) {
    for (int c = 2; c < width - 2; ++c) {
        const int32_t X = x[c];
        const int32_t gl = x[c - 1], gr = x[c + 1], gu = up[c], gd = down[c];
        const int32_t lh = 2 * X - x[c - 2] - x[c + 2];
        const int32_t lv = 2 * X - up2[c] - down2[c];
        const int32_t tv = terms[c] + up2[c] - gu + 1;
        const int32_t colour = (c & 1) ^ greenParity;
        terms[c] = colour ? asr32(tv, 1) : terms[c];
        vMeasure[c] = std::abs((tv & ~int32_t(1)) + gu + gd - 2 * X) + 2 * std::abs(gu - gd) + std::abs(lv);
        gVert[c] = asr32(3 * lv + 8, 4) + asr32(gu + gd + 1, 1);
        gHorz[c] = asr32(3 * lh + 8, 4) + asr32(gl + gr + 1, 1);
        gFlat[c] = asr32(gl + gr + gu + gd + 2, 2);
        hConst[c] = 2 * std::abs(gl - gr) + std::abs(lh);
        hPair[c] = gl + gr - 2 * X;
    }
}

} // namespace

DirectionMapDemosaicer::DirectionMapDemosaicer() = default;

DirectionMapDemosaicer::~DirectionMapDemosaicer() {
    delete[] columnTerms_;
    delete[] flatMap_;
    delete[] scratch_;
}

uint16_t DirectionMapDemosaicer::SetHorizontalThreshold(int value) {
    thresholdH_ = value;
    return 0;
}

uint16_t DirectionMapDemosaicer::SetVerticalThreshold(int value) {
    thresholdV_ = value;
    return 0;
}

uint16_t DirectionMapDemosaicer::Interpolate(const int16_t* contextAbove, const int16_t* strip,
                                             const int16_t* contextBelow, int16_t* planeG, int16_t* planeEven,
                                             int16_t* planeOdd, int16_t** outG, int16_t** outEven,
                                             int16_t** outOdd, int rows, int width, int mode) {
    if (uint16_t st = StartInterpolation(contextAbove, strip, contextBelow, planeG, planeEven, planeOdd, outG,
                                         outEven, outOdd, rows, width))
        return st;

    if (!columnTerms_ || columnCapacity_ < width) {
        delete[] columnTerms_;
        columnCapacity_ = 0;
        columnTerms_ = new (std::nothrow) int32_t[size_t(width)]();
        if (!columnTerms_) return VQ_ERR_PROCESS_NO_MEMORY;
        columnCapacity_ = int16_t(width);
    }
    if (!flatMap_ || flatMapBytes_ < 3 * width) {
        delete[] flatMap_;
        flatMapBytes_ = 0;
        flatMap_ = new (std::nothrow) uint8_t[size_t(3 * width)];
        if (!flatMap_) return VQ_ERR_PROCESS_NO_MEMORY;
        flatMapBytes_ = 3 * width;
    }
    std::memset(flatMap_, 0, size_t(flatMapBytes_));
    if (!scratch_ || scratchWidth_ < width) {
        delete[] scratch_;
        scratchWidth_ = 0;
        scratch_ = new (std::nothrow) int32_t[size_t(kScratchRows) * size_t(width)];
        if (!scratch_) return VQ_ERR_PROCESS_NO_MEMORY;
        scratchWidth_ = width;
    }

    if (uint16_t st = GreenRule(contextAbove, strip, contextBelow, planeG, rows + 2, width)) return st;
    return InterpolateColours(contextAbove, strip, contextBelow, planeG, planeEven, planeOdd, rows, width, mode);
}

// The running horizontal term chains each colour site to the green just produced
// two columns to its left, so that part is a serial walk; everything else of a row
// (vertical terms, candidates, measures) is computed first in contiguous loops.
uint16_t DirectionMapDemosaicer::GreenRule(const int16_t* contextAbove, const int16_t* strip,
                                           const int16_t* contextBelow, int16_t* planeG, int rowsPlus2,
                                           int width) {
    if (uint16_t st = CheckGreenArguments(contextAbove, strip, contextBelow, planeG, rowsPlus2, width))
        return st;
    const SensorRows s{contextAbove, strip, contextBelow, rowsPlus2 - 2, width};
    const ptrdiff_t w = width;
    int32_t* __restrict vMeasure = scratch_;
    int32_t* __restrict gVert = scratch_ + w;
    int32_t* __restrict gHorz = scratch_ + 2 * w;
    int32_t* __restrict gFlat = scratch_ + 3 * w;
    int32_t* __restrict hConst = scratch_ + 4 * w;
    int32_t* __restrict hPair = scratch_ + 5 * w;
    int32_t* __restrict smoothed = scratch_ + 6 * w;
    int32_t* __restrict terms = columnTerms_;
    const int32_t thH = thresholdH_, thV = thresholdV_;
    int mapRow[3] = {0, 0, 0};   // flat-map row of plane rows i-2, i-1, i

    for (int i = 0; i < rowsPlus2; ++i) {
        const int r = i - 1;
        const int16_t* __restrict x = s.Row(r);
        const int16_t* __restrict up = s.Row(r - 1);
        const int16_t* __restrict down = s.Row(r + 1);
        const int16_t* __restrict up2 = s.Row(r - 2);
        const int16_t* __restrict down2 = s.Row(r + 2);
        int16_t* __restrict g = planeG + i * w;
        const int greenParity = r & 1;
        mapPhase_ = int16_t((mapPhase_ + 1) % 3);
        mapRow[0] = mapRow[1];
        mapRow[1] = mapRow[2];
        mapRow[2] = mapPhase_;
        uint8_t* __restrict flat = flatMap_ + ptrdiff_t(mapPhase_) * w;

        PrecomputeRow(x, up, down, up2, down2, terms, vMeasure, gVert, gHorz, gFlat, hConst, hPair, width,
                      greenParity);
        int32_t wh = 0;
        for (int c = 3 - greenParity; c < width - 2; c += 2) {
            const int32_t th = wh + x[c - 2] - g[c - 2] + 1;
            wh = asr32(th, 1);
            const int32_t h = std::abs((th & ~int32_t(1)) + hPair[c]) + hConst[c];
            const int32_t v = vMeasure[c];
            const bool edge = h > thH || v > thV;
            const int32_t gi = edge ? (v < h ? gVert[c] : gHorz[c]) : gFlat[c];
            g[c] = wrap16(gi);
            flat[c] = uint8_t(!edge);
        }

        // With row i done, strip row i-1 has all its neighbours: re-smooth its greens.
        const int j = i - 1;
        if (j >= 1 && j <= rowsPlus2 - 2) {
            const int16_t* __restrict gu = planeG + (j - 1) * w;
            const int16_t* __restrict gc = planeG + j * w;
            const int16_t* __restrict gd = planeG + (j + 1) * w;
            const uint8_t* __restrict fu = flatMap_ + ptrdiff_t(mapRow[0]) * w;
            const uint8_t* __restrict fc = flatMap_ + ptrdiff_t(mapRow[1]) * w;
            const uint8_t* __restrict fd = flatMap_ + ptrdiff_t(mapRow[2]) * w;
            ResmoothGreenRow(gu, gc, gd, fu, fc, fd, smoothed, width, (j - 1) & 1, flatCount_);
            int16_t* out = planeG + j * w;
            for (int c = 2; c < width - 2; ++c) out[c] = wrap16(smoothed[c]);
        }
    }
    return 0;
}

} // namespace lumora
