// ZynImage: rendering strips and thumbnails through the camera interface,
// the settings each needs, and the raw data cache.
#include "ZynImage.h"

#include "FilterRectConversions.h"
#include "NbErrorCodes.h"
#include "PixelArray.h"
#include "ProgressCB.h"
#include "RenderBuffer.h"
#include "StImageClosableFlagRestorer.h"
#include "StImageRenderingFlagRestorer.h"
#include "YlmErrp.h"
#include "ZynRenderProgressScope.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace NimbalCore {

namespace {

constexpr const char* kStripOp = "ZynImage::GetImageRectangleFromCameraSDK";
constexpr const char* kThumbnailOp = "ZynImage::RenderThumbnail";
constexpr const char* kCacheOp = "ZynImage::LoadAndDecompressCache";
// The interface's failures of SetRotation and SetSubSample carry this name.
constexpr const char* kSettingOp = "textToThrow";
// Each cache load reads two steps of 64 KiB.
constexpr int32_t kCacheSteps = 2;
constexpr uint64_t kCacheChunkBytes = uint64_t(kCacheSteps) * 65536;
constexpr int32_t kProgressEveryChunks = 5;

// The output type of each pixel layout (gray, RGB, BGR, XRGB, BGRX): linear
// and otherwise, one and two bytes per sample.
const uint32_t kTypes[5][2][2] = {
    {{VQ_TYPE_GRAY8, VQ_TYPE_GRAY16}, {VQ_TYPE_MONO8, VQ_TYPE_MONO16}},
    {{VQ_TYPE_RGB8, VQ_TYPE_RGB16}, {VQ_TYPE_CAMERA_RGB8, VQ_TYPE_CAMERA_RGB16}},
    {{VQ_TYPE_BGR8, VQ_TYPE_BGR16}, {VQ_TYPE_BGR8, VQ_TYPE_BGR16}},
    {{VQ_TYPE_XRGB8, VQ_TYPE_XRGB16}, {VQ_TYPE_XRGB8, VQ_TYPE_XRGB16}},
    {{VQ_TYPE_BGRX8, VQ_TYPE_BGRX16}, {VQ_TYPE_BGRX8, VQ_TYPE_BGRX16}},
};

bool IsQuarterTurn(float angle) {
    return angle == 0.0f || angle == 90.0f || angle == 180.0f || angle == 270.0f;
}

} // namespace

// Settings --------------------------------------------------------------------------------

bool ZynImage::ReportRenderProgress(int percent) {
    ProgressCB* progress = renderProgress_.load();
    return progress ? progress->Progress(percent) : true;
}

void ZynImage::SetImageType(int layout, int linear, int bytes, int) {
    if (const int code = EnsureOpen()) YLM_THROW("ZynImage::SetImageType", code);
    if (layout < 0 || layout > 4 || (bytes != 1 && bytes != 2)) return;
    SetImageTypeToSDK(kTypes[layout][linear == 1 ? 1 : 0][bytes - 1]);
}

void ZynImage::SetImageTypeToSDK(uint32_t type) {
    VqSection section(*this);
    if (VqSetImageType(&info_, type) != 0) YLM_THROW("ZynImage::SetImageTypeToSDK", NbErrSetImageTypeFailed);
    Touch();
}

void ZynImage::SetPadByteCount(int bytes) {
    if (const int code = EnsureOpen()) YLM_THROW("ZynImage::SetPadByteCount", code);
    // The interface counts pad bytes in one byte: more would be cut short
    // and the rows would land in the wrong places.
    if (bytes < 0 || bytes > 255) YLM_THROW("ZynImage::SetPadByteCount", NbErrSetPadFailed);
    VqSection section(*this);
    if (VqSetImagePadBytes(&info_, uint8_t(bytes)) != 0) YLM_THROW("ZynImage::SetPadByteCount", NbErrSetPadFailed);
    Touch();
}

