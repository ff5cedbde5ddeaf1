// ZynImage: the object, opening and closing the file, what the first
// opening reads, and the answers about the image that come from it.
#include "ZynImage.h"

#include "CameraSettingsStrings.h"
#include "LocalTime.h"
#include "NbErrorCodes.h"
#include "YlmErrp.h"
#include "ZynImageLocks.h"
#include "ZynVqIds.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>

namespace NimbalCore {

namespace {

// The camera interface's answer for a file another program holds.
constexpr uint32_t kFileInUse = 32;
// Model ids that open only when forced, as the oldest family does.
constexpr int32_t kForcedModelA = 12;
constexpr int32_t kForcedModelB = 15;
// The widest native image that offers no quarter-size rendering.
constexpr int32_t kQuarterSizeMinimumWidth = 2800;
// Where the annotation's search for its leading zero ends, before the
// field's end.
constexpr int32_t kAnnotationSearchMargin = 5;

std::string TextOf(const char* text, size_t length) {
    if (!text) return std::string();
    return std::string(text, strnlen(text, length));
}

} // namespace

// The section --------------------------------------------------------------------

ZynImage::VqSection::VqSection(ZynImage& image)
    : lock_(image.vqLock_), quiet_(), cachePin_(&image.rawCache_) {
    ZynImageLocks::EnterCalls();
    // The pool may have purged the cache while it was not pinned: the
    // interface must not read it again.
    if (image.cacheHandedOver_ && !image.rawCache_.IsAllocated()) {
        VqCleanupCache(&image.info_);
        image.cacheHandedOver_ = false;
    }
}

ZynImage::VqSection::~VqSection() { ZynImageLocks::LeaveCalls(); }

// The object -----------------------------------------------------------------------

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
        FreeCachedData();
    } catch (...) {
        // Nothing more to give back.
    }
}

bool ZynImage::Has(const std::vector<int>& values, int value) const {
    return std::find(values.begin(), values.end(), value) != values.end();
}

// Opening and closing -----------------------------------------------------------

int ZynImage::Open(bool force) {
    if (IsOpenDisabled()) YLM_THROW("ZynImage::Open", NbErrImageOpenFailed);
    {
        StCriticalSectionLock guard(vqLock_);
        // An image that is open already keeps its handle: a second one would
        // hold the file for good.
        if (info_.handle != 0 && open_) {
            Touch();
            return 0;
        }
        StBlockOMemoryPoolExceptionDisabler quiet;
        ZynImageLocks::TableChange change;
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
        // A fresh handle knows none of the settings sent to the last one.
        paramsSent_ = false;
        cacheHandedOver_ = false;
    }
    Image::Open();
    if (!informationLoaded_) LoadInformation();
    RemoveFileTypeLines(cameraSettingsBlock_);
    RemoveDimensionLines(cameraSettingsBlock_);
    return 0;
}

