// Exposure: the linearisation, thumbnail and offset tables it scales.
#include "RawImage.h"

#include <algorithm>
#include <cmath>

#include "LutStage.h"
#include "RawEngine.h"
#include "RawModelDefaults.h"

namespace lumora::vq {

namespace {

// Half away from zero.
int16_t RoundOffset(double v) { return int16_t(std::lround(v)); }

} // namespace

VqStatus RawImage::ApplyExposure() {
    VqStatus status = 0;
    if (info_.outputType == VQ_TYPE_RAW) {
        if ((status = SetParameter<uint16_t*>(RP_UNPACK_TABLE, linearisation_.data()))) return status;
        if ((status = SetParameter<int32_t>(RP_UNPACK_TABLE_SIZE, int32_t(linearisation_.size())))) return status;
        if ((status = SetParameter<uint16_t>(RP_LINEAR_MAX, linearisation_.empty() ? 0 : linearisation_.back())))
            return status;
    }
    if ((status = UpdateExposure())) return status;
    if ((status = BuildLinearisationTable())) return status;
    if ((status = BuildThumbnailTable())) return status;
    return BuildOffsetTables(exposureFactor_);
}

VqStatus RawImage::UpdateExposure() {
    if (!ClampExposure(&exposure_)) exposure_ = 0;
    exposureFactor_ = exposureFactorCopy_ = std::pow(2.0, exposure_);
    const double base = GetBaseSensitivity();
    if (base <= 0) {
        exposure_ = 0;
        return VQ_ERR_BAD_NUMBER;
    }
    // A file that does not say its exposure index was taken at the base
    // sensitivity; a negative index would turn the tables upside down.
    const double sensitivity = sensitivity_ > 0 ? double(sensitivity_) : base;
    gain_ = sensitivity / base * exposureFactor_;
    return 0;
}

double RawImage::GetBaseSensitivity() {
    int cls = 0;
    if (state_.preset == 1)
        cls = 1;
    else if (state_.preset == 2)
        cls = 2;
    else if (state_.preset == 3 && sensitivityPairs_[3][0] != 0.0f && sensitivityPairs_[3][1] != 0.0f)
        cls = 3;
    const int32_t id = info_.modelId;
    const bool second = id == 14 || id == 15 || id == 17 || id == 19 || id == 20;
    return sensitivityPairs_[cls][second ? 1 : 0];
}

VqStatus RawImage::BuildLinearisationTable() {
    if (linearisation_.empty()) return VQ_ERR_BAD_FILE;
    const size_t n = std::min<size_t>(linearisation_.size(), kMaxLinearisationEntries);
    try {
        if (scaledLinearisation_.size() != n) scaledLinearisation_.assign(n, 0);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_NO_MEMORY;
    }
    const uint16_t* source = RawModelDefaults::LinearisationCurve();
    std::copy(source, source + n, scaledLinearisation_.begin());
    lumora::LutStage::ScaleByFactor(scaledLinearisation_.data(), uint32_t(n), gain_, linearisation_.back());
    VqStatus status = SetParameter<uint16_t*>(RP_UNPACK_TABLE, scaledLinearisation_.data());
    if (!status) status = SetParameter<uint16_t>(RP_LINEAR_MAX, scaledLinearisation_.back());
    return status;
}

VqStatus RawImage::BuildThumbnailTable() {
    if (exposure_ != 0 && !thumbTable_.empty()) {
        try {
            scaledThumbTable_ = thumbTable_;
        } catch (const std::bad_alloc&) {
            return VQ_ERR_NO_MEMORY;
        }
        lumora::LutStage::ScaleByFactor(scaledThumbTable_.data(), uint32_t(scaledThumbTable_.size()),
                                        exposureFactor_, linearisation_.empty() ? 0 : linearisation_.back());
        return SetParameter<uint16_t*>(RP_THUMB_TABLE, scaledThumbTable_.data());
    }
    scaledThumbTable_.clear();
    scaledThumbTable_.shrink_to_fit();
    return SetParameter<uint16_t*>(RP_THUMB_TABLE, thumbTable_.empty() ? nullptr : thumbTable_.data());
}

VqStatus RawImage::BuildOffsetTables(double x) {
    const uint32_t n = rowOffsetsFile_.empty() ? rawHeight_ : uint32_t(rowOffsetsFile_.size());
    if (!rowOffsets_) {
        rowOffsets_ = static_cast<int16_t*>(std::calloc(std::max<uint32_t>(n, 1), sizeof(int16_t)));
        if (!rowOffsets_) return VQ_ERR_NO_MEMORY;
        rowOffsetCount_ = n;
    }
    if (!rowOffsetsFile_.empty()) {
        const double f = int16_t(rowOffsetsFile_.front());
        const double l = int16_t(rowOffsetsFile_.back());
        for (uint32_t i = 0; i < n; ++i) rowOffsets_[i] = RoundOffset(8 * x * (f + i * (l - f) / n));
    }

    // Without a column table of its own the file gets one of zeros, so the
    // engine always has a column for every sensor column.
    const uint32_t m = columnOffsetsFile_.empty() ? rawWidth_ : uint32_t(columnOffsetsFile_.size());
    if (!columnOffsets_) {
        columnOffsets_ = static_cast<int16_t*>(std::calloc(std::max<uint32_t>(m, 1), sizeof(int16_t)));
        if (!columnOffsets_) return VQ_ERR_NO_MEMORY;
        columnOffsetCount_ = m;
    }
    if (!columnOffsetsFile_.empty() && m >= kMinColumnOffsets) {
        auto value = [&](uint32_t i) { return double(int16_t(columnOffsetsFile_[i])); };
        double a = 0, z = 0;
        for (uint32_t i = 0; i < 64; ++i) a += value(i);
        for (uint32_t i = m - 65; i <= m - 2; ++i) z += value(i);
        a /= 64;
        z /= 64;
        for (uint32_t j = 0; j <= 64; ++j) columnOffsets_[j] = RoundOffset(8 * x * a);
        for (uint32_t j = m - 65; j < m; ++j) columnOffsets_[j] = RoundOffset(8 * x * z);
        // A window of 128 columns around each j, slid one column at a time
        // (only reached when m >= 129). The sums are whole numbers, so the
        // running sum is exact.
        int64_t sum = 0;
        if (m >= 129)
            for (uint32_t k = 0; k < 128; ++k) sum += int16_t(columnOffsetsFile_[k]);
        for (uint32_t j = 64; j + 65 <= m && m >= 129; ++j) {
            if (j > 64) sum += int64_t(int16_t(columnOffsetsFile_[j + 63])) - int16_t(columnOffsetsFile_[j - 65]);
            columnOffsets_[j] = RoundOffset(8 * x * double(sum) / 128);
        }
    }

    VqStatus status = SetParameter<int32_t>(RP_OFFSET_TABLE_SIZE, int32_t(rowOffsetsFile_.size()));
    if (!status) status = SetParameter<int16_t*>(RP_ROW_OFFSETS, rowOffsets_);
    if (!status) status = SetParameter<int16_t*>(RP_COLUMN_OFFSETS, columnOffsets_);
    return status;
}

VqStatus RawImage::SetExposure(float stops) {
    if (!exposureAvailable_) return VQ_ERR_UNKNOWN_EXTENSION;
    if (!(stops >= -2.0f && stops <= 2.0f)) return VQ_ERR_VALUE_OUT_OF_RANGE;
    const double previous = exposure_;
    exposure_ = stops;
    VqStatus status = ApplyExposure();
    if (status) {
        exposure_ = previous;
        ApplyExposure();
    }
    return status;
}

VqStatus RawImage::SetCameraRgbMode(int32_t value) { return SetParameter<int32_t>(RP_CAMERA_RGB_MODE, value); }

} // namespace lumora::vq
