#include "ImageScaler.h"

#include "NbErrorCodes.h"
#include "ScalePlugIn.h"
#include "TalpScaleParams.h"

#include <cstring>

namespace NimbalCore {

namespace {

constexpr uint32_t kThreeColours = VXFILT_TAG('3', 'C', 'L', 'R');
constexpr uint32_t kGrey = VXFILT_TAG('G', 'R', 'A', 'Y');

// The first address at or after p whose remainder modulo 4 is 2.
uint8_t* alignedTo2Mod4(void* p) {
    const uintptr_t a = reinterpret_cast<uintptr_t>(p);
    return static_cast<uint8_t*>(p) + ((2 - a % 4) + 4) % 4;
}

int64_t area(const PSFRect& r) { return int64_t(r.x1 - r.x0) * int64_t(r.y1 - r.y0); }

} // namespace

PSFRect NbRectToPSFRect(const NbRect& r) { return PSFRect{r.left, r.top, r.right + 1, r.bottom + 1}; }

NbRect PSFRectToNbRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1) { return NbRect(x0, y0, x1 - 1, y1 - 1); }

ImageScaler::ImageScaler() {
    if (ScalePlugIn* p = ScalePlugIn::Get(); p && p->IsLoaded()) {
        procs_ = p->Procs();
        plugIn_ = p->Handle();
        bound_ = true;
    }
}

ImageScaler::~ImageScaler() { Close(); }

int32_t ImageScaler::Setup(bool sourceDriven, const NbRect& source, const NbRect& destination, int32_t bytesPerSample,
                           int32_t channels, int32_t numerator, int32_t denominator) {
    sourceDriven_ = sourceDriven ? 1 : 0;
    if (source.Width() <= 0 || source.Height() <= 0 || destination.Width() <= 0 || destination.Height() <= 0 ||
        numerator <= 0 || denominator <= 0)
        return NbErrScalerEmptyRect;
    if ((bytesPerSample != 1 && bytesPerSample != 2) || (channels != 1 && channels != 3)) return NbErrBadArgument;
    const TalpScaleParams params{numerator, denominator, channels == 3 ? kThreeColours : kGrey, channels == 3 ? 0 : -1};
    const VxFiltSetupBlock block{TALPSCALE_SETUP_VERSION, TALPSCALE_PARAM_VERSION, &params};
    if (!bound_ || !procs_.setup) return NbErrScalerNotSetUp;
    try {
        if (procs_.setup(plugIn_, &block) != VxFiltSuccess) return NbErrScalerNotSetUp;
    } catch (...) {
        return NbErrScalerNotSetUp;
    }
    setUp_ = 1;
    sourceImage_ = NbRectToPSFRect(source);
    destinationImage_ = NbRectToPSFRect(destination);
    bytesPerSample_ = bytesPerSample;
    channels_ = channels;
    bytesPerPixel_ = channels * bytesPerSample;
    return 0;
}

int32_t ImageScaler::GetBufferSizes(size_t* workBytes, size_t* destinationBytes) {
    if (workBytes) *workBytes = 0;
    if (destinationBytes) *destinationBytes = 0;
    if (!workBytes || !destinationBytes) return NbErrBadArgument;
    if (!setUp_) return NbErrScalerNotSetUp;
    // The 20 bytes leave room for the alignment of the strip's buffers.
    *workBytes = size_t(area(work_) * bytesPerPixel_ + 20);
    *destinationBytes = size_t(area(destinationStrip_) * bytesPerPixel_ + 20);
    return 0;
}

int32_t ImageScaler::GetSourceRect(NbRect* sourceStrip, NbRect* destinationStrip, NbRect* second) {
    if (!sourceStrip || !destinationStrip || !second) return NbErrBadArgument;
    second_ = work_ = PSFRect{};
    if (sourceDriven_) {
        sourceStrip_ = NbRectToPSFRect(*sourceStrip);
        destinationStrip_ = PSFRect{};
    } else {
        sourceStrip_ = PSFRect{};
        destinationStrip_ = NbRectToPSFRect(*destinationStrip);
    }
    if (!bound_ || !procs_.rectangles) return NbErrScalerRectanglesFailed;
    try {
        if (procs_.rectangles(plugIn_, &sourceStrip_, &second_, &work_, &destinationStrip_, &rectanglesFlag_,
                              rectanglesMode_, sourceDriven_) != VxFiltSuccess)
            return NbErrScalerRectanglesFailed;
    } catch (...) {
        return NbErrScalerRectanglesFailed;
    }
    if (sourceDriven_)
        *destinationStrip = PSFRectToNbRect(destinationStrip_.x0, destinationStrip_.y0, destinationStrip_.x1,
                                            destinationStrip_.y1);
    else
        *sourceStrip = PSFRectToNbRect(sourceStrip_.x0, sourceStrip_.y0, sourceStrip_.x1, sourceStrip_.y1);
    *second = PSFRectToNbRect(second_.x0, second_.y0, second_.x1, second_.y1);
    return 0;
}

