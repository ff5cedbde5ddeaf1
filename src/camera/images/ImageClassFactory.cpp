#include "ImageClassFactory.h"

#include <new>

#include "JpegFileImage.h"
#include "ModelTable.h"
#include "RawImage.h"
#include "RawImageF2.h"
#include "RawImageV3.h"
#include "RgbFileImage.h"
#include "SdkImageBase.h"

namespace lumora::vq {

VqStatus ImageClassFactory::Choose(int32_t family, int32_t fileKind, uint32_t version, ImageClass* out) {
    if (family < kFamilyOldest || family > kFamilyRaw3) return VQ_ERR_BAD_FILE;
    if (fileKind == kFileCameraJpeg) {
        *out = ImageClass::JpegFileImage;
        return 0;
    }
    if (family == kFamilyOldest) {
        *out = ImageClass::SdkImageBase;
        return 0;
    }
    if (fileKind == kFileRgbTiff) {
        *out = ImageClass::RgbFileImage;
        return 0;
    }
    const uint32_t limit = family == kFamilyRaw2 ? kVersionLimitF2 : kVersionLimitRaw;
    if (version < limit) {
        *out = family == kFamilyRaw2 ? ImageClass::RawImageF2 : ImageClass::RawImage;
        return 0;
    }
    if (version < kVersionV3) return VQ_ERR_UNSUPPORTED_VERSION;
    *out = ImageClass::RawImageV3;
    return 0;
}

namespace {
ImageClassFactory::Creator gCreator = nullptr;
}

void ImageClassFactory::SetCreator(Creator creator) { gCreator = creator; }

SdkImageBase* ImageClassFactory::Create(ImageClass cls, const CameraRecord* record, DriverSettings* settings,
                                        VqStatus* status) {
    *status = 0;
    if (gCreator) return gCreator(cls, record, settings, status);
    SdkImageBase* image = nullptr;
    switch (cls) {
    case ImageClass::SdkImageBase:
        image = new (std::nothrow) SdkImageBase(record, settings);
        break;
    case ImageClass::RawImage:
        image = new (std::nothrow) RawImage(record, settings);
        break;
    case ImageClass::RawImageF2:
        image = new (std::nothrow) RawImageF2(record, settings);
        break;
    case ImageClass::RawImageV3:
        image = new (std::nothrow) RawImageV3(record, settings);
        break;
    case ImageClass::JpegFileImage:
        image = new (std::nothrow) JpegFileImage(record, settings);
        break;
    case ImageClass::RgbFileImage:
        image = new (std::nothrow) RgbFileImage(record, settings);
        break;
    default:
        *status = VQ_ERR_NOT_IMPLEMENTED;
        return nullptr;
    }
    if (!image) *status = VQ_ERR_FILE_NO_MEMORY;
    return image;
}

const char* ImageClassFactory::Name(ImageClass cls) {
    switch (cls) {
    case ImageClass::SdkImageBase: return "SdkImageBase";
    case ImageClass::RawImage: return "RawImage";
    case ImageClass::RawImageF2: return "RawImageF2";
    case ImageClass::RawImageV3: return "RawImageV3";
    case ImageClass::JpegFileImage: return "JpegFileImage";
    case ImageClass::RgbFileImage: return "RgbFileImage";
    }
    return "?";
}

} // namespace lumora::vq
