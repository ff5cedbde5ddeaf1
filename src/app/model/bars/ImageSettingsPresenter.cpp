#include "ImageSettingsPresenter.h"

#include "BalanceUIState.h"
#include "Image.h"
#include "ImageContextMenu.h"
#include "LocalizedText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

using NimbalCore::Image;
using NimbalCore::ImageProcessParam;

namespace {

enum SettingsText : int {
    kCropFreeform = 33119, kOtherCrop = 33127, kBalancePreset = 33132, kLightingDaylight = 33136,
    kNoiseNone = 33140, kNoiseBasic = 33141, kNoiseAdvanced = 33142, kNoiseAdvancedMoire = 33143,
    kNoiseAdvancedRadius = 33144, kNoiseAdvancedRadiusMoire = 33145, kNoiseExpert = 33146, kKelvinSuffix = 33153,
    kStrengthA = 33154, kThreshold = 33155, kRadius = 33156, kSharpenOff = 62060, kStrengthB = 62121,
};

template <typename... Args>
std::string Format(const char* format, Args... args) {
    char text[64];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

// "%3.1f" for exactly 0, else with its sign.
std::string SignedOneDecimal(float value) {
    return value == 0.0f ? Format("%3.1f", double(value)) : Format("%+3.1f", double(value));
}

std::string KelvinText(int kelvin) { return Format("%4d", kelvin) + LoadTranslatedString(kKelvinSuffix); }

std::vector<ImageSettingsPresenter::ListItem> FourItems(int firstText) {
    std::vector<ImageSettingsPresenter::ListItem> items;
    for (int i = 0; i < 4; ++i) items.push_back({LoadTranslatedString(firstText + i), true});
    return items;
}

bool Offers(const std::vector<int>& values, int value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

void UpdateExposure(Image& image, const ImageProcessParam& params, ImageSettingsPresenter::SliderState& s) {
    if (!image.CanAdjustExposure()) {
        s.valueText = ImageSettingsPresenter::LocalizeNumberText("0.0");
        s.position = 0;
        s.enabled = false;
        return;
    }
    float low = 0.0f, high = 0.0f;
    image.GetExposureCompensationRange(&low, &high);
    s.minimum = int(low) * 10;
    s.maximum = int(high) * 10;
    s.tickFrequency = int(high - low) * 10 / 8;
    s.minimumText = ImageSettingsPresenter::LocalizeNumberText(SignedOneDecimal(low));
    s.maximumText = ImageSettingsPresenter::LocalizeNumberText(SignedOneDecimal(high));
    s.enabled = true;
    const float e = params.GetExposureCompensation();
    s.position = int(std::lround(double(e) * 10.0));
    s.valueText = ImageSettingsPresenter::LocalizeNumberText(SignedOneDecimal(e) + " EV");
}

void UpdateWhitePoint(Image& image, const ImageProcessParam& params,
                      const ImageSettingsPresenter::WhitePointSlider& old, ImageSettingsPresenter::SliderState& s) {
    if (!image.CanAdjustWhitePoint() || !image.CanAdjustWhitePointForBalanceType(params.balanceType)) {
        s.valueText.clear();
        s.position = 0;
        s.enabled = false;
        return;
    }
    int kind = params.balanceType;
    if (kind >= 0 && kind <= 3 && params.lighting >= 0 && params.lighting <= 3) kind = params.lighting;
    uint16_t low = 0, standard = 0, high = 0;
    image.GetBalanceKelvinRange(kind, &low, &standard, &high);
    const int minimum = low / 100, maximum = high / 100;
    s.minimum = minimum;
    s.maximum = maximum;
    s.tickFrequency = 0;
    s.minimumText = KelvinText(low);
    s.maximumText = KelvinText(high);
    s.enabled = true;
    const int w = params.GetWhitePoint();
    s.position = w / 100;
    // A slider whose range changed under it repaints only when it moves.
    if ((minimum != old.minimum || maximum != old.maximum) && old.position == s.position)
        s.nudge = s.position + 1 > maximum ? s.position - 1 : s.position + 1;
    s.valueText = KelvinText(w);
}

void UpdateBalance(const ImageProcessParam& params, const ImageSettingsPresenter::BalanceItemState (*states)[4],
                   ImageSettingsPresenter::ListState& list) {
    if (params.balanceType == 7) {
        list.items = FourItems(kBalancePreset);
        list.selection = 0;
        list.enabled = false;
        return;
    }
    if (!states) return;
    list.items = FourItems(kBalancePreset);
    for (int i = 0; i < 4; ++i) {
        list.items[size_t(i)].enabled = (*states)[i].enabled;
        if ((*states)[i].checked) list.selection = i;
    }
    list.enabled = true;
}

void UpdateLighting(Image& image, const ImageProcessParam& params, ImageSettingsPresenter::ListState& list) {
    list.items = FourItems(kLightingDaylight);
    if (params.lightingIndex == 6) {
        list.selection = 0;
        list.enabled = false;
        return;
    }
    const std::vector<int> supported = image.GetSupportedIlluminants();
    for (int i = 0; i < 4; ++i) list.items[size_t(i)].enabled = Offers(supported, i);
    list.selection = params.lightingIndex >= 0 && params.lightingIndex <= 3 ? params.lightingIndex : 0;
    list.enabled = true;
}

void UpdateLook(Image& image, const ImageProcessParam& params, ImageSettingsPresenter::ListState& list) {
    if (params.lookName.empty()) {
        list.selection = 0;
        list.enabled = false;
        return;
    }
    const std::vector<std::string> looks = image.GetAvailableLooks();
    list.selection = 0;
    for (size_t i = 0; i < looks.size(); ++i) {
        list.items.push_back({TranslateString(looks[i]), true});
        if (looks[i] == params.lookName) list.selection = int(i);
    }
    list.enabled = true;
    list.tooltip = TranslateString(params.lookName);
}

void UpdateNoise(Image& image, const ImageProcessParam& params, ImageSettingsPresenter::NoiseState& noise) {
    const int type = params.noiseReductionMode;
    noise.typeName = ImageSettingsPresenter::NoiseTypeName(type);
    if (type == 6) {
        noise.rowBLabel = LoadTranslatedString(kStrengthB);
        noise.rowBValue = Format("%d%%", params.basicNoiseReductionStrength);
        noise.rowBShown = true;
        noise.rowAShown = false;
        return;
    }
    if (type == 0) {
        noise.rowBLabel = LoadTranslatedString(kStrengthB);
        noise.rowAShown = noise.rowBShown = false;
        return;
    }
    const std::vector<int> modes = image.GetNoiseReductionModes();
    if (Offers(modes, 4) || Offers(modes, 5) || Offers(modes, 7)) {
        noise.rowALabel = LoadTranslatedString(kStrengthA);
        noise.rowBLabel = LoadTranslatedString(kRadius);
        noise.rowAShown = noise.rowBShown = true;
        noise.rowBValue = Format("%d", image.PercentToNoiseLevel(type, params.noiseReductionThreshold));
        noise.rowAValue = Format("%d%%", params.noiseReductionStrength);
        return;
    }
    noise.rowALabel = LoadTranslatedString(kThreshold);
    noise.rowAShown = type == 3;
    noise.rowBShown = false;
    noise.rowBValue = "0";
    noise.rowAValue = Format("%d%%", params.noiseReductionStrength);
}

void UpdateTexts(Image& image, const ImageProcessParam& params, ImageSettingsPresenter::Texts& t) {
    if (image.CanSharpen()) {
        if (params.sharpenAmount == 0 || params.sharpenRadius == 0) {
            t.sharpenAmount = LoadTranslatedString(kSharpenOff);
        } else {
            t.sharpenAmount = Format("%d", params.sharpenAmount);
            t.sharpenRadius = ImageSettingsPresenter::LocalizeNumberText(Format("%3.1f", params.sharpenRadius * 0.1));
            t.sharpenThreshold = Format("%d", params.sharpenThreshold);
        }
    }
    if (image.CanAdjustColorBalance() && params.lightingIndex >= 0 &&
        params.lightingIndex < ImageProcessParam::kLightingTriples) {
        const uint16_t* triple = params.fineTuneBalance[params.lightingIndex];
        t.red = Format("%d", int(int16_t(triple[0])));
        t.green = Format("%d", int(int16_t(triple[1])));
        t.blue = Format("%d", int(int16_t(triple[2])));
    }
    if (image.CanAdjustTone()) {
        std::string* out[3] = {&t.shadow, &t.midtone, &t.highlight};
        for (int i = 0; i < 3; ++i) {
            std::string text = Format("%.1f", double(ImageProcessParam::RoundLevel(params.levels[i])));
            if (std::strtod(text.c_str(), nullptr) == 0.0) text = "0.0";
            *out[i] = ImageSettingsPresenter::LocalizeNumberText(text);
        }
    }
    if (image.CanOptimizeLens()) t.lens = Format("%d", params.lensOptimization);
}

} // namespace

ImageSettingsPresenter::State ImageSettingsPresenter::Update(Image& image, const ImageProcessParam& params,
                                                             const WhitePointSlider& slider,
                                                             const BalanceItemState (*balanceItems)[4]) {
    State state;
    UpdateExposure(image, params, state.exposure);
    UpdateWhitePoint(image, params, slider, state.whitePoint);
    UpdateBalance(params, balanceItems, state.balance);
    UpdateLighting(image, params, state.lighting);
    UpdateLook(image, params, state.look);
    UpdateNoise(image, params, state.noise);
    UpdateTexts(image, params, state.texts);
    return state;
}

void ImageSettingsPresenter::BalanceItems(const ImageProcessParam& params, BalanceItemState (&items)[4]) {
    GetPresetBalanceUIState(&params, items[0].enabled, items[0].checked);
    GetClickBalanceUIState(&params, items[1].enabled, items[1].checked);
    GetCustomBalanceUIState(&params, items[2].enabled, items[2].checked);
    GetAutoBalanceUIState(&params, items[3].enabled, items[3].checked);
}

std::string ImageSettingsPresenter::ExposurePositionText(int position) {
    return LocalizeNumberText(SignedOneDecimal(position == 0 ? 0.0f : float(position * 0.1)) + " EV");
}

std::string ImageSettingsPresenter::WhitePointPositionText(int position) { return KelvinText(position * 100); }

std::string ImageSettingsPresenter::NoiseTypeName(int type) {
    switch (type) {
    case 0: return LoadTranslatedString(kNoiseNone);
    case 1:
    case 7: return LoadTranslatedString(kNoiseBasic);
    case 2: return LoadTranslatedString(kNoiseAdvanced);
    case 3: return LoadTranslatedString(kNoiseAdvancedMoire);
    case 4: return LoadTranslatedString(kNoiseAdvancedRadius);
    case 5: return LoadTranslatedString(kNoiseAdvancedRadiusMoire);
    case 6: return LoadTranslatedString(kNoiseExpert);
    default: return std::string();
    }
}

std::vector<std::string> ImageSettingsPresenter::CropItems() {
    std::vector<std::string> items;
    for (int id = kCropFreeform; id <= kOtherCrop; ++id) items.push_back(LoadTranslatedString(id));
    return items;
}

int ImageSettingsPresenter::CropSelection(int effectiveCropMode) {
    return effectiveCropMode >= 1 && effectiveCropMode <= kOtherCropItem ? effectiveCropMode : 0;
}

int ImageSettingsPresenter::BalanceCommand(int item) {
    static constexpr int kCommands[4] = {32812, 32816, 32814, 32815};
    return item >= 0 && item < 4 ? kCommands[item] : 0;
}

int ImageSettingsPresenter::LightingCommand(int item) { return item >= 0 && item < 4 ? 32787 + item : 0; }

int ImageSettingsPresenter::LookCommand(int item) { return item >= 0 ? kFirstLookCommand + item : 0; }

std::string ImageSettingsPresenter::LocalizeNumberText(const std::string& text) {
    // The separator is the user's; the sign and the unit stay where they
    // are.
    return ToLocaleDecimalPoint(text);
}
