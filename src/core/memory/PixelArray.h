#pragma once
// A purgeable block that knows how its bytes form pixels: the pixel format,
// samples per pixel, bytes per sample, bytes per row and the rectangle it
// covers. Renderers write into pixel arrays.
#include "BlockOMemoryBase.h"
#include "NbRect.h"
#include "PixelLayout.h"

#include <cstdint>

namespace NimbalCore {

class PixelArray : public BlockOMemoryBase {
public:
    enum PixelType : int32_t { Gray = 0, RGB = 1, BGR = 2, XRGB = 3, BGRX = 4, FourSample = 6 };

    PixelArray() = default;
    ~PixelArray() override = default;

    virtual int32_t GetPixelType() const { return pixelType_; }
    virtual int32_t GetChannels() const { return channels_; }
    virtual int32_t GetBytesPerSample() const { return bytesPerSample_; }
    virtual int32_t GetRowBytes() const { return rowBytes_; }
    virtual NbRect GetBounds() const { return bounds_; }
    virtual uint8_t* GetPixelAddress(int32_t x, int32_t y);
    // Also sets the channels: gray 1, four-sample formats 4, any other 3.
    virtual void SetPixelType(int32_t type);
    virtual void SetBytesPerSample(int32_t bytes) { bytesPerSample_ = bytes; }
    virtual void SetRowBytes(int32_t bytes) { rowBytes_ = bytes; }
    virtual void SetBounds(const NbRect& bounds) { bounds_ = bounds; }
    virtual void SetChannels(int32_t channels) { channels_ = channels; }

    // The colour engine's description of the whole array (from the pixel
    // at the bounds' origin), and of one rectangle of it. Formats without a
    // description give only the sample kind, size and row bytes.
    PixelLayout GetBufferDescriptor();
    PixelLayout DescribeRect(const NbRect& r);

protected:
    int32_t pixelType_ = RGB;
    int32_t channels_ = 3;
    int32_t bytesPerSample_ = 1;
    int32_t rowBytes_ = 0;
    NbRect bounds_;
};

} // namespace NimbalCore
