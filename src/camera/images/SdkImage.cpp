#include "SdkImage.h"

#include "CameraHandleMap.h"
#include "DriverState.h"

namespace lumora::vq {

SdkImage::SdkImage(const CameraRecord* record, DriverSettings* settings) : settings_(settings), camera_(nullptr) {
    const CameraHandleMap* cameras = Driver().cameras;
    if (record && cameras) camera_ = cameras->Find(record->cameraId);
}

SdkImage::~SdkImage() = default;

VqStatus SdkImage::OnImageTypeChanged(uint32_t, uint32_t*, int32_t*) { return 0; }
VqStatus SdkImage::ReadFileBytes(void*, uint64_t, uint32_t, uint32_t) { return VQ_ERR_NOT_SUPPORTED; }

VqStatus SdkImage::SetColourMode(uint32_t) { return VQ_ERR_NOT_SUPPORTED; }
uint32_t SdkImage::GetColourMode() { return 1; }
VqStatus SdkImage::SetProfile(const char*, int32_t, int32_t, void*, void*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkImage::GetProfileHandle(int32_t, uint32_t* out) {
    if (out) *out = 0;
    return VQ_ERR_NOT_SUPPORTED;
}
uint32_t SdkImage::GetLastColourStatus() { return 0; }
void SdkImage::SetLastColourStatus(uint32_t) {}
OcmsImageRecord* SdkImage::ColourRecord() { return nullptr; }

} // namespace lumora::vq
