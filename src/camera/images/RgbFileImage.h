#pragma once
// RGB TIFF files: the camera's TIFF structure with the image as plain 3-byte
// pixels, rendered by RgbFileEngine from the file's own bytes.
#include "JpegFileImage.h"

namespace lumora::vq {

class RgbFileImage : public JpegFileImage {
public:
    RgbFileImage(const CameraRecord* record, DriverSettings* settings);
    ~RgbFileImage() override;

    VqStatus SaveProcessParameters() override { return VQ_ERR_NOT_FOR_THIS_KIND; }
    VqStatus SetColourFlags() override;
    VqStatus UnknownModelStatus() const override { return VQ_ERR_BAD_FILE; }
    VqStatus MapStatus(VqStatus status) const override { return status; }
    VqStatus NotSupportedStatus() const override { return VQ_ERR_NOT_FOR_THIS_KIND; }
    VqStatus ResetKindFields() override;
    // TIFF files keep the base's rules: a record fits its field or is refused.
    VqStatus SaveIptc(uint32_t length) override { return SdkImageBase::SaveIptc(length); }
    VqStatus SaveResolution() override { return SdkImageBase::SaveResolution(); }

protected:
    lumora::RawEngineF2* NewEngine() const override;
    VqStatus WhiteBalanceFileStatus() const override { return VQ_ERR_WB_FILE_UNSUPPORTED_RGB; }
};

} // namespace lumora::vq
