#include "RenderProgress.h"

namespace lumora {

void RenderProgress::Init(int32_t user, VqProgressCallback cb, uint32_t steps, uint32_t start,
                          uint32_t end) {
    userValue = user;
    callback = cb;
    stepCount = steps;
    startPercent = start;
    spanPercent = end - start;
    stepsDone = 0;
}

int32_t RenderProgress::Step(int32_t isStart) {
    if (!callback || stepCount == 0) return 1;
    if (isStart) return callback(0, int32_t(startPercent), 0, userValue);
    const int32_t state = (spanPercent == 100 && stepsDone == stepCount - 1) ? 2 : 1;
    ++stepsDone;
    uint32_t percent = stepsDone * spanPercent / stepCount + startPercent;
    if (percent > 100) percent = 100;
    return callback(state, int32_t(percent), 0, userValue);
}

} // namespace lumora
