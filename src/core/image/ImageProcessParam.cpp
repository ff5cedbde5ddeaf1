#include "ImageProcessParam.h"

#include "ColorServices.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace NimbalCore {

namespace {

bool InPercentRange(int value) { return value >= 0 && value <= 100; }

bool SameTriple(const uint16_t a[3], const uint16_t b[3]) { return std::memcmp(a, b, 3 * sizeof(uint16_t)) == 0; }

} // namespace

void ImageProcessParam::SetNoiseReductionStrength(int value) {
    if (InPercentRange(value)) noiseReductionStrength = value;
}

void ImageProcessParam::SetNoiseReductionThreshold(int value) {
    if (InPercentRange(value)) noiseReductionThreshold = value;
}

void ImageProcessParam::SetBasicNoiseReductionStrength(int value) {
    if (InPercentRange(value)) basicNoiseReductionStrength = value;
}

void ImageProcessParam::SetLook(const std::string& name) {
    colorMode = IsGrayscaleLook(name) ? 2 : 0;
    lookName = name;
}

bool ImageProcessParam::IsGrayscaleLook(const std::string& name) {
    const ColorServices* services = ColorServices::Get();
    if (!services) return false;
    const std::vector<std::string> looks = services->GetGrayscaleLookList();
    return std::find(looks.begin(), looks.end(), name) != looks.end();
}

void ImageProcessParam::SetClickBalance(uint16_t a, uint16_t b, uint16_t c) {
    clickBalance[0] = a;
    clickBalance[1] = b;
    clickBalance[2] = c;
    if (a == 0 && b != 0 && c == 0) whitePoint = b;
}

void ImageProcessParam::CopyGroups(const ImageProcessParam& source, const std::vector<int>& groups) {
    for (int group : groups) {
        switch (group) {
        case GroupCrop: crop = source.crop; break;
        case GroupRotation: rotation = source.rotation; break;
        case GroupExposure: exposureCompensation = source.exposureCompensation; break;
        case GroupTone:
            levelsEnabled = source.levelsEnabled;
            std::copy(source.levels, source.levels + 3, levels);
            std::copy(source.referenceLevels, source.referenceLevels + 3, referenceLevels);
            break;
        case GroupBalance:
            lighting = source.lighting;
            balanceType = source.balanceType;
            std::copy(source.autoBalance, source.autoBalance + 3, autoBalance);
            std::copy(source.clickBalance, source.clickBalance + 3, clickBalance);
            std::copy(source.customBalance, source.customBalance + 3, customBalance);
            balanceSource = source.balanceSource;
            whitePoint = source.whitePoint;
            lightingIndex = source.lightingIndex;
            std::memcpy(fineTuneBalance, source.fineTuneBalance, sizeof(fineTuneBalance));
            break;
        case GroupLook: SetLook(source.lookName); break;
        case GroupNoise:
            noiseReductionMode = source.noiseReductionMode;
            noiseReductionStrength = source.noiseReductionStrength;
            noiseReductionThreshold = source.noiseReductionThreshold;
            basicNoiseReductionStrength = source.basicNoiseReductionStrength;
            break;
        case GroupSharpen:
            sharpenMode = source.sharpenMode;
            sharpenAmount = source.sharpenAmount;
            sharpenRadius = source.sharpenRadius;
            sharpenThreshold = source.sharpenThreshold;
            break;
        case GroupLensOptimization: lensOptimization = source.lensOptimization; break;
        default: break; // IPTC and tagging are not in the set; unknown ids are skipped
        }
    }
}

bool ImageProcessParam::SameSharpenAndNoise(const ImageProcessParam& o) const {
    return sharpenMode == o.sharpenMode && sharpenAmount == o.sharpenAmount && sharpenRadius == o.sharpenRadius &&
           sharpenThreshold == o.sharpenThreshold && noiseReductionMode == o.noiseReductionMode &&
           noiseReductionStrength == o.noiseReductionStrength &&
           noiseReductionThreshold == o.noiseReductionThreshold &&
           basicNoiseReductionStrength == o.basicNoiseReductionStrength;
}

