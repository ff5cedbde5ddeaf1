#pragma once
// Turns finished steps of a rendering into percentages for the caller's progress
// callback and carries the callback's wish to stop back to the pipeline.
#include <cstdint>

#include "VqImageBuffer.h"

namespace lumora {

class RenderProgress {
public:
    RenderProgress() = default;
    ~RenderProgress() = default;

    void Init(int32_t userValue, VqProgressCallback callback, uint32_t stepCount,
              uint32_t startPercent, uint32_t endPercent);
    // Answers non-zero to go on, 0 when the callback asked to stop.
    int32_t Step(int32_t isStart);
    int32_t Start() { return Step(1); }

    int32_t userValue = 0;
    VqProgressCallback callback = nullptr;
    uint32_t stepCount = 0;
    uint32_t startPercent = 0;
    uint32_t spanPercent = 0;
    uint32_t stepsDone = 0;
};

} // namespace lumora
