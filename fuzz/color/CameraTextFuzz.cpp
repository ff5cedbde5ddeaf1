// A camera-settings text from a file with any size: the width and height
// numbers rewritten, then the ZELT1 segment built from the text. The segment
// is either left out or exactly as long as its length field says.
#include "ExportJPEGImage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace NimbalCore;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    int32_t width, height;
    std::memcpy(&width, data, 4);
    std::memcpy(&height, data + 4, 4);
    std::string text(reinterpret_cast<const char*>(data + 8), size - 8);
    RewriteDimensionsInText(text, width, height);
    const std::vector<uint8_t> segment = ExportJPEGImage::BuildCameraSettingsSegment(text);
    if (segment.empty()) {
        if (!text.empty() && text.size() <= 65498) std::abort();
        return 0;
    }
    const uint32_t length = uint32_t(segment[2]) << 8 | segment[3];
    if (length + 2 != segment.size() || segment.size() != 38 + text.size() + (text.size() & 1)) std::abort();
    if (std::memcmp(segment.data() + 36, text.data(), text.size()) != 0) std::abort();
    return 0;
}
