#pragma once
// Samples of a strip outside the raw image (rows above or below it, columns left
// or right of it) are filled by mirroring the image about its edge row or column.
// The mirror keeps the colour-filter phase, so the demosaicers and the mosaic
// filter see a plausible continuation instead of whatever the buffer held, and a
// strip's result does not depend on where the strips split the picture.
#include <algorithm>
#include <cstdint>
#include <cstring>

namespace lumora::engine {

inline void MirrorOutside(int16_t* strip, int32_t w, int32_t h, int32_t top, int32_t bottom, int32_t left,
                          int32_t right) {
    const int32_t firstRow = top, lastRow = h - bottom - 1;
    const int32_t firstCol = left, lastCol = w - right - 1;
    if (firstRow > lastRow || firstCol > lastCol) return;
    if (left > 0 || right > 0) {
        for (int32_t r = firstRow; r <= lastRow; ++r) {
            int16_t* row = strip + size_t(r) * size_t(w);
            for (int32_t c = 0; c < firstCol; ++c) row[c] = row[std::clamp(2 * firstCol - c, firstCol, lastCol)];
            for (int32_t c = lastCol + 1; c < w; ++c) row[c] = row[std::clamp(2 * lastCol - c, firstCol, lastCol)];
        }
    }
    const size_t rowBytes = size_t(w) * sizeof(int16_t);
    for (int32_t r = 0; r < firstRow; ++r)
        std::memcpy(strip + size_t(r) * size_t(w),
                    strip + size_t(std::clamp(2 * firstRow - r, firstRow, lastRow)) * size_t(w), rowBytes);
    for (int32_t r = lastRow + 1; r < h; ++r)
        std::memcpy(strip + size_t(r) * size_t(w),
                    strip + size_t(std::clamp(2 * lastRow - r, firstRow, lastRow)) * size_t(w), rowBytes);
}

} // namespace lumora::engine