void ZynImage::SetPadBytesForPixelArray(PixelArray* array, const NbRect& rect) {
    if (!array) return;
    const int64_t used = int64_t(array->GetBytesPerSample()) * array->GetChannels() * rect.Width();
    const int64_t pad = int64_t(array->GetRowBytes()) - used;
    SetPadByteCount(pad < 0 || pad > 255 ? -1 : int(pad));
}

void ZynImage::SetOutputWindow(const NbRect& window) {
    const int64_t w = window.Width(), h = window.Height();
    if (w <= 1 && h <= 1) return;
    // The interface's window is four 16-bit numbers.
    auto fits = [](int64_t v) { return v >= INT16_MIN && v <= INT16_MAX; };
    if (!fits(window.left) || !fits(window.top) || !fits(w) || !fits(h))
        YLM_THROW("ZynImage::SetOutputWindow", NbErrCameraSettingRefused);
    const SdkRect rect{int16_t(window.left), int16_t(window.top), int16_t(w), int16_t(h)};
    VqSection section(*this);
    if (VqSetOutputWindow(&info_, &rect) != 0) YLM_THROW("ZynImage::SetOutputWindow", NbErrCameraSettingRefused);
}

void ZynImage::GetOutputWindow(NbRect& window) {
    SdkRect rect{0, 0, 0, 0};
    VqSection section(*this);
    if (VqGetOutputWindow(&info_, &rect) != 0) YLM_THROW("ZynImage::GetOutputWindow", NbErrCameraSettingRefused);
    window = NbRect(rect.x, rect.y, rect.x + rect.width - 1, rect.y + rect.height - 1);
}

void ZynImage::SetRotation(float degrees) {
    VqSection section(*this);
    if (VqSetRotateType(&info_, degrees) != 0) YLM_THROW(kSettingOp, NbErrCameraSettingRefused);
}

void ZynImage::SetSubSample(int factor) {
    VqSection section(*this);
    if (factor < INT16_MIN || factor > INT16_MAX || VqSetSubSample(&info_, int16_t(factor)) != 0)
        YLM_THROW(kSettingOp, NbErrCameraSettingRefused);
}

float ZynImage::CurrentRotation() {
    float rotation = 0.0f;
    VqSection section(*this);
    if (const uint32_t status = VqGetRotateType(&info_, &rotation)) YLM_THROW(kStripOp, int(status));
    return rotation;
}

void ZynImage::ExpandGrayToRGB(const VrelSharpenPlanes& layout) {
    if (layout.bitsPerSample != 16 || !layout.plane[0] || layout.rows <= 0 || layout.columns <= 0) return;
    const int64_t rows = layout.rows, columns = layout.columns;
    // Written from the last sample backwards: every pixel's three samples
    // lie at or after its one gray sample, so no gray sample is overwritten
    // before it is read.
    if (layout.pixelStride < 2 || layout.rowStride < columns * layout.pixelStride) return;
    auto* gray = static_cast<const uint8_t*>(layout.plane[0]);
    for (int64_t i = rows * columns - 1; i >= 0; --i) {
        uint16_t v;
        std::memcpy(&v, gray + i * 2, 2);
        const int64_t offset = (i / columns) * layout.rowStride + (i % columns) * layout.pixelStride;
        for (int k = 2; k >= 0; --k) {
            if (!layout.plane[k]) continue;
            std::memcpy(static_cast<uint8_t*>(layout.plane[k]) + offset, &v, 2);
        }
    }
}

// Rendering ---------------------------------------------------------------------------------

