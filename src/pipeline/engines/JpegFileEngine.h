#pragma once
// Engine of the camera JPEG files: their pixels are already RGB (or grey), so a
// rendering only decodes the JPEG stream into the cache with libjpeg, copies the
// window out strip by strip (every n-th pixel when subsampled, grey when asked)
// and packs and turns it. The stored thumbnail is RGB too. RgbFileEngine
// renders the RGB TIFF files the same way from the file's own bytes.
#include <cstdint>

#include "RawEngineF2.h"

namespace lumora {

class JpegFileEngine : public RawEngineF2 {
public:
    static constexpr int32_t kKindCameraJpeg = 1;
    static constexpr int32_t kKindRgbTiff = 3;

    JpegFileEngine() = default;
    ~JpegFileEngine() override = default;

    VqStatus RenderImage(const ImageBufferRecord* buffer, const ProgressRecord* progress) override;
    VqStatus RenderThumbnail(void* buffer) override;
    VqStatus SampleWhiteBalance(const SdkRect* area, uint16_t* outRgb, int32_t fromThumbnail,
                                const SensorGeometry* geometry) override;
    // Decodes the loaded JPEG stream over the cache, from its start.
    VqStatus DecodeCache(void* scratch, int32_t swapBytes, int32_t shiftTo12Bits, int32_t expand8To16) override;

    // The window of the cache (pixels of `bytes per pixel` starting at
    // dataOffset) through the output stage, strip by strip.
    virtual VqStatus RenderPixels(const ImageBufferRecord* buffer, const ProgressRecord* progress,
                                  uint32_t dataOffset, int32_t kind);

    // Every s-th pixel of every s-th row of w × h source pixels, (w / s) × (h / s)
    // of them: RGB into a, b, c; RGB made grey (BT.601 luma) or grey bytes into b.
    // Each value is shifted left by shift.
    static void UnpackToPlanes(uint16_t* a, uint16_t* b, uint16_t* c, const uint8_t* source, int32_t s, int32_t w,
                               int32_t h, uint32_t shift, bool greySource, bool makeGrey);
    // The libjpeg decode of the stream held in the scratch copy.
    VqStatus DecodeJpeg();
    // Warnings libjpeg gave in the last decode.
    int32_t LastWarnings() const { return lastWarnings_; }

protected:
    uint8_t* jpegScratch_ = nullptr;
    int32_t lastWarnings_ = 0;
};

} // namespace lumora
