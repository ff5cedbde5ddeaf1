#include "ImageCommandRules.h"

#include "BalanceUIState.h"
#include "Image.h"
#include "ImageCommandIds.h"
#include "ImageRendering.h"

#include <algorithm>
#include <iterator>

namespace {

bool Contains(const std::vector<int>& list, int value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

// The rules that ask the focused image and its parameters.
std::optional<ImageCommandState> ImageRule(int id, bool sheet, NimbalCore::Image& image,
                                           const NimbalCore::ImageProcessParam& p, int tool) {
    ImageCommandState state;
    switch (id) {
    case kCmdOriginalSettings:
        state.enable = image.HasAtCaptureParams();
        return state;
    case kCmdAutoScene:
        state.enable = Contains(image.GetSupportedBalanceTypes(), 5) || image.HasAutoParams();
        return state;
    case kCmdAutoExposure:
        state.enable = image.HasAutoParams();
        return state;
    case kCmdBalancePreset:
        GetPresetBalanceUIState(&p, state.enable, state.check);
        return state;
    case kCmdBalanceCustom:
        GetCustomBalanceUIState(&p, state.enable, state.check);
        return state;
    case kCmdBalanceAuto:
        GetAutoBalanceUIState(&p, state.enable, state.check);
        return state;
    case kCmdBalanceClick:
        GetClickBalanceUIState(&p, state.enable, state.check);
        return state;
    case kCmdLightingDaylight:
    case kCmdLightingTungsten:
    case kCmdLightingFluorescent:
    case kCmdLightingFlash: {
        // The check follows the light the balance refers to, not the light
        // chosen last.
        const int k = id - kCmdLightingDaylight;
        if (p.lightingIndex == 6) return state;
        state.check = p.lightingIndex == k;
        state.enable = state.check || Contains(image.GetSupportedIlluminants(), k);
        return state;
    }
    case kCmdNoiseOff:
    case kCmdNoiseLow:
    case kCmdNoiseMedium:
    case kCmdNoiseMoire: {
        const std::vector<int> types = image.GetNoiseReductionModes();
        if (types.empty()) return state;
        const int mode = p.noiseReductionMode;
        if (id == kCmdNoiseLow) {
            state.enable = Contains(types, 1) || (sheet && Contains(types, 7));
            state.check = mode == 1 || (sheet && mode == 7);
        } else {
            const int own = id == kCmdNoiseOff ? 0 : id == kCmdNoiseMedium ? 2 : 3;
            state.enable = Contains(types, own);
            state.check = mode == own;
        }
        return state;
    }
    case kCmdClickBalanceTool:
        state.enable = image.CanClickBalance();
        state.check = tool == kCmdClickBalanceTool;
        return state;
    default:
        return std::nullopt;
    }
}

bool HasImageRule(int id) {
    static const int ids[] = {kCmdOriginalSettings, kCmdAutoScene,          kCmdAutoExposure,     kCmdBalancePreset,
                              kCmdBalanceCustom,    kCmdBalanceAuto,        kCmdBalanceClick,     kCmdLightingDaylight,
                              kCmdLightingTungsten, kCmdLightingFluorescent, kCmdLightingFlash,   kCmdNoiseOff,
                              kCmdNoiseLow,         kCmdNoiseMedium,        kCmdNoiseMoire,       kCmdClickBalanceTool};
    return std::find(std::begin(ids), std::end(ids), id) != std::end(ids);
}

} // namespace

std::optional<ImageCommandState> ImageCommandRules::Update(ImageCommandDocument& document, int id) {
    const bool sheet = document.CommandKind() == ImageCommandDocument::Kind::kSheet;
    switch (id) {
    case kCmdCropTool:
    case kCmdCloseUpTool:
    case kCmdHandTool:
    case kCmdSelectTool:
        if (!document.HasMainWindow()) return std::nullopt;
        return ImageCommandState{true, document.CurrentTool() == id};
    case kCmdRotateCw:
    case kCmdRotateCcw:
    case kCmdIptc:
    case kCmdReviewSelection:
        if (!sheet) return std::nullopt;
        return ImageCommandState{!document.GetSelectedImages().empty(), false};
    case kCmdTag:
    case kCmdUntag: {
        if (sheet) return ImageCommandState{!document.GetSelectedImages().empty(), false};
        NimbalCore::ImageRendering* rendering = nullptr;
        if (!document.GetFocusedImage(&rendering) || !rendering || !*rendering->GetImage())
            return ImageCommandState{true, false};
        const bool tagged = (*rendering->GetImage())->IsTagged();
        return ImageCommandState{true, id == kCmdTag ? tagged : !tagged};
    }
    default:
        break;
    }
    const bool balanceItem = id == kCmdBalancePreset || id == kCmdBalanceCustom || id == kCmdBalanceAuto ||
                             id == kCmdBalanceClick;
    if (sheet && balanceItem && !document.HasMainWindow()) return ImageCommandState{};
    NimbalCore::ImageRendering* rendering = nullptr;
    if (!document.GetFocusedImage(&rendering) || !rendering) {
        // Without a focused image a sheet greys its items out.
        if (!sheet || !HasImageRule(id)) return std::nullopt;
        return ImageCommandState{};
    }
    // A counted reference keeps the image while it is asked.
    const NimbalCore::ImageRef image = *rendering->GetImage();
    NimbalCore::ImageProcessParam* params = rendering->GetProcessParamPtr();
    if (!image || !params) return std::nullopt;
    return ImageRule(id, sheet, *image, *params, document.HasMainWindow() ? document.CurrentTool() : 0);
}
