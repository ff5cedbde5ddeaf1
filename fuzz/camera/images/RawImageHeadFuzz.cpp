// A raw file's head as the raw image of families 1 and 3 opens it, from
// anywhere: every directory, table and copy stays inside the bytes it was
// given (without a camera, nothing can be read from elsewhere).
#include <cstddef>
#include <cstdint>

#include "HeadHarness.h"
#include "RawImage.h"

using lumora::vq::RawImage;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return lumora::fuzz::FuzzHead(data, size, [](const uint8_t* bytes, uint32_t length) {
        RawImage image(nullptr, nullptr);
        if (image.ParseHeader(bytes, length) == 0) {
            VqWhiteBalanceMode mode{};
            image.GetExtension(VQ_EXT_WHITE_BALANCE, &mode);
            image.SetExtension(VQ_EXT_WHITE_BALANCE, reinterpret_cast<void*>(uintptr_t(1)), 4, 0, 0, 0);
            image.SetExtension(VQ_EXT_LOOK_SET, reinterpret_cast<void*>(uintptr_t(1)), 0, 0, 0, 0);
            image.PrepareSpecialType(VQ_TYPE_CAMERA_RGB16);
            image.SetExposure(1.5f);
        }
    });
}
