// ZynImage: process parameters in both directions between the image and the
// camera interface, the parameter sets, their validation, rectangles under
// rotation and the white-balance points.
#include "ZynImage.h"

#include "NbErrorCodes.h"
#include "StImageClosableFlagRestorer.h"
#include "StaticProfileTable.h"
#include "YlmErrp.h"
#include "ZynVqIds.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace NimbalCore {

namespace {

constexpr const char* kSendOp = "ZynImage::SetProcessParamsInImageExceptWindow";
constexpr const char* kReadOp = "ZynImage::ReadProcessParamsFromFile";
constexpr const char* kClickOp = "ZynImage::CalculateClickBalance";
// The tag that holds the camera's custom balance point.
constexpr uint16_t kCustomBalanceTag = 2124;
// TIFF field type of the balance point's values.
constexpr uint32_t kRationalType = 5;
// How many directories the tag lookup walks from IFD0.
constexpr uint16_t kTagLookupDirectories = 3;
// A camera's balance value that means "not measured".
constexpr uint16_t kUnmeasured = 4095;
// Exposure compensation the interface takes, in stops.
constexpr float kExposureLimit = 2.0f;
// The chroma filter's level when on.
constexpr uint32_t kChromaOn = 100;
// The click balance's sample: 16 x 16 pixels, starting 8 before the click.
constexpr int32_t kClickSample = 16;
constexpr int32_t kClickOffset = 8;
// A sampled value this low is too dark to balance on.
constexpr uint16_t kTooDark = 5;
// The smallest crop side.
constexpr int32_t kMinimumSide = 8;

void* Word(uint32_t value) { return reinterpret_cast<void*>(uintptr_t(value)); }

uint32_t FloatBits(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

bool AllZero(const uint16_t t[3]) { return t[0] == 0 && t[1] == 0 && t[2] == 0; }

ZynImage::Triple TripleOf(const uint16_t t[3]) { return ZynImage::Triple{t[0], t[1], t[2]}; }

void Store(const ZynImage::Triple& t, uint16_t out[3]) { std::copy(t.begin(), t.end(), out); }

bool IsQuarterTurn(float angle) {
    return angle == 0.0f || angle == 90.0f || angle == 180.0f || angle == 270.0f;
}

} // namespace

// Small mappings -------------------------------------------------------------------

int ZynImage::LightingToPreset(int lighting) { return lighting >= 1 && lighting <= 5 ? lighting : 0; }
int ZynImage::PresetToLighting(int preset) { return preset >= 1 && preset <= 5 ? preset : 0; }
ZynImage::Triple ZynImage::BalanceTripleToSDK(Triple triple) { return triple; }
ZynImage::Triple ZynImage::BalanceTripleFromSDK(Triple triple) { return triple; }
int ZynImage::SpareCodeMappingA(int code) { return code == 1 || code == 2 ? code : 0; }
int ZynImage::SpareCodeMappingB(int code) { return code == 1 || code == 2 ? code : 0; }
int ZynImage::FoldLowCodes(int code) { return code >= 1 && code <= 6 ? 1 : code; }

int ZynImage::BalanceTypeForLighting(int lighting) {
    switch (lighting) {
    case 1:
    case 2:
    case 3:
    case 5: return lighting;
    case 4: {
        const int code = imageTypeCode_;
        if (code == 1 || code == 2 || code == 3 || code == 5) return code;
        const uint16_t* t = processParams_.customBalance;
        const bool usable = t[0] != 0 && t[1] != 0 && t[2] != 0 &&
                            !(t[0] == kUnmeasured && t[1] == kUnmeasured && t[2] == kUnmeasured);
        return code == 4 && usable ? 4 : 0;
    }
    default: return 0;
    }
}

ZynImage::Triple ZynImage::UsableBalancePoint(Triple t) {
    if (t[0] == 0 || t[1] == 0 || t[2] == 0) return Triple{};
    if (t[0] == kUnmeasured && t[1] == kUnmeasured && t[2] == kUnmeasured) return Triple{};
    return t;
}

// Sending --------------------------------------------------------------------------------

void ZynImage::SetProcessParamsInImageExceptWindow(const ImageProcessParam& params) {
    StImageClosableFlagRestorer closable(this);
    if (const int code = EnsureOpen()) YLM_THROW(kSendOp, code);
    try {
        VqSection section(*this);
        SendProcessParams(params);
        Touch();
    } catch (const YlmErrp&) {
        throw;
    } catch (...) {
        YLM_THROW(kSendOp, NbErrSettingsBlockFailed);
    }
}

void ZynImage::SetParmsInImageForLinearRendering(ImageProcessParam& params) {
    SetProcessParamsInImageExceptWindow(params);
}

void ZynImage::SendProcessParams(const ImageProcessParam& params) {
    // Until the whole set is in, the interface holds no set of ours.
    paramsSent_ = false;
    auto check = [](uint32_t status) {
        if (status != 0) YLM_THROW(kSendOp, NbErrCameraSettingRefused);
    };
    if (CanAdjustExposure())
        check(VqSetExtension(&info_, ZynExtExposure, Word(FloatBits(params.exposureCompensation)), 0, 0, 0, 0));

    if (CanClickBalance()) {
        const int type = params.balanceType;
        // The preset of a balance the camera defined: the lighting when it is
        // one of the four, else the lighting the interface resolved it to.
        auto presetFor = [&](int32_t resolved) {
            if (params.lighting >= 0 && params.lighting <= 3) return LightingToPreset(params.lighting);
            return resolved != 9 ? int(resolved) : LightingToPreset(params.lightingIndex);
        };
        int preset = LightingToPreset(params.lighting);
        uint32_t custom = 0;
        Triple triple{};
        int32_t kind = 0;
        switch (type) {
        case 4:
            preset = presetFor(customLighting_);
            custom = 1;
            triple = BalanceTripleToSDK(TripleOf(params.customBalance));
            kind = 3;
            break;
        case 5:
            preset = presetFor(autoLighting_);
            custom = 1;
            triple = BalanceTripleToSDK(TripleOf(params.autoBalance));
            kind = 2;
            break;
        case 6:
            custom = 1;
            triple = BalanceTripleToSDK(TripleOf(params.clickBalance));
            kind = 1;
            break;
        default: break;
        }
        const uint32_t enabled = (custom != 0 && info_.modelFamily == 0) ? 0 : 1;
        check(VqSetExtension(&info_, ZynExtWhiteBalance, Word(enabled), uint32_t(preset), custom,
                             uint32_t(triple[0]) | uint32_t(triple[1]) << 16, triple[2]));
        if (info_.modelFamily != 0) {
            check(VqSetHidden(&info_, ZynHiddenBalanceKind, &kind));
            balanceKind_ = kind;
        }
    }

    if (CanChangeLook()) {
        int grayscale = 0;
        check(VqSetExtension(&info_, ZynExtLook, Word(uint32_t(LookIndexForName(params.lookName, &grayscale))), 0, 0,
                             0, 0));
    }

    if (CanSharpen()) {
        check(VqSetExtension(&info_, ZynExtRendererValue, Word(0), 0, 0, 0, 0));
        // The image's own triple, whatever the set sent: the stored one.
        const ImageProcessParam& own = processParams_;
        VqSetExtension(&info_, ZynExtSharpeningTriple, Word(uint32_t(own.sharpenAmount)), uint32_t(own.sharpenRadius),
                       uint32_t(own.sharpenThreshold), 0, 0);
    }

    if (!GetNoiseReductionModes().empty())
        check(VqSetExtension(&info_, ZynExtChromaFilter, Word(params.noiseReductionMode != 0 ? kChromaOn : 0), 0, 0,
                             0, 0));
    sentParams_ = params;
    paramsSent_ = true;
}

// Reading ----------------------------------------------------------------------------------

void ZynImage::ReadProcessParamsFromFile() {
    StImageClosableFlagRestorer closable(this);
    if (const int code = EnsureOpen()) YLM_THROW(kReadOp, code);
    try {
        VqSection section(*this);
        ReadProcessParams(processParams_);
        Touch();
    } catch (const YlmErrp&) {
        throw;
    } catch (...) {
        YLM_THROW(kReadOp, NbErrSettingsBlockFailed);
    }
}

bool ZynImage::ReloadProcessParamsFromSDK() {
    if (const int code = EnsureOpen()) YLM_THROW(kReadOp, code);
    StCriticalSectionLock guard(vqLock_);
    const ImageProcessParam before = processParams_;
    ReadProcessParamsFromFile();
    processParams_.crop = before.crop;
    return !(processParams_ == before);
}

void ZynImage::ReadProcessParams(ImageProcessParam& p) {
    auto check = [](uint32_t status) {
        if (status != 0) YLM_THROW(kReadOp, NbErrReadSettingsFailed);
    };
    const std::string zynRGB = StaticProfileTable::Description(StaticProfileTable::kZynRGB);
    sourceColorSpaceName_ = zynRGB;
    const uint32_t type = info_.outputType;
    p.workingSpaceName = type >= VQ_TYPE_GRAY8 && type <= VQ_TYPE_BGRX16 ? zynRGB : std::string();
    p.SetBalanceName(GetSerialNumber());

    ReadSharpening(p);

    if (GetNoiseReductionModes().empty()) {
        p.noiseReductionMode = 0;
    } else {
        uint32_t status = 0;
        const int32_t level = ReadExtensionWord(ZynExtChromaFilter, &status);
        check(status);
        if (level > 0) p.noiseReductionMode = HasCapability(kSecondNoiseMode) ? 2 : 1;
        p.SetNoiseReductionStrength(level);
    }

    p.exposureCompensation = 0.0f;
    if (CanAdjustExposure()) {
        uint32_t value[8] = {};
        check(VqGetExtension(&info_, ZynExtExposure, value));
        std::memcpy(&p.exposureCompensation, value, sizeof p.exposureCompensation);
    }

    if (CanChangeLook()) {
        uint32_t status = 0;
        const int32_t look = ReadExtensionWord(ZynExtLook, &status);
        check(status);
        p.SetLook(LookNameForIndex(look, type == VQ_TYPE_GRAY8 || type == VQ_TYPE_GRAY16));
    } else {
        p.SetLook(std::string());
    }

    float rotation = 0.0f;
    check(VqGetRotateType(&info_, &rotation));
    p.rotation = rotation;

    ReadWhiteBalance(p);

    if (Has(GetSupportedBalanceTypes(), 5)) {
        Triple t{};
        uint16_t ratios[4] = {};
        if (VqGetExtension(&info_, ZynExtAutoBalanceRatios, ratios) == 0)
            t = UsableBalancePoint(Triple{ratios[0], ratios[1], ratios[2]});
        Store(t, p.autoBalance);
        hasAutoParams_ = CanAdjustExposure();
    }
    Store(GetBalancePointFromTag(kCustomBalanceTag), p.customBalance);

    NbRect window;
    GetOutputWindow(window);
    const NbRect native = GetNativeImageRect();
    p.crop = CropFromOutputWindow(window, int(p.rotation), int32_t(native.Width()), int32_t(native.Height()));
}

void ZynImage::ReadSharpening(ImageProcessParam& p) {
    // Nothing here is reported: what cannot be read keeps the presets.
    int32_t triple[3];
    GetSharpenPreset(1, triple);
    uint32_t value[8] = {};
    if (CanSharpen() && VqGetExtension(&info_, ZynExtSharpeningState, value) == 0) cameraSharpening_ = value[3] != 0;
    std::memset(value, 0, sizeof value);
    if (VqGetExtension(&info_, ZynExtSharpeningTriple, value) == 0)
        for (int i = 0; i < 3; ++i) triple[i] = int32_t(value[i]);
    for (int preset = 0; preset < 4; ++preset) {
        std::memset(value, 0, sizeof value);
        if (VqGetExtension(&info_, ZynExtSharpeningPreset0 + uint32_t(preset), value) == 0)
            for (int i = 0; i < 3; ++i) sharpenPresets_[preset][i] = int32_t(value[i]);
    }
    int32_t defaults[3];
    GetSharpenPreset(2, defaults);
    ImageProcessParam::CheckSharpenSettings(triple, defaults);
    p.sharpenMode = 0;
    p.sharpenAmount = triple[0];
    p.sharpenRadius = triple[1];
    p.sharpenThreshold = triple[2];
}

void ZynImage::ReadWhiteBalance(ImageProcessParam& p) {
    auto check = [](uint32_t status) {
        if (status != 0) YLM_THROW(kReadOp, NbErrReadSettingsFailed);
    };
    if (!CanClickBalance()) {
        p.lighting = 6;
        p.lightingIndex = 6;
        p.balanceType = 7;
        return;
    }
    uint32_t value[8] = {};
    check(VqGetExtension(&info_, ZynExtWhiteBalance, value));
    const int32_t preset = int32_t(value[1]);
    const bool custom = value[2] != 0;
    const Triple t =
        BalanceTripleFromSDK(Triple{uint16_t(value[3] & 0xFFFFu), uint16_t(value[3] >> 16), uint16_t(value[4])});
    p.lighting = PresetToLighting(preset);
    int32_t kind = 0;
    if (info_.modelFamily != 0) {
        check(VqGetHidden(&info_, ZynHiddenBalanceKind, &kind));
        balanceKind_ = kind;
    }
    if (!custom) {
        p.balanceType = BalanceTypeForLighting(p.lighting);
    } else if (kind == 0 || kind == 1) {
        p.SetClickBalance(t[0], t[1], t[2]);
        p.balanceType = AllZero(p.clickBalance) ? BalanceTypeForLighting(p.lighting) : 6;
    } else if (kind == 2) {
        p.balanceType = 5;
        Store(t, p.autoBalance);
    } else if (kind == 3) {
        p.balanceType = 4;
        Store(t, p.customBalance);
    } else {
        p.balanceType = 6;
        p.SetClickBalance(t[0], t[1], t[2]);
    }
    uint32_t status = 0;
    const int32_t resolved = ReadExtensionWord(ZynExtBalanceLighting, &status);
    check(status);
    p.lightingIndex = PresetToLighting(resolved);
}

NbRect ZynImage::CropFromOutputWindow(const NbRect& window, int rotation, int32_t W, int32_t H) {
    const int64_t x = window.left, y = window.top, w = window.Width(), h = window.Height();
    int64_t left = x, top = y, width = w, height = h;
    switch (rotation) {
    case 90: left = y, top = H - x - w, width = h, height = w; break;
    case 180: left = W - w - x, top = H - h - y; break;
    case 270: left = W - y - h, top = x, width = h, height = w; break;
    default: break;
    }
    const int64_t right = left + width - 1, bottom = top + height - 1;
    const NbRect native(0, 0, W - 1, H - 1);
    const bool inside = width > 0 && height > 0 && left >= 0 && top >= 0 && right < W && bottom < H;
    if (!inside || (left & 1) || !(right & 1) || (top & 1) || !(bottom & 1)) return native;
    return NbRect(int32_t(left), int32_t(top), int32_t(right), int32_t(bottom));
}

// White-balance points --------------------------------------------------------------

ZynImage::Triple ZynImage::GetBalancePointFromTag(uint16_t tag) {
    if (const int code = EnsureOpen()) YLM_THROW("ZynImage::GetBalancePointFromTag", code);
    VqSection section(*this);
    uint32_t entry[8] = {};
    const uint16_t request[3] = {tag, 0, kTagLookupDirectories};
    std::memcpy(entry, request, sizeof request);
    if (VqGetHidden(&info_, ZynHiddenFindTag, entry) != 0) return Triple{};
    // Three RATIONALs or nothing: a shorter tag has no third value to read.
    const uint32_t offset = entry[2], type = entry[3], bytes = entry[4], count = entry[5];
    if (type != kRationalType || count < 3 || bytes < 24) return Triple{};
    uint32_t values[8] = {offset, 24, kRationalType};
    if (VqGetHidden(&info_, ZynHiddenTagValues, values) != 0) return Triple{};
    Triple t{};
    for (int i = 0; i < 3; ++i) {
        const uint32_t numerator = values[2 * i], denominator = values[2 * i + 1];
        if (denominator == 0) return Triple{};
        t[size_t(i)] = uint16_t(numerator / denominator);
    }
    return UsableBalancePoint(t);
}

ZynImage::Triple ZynImage::GetAutoBalancePoint() {
    if (const int code = EnsureOpen()) YLM_THROW("ZynImage::GetAutoBalancePoint", code);
    VqSection section(*this);
    uint16_t ratios[4] = {};
    if (VqGetExtension(&info_, ZynExtAutoBalanceRatios, ratios) != 0) return Triple{};
    return UsableBalancePoint(Triple{ratios[0], ratios[1], ratios[2]});
}

// Parameter sets -----------------------------------------------------------------------

ImageProcessParam ZynImage::GetAtCaptureParams() {
    ImageProcessParam p = processParams_;
    p.lighting = 4;
    p.balanceType = BalanceTypeForLighting(4);
    p.exposureCompensation = 0.0f;
    p.sharpenMode = 0;
    int32_t triple[3];
    GetSharpenPreset(cameraSharpening_ ? 1 : 0, triple);
    if (EnsureOpen() == 0) {
        VqSection section(*this);
        uint32_t value[8] = {};
        if (VqGetExtension(&info_, ZynExtCameraSharpening, value) == 0)
            for (int i = 0; i < 3; ++i) triple[i] = int32_t(value[i]);
    }
    p.sharpenAmount = triple[0];
    p.sharpenRadius = triple[1];
    p.sharpenThreshold = triple[2];
    return p;
}

ImageProcessParam ZynImage::GetAutoParams() {
    StImageClosableFlagRestorer closable(this);
    if (const int code = EnsureOpen()) YLM_THROW("ZynImage::GetAutoParams", code);
    // No other thread's settings between sending, reading and restoring.
    StCriticalSectionLock guard(vqLock_);
    ImageProcessParam automatic = processParams_;
    const ImageProcessParam kept = processParams_;
    automatic.lighting = 5;
    automatic.balanceType = 0;
    try {
        SetProcessParamsInImageExceptWindow(automatic);
        ReadProcessParamsFromFile();
        automatic = processParams_;
        processParams_ = kept;
        SetProcessParamsInImageExceptWindow(kept);
    } catch (...) {
        // The image's own set, here and in the interface, whatever failed.
        processParams_ = kept;
        try {
            SetProcessParamsInImageExceptWindow(kept);
        } catch (...) {
            // The first failure is the one to report.
        }
        throw;
    }
    return automatic;
}

ImageProcessParam ZynImage::GetCustomParams() {
    ImageProcessParam p = processParams_;
    p.balanceType = 4;
    p.lighting = p.lightingIndex;
    return p;
}

// Validation and rectangles -------------------------------------------------------------

Image::ValidationCodes ZynImage::ValidateProcessParams(const ImageProcessParam& p) {
    using P = ImageProcessParam;
    const std::vector<int> types = GetSupportedBalanceTypes();
    if (p.lighting == 5 && !Has(types, 5)) return P::AutoLightingUnsupported;
    if (p.lighting == 4 && !HasAtCaptureParams()) return P::NoAtCaptureParams;
    const bool click = CanClickBalance();
    if (p.balanceType == 7 && click) return P::BalanceTypeRejected;
    if (p.balanceType != 7 && !click) return P::CannotClickBalance;
    if (click) {
        if (p.balanceType == 6 && p.balanceSource != GetSerialNumber()) return P::BalanceFromOtherCamera;
        if ((p.balanceType == 4 && AllZero(p.customBalance)) || (p.balanceType == 5 && AllZero(p.autoBalance)) ||
            (p.balanceType == 6 && AllZero(p.clickBalance)))
            return P::ZeroBalanceTriple;
    }
    const std::vector<int> illuminants = GetSupportedIlluminants();
    if (p.lighting != 6 && illuminants.size() < 2) return P::LightingUnsupported;
    if (p.lighting == 5 && p.balanceType == 6) return P::AutoLightingWithClickBalance;
    if (p.lighting == 4 && p.balanceType == 6 && imageTypeCode_ == 5) return P::AsShotWithClickBalance;
    if (p.lighting == 6 && illuminants.size() > 1) return P::MonochromeOnColor;
    if (p.sharpenMode != 0 && !CanSharpen()) return P::CannotSharpen;
    const std::vector<int> modes = GetNoiseReductionModes();
    if (!modes.empty() && !Has(modes, p.noiseReductionMode)) return P::NoiseModeUnsupported;
    if (p.exposureCompensation != 0.0f && !CanAdjustExposure()) return P::CannotAdjustExposure;
    if (!(p.exposureCompensation >= -kExposureLimit && p.exposureCompensation <= kExposureLimit))
        return P::ExposureOutOfRange;
    float levels[3];
    for (int i = 0; i < 3; ++i) levels[i] = P::RoundLevel(p.levels[i]);
    if ((levels[0] != 0.0f || levels[1] != 0.0f || levels[2] != 0.0f) && !CanAdjustTone()) return P::CannotAdjustTone;
    if (CanAdjustTone()) {
        const ValidationCodes code = ValidateLevels(levels[0], levels[1], levels[2]);
        if (code != P::Valid) return code;
    }
    // The default look is every image's, also one whose file lists no looks.
    if (!p.lookName.empty() && p.lookName != GetDefaultProfileName(0) && !Has(GetAvailableLooks(), p.lookName))
        return P::LookUnavailable;
    if (p.whitePoint != 0) return P::CannotAdjustWhitePoint;
    // The fallback lighting picks one of seven triples; any other index is
    // refused before it is used.
    if (p.lightingIndex < 0 || p.lightingIndex >= P::kLightingTriples) return P::ColorBalanceOutOfLimits;
    const uint16_t* fine = p.fineTuneBalance[p.lightingIndex];
    if (CanAdjustColorBalance()) {
        int16_t low = 0, middle = 0, high = 0;
        GetColorBalanceLimits(&low, &middle, &high);
        for (int i = 0; i < 3; ++i)
            if (int16_t(fine[i]) < low || int16_t(fine[i]) > high) return P::ColorBalanceOutOfLimits;
    } else if (!AllZero(fine)) {
        return P::CannotAdjustColorBalance;
    }
    if (CanOptimizeLens()) {
        int low = 0, high = 0;
        GetLensOptimizationRange(&low, &high);
        if (p.lensOptimization < low || p.lensOptimization > high) return P::LensOptimizationOutOfRange;
    } else if (p.lensOptimization != -1) {
        return P::CannotOptimizeLens;
    }
    NbRect scratch;
    return MapRectBetweenRotations(p.crop, p.rotation, &scratch, 0.0f);
}

bool ZynImage::Has(const std::vector<std::string>& values, const std::string& value) const {
    return std::find(values.begin(), values.end(), value) != values.end();
}

Image::ValidationCodes ZynImage::MapRectBetweenRotations(const NbRect& src, float angle, NbRect* dst,
                                                         float frameAngle) {
    using P = ImageProcessParam;
    if (dst) *dst = NbRect();
    if (!std::isfinite(angle) || angle != std::floor(angle)) return P::RotationNotWhole;
    if (!IsQuarterTurn(angle)) return P::RotationNotQuarter;
    const NbRect native = GetNativeImageRect();
    int64_t W = native.Width(), H = native.Height();
    if (frameAngle == 90.0f || frameAngle == 270.0f) std::swap(W, H);
    const int64_t l = src.left, t = src.top, r = src.right, b = src.bottom;
    // A rectangle turned inside out, or starting left of or above the
    // image, lies outside it as well.
    if (l < 0 || t < 0 || r < l || b < t) return P::CropOutside;
    if (l > W - 8 || t > H - 8 || r >= W || b >= H) return P::CropOutside;
    if ((l & 1) || (t & 1) || ((r - l + 1) & 1) || ((b - t + 1) & 1)) return P::CropMisaligned;
    int64_t left = l, top = t, right = r, bottom = b;
    switch (int(angle)) {
    case 90: left = H - 1 - b, right = H - 1 - t, top = l, bottom = r; break;
    case 180: left = W - 1 - r, right = W - 1 - l, top = H - 1 - b, bottom = H - 1 - t; break;
    case 270: left = t, right = b, top = W - 1 - r, bottom = W - 1 - l; break;
    default: break;
    }
    if (dst) *dst = NbRect(int32_t(left), int32_t(top), int32_t(right), int32_t(bottom));
    return P::Valid;
}

void ZynImage::ClampRectToImage(NbRect& r) {
    const NbRect native = GetNativeImageRect();
    int64_t W = native.Width(), H = native.Height();
    const float rotation = processParams_.rotation;
    if (rotation == 90.0f || rotation == 270.0f) std::swap(W, H);
    int64_t left = r.left, top = r.top, right = r.right, bottom = r.bottom;
    auto clamp = [](int64_t& lo, int64_t& hi, int64_t size) {
        if (hi - lo + 1 < kMinimumSide) hi = lo + kMinimumSide - 1;
        if (hi - lo + 1 > size) hi = lo + size - 1;
        // A rectangle that starts before the image is moved into it.
        if (lo < 0) {
            hi -= lo;
            lo = 0;
        }
        if (hi > size - 1) {
            lo -= hi - (size - 1);
            hi = size - 1;
        }
        if (lo & 1) {
            lo -= 1;
            hi -= 1;
        }
        if ((hi - lo + 1) & 1) hi -= 1;
    };
    clamp(left, right, W);
    clamp(top, bottom, H);
    r = NbRect(int32_t(left), int32_t(top), int32_t(right), int32_t(bottom));
}

// Click balance ----------------------------------------------------------------------------

SdkRect ZynImage::ClickSampleWindow(int x, int y, int32_t width, int32_t height) {
    auto start = [](int64_t v, int64_t size) {
        int64_t s = (v + 1) / 2 * 2 - kClickOffset;
        if (s > size - kClickSample) s = size - kClickSample;
        if (s < 0) s = 0;
        return int16_t(std::min<int64_t>(s, INT16_MAX));
    };
    return SdkRect{start(x, width), start(y, height), int16_t(kClickSample), int16_t(kClickSample)};
}

void ZynImage::CalculateClickBalance(int x, int y, uint16_t* a, uint16_t* b, uint16_t* c) {
    StImageClosableFlagRestorer closable(this);
    if (const int code = EnsureOpen()) YLM_THROW(kClickOp, code);
    // The settings and the sample go together.
    StCriticalSectionLock guard(vqLock_);
    try {
        SetProcessParamsInImageExceptWindow(processParams_);
    } catch (const YlmErrp&) {
        YLM_THROW(kClickOp, NbErrClickBalanceFailed);
    }
    SetRotation(processParams_.rotation);
    if (!Has(GetSupportedColorModes(), 0)) YLM_THROW(kClickOp, NbErrClickBalanceNeedsColor);
    const NbRect frame = GetImageRect();
    const SdkRect window = ClickSampleWindow(x, y, int32_t(frame.Width()), int32_t(frame.Height()));
    uint16_t sample[3] = {0, 0, 0};
    uint32_t status = 0;
    {
        VqSection section(*this);
        status = VqCalculateWhiteBalance(&info_, &window, sample);
    }
    if (status == VQ_ERR_SAMPLE_SATURATED) YLM_THROW(kClickOp, NbErrClickPointSaturated);
    if (status != 0) YLM_THROW(kClickOp, NbErrClickBalanceFailed);
    if (sample[0] <= kTooDark || sample[1] <= kTooDark || sample[2] <= kTooDark)
        YLM_THROW(kClickOp, NbErrClickPointTooDark);
    *a = sample[0];
    *b = sample[1];
    *c = sample[2];
}

} // namespace NimbalCore
