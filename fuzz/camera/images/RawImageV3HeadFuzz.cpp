// A version-3 raw file's head as its image class opens it, from anywhere: the
// thumbnail tables, threshold table and bad-column entries stay inside the
// bytes they were given; balance, exposure and type changes on whatever opened.
#include <cstddef>
#include <cstdint>

#include "HeadHarness.h"
#include "RawImageV3.h"
#include "VqOutputTypes.h"

using lumora::vq::RawImageV3;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return lumora::fuzz::FuzzHead(data, size, [](const uint8_t* bytes, uint32_t length) {
        RawImageV3 image(nullptr, nullptr);
        if (image.ParseHeader(bytes, length) == 0) {
            int32_t count = 0;
            image.GetExtension(VQ_EXT_LOOK_COUNT, &count);
            for (int32_t preset : {5, 4, 0})
                image.SetExtension(VQ_EXT_WHITE_BALANCE, reinterpret_cast<void*>(uintptr_t(1)), uint32_t(preset), 0, 0, 0);
            image.SetExtension(VQ_EXT_LOOK_SET, reinterpret_cast<void*>(uintptr_t(0)), 0, 0, 0, 0);
            image.SetImageType(VQ_TYPE_RAW, 0);
            image.SetImageType(VQ_TYPE_CAMERA_RGB16, 0);
            image.SetExposure(-1.5f);
            uint32_t on = 1;
            image.SetHidden(15, &on);
        }
    });
}
