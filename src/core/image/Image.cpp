#include "Image.h"

#include "CameraSettingsStrings.h"
#include "ColorServices.h"
#include "File.h"
#include "ImagePool.h"
#include "ImageRef.h"
#include "LocalTime.h"
#include "NbErrorCodes.h"
#include "PixelArray.h"
#include "PixelShift.h"
#include "StCriticalSectionLock.h"
#include "YlmErrp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace NimbalCore {

namespace {

// The look profiles a camera look setting stands for: colour, monochrome.
const char* const kDefaultLooks[8][2] = {
    {"ZynProductLook.icm", "ZynProductGrayscale.icm"},
    {"ZynPortraitLook.icm", "ZynPortraitGrayscale.icm"},
    {"ZynProductLookRed.icm", "ZynProductGrayscale.icm"},
    {"ZynPortraitLookRed.icm", "ZynPortraitGrayscale.icm"},
    {"ZynProductGrayscale.icm", "ZynProductGrayscale.icm"},
    {"ZynPortraitGrayscale.icm", "ZynProductGrayscale.icm"},
    {"ZynWeddingLook.icm", "ZynProductGrayscale.icm"},
    {"ZynEventLook.icm", "ZynProductGrayscale.icm"},
};

std::string StaticProfileName(const char* fileName) {
    const ColorServices* services = ColorServices::Get();
    return services ? services->GetStaticProfileName(fileName) : std::string();
}

// Two-digit (or n-digit) field of a text; false when it is not all digits.
bool Digits(const std::string& text, size_t at, size_t count, int* value) {
    if (at + count > text.size()) return false;
    int v = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
    }
    *value = v;
    return true;
}

std::string FormatInt(int value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%d", value);
    return buffer;
}

// "%d by %d pixels" without handing a translated text to printf.
std::string FormatTwoInts(std::string format, int a, int b) {
    for (int value : {a, b}) {
        const size_t at = format.find("%d");
        if (at == std::string::npos) break;
        format.replace(at, 2, FormatInt(value));
    }
    return format;
}

void* Moved(void* p, int64_t offset) {
    return p ? static_cast<void*>(static_cast<uint8_t*>(p) + offset) : nullptr;
}

// The shift copies of unrotated strips: interleaved 16-bit RGB rows into
// interleaved RGB (or the first channel into grey) rows, as contiguous runs.
// False when the layouts are not of that shape (turned, padded or
// reordered), for the general loop.
bool ShiftInterleavedRows(const PixelLayout& from, const PixelLayout& to, int32_t rows, int32_t columns,
                          bool twelve) {
    auto* s0 = static_cast<const uint8_t*>(from.base[0]);
    auto* d0 = static_cast<uint8_t*>(to.base[0]);
    if (!s0 || !d0 || from.columnOffset != 6 || from.base[1] != s0 + 2 || from.base[2] != s0 + 4 ||
        (reinterpret_cast<uintptr_t>(s0) & 1) || (from.rowOffset & 1))
        return false;
    const int b = to.sampleType == PixelSample8 ? 1 : 2;
    if (to.channels == 3 && (to.columnOffset != 3 * b || to.base[1] != d0 + b || to.base[2] != d0 + 2 * b))
        return false;
    if (to.channels == 1 && to.columnOffset != b) return false;
    if (b == 2 && ((reinterpret_cast<uintptr_t>(d0) & 1) || (to.rowOffset & 1))) return false;
    const int shift8 = twelve ? 4 : 8, shift16 = twelve ? 4 : 0;
    for (int32_t r = 0; r < rows; ++r) {
        const auto* s = reinterpret_cast<const uint16_t*>(s0 + int64_t(r) * from.rowOffset);
        uint8_t* drow = d0 + int64_t(r) * to.rowOffset;
        if (to.channels == 3) {
            const int64_t n = int64_t(columns) * 3;
            if (b == 1) ShiftSamplesTo8(s, drow, n, shift8);
            else ShiftSamplesTo16(s, reinterpret_cast<uint16_t*>(drow), n, shift16);
        } else if (b == 1) {
            ShiftFirstOfThreeTo8(s, drow, columns, shift8);
        } else {
            ShiftFirstOfThreeTo16(s, reinterpret_cast<uint16_t*>(drow), columns, shift16);
        }
    }
    return true;
}

} // namespace

