// White balance of family-2 images: the triple handed to the engine is a
// neutral point (the camera values of a grey), computed by the engine from the
// file's illuminants or from its sampled balance.
#include "RawImageF2.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "FixedMatrix.h"
#include "RawEngineF2.h"
#include "SdkRenderer.h"
#include "VqOutputTypes.h"

namespace lumora::vq {

namespace {

int32_t RoundHalfAway(double v) { return int32_t(std::lround(v)); }

uint16_t ToSample(double v) { return uint16_t(std::clamp(RoundHalfAway(v), 0, 65535)); }

} // namespace

VqStatus RawImageF2::ValidateBalanceMode(int32_t mode, int32_t preset, int32_t kind, uint32_t rg, uint16_t b) {
    if ((info_.flags & VQ_IMAGE_COLOUR) == 0) return 0;
    if (mode < 1 || mode > 2 || kind < 0 || kind > 2) return VQ_ERR_BAD_BALANCE_MODE;
    if (mode == 1) {
        // The camera's own choice has no illuminant of its own in these files.
        if (preset < 0 || (preset > 3 && preset != kSampledPreset)) return VQ_ERR_BAD_BALANCE_KIND;
        if (preset == kSampledPreset) {
            if (info_.outputType >= VQ_TYPE_CAMERA_RGB8 && info_.outputType <= VQ_TYPE_CAMERA_RGB12)
                return VQ_ERR_TYPE_LOCKED;
            if (curveBlock_.curveFlag == 0 || int32_t(curveBlock_.longs[0]) <= 0) return VQ_ERR_MATRIX_NOT_AVAILABLE;
            if (kind != 0) return VQ_ERR_BAD_BALANCE_MODE;
        }
    }
    if (kind == 1) {
        const uint32_t c[3] = {rg & 0xFFFFu, rg >> 16, b};
        for (uint32_t v : c)
            if (v < 1 || v > 32767) return VQ_ERR_BAD_CUSTOM_BALANCE;
    }
    return 0;
}

void RawImageF2::DefaultBalanceMode(VqWhiteBalanceMode* out) { *out = {1, 0, 0, 0, 0, 0, 0}; }

void RawImageF2::ResetDefaults(VqWhiteBalanceMode* out) {
    info_.outputType = VQ_TYPE_RGB8;
    SetParameter<int32_t>(RP_OUTPUT_TYPE, int32_t(info_.outputType));
    SetParameter<float>(RP_ROTATION, 0.0f);
    const int64_t width = int64_t(rawWidth_) - rightMargin_ - leftMargin_;
    const int64_t height = int64_t(rawHeight_) - bottomMargin_ - topMargin_;
    outputWindow_ = {int16_t(leftMargin_), int16_t(topMargin_), int16_t(std::clamp<int64_t>(width, 0, INT16_MAX)),
                     int16_t(std::clamp<int64_t>(height, 0, INT16_MAX))};
    DefaultBalanceMode(out);
}

VqStatus RawImageF2::SetWhiteBalancePreset(int32_t preset) {
    const int32_t index = preset >= 1 && preset <= 3 ? preset : 0;
    balanceIndex_ = balanceIndexCopy_ = presetIndex_ = index;
    std::memcpy(currentBalance_, balanceMatrices_[index], sizeof currentBalance_);
    return 0;
}

void RawImageF2::DeriveCustomFlag(VqWhiteBalanceMode* s, int32_t version) {
    s->kind = s->r == 0x7FFF && s->g == 0x7FFF && s->b == 0x7FFF ? 0 : 1;
    if (version > 2) return;
    lumora::RawEngineF2* e = engine();
    if (!e) return;
    SetLookMatrixF2(1, 0);
    uint16_t triple[3] = {};
    e->NeutralToBalanceTriple(s->r, s->g, s->b, triple);
    s->r = triple[0];
    s->g = triple[1];
    s->b = triple[2];
}

VqStatus RawImageF2::ComputeBalance(int32_t p, uint16_t* r, uint16_t* g, uint16_t* b, int32_t* index) {
    if (p < 0 || p > kSampledPreset) return VQ_ERR_BAD_BALANCE_KIND;
    lumora::RawEngineF2* e = engine();
    if (!e || !r || !g || !b) return VQ_ERR_BAD_HANDLE;
    const int32_t i = (p >= 1 && p <= 3) ? p : p == 4 ? int32_t(cameraPreset_) : 0;
    if (index) *index = i;
    double neutral[3] = {double(state_.r), double(state_.g), double(state_.b)};
    VqStatus status = 0;
    if (p == kSampledPreset) status = e->GetNeutralPoint(neutral);
    else if (state_.kind == 0) status = e->NeutralForIlluminant(i, &balanceTriples_[0][0], neutral);
    const uint16_t rounded[3] = {ToSample(neutral[0]), ToSample(neutral[1]), ToSample(neutral[2])};
    if (!status) {
        double gains[3];
        status = e->BalanceFromNeutral(rounded[0], rounded[1], rounded[2], gains);
    }
    if (!status) *r = rounded[0], *g = rounded[1], *b = rounded[2];
    // The measured triple keeps the engine's current neutral point.
    uint32_t* stored = balanceTriples_[5];
    for (int k = 0; k < 3; ++k) stored[2 * k + 1] = 1;
    if (status) return status;
    double current[3];
    status = e->GetNeutralPoint(current);
    if (!status)
        for (int k = 0; k < 3; ++k) stored[2 * k] = ToSample(current[k]);
    return status;
}

} // namespace lumora::vq