bool ImageProcessParam::SameBalance(const ImageProcessParam& o) const {
    if (lighting != o.lighting || lightingIndex != o.lightingIndex || balanceType != o.balanceType ||
        whitePoint != o.whitePoint || !SameTriple(autoBalance, o.autoBalance) ||
        !SameTriple(clickBalance, o.clickBalance) || !SameTriple(customBalance, o.customBalance))
        return false;
    // Only the triple in force counts. A pasted or driver-given set may name
    // no triple at all (an index outside the seven): then none is compared.
    if (lightingIndex >= 0 && lightingIndex < kLightingTriples &&
        !SameTriple(fineTuneBalance[lightingIndex], o.fineTuneBalance[lightingIndex]))
        return false;
    return true;
}

bool ImageProcessParam::Equals(const ImageProcessParam& o, const Ignore& ignore) const {
    if (!ignore.sharpenAndNoise && !SameSharpenAndNoise(o)) return false;
    if (exposureCompensation != o.exposureCompensation || !SameBalance(o) || lookName != o.lookName ||
        colorMode != o.colorMode || rotation != o.rotation || levelsEnabled != o.levelsEnabled ||
        lensOptimization != o.lensOptimization)
        return false;
    for (int i = 0; i < 3; ++i)
        if (levels[i] != o.levels[i]) return false;
    if (!ignore.crop && crop != o.crop) return false;
    if (!ignore.balanceSource && balanceSource != o.balanceSource) return false;
    if (!ignore.outputSpaceMode && outputSpaceMode != o.outputSpaceMode) return false;
    if (!ignore.workingSpaceName && workingSpaceName != o.workingSpaceName) return false;
    return true;
}

bool ImageProcessParam::operator==(const ImageProcessParam& other) const { return Equals(other, Ignore{}); }

bool ImageProcessParam::EqualsExceptCrop(const ImageProcessParam& other) const {
    Ignore ignore;
    ignore.crop = true;
    return Equals(other, ignore);
}

bool ImageProcessParam::EqualsExceptCropAndNames(const ImageProcessParam& other) const {
    Ignore ignore;
    ignore.crop = ignore.balanceSource = ignore.outputSpaceMode = ignore.workingSpaceName = true;
    return Equals(other, ignore);
}

bool ImageProcessParam::EqualsExceptSharpenAndNoise(const ImageProcessParam& other) const {
    Ignore ignore;
    ignore.sharpenAndNoise = ignore.crop = ignore.workingSpaceName = true;
    return Equals(other, ignore);
}

bool ImageProcessParam::EqualsExceptSharpenNoiseAndSpace(const ImageProcessParam& other) const {
    Ignore ignore;
    ignore.sharpenAndNoise = ignore.outputSpaceMode = ignore.workingSpaceName = true;
    return Equals(other, ignore);
}

bool ImageProcessParam::ConvertCustomBalanceToClickBalance(ImageProcessParam& params) {
    if (params.balanceType != 4) return false;
    params.balanceType = 6;
    params.SetClickBalance(params.customBalance[0], params.customBalance[1], params.customBalance[2]);
    std::fill(params.customBalance, params.customBalance + 3, uint16_t(0));
    return true;
}

void ImageProcessParam::CheckSharpenSettings(int32_t triple[3], const int32_t defaults[3]) {
    const bool valid = triple[0] >= 0 && triple[0] <= 20 && triple[1] >= 0 && triple[1] <= 100 && triple[2] >= 0 &&
                       triple[2] <= 255;
    if (!valid) std::copy(defaults, defaults + 3, triple);
}

float ImageProcessParam::RoundLevel(float value) {
    if (value == 0.0f) return 0.0f;
    const double scaled = std::floor(double(value) * 10.0 + 0.5);
    if (!std::isfinite(scaled) || scaled > 2147483647.0 || scaled < -2147483648.0) return value;
    return float(int32_t(scaled)) / 10.0f;
}

} // namespace NimbalCore