int ZynImage::EnsureOpen() {
    StCriticalSectionLock guard(openLock_);
    return Image::EnsureOpen();
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
        VqSection section(*this);
        uint32_t status = 0;
        const int32_t typeCode = ReadExtensionWord(ZynExtImageTypeCode, &status);
        if (status == 0) imageTypeCode_ = typeCode;
        ProbeLighting(5, &autoLighting_);
        ProbeLighting(4, &customLighting_);
        const int32_t looks = ReadExtensionWord(ZynExtLookCount, &status);
        if (status == 0) lookCount_ = looks;
    }

    ReadProcessParamsFromFile();
    fileCrop_ = processParams_.crop;

    if (info_.modelFamily != 0) {
        VqSection section(*this);
        uint32_t status = 0;
        const int32_t tag = ReadExtensionWord(ZynExtTag, &status);
        // A file the camera wrote without its tag flag is an untagged image
        // (it has no place to store a tag); any other failure is the file's.
        tagFlagAbsent_ = status == VQ_ERR_VALUE_ABSENT;
        if (status != 0 && !tagFlagAbsent_) YLM_THROW("ZynImage::Open", NbErrCameraSettingsFailed);
        tagged_ = !tagFlagAbsent_ && tag != 0;
    } else {
        tagged_ = false;
    }

    {
        VqSection section(*this);
        union {
            uint32_t words[6];
            VqIptcRecord iptc;
        } value{};
        if (VqGetExtension(&info_, ZynExtIptc, &value) != 0) YLM_THROW("ZynImage::Open", NbErrCameraSettingsFailed);
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

int32_t ZynImage::ReadExtensionWord(uint32_t id, uint32_t* status) {
    // Room for any extension's value: five words, or a record with pointers.
    uint32_t value[8] = {};
    *status = VqGetExtension(&info_, id, value);
    int32_t word = 0;
    std::memcpy(&word, value, sizeof word);
    return word;
}

void ZynImage::ProbeLighting(int32_t preset, int32_t* lighting) {
    uint32_t balance[8] = {}, exposure[8] = {}, chosen[8] = {};
    // Without the state to put back, the probe would change the image.
    if (VqGetExtension(&info_, ZynExtWhiteBalance, balance) != 0) return;
    if (VqGetExtension(&info_, ZynExtExposure, exposure) != 0) return;
    const bool set = VqSetExtension(&info_, ZynExtWhiteBalance, reinterpret_cast<void*>(uintptr_t(1)),
                                    uint32_t(preset), 0, 0, 0) == 0;
    if (!set) return;
    const bool read = VqGetExtension(&info_, ZynExtBalanceLighting, chosen) == 0;
    VqSetExtension(&info_, ZynExtWhiteBalance, reinterpret_cast<void*>(uintptr_t(balance[0] != 0)), balance[1],
                   balance[2] != 0, balance[3], balance[4] & 0xFFFFu);
    const bool restored = VqSetExtension(&info_, ZynExtExposure, reinterpret_cast<void*>(uintptr_t(exposure[0])),
                                         exposure[1], exposure[2], exposure[3], exposure[4]) == 0;
    if (read && restored) *lighting = int32_t(chosen[0]);
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
    VqSection section(*this);
    cameraModel_ = TextOf(info_.model, info_.modelLength);
    firmwareVersion_ = TextOf(info_.software, info_.softwareLength);
    imageNumber_ = info_.imageIndex;

    uint32_t status = 0;
    const int32_t length = ReadExtensionWord(ZynExtSettingsTextLength, &status);
    // The oldest models have no settings text.
    if (info_.modelFamily == 0) return;
    if (status != 0 || length < 0) YLM_THROW("ZynImage::SetCameraSettings", NbErrCameraSettingsFailed);
    std::unique_ptr<char[]> text(new (std::nothrow) char[size_t(length) + 1]);
    if (!text) return;
    std::memset(text.get(), 0, size_t(length) + 1);
    void* where[4] = {text.get(), nullptr, nullptr, nullptr};
    if (VqGetExtension(&info_, ZynExtSettingsText, where) != 0)
        YLM_THROW("ZynImage::SetCameraSettings", NbErrCameraSettingsFailed);
    cameraSettingsBlock_ += std::string(text.get(), strnlen(text.get(), size_t(length)));
}

void ZynImage::Close() {
    {
        StCriticalSectionLock guard(vqLock_);
        if (info_.handle != 0) {
            // The interface empties the record; the sizes stay known.
            const ImageGeometry geometry = info_.geometry;
            StBlockOMemoryPoolExceptionDisabler quiet;
            ZynImageLocks::TableChange change;
            VqCloseImage(&info_);
            info_.geometry = geometry;
            info_.handle = 0;
            paramsSent_ = false;
            cacheHandedOver_ = false;
        }
    }
    if (open_) Image::Close();
}

ImageInfoRecord ZynImage::GetInfoRecord() {
    StCriticalSectionLock guard(vqLock_);
    return info_;
}

// What the image offers ------------------------------------------------------------

std::vector<int> ZynImage::GetNoiseReductionModes() {
    if (!HasCapability(kNoiseReduction)) return {};
    return HasCapability(kSecondNoiseMode) ? std::vector<int>{0, 2} : std::vector<int>{0, 1};
}

void ZynImage::GetExposureCompensationRange(float* min, float* max) {
    *min = -2.0f;
    *max = 2.0f;
}

std::vector<int> ZynImage::GetSupportedIlluminants() {
    if (!HasCapability(kColourFile)) return {};
    return {0, 1, 2, 3};
}

std::vector<int> ZynImage::GetSupportedBalanceTypes() {
    if (fileKind_ != VQ_FILE_RAW_TIFF || !isColor_) return {};
    std::vector<int> types{0, 1, 2, 3, 6};
    if (HasCapability(kAutoBalance)) types.push_back(5);
    return types;
}

bool ZynImage::ImageShouldBeRenderedForExport() {
    if (const int code = EnsureOpen()) YLM_THROW("ZynImage::ImageShouldBeRenderedForExport", code);
    return fileKind_ != VQ_FILE_CAMERA_JPEG && fileKind_ != VQ_FILE_RGB_TIFF;
}

std::vector<int> ZynImage::GetSupportedColorModes() {
    std::vector<int> modes;
    if (isColor_) modes.push_back(0);
    modes.push_back(2);
    if (fileKind_ == VQ_FILE_RAW_TIFF) modes.push_back(1);
    return modes;
}

std::map<int, NbRect> ZynImage::GetAvailableResolutions() {
    const NbRect native = GetNativeImageRect();
    const int32_t w = int32_t(native.Width()), h = int32_t(native.Height());
    std::map<int, NbRect> levels;
    levels[1] = native;
    levels[2] = NbRect(0, 0, (w + 1) / 2 - 1, (h + 1) / 2 - 1);
    if (w > kQuarterSizeMinimumWidth) levels[4] = NbRect(0, 0, (w + 2) / 4 - 1, (h + 2) / 4 - 1);
    return levels;
}

NbRect ZynImage::GetImageRect() {
    StCriticalSectionLock guard(vqLock_);
    const ImageGeometry& g = info_.geometry;
    return NbRect(0, 0, g.activeWidth - 1, g.activeHeight - 1);
}

NbRect ZynImage::GetNativeImageRect() {
    StCriticalSectionLock guard(vqLock_);
    const ImageGeometry& g = info_.geometry;
    const int32_t w = std::max(g.activeWidth, g.activeHeight), h = std::min(g.activeWidth, g.activeHeight);
    return NbRect(0, 0, w - 1, h - 1);
}

NbRect ZynImage::GetThumbnailRect() {
    StCriticalSectionLock guard(vqLock_);
    const ImageGeometry& g = info_.geometry;
    return NbRect(0, 0, g.fullWidth - 1, g.fullHeight - 1);
}

NbRect ZynImage::GetNativeThumbnailRect() {
    StCriticalSectionLock guard(vqLock_);
    const ImageGeometry& g = info_.geometry;
    const int32_t w = std::max(g.fullWidth, g.fullHeight), h = std::min(g.fullWidth, g.fullHeight);
    return NbRect(0, 0, w - 1, h - 1);
}

int ZynImage::GetSamplesPerPixel() {
    StCriticalSectionLock guard(vqLock_);
    return info_.geometry.channels;
}

int ZynImage::GetBytesPerSample() {
    StCriticalSectionLock guard(vqLock_);
    return info_.geometry.bytesPerSample;
}

// Sounds and the annotation -------------------------------------------------------

bool ZynImage::IsSoundOfImage(const FilePathSpec& sound) {
    if (soundKey_.size() < 8) return false;
    if (!sound.GetFolder().IsSameFile(path_.GetFolder())) return false;
    const std::string name = sound.GetFileName();
    // A shorter name has no characters to compare at the key's places.
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

std::string ZynImage::GetAnnotation() {
    Touch();
    if (!annotation_) return std::string();
    const int32_t last = annotationCapacity_ - kAnnotationSearchMargin;
    for (int32_t i = 0; i <= last; ++i) {
        if (annotation_[size_t(i)] != 0) continue;
        // The buffer ends in a zero byte of its own.
        const char* text = annotation_.get() + i + 1;
        return std::string(text, strnlen(text, size_t(annotationCapacity_ - i)));
    }
    return std::string();
}

void ZynImage::SetAnnotation(const std::string& text) {
    if (text == GetAnnotation()) return;
    if (int64_t(text.size()) > int64_t(GetMaxAnnotationLength()) || !annotation_)
        YLM_THROW("ZynImage::SetAnnotation", NbErrAnnotationFailed);
    std::memset(annotation_.get(), 0, size_t(annotationCapacity_) + 1);
    std::memcpy(annotation_.get() + 1, text.data(), text.size());
    Touch();
    SetModified(true);
}

} // namespace NimbalCore