Image::Image(const FilePathSpec& path) : path_(path), previousPath_(path) {}

Image::~Image() {
    if (open_) Image::Close();
}

bool Image::Release() {
    // Always the pool's lock before the image's: eviction holds the pool's
    // lock while it takes images' locks, so the other order could deadlock.
    StCriticalSectionLock poolGuard(ImagePool::GetPoolLock());
    StCriticalSectionLock imageGuard(GetMutex());
    if (GetReferenceCount() == 2) {
        ImagePool* pool = ImagePool::Live();
        if (pool && pool->HoldsImage(path_, this)) pool->Remove(path_);
    }
    return RemoveReference();
}

void Image::CenterCloseUpPoint() {
    const NbRect r = GetImageRect();
    closeUpPoint_[0] = int32_t(r.left + r.Width() / 2);
    closeUpPoint_[1] = int32_t(r.top + r.Height() / 2);
}

std::string Image::GetDefaultProfileName(int lookIndex) const {
    if (lookIndex < 0 || lookIndex > 7) lookIndex = 0;
    std::string name = StaticProfileName(kDefaultLooks[lookIndex][isColor_ ? 0 : 1]);
    if (name.empty()) name = StaticProfileName(kDefaultLooks[0][0]);
    return name;
}

bool Image::ParseExifDateTime(const std::string& text, time_t* out) {
    int year, month, day, hour, minute, second;
    if (!Digits(text, 0, 4, &year) || year < 1990 || year > 2099) return false;
    if (!Digits(text, 5, 2, &month) || !Digits(text, 8, 2, &day) || !Digits(text, 11, 2, &hour) ||
        !Digits(text, 14, 2, &minute) || !Digits(text, 17, 2, &second))
        return false;
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = 0;
    const time_t t = lumora::LocalTime::toTime(tm);
    if (t == time_t(-1)) return false;
    *out = t;
    return true;
}

void Image::SwapBytes16(uint16_t* values, size_t count) {
    for (size_t i = 0; i < count; ++i) values[i] = uint16_t((values[i] >> 8) | (values[i] << 8));
}

void Image::SwapBytes32(uint32_t* values, size_t count) {
    for (size_t i = 0; i < count; ++i) values[i] = __builtin_bswap32(values[i]);
}

int Image::ApplyColorMatrix(uint16_t* samples, int32_t matrix[18], size_t pixelCount, int bitDepth, float factor) {
    // Nine coefficients, each followed by a word; the words after the first
    // two are the shift and the divisor.
    int32_t& shift = matrix[1];
    int32_t& divisor = matrix[3];
    if (shift == 0) return NbErrPixelFormatUnsupported;
    if (bitDepth != 8 && bitDepth != 10 && bitDepth != 12 && bitDepth != 16) return NbErrPixelFormatUnsupported;
    auto coefficient = [&](int row, int col) -> int32_t& { return matrix[2 * (row * 3 + col)]; };
    bool identity = factor == 1.0f;
    for (int r = 0; r < 3 && identity; ++r)
        for (int c = 0; c < 3; ++c)
            if (coefficient(r, c) != (r == c ? 1 : 0)) identity = false;
    if (identity) return 0;
    if (shift == divisor) {
        const double scale = double(factor) * 8192.0 / double(shift);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                const double v = std::trunc(double(coefficient(r, c)) * scale);
                coefficient(r, c) = int32_t(std::clamp(v, -2147483648.0, 2147483647.0));
            }
        shift = 13;
        divisor = 8192;
    }
    // A record from a file may carry any shift; only a real one is used.
    if (shift < 0 || shift > 31) return NbErrPixelFormatUnsupported;
    const int64_t maxValue = (int64_t(1) << bitDepth) - 1;
    for (size_t p = 0; p < pixelCount; ++p) {
        uint16_t* px = samples + 3 * p;
        const int64_t in[3] = {px[0], px[1], px[2]};
        for (int r = 0; r < 3; ++r) {
            // 64-bit sums: bright samples under large coefficients overflow 32.
            int64_t sum = 0;
            for (int c = 0; c < 3; ++c) sum += int64_t(coefficient(r, c)) * in[c];
            if (sum <= 0) {
                px[r] = 0;
                continue;
            }
            if (shift > 0) sum >>= shift;
            px[r] = uint16_t(std::min(sum, maxValue));
        }
    }
    return 0;
}

