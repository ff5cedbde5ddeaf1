#pragma once
// Image handles of the interface: the handle in a caller's ImageInfoRecord.
#include "HandleMap.h"
#include "SdkImage.h"

namespace lumora::vq {

class ImageHandleMap final : public HandleMap<SdkImage> {
public:
    using HandleMap::HandleMap;
};

} // namespace lumora::vq
