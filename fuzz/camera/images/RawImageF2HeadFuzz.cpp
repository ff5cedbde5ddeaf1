// A family-2 raw file's head as its image class opens it, from anywhere: the
// table chain, the curve record and the neutral-point balance stay inside the
// bytes given (without a camera, nothing can be read from elsewhere).
#include <cstddef>
#include <cstdint>

#include "HeadHarness.h"
#include "RawImageF2.h"

using lumora::vq::RawImageF2;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return lumora::fuzz::FuzzHead(data, size, [](const uint8_t* bytes, uint32_t length) {
        RawImageF2 image(nullptr, nullptr);
        if (image.ParseHeader(bytes, length) == 0) {
            VqWhiteBalanceMode mode{};
            image.GetExtension(VQ_EXT_WHITE_BALANCE, &mode);
            for (uintptr_t preset : {1u, 3u, 5u})
                image.SetExtension(VQ_EXT_WHITE_BALANCE, reinterpret_cast<void*>(uintptr_t(1)), uint32_t(preset), 0, 0, 0);
            image.SetExtension(VQ_EXT_WHITE_BALANCE, reinterpret_cast<void*>(uintptr_t(1)), 0, 1, 300u | 310u << 16, 320);
            image.SetExtension(VQ_EXT_LOOK_SET, reinterpret_cast<void*>(uintptr_t(1)), 0, 0, 0, 0);
            image.PrepareSpecialType(VQ_TYPE_CAMERA_RGB16);
        }
    });
}
