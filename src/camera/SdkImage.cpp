#include "SdkImage.h"

#include "CameraHandleMap.h"
#include "DriverState.h"

namespace lumora::vq {

SdkImage::SdkImage(const CameraRecord* record, DriverSettings* settings) : settings_(settings), camera_(nullptr) {
    const CameraHandleMap* cameras = Driver().cameras;
    if (record && cameras) camera_ = cameras->Find(record->cameraId);
}

SdkImage::~SdkImage() = default;

void SdkImage::OnImageTypeChanged(uint32_t, uint32_t*, int32_t) {}

} // namespace lumora::vq
