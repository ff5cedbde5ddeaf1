#pragma once
// The helpers of the strip renderer: how a height is cut into strips,
// progress with cancel, and pixel transforms spread over the worker pool.
#include <cstdint>

struct VrelSharpenPlanes;

namespace NimbalCore {

class ColorTransform;
class Image;
class ProgressCB;

struct StripPlan {
    uint32_t fullStrips = 0;
    uint32_t stripCount = 0;
    uint32_t stripRows = 0;
    uint32_t lastRows = 0;
};

// Strips of at most limit rows (even heights) over height rows, as equal as
// they can be.
StripPlan PlanStrips(uint32_t height, uint32_t limit);
// Nothing without a callback; a refused percent throws 1711.
void ReportRenderProgress(ProgressCB* progress, int percent);
// The sharpen library's progress callback: 1 to go on, 2041 to cancel.
short SharpenProgressBridge(int percent, void* progress);
// The image's TransformPixels over bands of rows of source and destination,
// the bands on every lane of the worker pool; the same pixels as one call over
// the whole. Layouts of different sizes go in one call.
void TransformPixelsInBands(Image& image, ColorTransform* transform, const VrelSharpenPlanes& source,
                            const VrelSharpenPlanes& destination, bool fromKind = true);

} // namespace NimbalCore