void ZynImage::RenderImage(const ImageProcessParam& params, PixelArray& destination, bool useCrop,
                           ProgressCB* progress, int renderScale) {
    StImageRenderingFlagRestorer rendering(this);
    StImageClosableFlagRestorer closable(this);
    if (const int code = EnsureOpen()) YLM_THROW("ZynImage::RenderImage", code);
    // A crop at a reduced scale is not a render this kind makes: the caller
    // hears of it rather than finding its array as it was.
    if (useCrop && renderScale != 1) YLM_THROW("ZynImage::RenderImage", NbErrNotSupported);
    StCriticalSectionLock renderTurn(renderLock_);
    // The callback is the render's: once it returns, its caller may let it go.
    struct RenderProgress {
        std::atomic<ProgressCB*>& held;
        ProgressCB* mine;
        RenderProgress(std::atomic<ProgressCB*>& h, ProgressCB* p) : held(h), mine(p) { held = p; }
        ~RenderProgress() { held.compare_exchange_strong(mine, nullptr); }
    } renderProgress(renderProgress_, progress);
    resolutionDivisor_ = renderScale;
    SetRotation(params.rotation);
    RenderImageInternal(params, destination, useCrop, progress, 0);
}

void ZynImage::GetImageRectangleFromCameraSDK(int, const ImageProcessParam& params, const FilterRect& strip,
                                              float angle, VrelSharpenPlanes& layout, int, int scale,
                                              ProgressCB* progress) {
    ImageBufferRecord buffer{layout.plane[0],
                             uint32_t(std::max<int64_t>(0, int64_t(layout.rows) * layout.columns * layout.pixelStride)),
                             0, &ZynImage::RowCallback};
    ProgressRecord progressRecord{&ZynImage::ProgressCallback, progress ? 1 : 0};
    NbRect window = FilterRectToNbRect(strip.top, strip.left, strip.bottom, strip.right);
    if (scale != 1) {
        // The core's strips of a reduced render count reduced pixels; the
        // interface's window counts the image's own.
        const int64_t w = window.Width(), h = window.Height();
        const int64_t left = int64_t(window.left) * scale, top = int64_t(window.top) * scale;
        window = NbRect(int32_t(left), int32_t(top), int32_t(left - 1 + w * scale), int32_t(top - 1 + h * scale));
    }
    StImageClosableFlagRestorer closable(this);
    if (const int code = EnsureOpen()) YLM_THROW(kStripOp, code);
    if (progress && !progress->Progress(0)) YLM_THROW(kStripOp, NbErrRenderCancelled);

    // One thread's strip from its first setting to its last.
    VqSection section(*this);
    NbRect keptWindow;
    GetOutputWindow(keptWindow);
    const float keptRotation = CurrentRotation();
    auto restore = [&] {
        SetRotation(keptRotation);
        SetOutputWindow(keptWindow);
        SetRotation(angle);
    };
    bool grayscale = false;
    uint32_t status = 0;
    ZynRenderProgressScope progressScope(progress);
    try {
        RenderStrip(params, window, scale, layout, buffer, progressRecord, grayscale, status);
    } catch (...) {
        try {
            restore();
            SetImageTypeToSDK(grayscale || !isColor_ ? VQ_TYPE_GRAY8 : VQ_TYPE_RGB8);
        } catch (...) {
            // The strip's failure is the one to report.
        }
        YLM_THROW(kStripOp, NbErrRenderFailed);
    }
    restore();
    SetImageTypeToSDK(grayscale || !isColor_ ? VQ_TYPE_GRAY8 : VQ_TYPE_RGB8);
    if (status == VQ_ERR_CANCELLED) YLM_THROW(kStripOp, NbErrRenderCancelled);
    if (status == VQ_ERR_NO_MEMORY || status == VQ_ERR_PROCESS_NO_MEMORY) YLM_THROW(kStripOp, NbErrAllocFailed);
    if (status != 0) YLM_THROW(kStripOp, NbErrRenderFailed);
}

