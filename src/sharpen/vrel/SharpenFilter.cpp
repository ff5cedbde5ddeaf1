#include "SharpenFilter.h"

#include "SharpenLibrary.h"

#include <algorithm>
#include <mutex>
#include <unordered_set>

namespace {

constexpr int32_t kPixelBytes = 6;
constexpr int32_t kMaxKernelSize = 15;

std::mutex gLiveLock;
std::unordered_set<const SharpenFilter*>& liveFilters() {
    static std::unordered_set<const SharpenFilter*> live;
    return live;
}

PSFPlane plane(int32_t columns, int32_t rows, int32_t rowStep, void* data) {
    return PSFPlane{columns, kPixelBytes, rows, rowStep, PSFSample16b, data};
}

} // namespace

SharpenFilter::SharpenFilter(SharpenLibrary* owner)
    : library(owner), plugIn(owner->plugIn), reserved(owner->reserved), procs(owner->procs) {
    std::lock_guard<std::mutex> hold(gLiveLock);
    liveFilters().insert(this);
}

SharpenFilter::~SharpenFilter() {
    endStrip();
    std::lock_guard<std::mutex> hold(gLiveLock);
    liveFilters().erase(this);
}

bool SharpenFilter::IsAlive(const SharpenFilter* filter) {
    std::lock_guard<std::mutex> hold(gLiveLock);
    return liveFilters().count(filter) != 0;
}

void SharpenFilter::endStrip() {
    if (inStrip && procs.stripEnd) procs.stripEnd(plugIn);
    inStrip = 0;
}

SharpenLibrary* SharpenFilter::Release() {
    endStrip();
    return library->FilterReleased() ? library : nullptr;
}

VrelSharpenStatus SharpenFilter::Setup(const FilterRect* imageRect, uint32_t mode, uint32_t amount, uint32_t radius,
                                       uint32_t threshold, uint32_t flagsIn) {
    setUp = 0;
    if (!imageRect) return VrelSharpenErrNullArgument;
    if (flagsIn > 3) return VrelSharpenErrFlags;
    flags = flagsIn;
    align = uint16_t(flags & 1);
    flagBit1 = uint16_t((flags >> 1) & 1);
    if (mode != 2) return VrelSharpenErrMode;
    if (imageRect->top != 0 || imageRect->left != 0 || imageRect->bottom <= 0 || imageRect->right <= 0)
        return VrelSharpenErrBadRect;
    image = SwapRect(*imageRect);
    if (amount < 1 || amount > 20) return VrelSharpenErrAmount;
    if (radius < 1 || radius > 100) return VrelSharpenErrRadius;
    if (threshold > 255) return VrelSharpenErrThreshold;
    if (!procs.setup) return VrelSharpenErrSetup;

    VxFiltSharpenParams params{};
    params.amount = int32_t(amount);
    params.maxKernelSize = kMaxKernelSize;
    params.colorTag = VXFILT_TAG('L', 'a', 'b', ' ');
    params.channel = 0;
    params.radiusNumerator = uint32_t(radius * 0.1 * 10000);
    params.radiusDenominator = 10000;
    params.resolutionX = 300;
    params.resolutionY = 300;
    params.threshold = int32_t(threshold);
    params.filterChoice = 1;
    const VxFiltSetupBlock block{3, 10, &params};
    if (procs.setup(plugIn, &block) != VxFiltSuccess) return VrelSharpenErrSetup;
    setUp = 1;
    return VrelSharpenOK;
}

bool SharpenFilter::inside(const PSFRect& r) const {
    return r.x0 >= image.x0 && r.y0 >= image.y0 && r.x1 <= image.x1 && r.y1 <= image.y1 && r.x0 < r.x1 &&
           r.y0 < r.y1;
}

