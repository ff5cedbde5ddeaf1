#pragma once
// Every adjustment of one image, as a value: sharpening, noise reduction,
// exposure, lighting and balance, look, rotation, crop, tone levels, lens
// optimisation and the output space. Sets are copied whole or by group and
// compared by several equality tests, each blind to what its caller does not
// care about.
#include "NbRect.h"

#include <cstdint>
#include <string>
#include <vector>

namespace NimbalCore {

class ImageProcessParam {
public:
    enum ParamGroup : int {
        GroupCrop = 0, GroupRotation = 1, GroupExposure = 2, GroupTone = 3, GroupBalance = 4, GroupLook = 5,
        GroupNoise = 6, GroupSharpen = 7, GroupIPTC = 8, GroupTagging = 9, GroupLensOptimization = 10,
    };

    // An image's answer to a set that does not fit it; 0 is valid.
    enum ValidationCodes : int {
        Valid = 0,
        AutoLightingUnsupported = 1,
        NoAtCaptureParams = 2,
        CannotClickBalance = 3,
        ZeroBalanceTriple = 4,
        LightingUnsupported = 5,
        AutoLightingWithClickBalance = 6,
        AsShotWithClickBalance = 7,
        CannotSharpen = 8,
        NoiseModeUnsupported = 9,
        CannotAdjustExposure = 10,
        ExposureOutOfRange = 11,
        RotationNotWhole = 12,
        RotationNotQuarter = 13,
        CropOutside = 14,
        // The older raw kind's crops lie on even pixels.
        CropMisaligned = 15,
        LookUnavailable = 16,
        BalanceFromOtherCamera = 17,
        BalanceTypeRejected = 18,
        MonochromeOnColor = 19,
        CannotAdjustWhitePoint = 20,
        CheckFailed = 21,
        CannotAdjustColorBalance = 22,
        ColorBalanceOutOfLimits = 23,
        CannotAdjustTone = 24,
        LevelsTooClose = 26,
        LevelsOutOfOrder = 27,
        ShadowTooLow = 28,
        ShadowTooHigh = 29,
        MidtoneTooLow = 30,
        MidtoneTooHigh = 31,
        HighlightTooLow = 32,
        HighlightTooHigh = 33,
        LensOptimizationOutOfRange = 34,
        CannotOptimizeLens = 35,
    };

    static constexpr int kLightingTriples = 7;

    ImageProcessParam() = default;
    ImageProcessParam(const ImageProcessParam&) = default;
    ImageProcessParam& operator=(const ImageProcessParam&) = default;
    virtual ~ImageProcessParam() = default;

    virtual float GetExposureCompensation() const { return exposureCompensation; }
    virtual uint16_t GetWhitePoint() const { return whitePoint; }

    NbRect GetCropRect() const { return crop; }
    std::string GetLookName() const { return lookName; }
    void SetBalanceName(const std::string& name) { balanceSource = name; }
    std::string GetWorkingSpaceName() const { return workingSpaceName; }

    void SetNoiseReductionMode(int mode) { noiseReductionMode = mode; }
    // Values outside 0..100 leave the member as it is.
    void SetNoiseReductionStrength(int value);
    void SetNoiseReductionThreshold(int value);
    void SetBasicNoiseReductionStrength(int value);

    // A grayscale look switches the set to grayscale, any other to colour.
    void SetLook(const std::string& name);
    static bool IsGrayscaleLook(const std::string& name);
    // (0, K, 0) also names the white point K.
    void SetClickBalance(uint16_t a, uint16_t b, uint16_t c);
    void CopyGroups(const ImageProcessParam& source, const std::vector<int>& groups);

    bool operator==(const ImageProcessParam& other) const;
    bool operator!=(const ImageProcessParam& other) const { return !(*this == other); }
    bool EqualsExceptCrop(const ImageProcessParam& other) const;
    bool EqualsExceptCropAndNames(const ImageProcessParam& other) const;
    bool EqualsExceptSharpenAndNoise(const ImageProcessParam& other) const;
    bool EqualsExceptSharpenNoiseAndSpace(const ImageProcessParam& other) const;

    // A custom balance becomes the same click balance; true when it did.
    static bool ConvertCustomBalanceToClickBalance(ImageProcessParam& params);
    // An (amount, radius, threshold) triple outside 0..20, 0..100, 0..255
    // is replaced whole by the defaults.
    static void CheckSharpenSettings(int32_t triple[3], const int32_t defaults[3]);
    // A level kept to one decimal (0 stays 0).
    static float RoundLevel(float value);

    int32_t sharpenMode = 1;
    int32_t sharpenAmount = 67;
    int32_t sharpenRadius = 0;
    int32_t sharpenThreshold = 0;
    int32_t noiseReductionMode = 0;
    int32_t noiseReductionStrength = 0;
    int32_t noiseReductionThreshold = 0;
    int32_t basicNoiseReductionStrength = 0;
    float exposureCompensation = 0.0f;
    int32_t lighting = 0;
    int32_t lightingIndex = 0;
    std::string lookName;
    int32_t colorMode = 0;
    float rotation = 0.0f;
    int32_t balanceType = 0;
    uint16_t whitePoint = 0;
    uint16_t autoBalance[3] = {0, 0, 0};
    uint16_t clickBalance[3] = {0, 0, 0};
    uint16_t customBalance[3] = {0, 0, 0};
    uint16_t fineTuneBalance[kLightingTriples][3] = {};
    NbRect crop;
    std::string balanceSource;
    int32_t outputSpaceMode = 0;
    std::string workingSpaceName;
    float levels[3] = {0.0f, 0.0f, 0.0f};
    float referenceLevels[3] = {0.0f, 0.0f, 0.0f};
    bool levelsEnabled = false;
    int32_t lensOptimization = -1;

private:
    // What one equality test leaves out.
    struct Ignore {
        bool crop = false;
        bool balanceSource = false;
        bool outputSpaceMode = false;
        bool workingSpaceName = false;
        bool sharpenAndNoise = false;
    };
    bool Equals(const ImageProcessParam& other, const Ignore& ignore) const;
    bool SameSharpenAndNoise(const ImageProcessParam& other) const;
    bool SameBalance(const ImageProcessParam& other) const;
};

} // namespace NimbalCore