std::string Image::GetLightingProfileID(int) { return std::string(); }
std::string Image::GetLookProfileID(const std::string&) { return std::string(); }
std::string Image::GetOutputProfileID(int) { return std::string(); }

void Image::UpdateDateTimeString() {
    std::tm tm{};
    if (captureTime_ == 0 || !lumora::LocalTime::fromTime(captureTime_, tm)) return;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d:%02d:%02d:%02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    dateTimeString_ = buffer;
}

void Image::GetNoiseStrengthRange(int* min, int* max) { *min = *max = 0; }
void Image::GetNoiseLevelRange(int, int* min, int* max) { *min = *max = 0; }
void Image::GetExposureCompensationRange(float* min, float* max) { *min = *max = 0.0f; }
void Image::GetLensOptimizationRange(int* min, int* max) { *min = *max = 0; }

void Image::GetBalanceKelvinRange(int, uint16_t* low, uint16_t* standard, uint16_t* high) {
    *low = *standard = *high = 0;
}

void Image::GetColorBalanceLimits(int16_t* a, int16_t* b, int16_t* c) {
    *a = colorBalanceLimits_[0];
    *b = colorBalanceLimits_[1];
    *c = colorBalanceLimits_[2];
}

void Image::GetLevelsLimits(float* lower, float* middle, float* upper) {
    *lower = levelsLimits_[0];
    *middle = levelsLimits_[1];
    *upper = levelsLimits_[2];
}

bool Image::ComputeExposureTableFromLevels(float, float, float, int, uint16_t*) { return false; }

bool Image::SupportsGrayscale() {
    const std::vector<int> modes = GetSupportedColorModes();
    return std::find(modes.begin(), modes.end(), 2) != modes.end();
}

void Image::SetProcessParams(const ImageProcessParam& params) {
    if (params == processParams_) return;
    processParams_ = params;
    modified_ = true;
    NotifyImageChange(ImageChangeParams);
}

ExportImage* Image::CreateExportImage(int, ImageRendering*, const FilePathSpec&, ExportImageArray*, int32_t) {
    return nullptr;
}

void Image::GetImageRectangleFromCameraSDK(int, const ImageProcessParam&, const FilterRect&, float,
                                           VrelSharpenPlanes&, int, int, ProgressCB*) {
    throw int(NbErrNotImplemented);
}

void Image::SetParmsInImageForLinearRendering(ImageProcessParam&) { throw int(NbErrNotImplemented); }

void Image::RotatePixelLayout(VrelSharpenPlanes& layout, int angle) {
    const int64_t P = layout.pixelStride, R = layout.rowStride, H = layout.rows, W = layout.columns;
    int64_t offset = 0;
    switch (angle) {
    case 90:
    case -270:
        layout.pixelStride = int32_t(R);
        layout.rowStride = int32_t(-P);
        std::swap(layout.rows, layout.columns);
        offset = P * (W - 1);
        break;
    case 180:
    case -180:
        layout.pixelStride = int32_t(-P);
        layout.rowStride = int32_t(-R);
        offset = P * (W - 1) + R * (H - 1);
        break;
    case 270:
    case -90:
        layout.pixelStride = int32_t(-R);
        layout.rowStride = int32_t(P);
        std::swap(layout.rows, layout.columns);
        offset = R * (H - 1);
        break;
    default: return;
    }
    for (void*& plane : layout.plane) plane = Moved(plane, offset);
}

void Image::RotatePixelOrigins(VrelSharpenPlanes& layout, int angle) {
    const int32_t pixelStride = layout.pixelStride, rowStride = layout.rowStride;
    RotatePixelLayout(layout, angle);
    layout.pixelStride = pixelStride;
    layout.rowStride = rowStride;
}

