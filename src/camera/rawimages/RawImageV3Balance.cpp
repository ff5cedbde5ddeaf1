// Version-3 raw files: white balance, the camera's measured balance, looks and
// the white-balance-file status.
#include "RawImageV3.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "FixedMatrix.h"
#include "SdkRenderer.h"
#include "VqOutputTypes.h"

namespace lumora::vq {

namespace {

constexpr int32_t kCameraRgbModel = 21;
constexpr int32_t kMeasuredPreset = 5;
constexpr int32_t kCameraPreset = 4;
// The measured balance's exposure: tenths of a stop per 301 units, within ±2.
constexpr double kUnitsPerStop = 301.0;
constexpr double kMaxMeasuredExposure = 2.0;

} // namespace

void RawImageV3::ClampCameraPreset(int32_t* value) {
    if (*value < 0 || *value > kMeasuredPreset) *value = 0;
}

void RawImageV3::CurveBlockHook(const CurveBlock& block, const uint32_t* triple) {
    uint32_t words[6];
    std::memcpy(words, triple, sizeof words);
    const bool unusable = !FixedMatrix::AllDenominatorsSet(presetMatrices_[kMeasuredPreset]) ||
                          RationalTripleToShorts(words, nullptr, nullptr, nullptr) != 0 ||
                          int32_t(block.longs[0]) <= 0 || block.shorts[1] == 0 || info_.isColour == 0;
    if (unusable) curveBlock_.curveFlag = 0;
    if (curveBlock_.curveFlag != 0)
        info_.flags |= kMeasuredBalanceFlag;
    else
        info_.flags &= ~kMeasuredBalanceFlag;
}

VqStatus RawImageV3::ValidateBalanceMode(int32_t mode, int32_t preset, int32_t kind, uint32_t rg, uint16_t b) {
    if (info_.isColour == 0) return 0;
    if ((mode != 1 && mode != 2) || kind < 0 || kind > 2) return VQ_ERR_BAD_BALANCE_MODE;
    if (mode == 1) {
        if (uint32_t(preset) > uint32_t(kMeasuredPreset)) return VQ_ERR_BAD_BALANCE_KIND;
        const bool measured =
            preset == kMeasuredPreset || (preset == kCameraPreset && cameraPreset_ == uint32_t(kMeasuredPreset));
        if (measured && curveBlock_.curveFlag == 0) return VQ_ERR_MATRIX_NOT_AVAILABLE;
    }
    return kind == 1 ? CheckCustomBalance(rg, b) : 0;
}

VqStatus RawImageV3::ComputeBalance(int32_t index, uint16_t* r, uint16_t* g, uint16_t* b, int32_t*) {
    if (index < 0 || index > kMeasuredPreset) return VQ_ERR_BAD_BALANCE_KIND;
    return RationalTripleToShorts(balanceTriples_[index], r, g, b);
}

VqStatus RawImageV3::ApplyBalanceMode(int32_t mode, int32_t preset, int32_t kind, uint32_t rg, uint16_t b,
                                      int32_t apply, uint32_t outputType) {
    presetIndex_ = 0;
    VqWhiteBalanceMode given{mode, preset, kind, uint16_t(rg & 0xFFFFu), uint16_t(rg >> 16), b, 0};
    if (info_.isColour == 0) {
        if (apply) return 0;
        given = {1, 0, 0, given.r, given.g, given.b, 0};
    } else {
        if (given.mode == 2) {
            given.mode = state_.mode != 0 ? 1 : 0;
            given.preset = state_.preset;
        }
        if (given.kind == 2) {
            given.kind = state_.kind != 0 ? 1 : 0;
            given.r = state_.r;
            given.g = state_.g;
            given.b = state_.b;
        }
        if (VqStatus status = ValidateBalanceMode(given.mode, given.preset, given.kind,
                                                  uint32_t(given.r) | uint32_t(given.g) << 16, given.b)) {
            // A camera preset naming a measured balance the file cannot give
            // must not keep the file from opening: the open takes preset 0.
            const bool opening = ifd_ != nullptr;
            if (!opening || status != VQ_ERR_MATRIX_NOT_AVAILABLE) return status;
            given.preset = 0;
        }
        if (apply) BalanceZeroToOne(&given);
    }

    // Steps that may fail: the first failure is answered once the pending
    // exposure is settled.
    VqStatus failed = 0;
    auto step = [&failed](VqStatus status) {
        if (!failed) failed = status;
        return failed == 0;
    };
    if (given.mode == 1) {
        if (step(SetWhiteBalancePreset(given.preset))) {
            state_.mode = 1;
            state_.preset = given.preset;
            step(SetParameter<float>(lumora::RP_LINEAR_GAIN, 0.0f));
        }
        if (!failed && outputType >= VQ_TYPE_CAMERA_RGB8 && outputType <= VQ_TYPE_MONO16) {
            double linearGain = 0;
            if (step(ComputeLinearGain(&linearGain, balanceIndex_)))
                step(SetParameter<float>(lumora::RP_LINEAR_GAIN, float(linearGain * kCameraRgbHeadroom)));
        }
    } else if (given.mode == 0) {
        state_.mode = 0;
    }
    if (!failed) step(SelectLook(lookIndex_));
    if (!failed) {
        if (given.kind == 1) {
            state_.kind = 1;
            state_.r = given.r;
            state_.g = given.g;
            state_.b = given.b;
        } else {
            state_.kind = 0;
            step(ComputeBalance(balanceIndexCopy_, &state_.r, &state_.g, &state_.b, nullptr));
        }
    }
    if (!failed && step(SetParameterBytes(lumora::RP_BALANCE_STATE, &state_, sizeof state_))) {
        const uint16_t triple[3] = {state_.r, state_.g, state_.b};
        step(SetParameterBytes(lumora::RP_WHITE_BALANCE, triple, sizeof triple));
    }
    if (!failed && state_.mode == 1 && given.preset == kMeasuredPreset) step(ApplyMeasuredBalance(given.preset));
    if (!failed) {
        double pending = pendingExposure_;
        if (ClampExposure(&pending)) step(SetExposure(float(pending)));
    }
    pendingExposure_ = kNoPendingExposure;
    if (failed) return failed;

    if (VqStatus status = ApplyExposure()) return status;

    if (info_.modelId == kCameraRgbModel && GetColourMode() == 1 && presetIndex_ >= 0 && presetIndex_ <= 5) {
        for (int i = 0; i < 9; ++i) {
            const RationalValue& p = presetMatrices_[presetIndex_][i];
            // A numerator from the file may not survive the headroom in 32 bits:
            // it is held at the edge rather than converted out of range.
            const double scaled = std::clamp(std::trunc(p.numerator * double(kCameraRgbHeadroom)), -2147483648.0,
                                             2147483647.0);
            currentBalance_[i] = {int32_t(scaled), p.denominator};
        }
    }
    FillWhiteBalanceFileStatus();
    return 0;
}

void RawImageV3::FillWhiteBalanceFileStatus() {
    VqStatus status = 0;
    if (info_.isColour == 0) {
        status = VQ_ERR_WB_FILE_MONO;
    } else if (state_.kind == 0 && !(cameraPreset_ == uint32_t(kCameraPreset) && state_.preset == kCameraPreset)) {
        status = cameraPreset_ == uint32_t(kCameraPreset) ? VQ_ERR_WB_FILE_REFUSED_MODE4 : VQ_ERR_WB_FILE_REFUSED;
    }
    info_.whiteBalanceFileStatus = int32_t(status);
}

VqStatus RawImageV3::ApplyMeasuredBalance(int32_t preset) {
    if (curveBlock_.curveFlag == 0) return VQ_ERR_MATRIX_NOT_AVAILABLE;
    state_.preset = preset;
    if (VqStatus status = SetParameterBytes(lumora::RP_COLOR_MATRIX, presetMatrices_[kMeasuredPreset],
                                            sizeof presetMatrices_[kMeasuredPreset]))
        return status;
    state_.mode = 1;
    const double measured = double(curveBlock_.shorts[1]);          // tag 3110, unsigned
    const double reference = double(int32_t(curveBlock_.longs[0])); // tag 3122, signed
    double e = (measured - reference) / kUnitsPerStop;
    // To tenths, halves away from zero.
    e = e > 0 ? std::floor((e + 0.05) * 10) * 0.1 : std::ceil((e - 0.05) * 10) * 0.1;
    if (e <= -kMaxMeasuredExposure) e = -kMaxMeasuredExposure;
    if (e >= kMaxMeasuredExposure) e = kMaxMeasuredExposure;
    return SetExposure(float(e));
}

VqStatus RawImageV3::SelectLook(int32_t look) {
    const bool colour = info_.isColour != 0;
    uint32_t count = 0;
    const uint16_t* curve = nullptr;
    if (looks_.IsComplete(look, colour) || looks_.GetCurve(look, count, curve) || count == 0 || !curve)
        return VQ_ERR_NAME_NOT_FOUND;
    VqStatus status = SetParameter<int32_t>(lumora::RP_LOOK, look);
    if (!status) status = SetParameter<uint16_t*>(lumora::RP_TONE_CURVE, const_cast<uint16_t*>(curve));
    if (!status) status = SetParameter<int32_t>(lumora::RP_TONE_CURVE_SIZE, int32_t(count));
    if (!status) status = SetParameter<uint16_t>(lumora::RP_MAX_VALUE, curve[count - 1]);
    if (status) return status;
    status = SetLookMatrixV3(look, presetIndex_);
    if (status == 0) lookIndex_ = look;
    return status;
}

VqStatus RawImageV3::SetLookMatrixV3(int32_t look, int32_t p) {
    if (p < 0 || p >= 6) return VQ_ERR_BAD_BALANCE_KIND;
    const bool colour = info_.isColour != 0;
    LookTable::Matrix words{};
    if (looks_.GetMatrix(look, words)) return colour ? VQ_ERR_NAME_NOT_FOUND : 0;
    RationalValue l[9];
    for (int i = 0; i < 9; ++i) l[i] = {int32_t(words[size_t(2 * i)]), int32_t(words[size_t(2 * i + 1)])};
    VqStatus status = 0;
    if (!FixedMatrix::AllDenominatorsSet(l) || FixedMatrix::IsIdentityRationals(l)) {
        status = SetParameterBytes(lumora::RP_COLOR_MATRIX, presetMatrices_[p], sizeof presetMatrices_[p]);
    } else {
        FixedMatrix matrix;
        matrix.SetFromRationals(presetMatrices_[p]);
        RationalValue combined[9];
        status = matrix.IsValid() ? matrix.CombineWithRowTables(l, combined, false) : VqStatus(VQ_ERR_BAD_NUMBER);
        if (!status) status = SetParameterBytes(lumora::RP_COLOR_MATRIX, combined, sizeof combined);
    }
    if (status) return status;
    presetIndex_ = p;
    return 0;
}

} // namespace lumora::vq