void ZynImage::RenderStrip(const ImageProcessParam& params, const NbRect& window, int scale,
                           VrelSharpenPlanes& layout, ImageBufferRecord& buffer, ProgressRecord& progress,
                           bool& grayscale, uint32_t& status) {
    // Another thread may have sent its own parameters since the core sent
    // this strip's.
    if (!paramsSent_ || !(sentParams_ == params)) SendProcessParams(params);
    SetPadByteCount(0);
    int gray = 0;
    LookIndexForName(params.lookName, &gray);
    grayscale = gray != 0;
    SetImageType(isColor_ ? 1 : 0, params.colorMode, layout.bitsPerSample / 8, gray);
    // The core turns the pixels itself.
    SetRotation(0.0f);
    SetSubSample(scale);
    const NbRect sent = AlignedWindow(window, scale);
    if (sent == window) {
        SetOutputWindow(window);
        status = VqGetImage(&info_, &buffer, &progress);
    } else {
        // The interface takes windows of even origin and size and at least
        // eight pixels a side, the core's strips are any rows: the larger
        // window is rendered aside and the strip's pixels taken out of it.
        const int64_t pixelBytes = int64_t(isColor_ ? 3 : 1) * (layout.bitsPerSample / 8);
        const int64_t wantedColumns = window.Width() / scale, wantedRows = window.Height() / scale;
        const int64_t sentColumns = sent.Width() / scale, sentRows = sent.Height() / scale;
        const int64_t columnSkip = (int64_t(window.left) - sent.left) / scale;
        const int64_t rowSkip = (int64_t(window.top) - sent.top) / scale;
        const int64_t wantedRowBytes = wantedColumns * pixelBytes, sentRowBytes = sentColumns * pixelBytes;
        if (!buffer.buffer || int64_t(buffer.bufferBytes) < wantedRowBytes * wantedRows ||
            sentRowBytes * sentRows > int64_t(UINT32_MAX))
            YLM_THROW(kStripOp, NbErrRenderFailed);
        std::vector<uint8_t> aside(size_t(sentRowBytes * sentRows));
        ImageBufferRecord asideBuffer{aside.data(), uint32_t(aside.size()), 0, buffer.stripCallback};
        SetOutputWindow(sent);
        status = VqGetImage(&info_, &asideBuffer, &progress);
        if (status == 0) {
            auto* out = static_cast<uint8_t*>(buffer.buffer);
            for (int64_t r = 0; r < wantedRows; ++r)
                std::memcpy(out + r * wantedRowBytes,
                            aside.data() + (r + rowSkip) * sentRowBytes + columnSkip * pixelBytes,
                            size_t(wantedRowBytes));
        }
    }
    if (status == 0 && !isColor_) ExpandGrayToRGB(layout);
}

NbRect ZynImage::AlignedWindow(const NbRect& window, int scale) {
    if (scale < 1) return window;
    // Steps that keep the origin even and the strip's own pixels whole
    // pixels of the reduced render.
    const int64_t step = scale % 2 == 0 ? scale : 2 * int64_t(scale);
    const int64_t minimum = (8 + step - 1) / step * step;
    int64_t width = 0, height = 0;
    {
        StCriticalSectionLock guard(vqLock_);
        width = info_.geometry.activeWidth;
        height = info_.geometry.activeHeight;
    }
    auto align = [&](int64_t first, int64_t last, int64_t extent, int64_t& outFirst, int64_t& outLast) {
        int64_t begin = first - ((first % step) + step) % step;
        int64_t end = last + 1;
        end += (step - ((end - begin) % step)) % step;
        if (end - begin < minimum) end = begin + minimum;
        // Past the image's edge the window moves back inside it.
        if (end > extent) {
            const int64_t over = end - extent;
            const int64_t back = (over + step - 1) / step * step;
            begin -= back;
            end -= back;
        }
        if (begin < 0 || end > extent) return false;
        outFirst = begin;
        outLast = end - 1;
        return true;
    };
    int64_t left = 0, right = 0, top = 0, bottom = 0;
    if (!align(window.left, window.right, width, left, right) || !align(window.top, window.bottom, height, top, bottom))
        return window;
    return NbRect(int32_t(left), int32_t(top), int32_t(right), int32_t(bottom));
}