void Image::DescribePixelArray(PixelArray& array, VrelSharpenPlanes& layout) {
    std::memset(&layout, 0, sizeof layout);
    const int32_t b = array.GetBytesPerSample();
    const NbRect bounds = array.GetBounds();
    layout.bitsPerSample = b * 8;
    layout.rows = int32_t(bounds.Height());
    layout.columns = int32_t(bounds.Width());
    layout.rowStride = array.GetRowBytes();
    uint8_t* a = static_cast<uint8_t*>(array.GetData());
    auto at = [&](int32_t n) -> void* { return a ? a + int64_t(n) * b : nullptr; };
    switch (array.GetPixelType()) {
    case PixelArray::Gray:
        layout.channels = 1;
        layout.pixelStride = b;
        layout.plane[0] = layout.plane[1] = layout.plane[2] = at(0);
        break;
    case PixelArray::RGB:
        layout.channels = 3;
        layout.pixelStride = 3 * b;
        layout.plane[0] = at(0), layout.plane[1] = at(1), layout.plane[2] = at(2);
        break;
    case PixelArray::BGR:
        layout.channels = 3;
        layout.pixelStride = 3 * b;
        layout.plane[0] = at(2), layout.plane[1] = at(1), layout.plane[2] = at(0);
        break;
    case PixelArray::XRGB:
        layout.channels = 3;
        layout.pixelStride = 4 * b;
        layout.plane[0] = at(1), layout.plane[1] = at(2), layout.plane[2] = at(3);
        break;
    case PixelArray::BGRX:
        layout.channels = 4;
        layout.pixelStride = 4 * b;
        layout.plane[0] = at(2), layout.plane[1] = at(1), layout.plane[2] = at(0);
        break;
    default: break;
    }
}

void Image::DescribeRenderBuffer(const VrelSharpenPlanes& planes, PixelLayout& layout) {
    std::memset(&layout, 0, sizeof layout);
    layout.sampleType = planes.bitsPerSample == 16 ? PixelSample16 : PixelSample8;
    layout.columns = planes.columns;
    layout.rows = planes.rows;
    layout.columnOffset = planes.pixelStride;
    layout.rowOffset = planes.rowStride;
    layout.channels = planes.channels;
    for (int i = 0; i < 3; ++i) layout.base[i] = planes.plane[i];
}

void Image::TransformPixels(ColorTransform* transform, const VrelSharpenPlanes& source,
                            const VrelSharpenPlanes& destination, bool fromKind) {
    PixelLayout from, to;
    DescribeRenderBuffer(source, from);
    DescribeRenderBuffer(destination, to);
    if (transform) {
        // 12-bit samples must reach the transform as 12-bit, or they read
        // as a sixteenth of their brightness.
        if (fromKind && sourceBitDepth_ == 12 && from.sampleType == PixelSample16) from.sampleType = PixelSample12in16;
        int32_t inChannels = 0, outChannels = 0;
        transform->GetChannels(&inChannels, &outChannels);
        if (from.channels == 1 && inChannels > 1) from.channels = inChannels;
        if (to.channels == 1 && outChannels > 1) {
            // Into the source in place, then one grey channel from it.
            PixelLayout inPlace = from;
            inPlace.channels = outChannels;
            transform->Evaluate(from, inPlace);
            ColorServices* services = ColorServices::Get();
            if (!services) YLM_THROW("Image::TransformPixels", NbErrColorEvaluateFailed);
            services->RGBColorToGrayscale(inPlace, to, !isColor_);
            return;
        }
        transform->Evaluate(from, to);
        return;
    }
    if (to.channels != 3 && to.channels != 1) return;
    const bool twelve = sourceBitDepth_ == 12;
    const int32_t rows = std::min(to.rows, from.rows), columns = std::min(to.columns, from.columns);
    if (ShiftInterleavedRows(from, to, rows, columns, twelve)) return;
    const int channels = to.channels;
    for (int32_t r = 0; r < rows; ++r) {
        for (int32_t c = 0; c < columns; ++c) {
            for (int k = 0; k < channels; ++k) {
                const auto* s = static_cast<const uint8_t*>(from.base[k]) + int64_t(r) * from.rowOffset +
                                int64_t(c) * from.columnOffset;
                uint16_t v;
                std::memcpy(&v, s, 2);
                auto* d = static_cast<uint8_t*>(to.base[k]) + int64_t(r) * to.rowOffset + int64_t(c) * to.columnOffset;
                if (to.sampleType == PixelSample8) {
                    *d = uint8_t(v >> (twelve ? 4 : 8));
                } else {
                    const uint16_t out = twelve ? uint16_t(v << 4) : v;
                    std::memcpy(d, &out, 2);
                }
            }
        }
    }
}

bool Image::AddSound(const FilePathSpec& sound) {
    for (const FilePathSpec& s : sounds_)
        if (s.GetPath() == sound.GetPath()) return false;
    sounds_.push_back(sound);
    NotifyImageChange(ImageChangeSounds);
    return true;
}

