#pragma once
// Camera ids of the interface: the cameraId in a caller's CameraRecord.
#include "HandleMap.h"
#include "SdkCamera.h"

namespace lumora::vq {

class CameraHandleMap final : public HandleMap<SdkCamera> {
public:
    using HandleMap::HandleMap;

    // Lowest and highest id present, in signed order; 0 when empty.
    int32_t LowestId() const { return entries_.empty() ? 0 : entries_.begin()->first; }
    int32_t HighestId() const { return entries_.empty() ? 0 : entries_.rbegin()->first; }
};

} // namespace lumora::vq