// Thumbnails ----------------------------------------------------------------------------------

void ZynImage::RenderThumbnail(const ImageProcessParam& params, PixelArray& destination) {
    StImageRenderingFlagRestorer rendering(this);
    StImageClosableFlagRestorer closable(this);
    if (const int code = EnsureOpen()) YLM_THROW(kThumbnailOp, code);
    // A thumbnail turned by anything but a quarter turn is not one the
    // interface makes: said before anything changes.
    if (!IsQuarterTurn(params.rotation)) YLM_THROW(kThumbnailOp, NbErrBadRotation);
    // A grey file has no colour output types.
    if (!isColor_ && destination.GetChannels() > 1) GrayThumbnailAsColour(params, destination);
    else ThumbnailThroughInterface(params, destination);
}

void ZynImage::GrayThumbnailAsColour(const ImageProcessParam& params, PixelArray& destination) {
    const NbRect native = GetNativeThumbnailRect();
    int64_t w = native.Width(), h = native.Height();
    if (params.rotation == 90.0f || params.rotation == 270.0f) std::swap(w, h);
    const int64_t bytes = destination.GetBytesPerSample();
    const int64_t channels = destination.GetChannels();
    const int64_t rowBytes = destination.GetRowBytes();
    BlockOMemoryLock pin(&destination);
    // The same refusal as the interface's road: nothing is written into a
    // destination that cannot take the whole thumbnail.
    if (w <= 0 || h <= 0 || (bytes != 1 && bytes != 2) || !destination.GetData() || rowBytes < w * channels * bytes ||
        int64_t(destination.GetSize()) < rowBytes * h)
        YLM_THROW(kThumbnailOp, NbErrThumbnailRenderFailed);

    RenderBuffer gray;
    gray.SetPixelType(PixelArray::Gray);
    gray.SetBytesPerSample(int32_t(bytes));
    gray.SetBounds(NbRect(0, 0, int32_t(w - 1), int32_t(h - 1)));
    gray.SetRowBytes(int32_t(w * bytes));
    gray.Create(uint64_t(w * h * bytes));
    BlockOMemoryLock pinGray(&gray);
    ThumbnailThroughInterface(params, gray);

    const auto* from = static_cast<const uint8_t*>(gray.GetData());
    auto* to = static_cast<uint8_t*>(destination.GetData());
    for (int64_t y = 0; y < h; ++y) {
        const uint8_t* in = from + y * w * bytes;
        uint8_t* out = to + y * rowBytes;
        for (int64_t x = 0; x < w; ++x)
            for (int64_t c = 0; c < channels; ++c)
                std::memcpy(out + (x * channels + c) * bytes, in + x * bytes, size_t(bytes));
    }
}

void ZynImage::ThumbnailThroughInterface(const ImageProcessParam& params, PixelArray& destination) {
    // One thread's thumbnail from its first setting to its last.
    VqSection section(*this);
    int gray = 0;
    LookIndexForName(params.lookName, &gray);
    const bool grayscale = gray != 0;
    auto resetType = [&] { SetImageTypeToSDK(grayscale || !isColor_ ? VQ_TYPE_GRAY8 : VQ_TYPE_RGB8); };
    try {
        SetImageType(destination.GetPixelType(), params.colorMode, destination.GetBytesPerSample(), gray);
        const NbRect native = GetNativeThumbnailRect();
        int32_t w = int32_t(native.Width()), h = int32_t(native.Height());
        if (params.rotation == 90.0f || params.rotation == 270.0f) std::swap(w, h);
        SetPadBytesForPixelArray(&destination, NbRect(0, 0, w - 1, h - 1));
        SetProcessParamsInImageExceptWindow(params);
        SetRotation(params.rotation);

        BlockOMemoryLock pin(&destination);
        const int64_t needed = info_.geometry.fullBytes;
        // A missing or smaller array is left as it is, and the caller hears
        // that it got no thumbnail.
        if (!destination.GetData() || needed <= 0 || int64_t(destination.GetSize()) < needed)
            YLM_THROW(kThumbnailOp, NbErrThumbnailRenderFailed);
        if (VqGetThumbnail(&info_, destination.GetData()) != 0) YLM_THROW(kThumbnailOp, NbErrThumbnailRenderFailed);
        ConvertThumbnail(params, destination);
        if (params.rotation != processParams_.rotation) SetRotation(processParams_.rotation);
        resetType();
        Touch();
    } catch (...) {
        try {
            resetType();
        } catch (...) {
            // The first failure is the one to report.
        }
        throw;
    }
}

