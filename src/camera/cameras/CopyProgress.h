#pragma once
// Progress of copying an image (and its sounds) to a folder, as the caller's
// progress record asks for it: phase 0 once before the first byte, phase 1
// with the percentage while it is below 100, phase 2 once at the end. The
// percentage is counted in 64 bits, so large files never wrap it.
#include <cstdint>

#include "VqImageBuffer.h"

namespace lumora::vq {

class CopyProgress {
public:
    CopyProgress(const void* record, uint64_t total)
        : record_(static_cast<const ProgressRecord*>(record)), total_(total) {}

    bool active() const { return record_ && record_->callback; }
    void Start() {
        if (!active()) return;
        started_ = true;
        record_->callback(0, 0, 0, record_->userValue);
    }
    // False when the callback asks to stop.
    bool Step(uint64_t done) {
        if (!active()) return true;
        const uint64_t percent = total_ ? done * 100 / total_ : 100;
        if (percent >= 100) return true;
        return record_->callback(1, int32_t(percent), 0, record_->userValue) != 0;
    }
    void Finish() {
        if (started_) record_->callback(2, 100, 0, record_->userValue);
    }

private:
    const ProgressRecord* record_;
    uint64_t total_;
    bool started_ = false;
};

} // namespace lumora::vq
