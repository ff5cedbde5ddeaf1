// ProImage: reading the driver's attributes at the first opening, writing
// metadata back, and the answers about profiles, looks, colour modes and
// resolutions.
#include "ProImage.h"

#include "ColorServices.h"
#include "NbErrorCodes.h"
#include "StImageClosableFlagRestorer.h"
#include "YlmErrp.h"

#include <algorithm>
#include <cstring>
#include <ctime>

namespace NimbalCore {

namespace {

constexpr int32_t kMaxIptcBytes = 65535;
const char kIptcWarning[] = "WARNING: original IPTC data format was invalid.";

// Lighting profile files of the model families, by model code.
const char* FamilyOfModel(int32_t code) {
    switch (code) {
    case 1824:
    case 1825: return "AukC";
    case 1888:
    case 1889: return "Keelx";
    case 16384: return "Plover";
    case 16385: return "Drossel";
    case 2048: return "Corvid";
    case 2049: return "Heronn";
    case 2050: return "Heronc";
    default: return nullptr;
    }
}

bool SourceNamedFamily(const std::string& family) {
    return family == "AukC" || family == "Keelx" || family == "Plover" || family == "Drossel";
}

std::string StaticName(const std::string& fileName) {
    const ColorServices* services = ColorServices::Get();
    std::string name = services ? services->GetStaticProfileName(fileName) : std::string();
    // Without an engine the file's own name stands for the profile.
    return name.empty() ? fileName : name;
}

} // namespace

// Driver calls ---------------------------------------------------------------

int32_t ProImage::AttributeInfo(int32_t id, int32_t* type, int32_t* count) {
    *type = 0;
    *count = 0;
    if (!plugIn || !plugIn->GetAttributeInfo) return -1;
    return plugIn->GetAttributeInfo(imageRef, id, type, count);
}

int32_t ProImage::ReadInts(int32_t id, int32_t* values, int32_t count, int32_t slotsPerElement) {
    if (!plugIn || !plugIn->GetAttributeValue) return -1;
    // Room for four slots an element whatever the driver's type, so that a
    // rectangle where a number was expected stays inside the buffer.
    std::vector<int32_t> buffer(size_t(std::max(count, 1)) * 4, 0);
    int32_t n = count;
    const int32_t status = plugIn->GetAttributeValue(imageRef, id, &n, buffer.data());
    if (status == 0) std::copy(buffer.begin(), buffer.begin() + size_t(count) * size_t(slotsPerElement), values);
    return status;
}

int32_t ProImage::ReadFloats(int32_t id, float* values, int32_t count) {
    std::vector<int32_t> slots(static_cast<size_t>(count));
    const int32_t status = ReadInts(id, slots.data(), count);
    if (status == 0) std::memcpy(values, slots.data(), size_t(count) * 4);
    return status;
}

int32_t ProImage::ReadTriple(int32_t id, uint16_t triple[3]) {
    int32_t slots[3] = {0, 0, 0};
    const int32_t status = ReadInts(id, slots, 3);
    if (status == 0)
        for (int i = 0; i < 3; ++i) triple[i] = uint16_t(slots[i] & 0xFFFF);
    return status;
}

int32_t ProImage::ReadRect(int32_t id, DriverRect& rect) {
    // A rectangle counts as one element but fills four slots.
    int32_t slots[4] = {0, 0, 0, 0};
    const int32_t status = ReadInts(id, slots, 1, 4);
    if (status == 0) rect = DriverRect{slots[0], slots[1], slots[2], slots[3]};
    return status;
}

int32_t ProImage::ReadList(int32_t id, std::vector<int32_t>& values) {
    values.clear();
    int32_t type = 0, count = 0;
    int32_t status = AttributeInfo(id, &type, &count);
    if (status != 0) return status;
    if (count < 0 || count > 4096) return -1;
    if (count == 0) return 0;
    values.assign(size_t(count), 0);
    status = ReadInts(id, values.data(), count);
    if (status != 0) values.clear();
    return status;
}

int32_t ProImage::ReadSize(int32_t id, int32_t limit, int32_t* size) {
    int32_t type = 0;
    const int32_t status = AttributeInfo(id, &type, size);
    if (status != 0) return status;
    // The callers size a byte buffer by the count: an attribute whose
    // elements are wider than a byte would be written past it.
    if (type != VrelTypeText && type != VrelTypeBlock) {
        *size = 0;
        return -1;
    }
    if (*size <= 0) {
        *size = 0;
        return 0;
    }
    return *size > limit ? -1 : 0;
}

int32_t ProImage::ReadBlock(int32_t id, std::vector<uint8_t>& bytes) {
    bytes.clear();
    int32_t size = 0;
    int32_t status = ReadSize(id, 1 << 26, &size);
    if (status != 0 || size == 0) return status;
    bytes.assign(size_t(size), 0);
    int32_t n = size;
    status = plugIn->GetAttributeValue(imageRef, id, &n, bytes.data());
    if (status != 0) bytes.clear();
    else if (n >= 0 && n < size) bytes.resize(size_t(n));
    return status;
}

int32_t ProImage::ReadText(int32_t id, std::string& text) {
    text.clear();
    int32_t size = 0;
    int32_t status = ReadSize(id, 1 << 24, &size);
    if (status != 0 || size == 0) return status;
    // One byte more than reported, zeroed: whatever the driver writes, the
    // text ends inside the buffer.
    std::vector<char> buffer(size_t(size) + 1, '\0');
    int32_t n = size;
    status = plugIn->GetAttributeValue(imageRef, id, &n, buffer.data());
    buffer[size_t(size)] = '\0';
    if (status == 0) text = buffer.data();
    return status;
}

int32_t ProImage::WriteInts(int32_t id, int32_t type, const int32_t* values, int32_t count) {
    if (!plugIn || !plugIn->SetAttributeValue) return -1;
    std::vector<int32_t> copy(values, values + (type == VrelTypeRect ? count * 4 : count));
    return plugIn->SetAttributeValue(imageRef, id, type, count, copy.data());
}

int32_t ProImage::WriteFloats(int32_t id, int32_t type, float* values, int32_t count) {
    if (!plugIn || !plugIn->SetAttributeValue) return -1;
    return plugIn->SetAttributeValue(imageRef, id, type, count, values);
}

int32_t ProImage::WriteTriple(int32_t id, int32_t type, const uint16_t triple[3]) {
    const int32_t slots[3] = {type == VrelTypeShortTriple ? int16_t(triple[0]) : triple[0],
                              type == VrelTypeShortTriple ? int16_t(triple[1]) : triple[1],
                              type == VrelTypeShortTriple ? int16_t(triple[2]) : triple[2]};
    return WriteInts(id, type, slots, 3);
}

int32_t ProImage::WriteBlock(int32_t id, const void* data, int32_t count) {
    if (!plugIn || !plugIn->SetAttributeValue) return -1;
    return plugIn->SetAttributeValue(imageRef, id, VrelTypeBlock, count, const_cast<void*>(data));
}

// Reading at the first opening -------------------------------------------------

void ProImage::ReadCaptureTime() {
    std::string text;
    if (ReadText(525, text) != 0) YLM_THROW("ProImage::LoadAttributes", NbErrImageFileOpenFailed);
    if (text.empty()) {
        captureTime_ = 1;
        return;
    }
    // Only a complete stamp is read; a short one counts as a year outside
    // 1990..2099, which keeps the image's own date string.
    time_t parsed = 0;
    if (text.size() >= 19 && ParseExifDateTime(text, &parsed)) {
        dateTimeString_ = text.substr(0, 19);
        captureTime_ = parsed;
        return;
    }
    if (ParseExifDateTime(dateTimeString_, &parsed)) captureTime_ = parsed;
}

void ProImage::ReadToneCapability() {
    canAdjustTone_ = false;
    int32_t option = 0;
    if (ReadInts(1959, &option, 1) != 0) return;
    levelsOption_ = option;
    float limits[3];
    if (ReadFloats(1958, limits, 3) != 0) return;
    std::copy(limits, limits + 3, levelsLimits_);
    float gap = 0.01f;
    const int32_t gapStatus = ReadFloats(1961, &gap, 1);
    levelsMinimumGap_ = gapStatus == 0 ? gap : 0.01f;
    if (gapStatus != 0) return;
    int32_t enabled = 0;
    float levels[3];
    if (ReadInts(1960, &enabled, 1) != 0 || ReadFloats(1957, levels, 3) != 0) return;
    canAdjustTone_ = true;
}

void ProImage::ReadIPTCBlock() {
    int32_t type = 0, size = 0;
    if (AttributeInfo(1900, &type, &size) != 0 || size == 0) return;
    std::vector<uint8_t> block;
    if (ReadBlock(1900, block) != 0) YLM_THROW("ProImage::LoadAttributes", NbErrImageFileOpenFailed);
    // A block that a 16-bit length cannot carry is invalid, never cut short.
    const bool fits = !block.empty() && block.size() <= size_t(kMaxIptcBytes);
    if (fits && iptcRecord_.SetFromBuffer(block.data(), uint16_t(block.size()))) return;
    iptcRecord_.Reset();
    int index = 0;
    if (IPTCNAARecord2::FindDatasetIndex(5, &index))
        iptcRecord_.AddDataset(index, reinterpret_cast<const uint8_t*>(kIptcWarning), sizeof kIptcWarning - 1);
}

void ProImage::LoadAttributes() {
    static const char* const op = "ProImage::LoadAttributes";
    auto required = [&](int32_t status) {
        if (status != 0) YLM_THROW(op, NbErrImageFileOpenFailed);
    };
    ReadCaptureTime();

    // Sizes of 0 would give empty rectangles and divide by zero later.
    int32_t w = 0, h = 0;
    required(ReadInts(401, &w, 1));
    required(ReadInts(402, &h, 1));
    w &= 0xFFFF, h &= 0xFFFF;
    if (w <= 0 || h <= 0) YLM_THROW(op, NbErrImageFileOpenFailed);
    imageRect_ = NbRect(0, 0, w - 1, h - 1);

    std::vector<int32_t> levels;
    required(ReadList(530, levels));
    hasReducedLevel = std::find(levels.begin(), levels.end(), 1) != levels.end();
    previewRect_ = NbRect();
    if (hasReducedLevel) {
        int32_t pw = 0, ph = 0;
        required(ReadInts(403, &pw, 1));
        required(ReadInts(404, &ph, 1));
        pw &= 0xFFFF, ph &= 0xFFFF;
        // A reduced level of no size is no level.
        if (pw > 0 && ph > 0) previewRect_ = NbRect(0, 0, pw - 1, ph - 1);
        else hasReducedLevel = false;
    }

    int32_t tw = 0, th = 0;
    required(ReadInts(405, &tw, 1));
    required(ReadInts(406, &th, 1));
    tw &= 0xFFFF, th &= 0xFFFF;
    if (tw <= 0 || th <= 0) YLM_THROW(op, NbErrImageFileOpenFailed);
    thumbnailRect_ = NbRect(0, 0, tw - 1, th - 1);
    ComputeThumbnailScale(tw, th);

    required(ReadText(526, driverInfoText));
    std::string serial;
    required(ReadText(501, serial));
    if (!serial.empty()) serialNumber_ = serial;
    processParams_.balanceSource = serialNumber_;

    int32_t tagged = 0;
    required(ReadInts(1921, &tagged, 1));
    tagged_ = tagged != 0;

    uint16_t whitePoint[3] = {0, 0, 0};
    canAdjustWhitePoint_ = ReadTriple(321, whitePoint) == 0;
    if (!canAdjustWhitePoint_) std::fill(whitePoint, whitePoint + 3, uint16_t(0));
    std::copy(whitePoint, whitePoint + 3, whitePointAsRead);
    std::copy(whitePoint, whitePoint + 3, whitePointAtCapture);

    int32_t lens = 0;
    if (ReadInts(1970, &lens, 1) == 0) {
        canOptimizeLens_ = true;
        driverLensMin = driverLensMax = 0;
        if (ReadInts(1971, &driverLensMin, 1) != 0) canOptimizeLens_ = false;
        if (ReadInts(1972, &driverLensMax, 1) != 0) canOptimizeLens_ = false;
        if (canOptimizeLens_) {
            lensOptimizationMin_ = driverLensMin;
            lensOptimizationMax_ = driverLensMax;
        }
    } else {
        canOptimizeLens_ = false;
        driverLensMin = driverLensMax = -1;
    }

    ReadProcessParamsFromFile();

    if (canAdjustWhitePoint_) {
        uint16_t low = 0, standard = 0, high = 0;
        GetBalanceKelvinRange(whitePointAsRead[0], &low, &standard, &high);
        const uint16_t k = whitePointAsRead[1];
        const uint16_t clamped = k < low ? low : k > high ? high : k;
        if (clamped != k) whitePointAsRead[1] = whitePointAtCapture[1] = clamped;
    }

    ReadIPTCBlock();

    std::string text;
    int32_t type = 0, size = 0;
    annotation.clear();
    if (AttributeInfo(1905, &type, &size) == 0 && size > 0) required(ReadText(1905, annotation));
    gpsText_.clear();
    if (AttributeInfo(531, &type, &size) == 0 && size > 0) required(ReadText(531, gpsText_));
    if (AttributeInfo(524, &type, &size) == 0 && size > 0) required(ReadText(524, copyright_));

    if (AttributeInfo(1953, &type, &size) == 0 && size > 0 && size <= 64) {
        std::vector<int32_t> value(size_t(size) * 4, 0);
        int32_t n = size;
        if (plugIn->GetAttributeValue(imageRef, 1953, &n, value.data()) == 0 &&
            std::any_of(value.begin(), value.end(), [](int32_t v) { return v != 0; })) {
            std::fill(value.begin(), value.end(), 0);
            plugIn->SetAttributeValue(imageRef, 1953, type, size, value.data());
        }
    }

    ReadToneCapability();

    const int32_t one = 1;
    WriteInts(1952, VrelTypeFlag, &one, 1);

    SetCameraSettings();
    openTime_ = time(nullptr);
}

void ProImage::SetCameraSettings() {
    static const char* const op = "ProImage::SetCameraSettings";
    std::string model;
    if (ReadText(502, model) != 0 || model.empty()) YLM_THROW(op, NbErrImageFileOpenFailed);
    cameraModel_ = model == "Zyn CorvidN" ? "Zyn Corvidn" : model;
    if (ReadText(503, firmwareVersion_) != 0) YLM_THROW(op, NbErrImageFileOpenFailed);
    if (ReadInts(528, &imageNumber_, 1) != 0) YLM_THROW(op, NbErrImageFileOpenFailed);
    int32_t type = 0, size = 0;
    if (AttributeInfo(527, &type, &size) == 0 && size > 0) {
        std::string settings;
        if (ReadText(527, settings) != 0) YLM_THROW(op, NbErrImageFileOpenFailed);
        cameraSettingsBlock_ += settings;
    }
}

// Writing metadata -------------------------------------------------------------

void ProImage::WriteAllMetaDataToFile() {
    static const char* const op = "ProImage::WriteAllMetaDataToFile";
    if (!openedReadWrite && open_) Close();
    wantReadWrite = true;
    if (const int opened = EnsureOpen()) YLM_THROW(op, opened);
    if (IsReadOnly()) YLM_THROW(op, NbErrImageReadOnly);
    const int32_t tagged = tagged_ ? 1 : 0;
    if (WriteInts(1921, VrelTypeFlag, &tagged, 1) != 0) YLM_THROW(op, NbErrAttributeWriteFailed);
    if (iptcChanged_) {
        const uint8_t* start = nullptr;
        uint32_t size = 0;
        int32_t status;
        if (iptcRecord_.GetBuffer(&start, &size) && start && size > 0) {
            if (size > uint32_t(kMaxIptcBytes)) YLM_THROW(op, NbErrAttributeWriteFailed);
            status = WriteBlock(1900, start, int32_t(size));
        } else {
            status = WriteBlock(1900, nullptr, 0);
        }
        if (status != 0) YLM_THROW(op, NbErrAttributeWriteFailed);
        iptcChanged_ = false;
    }
    int32_t type = 0, size = 0;
    std::string stored;
    if (AttributeInfo(1905, &type, &size) == 0 && (size == 0 || ReadText(1905, stored) == 0)) {
        if (stored != annotation) {
            const int32_t status = annotation.empty()
                                       ? WriteBlock(1905, nullptr, 0)
                                       : WriteBlock(1905, annotation.c_str(), int32_t(annotation.size() + 1));
            if (status != 0) YLM_THROW(op, NbErrAttributeWriteFailed);
        }
    } else if (!annotation.empty()) {
        YLM_THROW(op, NbErrAttributeWriteFailed);
    }
    WriteProcessParamsToFile();
    if (!plugIn->SavePersistentAttributes || plugIn->SavePersistentAttributes(imageRef) != 0)
        YLM_THROW(op, NbErrAttributeWriteFailed);
    Close();
    if (modified_) {
        modified_ = false;
        NotifyImageChange(ImageChangeSaved);
    }
}

bool ProImage::SetIPTCRecord(const IPTCNAARecord2& record) {
    if (record.IsEqual(iptcRecord_)) return false;
    iptcRecord_ = record;
    iptcChanged_ = true;
    modified_ = true;
    return true;
}

void ProImage::SetAnnotation(const std::string& text) {
    if (text == annotation) return;
    annotation = text.substr(0, size_t(GetMaxAnnotationLength()));
    modified_ = true;
}

// Profiles, looks, colour modes, resolutions -------------------------------------

std::string ProImage::GetLightingProfileID(int lighting) {
    const char* family = modelCode == 1889 ? "Keelx" : FamilyOfModel(modelCode);
    if (!family || lighting < 0 || lighting > 3) YLM_THROW("ProImage::GetLightingProfileID", NbErrInvalidValue);
    if (modelCode == 1889) lighting = 0;
    static const char* const kLightings[] = {"Daylight", "Tungsten", "Fluorescent", "Flash"};
    const std::string f = family;
    return StaticName("Zyn" + f + kLightings[lighting] + (SourceNamedFamily(f) ? "Source" : "") + ".icm");
}

std::string ProImage::GetLookProfileID(const std::string& lookName) {
    if (lookName.empty()) YLM_THROW("ProImage::GetLookProfileID", NbErrInvalidValue);
    return lookName;
}

std::string ProImage::GetOutputProfileID(int outputSpaceMode) {
    if (outputSpaceMode != 0) YLM_THROW("ProImage::GetOutputProfileID", NbErrInvalidValue);
    return StaticName("ORVEX_sRGB.icm");
}

YlmRefPtr<ColorSpaceDesc> ProImage::GetProfileFromAttribute(int32_t id) {
    int32_t type = 0, size = 0;
    if (AttributeInfo(id, &type, &size) != 0 || size == 0) return YlmRefPtr<ColorSpaceDesc>();
    std::vector<uint8_t> block;
    if (ReadBlock(id, block) != 0) YLM_THROW("ProImage::GetProfileFromAttribute", NbErrReadSettingsFailed);
    // Making a profile from bytes is the colour engine's; without one the
    // stored look is not taken over.
    ColorServices* services = ColorServices::Get();
    if (!services) return YlmRefPtr<ColorSpaceDesc>();
    YlmRefPtr<ColorSpaceDesc> profile = services->MakeProfile(block.data(), uint32_t(block.size()));
    if (profile && !isColor_) {
        // A monochrome file's copy of a grey look gives way to the
        // engine's own profile of that look.
        const std::string name = profile->Name();
        const std::string product = services->GetStaticProfileName("ZynProductGrayscale.icm");
        const std::string portrait = services->GetStaticProfileName("ZynPortraitGrayscale.icm");
        if (!name.empty() && (name == product || name == portrait)) {
            YlmRefPtr<ColorSpaceDesc> own =
                services->FindProfile(name.find("ortrait") != std::string::npos ? portrait : product);
            if (own) profile = own;
        }
    }
    return profile;
}

void ProImage::StoreProfileInAttribute(const YlmRefPtr<ColorSpaceDesc>& profile, int32_t id) {
    static const char* const op = "ProImage::StoreProfileInAttribute";
    std::vector<uint8_t> bytes;
    try {
        if (profile) bytes = profile->GetICCData();
    } catch (const YlmErrp&) {
        YLM_THROW(op, NbErrAttributeWriteFailed);
    }
    if (bytes.empty() || bytes.size() > size_t(INT32_MAX) ||
        WriteBlock(id, bytes.data(), int32_t(bytes.size())) != 0)
        YLM_THROW(op, NbErrAttributeWriteFailed);
}

std::vector<int> ProImage::GetSupportedColorModes() {
    if (isColor_) return {2, 0, 1};
    return {2, 1};
}

std::vector<std::string> ProImage::GetAvailableLooks() {
    const ColorServices* services = ColorServices::Get();
    std::vector<std::string> looks;
    const std::vector<int> modes = GetSupportedColorModes();
    if (services)
        looks = std::find(modes.begin(), modes.end(), 0) != modes.end() ? services->GetLookList()
                                                                         : services->GetGrayscaleLookList();
    if (!captureLookName.empty() && rawCameraLook_) {
        looks.push_back(captureLookName);
        std::sort(looks.begin(), looks.end());
    }
    return looks;
}

std::map<int, NbRect> ProImage::GetAvailableResolutions() {
    std::map<int, NbRect> resolutions;
    resolutions[1] = imageRect_;
    if (hasReducedLevel) {
        const int64_t full = imageRect_.Width(), reduced = previewRect_.Width();
        if (reduced > 0) resolutions[int((full + (reduced + 1) / 2) / reduced)] = previewRect_;
    }
    return resolutions;
}

bool ProImage::CanWhiteBalanceFileBeSaved(int* kind) {
    if (kind) *kind = 7;
    return true;
}

void ProImage::GetProcessParamsFromSDK() {
    if (attributesLoaded) return;
    try {
        ReadProcessParamsFromFile();
    } catch (...) {
    }
}

bool ProImage::GetProcessParamsLoaded() {
    if (attributesLoaded) return true;
    try {
        ReadProcessParamsFromFile();
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace NimbalCore