int32_t SharpenFilter::alignSource() {
    alignedSource = source;
    if (!align) return 0;
    int32_t widening = 0;
    auto lower = [&](int32_t& v) {
        if (v & 1) --v, widening = 1;
    };
    auto raise = [&](int32_t& v) {
        if (v & 1) ++v, widening = 1;
    };
    lower(alignedSource.x0);
    lower(alignedSource.y0);
    raise(alignedSource.x1);
    raise(alignedSource.y1);
    return widening;
}

VrelSharpenStatus SharpenFilter::GetBufferSizes(const FilterRect* stripRect, uint32_t* input, uint32_t* workBytes,
                                                uint32_t* output) {
    if (!stripRect || !input || !workBytes || !output) return VrelSharpenErrNullArgument;
    *input = *workBytes = *output = 0;
    stripHeight = 0;
    if (!setUp) return VrelSharpenErrNotSetUp;
    PSFRect r = SwapRect(*stripRect);
    if (!inside(r)) return VrelSharpenErrBadRect;

    endStrip();
    if (!procs.stripBegin || procs.stripBegin(plugIn, &image) != VxFiltSuccess) return VrelSharpenErrStripBegin;
    inStrip = 1;
    if (procs.rectangles(plugIn, &source, &second, &work, &r, &rectanglesFlag, 1, 0) != VxFiltSuccess)
        return VrelSharpenErrSizeRects;
    endStrip();
    if (procs.stripBegin(plugIn, &image) != VxFiltSuccess) return VrelSharpenErrStripBegin;
    inStrip = 1;

    margins[0] = second.x0 - source.x0;
    margins[1] = second.y0 - source.y0;
    margins[2] = source.x1 - second.x1;
    margins[3] = source.y1 - second.y1;
    const int64_t m = int64_t(*std::max_element(margins, margins + 4)) + alignSource();
    // Whole pictures of a few hundred megapixels need 2^31 bytes and more,
    // which callers' 32-bit sizes cannot carry; such a strip is refused
    // rather than sized short.
    const int64_t in = (int64_t(source.x1) - source.x0 + 2 * m) * kPixelBytes * (int64_t(source.y1) - source.y0 + 2 * m);
    const int64_t wk = (int64_t(work.x1) - work.x0 + 2 * m) * kPixelBytes * (int64_t(work.y1) - work.y0 + 2 * m);
    const int64_t out = (int64_t(r.x1) - r.x0) * kPixelBytes * (int64_t(r.y1) - r.y0);
    for (int64_t v : {in, wk, out})
        if (v < 0 || v > int64_t(INT32_MAX)) return VrelSharpenErrBadRect;
    *input = uint32_t(in);
    *workBytes = uint32_t(wk);
    *output = uint32_t(out);
    stripHeight = r.y1 - r.y0;
    return VrelSharpenOK;
}

VrelSharpenStatus SharpenFilter::SetStripRects(const FilterRect* stripRect, FilterRect* sourceOut) {
    if (!stripRect || !sourceOut) return VrelSharpenErrNullArgument;
    if (stripHeight == 0) return VrelSharpenErrNoSizes;
    const PSFRect r = SwapRect(*stripRect);
    if (!inside(r)) return VrelSharpenErrStripOutside;
    strip = r;
    if (procs.rectangles(plugIn, &source, &second, &work, &strip, &rectanglesFlag, 1, 0) != VxFiltSuccess)
        return VrelSharpenErrStripRects;
    alignSource();
    *sourceOut = UnswapRect(alignedSource);
    return VrelSharpenOK;
}

