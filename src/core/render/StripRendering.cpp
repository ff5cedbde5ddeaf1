#include "StripRendering.h"

#include "NbErrorCodes.h"
#include "ProgressCB.h"
#include "YlmErrp.h"

#include <algorithm>

namespace NimbalCore {

StripPlan PlanStrips(uint32_t height, uint32_t limit) {
    StripPlan plan;
    if (limit >= height) {
        plan.fullStrips = plan.stripCount = 1;
        plan.stripRows = height;
        return plan;
    }
    uint32_t c = limit & ~1u;
    if (c == 0) c = 2;
    const uint32_t d = height / c;
    if (height % c == 0) {
        plan.fullStrips = plan.stripCount = d;
        plan.stripRows = c;
        return plan;
    }
    const uint32_t e = d + 1;
    uint32_t r = uint32_t((uint64_t(height) + d) / e);
    r += r & 1u;
    if (uint64_t(e) * r == height) {
        plan.fullStrips = plan.stripCount = e;
        plan.stripRows = r;
        return plan;
    }
    plan.fullStrips = d;
    plan.stripCount = e;
    plan.stripRows = r;
    plan.lastRows = height - d * r;
    return plan;
}

void ReportRenderProgress(ProgressCB* progress, int percent) {
    if (progress && !progress->Progress(percent)) YLM_THROW("Image::RenderImageInternal", NbErrRenderCancelled);
}

short SharpenProgressBridge(int percent, void* context) {
    percent = std::clamp(percent, 0, 100);
    if (!context) return 1;
    return static_cast<ProgressCB*>(context)->Progress(percent) ? 1 : NbErrProgressCancelled;
}

} // namespace NimbalCore
