// Rendering of camera JPEG and RGB files: the window out of the decoded cache,
// strip by strip, and the stored RGB thumbnail.
#include "JpegFileEngine.h"

#include "EngineBlock.h"
#include "JpegFileStatus.h"
#include "OutputStage.h"
#include "RenderProgress.h"
#include "StripBufferSizes.h"
#include "StripPlan.h"
#include "VqOutputTypes.h"

namespace lumora {

using engine::Allocate;
using engine::Block;

namespace {

// ITU-R BT.601 luma of 8-bit values, raised by shift, in integers.
inline uint16_t Luma(uint32_t r, uint32_t g, uint32_t b, uint32_t shift) {
    return uint16_t(((299 * r + 587 * g + 114 * b) << shift) / 1000);
}

} // namespace

VqStatus JpegFileEngine::RenderImage(const ImageBufferRecord* buffer, const ProgressRecord* progress) {
    return RenderPixels(buffer, progress, 0, kKindCameraJpeg);
}

VqStatus JpegFileEngine::SampleWhiteBalance(const SdkRect*, uint16_t*, int32_t, const SensorGeometry*) {
    return VQ_ERR_JPEG_ENGINE_UNSUPPORTED;
}

void JpegFileEngine::UnpackToPlanes(uint16_t* a, uint16_t* b, uint16_t* c, const uint8_t* src, int32_t s, int32_t w,
                                    int32_t h, uint32_t shift, bool greySource, bool makeGrey) {
    if (s < 1 || w <= 0 || h <= 0) return;
    const int32_t columns = w / s, rows = h / s;
    const size_t pixelBytes = greySource ? 1 : 3;
    size_t k = 0;
    for (int32_t r = 0; r < rows; ++r) {
        const uint8_t* row = src + size_t(r) * size_t(s) * size_t(w) * pixelBytes;
        for (int32_t col = 0; col < columns; ++col, ++k) {
            const uint8_t* p = row + size_t(col) * size_t(s) * pixelBytes;
            if (greySource) {
                b[k] = uint16_t(uint32_t(p[0]) << shift);
            } else if (makeGrey) {
                b[k] = Luma(p[0], p[1], p[2], shift);
            } else {
                a[k] = uint16_t(uint32_t(p[0]) << shift);
                b[k] = uint16_t(uint32_t(p[1]) << shift);
                c[k] = uint16_t(uint32_t(p[2]) << shift);
            }
        }
    }
}

VqStatus JpegFileEngine::RenderPixels(const ImageBufferRecord* record, const ProgressRecord* progressRecord,
                                      uint32_t dataOffset, int32_t kind) {
    if (!record || !record->buffer) return VQ_ERR_NULL_OUTPUT;
    const uint32_t type = uint32_t(outputType_);
    const int32_t s = subsample_;
    int32_t bytesPerSample = 0, channels = 0;
    StripPlan plan{};
    Block<uint8_t> strip;
    Block<uint16_t> planes[3];
    uint32_t p = 3;
    bool grey = false, makeGrey = false;
    // Upright, whole and unpadded 8-bit output in the cache's own form is the
    // cache's rows themselves: they are copied straight into the caller's
    // buffer, without the planes.
    bool direct = false;

    auto setUp = [&]() -> VqStatus {
        if (VqStatus st = GetOutputFormat(type, &bytesPerSample, &channels)) return st;
        if (s < 1 || s > 32) return VQ_ERR_BAD_SUBSAMPLE;
        if (s > 1 && s % 2) return VQ_ERR_ODD_SUBSAMPLE;
        const bool greyType = type == VQ_TYPE_GRAY8;
        if (kind == kKindCameraJpeg && (!isColor_ || greyType)) p = 1, grey = true;
        else if (kind == kKindRgbTiff && isColor_ && greyType) makeGrey = true;
        if (VqStatus st = ConfigureOutput(record->bufferBytes, outputWindow_.x, outputWindow_.y, outputWindow_.width,
                                          outputWindow_.height, &plan, rotation_, padBytes_, type))
            return st;
        plan.rowMargin = plan.colMargin = 0;
        if (plan.stripWidth > INT16_MAX) return VQ_ERR_STRIP_TOO_SMALL;
        StripBufferSizes sizes{};
        if (VqStatus st = GetStripBufferSizes(&sizes, int16_t(plan.stripWidth), uint32_t(plan.stripSize), int16_t(s),
                                              int32_t(p)))
            return st;
        // The cache may have been made for fewer bytes per pixel (a grey
        // decode before): it is made again rather than written past.
        if (Cache() && CacheBytes() < RequiredCacheBytes(p)) FreeCache();
        int32_t done = 0;
        if (VqStatus st = LoadCache(nullptr, 0, &done, p)) return st;
        if (VqStatus st = DecodeCache(nullptr, 1, 1, 0)) return st;
        direct = rotation_ == 0.0f && s == 1 && padBytes_ == 0 && !makeGrey &&
                 ((type == VQ_TYPE_RGB8 && p == 3) || (type == VQ_TYPE_GRAY8 && grey));
        if (direct) return VQ_OK;
        strip = Allocate<uint8_t>(sizes.windowBytes);
        for (Block<uint16_t>& plane : planes) plane = Allocate<uint16_t>(sizes.firstPlaneBytes / 2 + 1);
        if (!strip || !planes[0] || !planes[1] || !planes[2]) return VQ_ERR_PROCESS_NO_MEMORY;
        return VQ_OK;
    };
    VqStatus status = setUp();

    const bool single = plan.stripCount == 1;
    RenderProgress progress;
    int32_t goOn = 1;
    if (progressRecord) {
        progress.Init(progressRecord->userValue, progressRecord->callback,
                      single || plan.stripCount <= 0 ? 2u : uint32_t(plan.stripCount), 0, 100);
        goOn = progress.Start();
    }

    uint8_t* out = static_cast<uint8_t*>(record->buffer);
    OutputStage output;
    for (int32_t i = 0; status == VQ_OK && goOn && i < plan.stripCount; ++i) {
        SdkRect rect;
        if ((status = SourceRectForRotation(i, plan, outputWindow_.x, outputWindow_.y, outputWindow_.width,
                                            outputWindow_.height, &rect, rotation_, nullptr)))
            break;
        if ((status = CopyWindow(rect.x, rect.y, rect.width, rect.height, direct ? out : strip.get(), p, p,
                                 dataOffset, nullptr)))
            break;
        if (progressRecord) goOn = progress.Step(0);
        if (!goOn) break;
        const int32_t columns = rect.width / s, rows = rect.height / s;
        uint32_t padTotal = 0;
        if (!direct) {
            UnpackToPlanes(planes[0].get(), planes[1].get(), planes[2].get(), strip.get(), s, rect.width, rect.height,
                           8, grey, makeGrey);
            if ((status = output.Init(type, rotation_, 0, 0, padBytes_, columns, rows, bytesPerSample, channels)))
                break;
            // One-channel types pack their first plane: the grey is in b.
            const uint16_t* first = channels == 1 ? planes[1].get() : planes[0].get();
            const uint16_t* third = channels == 1 ? planes[1].get() : planes[2].get();
            if ((status = output.Pack(first, planes[1].get(), third, nullptr, out))) break;
            padTotal = output.PadTotal();
        }
        if (single && progressRecord) goOn = progress.Step(0);
        if (!goOn) break;
        const uint64_t stripBytes =
            uint64_t(padTotal) + uint64_t(columns) * uint64_t(rows) * uint64_t(channels) * uint64_t(bytesPerSample);
        status = PassStripOn(record, out, stripBytes);
    }
    if (status == VQ_OK && !goOn) status = VQ_ERR_CANCELLED;
    return MapFileStatusForJpeg(status);
}

VqStatus JpegFileEngine::RenderThumbnail(void* buffer) {
    if (!thumbnailData_) return VQ_ERR_BAD_HANDLE;
    if (!buffer) return VQ_ERR_NULL_OUTPUT;
    auto render = [&]() -> VqStatus {
        const uint32_t type = uint32_t(outputType_);
        int32_t bytesPerSample = 0, channels = 0;
        if (VqStatus st = GetOutputFormat(type, &bytesPerSample, &channels)) return st;
        const int32_t width = thumbnailInfo_[6], height = thumbnailInfo_[7];
        if (width < 0 || height < 0) return VQ_ERR_BAD_FILE;
        const uint64_t n = uint64_t(width) * uint64_t(height);
        if (n == 0) return VQ_ERR_JPEG_THUMB_EMPTY;
        // The stored bytes must hold every pixel the size names, and callers size
        // the destination from the whole image.
        if (thumbnailInfo_[3] < 0 || uint64_t(thumbnailInfo_[3]) < 3 * n) return VQ_ERR_BAD_FILE;
        if (width > rawWidth_ || height > rawHeight_ || width > 0xFFFF || height > 0xFFFF) return VQ_ERR_BAD_FILE;
        Block<uint16_t> planes[3] = {Allocate<uint16_t>(n), Allocate<uint16_t>(n), Allocate<uint16_t>(n)};
        if (!planes[0] || !planes[1] || !planes[2]) return VQ_ERR_PROCESS_NO_MEMORY;
        const uint8_t* t = thumbnailData_;
        for (uint64_t i = 0; i < n; ++i, t += 3) {
            if (type == VQ_TYPE_GRAY8) {
                planes[1][i] = Luma(t[0], t[1], t[2], 8);
            } else {
                planes[0][i] = uint16_t(t[0] << 8);
                planes[1][i] = uint16_t(t[1] << 8);
                planes[2][i] = uint16_t(t[2] << 8);
            }
        }
        OutputStage output;
        if (VqStatus st = output.Init(type, rotation_, 0, 0, padBytes_, width, height, bytesPerSample, channels))
            return st;
        uint8_t* out = static_cast<uint8_t*>(buffer);
        return isColor_ && channels != 1
                   ? output.Pack(planes[0].get(), planes[1].get(), planes[2].get(), nullptr, out)
                   : output.Pack(planes[1].get(), planes[1].get(), planes[1].get(), nullptr, out);
    };
    return MapFileStatusForJpeg(render());
}

} // namespace lumora
