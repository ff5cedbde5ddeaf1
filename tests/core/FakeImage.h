#pragma once
// An image kind for the core's tests: its pixels live in memory, it counts
// the calls the core makes of it, and its opening time comes from a clock the
// test sets. Rotation maps rectangles by quarter turns of its native bounds.
#include "Image.h"
#include "ImageRef.h"
#include "NbErrorCodes.h"
#include "YlmErrp.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>
#include "ProgressCB.h"
#include <string>

namespace coretest {

using namespace NimbalCore;

class FakeImage : public Image {
public:
    // The opening time of the next Open; 0 leaves the real time.
    static inline std::atomic<time_t> clock{0};
    static inline std::atomic<int> deleted{0};

    FakeImage(const std::string& path, int32_t width = 3000, int32_t height = 2000) : Image(FilePathSpec(path)) {
        imageRect_ = NbRect(0, 0, width - 1, height - 1);
        thumbnailRect_ = NbRect(0, 0, 159, 106);
    }
    ~FakeImage() override { ++deleted; }

    int Open() override {
        ++opens;
        Image::Open();
        if (const time_t t = clock.load()) openTime_ = t;
        return 0;
    }
    void Close() override {
        ++closes;
        Image::Close();
    }
    int EnsureOpen() override {
        ++ensureOpens;
        if (ensureOpenResult) return ensureOpenResult;
        return Image::EnsureOpen();
    }

    // Pixels: native 16-bit RGB, interleaved, row after row.
    void FillPattern() {
        const int64_t w = imageRect_.Width(), h = imageRect_.Height();
        pixels.resize(size_t(w * h * 3));
        for (int64_t y = 0; y < h; ++y)
            for (int64_t x = 0; x < w; ++x) {
                uint16_t* p = &pixels[size_t((y * w + x) * 3)];
                p[0] = uint16_t(x * 257 + y * 3);
                p[1] = uint16_t(y * 263 + x * 5);
                p[2] = uint16_t((x ^ y) * 131 + 7);
            }
    }
    const uint16_t* Pixel(int64_t x, int64_t y) const {
        return &pixels[size_t((y * imageRect_.Width() + x) * 3)];
    }
    void GetImageRectangleFromCameraSDK(int renderKind, const ImageProcessParam&, const FilterRect& rect, float,
                                        VrelSharpenPlanes& layout, int, int, ProgressCB* progress) override {
        ++sdkCalls;
        sdkRects.push_back(rect);
        sdkKinds.push_back(renderKind);
        if (progress && !progress->Progress(0)) YLM_THROW("FakeImage::Data", NbErrRenderCancelled);
        for (int32_t r = 0; r < layout.rows; ++r)
            for (int32_t c = 0; c < layout.columns; ++c) {
                const uint16_t* src = Pixel(rect.left + c, rect.top + r);
                for (int k = 0; k < 3; ++k) {
                    auto* d = static_cast<uint8_t*>(layout.plane[k]) + int64_t(r) * layout.rowStride +
                              int64_t(c) * layout.pixelStride;
                    std::memcpy(d, &src[k], 2);
                }
            }
        if (progress && !progress->Progress(100)) YLM_THROW("FakeImage::Data", NbErrRenderCancelled);
    }
    void SetParmsInImageForLinearRendering(ImageProcessParam&) override {}
    void EndRender() override { ++endRenders; }
    void RenderKind(const ImageProcessParam& params, PixelArray& destination, bool useCrop, ProgressCB* progress,
                    int kind) {
        RenderImageInternal(params, destination, useCrop, progress, kind);
    }

    ImageProcessParam GetAtCaptureParams() override { return ImageProcessParam(); }
    ImageProcessParam GetAutoParams() override { return ImageProcessParam(); }
    ImageProcessParam GetCustomParams() override { return ImageProcessParam(); }
    time_t GetCaptureTime() override { return captureTime_; }
    void RenderImage(const ImageProcessParam& params, PixelArray& destination, bool useCrop, ProgressCB* progress,
                     int renderScale) override {
        ++renders;
        resolutionDivisor_ = renderScale;
        lastUseCrop = useCrop;
        lastRenderParams = params;
        if (!pixels.empty()) RenderImageInternal(params, destination, useCrop, progress, 0);
    }
    void RenderThumbnail(const ImageProcessParam& params, PixelArray& destination) override {
        ++thumbnailRenders;
        if (!pixels.empty()) RenderImageInternal(params, destination, false, nullptr, 2);
    }
    bool ComputeExposureTableFromLevels(float, float, float, int entries, uint16_t* table) override {
        if (exposureTable.empty()) return false;
        for (int i = 0; i < entries; ++i) table[i] = exposureTable[size_t(i) % exposureTable.size()];
        return true;
    }
    NbRect GetNativeImageRect() override { return imageRect_; }
    NbRect GetNativeThumbnailRect() override { return thumbnailRect_; }
    NbRect GetImageRect() override {
        const float r = processParams_.rotation;
        if (r == 90.0f || r == 270.0f)
            return NbRect(0, 0, int32_t(imageRect_.Height() - 1), int32_t(imageRect_.Width() - 1));
        return imageRect_;
    }