bool Image::RemoveSound(const FilePathSpec& sound) {
    for (auto it = sounds_.begin(); it != sounds_.end(); ++it)
        if (it->GetPath() == sound.GetPath()) {
            sounds_.erase(it);
            NotifyImageChange(ImageChangeSounds);
            return true;
        }
    YLM_THROW("Image::RemoveSound", NbErrSoundNotFound);
}

bool Image::IsListening(ImageChangeCB* listener) const {
    return std::find(changeCallbacks_.begin(), changeCallbacks_.end(), listener) != changeCallbacks_.end();
}

void Image::AddImageChangeCB(ImageChangeCB* listener) {
    if (!listener || IsListening(listener)) return;
    changeCallbacks_.push_back(listener);
}

void Image::RemoveImageChangeCB(ImageChangeCB* listener) {
    if (!listener) return;
    auto it = std::find(changeCallbacks_.begin(), changeCallbacks_.end(), listener);
    if (it == changeCallbacks_.end()) YLM_THROW("Image::RemoveImageChangeCB", NbErrImageChangeCBNotFound);
    changeCallbacks_.erase(it);
}

void Image::NotifyImageChange(ImageChangeType type) {
    if (changeCallbacks_.empty()) return;
    // A listener may drop the last outside reference during its call.
    ImageRef keepAlive(this);
    const std::vector<ImageChangeCB*> listeners = changeCallbacks_;
    const FilePathSpec path = path_, previous = previousPath_;
    for (ImageChangeCB* listener : listeners) {
        if (!IsListening(listener)) continue;
        switch (type) {
        case ImageChangeFile: listener->ImageFileChanged(path); break;
        case ImageChangeParams: listener->ProcessParamsChanged(path); break;
        case ImageChangeSounds: listener->SoundsChanged(path); break;
        case ImageChangeSaved: listener->ImageSaved(path); break;
        case ImageChangeTag: listener->TagChanged(path); break;
        case ImageChangeRenamed: listener->ImageRenamed(previous, path); break;
        default: break;
        }
    }
}

int Image::Open() {
    if (IsOpenDisabled()) YLM_THROW("Image::Open", NbErrImageOpenFailed);
    open_ = true;
    openTime_ = time(nullptr);
    ImagePool::Instance()->ImageOpened(path_);
    return 0;
}

void Image::Close() {
    open_ = false;
    StCriticalSectionLock poolGuard(ImagePool::GetPoolLock());
    if (ImagePool* pool = ImagePool::Live()) pool->ImageClosed();
}

void Image::Rename(const FilePathSpec& newPath) {
    const FilePathSpec old = path_;
    File file(path_);
    file.Rename(newPath);
    previousPath_ = old;
    path_ = FilePathSpec(newPath.GetPath());
    NotifyImageChange(ImageChangeRenamed);
}

bool Image::SetTagged(bool tagged) {
    if (tagged == tagged_) return false;
    tagged_ = tagged;
    modified_ = true;
    NotifyImageChange(ImageChangeTag);
    return true;
}

void Image::CalculateClickBalance(int, int, uint16_t* a, uint16_t* b, uint16_t* c) { *a = *b = *c = 0; }

std::string Image::GetImageInfoText() {
    CameraSettingsStrings labels;
    std::string text = infoTextHead_;
    auto line = [&](int item, const std::string& value) { text += labels.GetString(item) + value + "\n"; };
    if (!cameraModel_.empty()) line(CameraSettingsStrings::Camera, cameraModel_);
    if (!serialNumber_.empty()) line(CameraSettingsStrings::SerialNumber, serialNumber_);
    if (!firmwareVersion_.empty()) line(CameraSettingsStrings::FirmwareVersion, firmwareVersion_);
    if (imageNumber_ >= 0) line(CameraSettingsStrings::ImageNumber, FormatInt(imageNumber_));
    // A file's own date text may be shorter than the full stamp: then it
    // gives no date lines rather than a read past its end.
    const std::string& d = dateTimeString_;
    if (d.size() >= 19) {
        line(CameraSettingsStrings::Date, d.substr(5, 2) + "/" + d.substr(8, 2) + "/" + d.substr(0, 4));
        line(CameraSettingsStrings::Time, d.substr(11, 2) + ":" + d.substr(14, 2) + ":" + d.substr(17, 2));
    }
    const NbRect r = GetImageRect();
    line(CameraSettingsStrings::Width, FormatInt(int(r.Width())));
    line(CameraSettingsStrings::Height, FormatInt(int(r.Height())));
    float value;
    int divisor;
    GetMegapixels(&value, &divisor);
    text += labels.FormatFloat(CameraSettingsStrings::Resolution, value) + "\n";
    GetFileSizeMB(&value, &divisor);
    text += labels.FormatFloat(CameraSettingsStrings::FileSize, value) + "\n";
    text += cameraSettingsBlock_;
    return text;
}

