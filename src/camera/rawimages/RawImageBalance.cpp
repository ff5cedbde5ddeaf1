// White balance and looks: where balance enters a render.
#include "RawImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ColorTransformStage.h"
#include "FixedMatrix.h"
#include "RawEngine.h"
#include "SdkUtilities.h"

namespace lumora::vq {

VqStatus RawImage::CheckCustomBalance(uint32_t rg, uint16_t b) {
    const uint32_t c[3] = {rg & 0xFFFFu, rg >> 16, b};
    const bool zero = c[0] == 0 && c[1] == 0 && c[2] == 0;
    bool inRange = true;
    for (uint32_t v : c) inRange = inRange && v >= 1 && v <= 32767;
    return zero || inRange ? 0 : VQ_ERR_BAD_CUSTOM_BALANCE;
}

VqStatus RawImage::ValidateBalanceMode(int32_t mode, int32_t preset, int32_t kind, uint32_t rg, uint16_t b) {
    if ((info_.flags & VQ_IMAGE_COLOUR) == 0) return 0;
    if (mode < 1 || mode > 2 || kind < 0 || kind > 2) return VQ_ERR_BAD_BALANCE_MODE;
    if (mode == 1) {
        if (preset < 0 || (preset > 4 && preset != 5)) return VQ_ERR_BAD_BALANCE_KIND;
        if (preset == 5 && curveBlock_.curveFlag == 0) return VQ_ERR_MATRIX_NOT_AVAILABLE;
    }
    return kind == 1 ? CheckCustomBalance(rg, b) : 0;
}

VqStatus RawImage::ApplyBalanceMode(int32_t mode, int32_t preset, int32_t kind, uint32_t rg, uint16_t b,
                                    int32_t apply, uint32_t outputType) {
    VqStatus status = SetParameterBytes(RP_COLOR_MATRIX_2, presetMatrices_[0], sizeof presetMatrices_[0]);
    if (status) return status;
    std::fill(std::begin(dirty_), std::end(dirty_), 1);
    if (mode == 2) mode = currentMode_;
    if (kind == 2) kind = currentKind_;
    if ((status = ValidateBalanceMode(mode, preset, kind, rg, b))) return status;

    VqWhiteBalanceMode given{mode, preset, kind, uint16_t(rg & 0xFFFFu), uint16_t(rg >> 16), b, 0};
    if (apply) BalanceZeroToOne(&given);

    if (mode == 1) {
        state_.mode = 1;
        currentMode_ = 1;
        const RationalValue* chosen = nullptr;
        VqStatus remembered = 0;
        if (preset >= 0 && preset <= 3) {
            presetIndex_ = preset;
            state_.preset = preset;
            status = SetParameterBytes(RP_COLOR_MATRIX, presetMatrices_[preset], sizeof presetMatrices_[preset]);
            chosen = balanceMatrices_[preset];
        } else if (preset == 4) {
            const int32_t e = int32_t(cameraPreset_);
            presetIndex_ = e;
            state_.preset = 4;
            status = SetParameterBytes(RP_COLOR_MATRIX, presetMatrices_[e], sizeof presetMatrices_[e]);
            chosen = balanceMatrices_[e];
        } else if (preset == 5) {
            // Tag 3122 is a signed count: a negative one means no measurement.
            if (curveBlock_.curveFlag != 0 && int32_t(curveBlock_.longs[0]) > 0) {
                presetIndex_ = 0;
                state_.preset = 5;
                status = SetParameterBytes(RP_COLOR_MATRIX, presetMatrices_[0], sizeof presetMatrices_[0]);
                chosen = balanceMatrices_[0];
            } else {
                remembered = VQ_ERR_MATRIX_NOT_AVAILABLE;
            }
        }
        if (status) return status;
        if (chosen) std::memcpy(currentBalance_, chosen, sizeof currentBalance_);
        SetWhiteBalancePreset(preset);
        if ((status = SetParameter<float>(RP_LINEAR_GAIN, 0.0f))) return status;
        if (remembered) return remembered;
        if (outputType >= VQ_TYPE_CAMERA_RGB8 && outputType <= VQ_TYPE_CAMERA_RGB12) {
            double linearGain = 0;
            if ((status = ComputeLinearGain(&linearGain, 0))) return status;
            if ((status = SetParameter<float>(RP_LINEAR_GAIN, float(linearGain)))) return status;
        }
    } else if (mode == 0) {
        state_.mode = 0;
        currentMode_ = 0;
    }

    if ((status = SelectLook(lookIndex_))) return status;

    if (kind == 1) {
        state_.kind = 1;
        currentKind_ = 1;
        state_.r = given.r;
        state_.g = given.g;
        state_.b = given.b;
    } else {
        state_.kind = kind == 2 ? 2 : 0;
        int32_t index = 0;
        if ((status = ComputeBalance(state_.preset, &state_.r, &state_.g, &state_.b, &index))) return status;
        if (kind == 0) currentKind_ = 0;
    }

    const uint16_t triple[3] = {state_.r, state_.g, state_.b};
    if ((status = SetParameterBytes(RP_WHITE_BALANCE, triple, sizeof triple))) return status;
    if ((status = SetParameter<int32_t>(RP_BALANCE_IS_LINEAR, state_.kind))) return status;
    if ((status = SetParameterBytes(RP_BALANCE_STATE, &state_, sizeof state_))) return status;
    std::fill(std::begin(dirty_), std::end(dirty_), 1);
    return ApplyExposure();
}

void RawImage::GetBalanceMode(VqWhiteBalanceMode* out, bool oneToZero) {
    *out = state_;
    if (oneToZero) BalanceOneToZero(out);
    if ((info_.flags & VQ_IMAGE_COLOUR) == 0) {
        out->mode = 0;
        out->kind = 0;
    }
}

void RawImage::DefaultBalanceMode(VqWhiteBalanceMode* out) { *out = {1, 4, 0, 0, 0, 0, 0}; }

void RawImage::ResetDefaults(VqWhiteBalanceMode* out) {
    const bool colour = info_.isColour != 0;
    info_.outputType = colour ? VQ_TYPE_RGB8 : VQ_TYPE_GRAY8;
    info_.colourSpace = SdkFourCC(colour ? "sRGB" : "GRAY");
    SetParameter<int32_t>(RP_OUTPUT_TYPE, int32_t(info_.outputType));
    SetParameter<float>(RP_ROTATION, 0.0f);
    DefaultBalanceMode(out);
    lookIndex_ = 0;
}

VqStatus RawImage::ComputeBalance(int32_t preset, uint16_t* r, uint16_t* g, uint16_t* b, int32_t* index) {
    int32_t e = 0;
    if (preset >= 0 && preset <= 3)
        e = preset;
    else if (preset == 4)
        e = int32_t(cameraPreset_);
    else
        return VQ_ERR_BAD_STAGE_MODE;
    const uint32_t* t = balanceTriples_[e];
    if (t[1] == 0 || t[3] == 0 || t[5] == 0) return VQ_ERR_BAD_NUMBER;
    *r = uint16_t(t[0] / t[1]);
    *g = uint16_t(t[2] / t[3]);
    *b = uint16_t(t[4] / t[5]);
    *index = e;
    return 0;
}

VqStatus RawImage::SetWhiteBalancePreset(int32_t preset) {
    if (preset >= 0 && preset <= 3) {
        balanceIndex_ = balanceIndexCopy_ = presetIndex_ = preset;
    } else if (preset == 4) {
        if (VqStatus status = SelectCameraPreset()) return status;
    } else if (preset == 5) {
        int32_t index = 0;
        if (VqStatus status = FixedMatrix::FindStoredMatrix(presetMatrices_[0], presetMatrices_[5], &index))
            return status;
        balanceIndex_ = index;
        presetIndex_ = balanceIndexCopy_ = 5;
    } else {
        return VQ_ERR_BAD_BALANCE_KIND;
    }
    std::memcpy(currentBalance_, balanceMatrices_[balanceIndex_], sizeof currentBalance_);
    return 0;
}

VqStatus RawImage::SelectCameraPreset() {
    const int32_t c = int32_t(cameraPreset_);
    if (c >= 0 && c <= 3) {
        balanceIndex_ = balanceIndexCopy_ = presetIndex_ = c;
        return 0;
    }
    if (c == 4 || c == 5) {
        int32_t index = 0;
        if (VqStatus status = FixedMatrix::FindStoredMatrix(presetMatrices_[0], presetMatrices_[c], &index))
            return status;
        balanceIndex_ = index;
        balanceIndexCopy_ = presetIndex_ = c;
        return 0;
    }
    return VQ_ERR_BAD_BALANCE_KIND;
}

void RawImage::ClampCameraPreset(int32_t* value) {
    if (*value > 4 || *value < 0) *value = 0;
}

void RawImage::BalanceZeroToOne(VqWhiteBalanceMode* s) {
    if (s->kind == 1 && s->r == 0 && s->g == 0 && s->b == 0) s->r = s->g = s->b = 1;
}

void RawImage::BalanceOneToZero(VqWhiteBalanceMode* s) {
    if (s->kind != 0 && s->r == 1 && s->g == 1 && s->b == 1) s->r = s->g = s->b = 0;
}

void RawImage::PrepareBalanceForStore(VqWhiteBalanceMode* s) {
    if (s->mode == 0) s->preset = 9;
    if (s->kind == 0) s->r = s->g = s->b = 0x7FFF;
}

void RawImage::DeriveCustomFlag(VqWhiteBalanceMode* s, int32_t) {
    s->kind = 1;
    if ((s->r == 0 && s->g == 0 && s->b == 0) || (s->r == 0x7FFF && s->g == 0x7FFF && s->b == 0x7FFF)) s->kind = 0;
}

VqStatus RawImage::PrepareSpecialType(uint32_t outputType) {
    VqWhiteBalanceMode s{};
    GetBalanceMode(&s, false);
    return ApplyBalanceMode(s.mode != 0 ? 1 : 0, s.preset, s.kind != 0 ? 1 : 0,
                            uint32_t(s.r) | uint32_t(s.g) << 16, s.b, 0, outputType);
}

VqStatus RawImage::ComputeLinearGain(double* out, int32_t index) {
    *out = 0;
    if (private2318_ == 0.0f) private2318_ = 371.0f;
    if (presetGains_[3] == 0.0f) presetGains_[3] = presetGains_[0];
    presetGains_[4] = presetGains_[0];
    for (int i = 0; i < 4; ++i) {
        // The first four and a half rationals, as the camera compares them.
        if (std::memcmp(presetMatrices_[i], presetMatrices_[4], 36) == 0) {
            presetGains_[4] = presetGains_[i];
            break;
        }
    }
    if (index < 0 || index > 4) return VQ_ERR_LINEAR_GAIN_ZERO;
    const double a = presetGains_[index];
    const double s = cameraRgbGainScale_;
    if (a == 0) return VQ_ERR_LINEAR_GAIN_ZERO;
    if (s < 0.5) return VQ_ERR_LINEAR_GAIN_SCALE;
    double gain = 0;
    if (a >= 0.5) {
        gain = a;
    } else if (s >= 100) {
        gain = std::pow(10.0, std::log10(4095.0) * s * a / 4095.0);
    } else {
        return VQ_ERR_LINEAR_GAIN_SCALE;
    }
    if (gain < 0.5) return VQ_ERR_LINEAR_GAIN_LOW;
    if (gain > 2.0) return VQ_ERR_LINEAR_GAIN_HIGH;
    *out = gain;
    return 0;
}

VqStatus RawImage::SelectLook(int32_t look) {
    std::fill(std::begin(dirty_), std::end(dirty_), 1);
    if (look != 0 && look != 1) return VQ_ERR_NAME_NOT_FOUND;
    const std::vector<uint16_t>& curve = look ? toneCurve1_ : toneCurve0_;
    VqStatus status = SetParameter<int32_t>(RP_LOOK, look);
    if (!status) status = SetParameter<uint16_t*>(RP_TONE_CURVE, curve.empty() ? nullptr : const_cast<uint16_t*>(curve.data()));
    if (!status) status = SetParameter<int32_t>(RP_TONE_CURVE_SIZE, int32_t(curve.size()));
    if (!status) status = SetLookMatrix(look);
    if (!status) lookIndex_ = look;
    return status;
}

VqStatus RawImage::SetLookMatrix(int32_t look) {
    if (presetIndex_ < 0 || presetIndex_ > 5) return VQ_ERR_BAD_BALANCE_KIND;
    const RationalValue* preset = presetMatrices_[presetIndex_];
    if (look == 0) return SetParameterBytes(RP_COLOR_MATRIX, preset, sizeof presetMatrices_[0]);
    if (look != 1) return VQ_ERR_NAME_NOT_FOUND;
    static const RationalValue kBuiltIn[9] = {{100, 100}, {0, 100},   {0, 100}, {0, 100},  {100, 100},
                                              {0, 100},   {0, 100},   {0, 100}, {100, 100}};
    const RationalValue* l = FixedMatrix::AllDenominatorsSet(lookMatrix_) ? lookMatrix_ : kBuiltIn;
    FixedMatrix matrix;
    matrix.SetFromRationals(l);
    if (!matrix.IsValid()) return VQ_ERR_BAD_NUMBER;
    RationalValue combined[9];
    if (VqStatus status = matrix.CombineWithRowTables(preset, combined, false)) return status;
    return SetParameterBytes(RP_COLOR_MATRIX, combined, sizeof combined);
}

} // namespace lumora::vq
