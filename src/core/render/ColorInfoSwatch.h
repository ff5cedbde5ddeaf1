#pragma once
// What colour an image has around a point of the view, for the status bar:
// a small native area around the point is rendered once and averaged; a
// second sample near the first, with the same parameters, reuses it.
#include "ImageProcessParam.h"
#include "NbRect.h"
#include "RenderBuffer.h"

#include <cstdint>

namespace NimbalCore {

class ColorInfoSwatch : public RenderBuffer {
public:
    explicit ColorInfoSwatch(int32_t sampleSize) : sampleSize_(sampleSize) {}

    // 0, 1734 while the image renders, 1503 when the buffer is gone, 1717
    // for a point or radius the area cannot hold.
    int Sample(ImageRendering* rendering, int x, int y, int radius, uint16_t rgbOut[3], int32_t* grayOut);
    // The square of half-side r around (x, y), kept off column and row 0
    // and inside the rectangle's size.
    static NbRect SquareAround(const NbRect& rect, int x, int y, int r);
    int Average(int x, int y, int r, uint16_t rgbOut[3], int32_t* grayOut);

    NbRect GetCachedRect() const { return cachedRect_; }

private:
    NbRect cachedRect_;
    ImageProcessParam cachedParams_;
    int32_t sampleSize_;
};

} // namespace NimbalCore
