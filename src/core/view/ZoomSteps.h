#pragma once
// The zoom factors, in percent, that the preview and close-up views step
// through, largest first: 400, 300, 200, 100, 67, 50, 33, 25.
#include <vector>

namespace NimbalCore {

using ZoomStepTable = std::vector<float>;

// The process's table, built on the first call.
const ZoomStepTable& GetZoomSteps();
inline const ZoomStepTable& GetZoomStepTable() { return GetZoomSteps(); }

// The smallest step above zoom; zoom itself at or above the largest step.
float NextLargerZoomStep(const ZoomStepTable& table, float zoom);
// The largest step below zoom; zoom itself at or below the smallest step
// and above the largest.
float NextSmallerZoomStep(const ZoomStepTable& table, float zoom);

} // namespace NimbalCore