// The raw data cache ---------------------------------------------------------------------

void ZynImage::LoadAndDecompressCache(ProgressCB* progress) {
    StImageClosableFlagRestorer closable(this);
    if (const int code = EnsureOpen()) YLM_THROW(kCacheOp, code);
    cacheChunks_ = 0;
    VqSection section(*this);
    const int64_t rawBytes = info_.geometry.cacheBytes;
    const int64_t decodedBytes = info_.geometry.reserved;
    if (rawBytes <= 0) YLM_THROW(kCacheOp, NbErrCacheLoadFailed);
    if (!rawCache_.IsAllocated() || int64_t(rawCache_.GetSize()) < rawBytes) {
        // The interface forgets the block it held before a new one is made.
        VqCleanupCache(&info_);
        cacheHandedOver_ = false;
        rawCache_.Free();
        rawCache_.Create(uint64_t(rawBytes));
    }
    // The reserve is given back on every way out: its room is the interface's.
    struct Reserve {
        BlockOMemory& block;
        BlockOMemoryLock pin;
        explicit Reserve(BlockOMemory& b) : block(b), pin(&b) {}
        ~Reserve() { block.Free(); }
    } reserve(decompressionReserve_);

    if (decodedBytes > 0) {
        const int64_t expected = std::max<int64_t>(1, (rawBytes + int64_t(kCacheChunkBytes) - 1) / int64_t(kCacheChunkBytes));
        int32_t done = 0;
        for (int32_t i = 0; done == 0; ++i) {
            const uint32_t status = VqLoadCache(&info_, rawCache_.GetData(), kCacheSteps, &done);
            cacheHandedOver_ = true;
            if (status == VQ_ERR_CANCELLED) YLM_THROW(kCacheOp, NbErrRenderCancelled);
            if (status != 0) YLM_THROW(kCacheOp, NbErrCacheLoadFailed);
            cacheChunks_ = i + 1;
            if (i != 0 && i % kProgressEveryChunks == 0 && progress) {
                // The share of the chunks the data needs, never 100 before
                // the last one is in.
                const int percent = int(std::min<int64_t>(99, int64_t(i + 1) * 100 / expected));
                if (!progress->Progress(percent)) YLM_THROW(kCacheOp, NbErrRenderCancelled);
            }
        }
        // The room the interface's decoding needs, taken from the pool (which
        // purges older blocks for it) and handed on.
        if (!decompressionReserve_.IsAllocated()) decompressionReserve_.Create(uint64_t(decodedBytes));
        decompressionReserve_.Free();
    }
    if (VqDecompressCache(&info_, nullptr) != 0) YLM_THROW(kCacheOp, NbErrCacheDecodeFailed);
}

void ZynImage::FreeCachedData() {
    StCriticalSectionLock guard(vqLock_);
    if (cacheHandedOver_ && info_.handle != 0) {
        VqSection section(*this);
        VqCleanupCache(&info_);
    }
    cacheHandedOver_ = false;
    rawCache_.Free();
    decompressionReserve_.Free();
}

} // namespace NimbalCore
