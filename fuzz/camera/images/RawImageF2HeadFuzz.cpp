// A family-2 raw file's head as its image class opens it, from anywhere: the
// table chain, the curve record and the neutral-point balance stay inside the
// bytes given (without a camera, nothing can be read from elsewhere).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "RawImageF2.h"

using lumora::vq::RawImageF2;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    // An exact-size copy so that any read past the end is seen.
    const std::vector<uint8_t> bytes(data, data + size);
    RawImageF2 image(nullptr, nullptr);
    if (image.ParseHeader(bytes.data(), uint32_t(bytes.size())) == 0) {
        VqWhiteBalanceMode mode{};
        image.GetExtension(VQ_EXT_WHITE_BALANCE, &mode);
        for (uintptr_t preset : {1u, 3u, 5u})
            image.SetExtension(VQ_EXT_WHITE_BALANCE, reinterpret_cast<void*>(uintptr_t(1)), uint32_t(preset), 0, 0, 0);
        image.SetExtension(VQ_EXT_WHITE_BALANCE, reinterpret_cast<void*>(uintptr_t(1)), 0, 1, 300u | 310u << 16, 320);
        image.SetExtension(VQ_EXT_LOOK_SET, reinterpret_cast<void*>(uintptr_t(1)), 0, 0, 0, 0);
        image.PrepareSpecialType(VQ_TYPE_CAMERA_RGB16);
    }
    return 0;
}
