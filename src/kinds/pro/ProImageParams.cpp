// ProImage: the parameter sets read from the driver (current, at capture,
// automatic, custom), the parameters written to the driver for saving and
// for rendering, and the answers that follow from them.
#include "ProImage.h"

#include "ColorServices.h"
#include "NbErrorCodes.h"
#include "YlmErrp.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace NimbalCore {

namespace {

// The driver's rectangles end one past their last pixel. An end that cannot
// step back (INT32_MIN from a damaged file) stays: the crop is inside-out
// either way, and the parameter check refuses it.
int32_t LastBefore(int32_t end) { return end == std::numeric_limits<int32_t>::min() ? end : end - 1; }

NbRect CropOf(const DriverRect& r) {
    return NbRect(r.firstColumn, r.firstRow, LastBefore(r.endColumn), LastBefore(r.endRow));
}

// Stored triple of each preset balance type 0..3.
constexpr int kPresetSlot[4] = {0, 2, 1, 3};

bool Contains(const std::vector<int>& list, int value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

int MapLightingCode(int32_t code) { return (code >= 1 && code <= 3) ? code : 0; }

bool TripleIs(const uint16_t t[3], uint16_t a, uint16_t b, uint16_t c) { return t[0] == a && t[1] == b && t[2] == c; }

void CopyTriple(uint16_t* to, const uint16_t* from) { std::copy(from, from + 3, to); }

} // namespace

// Noise levels -------------------------------------------------------------------

int ProImage::PercentToNoiseLevel(int mode, int p) {
    switch (mode) {
    case 4:
        if (p < 0) return 2;
        if (p <= 17) return 1;
        if (p <= 50) return 2;
        if (p <= 83) return 3;
        if (p <= 100) return 4;
        return 1;
    case 5: {
        if (p < 0) return 2;
        if (p > 100) return 1;
        static const int upper[10] = {9, 19, 29, 39, 49, 61, 71, 80, 90, 100};
        for (int i = 0; i < 10; ++i)
            if (p <= upper[i]) return i + 1;
        return 1;
    }
    case 7:
        if (p < 0) return 4;
        if (p <= 24) return 2;
        if (p <= 74) return 4;
        return 6;
    default: return 1;
    }
}

int ProImage::NoiseLevelToPercent(int mode, int level) {
    switch (mode) {
    case 4: {
        static const int percent[4] = {0, 34, 66, 100};
        return (level >= 1 && level <= 4) ? percent[level - 1] : 5;
    }
    case 5: {
        static const int percent[10] = {5, 15, 25, 35, 45, 55, 67, 75, 85, 95};
        return (level >= 1 && level <= 10) ? percent[level - 1] : 5;
    }
    case 7: {
        static const int percent[6] = {0, 0, 50, 50, 100, 100};
        return (level >= 1 && level <= 6) ? percent[level - 1] : 5;
    }
    default: return 5;
    }
}

int ProImage::QuantizeNoiseThreshold(const ImageProcessParam& params) {
    const int mode = params.noiseReductionMode;
    if (mode == 4 || mode == 5 || mode == 7)
        return NoiseLevelToPercent(mode, PercentToNoiseLevel(mode, params.noiseReductionThreshold));
    return params.noiseReductionThreshold;
}

int ProImage::NoiseModeToDriver(int mode) {
    const bool m = hasMoireModes, o = hasNoiseOff;
    switch (mode) {
    case 0: return (m && !o) ? 4 : 0;
    case 1: return (m && !o) ? 4 : 1;
    case 2: return m ? 4 : 2;
    case 3: return m ? 5 : 3;
    case 4: return 4;
    case 5: return 5;
    case 6: return 6;
    case 7: return m ? 7 : 1;
    default: return 0;
    }
}

int ProImage::NoiseModeFromDriver(int mode) {
    const bool m = hasMoireModes, o = hasNoiseOff;
    switch (mode) {
    case 0: return (m && !o) ? 4 : 0;
    case 1: return m ? 7 : 1;
    case 2: return m ? 4 : 2;
    case 3: return m ? 5 : 3;
    case 4:
    case 5:
    case 6:
    case 7: return mode;
    default: return 0;
    }
}

void ProImage::NormalizeNoiseReductionMode(int& mode) {
    if (Contains(noiseReductionModes, mode)) return;
    if (modelCode == 1889) mode = 0;
    else if (modelCode >= 2048 && modelCode <= 2050) mode = 4;
    else mode = 1;
}

void ProImage::GetNoiseStrengthRange(int* min, int* max) {
    *min = 0;
    *max = 100;
}

void ProImage::GetNoiseLevelRange(int mode, int* min, int* max) {
    switch (mode) {
    case 4: *min = 1, *max = 4; break;
    case 5: *min = 1, *max = 10; break;
    case 7: *min = 2, *max = 6; break;
    default: *min = 1, *max = 100; break;
    }
}

void ProImage::GetExposureCompensationRange(float* min, float* max) {
    *min = exposureCompensationMin;
    *max = exposureCompensationMax;
}

void ProImage::GetLensOptimizationRange(int* min, int* max) {
    *min = lensOptimizationMin_;
    *max = lensOptimizationMax_;
}

// Balance ------------------------------------------------------------------------

void ProImage::GetBalanceKelvinRange(int type, uint16_t* low, uint16_t* standard, uint16_t* high) {
    const int t = (type >= 1 && type <= 6) ? type : 0;
    uint32_t lo = kelvinRanges[t][0], mid = kelvinRanges[t][1], hi = kelvinRanges[t][2];
    if (t == 6 && mid == 0) {
        mid = lastClickKelvin ? lastClickKelvin : whitePointAsRead[1];
        // Bounds computed without wrapping: never below 0 nor above 65535.
        if (lo == 0 || lo >= mid) lo = mid > 2000 ? mid - 2000 : 0;
        if (hi == 0 || hi <= mid) hi = std::min<uint32_t>(mid + 2000, 65535);
    }
    *low = uint16_t(lo);
    *standard = uint16_t(mid);
    *high = uint16_t(hi);
}

bool ProImage::CanAdjustWhitePointForBalanceType(int type) {
    if (type == 4) return CanAdjustWhitePointForCustomBalance();
    if (type == 6) return CanAdjustWhitePointForClickBalance();
    return true;
}

void ProImage::ClampWhitePoint(ImageProcessParam& params) {
    if (!CanAdjustWhitePoint()) return;
    int k = params.balanceType;
    if (k < 4 && params.lighting >= 0 && params.lighting <= 3) k = params.lighting;
    uint16_t low = 0, standard = 0, high = 0;
    GetBalanceKelvinRange(k, &low, &standard, &high);
    if (low > high) return;
    params.whitePoint = std::clamp(params.whitePoint, low, high);
}

bool ProImage::IsPresetAvailable(int type) {
    if (type < 0 || type > 3) return true;
    const uint16_t* t = balanceTriples[kPresetSlot[type]];
    return !TripleIs(t, 0, 0, 0) && !TripleIs(t, 1, 1, 1);
}

void ProImage::LookupBalanceTriple(const ImageProcessParam& params, uint16_t triple[3]) {
    int k = params.balanceType;
    std::fill(triple, triple + 3, uint16_t(0));
    if (k < 4) {
        if (params.lightingIndex < 0 || params.lightingIndex > 3) return;
        k = params.lightingIndex;
    }
    if (k >= 0 && k <= 3) CopyTriple(triple, balanceTriples[kPresetSlot[k]]);
    else if (k == 4 || k == 5) CopyTriple(triple, balanceTriples[k]);
    else if (k == 6) CopyTriple(triple, params.clickBalance);
}

int ProImage::LightingCodeForIndex(int index) { return (index >= 1 && index <= 3) ? index : 0; }

void ProImage::DeriveBalanceType(ImageProcessParam& p, bool keepLighting) {
    const bool r = CanAdjustWhitePointForBalanceType(p.balanceType);
    const bool adjustable = canAdjustWhitePoint_ && r;
    if (!adjustable) std::fill(p.clickBalance, p.clickBalance + 3, uint16_t(0));
    if (!isColor_) {
        p.balanceType = 7;
        return;
    }
    auto preset = [&](int type, bool keep) {
        p.balanceType = type;
        if (!keep) p.lighting = p.lightingIndex = type;
    };
    if (adjustable) {
        int32_t a = -1, b = -1;
        if (ReadInts(1857, &a, 1) != 0) a = -1;
        if (ReadInts(1840, &b, 1) != 0) b = -1;
        const int code = a != -1 ? a : b != -1 ? b : 0;
        const bool keep = code == p.balanceType ? keepLighting : false;
        switch (code) {
        case 1:
        case 2:
        case 3: preset(code, keep); break;
        case 4: p.balanceType = 4, CopyTriple(p.customBalance, balanceTriples[4]); break;
        case 5: p.balanceType = 5, CopyTriple(p.autoBalance, balanceTriples[5]); break;
        case 6:
            p.balanceType = 6;
            p.SetClickBalance(balanceTriples[6][0], balanceTriples[6][1], balanceTriples[6][2]);
            break;
        default: preset(0, keep); break;
        }
        ClampWhitePoint(p);
        return;
    }
    const uint16_t* shot = balanceTriples[6];
    auto same = [&](int slot) { return std::equal(shot, shot + 3, balanceTriples[slot]); };
    if (same(0)) preset(0, keepLighting);
    else if (same(2)) preset(1, keepLighting);
    else if (same(1)) preset(2, keepLighting);
    else if (same(3)) preset(3, keepLighting);
    else if (same(4)) p.balanceType = 4, CopyTriple(p.customBalance, balanceTriples[4]);
    else if (same(5)) p.balanceType = 5, CopyTriple(p.autoBalance, balanceTriples[5]);
    else p.balanceType = 6, p.SetClickBalance(shot[0], shot[1], shot[2]);
}

// The parameter sets as read ---------------------------------------------------------

void ProImage::ReadProcessParamsFromFile() {
    InitializeConstantAttributes();
    InitializeLook();
    InitializeCustomProcessParameters();
    InitializeAutoProcessParameters();
    InitializeAtCaptureProcessParameters();
    InitializeCurrentProcessParameters();
    DeriveBalanceType(processParams_, true);
    if (isColor_) {
        atCaptureParams.colorMode = 0;
    } else {
        atCaptureParams.colorMode = 2;
        processParams_.balanceType = 7;
        processParams_.lightingIndex = 6;
        processParams_.lighting = 6;
    }
}

void ProImage::InitializeConstantAttributes() {
    static const char* const op = "ProImage::InitializeConstantAttributes";
    auto required = [&](int32_t status) {
        if (status != 0) YLM_THROW(op, NbErrImageFileOpenFailed);
    };
    ImageProcessParam& p = processParams_;
    int32_t code = 0;
    required(ReadInts(532, &code, 1));
    static const int32_t known[] = {1824, 1825, 1888, 1889, 2048, 2049, 2050, 16384, 16385};
    if (std::find(std::begin(known), std::end(known), code) == std::end(known)) YLM_THROW(op, NbErrImageFileOpenFailed);
    modelCode = code;
    fixedCameraProfileName.clear();
    // These three models' own profile is their tone curve.
    if (code >= 2048 && code <= 2050) {
        static const char* const kToneCurves[] = {"ZynCorvidToneCurve.icm", "ZynHeronnToneCurve.icm",
                                                  "ZynHeroncToneCurve.icm"};
        const char* file = kToneCurves[code - 2048];
        const ColorServices* services = ColorServices::Get();
        fixedCameraProfileName = services ? services->GetStaticProfileName(file) : std::string();
        if (fixedCameraProfileName.empty()) fixedCameraProfileName = file;
    }

    int32_t samples = 0, option = 0;
    required(ReadInts(1951, &samples, 1));
    required(ReadInts(1920, &option, 1));
    isColor_ = samples == 3;
    optionEnabled = option != 0;
    if (isColor_) required(ReadTriple(300, balanceTriples[6]));

    noiseReductionModes.clear();
    hasNoiseStrength = hasNoiseOff = hasMoireModes = hasBasicNoise = false;
    int32_t strength = 0;
    const int32_t strengthStatus = ReadInts(1820, &strength, 1);
    if (strengthStatus == 0) {
        p.SetNoiseReductionStrength(strength);
        hasNoiseStrength = true;
        std::vector<int32_t> modes;
        int32_t type = 0, count = 0;
        required(AttributeInfo(1821, &type, &count));
        required(ReadList(1821, modes));
        for (int32_t m : modes) {
            if (m < 0 || m > 7) continue;
            noiseReductionModes.push_back(m);
            if (m == 0) hasNoiseOff = true;
            if (m == 4 || m == 5) hasMoireModes = true;
            if (m == 6) hasBasicNoise = true;
        }
    } else if (strengthStatus != VrelErrNotSupported) {
        YLM_THROW(op, NbErrImageFileOpenFailed);
    }

    supportedIlluminants.clear();
    supportedBalanceTypes.clear();
    if (isColor_) {
        auto readList = [&](int32_t id, int maxValue, std::vector<int>& into) {
            int32_t type = 0, count = 0;
            if (AttributeInfo(id, &type, &count) != 0) return;
            if (count == 0) YLM_THROW(op, NbErrImageFileOpenFailed);
            std::vector<int32_t> values;
            required(ReadList(id, values));
            for (int32_t v : values)
                if (v >= 0 && v <= maxValue) into.push_back(v);
        };
        readList(1846, 3, supportedIlluminants);
        readList(320, 6, supportedBalanceTypes);
    }

    auto readPresets = [&](int32_t id, bool typed, std::vector<int>& into) {
        int32_t type = 0, count = 0;
        required(AttributeInfo(id, &type, &count));
        if (typed && type != VrelTypeIntTriple) YLM_THROW(op, NbErrImageFileOpenFailed);
        std::vector<int32_t> values;
        required(ReadList(id, values));
        into.assign(values.begin(), values.end());
    };
    moirePresets.clear();
    noiseLevelPresets.clear();
    noiseStrengthPresets.clear();
    if (hasBasicNoise) readPresets(1969, true, moirePresets);
    if (hasMoireModes) {
        readPresets(1955, true, noiseLevelPresets);
        readPresets(1956, false, noiseStrengthPresets);
    }

    required(ReadFloats(1801, &exposureCompensationMin, 1));
    required(ReadFloats(1802, &exposureCompensationMax, 1));

    if (canAdjustWhitePoint_ && CanAdjustWhitePointForBalanceType(p.balanceType)) {
        p.whitePoint = whitePointAsRead[1];
        for (int t = 0; t < 4; ++t) required(ReadTriple(322 + t, kelvinRanges[t]));
        if (CanAdjustWhitePointForBalanceType(4)) required(ReadTriple(326, kelvinRanges[4]));
        required(ReadTriple(327, kelvinRanges[5]));
        required(ReadTriple(328, kelvinRanges[6]));
        for (int t = 0; t < 4; ++t) {
            uint16_t* slot = balanceTriples[kPresetSlot[t]];
            slot[0] = 0, slot[1] = kelvinRanges[t][1], slot[2] = 0;
        }
        for (int t = 4; t < 6; ++t) balanceTriples[t][0] = 0, balanceTriples[t][1] = kelvinRanges[t][1], balanceTriples[t][2] = 0;
        balanceTriples[6][0] = 0, balanceTriples[6][1] = whitePointAsRead[1], balanceTriples[6][2] = 0;
    } else if (isColor_) {
        const int32_t ids[4] = {305, 301, 303, 302};  // daylight, tungsten, fluorescent, flash
        for (int t = 0; t < 4; ++t) {
            int32_t type = 0, count = 0;
            if (AttributeInfo(ids[t], &type, &count) == 0) ReadTriple(ids[t], balanceTriples[kPresetSlot[t]]);
        }
        supportedBalanceTypes.push_back(6);
    }

    required(ReadFloats(1800, &p.exposureCompensation, 1));

    int32_t mode = 0, level = 0, basic = 0;
    if (ReadInts(1822, &mode, 1) != 0) mode = 0;
    int program = NoiseModeFromDriver(mode);
    NormalizeNoiseReductionMode(program);
    p.noiseReductionMode = program;
    if (ReadInts(1847, &level, 1) != 0) level = 0;
    p.noiseReductionThreshold = level;
    p.noiseReductionThreshold = QuantizeNoiseThreshold(p);
    if (ReadInts(1820, &strength, 1) != 0) strength = 0;
    p.noiseReductionStrength = strength;
    if (ReadInts(1968, &basic, 1) != 0) basic = 0;
    p.basicNoiseReductionStrength = basic;

    DriverRect rect{0, 0, 0, 0};
    required(ReadRect(1923, rect));
    p.crop = CropOf(rect);
    if (p.crop.left == 0 && p.crop.top == 0 && p.crop.right == -1 && p.crop.bottom == -1) p.crop = imageRect_;

    int32_t sharpen[3] = {0, 0, 0};
    required(ReadInts(1860, sharpen, 3));
    ImageProcessParam::CheckSharpenSettings(sharpen, sharpenPresets_[1]);
    p.sharpenAmount = sharpen[0], p.sharpenRadius = sharpen[1], p.sharpenThreshold = sharpen[2];
    for (int i = 0; i < 4; ++i) required(ReadInts(1862 + i, sharpenPresets_[i], 3));
}

std::string ProImage::GetCaptureLookName() {
    int32_t index = 0;
    cameraLookKnown_ = ReadInts(1954, &index, 1) == 0;
    if (!cameraLookKnown_) index = 0;
    return GetDefaultProfileName(index);
}

void ProImage::InitializeLook() {
    captureLookName = GetCaptureLookName();
    // A look stored in the file is the image's camera look.
    try {
        rawCameraLook_ = GetProfileFromAttribute(1903);
    } catch (...) {
        rawCameraLook_.Reset();
    }
    // The current set takes the camera look's name when the file holds one.
    std::string look = rawCameraLook_ ? rawCameraLook_->Name() : captureLookName;
    if (ColorServices* services = ColorServices::Get(); services && !look.empty()) {
        // The name as the engine registered the look (an older or newer
        // name of it finds the same profile); a monochrome image whose look
        // is unknown takes the engine's default grey look.
        YlmRefPtr<ColorSpaceDesc> desc;
        try {
            desc = services->FindProfileOrAlias(look);
        } catch (...) {
        }
        if (desc) look = desc->Name();
        else if (!isColor_) look = services->GetStaticProfileName("ZynProductGrayscale.icm");
    }
    if (look.empty()) return;
    processParams_.lookName = look;
    if (!isColor_ && !ImageProcessParam::IsGrayscaleLook(look)) processParams_.colorMode = 2;
}

void ProImage::InitializeCustomProcessParameters() {
    customParams = processParams_;
    uint16_t triple[3] = {0, 0, 0};
    int32_t code = 0;
    if (!Contains(supportedBalanceTypes, 4) || ReadTriple(304, triple) != 0 || ReadInts(1844, &code, 1) != 0) {
        std::fill(balanceTriples[4], balanceTriples[4] + 3, uint16_t(0));
        std::fill(customParams.customBalance, customParams.customBalance + 3, uint16_t(0));
        customParams.lighting = customParams.lightingIndex = 0;
        customParams.balanceType = 0;
        return;
    }
    CopyTriple(balanceTriples[4], triple);
    CopyTriple(customParams.customBalance, triple);
    customParams.balanceType = 4;
    customParams.lighting = customParams.lightingIndex = MapLightingCode(code);
}

void ProImage::InitializeAutoProcessParameters() {
    static const char* const op = "ProImage::InitializeAutoProcessParameters";
    autoParams = processParams_;
    int32_t value = 0;
    const int32_t status = ReadInts(1850, &value, 1);
    bool present = true;
    if (status == 0) {
        attribute1850Value = value;
        present = value != 0;
    } else if (status != VrelErrNotSupported) {
        YLM_THROW(op, NbErrImageFileOpenFailed);
    }
    uint16_t triple[3] = {0, 0, 0};
    int32_t code = 0;
    if (isColor_ && present) {
        present = ReadInts(1843, &code, 1) == 0;
        if (present) {
            if (canAdjustWhitePoint_ && CanAdjustWhitePointForBalanceType(autoParams.balanceType)) {
                triple[1] = kelvinRanges[5][1];
                autoParams.whitePoint = kelvinRanges[5][1];
            } else {
                present = ReadTriple(306, triple) == 0;
            }
        }
    }
    autoPresent = present;
    hasAutoParams_ = present;
    if (present) {
        float ec = 0.0f;
        if (ReadFloats(1803, &ec, 1) != 0 || !(ec >= exposureCompensationMin && ec <= exposureCompensationMax))
            ec = 0.0f;
        autoParams.exposureCompensation = ec;
        supportedIlluminants.push_back(5);
        CopyTriple(balanceTriples[5], triple);
        CopyTriple(autoParams.autoBalance, triple);
        CopyTriple(processParams_.autoBalance, triple);
        autoParams.lightingIndex = MapLightingCode(code);
        autoParams.lighting = 5;
        autoParams.balanceType = 5;
    } else {
        autoParams.lighting = autoParams.lightingIndex = 6;
        autoParams.balanceType = 7;
    }
    autoParams.lensOptimization = processParams_.lensOptimization;
}

void ProImage::InitializeAtCaptureProcessParameters() {
    static const char* const op = "ProImage::InitializeAtCaptureProcessParameters";
    auto required = [&](int32_t status) {
        if (status != 0) YLM_THROW(op, NbErrImageFileOpenFailed);
    };
    ImageProcessParam& a = atCaptureParams;
    a = processParams_;
    if (!captureLookName.empty()) a.lookName = captureLookName;
    int32_t rotation = 0;
    atCaptureRotationPresent = captureFlag1927 = ReadInts(1927, &rotation, 1) == 0;
    if (atCaptureRotationPresent) a.rotation = float(rotation);
    DriverRect rect{0, 0, 0, 0};
    atCaptureCropPresent = captureFlag1928 = ReadRect(1928, rect) == 0;
    a.crop = atCaptureCropPresent ? CropOf(rect) : NbRect(0, 0, -1, -1);
    int32_t lighting = 0;
    const int32_t ls = ReadInts(1842, &lighting, 1);
    if (ls != 0 && ls != VrelErrNotSupported) YLM_THROW(op, NbErrImageFileOpenFailed);
    a.lighting = a.lightingIndex = isColor_ ? MapLightingCode(ls == 0 ? lighting : 0) : 6;
    atCaptureBalanceValid = true;
    if (isColor_) {
        if (canAdjustWhitePoint_ && CanAdjustWhitePointForBalanceType(a.balanceType)) {
            uint16_t t[3];
            required(ReadTriple(329, t));
            a.whitePoint = t[1];
        }
        int32_t type = 0;
        required(ReadInts(1840, &type, 1));
        if (type >= 0 && type <= 5) a.balanceType = type;
        else atCaptureBalanceValid = false;
    } else {
        a.balanceType = 7;
        a.whitePoint = 0;
    }
    int32_t mode = 0;
    if (ReadInts(1824, &mode, 1) != 0) mode = 0;
    int program = NoiseModeFromDriver(mode);
    NormalizeNoiseReductionMode(program);
    a.noiseReductionMode = program;
    a.basicNoiseReductionStrength = hasBasicNoise && moirePresets.size() >= 4 ? moirePresets[3] : 0;
    a.noiseReductionThreshold = hasMoireModes && noiseLevelPresets.size() >= 4 ? noiseLevelPresets[3] : 0;
    a.noiseReductionThreshold = QuantizeNoiseThreshold(a);
    int32_t strength = 50;
    const int32_t ss = ReadInts(1823, &strength, 1);
    if (ss != 0) strength = 50;
    a.noiseReductionStrength = strength;
    const int32_t s1811 = ReadInts(1811, &attribute1811Value, 1);
    if (s1811 != 0) {
        if (driverKind == Wren3 || driverKind == Wren4) YLM_THROW(op, NbErrImageFileOpenFailed);
        attribute1811Value = 0;
    }
    int32_t sharpen[3] = {0, 0, 0};
    if (ReadInts(1861, sharpen, 3) == 0)
        a.sharpenAmount = sharpen[0], a.sharpenRadius = sharpen[1], a.sharpenThreshold = sharpen[2];
    float tone[3] = {0, 0, 0};
    if (ReadFloats(1962, tone, 3) != 0) std::fill(tone, tone + 3, 0.0f);
    for (int i = 0; i < 3; ++i) atCaptureReferenceLevels[i] = a.referenceLevels[i] = ImageProcessParam::RoundLevel(tone[i]);
    a.levelsEnabled = false;
    if (atCaptureBalanceValid) supportedIlluminants.push_back(4);
}

void ProImage::InitializeCurrentProcessParameters() {
    static const char* const op = "ProImage::InitializeCurrentProcessParameters";
    auto required = [&](int32_t status) {
        if (status != 0) YLM_THROW(op, NbErrImageFileOpenFailed);
    };
    ImageProcessParam& p = processParams_;
    int32_t code = 0;
    const int32_t ls = ReadInts(1841, &code, 1);
    hasLightingCode = ls == 0;
    if (ls == VrelErrNotSupported) p.lighting = p.lightingIndex = 0;
    else if (ls != 0) YLM_THROW(op, NbErrImageFileOpenFailed);
    else p.lighting = p.lightingIndex = isColor_ ? MapLightingCode(code) : 6;

    if (!(canAdjustWhitePoint_ && CanAdjustWhitePointForBalanceType(p.balanceType))) {
        uint16_t shot[3] = {1000, 1000, 1000};
        if (ReadTriple(300, shot) != 0) {
            if (isColor_) YLM_THROW(op, NbErrImageFileOpenFailed);
            shot[0] = shot[1] = shot[2] = 1000;
        }
        CopyTriple(balanceTriples[6], shot);
        CopyTriple(p.clickBalance, shot);
    }
    canAdjustColorBalance_ = false;
    std::fill(colorBalanceLimits_, colorBalanceLimits_ + 3, int16_t(0));
    if (isColor_) {
        uint16_t fine[3], limits[3];
        if (ReadTriple(331, fine) == 0 && ReadTriple(332, limits) == 0) {
            canAdjustColorBalance_ = true;
            if (p.lightingIndex >= 0 && p.lightingIndex < ImageProcessParam::kLightingTriples)
                CopyTriple(p.fineTuneBalance[p.lightingIndex], fine);
            for (int i = 0; i < 3; ++i) colorBalanceLimits_[i] = int16_t(limits[i]);
        }
    }
    int32_t rotation = 0;
    required(ReadInts(1922, &rotation, 1));
    p.rotation = float(rotation);
    required(ReadFloats(1800, &p.exposureCompensation, 1));
    int32_t flag = 0;
    attribute1867Set = ReadInts(1867, &flag, 1) == 0 && flag != 0;
    int32_t enabled = 0;
    if (ReadInts(1960, &enabled, 1) == 0) {
        p.levelsEnabled = enabled != 0;
        float levels[3], reference[3];
        if (ReadFloats(1957, levels, 3) == 0 && ReadFloats(1962, reference, 3) == 0) {
            for (int i = 0; i < 3; ++i) {
                p.levels[i] = ImageProcessParam::RoundLevel(levels[i]);
                p.referenceLevels[i] = reference[i];
            }
        } else {
            p.levelsEnabled = false;
        }
    }
    int32_t lens = 0;
    if (ReadInts(1970, &lens, 1) == 0) p.lensOptimization = lens;
    if (!isColor_) {
        p.lighting = p.lightingIndex = 6;
        p.balanceType = 7;
    }
}

ImageProcessParam ProImage::GetAtCaptureParams() {
    ImageProcessParam p = processParams_;
    const ImageProcessParam& a = atCaptureParams;
    p.lighting = a.lighting;
    p.lightingIndex = a.lightingIndex;
    p.balanceType = a.balanceType;
    p.sharpenAmount = a.sharpenAmount, p.sharpenRadius = a.sharpenRadius, p.sharpenThreshold = a.sharpenThreshold;
    p.exposureCompensation = a.exposureCompensation;
    p.whitePoint = a.whitePoint;
    if (atCaptureRotationPresent) p.rotation = a.rotation;
    if (atCaptureCropPresent) p.crop = a.crop;
    if (cameraLookKnown_ && !a.lookName.empty()) p.SetLook(a.lookName);
    if (hasMoireModes) {
        p.noiseReductionMode = a.noiseReductionMode;
        p.noiseReductionStrength = a.noiseReductionStrength;
        p.noiseReductionThreshold = a.noiseReductionThreshold;
        p.basicNoiseReductionStrength = a.basicNoiseReductionStrength;
    }
    ClampWhitePoint(p);
    for (int i = 0; i < 3; ++i) p.levels[i] = ImageProcessParam::RoundLevel(atCaptureReferenceLevels[i]);
    if (a.lightingIndex >= 0 && a.lightingIndex < ImageProcessParam::kLightingTriples)
        CopyTriple(p.fineTuneBalance[a.lightingIndex], a.fineTuneBalance[a.lightingIndex]);
    p.lensOptimization = a.lensOptimization;
    return p;
}

ImageProcessParam ProImage::GetAutoParams() {
    ImageProcessParam p = processParams_;
    p.lighting = autoParams.lighting;
    p.lightingIndex = autoParams.lightingIndex;
    p.balanceType = autoParams.balanceType;
    p.whitePoint = autoParams.whitePoint;
    CopyTriple(p.autoBalance, autoParams.autoBalance);
    p.exposureCompensation = autoParams.exposureCompensation;
    p.lensOptimization = autoParams.lensOptimization;
    ClampWhitePoint(p);
    return p;
}

ImageProcessParam ProImage::GetCustomParams() {
    ImageProcessParam p = processParams_;
    p.lighting = p.lightingIndex = customParams.lighting;
    p.balanceType = 4;
    CopyTriple(p.customBalance, customParams.customBalance);
    p.whitePoint = customParams.whitePoint;
    return p;
}

void ProImage::SetProcessParams(const ImageProcessParam& params) {
    if (params == processParams_) return;
    processParams_ = params;
    modified_ = true;
    if (params.lighting >= 0 && params.lighting <= 3) processParams_.lightingIndex = params.lighting;
    NotifyImageChange(ImageChangeParams);
}

bool ProImage::HasOptionChoices() {
    int32_t type = 0, count = 0;
    return AttributeInfo(1901, &type, &count) == 0 && count >= 2;
}

// Writing parameters -------------------------------------------------------------------

void ProImage::WriteProcessParamsToFile() {
    static const char* const op = "ProImage::WriteProcessParamsToFile";
    auto must = [&](int32_t status) {
        if (status != 0) YLM_THROW(op, NbErrAttributeWriteFailed);
    };
    if (IsReadOnly()) YLM_THROW(op, NbErrImageReadOnly);
    ImageProcessParam& p = processParams_;
    if (hasNoiseStrength) {
        must(WriteInts(1820, VrelTypeInt, &p.noiseReductionStrength, 1));
        const int32_t threshold = QuantizeNoiseThreshold(p);
        if (hasMoireModes) must(WriteInts(1847, VrelTypeInt, &threshold, 1));
        if (hasBasicNoise) must(WriteInts(1968, VrelTypeInt, &p.basicNoiseReductionStrength, 1));
        const int32_t mode = NoiseModeToDriver(p.noiseReductionMode);
        must(WriteInts(1822, VrelTypeInt, &mode, 1));
    }
    float ec = p.exposureCompensation;
    must(WriteFloats(1800, VrelTypeFloat, &ec, 1));
    p.exposureCompensation = ec;
    const bool r = CanAdjustWhitePointForBalanceType(p.balanceType);
    const bool adjustable = canAdjustWhitePoint_ && r;
    if (adjustable) {
        const uint16_t wp[3] = {uint16_t(p.balanceType), p.whitePoint, uint16_t(p.lightingIndex)};
        const int32_t s = WriteTriple(321, VrelTypeUShortTriple, wp);
        if (s != 0 && s != VrelErrNotSupported) YLM_THROW(op, NbErrAttributeWriteFailed);
    }
    GetBalanceKelvinRange(6, &kelvinRanges[6][0], &kelvinRanges[6][1], &kelvinRanges[6][2]);
    if (kelvinRanges[6][1] != 0) must(WriteTriple(328, VrelTypeUShortTriple, kelvinRanges[6]));
    const int32_t rotation = int32_t(p.rotation);
    must(WriteInts(1922, VrelTypeInt32, &rotation, 1));
    if (!adjustable) {
        uint16_t triple[3];
        LookupBalanceTriple(p, triple);
        const int32_t s = WriteTriple(300, VrelTypeUShortTriple, triple);
        if (s != 0 && isColor_) YLM_THROW(op, NbErrAttributeWriteFailed);
    }
    if (canOptimizeLens_) must(WriteInts(1970, VrelTypeInt, &p.lensOptimization, 1));
    if (hasLightingCode) {
        const int32_t code = LightingCodeForIndex(p.lightingIndex);
        must(WriteInts(1841, VrelTypeInt, &code, 1));
    }
    if (CanAdjustColorBalance() && p.lightingIndex >= 0 && p.lightingIndex < ImageProcessParam::kLightingTriples)
        must(WriteTriple(331, VrelTypeShortTriple, p.fineTuneBalance[p.lightingIndex]));
    if (canAdjustTone_) {
        const int32_t enabled = p.levelsEnabled ? 1 : 0;
        must(WriteInts(1960, VrelTypeFlag, &enabled, 1));
        if (p.levelsEnabled) {
            float levels[3];
            for (int i = 0; i < 3; ++i) levels[i] = ImageProcessParam::RoundLevel(p.levels[i]);
            must(WriteFloats(1957, VrelTypeFloatTriple, levels, 3));
        }
    }
    fileCrop_ = p.crop;
    const int32_t crop[4] = {p.crop.top, p.crop.left, p.crop.bottom + 1, p.crop.right + 1};
    must(WriteInts(1923, VrelTypeRect, crop, 1));
    const int32_t type = (p.balanceType >= 0 && p.balanceType <= 6) ? p.balanceType : -1;
    WriteInts(1857, VrelTypeInt, &type, 1);
    // The look in force goes into the file as a profile: the image's own
    // camera look when it is the one named, else the engine's.
    if (ColorServices* services = ColorServices::Get()) {
        const std::string id = GetLookProfileID(p.lookName);
        YlmRefPtr<ColorSpaceDesc> profile;
        if (rawCameraLook_ && rawCameraLook_->Name() == id && services->FindProfileOrAlias(id)) profile = rawCameraLook_;
        else profile = services->FindProfile(id);
        if (profile) StoreProfileInAttribute(profile, 1903);
    }
    const int32_t sharpen[3] = {p.sharpenAmount, p.sharpenRadius, p.sharpenThreshold};
    WriteInts(1860, VrelTypeIntTriple, sharpen, 3);
}

void ProImage::SetParmsInImageForLinearRendering(ImageProcessParam& p) {
    static const char* const op = "ProImage::SetParmsInImageForLinearRendering";
    auto must = [&](int32_t status) {
        if (status != 0) YLM_THROW(op, NbErrInvalidValue);
    };
    const int32_t notLinear = p.colorMode == 1 ? 0 : 1, zero = 0;
    WriteInts(1950, VrelTypeFlag, &notLinear, 1);
    WriteInts(1868, VrelTypeFlag, &zero, 1);
    WriteInts(1953, VrelTypeInt, &zero, 1);
    const bool off = p.noiseReductionMode == 0;
    if (hasNoiseStrength) {
        const int32_t mode = NoiseModeToDriver(p.noiseReductionMode);
        must(WriteInts(1822, VrelTypeInt, &mode, 1));
        const int32_t strength = off ? 0 : p.noiseReductionStrength;
        must(WriteInts(1820, VrelTypeInt, &strength, 1));
        if (hasMoireModes) {
            const int32_t threshold = off ? 0 : p.noiseReductionThreshold;
            must(WriteInts(1847, VrelTypeInt, &threshold, 1));
        }
        if (hasBasicNoise) {
            const int32_t basic = off ? 0 : p.basicNoiseReductionStrength;
            must(WriteInts(1968, VrelTypeInt, &basic, 1));
        }
    }
    const bool adjustable = canAdjustWhitePoint_ && CanAdjustWhitePointForBalanceType(p.balanceType);
    if (isColor_ && !adjustable) {
        uint16_t triple[3];
        LookupBalanceTriple(p, triple);
        must(WriteTriple(300, VrelTypeUShortTriple, triple));
    }
    if (CanAdjustColorBalance()) {
        // A lighting index outside the seven triples has no fine-tuning.
        if (p.lightingIndex < 0 || p.lightingIndex >= ImageProcessParam::kLightingTriples)
            YLM_THROW(op, NbErrInvalidValue);
        must(WriteTriple(331, VrelTypeShortTriple, p.fineTuneBalance[p.lightingIndex]));
    }
    if (canAdjustTone_) {
        float levels[3];
        for (int i = 0; i < 3; ++i) levels[i] = ImageProcessParam::RoundLevel(p.levels[i]);
        must(WriteFloats(1957, VrelTypeFloatTriple, levels, 3));
        const int32_t enabled = p.levelsEnabled ? 1 : 0;
        must(WriteInts(1960, VrelTypeFlag, &enabled, 1));
    }
    float ec = p.exposureCompensation;
    must(WriteFloats(1800, VrelTypeFloat, &ec, 1));
    if (adjustable) {
        const uint16_t wp[3] = {uint16_t(p.balanceType), p.whitePoint, uint16_t(p.lightingIndex)};
        const int32_t s = WriteTriple(321, VrelTypeUShortTriple, wp);
        if (s != 0 && s != VrelErrNotSupported) YLM_THROW(op, NbErrInvalidValue);
    }
    if (hasLightingCode) {
        const int32_t code = LightingCodeForIndex(p.lightingIndex);
        must(WriteInts(1841, VrelTypeInt, &code, 1));
    }
    if (canOptimizeLens_) must(WriteInts(1970, VrelTypeInt, &p.lensOptimization, 1));
}

} // namespace NimbalCore
