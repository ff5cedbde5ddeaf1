// The image's strip renderer, and the sharpen library and scale plug-in it
// and the exports depend on.
#include "Image.h"
#include "NbErrorCodes.h"
#include "PixelArray.h"
#include "ProgressAccumulator.h"
#include "StImageClosableFlagRestorer.h"
#include "StImageRenderingFlagRestorer.h"
#include "StripRendering.h"
#include "StripWorkingBlocks.h"
#include "VrelSharpenProcs.h"
#include "YlmErrp.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

namespace NimbalCore {

namespace {

int (*gScaleLoad)() = nullptr;
int (*gScaleUnload)() = nullptr;
bool gScaleLoaded = false;

constexpr int kStripPixelBytes = 6; // 16-bit RGB, interleaved
constexpr uint64_t kMaxStripBytes = 67108864;

FilterRect ToFilterRect(const NbRect& r) { return FilterRect{r.top, r.left, r.bottom + 1, r.right + 1}; }

FilterRect DividedImageRect(const NbRect& native, int32_t divisor) {
    FilterRect r = ToFilterRect(native);
    if (divisor > 0) {
        r.bottom /= divisor;
        r.right /= divisor;
    }
    return r;
}

VrelSharpenPlanes StripPlanes(void* block, int32_t columns, int32_t rows) {
    VrelSharpenPlanes p{};
    p.channels = 3;
    p.bitsPerSample = 16;
    p.pixelStride = kStripPixelBytes;
    p.rowStride = columns * kStripPixelBytes;
    p.rows = rows;
    p.columns = columns;
    auto* base = static_cast<uint8_t*>(block);
    p.plane[0] = base;
    p.plane[1] = base ? base + 2 : nullptr;
    p.plane[2] = base ? base + 4 : nullptr;
    return p;
}

// Throws the library's status as the render's error; a cancel is 1711.
void CheckSharpenStatus(int32_t status) {
    if (status == 735) YLM_THROW("Image::RenderImageInternal", NbErrRenderCancelled);
    if (status != 0) YLM_THROW("Image::RenderImageInternal", status);
}

// Everything a render holds that must be given back on every way out. The
// working blocks are leased: pinned while the render runs, kept for the next
// render after it.
struct RenderResources {
    Image* image;
    SharpenFilter* filter = nullptr;
    std::unique_ptr<ProgressAccumulator> accumulator;
    std::optional<StripWorkingBlocks::Lease> source, work, output;

