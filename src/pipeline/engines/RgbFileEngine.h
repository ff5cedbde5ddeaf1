#pragma once
// Engine of the RGB TIFF files: the file's 3-byte pixels are the cache itself;
// nothing is decoded.
#include <cstdint>

#include "JpegFileEngine.h"

namespace lumora {

class RgbFileEngine : public JpegFileEngine {
public:
    RgbFileEngine() = default;
    ~RgbFileEngine() override = default;

    VqStatus RenderImage(const ImageBufferRecord* buffer, const ProgressRecord* progress) override {
        return RenderPixels(buffer, progress, uint32_t(dataOffset_ < 0 ? 0 : dataOffset_), kKindRgbTiff);
    }
    VqStatus SampleWhiteBalance(const SdkRect*, uint16_t*, int32_t, const SensorGeometry*) override {
        return VQ_ERR_NOT_FOR_THIS_KIND;
    }
    VqStatus DecodeCache(void*, int32_t, int32_t, int32_t) override { return VQ_OK; }
};

} // namespace lumora