std::string Image::GetFileInfoText() {
    CameraSettingsStrings labels;
    std::string text;
    switch (GetFileType()) {
    case 0: text += labels.GetString(CameraSettingsStrings::ZynRawFile); break;
    case 1: text += labels.GetString(CameraSettingsStrings::TiffFile); break;
    case 2: text += labels.GetString(CameraSettingsStrings::JpegFile); break;
    case 3: text += labels.GetString(CameraSettingsStrings::WqxJpegFile); break;
    default: break;
    }
    text += "\n";
    const NbRect r = GetNativeImageRect();
    text += FormatTwoInts(labels.GetString(CameraSettingsStrings::PixelSize), int(r.Width()), int(r.Height()));
    text += "\n";
    float value;
    int divisor;
    GetMegapixels(&value, &divisor);
    text += labels.FormatFloat(CameraSettingsStrings::Resolution, value) + "\n";
    GetFileSizeMB(&value, &divisor);
    text += labels.FormatFloat(CameraSettingsStrings::FileSize, value);
    return text;
}

void Image::GetFileSizeMB(float* value, int* divisor) {
    if (fileSize_ == 0) {
        try {
            File file(path_);
            const int64_t size = file.GetSize();
            fileSize_ = size > 0 ? uint32_t(std::min<int64_t>(size, 0xFFFFFFFF)) : 0;
        } catch (const YlmErrp&) {
            fileSize_ = 0;
        }
    }
    *value = float(double(fileSize_) / 1048576.0);
    *divisor = 1048576;
}

void Image::GetMegapixels(float* value, int* divisor) {
    const NbRect r = GetNativeImageRect();
    *value = float(double(r.Width()) * double(r.Height()) * 0.000001);
    *divisor = 1000000;
}

bool Image::IsColorModeValid(const ImageProcessParam& params, const int* mode) {
    const std::vector<int> modes = GetSupportedColorModes();
    auto has = [&](int m) { return std::find(modes.begin(), modes.end(), m) != modes.end(); };
    if (!has(1)) return false;
    if (!mode || *mode != 1) return true;
    return !(ImageProcessParam::IsGrayscaleLook(params.lookName) && has(0));
}

Image::ValidationCodes Image::ValidateLevels(float shadow, float midtone, float highlight) {
    using P = ImageProcessParam;
    float lower, middle, upper;
    GetLevelsLimits(&lower, &middle, &upper);
    const float s = P::RoundLevel(shadow), m = P::RoundLevel(midtone), h = P::RoundLevel(highlight);
    lower = P::RoundLevel(lower);
    upper = P::RoundLevel(upper);
    if (s < lower) return P::ShadowTooLow;
    if (s > upper) return P::ShadowTooHigh;
    if (m < lower) return P::MidtoneTooLow;
    if (m > upper) return P::MidtoneTooHigh;
    if (h < lower) return P::HighlightTooLow;
    if (h > upper) return P::HighlightTooHigh;
    if (s > m || s > h || m > h) return P::LevelsOutOfOrder;
    // Levels and limits lie on the one-decimal grid: two levels exactly the
    // minimum gap apart are too close, as the levels dialog has always
    // treated them (a tenth's float error must not decide it).
    const float g = GetLevelsMinimumGap();
    constexpr float kHalfStep = 0.05f;
    if (s > P::RoundLevel(m - g) - kHalfStep || m < P::RoundLevel(s + g) + kHalfStep ||
        m > P::RoundLevel(h - g) - kHalfStep || P::RoundLevel(m + g) > h - kHalfStep)
        return P::LevelsTooClose;
    return P::Valid;
}

bool Image::SetIPTCRecord(const IPTCNAARecord2& record) {
    if (record.IsEqual(iptcRecord_)) return false;
    iptcRecord_ = record;
    iptcChanged_ = true;
    modified_ = true;
    return true;
}

