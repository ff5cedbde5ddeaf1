#include "StripRendering.h"

#include "Image.h"
#include "NbErrorCodes.h"
#include "ProgressCB.h"
#include "VrelSharpen.h"
#include "WorkerPool.h"
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

namespace {

// Pixels of one band at least: enough for the transform's per-call cost not
// to show, few enough that a strip of a few dozen rows still spreads.
constexpr int64_t kBandPixels = 16384;

VrelSharpenPlanes BandOf(const VrelSharpenPlanes& planes, int32_t first, int32_t rows) {
    VrelSharpenPlanes band = planes;
    band.rows = rows;
    const int64_t offset = int64_t(first) * planes.rowStride;
    for (void*& plane : band.plane)
        if (plane) plane = static_cast<uint8_t*>(plane) + offset;
    if (band.plane4) band.plane4 = static_cast<uint8_t*>(band.plane4) + offset;
    return band;
}

} // namespace

void TransformPixelsInBands(Image& image, ColorTransform* transform, const VrelSharpenPlanes& source,
                            const VrelSharpenPlanes& destination, bool fromKind) {
    const int32_t rows = source.rows;
    const int32_t bandRows = int32_t(std::clamp<int64_t>(kBandPixels / std::max(source.columns, 1), 1, rows > 0 ? rows : 1));
    const size_t bands = rows > 0 ? size_t((int64_t(rows) + bandRows - 1) / bandRows) : 0;
    lumora::WorkerPool& pool = lumora::WorkerPool::Shared();
    if (rows != destination.rows || source.columns != destination.columns || pool.LanesFor(bands) <= 1) {
        image.TransformPixels(transform, source, destination, fromKind);
        return;
    }
    // Every sample is worked from its own row alone, so bands of rows give
    // the bytes one call gives.
    pool.ForEach(bands, [&](size_t band, unsigned) {
        const int32_t first = int32_t(band) * bandRows, count = std::min(bandRows, rows - first);
        image.TransformPixels(transform, BandOf(source, first, count), BandOf(destination, first, count), fromKind);
    });
}

} // namespace NimbalCore
