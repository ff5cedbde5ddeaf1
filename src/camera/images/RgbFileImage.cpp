#include "RgbFileImage.h"

#include <new>

#include "RgbFileEngine.h"
#include "SdkRenderer.h"

namespace lumora::vq {

RgbFileImage::RgbFileImage(const CameraRecord* record, DriverSettings* settings) : JpegFileImage(record, settings) {
    ResetKindFields();
}

RgbFileImage::~RgbFileImage() = default;

VqStatus RgbFileImage::ResetKindFields() {
    tiffOffset_ = 0;
    exposureAvailable_ = 0;
    info_.flags = 0;
    info_.fileKind = kFileRgbTiff;
    info_.whiteBalanceFileStatus = int32_t(RgbFileImage::WhiteBalanceFileStatus());
    return 0;
}

VqStatus RgbFileImage::SetColourFlags() {
    info_.flags = 0;
    return 0;
}

lumora::RawEngineF2* RgbFileImage::NewEngine() const { return new (std::nothrow) lumora::RgbFileEngine(); }

} // namespace lumora::vq
