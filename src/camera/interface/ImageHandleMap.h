#pragma once
// Image handles of the interface: the handle in a caller's ImageInfoRecord.
#include "HandleMap.h"
#include "SdkImage.h"

namespace lumora::vq {

class ImageHandleMap final : public HandleMap<SdkImage> {
public:
    using HandleMap::HandleMap;

    // Whether an image in the table belongs to camera.
    bool AnyImageOf(const SdkCamera* camera) const {
        for (const auto& entry : entries_)
            if (entry.second->camera() == camera) return true;
        return false;
    }
};

} // namespace lumora::vq
