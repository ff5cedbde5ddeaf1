#pragma once
// The 0..100 progress of n sub-steps reported as one range: each sub-step
// starts again from a lower percent than the previous one ended with.
#include "ProgressCB.h"

#include <cstdint>

namespace NimbalCore {

class ProgressAccumulator : public ProgressCB {
public:
    ProgressAccumulator(ProgressCB* target, int32_t stepCount) : stepCount_(stepCount), target_(target) {}
    ~ProgressAccumulator() override { target_ = nullptr; }

    bool Progress(int percent) override;
    virtual void SetStepCount(int32_t count) { stepCount_ = count; }

private:
    int32_t stepCount_;
    int32_t completedSteps_ = 0;
    ProgressCB* target_;
    int32_t lastPercent_ = 0;
};

} // namespace NimbalCore
