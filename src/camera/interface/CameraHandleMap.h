#pragma once
// Camera ids of the interface: the cameraId in a caller's CameraRecord.
#include <vector>

#include "HandleMap.h"
#include "SdkCamera.h"

namespace lumora::vq {

class CameraHandleMap final : public HandleMap<SdkCamera> {
public:
    using HandleMap::HandleMap;

    // Lowest and highest id present, in signed order; 0 when empty.
    int32_t LowestId() const { return entries_.empty() ? 0 : entries_.begin()->first; }
    int32_t HighestId() const { return entries_.empty() ? 0 : entries_.rbegin()->first; }

    // The ids present, in increasing order: a snapshot, so a camera may leave
    // the table while the ids are walked.
    std::vector<int32_t> Ids() const {
        std::vector<int32_t> ids;
        ids.reserve(entries_.size());
        for (const auto& entry : entries_) ids.push_back(entry.first);
        return ids;
    }
};

} // namespace lumora::vq