    // The source rectangle lies in the image turned by toAngle and is
    // turned clockwise by fromAngle: (native, r, 0) gives the view's crop,
    // (view's, 360 - r, r) the native one. Other than quarter turns are
    // refused.
    ValidationCodes MapRectBetweenRotations(const NbRect& source, float fromAngle, NbRect* out,
                                            float toAngle) override {
        ++maps;
        if (refuseMaps) return ImageProcessParam::RotationNotQuarter;
        const float turn = std::fmod(fromAngle + 720.0f, 360.0f);
        if (std::fmod(turn, 90.0f) != 0.0f || std::fmod(toAngle, 90.0f) != 0.0f)
            return ImageProcessParam::RotationNotQuarter;
        int32_t w = int32_t(imageRect_.Width()), h = int32_t(imageRect_.Height());
        if (std::fmod(toAngle + 360.0f, 180.0f) != 0.0f) std::swap(w, h);
        NbRect r = source;
        for (int q = int(turn / 90.0f); q > 0; --q) {
            r = NbRect(h - 1 - r.bottom, r.left, h - 1 - r.top, r.right);
            std::swap(w, h);
        }
        *out = r;
        return ImageProcessParam::Valid;
    }
    ValidationCodes ValidateProcessParams(const ImageProcessParam& params) override {
        ++validations;
        if (refuseOddCrop && ((params.crop.left & 1) || (params.crop.top & 1)))
            YLM_THROW("FakeImage::ValidateProcessParams", NbErrInvalidValue);
        return ImageProcessParam::Valid;
    }
    void GetProcessParamsFromSDK() override {
        ++sdkReads;
        if (sdkFailure) throw int(sdkFailure);
        processParams_ = sdkParams;
    }
    void FreeCachedData() override { ++frees; }
    bool GetJPEGQuantizationTables(bool, int, int, int*, int*) override { return false; }
    bool HasThumbnail() override { return true; }
    bool GetCameraJPEGQuantizationTables(bool, int, int, int*, int*) override { return false; }
    std::vector<int> GetSupportedColorModes() override { return colorModes; }
    std::string GetAnnotation() override { return annotationText; }
    void SetAnnotation(const std::string& text) override { annotationText = text; }
    // Each rename takes the next scripted code (0 or none: it succeeds) and
    // renames the file, or only changes the path with renameInMemory.
    void Rename(const FilePathSpec& newPath) override {
        renamedTo.push_back(newPath.GetPath());
        if (!renameCodes.empty()) {
            const int code = renameCodes.front();
            renameCodes.erase(renameCodes.begin());
            if (code) YLM_THROW("FakeImage::Rename", code);
        }
        if (!renameInMemory) return Image::Rename(newPath);
        previousPath_ = path_;
        path_ = FilePathSpec(newPath.GetPath());
    }

    // What the tests set and read.
    using Image::dateTimeString_;
    using Image::cameraModel_;
    using Image::cameraMake_;
    using Image::gpsText_;
    using Image::serialNumber_;
    using Image::imageNumber_;
    using Image::infoTextHead_;
    using Image::cameraSettingsBlock_;
    using Image::copyright_;
    using Image::captureTime_;
    using Image::isColor_;
    using Image::levelsLimits_;
    using Image::levelsMinimumGap_;
    using Image::sourceBitDepth_;
    using Image::imageRect_;
    using Image::openTime_;
    using Image::previewRect_;
    using Image::levelsOption_;
    using Image::thumbnailRect_;
    using Image::stripRows_;
    using Image::resolutionDivisor_;

    std::vector<uint16_t> pixels;
    std::vector<uint16_t> exposureTable;
    std::vector<FilterRect> sdkRects;
    std::vector<int> sdkKinds;
    int sdkCalls = 0, endRenders = 0, ensureOpenResult = 0;
    int opens = 0, closes = 0, ensureOpens = 0, renders = 0, thumbnailRenders = 0, maps = 0, validations = 0,
        sdkReads = 0, frees = 0;
    bool refuseMaps = false;
    bool refuseOddCrop = false;
    int sdkFailure = 0;
    bool lastUseCrop = false;
    ImageProcessParam sdkParams;
    ImageProcessParam lastRenderParams;
    std::vector<int> colorModes;
    std::string annotationText;
    std::vector<int> renameCodes;
    std::vector<std::string> renamedTo;
    bool renameInMemory = false;
};

} // namespace coretest
