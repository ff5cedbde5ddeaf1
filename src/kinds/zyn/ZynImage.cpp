// ZynImage: the object, opening and closing the file, and what the first
// opening reads.
#include "ZynImage.h"

#include "CameraSettingsStrings.h"
#include "LocalTime.h"
#include "NbErrorCodes.h"
#include "StBlockOMemoryPoolExceptionDisabler.h"
#include "StCriticalSectionLock.h"
#include "YlmErrp.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>

namespace NimbalCore {

namespace {

// The camera interface's answer for a file another program holds.
constexpr uint32_t kFileInUse = 32;
// Extensions this kind reads at the first opening.
constexpr uint32_t kExtImageType = 0;
constexpr uint32_t kExtTag = 3;
constexpr uint32_t kExtSettingsLength = 17;
constexpr uint32_t kExtSettingsText = 18;
// Model ids that open only when forced, as the oldest family does.
constexpr int32_t kForcedModelA = 12;
constexpr int32_t kForcedModelB = 15;

// An extension's value: five words, room for a record with a pointer.
union ExtensionValue {
    uint32_t words[6];
    int32_t ints[6];
    void* address;
    VqIptcRecord iptc;
};

std::string TextOf(const char* text, size_t length) {
    if (!text) return std::string();
    return std::string(text, strnlen(text, length));
}

} // namespace

ZynImage::ZynImage(const FilePathSpec& path) : Image(path) {
    fileType_ = 0;
    sourceBitDepth_ = 16;
    const int32_t presets[4][3] = {{0, 10, 3}, {5, 10, 3}, {10, 10, 3}, {15, 10, 5}};
    std::memcpy(sharpenPresets_, presets, sizeof presets);
    // The sharpen library gets source rectangles on even coordinates.
    evenAlignedSharpening_ = true;
    iptcChanged_ = false;
    cameraMake_ = "Orvex";
}

ZynImage::~ZynImage() {
    try {
        if (open_ || info_.handle != 0) ZynImage::Close();
    } catch (...) {
        // Nothing more to give back.
    }
}

int ZynImage::Open(bool force) {
    if (IsOpenDisabled()) YLM_THROW("ZynImage::Open", NbErrImageOpenFailed);
    {
        StCriticalSectionLock guard(vqLock_);
        StBlockOMemoryPoolExceptionDisabler quiet;
        std::memset(&info_, 0, sizeof info_);
        const uint32_t status = VqOpenImageFile(path_.GetPath().c_str(), &info_);
        if (status != 0) {
            std::memset(&info_, 0, sizeof info_);
            return status == kFileInUse ? NbErrImageFileInUse : NbErrImageFileOpenFailed;
        }
        if ((info_.modelFamily == 0 || info_.modelId == kForcedModelA || info_.modelId == kForcedModelB) && !force) {
            VqCloseImage(&info_);
            std::memset(&info_, 0, sizeof info_);
            return NbErrImageFileOpenFailed;
        }
    }
    Image::Open();
    if (!informationLoaded_) LoadInformation();
    RemoveFileTypeLines(cameraSettingsBlock_);
    RemoveDimensionLines(cameraSettingsBlock_);
    return 0;
}

void ZynImage::LoadInformation() {
    capabilityFlags_ = info_.flags;
    fileKind_ = info_.fileKind;
    isColor_ = info_.isColour != 0;

    soundKey_ = TextOf(info_.cameraText, info_.cameraTextLength);
    serialNumber_ = TextOf(info_.model2, info_.model2Length);
    if (info_.extraDataLength > 1)
        gpsText_ = TextOf(static_cast<const char*>(info_.extraData), info_.extraDataLength);

    SetCameraSettings();

    {
        StCriticalSectionLock guard(vqLock_);
        StBlockOMemoryPoolExceptionDisabler quiet;
        ExtensionValue value{};
        if (VqGetExtension(&info_, kExtImageType, &value) == 0) imageTypeCode_ = value.ints[0];
        ProbeLighting(5, &autoLighting_);
        ProbeLighting(4, &customLighting_);
        value = ExtensionValue{};
        if (VqGetExtension(&info_, VQ_EXT_LOOK_COUNT, &value) == 0) lookCount_ = value.ints[0];
    }

    ReadProcessParamsFromFile();
    fileCrop_ = processParams_.crop;

    if (info_.modelFamily != 0) {
        StCriticalSectionLock guard(vqLock_);
        ExtensionValue value{};
        if (VqGetExtension(&info_, kExtTag, &value) != 0) YLM_THROW("ZynImage::Open", NbErrCameraSettingsFailed);
        tagged_ = value.ints[0] != 0;
    } else {
        tagged_ = false;
    }

    {
        StCriticalSectionLock guard(vqLock_);
        ExtensionValue value{};
        if (VqGetExtension(&info_, VQ_EXT_IPTC, &value) != 0) YLM_THROW("ZynImage::Open", NbErrCameraSettingsFailed);
        const VqIptcRecord& iptc = value.iptc;
        // A block the record refuses leaves the image without one.
        if (iptc.length == 0 || !iptc.data || iptc.length > 0xFFFF ||
            !iptcRecord_.SetFromBuffer(static_cast<const uint8_t*>(iptc.data), uint16_t(iptc.length)))
            iptcRecord_.Reset();
        iptcChanged_ = false;
    }

    const uint32_t capacity = info_.descriptionLength;
    annotation_.reset(new (std::nothrow) char[size_t(capacity) + 1]);
    if (!annotation_) YLM_THROW("ZynImage::Open", NbErrAllocFailed);
    std::memset(annotation_.get(), 0, size_t(capacity) + 1);
    if (info_.description) std::memcpy(annotation_.get(), info_.description, capacity);
    annotationCapacity_ = int32_t(capacity);
    informationLoaded_ = true;

    ReadCaptureDate();
}

void ZynImage::ProbeLighting(int32_t preset, int32_t* lighting) {
    ExtensionValue balance{}, exposure{}, chosen{};
    // Without the state to put back, the probe would change the image.
    if (VqGetExtension(&info_, VQ_EXT_WHITE_BALANCE, &balance) != 0) return;
    if (VqGetExtension(&info_, VQ_EXT_EXPOSURE, &exposure) != 0) return;
    const uint32_t* w = balance.words;
    const bool set = VqSetExtension(&info_, VQ_EXT_WHITE_BALANCE, reinterpret_cast<void*>(uintptr_t(1)),
                                    uint32_t(preset), 0, 0, 0) == 0;
    if (!set) return;
    const bool read = VqGetExtension(&info_, VQ_EXT_BALANCE_PRESET, &chosen) == 0;
    VqSetExtension(&info_, VQ_EXT_WHITE_BALANCE, reinterpret_cast<void*>(uintptr_t(w[0] != 0)), w[1], w[2] != 0,
                   w[3], w[4] & 0xFFFFu);
    const uint32_t* e = exposure.words;
    const bool restored =
        VqSetExtension(&info_, VQ_EXT_EXPOSURE, reinterpret_cast<void*>(uintptr_t(e[0])), e[1], e[2], e[3], e[4]) == 0;
    if (read && restored) *lighting = chosen.ints[0];
}

void ZynImage::ReadCaptureDate() {
    // Seconds, minutes, hours, day, month from 0, years since 1900,
    // weekday, day of the year, summer-time flag.
    std::tm tm{};
    tm.tm_sec = info_.date[0];
    tm.tm_min = info_.date[1];
    tm.tm_hour = info_.date[2];
    tm.tm_mday = info_.date[3];
    tm.tm_mon = info_.date[4];
    tm.tm_year = info_.date[5];
    tm.tm_wday = info_.date[6];
    tm.tm_yday = info_.date[7];
    tm.tm_isdst = info_.date[8];
    const time_t t = lumora::LocalTime::toTime(tm);
    std::tm normal{};
    if (t == time_t(-1) || !lumora::LocalTime::fromTime(t, normal)) return;
    captureTime_ = t;
    char text[64];
    std::snprintf(text, sizeof text, "%04d:%02d:%02d:%02d:%02d:%02d", normal.tm_year + 1900, normal.tm_mon + 1,
                  normal.tm_mday, normal.tm_hour, normal.tm_min, normal.tm_sec);
    dateTimeString_ = text;
    dateTimeRead_ = true;
}

void ZynImage::SetCameraSettings() {
    if (const int code = EnsureOpen()) YLM_THROW("ZynImage::SetCameraSettings", code);
    const CameraSettingsStrings labels;
    if (fileKind_ == VQ_FILE_CAMERA_JPEG) infoTextHead_ = labels.GetString(CameraSettingsStrings::JpegFile) + "\n";
    else if (fileKind_ == VQ_FILE_RGB_TIFF) infoTextHead_ = labels.GetString(CameraSettingsStrings::FinishedFile) + "\n";
    fileType_ = fileKind_ == VQ_FILE_CAMERA_JPEG ? 2 : fileKind_ == VQ_FILE_RGB_TIFF ? 1 : 0;
    cameraModel_ = TextOf(info_.model, info_.modelLength);
    firmwareVersion_ = TextOf(info_.software, info_.softwareLength);
    imageNumber_ = info_.imageIndex;

    StCriticalSectionLock guard(vqLock_);
    StBlockOMemoryPoolExceptionDisabler quiet;
    ExtensionValue length{};
    const bool haveLength = VqGetExtension(&info_, kExtSettingsLength, &length) == 0;
    // The oldest models have no settings text.
    if (info_.modelFamily == 0) return;
    if (!haveLength || length.ints[0] < 0) YLM_THROW("ZynImage::SetCameraSettings", NbErrCameraSettingsFailed);
    std::unique_ptr<char[]> text(new (std::nothrow) char[size_t(length.ints[0]) + 1]);
    if (!text) return;
    std::memset(text.get(), 0, size_t(length.ints[0]) + 1);
    ExtensionValue where{};
    where.address = text.get();
    if (VqGetExtension(&info_, kExtSettingsText, &where) != 0)
        YLM_THROW("ZynImage::SetCameraSettings", NbErrCameraSettingsFailed);
    cameraSettingsBlock_ += std::string(text.get(), strnlen(text.get(), size_t(length.ints[0])));
}

void ZynImage::Close() {
    {
        StCriticalSectionLock guard(vqLock_);
        if (info_.handle != 0) {
            // The interface empties the record; the sizes stay known.
            const ImageGeometry geometry = info_.geometry;
            StBlockOMemoryPoolExceptionDisabler quiet;
            VqCloseImage(&info_);
            info_.geometry = geometry;
            info_.handle = 0;
        }
    }
    if (open_) Image::Close();
}

NbRect ZynImage::GetImageRect() {
    const ImageGeometry& g = info_.geometry;
    return NbRect(0, 0, g.activeWidth - 1, g.activeHeight - 1);
}

NbRect ZynImage::GetNativeImageRect() {
    const ImageGeometry& g = info_.geometry;
    const int32_t w = std::max(g.activeWidth, g.activeHeight), h = std::min(g.activeWidth, g.activeHeight);
    return NbRect(0, 0, w - 1, h - 1);
}

NbRect ZynImage::GetThumbnailRect() {
    const ImageGeometry& g = info_.geometry;
    return NbRect(0, 0, g.fullWidth - 1, g.fullHeight - 1);
}

NbRect ZynImage::GetNativeThumbnailRect() {
    const ImageGeometry& g = info_.geometry;
    const int32_t w = std::max(g.fullWidth, g.fullHeight), h = std::min(g.fullWidth, g.fullHeight);
    return NbRect(0, 0, w - 1, h - 1);
}

bool ZynImage::IsSoundOfImage(const FilePathSpec& sound) {
    if (soundKey_.size() < 8) return false;
    if (!sound.GetFolder().IsSameFile(path_.GetFolder())) return false;
    const std::string name = sound.GetFileName();
    if (name.size() < 8) return false;
    auto same = [&](size_t i) {
        return std::tolower(static_cast<unsigned char>(name[i])) ==
               std::tolower(static_cast<unsigned char>(soundKey_[i]));
    };
    return same(1) && same(2) && same(4) && same(5) && same(6) && same(7);
}

bool ZynImage::AddSound(const FilePathSpec& sound) {
    if (!IsSoundOfImage(sound)) return false;
    Image::AddSound(sound);
    return true;
}

bool ZynImage::RemoveSound(const FilePathSpec& sound) {
    if (!IsSoundOfImage(sound)) return false;
    Image::RemoveSound(sound);
    return true;
}

std::string ZynImage::GetAnnotationField() const {
    if (!annotation_) return std::string();
    return std::string(annotation_.get(), size_t(annotationCapacity_));
}

ImageProcessParam ZynImage::GetAtCaptureParams() { throw int(NbErrNotImplemented); }
ImageProcessParam ZynImage::GetAutoParams() { throw int(NbErrNotImplemented); }
ImageProcessParam ZynImage::GetCustomParams() { throw int(NbErrNotImplemented); }
void ZynImage::RenderImage(const ImageProcessParam&, PixelArray&, bool, ProgressCB*, int) {
    throw int(NbErrNotImplemented);
}
void ZynImage::RenderThumbnail(const ImageProcessParam&, PixelArray&) { throw int(NbErrNotImplemented); }
Image::ValidationCodes ZynImage::MapRectBetweenRotations(const NbRect&, float, NbRect*, float) {
    throw int(NbErrNotImplemented);
}
Image::ValidationCodes ZynImage::ValidateProcessParams(const ImageProcessParam&) { throw int(NbErrNotImplemented); }
void ZynImage::GetProcessParamsFromSDK() { throw int(NbErrNotImplemented); }
bool ZynImage::GetJPEGQuantizationTables(bool, int, int, int*, int*) { throw int(NbErrNotImplemented); }
bool ZynImage::GetCameraJPEGQuantizationTables(bool, int, int, int*, int*) { throw int(NbErrNotImplemented); }

} // namespace NimbalCore
