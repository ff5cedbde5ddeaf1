#pragma once
// Which image class reads a file, from its model family, file kind and file
// version; and the making of that class. Split from the factory's file reading
// so the choice can be checked on its own.
#include <cstdint>

#include "RawContainer.h"
#include "VqCamera.h"
#include "VqStatus.h"

namespace lumora::vq {

class DriverSettings;
class SdkImageBase;

enum class ImageClass { SdkImageBase, RawImage, RawImageF2, RawImageV3, JpegFileImage, RgbFileImage };

class ImageClassFactory {
public:
    // File versions as the private directory stores them: major in the top byte.
    static constexpr uint32_t kVersionLimitRaw = RawContainer::MakeVersion(2, 1); // RawImage reads below 2.1
    static constexpr uint32_t kVersionLimitF2 = RawContainer::MakeVersion(2, 3);  // RawImageF2 reads below 2.3
    static constexpr uint32_t kVersionV3 = RawContainer::MakeVersion(3, 0);       // RawImageV3 from 3.0

    // 0 and the class, VQ_ERR_UNSUPPORTED_VERSION or VQ_ERR_BAD_FILE.
    static VqStatus Choose(int32_t family, int32_t fileKind, uint32_t version, ImageClass* out);

    // A new object of the class, or null with the status that says why: a class
    // this build does not carry answers VQ_ERR_NOT_IMPLEMENTED.
    static SdkImageBase* Create(ImageClass cls, const CameraRecord* record, DriverSettings* settings,
                                VqStatus* status);

    static const char* Name(ImageClass cls);

    // Replaces the making of image objects (null puts the built-in back), so
    // the class chosen for a file can be observed from outside.
    using Creator = SdkImageBase* (*)(ImageClass cls, const CameraRecord* record, DriverSettings* settings,
                                      VqStatus* status);
    static void SetCreator(Creator creator);
};

} // namespace lumora::vq
