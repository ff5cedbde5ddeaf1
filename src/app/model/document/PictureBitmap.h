#pragma once
// The display bitmap without its drawing: one heap block holding a packed
// device-independent bitmap (the 40-byte header, a grey colour table for
// one-channel pictures, rows padded to 4 bytes, top-down), which is at the
// same time the core's pixel array the renderer writes into and a purgeable
// block of the core's memory pool. Rendering a thumbnail, the whole image at
// a sub-sampling level or the cropped image; the colour under a point; a
// bottom-up copy of a rectangle. The windows draw it (CPictureView).
#include "ColorInfoSwatch.h"
#include "ImageRendering.h"
#include "PixelArray.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace NimbalCore {
class ProgressCB;
}

class PictureBitmap : public NimbalCore::PixelArray {
public:
    static constexpr int32_t kHeaderBytes = 40;
    static constexpr int32_t kGreyTableEntries = 256;
    // Pixels under the header and the grey table of a one-channel picture.
    static constexpr int32_t kGreyPixelOffset = kHeaderBytes + 4 * kGreyTableEntries;
    static constexpr int32_t kSwatchSampleSize = 64;
    static constexpr int kRenderFailedText = 60002;

    enum Area : int { kThumbnail = 0, kWholeImage = 1, kCroppedImage = 2 };
    enum ProgressKind : int { kProgressNoCancel = 0, kProgressWithCancel = 1, kNoProgress = 2 };

    PictureBitmap();
    ~PictureBitmap() override;
    PictureBitmap(const PictureBitmap&) = delete;
    PictureBitmap& operator=(const PictureBitmap&) = delete;

    // Bytes of a row: width × channels rounded up to a multiple of 4.
    static int64_t RowBytesFor(int64_t width, int32_t channels);

    // Makes the block for the current bounds and channels; nothing when it
    // exists. A block of at least minimumSize bytes. Throws 1502 when the
    // memory cannot be had (or the bounds describe no picture).
    void Create(uint64_t minimumSize) override;
    // Frees the block (the pool's purge calls it too); the bounds stay.
    void Free() override { ReleaseBits(); }
    void ReleaseBits();
    // The pixel pointer (top row).
    void* GetData() const override { return pixels_; }
    void* GetPixels() const { return pixels_; }
    // The whole block, header first; null without pixels.
    const uint8_t* GetBitmapInfo() const { return block_.get(); }
    bool HasBits() const { return block_ != nullptr; }
    // Width and height in pixels, (0, 0) without a block. (GetSize() is the
    // block's size in bytes.)
    using NimbalCore::PixelArray::GetSize;
    void GetSize(int& width, int& height) const;
    // Address of pixel (x, y); null outside the picture or without pixels.
    uint8_t* PixelAt(int x, int y) const;

    // area: Area; progress: ProgressKind (areas 1 and 2); level 1, 2 or 4
    // for area 1, passed on for area 2. True when pixels were rendered. The
    // first failure is shown to the user (none for a cancel); a second one
    // in a row, before any success, is thrown to the caller. A render asked
    // for while this picture's render pumps its progress window answers
    // false and leaves the pixels being written alone.
    bool Render(const NimbalCore::ImageRendering* rendering, int area, int progress, int level);

    // The colour of the image around an image point (scale: image pixels
    // per picture pixel). status 0, 2902 without pixels, or the sampler's.
    void GetPixelColor(int x, int y, int* status, float scale, uint16_t& red, uint16_t& green, uint16_t& blue);

    // Writes the inclusive rectangle of this picture as a bottom-up packed
    // bitmap into target's block (made here).
    void CopyToClipboardDib(PictureBitmap* target, int left, int top, int right, int bottom) const;

    // Changes whenever the pixels may have changed (a new block, a render,
    // a release): what a drawn copy of the pixels compares.
    uint64_t GetGeneration() const { return generation_; }
    bool LastRenderFailed() const { return renderFailed_; }
    const NimbalCore::ImageRendering& GetRendering() const { return rendering_; }

protected:
    // The render's progress window over the main window. False when it
    // cannot be made (the render then fails quietly); progress may stay
    // null for a render without one.
    virtual bool OpenProgress(bool cancellable, NimbalCore::ProgressCB** progress);
    virtual void CloseProgress() {}
    // The user learns that the picture could not be rendered.
    virtual void ReportRenderFailure();

private:
    bool RenderInto(const NimbalCore::ImageRendering& source, int area, int progress, int level);
    bool SetBoundsForArea(int area, int level);
    void WriteHeader(uint8_t* block, int32_t width, int32_t height, uint32_t blockSize) const;

    std::unique_ptr<uint8_t[]> block_;
    uint8_t* pixels_ = nullptr;
    bool renderFailed_ = false;
    bool renderRunning_ = false;
    NimbalCore::ColorInfoSwatch swatch_;
    NimbalCore::ImageRendering rendering_;
    uint64_t generation_ = 0;
};
