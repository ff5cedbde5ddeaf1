#include "ProgressAccumulator.h"

#include <algorithm>

namespace NimbalCore {

bool ProgressAccumulator::Progress(int percent) {
    bool result = true;
    if (target_ && stepCount_ == 0) return target_->Progress(100);
    if (percent < lastPercent_) ++completedSteps_;
    if (target_) {
        const double v = double(completedSteps_) / stepCount_ * 100.0 + double(percent) / stepCount_;
        result = target_->Progress(int(std::min(v, 100.0)));
    }
    lastPercent_ = percent;
    return result;
}

} // namespace NimbalCore