int32_t ImageScaler::StripBegin() {
    if (!bound_ || !procs_.stripBegin) return NbErrScalerStripBeginFailed;
    try {
        if (procs_.stripBegin(plugIn_, &sourceImage_) != VxFiltSuccess) return NbErrScalerStripBeginFailed;
    } catch (...) {
        return NbErrScalerStripBeginFailed;
    }
    inStrip_ = 1;
    return 0;
}

int32_t ImageScaler::StripEnd() {
    if (!bound_ || !procs_.stripEnd) return NbErrScalerStripEndFailed;
    try {
        if (procs_.stripEnd(plugIn_) != VxFiltSuccess) return NbErrScalerStripEndFailed;
    } catch (...) {
        return NbErrScalerStripEndFailed;
    }
    inStrip_ = 0;
    return 0;
}

void ImageScaler::DescribePlanes(PSFPicture& p, uint8_t* first, int32_t pixelStride, int32_t rowStride,
                                 int32_t columns, int32_t rows) const {
    p.planeCount = channels_;
    for (int32_t c = 0; c < channels_; ++c)
        p.planes[c] = PSFPlane{columns, pixelStride, rows, rowStride,
                               bytesPerSample_ == 1 ? int32_t(PSFSample8) : int32_t(PSFSample16b),
                               first + c * bytesPerSample_};
}

int32_t ImageScaler::ProcessStrip(void* work, const NbRect& sourceStrip, VrelSharpenPlanes* source,
                                  const NbRect& destinationStrip, VrelSharpenPlanes* destination,
                                  ExportScalerProgress progress, void* user) {
    if (!progress || !user) return NbErrScalerNoProgress;
    if (!work || !source || !destination) return NbErrScalerNoBuffers;
    for (VrelSharpenPlanes* set : {source, destination}) {
        if (set->channels != channels_) return NbErrScalerFormatMismatch;
        for (int32_t c = 0; c < (channels_ == 3 ? 3 : 1); ++c)
            if (!set->plane[c]) return NbErrScalerNoBuffers;
        if (set->bitsPerSample != bytesPerSample_ * 8) return NbErrScalerFormatMismatch;
    }

    sourcePicture_ = PSFPicture{};
    sourcePicture_.rect = NbRectToPSFRect(sourceStrip);
    sourcePicture_.width = sourceImage_.x1;
    sourcePicture_.height = sourceImage_.y1;
    DescribePlanes(sourcePicture_, static_cast<uint8_t*>(source->plane[0]), source->pixelStride, source->rowStride,
                   sourcePicture_.rect.x1 - sourcePicture_.rect.x0, sourcePicture_.rect.y1 - sourcePicture_.rect.y0);

    destinationPicture_ = PSFPicture{};
    destinationPicture_.rect = NbRectToPSFRect(destinationStrip);
    destinationPicture_.width = destinationImage_.x1;
    destinationPicture_.height = destinationImage_.y1;
    uint8_t* const destinationFirst = alignedTo2Mod4(destination->plane[0]);
    DescribePlanes(destinationPicture_, destinationFirst, destination->pixelStride, destination->rowStride,
                   destination->columns, destination->rows);
    for (int32_t c = 0; c < 3; ++c)
        destination->plane[c] = c < channels_ ? destinationFirst + c * bytesPerSample_ : nullptr;

    workPicture_ = PSFPicture{};
    workPicture_.rect = work_;
    workPicture_.width = work_.x1;
    workPicture_.height = work_.y1;
    const int32_t workColumns = work_.x1 - work_.x0, workRows = work_.y1 - work_.y0;
    DescribePlanes(workPicture_, alignedTo2Mod4(work), bytesPerPixel_, workColumns * bytesPerPixel_, workColumns,
                   workRows);

    VxFiltStatus s = VxFiltFailure;
    if (bound_ && procs_.process) {
        try {
            s = procs_.process(plugIn_, &sourcePicture_, nullptr, &workPicture_, 0, progress, user,
                               &destinationPicture_);
        } catch (...) {
            s = VxFiltFailure;
        }
    }
    if (s == VxFiltSuccess) return 0;
    Close();
    if (s == VxFiltErrCancelled) return NbErrScalerCancelled;
    if (s == VxFiltErrReserved) return NbErrScalerReservedStatus;
    return NbErrScalerProcessFailed;
}

int32_t ImageScaler::Close() {
    if (bound_) {
        if (inStrip_) StripEnd();
        if (setUp_ && procs_.close) {
            try {
                procs_.close(plugIn_);
            } catch (...) {
            }
        }
    }
    setUp_ = 0;
    return 0;
}

} // namespace NimbalCore