VrelSharpenStatus SharpenFilter::run(void* workBuffer, const FilterRect* stripRect,
                                     const VrelSharpenPlanes* destination, const VrelSharpenPlanes* sourcePlanes,
                                     VxFiltProgressProc progress, void* user, VxFiltStatus& answered) {
    if (!workBuffer || !stripRect || !destination || !sourcePlanes) return VrelSharpenErrNullArgument;
    const PSFRect r = SwapRect(*stripRect);
    if (stripHeight == 0 || r.x0 != strip.x0 || r.y0 != strip.y0 || r.x1 != strip.x1 || r.y1 != strip.y1)
        return VrelSharpenErrOtherStrip;
    for (const VrelSharpenPlanes* p : {sourcePlanes, destination})
        for (void* data : p->plane)
            if (!data) return VrelSharpenErrNullPlane;
    if (sourcePlanes->channels != 3 || destination->channels != 3) return VrelSharpenErrChannels;
    if (sourcePlanes->bitsPerSample != 16 || destination->bitsPerSample != 16) return VrelSharpenErrBits;
    if (sourcePlanes->pixelStride != kPixelBytes) return VrelSharpenErrStride;

    const int32_t sourceColumns = source.x1 - source.x0, sourceRows = source.y1 - source.y0;
    const int32_t rowStep = (alignedSource.x1 - alignedSource.x0) * kPixelBytes;
    const int64_t offset = align ? int64_t(source.y0 - alignedSource.y0) * rowStep +
                                       int64_t(source.x0 - alignedSource.x0) * kPixelBytes
                                 : 0;
    sourcePicture = PSFPicture{};
    sourcePicture.rect = strip;
    sourcePicture.width = image.x1;
    sourcePicture.height = image.y1;
    sourcePicture.planeCount = 3;
    for (int32_t i = 0; i < 3; ++i)
        sourcePicture.planes[i] = plane(sourceColumns, sourceRows, rowStep,
                                        static_cast<uint8_t*>(sourcePlanes->plane[i]) + offset);

    const int32_t stripColumns = strip.x1 - strip.x0, stripRows = strip.y1 - strip.y0;
    destinationPicture = PSFPicture{};
    destinationPicture.rect = strip;
    destinationPicture.width = image.x1;
    destinationPicture.height = image.y1;
    destinationPicture.planeCount = 3;
    for (int32_t i = 0; i < 3; ++i)
        destinationPicture.planes[i] = plane(stripColumns, stripRows, stripColumns * kPixelBytes, destination->plane[i]);

    const int32_t workColumns = work.x1 - work.x0, workRows = work.y1 - work.y0;
    workPicture = PSFPicture{};
    workPicture.rect = work;
    workPicture.width = workColumns;
    workPicture.height = workRows;
    workPicture.planeCount = 3;
    for (int32_t i = 0; i < 3; ++i)
        workPicture.planes[i] = plane(workColumns, workRows, workColumns * kPixelBytes,
                                      static_cast<uint8_t*>(workBuffer) + 2 * i);

    answered = procs.process(plugIn, &sourcePicture, nullptr, &workPicture, 0, progress, user, &destinationPicture);
    return VrelSharpenOK;
}

VrelSharpenStatus SharpenFilter::Strip(void* workBuffer, const FilterRect* stripRect,
                                       const VrelSharpenPlanes* destination, const VrelSharpenPlanes* sourcePlanes) {
    VxFiltStatus answered = VxFiltFailure;
    const VrelSharpenStatus s = run(workBuffer, stripRect, destination, sourcePlanes, nullptr, nullptr, answered);
    if (s != VrelSharpenOK) return s;
    return answered == VxFiltSuccess ? VrelSharpenOK : VrelSharpenErrProcess;
}

VrelSharpenStatus SharpenFilter::StripWithProgress(void* workBuffer, const FilterRect* stripRect,
                                                   const VrelSharpenPlanes* destination,
                                                   const VrelSharpenPlanes* sourcePlanes,
                                                   VrelSharpenProgressProc progress, void* user) {
    VxFiltStatus answered = VxFiltFailure;
    const VrelSharpenStatus s = run(workBuffer, stripRect, destination, sourcePlanes, progress, user, answered);
    if (s != VrelSharpenOK) return s;
    switch (answered) {
    case VxFiltSuccess: return VrelSharpenOK;
    case VxFiltErrCancelled: return VrelSharpenErrCancelled;
    case VxFiltErrReserved: return VrelSharpenErrReserved;
    default: return VrelSharpenErrProcess;
    }
}
