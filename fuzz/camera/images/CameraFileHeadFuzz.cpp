// A camera JPEG file's head (markers, the TIFF inside APP1, APP13) or an RGB
// TIFF file's head as their image classes open them, from anywhere: every
// segment, directory and thumbnail stays inside the bytes given.
#include <cstddef>
#include <cstdint>

#include "HeadHarness.h"
#include "JpegFileImage.h"
#include "RgbFileImage.h"

using lumora::vq::JpegFileImage;
using lumora::vq::RgbFileImage;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return lumora::fuzz::FuzzHead(data, size, [](const uint8_t* bytes, uint32_t length) {
        JpegFileImage jpeg(nullptr, nullptr);
        if (jpeg.ScanJpegMarkers(bytes, length, 1) == 0 && jpeg.tiffBase() <= length) {
            if (jpeg.ParseHeader(bytes + jpeg.tiffBase(), length - jpeg.tiffBase()) == 0) {
                int32_t looks = 0;
                jpeg.GetExtension(VQ_EXT_LOOK_COUNT, &looks);
                jpeg.SetImageType(VQ_TYPE_GRAY8, 0);
                jpeg.SetExtension(VQ_EXT_WHITE_BALANCE, reinterpret_cast<void*>(uintptr_t(1)), 0, 1, 300u | 310u << 16, 320);
            }
        } else {
            RgbFileImage rgb(nullptr, nullptr);
            if (rgb.ParseHeader(bytes, length) == 0) rgb.SetImageType(VQ_TYPE_GRAY8, 0);
        }
    });
}
