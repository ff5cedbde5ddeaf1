// The marker scan of a camera JPEG file from any bytes, with and without its
// resource blocks: it answers a status, and whatever it reports found lies
// inside the bytes it was given.
#include <cstddef>
#include <cstdint>

#include "HeadHarness.h"
#include "SdkImageBase.h"

using lumora::vq::SdkImageBase;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return lumora::fuzz::FuzzHead(data, size, [](const uint8_t* bytes, uint32_t length) {
        SdkImageBase image(nullptr, nullptr);
        for (int resources = 0; resources < 2; ++resources) {
            const VqStatus status = image.ScanJpegMarkers(bytes, length, resources);
            const SdkImageBase::JpegMarkers& m = image.jpegMarkers();
            if (status == 0 && image.tiffOffset() > length) __builtin_trap();
            if (m.app0Position >= length && m.app0Position != 0) __builtin_trap();
            if (m.app8Position >= length && m.app8Position != 0) __builtin_trap();
            if (m.app13Position >= length && m.app13Position != 0) __builtin_trap();
            if (m.iptcResource > length) __builtin_trap();
            if (!resources && (m.app13Position || m.iptcResource)) __builtin_trap();
        }
    });
}
