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
    info_.whiteBalanceFileStatus = int32_t(VQ_ERR_WB_FILE_UNSUPPORTED_RGB);
    return 0;
}

VqStatus RgbFileImage::SetColourFlags() {
    info_.flags = 0;
    return 0;
}

VqStatus RgbFileImage::WriteWhiteBalanceFile(VqPathRecord, void*) {
    info_.whiteBalanceFileStatus = int32_t(VQ_ERR_WB_FILE_UNSUPPORTED_RGB);
    return VQ_ERR_WB_FILE_UNSUPPORTED_RGB;
}

VqStatus RgbFileImage::CreateEngine() {
    if (!renderer_) {
        renderer_.reset(new (std::nothrow) lumora::RgbFileEngine());
        if (!renderer_) return VQ_ERR_PROCESS_NO_MEMORY;
    }
    return SetParameter<void*>(RP_CURVE_STATE, const_cast<CurveState*>(&curveState()));
}

} // namespace lumora::vq
