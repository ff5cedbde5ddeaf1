#include "ColorInfoSwatch.h"

#include "BlockOMemoryLock.h"
#include "ColorServices.h"
#include "Image.h"
#include "ImageRendering.h"
#include "NbErrorCodes.h"

#include <algorithm>
#include <cstring>

namespace NimbalCore {

NbRect ColorInfoSwatch::SquareAround(const NbRect& rect, int x, int y, int r) {
    const int64_t w = rect.Width(), h = rect.Height();
    int64_t cx = x, cy = y;
    if (cx < r) cx = int64_t(r) + 1;
    if (cx + r >= w) cx = w - 1 - r;
    if (cy < r) cy = int64_t(r) + 1;
    if (cy + r >= h) cy = h - 1 - r;
    return NbRect(int32_t(cx - r), int32_t(cy - r), int32_t(cx + r), int32_t(cy + r));
}

int ColorInfoSwatch::Sample(ImageRendering* rendering, int x, int y, int radius, uint16_t rgbOut[3], int32_t* grayOut) {
    Image* image = rendering ? rendering->GetImage()->Get() : nullptr;
    if (!image) return NbErrNotAllocated;
    if (image->IsRendering()) return NbErrImageBusy;
    const ImageProcessParam& params = *rendering->GetProcessParamPtr();
    const int32_t pixelType = params.colorMode == 2 ? Gray : RGB;
    const int rotation = int(params.rotation);
    const NbRect native = image->GetNativeImageRect();
    const int64_t W = native.Width(), H = native.Height();
    int64_t mx = x, my = y;
    switch (rotation) {
    case 90: mx = y, my = H - 1 - x; break;
    case 180: mx = W - 1 - x, my = H - 1 - y; break;
    case 270: mx = W - 1 - y, my = x; break;
    default: break;
    }
    if (sampleSize_ < radius) sampleSize_ = int32_t(std::min<int64_t>({int64_t(2) * radius, W, H}));

    const NbRect square = SquareAround(native, int(mx), int(my), radius);
    NbRect area = SquareAround(native, int(mx), int(my), sampleSize_);
    // An image smaller than the area: the area is cut to the image, so no
    // negative or outside crop reaches the image kind.
    area.left = std::max(area.left, native.left);
    area.top = std::max(area.top, native.top);
    area.right = std::min(area.right, native.right);
    area.bottom = std::min(area.bottom, native.bottom);
    area.left &= ~1;
    area.top &= ~1;
    area.right = int32_t(area.left + (std::max<int64_t>(area.right - int64_t(area.left) + 1, 0) & ~int64_t(1)) - 1);
    area.bottom = int32_t(area.top + (std::max<int64_t>(area.bottom - int64_t(area.top) + 1, 0) & ~int64_t(1)) - 1);
    if (area.right < area.left || area.bottom < area.top) return NbErrClickPointOutside;

    ImageRendering copy(*rendering);
    ImageProcessParam p = params;
    p.rotation = 0;
    p.outputSpaceMode = 0;
    const ColorServices* services = ColorServices::Get();
    p.workingSpaceName = services ? services->GetWorkingSpaceName() : std::string();
    p.crop = area;
    p.sharpenMode = 0;
    p.sharpenAmount = 0;
    copy.SetProcessParam(p);

    if (!(square.IsInside(cachedRect_) && cachedParams_.EqualsExceptCrop(p) && IsAllocated())) {
        SetPixelType(pixelType);
        SetBounds(NbRect(0, 0, int32_t(area.Width() - 1), int32_t(area.Height() - 1)));
        SetBytesPerSample(1);
        SetRowBytes(int32_t(GetChannels() * area.Width()));
        RenderFrom(&copy, nullptr, 1, 0);
        cachedRect_ = area;
        cachedParams_ = p;
    }
    return Average(int(mx - cachedRect_.left), int(my - cachedRect_.top), radius, rgbOut, grayOut);
}

int ColorInfoSwatch::Average(int x, int y, int r, uint16_t rgbOut[3], int32_t* grayOut) {
    if (!IsAllocated()) return NbErrNotAllocated;
    BlockOMemoryLock pin(this);
    if (!IsAllocated()) return NbErrNotAllocated;
    const NbRect b = GetBounds();
    if (!b.ContainsPoint(x, y) || int64_t(r) >= b.Width() / 2 || int64_t(r) >= b.Height() / 2)
        return NbErrClickPointOutside;
    const NbRect square = SquareAround(b, x, y, r);
    const PixelLayout d = DescribeRect(square);
    if (d.channels != 1 && d.channels != 3) return 0;
    uint32_t means[3] = {0, 0, 0};
    for (int k = 0; k < d.channels; ++k) {
        double sum = 0;
        for (int32_t row = 0; row < d.rows; ++row)
            for (int32_t col = 0; col < d.columns; ++col) {
                const uint8_t* s = static_cast<const uint8_t*>(d.base[k]) + int64_t(row) * d.rowOffset +
                                   int64_t(col) * d.columnOffset;
                if (d.sampleType == PixelSample8) {
                    sum += *s;
                } else {
                    uint16_t v;
                    std::memcpy(&v, s, 2);
                    sum += v;
                }
            }
        means[k] = uint32_t(sum / (double(d.rows) * d.columns));
    }
    if (d.channels == 1) {
        if (grayOut) *grayOut = int32_t(means[0]);
    } else {
        for (int k = 0; k < 3; ++k)
            if (rgbOut) rgbOut[k] = uint16_t(means[k]);
        if (grayOut) *grayOut = int32_t((299 * means[0] + 587 * means[1] + 114 * means[2]) / 1000);
    }
    return 0;
}

} // namespace NimbalCore