    explicit RenderResources(Image* i) : image(i) {}
    ~RenderResources() {
        if (filter && VrelSharpenProcs::table.releaseFilter) VrelSharpenProcs::table.releaseFilter(&filter);
        accumulator.reset();
        source.reset();
        work.reset();
        output.reset();
        try {
            image->EndRender();
        } catch (...) {
            // The render's own outcome is what the caller hears.
        }
    }
};

} // namespace

int Image::OpenSharpenLibrary() {
    try {
        if (!VrelSharpenProcs::binder) throw int(NbErrSharpenLibraryFailed);
        if (const int32_t status = VrelSharpenProcs::binder("VrelSharpenLib", &VrelSharpenProcs::table))
            throw int(status);
        if (!VrelSharpenProcs::table.initialize) throw int(NbErrSharpenLibraryNotLoaded);
        if (const int32_t status = VrelSharpenProcs::table.initialize(0, &VrelSharpenProcs::library))
            throw int(status);
    } catch (int) {
        throw;
    } catch (...) {
        throw int(NbErrSharpenLibraryFailed);
    }
    return 0;
}

void Image::CloseSharpenLibrary() {
    int32_t status = 0;
    if (VrelSharpenProcs::library && VrelSharpenProcs::table.terminate)
        status = VrelSharpenProcs::table.terminate(&VrelSharpenProcs::library);
    VrelSharpenProcs::library = nullptr;
    if (status == 0 && VrelSharpenProcs::unbinder) status = VrelSharpenProcs::unbinder(&VrelSharpenProcs::table);
    VrelSharpenProcs::table = VrelSharpenProcs{};
    if (status != 0) YLM_THROW("Image::CloseSharpenLibrary", NbErrLibraryFailed);
}

void Image::SetScalePlugInBinding(int (*load)(), int (*unload)()) {
    gScaleLoad = load;
    gScaleUnload = unload;
}

int Image::OpenScalePlugIn() {
    int result;
    try {
        result = gScaleLoad ? gScaleLoad() : int(NbErrScalerNotLoaded);
    } catch (...) {
        throw int(NbErrScalerNotLoaded);
    }
    if (result != 0) throw int(result);
    gScaleLoaded = true;
    return 0;
}

int Image::CloseScalePlugIn() {
    if (!gScaleLoaded) return 0;
    gScaleLoaded = false;
    return gScaleUnload ? gScaleUnload() : 0;
}

void Image::RenderImageInternal(const ImageProcessParam& params, PixelArray& destination, bool useCrop,
                                ProgressCB* progress, int renderKind) {
    const NbRect imageRect = GetImageRect();
    const int64_t halfHeight = imageRect.Height() / 2;
    const int rotation = int(params.rotation);
    StImageRenderingFlagRestorer renderingFlag(this);
    StImageClosableFlagRestorer closableFlag(this);
    RenderResources resources(this);

    // A file that vanished or cannot be reopened must not leave the caller
    // with whatever the destination held, reported as a finished render.
    if (const int opened = EnsureOpen()) YLM_THROW("Image::RenderImageInternal", opened);
    if (progress && !progress->Progress(0)) YLM_THROW("Image::RenderImageInternal", NbErrRenderCancelled);

    ImageProcessParam p = params;
    if (p.lighting >= 0 && p.lighting <= 3) p.lightingIndex = p.lighting;
    int destinationFormat = destination.GetPixelType() == PixelArray::BGR ? PixelArray::RGB : destination.GetPixelType();
    if (p.colorMode == 1 && !isColor_) {
        destination.SetPixelType(PixelArray::Gray);
        destinationFormat = PixelArray::Gray;
    }
    bool sharpen = renderKind == 0 && p.sharpenAmount != 0 && p.sharpenRadius != 0 && VrelSharpenProcs::library &&
                   p.colorMode != 1;

    FilterRect sourceArea{}, imageArea{};
    switch (renderKind) {
    case 0:
        imageArea = DividedImageRect(GetNativeImageRect(), resolutionDivisor_);
        sourceArea = useCrop ? ToFilterRect(p.crop) : imageArea;
        break;
    case 1: sourceArea = imageArea = ToFilterRect(previewRect_); break;
    case 2: sourceArea = imageArea = ToFilterRect(GetNativeThumbnailRect()); break;
    default: YLM_THROW("Image::RenderImageInternal", NbErrInvalidValue);
    }
    const NbRect bounds = destination.GetBounds();
    const int64_t W = bounds.Width(), H = bounds.Height();

    // The whole area must fit the destination (turned as the view turns
    // it), and the destination's memory must hold its bounds: checked once,
    // before anything is written.
    int64_t areaW = int64_t(sourceArea.right) - sourceArea.left, areaH = int64_t(sourceArea.bottom) - sourceArea.top;
    if (rotation == 90 || rotation == 270) std::swap(areaW, areaH);
    const int64_t bytesPerPixel = int64_t(destination.GetChannels()) * destination.GetBytesPerSample();
    if (W <= 0 || H <= 0 || areaW <= 0 || areaH <= 0 || W < areaW || H < areaH || !destination.GetData() ||
        destination.GetRowBytes() < W * bytesPerPixel ||
        (destination.GetSize() > 0 && uint64_t(destination.GetRowBytes()) * uint64_t(H) > uint64_t(destination.GetSize())))
        YLM_THROW("Image::RenderImageInternal", NbErrRenderFailed);

    uint32_t stripRows = uint32_t(H);
    uint32_t limit = 0;
    if (renderKind == 1) stripRows = std::min<uint32_t>(stripRows, 128);
    if (renderKind == 0) {
        const uint64_t maxRows = kMaxStripBytes / uint64_t(W * kStripPixelBytes);
        const uint64_t base = sharpen ? std::min<uint64_t>(uint64_t(imageRect.Height()), maxRows) / 3
                                      : std::min<uint64_t>(uint64_t(std::max<int64_t>(halfHeight, 0)), maxRows);
        limit = uint32_t(base) & 65534u;
        if (limit == 0) limit = 2;
        stripRows_ = int32_t(limit);
        stripRows = std::min<uint32_t>(uint32_t(H), limit);
    }
    StripPlan plan;
    plan.fullStrips = uint32_t(H) / stripRows;
    plan.lastRows = uint32_t(H) % stripRows;
    plan.stripCount = plan.fullStrips + (plan.lastRows ? 1 : 0);
    plan.stripRows = stripRows;
    if (stripRows < 16) sharpen = false;
    if (renderKind == 0) plan = PlanStrips(uint32_t(H), limit);

    const int outputKind = destination.GetBytesPerSample() == 2 ? 5 : 1;
    YlmRefPtr<ColorTransform> transformA, transformB;
    if (sharpen) {
        transformA = BuildColorTransform(p, 5, 2);
        transformB = BuildColorTransform(p, outputKind, 3);
    } else {
        const int k = p.colorMode == 1 ? (sourceBitDepth_ == 12 ? 4 : 5) : outputKind;
        transformA = BuildColorTransform(p, k, 1);
    }
    if (progress) resources.accumulator = std::make_unique<ProgressAccumulator>(progress, int32_t(plan.stripCount * (sharpen ? 4 : 2)));
    ProgressCB* acc = resources.accumulator.get();
    const VrelSharpenProcs& procs = VrelSharpenProcs::table;

    const int64_t n = plan.stripRows;
    uint32_t rows = plan.fullStrips > 0 ? plan.stripRows : plan.lastRows;
    FilterRect strip = sourceArea;
    for (uint32_t i = 0; i < plan.stripCount; ++i) {
        switch (rotation) {
        case 0:
            strip.top = int32_t(sourceArea.top + i * n);
            strip.bottom = int32_t(strip.top + rows);
            strip.left = sourceArea.left;
            strip.right = sourceArea.right;
            break;
        case 90:
            strip.left = int32_t(sourceArea.left + i * n);
            strip.right = int32_t(strip.left + rows);
            strip.top = sourceArea.top;
            strip.bottom = sourceArea.bottom;
            break;
        case 180:
            strip.bottom = int32_t(sourceArea.bottom - i * n);
            strip.top = int32_t(strip.bottom - rows);
            strip.left = sourceArea.left;
            strip.right = sourceArea.right;
            break;
        case 270:
            strip.right = int32_t(sourceArea.right - i * n);
            strip.left = int32_t(strip.right - rows);
            strip.top = sourceArea.top;
            strip.bottom = sourceArea.bottom;
            break;
        default: break;
        }
        if (i == 0) {
            if (sharpen) {
                CheckSharpenStatus(procs.createFilter(VrelSharpenProcs::library, &resources.filter, &imageArea, 2,
                                                      uint32_t(p.sharpenAmount), uint32_t(p.sharpenRadius),
                                                      uint32_t(p.sharpenThreshold), evenAlignedSharpening_ ? 1u : 0u));
                uint32_t sourceBytes = 0, workBytes = 0, outputBytes = 0;
                CheckSharpenStatus(procs.bufferSizes(resources.filter, &strip, &sourceBytes, &workBytes, &outputBytes));
                resources.source.emplace(sourceBytes);
                resources.work.emplace(workBytes);
                resources.output.emplace(outputBytes);
            } else {
                resources.source.emplace(uint64_t(rows) * uint64_t(W) * kStripPixelBytes);
            }
        }
        FilterRect sourceRect = strip;
        VrelSharpenPlanes outputLayout{};
        if (sharpen) {
            CheckSharpenStatus(procs.stripRects(resources.filter, &strip, &sourceRect));
            outputLayout = StripPlanes(resources.output->GetData(), strip.right - strip.left, strip.bottom - strip.top);
        }
        const int32_t sourceColumns = sourceRect.right - sourceRect.left, sourceRows = sourceRect.bottom - sourceRect.top;
        // The source block must hold what the image kind writes into it.
        if (sourceColumns <= 0 || sourceRows <= 0 ||
            uint64_t(sourceColumns) * uint64_t(sourceRows) * kStripPixelBytes > uint64_t(resources.source->GetSize()))
            YLM_THROW("Image::RenderImageInternal", NbErrRenderFailed);
        VrelSharpenPlanes sourceLayout = StripPlanes(resources.source->GetData(), sourceColumns, sourceRows);

        VrelSharpenPlanes destinationLayout;
        DescribePixelArray(destination, destinationLayout);
        destinationLayout.rows = int32_t(rows);
        const int64_t advance = int64_t(destinationLayout.rowStride) * int64_t(i) * n;
        for (void*& plane : destinationLayout.plane)
            if (plane) plane = static_cast<uint8_t*>(plane) + advance;
        RotatePixelLayout(destinationLayout, rotation);

        SetParmsInImageForLinearRendering(p);
        GetImageRectangleFromCameraSDK(renderKind, p, sourceRect, float(rotation), sourceLayout, destinationFormat,
                                       resolutionDivisor_, acc);
        if (!sharpen) {
            ReportRenderProgress(acc, 0);
            TransformPixelsInBands(*this, transformA.Get(), sourceLayout, destinationLayout);
            ReportRenderProgress(acc, 100);
        } else {
            ReportRenderProgress(acc, 0);
            TransformPixelsInBands(*this, transformA.Get(), sourceLayout, sourceLayout);
            ReportRenderProgress(acc, 100);
            if (!procs.stripWithProgress) YLM_THROW("Image::RenderImageInternal", NbErrSharpenLibraryNotLoaded);
            CheckSharpenStatus(procs.stripWithProgress(resources.filter, resources.work->GetData(), &strip, &outputLayout,
                                                       &sourceLayout, &SharpenProgressBridge, acc));
            ReportRenderProgress(acc, 0);
            TransformPixelsInBands(*this, transformB.Get(), outputLayout, destinationLayout, false);
            ReportRenderProgress(acc, 100);
        }
        if (i + 1 == plan.fullStrips && plan.lastRows != 0) rows = plan.lastRows;
    }
}

} // namespace NimbalCore
