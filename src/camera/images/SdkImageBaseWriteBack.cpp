// Settings that travel with the picture, written back into the file of an
// oldest-model image in place: the description, the stored settings block and
// the print resolution. Every write stays inside the field it replaces and
// inside the file; nothing is written before every check has passed.
#include "SdkImageBase.h"

#include <algorithm>
#include <cstring>

#include "SdkCamera.h"
#include "SdkRenderer.h"
#include "StoredSettingsRecord.h"

namespace lumora::vq {

namespace {

constexpr uint32_t kPatchableHeadBytes = 2048;
constexpr int32_t kUnitInch = 1, kUnitCentimetre = 2;
constexpr uint32_t kMaxPerInch = 10000, kMaxPerCentimetre = 4000;

void Put16(uint8_t* at, uint16_t v, bool big) {
    at[big ? 0 : 1] = uint8_t(v >> 8);
    at[big ? 1 : 0] = uint8_t(v);
}

void Put32(uint8_t* at, uint32_t v, bool big) {
    for (int i = 0; i < 4; ++i) at[big ? 3 - i : i] = uint8_t(v >> (8 * i));
}

} // namespace

VqStatus SdkImageBase::CheckInsideFile(uint64_t at, uint32_t length) {
    if (!camera_) return VQ_ERR_BAD_HANDLE;
    uint32_t size = fileSize_;
    if (size == 0) {
        uint16_t date = 0, time = 0;
        if (VqStatus status = camera_->GetEntryFacts(imageIndex_, &size, &date, &time)) return status;
    }
    if (at + length > size || at > uint64_t(INT32_MAX)) return VQ_ERR_READ_PAST_BUFFER;
    return 0;
}

VqStatus SdkImageBase::WriteInsideFile(uint64_t offset, const void* bytes, uint32_t length) {
    const uint64_t at = offset + tiffOffset_;
    if (VqStatus status = CheckInsideFile(at, length)) return status;
    return StoredSettingsRecord::WriteWithRetry(camera_, imageIndex_, bytes, length, uint32_t(at));
}

void SdkImageBase::BuildStoredBlock(uint8_t (&block)[kStoredBlockBytes]) const {
    std::memset(block, 0, sizeof block);
    const bool big = bigEndian_ != 0;
    block[1] = uint8_t(std::min<uint32_t>(info_.outputType, 15) << 4 | std::min<uint32_t>(whiteBalanceType_, 15));
    for (int i = 0; i < 3; ++i) Put16(block + 2 + 2 * i, whiteBalance_[i], big);
    Put16(block + 8, uint16_t(int32_t(Rotation())), big);
    const int16_t window[4] = {outputWindow_.x, outputWindow_.y, outputWindow_.width, outputWindow_.height};
    for (int i = 0; i < 4; ++i) Put16(block + 10 + 2 * i, uint16_t(window[i]), big);
    block[18] = uint8_t(lookIndex_);
    uint32_t sum = 0;
    for (uint32_t i = 1; i < kStoredBlockBytes; ++i) sum += block[i];
    block[0] = uint8_t(sum);
}

VqStatus SdkImageBase::SaveProcessParameters() {
    uint8_t block[kStoredBlockBytes];
    BuildStoredBlock(block);
    if (std::memcmp(block, storedBlock_, sizeof block) != 0) {
        if (storedBlockOffset_ == 0) return VQ_ERR_NO_SETTINGS_RECORD;
        if (uint64_t(storedBlockOffset_) + kStoredBlockBytes > kPatchableHeadBytes) return VQ_ERR_BAD_FILE;
        if (VqStatus status = WriteInsideFile(storedBlockOffset_, block, kStoredBlockBytes)) return status;
        std::memcpy(storedBlock_, block, sizeof block);
    }
    return SaveResolution();
}

VqStatus SdkImageBase::SetDescription(ImageInfoRecord* record, uint32_t length, const char* text) {
    if (length == 0) return 0;
    if (!text) return VQ_ERR_BAD_HANDLE;
    if (length > descriptionFieldLength_) return VQ_ERR_DESCRIPTION_TOO_LONG;
    // Only a field of its own (not inline in its entry) inside the head can be
    // rewritten.
    if (descriptionFieldLength_ <= 4 || descriptionFieldOffset_ == 0) return VQ_ERR_TAG_NOT_FOUND;
    if (uint64_t(descriptionFieldOffset_) + descriptionFieldLength_ > kPatchableHeadBytes) return VQ_ERR_BAD_FILE;
    // The text ends where the field ends; the field's earlier bytes stay.
    const uint32_t at = descriptionFieldOffset_ + (descriptionFieldLength_ - length);
    if (VqStatus status = WriteInsideFile(at, text, length)) return status;
    std::string field(descriptionFieldLength_, '\0');
    if (camera_ && camera_->ReadImageBytes(imageIndex_, descriptionFieldLength_, field.data(), 0,
                                           int32_t(descriptionFieldOffset_ + tiffOffset_), 0) == 0) {
        description_ = std::move(field);
        info_.description = description_.data();
        info_.descriptionLength = descriptionFieldLength_;
    }
    if (record) {
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
    }
    return 0;
}

void SdkImageBase::LoadResolution(const ResolutionRecord& r) {
    resolutionPositions_ = r;
    int32_t precision = r.xDenominator == 100 ? 1 : r.xDenominator == 1000 ? 2 : 0;
    int32_t unit = r.unitPresent ? int32_t(r.unit) - 1 : int32_t(r.yDenominator);
    if (unit < kUnitInch || unit > kUnitCentimetre) {
        precision = 0;
        unit = kUnitInch;
    }
    int64_t value = 0;
    if (r.xDenominator != 0) value = int64_t(double(r.xNumerator) / double(r.xDenominator) + 0.5);
    const int64_t limit = unit == kUnitCentimetre ? kMaxPerCentimetre : kMaxPerInch;
    if (r.xDenominator == 0 || value < 1 || value > limit) precision = 0;
    storedResolution_ = precision == 0 ? ResolutionValue{300, kUnitInch, 0}
                                       : ResolutionValue{int32_t(value), unit, precision};
    resolution_ = storedResolution_;
    resolutionDirty_ = false;
}

VqStatus SdkImageBase::SetResolution(uint32_t value, int32_t unit, uint32_t) {
    if (unit < kUnitInch || unit > kUnitCentimetre) return VQ_ERR_BAD_RESOLUTION_UNIT;
    value &= 0xFFFF;
    if (value == 0 || value > (unit == kUnitCentimetre ? kMaxPerCentimetre : kMaxPerInch))
        return VQ_ERR_BAD_RESOLUTION;
    resolution_ = {int32_t(value), unit, 2};
    if (!(storedResolution_.value == int32_t(value) && storedResolution_.unit == unit &&
          storedResolution_.precision == 2))
        resolutionDirty_ = true;
    return 0;
}

VqStatus SdkImageBase::SaveResolution() {
    if (!resolutionDirty_) return 0;
    const ResolutionRecord& p = resolutionPositions_;
    const bool big = bigEndian_ != 0;
    VqStatus status = 0;
    // Without the fields in the file there is nowhere to put the values.
    if (p.xOffset == 0 || p.yOffset == 0) status = VQ_ERR_RESOLUTION_NOT_SAVED;
    uint8_t x[8], y[8], unit[2];
    const uint32_t v = uint32_t(resolution_.value);
    Put32(x, v * 1000, big);
    Put32(x + 4, 1000, big);
    Put32(y, resolution_.unit == kUnitCentimetre ? 2 * v : v, big);
    Put32(y + 4, resolution_.unit == kUnitCentimetre ? 2 : 1, big);
    Put16(unit, uint16_t(resolution_.unit + 1), big);
    // Every position is checked before the first byte is written.
    uint32_t size = fileSize_;
    if (!status && size == 0 && camera_) {
        uint16_t d = 0, t = 0;
        status = camera_->GetEntryFacts(imageIndex_, &size, &d, &t);
    }
    auto inside = [&](uint64_t at, uint32_t n) { return at + tiffOffset_ + n <= size; };
    if (!status && (!inside(p.xOffset, 8) || !inside(p.yOffset, 8) || (p.unitPosition && !inside(p.unitPosition, 2))))
        status = VQ_ERR_READ_PAST_BUFFER;
    if (!status) status = WriteInsideFile(p.xOffset, x, 8);
    if (!status) status = WriteInsideFile(p.yOffset, y, 8);
    if (!status && p.unitPosition) status = WriteInsideFile(p.unitPosition, unit, 2);
    if (status) {
        resolution_ = storedResolution_;
        return status;
    }
    storedResolution_ = resolution_;
    resolutionDirty_ = false;
    return 0;
}

} // namespace lumora::vq