bool Image::CanWhiteBalanceFileBeSaved(int* reason) {
    if (reason) *reason = 0;
    return false;
}

void Image::ComputeThumbnailScale(int width, int height) {
    if (width <= 156 && height <= 156) {
        thumbnailScale_ = 1.0f;
        return;
    }
    const float f = 156.0f / float(std::max(width, height));
    if (f < 0.2f) thumbnailScale_ = 0.125f;
    else if (f < 0.38f) thumbnailScale_ = 0.25f;
    else if (f < 0.45f) thumbnailScale_ = 0.4f;
    else if (f < 0.7f) thumbnailScale_ = 0.5f;
    else thumbnailScale_ = 1.0f;
}

bool Image::CanRenderFastPreview() {
    if (GetAvailableResolutions().size() > 1) return true;
    return !GetNoiseReductionModes().empty() && CanSharpen();
}

YlmRefPtr<ColorSpaceDesc> Image::GetSourceColorSpaceDesc() {
    const ColorServices* services = ColorServices::Get();
    if (!services) return YlmRefPtr<ColorSpaceDesc>();
    return services->FindProfile(sourceColorSpaceName_);
}

YlmRefPtr<ColorTransform> Image::BuildColorTransform(const ImageProcessParam&, int, int) {
    return YlmRefPtr<ColorTransform>();
}

void Image::GetSharpenPreset(int presetType, int32_t triple[3]) {
    const int preset = (presetType == 0 || presetType == 1 || presetType == 3) ? presetType : 2;
    std::copy(sharpenPresets_[preset], sharpenPresets_[preset] + 3, triple);
}

void Image::EnterFlagScope(FlagScope which) {
    std::lock_guard<std::mutex> guard(flagScopeLock_);
    FlagScopeState& scope = which == FlagScope::Closable ? closableScope_ : renderingScope_;
    if (scope.depth++ == 0) scope.saved = which == FlagScope::Closable ? IsClosable() : IsRendering();
    if (which == FlagScope::Closable) SetClosable(false);
    else SetRendering(true);
}

void Image::LeaveFlagScope(FlagScope which) {
    std::lock_guard<std::mutex> guard(flagScopeLock_);
    FlagScopeState& scope = which == FlagScope::Closable ? closableScope_ : renderingScope_;
    if (scope.depth == 0 || --scope.depth != 0) return;
    if (which == FlagScope::Closable) SetClosable(scope.saved);
    else SetRendering(scope.saved);
}

int Image::EnsureOpen() {
    if (!open_) return Open();
    openTime_ = time(nullptr);
    return 0;
}

bool Image::RemoveTextLine(std::string& text, const std::string& key) {
    const size_t at = text.find(key);
    if (at == std::string::npos) return false;
    const size_t end = text.find('\n', at);
    if (end == std::string::npos) return false;
    text.erase(at, end - at + 1);
    return true;
}

int Image::RemoveDimensionLines(std::string& text) {
    int removed = 0;
    if (RemoveTextLine(text, "Width")) ++removed;
    if (RemoveTextLine(text, "Height")) ++removed;
    return removed;
}

bool Image::RemoveFileTypeLines(std::string& text) {
    CameraSettingsStrings labels;
    bool result = false;
    for (int item : {CameraSettingsStrings::FinishedFile, CameraSettingsStrings::WqxJpegFile,
                     CameraSettingsStrings::TiffFile, CameraSettingsStrings::JpegFile})
        result = RemoveTextLine(text, labels.GetString(item));
    return result;
}

void Image::CopyCopyrightToIPTC() {
    const uint8_t* start;
    uint32_t size;
    if (copyright_.empty() || !iptcRecord_.GetBuffer(&start, &size)) return;
    int index;
    const uint8_t* data;
    uint16_t length;
    for (bool more = iptcRecord_.GetFirstDataset(&index, &data, &length); more;
         more = iptcRecord_.GetNextDataset(&index, &data, &length))
        if (index == IPTCNAARecord2::kCopyrightNotice && length > 0) return;
    const size_t n = std::min<size_t>(copyright_.size(), 128);
    iptcRecord_.AddDataset(IPTCNAARecord2::kCopyrightNotice, reinterpret_cast<const uint8_t*>(copyright_.data()),
                           uint32_t(n));
}

} // namespace NimbalCore
