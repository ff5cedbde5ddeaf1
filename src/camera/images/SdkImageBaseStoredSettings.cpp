// The oldest models' stored settings: the 22-byte block a camera or an earlier
// session left in the file, the records of tag 65535, and the two looks.
#include "SdkImageBase.h"

#include <algorithm>
#include <cstring>

#include "ByteView.h"
#include "DriverSettings.h"
#include "SdkRenderer.h"

namespace lumora::vq {

namespace {

// Record codes of tag 65535.
constexpr uint8_t kRecordEnd = 0;
constexpr uint8_t kRecordShading1 = 3;
constexpr uint8_t kRecordShading2 = 4;
constexpr uint8_t kRecordUnpackOffset = 5;

// Fields of the stored block.
constexpr uint32_t kBlockTypes = 1;    // output type (high nibble), balance type (low)
constexpr uint32_t kBlockBalance = 2;  // three 16-bit values
constexpr uint32_t kBlockRotation = 8;
constexpr uint32_t kBlockWindow = 10;
constexpr uint32_t kBlockLook = 18;
constexpr uint8_t kMaxStoredLook = 10;

} // namespace

const SensorGroupSettings* SdkImageBase::GroupSettings() const {
    if (!settings_ || sensorGroup_ < 0 || sensorGroup_ >= kSensorGroupCount) return nullptr;
    return &settings_->Group(SensorGroup(sensorGroup_));
}

bool SdkImageBase::StoredBlockCounts(const uint8_t (&block)[kStoredBlockBytes]) {
    uint32_t sum = 0;
    bool any = false;
    for (uint32_t i = 0; i < kStoredBlockBytes; ++i) {
        any = any || block[i] != 0;
        if (i > 0) sum += block[i];
    }
    return any && uint8_t(sum) == block[0];
}

void SdkImageBase::DecodeSettingsRecords(const uint8_t* records, uint32_t length) {
    for (auto& block : shadingBlocks_) {
        std::fill(block, block + 4, 0);
        block[4] = 0x100000;
    }
    unpackOffsetCode_ = 0;
    const ByteView view(records, std::min(length, kSettingsRecordsBytes));
    // At most four records fit the value; the walk never leaves it.
    for (uint64_t at = 0; at + kSettingsRecordBytes <= view.size(); at += kSettingsRecordBytes) {
        uint8_t code = 0;
        view.u8(at, code);
        if (code == kRecordEnd) break;
        if (code == kRecordShading1 || code == kRecordShading2) {
            int32_t* block = shadingBlocks_[code == kRecordShading1 ? 0 : 1];
            static constexpr uint32_t kPositions[4] = {6, 10, 4, 8};
            for (int i = 0; i < 4; ++i) {
                uint16_t v = 0;
                view.u16(at + kPositions[i], ByteOrder::Little, v);
                block[i] = int16_t(v);
            }
            uint32_t c = 0;
            view.u32(at + 12, ByteOrder::Little, c);
            block[4] = int32_t(c);
        } else if (code == kRecordUnpackOffset) {
            view.u16(at + 1, ByteOrder::Little, unpackOffsetCode_);
        }
    }
}

void SdkImageBase::ApplyStoredSettings() {
    const bool colour = info_.isColour != 0;
    if (StoredBlockCounts(storedBlock_)) {
        const ByteView block(storedBlock_, kStoredBlockBytes);
        const ByteOrder order = bigEndian_ ? ByteOrder::Big : ByteOrder::Little;
        const uint8_t types = storedBlock_[kBlockTypes];
        SetImageType(types >> 4, 0);
        whiteBalanceType_ = types & 0x0F;
        for (int i = 0; i < 3; ++i) block.u16(kBlockBalance + 2 * i, order, whiteBalance_[i]);
        uint16_t degrees = 0;
        block.u16(kBlockRotation, order, degrees);
        const float rotation = degrees;
        SetRendererParameter(lumora::RP_ROTATION, &rotation, sizeof rotation);
        uint16_t w[4] = {};
        for (int i = 0; i < 4; ++i) block.u16(kBlockWindow + 2 * i, order, w[i]);
        const int64_t activeW = ActiveWidth(), activeH = ActiveHeight();
        if (w[0] >= marginLeft_ && w[0] <= activeW && w[1] >= marginTop_ && w[1] <= activeH && w[2] >= 8 &&
            w[2] <= activeW && w[3] >= 8 && w[3] <= activeH)
            outputWindow_ = {int16_t(w[0]), int16_t(w[1]), int16_t(w[2]), int16_t(w[3])};
        else
            outputWindow_ = {int16_t(marginLeft_), int16_t(marginTop_), int16_t(activeW), int16_t(activeH)};
        if (storedBlock_[kBlockLook] <= kMaxStoredLook) lookIndex_ = storedBlock_[kBlockLook];
        // The renderer turns only in quarter turns: any other angle would make
        // every rendering of the file fail, so it counts as out of range.
        if (whiteBalanceType_ < 9 && degrees < 360 && degrees % 90 == 0) {
            info_.flags |= VQ_IMAGE_SETTINGS_VALID;
            return;
        }
    }
    info_.flags &= ~uint32_t(VQ_IMAGE_SETTINGS_VALID);
    SetImageType(colour ? VQ_TYPE_RGB8 : VQ_TYPE_GRAY8, 0);
    whiteBalanceType_ = VQ_WB_DAYLIGHT;
    whiteBalance_[0] = whiteBalance_[1] = whiteBalance_[2] = 240;
    const float rotation = 0.0f;
    SetRendererParameter(lumora::RP_ROTATION, &rotation, sizeof rotation);
    lookIndex_ = 0;
}

VqStatus SdkImageBase::SetColorMatrixFromShorts(const int16_t (&values)[9]) {
    RationalValue matrix[9];
    for (int i = 0; i < 9; ++i) matrix[i] = {values[i], 32};
    return SetRendererParameter(lumora::RP_COLOR_MATRIX, matrix, sizeof matrix);
}

VqStatus SdkImageBase::SetRendererBlock(uint32_t id, const int32_t (&words)[18]) {
    return SetRendererParameter(id, words, sizeof words);
}

VqStatus SdkImageBase::SetLook(int32_t look) {
    if (look != 0 && look != 1) return VQ_ERR_NAME_NOT_FOUND;
    lookIndex_ = look;
    SetRendererParameter(lumora::RP_LOOK, &look, sizeof look);
    uint16_t* curve = look == 1 ? filmCurve_.data() : logCurve_.data();
    SetRendererParameter(lumora::RP_TONE_CURVE, &curve, sizeof curve);
    const int32_t size = kToneCurveEntries;
    SetRendererParameter(lumora::RP_TONE_CURVE_SIZE, &size, sizeof size);
    const uint16_t maximum = look == 1 ? uint16_t(filmCurveLength_) : maximumValue_;
    SetRendererParameter(lumora::RP_MAX_VALUE, &maximum, sizeof maximum);
    if (const SensorGroupSettings* group = GroupSettings())
        SetColorMatrixFromShorts(look == 1 ? group->loSatMatrix : group->hiSatMatrix);
    return 0;
}

} // namespace lumora::vq
