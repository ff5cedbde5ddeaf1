// ProImage: the check of a parameter set, click balance, and the sound files
// that belong to the image.
#include "ProImage.h"

#include "NbErrorCodes.h"
#include "StImageClosableFlagRestorer.h"
#include "YlmErrp.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace NimbalCore {

namespace {

bool Contains(const std::vector<int>& list, int value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

bool AllZero(const uint16_t t[3]) { return t[0] == 0 && t[1] == 0 && t[2] == 0; }

} // namespace

Image::ValidationCodes ProImage::ValidateProcessParams(const ImageProcessParam& p) {
    using P = ImageProcessParam;
    try {
        const bool r = CanAdjustWhitePointForBalanceType(p.balanceType);
        if (p.balanceType == 6 && p.balanceSource != serialNumber_) return P::BalanceFromOtherCamera;
        if (isColor_ && p.lighting == 5 && !Contains(GetSupportedBalanceTypes(), 5)) return P::AutoLightingUnsupported;
        if (p.lighting == 4 && !HasAtCaptureParams()) return P::NoAtCaptureParams;
        if (isColor_ && p.balanceType != 7 && !CanClickBalance()) return P::CannotClickBalance;
        if (p.balanceType == 7 && CanClickBalance()) return P::BalanceTypeRejected;
        if (p.balanceType >= 0 && p.balanceType <= 3 && !IsPresetAvailable(p.balanceType)) return P::BalanceTypeRejected;
        if (CanClickBalance() && ((p.balanceType == 4 && AllZero(p.customBalance)) ||
                                  (p.balanceType == 5 && AllZero(p.autoBalance)) ||
                                  (p.balanceType == 6 && AllZero(p.clickBalance))))
            return P::ZeroBalanceTriple;
        if (isColor_ && p.lighting != 6 && !Contains(GetSupportedIlluminants(), p.lighting)) return P::LightingUnsupported;
        if (p.lighting == 6 && isColor_) return P::MonochromeOnColor;
        if (p.lighting == 5 && p.balanceType == 6) return P::AutoLightingWithClickBalance;
        if (p.sharpenMode != 0 && !CanSharpen()) return P::CannotSharpen;
        const std::vector<int> modes = GetNoiseReductionModes();
        if (!modes.empty() && !Contains(modes, p.noiseReductionMode)) return P::NoiseModeUnsupported;
        if (p.exposureCompensation != 0.0f && !CanAdjustExposure()) return P::CannotAdjustExposure;
        if (!(p.exposureCompensation >= exposureCompensationMin && p.exposureCompensation <= exposureCompensationMax))
            return P::ExposureOutOfRange;
        float levels[3];
        for (int i = 0; i < 3; ++i) levels[i] = P::RoundLevel(p.levels[i]);
        if ((levels[0] != 0 || levels[1] != 0 || levels[2] != 0) && !CanAdjustTone()) return P::CannotAdjustTone;
        if (CanAdjustTone()) {
            const ValidationCodes code = ValidateLevels(levels[0], levels[1], levels[2]);
            if (code != P::Valid) return code;
        }
        if (!(canAdjustWhitePoint_ && r) && p.whitePoint != 0 && !canAdjustWhitePoint_) return P::CannotAdjustWhitePoint;
        if (!p.lookName.empty()) {
            const std::vector<std::string> looks = GetAvailableLooks();
            if (std::find(looks.begin(), looks.end(), p.lookName) == looks.end()) return P::LookUnavailable;
        }
        // The lighting index picks one of seven fine-tuning triples; any
        // other index is refused before it is used.
        if (p.lightingIndex < 0 || p.lightingIndex >= P::kLightingTriples) return P::ColorBalanceOutOfLimits;
        const uint16_t* t = p.fineTuneBalance[p.lightingIndex];
        if (!CanAdjustColorBalance()) {
            if (!AllZero(t)) return P::CannotAdjustColorBalance;
        } else {
            int16_t lo = 0, mid = 0, hi = 0;
            GetColorBalanceLimits(&lo, &mid, &hi);
            for (int i = 0; i < 3; ++i)
                if (int16_t(t[i]) < lo || int16_t(t[i]) > hi) return P::ColorBalanceOutOfLimits;
        }
        NbRect scratch;
        const ValidationCodes crop = MapRectBetweenRotations(p.crop, p.rotation, &scratch, 0);
        if (crop != P::Valid) return crop;
        if (canOptimizeLens_) {
            if (p.lensOptimization < lensOptimizationMin_ || p.lensOptimization > lensOptimizationMax_)
                return P::LensOptimizationOutOfRange;
        } else if (p.lensOptimization != -1) {
            return P::CannotOptimizeLens;
        }
        return P::Valid;
    } catch (ValidationCodes code) {
        return code;
    } catch (...) {
        return P::CheckFailed;
    }
}

void ProImage::CalculateClickBalance(int x, int y, uint16_t* a, uint16_t* b, uint16_t* c) {
    static const char* const op = "ProImage::CalculateClickBalance";
    const NbRect frame = GetImageRect();
    if (x < frame.left || x > frame.right || y < frame.top || y > frame.bottom) YLM_THROW(op, NbErrClickPointOutside);
    const std::vector<int> modes = GetSupportedColorModes();
    if (!Contains(modes, 0)) YLM_THROW(op, NbErrClickBalanceNeedsColor);
    const int64_t W = imageRect_.Width(), H = imageRect_.Height();
    int64_t nx = x, ny = y;
    switch (int(processParams_.rotation)) {
    case 90: nx = y, ny = H - x; break;
    case 180: nx = W - x, ny = H - y; break;
    case 270: nx = W - y, ny = x; break;
    default: break;
    }
    auto start = [](int64_t v, int64_t size) {
        int64_t s = ((v + 1) / 2) * 2 - 8;
        if (s < 0) s = 0;
        if (s > size - 16) s = std::max<int64_t>(size - 16, 0);
        return int32_t(s);
    };
    const int32_t x0 = start(nx, W), y0 = start(ny, H);
    const DriverRect sample{y0, x0, y0 + 16, x0 + 16};
    StImageClosableFlagRestorer closable(this);
    SetClosable(false);
    if (const int opened = EnsureOpen()) YLM_THROW(op, opened);
    uint16_t triple[3] = {0, 0, 0};
    int32_t count = 3;
    const int32_t status = plugIn->SampleBalance(imageRef, 0, &sample, triple, &count);
    if (status == VrelErrSaturated) YLM_THROW(op, NbErrClickPointSaturated);
    if (status == VrelErrTooDark) YLM_THROW(op, NbErrClickPointTooDark);
    if (status != 0) YLM_THROW(op, NbErrClickBalanceFailed);
    *a = triple[0], *b = triple[1], *c = triple[2];
}

bool ProImage::BelongsToImage(const FilePathSpec& sound) {
    const std::string mine = path_.GetFileName(), theirs = sound.GetFileName();
    if (mine.size() <= 7 || theirs.size() < 8) return false;
    if (sound.GetFolder().GetPath() != path_.GetFolder().GetPath()) return false;
    auto same = [&](size_t from, size_t to) {
        for (size_t i = from; i <= to; ++i)
            if (std::tolower(static_cast<unsigned char>(mine[i])) != std::tolower(static_cast<unsigned char>(theirs[i])))
                return false;
        return true;
    };
    // Characters 2-3 and 5-8 (counting from 1).
    return same(1, 2) && same(4, 7);
}

bool ProImage::AddSound(const FilePathSpec& sound) {
    if (!BelongsToImage(sound)) return false;
    return Image::AddSound(sound);
}

bool ProImage::RemoveSound(const FilePathSpec& sound) {
    if (!BelongsToImage(sound)) return false;
    return Image::RemoveSound(sound);
}

} // namespace NimbalCore
