// The stored settings record: applied when a file opens, written back on save.
#include "RawImage.h"

#include <cstring>

#include "RawEngine.h"
#include "RawTag.h"
#include "SdkRenderer.h"
#include "StoredSettingsRecord.h"

namespace lumora::vq {

VqStatus RawImage::ApplyStoredSettings(bool present, VqWhiteBalanceMode* state) {
    using Record = StoredSettingsRecord;
    Record::ProcessBlock block;
    bool valid = present;
    if (present) {
        valid = Record::DecodeProcessBlock(storedSettings_, &block);
        ReadSettingsBlock(storedSettings_ + Record::kProcessBytes);
    }
    VqWhiteBalanceMode decoded{};
    if (valid) {
        uint32_t type = block.outputType;
        if (type > VQ_TYPE_MONO16) valid = false;
        type = MapTypeForMonochrome(type);
        if (valid) {
            info_.outputType = type;
            SetParameter<int32_t>(RP_OUTPUT_TYPE, int32_t(type));
            uint32_t space = info_.colourSpace;
            SdkImageBase::OnImageTypeChanged(type, &space, &info_.geometry.channels);
            UpdateColorMatrices(info_.isColour, type);
            int32_t bytes = 0, channels = 0;
            if (renderer_ && renderer_->GetOutputFormat(type, &bytes, &channels) == 0) {
                info_.geometry.channels = channels;
                info_.geometry.bytesPerSample = bytes;
            }
        }
        const uint8_t version = block.version;
        if (version == 1) valid = DecodeStoredBalanceV1(block, &decoded) && valid;
        else if (version == 2 || version == 3) valid = DecodeStoredBalance(block, &decoded) && valid;
        else valid = false;

        uint32_t rotation = block.rotation;
        if (rotation >= 360) rotation = 0;
        SetParameter<float>(RP_ROTATION, float(rotation));
        ApplyStoredWindow(block);
        if (block.look <= 10) lookIndex_ = block.look;
        if (sharpeningAvailable_) {
            sharpenMode_ = block.sharpenMode;
            sharpenLevel_ = block.sharpenLevel;
        }
        double exposure = block.exposure * 0.0001;
        ClampExposure(&exposure);
        exposure_ = exposure;
        if (block.chroma <= 100) chromaLevel_ = block.chroma;
        if (valid && settingsTriple_[0] == 0xFFFFFFFFu) {
            const uint32_t* triple = RangeTriple(sharpeningAvailable_ ? block.sharpenLevel : sharpenLevel_);
            std::memcpy(settingsTriple_, triple, sizeof settingsTriple_);
        }
    }
    if (valid) {
        DeriveCustomFlag(&decoded, block.version);
        *state = decoded;
    } else {
        ResetDefaults(state);
    }
    if (valid) info_.flags |= VQ_IMAGE_SETTINGS_VALID;
    else info_.flags &= ~uint32_t(VQ_IMAGE_SETTINGS_VALID);
    return 0;
}

bool RawImage::DecodeStoredBalanceV1(const StoredSettingsRecord::ProcessBlock& block, VqWhiteBalanceMode* state) {
    const uint8_t code = block.balanceCode;
    const uint16_t r = block.red, g = block.green, b = block.blue;
    if (code > 8) return false;
    *state = {};
    state->mode = 1;
    switch (code) {
    case 5: {
        // A custom triple names the preset it looks like.
        const uint16_t triple[3] = {r, g, b};
        int32_t cls = 0;
        if (!renderer_ || renderer_->IsGreyPatch(triple, &cls, greyTestValue_, greyTestRatio_) != 0) return false;
        if (cls < 0 || cls > 3) return false;
        state->preset = cls;
        state->r = r;
        state->g = g;
        state->b = b;
        state->kind = 0;
        return true;
    }
    case 1: case 2: case 3: case 4:
        state->kind = 0;
        state->preset = code - 1;
        return true;
    case 6:
        state->kind = 1;
        state->r = state->g = state->b = 1;
        state->preset = 4;
        return true;
    case 7:
        state->kind = 0;
        state->preset = 4;
        return true;
    default:
        return false;
    }
}

bool RawImage::DecodeStoredBalance(const StoredSettingsRecord::ProcessBlock& block, VqWhiteBalanceMode* state) {
    const uint8_t code = block.balanceCode;
    // Code 9 is what a save writes for a balance that is off (every grey file):
    // it is a valid record, not a damaged one.
    if (code > 9) return false;
    *state = {};
    if (code == 9) {
        state->mode = 0;
    } else {
        state->mode = 1;
        state->preset = code;
    }
    state->r = block.red;
    state->g = block.green;
    state->b = block.blue;
    return true;
}

void RawImage::ApplyStoredWindow(const StoredSettingsRecord::ProcessBlock& block) {
    int32_t x = block.windowX, y = block.windowY, w = block.windowWidth, h = block.windowHeight;
    const int32_t storedWidth = block.usableWidth, storedHeight = block.usableHeight, storedTop = block.topMargin,
                  storedLeft = block.leftMargin;
    const bool adjusted = AdjustStoredWindow(&x, &y, &w, &h, storedWidth, storedHeight, storedTop, storedLeft);
    const int32_t U = int32_t(rawWidth_) - rightMargin_ - leftMargin_;
    const int32_t V = int32_t(rawHeight_) - bottomMargin_ - topMargin_;
    const bool keep = adjusted && x >= leftMargin_ && x <= U && y >= topMargin_ && y <= V && w >= 8 && w <= U &&
                      h >= 8 && h <= V;
    outputWindow_ = keep ? SdkRect{int16_t(x), int16_t(y), int16_t(w), int16_t(h)}
                         : SdkRect{int16_t(leftMargin_), int16_t(topMargin_), int16_t(U), int16_t(V)};
}

bool RawImage::AdjustStoredWindow(int32_t*, int32_t*, int32_t*, int32_t*, int32_t, int32_t, int32_t, int32_t) {
    return true;
}

void RawImage::RestoreFilters() {
    // Only a stored record carries the photographer's choice; a value the
    // file cannot honour leaves the filter off.
    if (storedSettingsOffset_ == 0) return;
    const int32_t mode = sharpenMode_, level = sharpenLevel_, chroma = chromaLevel_;
    SetSharpening(mode, level);
    SetChromaFilter(chroma, chromaWord_);
}

const uint32_t* RawImage::RangeTriple(int32_t level) const {
    if (level <= 15) return rangeTriples_[0];
    if (level <= 49) return rangeTriples_[1];
    if (level <= 82) return rangeTriples_[2];
    return rangeTriples_[3];
}

VqStatus RawImage::MakeSettingsBlock(uint8_t* out) const {
    return StoredSettingsRecord::MakeSettingsBlock(settingsWord_, settingsTriple_, out);
}

VqStatus RawImage::ReadSettingsBlock(const uint8_t* in) {
    bool hasTriple = false;
    uint32_t triple[3] = {};
    const VqStatus status = StoredSettingsRecord::ReadSettingsBlock(in, &settingsWord_, triple, &hasTriple);
    storedSettingsWord_ = settingsWord_;
    if (hasTriple) {
        std::memcpy(settingsTriple_, triple, sizeof triple);
        std::memcpy(storedTriple_, triple, sizeof triple);
    }
    return status;
}

VqStatus RawImage::SaveProcessParameters() {
    using Record = StoredSettingsRecord;
    Record::ProcessBlock b;
    b.version = Record::kVersion;
    b.outputType = uint8_t(info_.isColour ? info_.outputType : MapTypeForMonochrome(info_.outputType));
    VqWhiteBalanceMode balance{};
    GetBalanceMode(&balance, false);
    PrepareBalanceForStore(&balance);
    b.balanceCode = uint8_t(balance.preset);
    b.red = balance.r;
    b.green = balance.g;
    b.blue = balance.b;
    b.rotation = uint16_t(int32_t(Rotation()));
    b.windowX = uint16_t(outputWindow_.x);
    b.windowY = uint16_t(outputWindow_.y);
    b.windowWidth = uint16_t(outputWindow_.width);
    b.windowHeight = uint16_t(outputWindow_.height);
    b.usableWidth = uint16_t(int32_t(rawWidth_) - rightMargin_ - leftMargin_);
    b.usableHeight = uint16_t(int32_t(rawHeight_) - bottomMargin_ - topMargin_);
    b.topMargin = uint8_t(topMargin_);
    b.leftMargin = uint8_t(leftMargin_);
    b.look = uint8_t(lookIndex_);
    b.sharpenMode = sharpenMode_;
    b.sharpenLevel = sharpenLevel_;
    double exposure = exposure_;
    b.exposure = ClampExposure(&exposure) ? int16_t(exposure_ * 10000.0) : 0;
    b.chroma = chromaLevel_;
    uint8_t record[Record::kRecordBytes];
    Record::EncodeProcessBlock(b, record);

    const bool unchanged = std::memcmp(record, storedSettings_, Record::kProcessBytes) == 0 &&
                           std::memcmp(settingsTriple_, storedTriple_, sizeof storedTriple_) == 0 &&
                           settingsWord_ == storedSettingsWord_;
    // The print resolution is saved with the settings, changed or not.
    if (unchanged) return SaveResolution();
    if (storedSettingsOffset_ == 0) return VQ_ERR_NO_SETTINGS_RECORD;
    if (VqStatus status = MakeSettingsBlock(record + Record::kProcessBytes)) return status;
    if (!camera_) return VQ_ERR_BAD_HANDLE;
    const VqStatus status =
        Record::WriteWithRetry(camera_, imageIndex_, record, Record::kRecordBytes, storedSettingsOffset_);
    if (status) return status;
    std::memcpy(storedSettings_, record, Record::kRecordBytes);
    storedSettingsWord_ = settingsWord_;
    std::memcpy(storedTriple_, settingsTriple_, sizeof storedTriple_);
    return SaveResolution();
}

void RawImage::BuildIptcEntry(uint32_t offset, uint32_t length, uint8_t (&entry)[12]) const {
    const bool big = bigEndian_ != 0;
    auto put = [&](int at, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) entry[at + (big ? bytes - 1 - i : i)] = uint8_t(v >> (8 * i));
    };
    put(0, uint16_t(RawTag::IptcNaa), 2);
    put(2, 4, 2);  // LONG
    put(4, (length + 3) / 4, 4);
    put(8, offset - tiffOffset_, 4);
}

VqStatus RawImage::AppendIptcEntry(FileEdit&, const uint8_t (&)[12], uint32_t*) { return VQ_ERR_TOO_MANY_ENTRIES; }

} // namespace lumora::vq
