#include <vector>

#include "CameraHandleMap.h"
#include "DriverState.h"
#include "SdkCamera.h"

namespace lumora::vq {

void SdkDispatchCameraEvent(uint32_t deviceHandle, const uint8_t* eventBytes) {
    if (!eventBytes) return;
    const uint32_t event = uint32_t(eventBytes[0]) << 24 | uint32_t(eventBytes[1]) << 16 |
                           uint32_t(eventBytes[2]) << 8 | eventBytes[3];
    CameraHandleMap* cameras = Driver().cameras;
    if (!cameras) return;
    // Only the ids present are visited: ids grow for the life of the process,
    // so the span between the lowest and highest can be billions of numbers.
    for (int32_t id : cameras->Ids()) {
        SdkCamera* camera = cameras->Find(id);
        if (!camera) continue;
        uint32_t handle = 0;
        (void)camera->GetDeviceHandle(&handle);
        if (handle == deviceHandle) camera->OnDeviceEvent(event);
    }
}

} // namespace lumora::vq
