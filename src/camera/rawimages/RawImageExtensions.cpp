// Image operations, camera values and the extension calls.
#include "RawImage.h"

#include <algorithm>
#include <cstring>

#include "RawEngine.h"
#include "SdkRenderer.h"
#include "StoredSettingsRecord.h"

namespace lumora::vq {

namespace {

constexpr uint32_t kColourFlags = 0x1BF8u;

} // namespace

VqStatus RawImage::SetColourFlags() {
    // A monochrome file never reports itself as colour.
    info_.flags = info_.isColour ? kColourFlags : (kColourFlags & ~uint32_t(VQ_IMAGE_COLOUR));
    return 0;
}

VqStatus RawImage::SetWhiteBalance(uint32_t, const uint16_t*) { return VQ_ERR_NOT_FOR_THIS_KIND; }
VqStatus RawImage::GetWhiteBalance(uint32_t*, uint16_t*) { return VQ_ERR_NOT_FOR_THIS_KIND; }

VqStatus RawImage::WriteWhiteBalanceFile(VqPathRecord, void*) {
    info_.whiteBalanceFileStatus = int32_t(VQ_ERR_WB_FILE_UNSUPPORTED_RAW);
    return VQ_ERR_WB_FILE_UNSUPPORTED_RAW;
}

VqStatus RawImage::LoadCache(void* buffer, int32_t steps, int32_t* done) {
    if (!renderer_) return VQ_ERR_PROCESS_NO_MEMORY;
    return renderer_->LoadCache(static_cast<uint8_t*>(buffer), uint32_t(steps < 0 ? 0 : steps), done, 2);
}

VqStatus RawImage::GetHidden(uint32_t id, void* out) {
    if (SdkImageBase::GetHidden(id, out) == 0) return 0;
    if (id >= 20) return VQ_ERR_UNKNOWN_PROPERTY;
    if (!out) return VQ_ERR_BAD_HANDLE;
    if (id <= 9 || id == 18) {
        const HiddenEntry& e = hidden_[id];
        if (e.value && e.size) std::memcpy(out, e.value, e.size);
        return 0;
    }
    if (id == 15) {
        std::memcpy(out, &badColumnWord_, sizeof badColumnWord_);
        return 0;
    }
    return VQ_ERR_UNKNOWN_PROPERTY;
}

VqStatus RawImage::SetHidden(uint32_t id, void* value) {
    if (SdkImageBase::SetHidden(id, value) == 0) return 0;
    if (id >= 20) return VQ_ERR_UNKNOWN_PROPERTY;
    if (id == 9 || id == 18 || id == 15) {
        if (!value) return VQ_ERR_BAD_HANDLE;
        if (id == 15)
            std::memcpy(&badColumnWord_, value, sizeof badColumnWord_);
        else
            std::memcpy(hidden_[id].value, value, hidden_[id].size);
        return 0;
    }
    return VQ_ERR_PROPERTY_READ_ONLY;
}

namespace {

// A camera value is copied to the caller whether or not the file had it; an
// absent one is answered as such.
template <typename T>
VqStatus AnswerValue(void* out, T value, bool absent) {
    if (!out) return VQ_ERR_BAD_HANDLE;
    std::memcpy(out, &value, sizeof value);
    return absent ? VQ_ERR_VALUE_ABSENT : 0;
}

} // namespace

VqStatus RawImage::GetCameraValue(uint32_t id, void* out) {
    const CameraValues& v = cameraValues_;
    auto absent16 = [](int16_t x) { return x == int16_t(kRawAbsent); };
    auto absentF = [](float x) { return x == kRawAbsentFloat; };
    switch (id) {
    case 0: return AnswerValue<int32_t>(out, std::clamp(v.cameraPreset, 0, 4), false);
    case 1: return AnswerValue<int32_t>(out, 2, false);
    case 3: return AnswerValue<int32_t>(out, v.cameraSettingWord, v.cameraSettingWord == kRawAbsent);
    case 4: return AnswerValue<float>(out, v.exposureIndex, absentF(v.exposureIndex));
    case 5: return AnswerValue<float>(out, v.fNumber, absentF(v.fNumber));
    case 6: {
        if (!out) return VQ_ERR_BAD_HANDLE;
        if (v.exposureTime[0] == kRawAbsent) cameraValues_.exposureTime[1] = 1;
        std::memcpy(out, cameraValues_.exposureTime, sizeof cameraValues_.exposureTime);
        return v.exposureTime[0] == kRawAbsent ? VQ_ERR_VALUE_ABSENT : 0;
    }
    case 7: return AnswerValue<float>(out, v.exposureBias, absentF(v.exposureBias));
    case 8: return AnswerValue<int32_t>(out, v.meteringMode, absent16(v.meteringMode));
    case 9: return AnswerValue<int16_t>(out, v.flash, absent16(v.flash));
    case 10: return AnswerValue<int16_t>(out, v.cameraSettingA, absent16(v.cameraSettingA));
    case 11: return AnswerValue<float>(out, v.cameraSettingRatio, absentF(v.cameraSettingRatio));
    case 12: return AnswerValue<int16_t>(out, v.cameraSettingB, absent16(v.cameraSettingB));
    case 13: return AnswerValue<int16_t>(out, v.cameraSettingC, absent16(v.cameraSettingC));
    case 14: return AnswerValue<float>(out, v.subjectDistance, absentF(v.subjectDistance));
    case 15: return AnswerValue<int16_t>(out, v.exposureProgram, absent16(v.exposureProgram));
    case 16: return AnswerValue<float>(out, v.focalLength, absentF(v.focalLength));
    case 17:
        return AnswerValue<int32_t>(out, int32_t(v.settingsData.count),
                                    v.settingsData.offset == uint32_t(kRawAbsent));
    case 18: {
        // The caller's value holds the address of its buffer.
        if (!out) return VQ_ERR_BAD_HANDLE;
        void* buffer = nullptr;
        std::memcpy(&buffer, out, sizeof buffer);
        if (!buffer) return VQ_ERR_BAD_HANDLE;
        if (settingsData_.empty()) return VQ_ERR_VALUE_ABSENT;
        std::memcpy(buffer, settingsData_.data(), settingsData_.size());
        return 0;
    }
    default: return VQ_ERR_UNKNOWN_EXTENSION;
    }
}

VqStatus RawImage::CalculateWhiteBalance(const SdkRect* area, uint16_t* out) {
    if (!area || !out) return VQ_ERR_NULL_OUTPUT;
    if (!renderer_) return VQ_ERR_NOT_SUPPORTED;
    lumora::SensorGeometry g;
    std::memcpy(&g, savedGeometry_, sizeof g);
    return renderer_->SampleWhiteBalance(area, out, int32_t(hiddenWord9_), &g);
}

VqStatus RawImage::SetDescription(ImageInfoRecord* record, uint32_t length, const char* text) {
    if (length > kDescriptionBytes) return VQ_ERR_DESCRIPTION_TOO_LONG;
    if (!text) return VQ_ERR_BAD_HANDLE;
    if (record && length == record->descriptionLength &&
        (length == 0 || (record->description && std::memcmp(record->description, text, length) == 0)))
        return 0;
    // The field is rewritten in place: a file whose field is shorter than the
    // usual 512 bytes takes no more than it has, so nothing after it is touched.
    const uint32_t field = std::min(descriptionField_, kDescriptionBytes);
    VqStatus status = 0;
    if (length > field || descriptionOffset_ == 0) {
        status = VQ_ERR_DESCRIPTION_TOO_LONG;
    } else {
        std::string buffer(field, '\0');
        std::memcpy(buffer.data(), text, length);
        status = StoredSettingsRecord::WriteWithRetry(camera_, imageIndex_, buffer.data(), field, descriptionOffset_);
        if (status == 0) {
            description_ = std::move(buffer);
            info_.description = description_.data();
            info_.descriptionLength = field;
        }
    }
    if (status != VQ_ERR_DESCRIPTION_TOO_LONG && record) {
        record->descriptionLength = info_.descriptionLength;
        record->description = info_.description;
        record->modelLength = info_.modelLength;
        record->model = info_.model;
        record->model2Length = info_.model2Length;
        record->model2 = info_.model2;
        record->processingDataLength = info_.processingDataLength;
        record->processingData = info_.processingData;
        record->softwareLength = info_.softwareLength;
        record->software = info_.software;
        record->settingsDataLength = info_.settingsDataLength;
        record->settingsData = info_.settingsData;
        record->extraDataLength = info_.extraDataLength;
        record->extraData = info_.extraData;
        record->cameraTextLength = info_.cameraTextLength;
        record->cameraText = info_.cameraText;
    }
    return status;
}

VqStatus RawImage::SetCameraSetting3(uint32_t value) {
    const int32_t current = cameraValues_.cameraSettingWord;
    // A file without the setting has no place to write it to.
    if (current == kRawAbsent || cameraValues_.cameraSettingWordPosition == 0) return VQ_ERR_VALUE_ABSENT;
    // Only switching the setting on or off is written.
    if ((current == 0) == (value == 0)) return 0;
    // In the file's own byte order, where the reader will look for it.
    uint8_t bytes[4] = {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
    if (!bigEndian_) std::reverse(bytes, bytes + 4);
    const VqStatus status = StoredSettingsRecord::WriteWithRetry(camera_, imageIndex_, bytes, sizeof bytes,
                                                                 cameraValues_.cameraSettingWordPosition);
    if (status == 0) cameraValues_.cameraSettingWord = int32_t(value);
    return status;
}

VqStatus RawImage::GetExtension(uint32_t id, void* out) {
    if (id <= VQ_EXT_SETTING_BLOCK) return GetCameraValue(id, out);
    switch (id) {
    case VQ_EXT_SETTINGS_TRIPLE:
        if (!out) return VQ_ERR_BAD_HANDLE;
        std::memcpy(out, settingsTriple_, sizeof settingsTriple_);
        return 0;
    case VQ_EXT_RANGE_TRIPLE_1:
    case VQ_EXT_RANGE_TRIPLE_1 + 1:
    case VQ_EXT_RANGE_TRIPLE_3:
    case VQ_EXT_RANGE_TRIPLE_3 + 1:
        if (!out) return VQ_ERR_BAD_HANDLE;
        std::memcpy(out, rangeTriples_[id - VQ_EXT_RANGE_TRIPLE_1], sizeof rangeTriples_[0]);
        return 0;
    case VQ_EXT_TRIPLE_43:
        if (!out) return VQ_ERR_BAD_HANDLE;
        std::memcpy(out, triple43_, sizeof triple43_);
        return 0;
    case VQ_EXT_PARAM_70:
        if (!out) return VQ_ERR_BAD_HANDLE;
        std::memcpy(out, &extension44_, sizeof extension44_);
        return 0;
    case VQ_EXT_WHITE_BALANCE: {
        if (!out) return VQ_ERR_BAD_HANDLE;
        VqWhiteBalanceMode s{};
        GetBalanceMode(&s, true);
        std::memcpy(out, &s, sizeof s);
        return 0;
    }
    case VQ_EXT_LOOK_SET:
        if (!out) return VQ_ERR_BAD_HANDLE;
        std::memcpy(out, &lookIndex_, sizeof lookIndex_);
        return 0;
    case VQ_EXT_PARAM_78: {
        if (!out || !renderer_) return VQ_ERR_BAD_HANDLE;
        std::memcpy(out, renderer_->Parameter(RP_CAMERA_RGB_MODE), sizeof(int32_t));
        return 0;
    }
    case VQ_EXT_EXPOSURE: {
        if (!out) return VQ_ERR_BAD_HANDLE;
        const VqExposureRecord r{float(exposure_), exposureAvailable_, 0};
        std::memcpy(out, &r, sizeof r);
        return 0;
    }
    case VQ_EXT_LOOK_COUNT: {
        if (!out) return VQ_ERR_BAD_HANDLE;
        // The file's own looks; a colour file's look counts only with its matrix.
        const int32_t count = looks_.CountLooks(true, info_.isColour != 0);
        std::memcpy(out, &count, sizeof count);
        return 0;
    }
    case VQ_EXT_BALANCE_RATIOS: {
        if (!out) return VQ_ERR_BAD_HANDLE;
        // The measured balance (tag 2125) as whole ratios; a file without a
        // usable one has no such extension.
        const uint32_t* t = balanceTriples_[5];
        if (t[1] == 0 || t[3] == 0 || t[5] == 0) return VQ_ERR_UNKNOWN_EXTENSION;
        const uint16_t ratios[3] = {uint16_t(t[0] / t[1]), uint16_t(t[2] / t[3]), uint16_t(t[4] / t[5])};
        if (ratios[0] == 0 || ratios[1] == 0 || ratios[2] == 0) return VQ_ERR_UNKNOWN_EXTENSION;
        std::memcpy(out, ratios, sizeof ratios);
        return 0;
    }
    case VQ_EXT_SHARPENING:
    case VQ_EXT_CHROMA_FILTER:
    case VQ_EXT_IPTC:
    case VQ_EXT_LOOK_NAMES:
    case VQ_EXT_RESOLUTION:
    case VQ_EXT_BALANCE_PRESET:
    case VQ_EXT_FILE_DATE:
    case VQ_EXT_SDK_VERSION:
        return SdkImageBase::GetExtension(id, out);
    default:
        return VQ_ERR_UNKNOWN_EXTENSION;
    }
}

VqStatus RawImage::SetExtension(uint32_t id, void* data, uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4) {
    const uint32_t w0 = uint32_t(reinterpret_cast<uintptr_t>(data));
    switch (id) {
    case 3:
        return SetCameraSetting3(w0);
    case VQ_EXT_SETTINGS_TRIPLE:
        settingsTriple_[0] = w0;
        settingsTriple_[1] = w1;
        settingsTriple_[2] = w2;
        return 0;
    case VQ_EXT_PARAM_70:
        extension44_ = w0;
        return 0;
    case VQ_EXT_WHITE_BALANCE:
        return ApplyBalanceMode(int32_t(w0), int32_t(w1), int32_t(w2), w3, uint16_t(w4), 1, info_.outputType);
    case VQ_EXT_LOOK_SET:
        return SelectLook(int32_t(w0));
    case VQ_EXT_PARAM_78:
        return SetCameraRgbMode(int32_t(w0));
    case VQ_EXT_EXPOSURE: {
        float stops = 0;
        std::memcpy(&stops, &w0, sizeof stops);
        return SetExposure(stops);
    }
    case VQ_EXT_SHARPENING:
    case VQ_EXT_CHROMA_FILTER:
    case VQ_EXT_IPTC:
    case VQ_EXT_RESOLUTION:
        return SdkImageBase::SetExtension(id, data, w1, w2, w3, w4);
    default:
        return VQ_ERR_UNKNOWN_EXTENSION;
    }
}

} // namespace lumora::vq
