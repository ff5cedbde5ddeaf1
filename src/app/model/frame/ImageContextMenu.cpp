#include "ImageContextMenu.h"

#include "Image.h"
#include "ImageRef.h"
#include "LocalizedText.h"
#include "SendToMenuItem.h"
#include "StringIds.h"

#include <algorithm>

namespace {

using NimbalCore::Image;
using NimbalCore::ImageProcessParam;

enum Command : int {
    kExposureCompensation = 32806, kAutoExposure = 33131, kExposureAndTone = 33187,
    kBalancePreset = 32812, kBalanceClick = 32816, kBalanceCustom = 32814, kBalanceAuto = 32815,
    kWhitePoint = 33152, kDaylight = 32787, kTungsten = 32788, kFluorescent = 32789, kFlash = 32790,
    kColorBalance = 33183, kLensOptimization = 33197, kNoiseReduction = 33150, kSharpening = 33149,
    kOriginalSettings = 32807, kAutoSceneBalance = 32803, kPasteSettings = 32866, kPasteSpecial = 33196,
};
constexpr int kAutoBalanceType = 5;
constexpr int kIlluminantCount = 4;
constexpr int kIlluminantCommands[kIlluminantCount] = {kDaylight, kTungsten, kFluorescent, kFlash};

bool AnyNonZero(const uint16_t (&triple)[3]) { return triple[0] || triple[1] || triple[2]; }

bool Contains(const std::vector<int>& list, int value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

void SetTools(MenuSeam& menu, Image& image, MainFrameState& frame) {
    const int current = frame.NormalizedTool();
    for (int tool : {MainFrameState::kToolSelect, MainFrameState::kToolCrop, MainFrameState::kToolCloseUp,
                     MainFrameState::kToolScrollingHand, MainFrameState::kToolClickBalance}) {
        menu.Enable(tool, tool != MainFrameState::kToolClickBalance || image.CanClickBalance());
        menu.Check(tool, tool == current);
    }
}

void SetBalance(MenuSeam& menu, Image& image, const ImageProcessParam& params) {
    const int type = params.balanceType;
    const bool known = type >= 0 && type <= 6;
    const bool clickable = image.CanClickBalance() && known;
    menu.Enable(kBalancePreset, clickable);
    menu.Enable(kBalanceClick, clickable && AnyNonZero(params.clickBalance));
    menu.Enable(kBalanceCustom, clickable && AnyNonZero(params.customBalance));
    menu.Enable(kBalanceAuto, clickable && AnyNonZero(params.autoBalance));
    menu.Check(kBalancePreset, type >= 0 && type <= 3);
    menu.Check(kBalanceCustom, type == 4);
    menu.Check(kBalanceAuto, type == 5);
    menu.Check(kBalanceClick, type == 6);
}

void SetLighting(MenuSeam& menu, Image& image, const ImageProcessParam& params) {
    const std::vector<int> supported = image.GetSupportedIlluminants();
    const bool choice = supported.size() > 1 && params.lighting <= 3;
    for (int i = 0; i < kIlluminantCount; ++i) {
        menu.Enable(kIlluminantCommands[i], choice && Contains(supported, i));
        menu.Check(kIlluminantCommands[i], params.lighting == i);
    }
}

void SetCropRatios(MenuSeam& menu, const MainFrameState& frame) {
    const int effective = frame.crop.GetEffectiveCropMode();
    for (int mode = CropGeometry::kFreeform; mode <= CropGeometry::kCustom; ++mode) {
        const int command = CropGeometry::kFirstCropCommand + mode;
        menu.Enable(command, true);
        menu.Check(command, mode == effective);
    }
    menu.SetLabel(CropGeometry::kFirstCropCommand + CropGeometry::kCustom,
                  frame.crop.GetCustomCropLabel(IDS_CROP_OTHER_MENU));
}

void RebuildLooks(MenuSeam& menu, Image& image, const ImageProcessParam& params) {
    const int position = menu.FindSubmenuStartingWith(kFirstLookCommand);
    if (position < 0) return;
    menu.ClearSubmenu(position);
    if (!image.CanChangeLook()) {
        menu.EnableEntry(position, false);
        return;
    }
    const std::vector<std::string> looks = image.GetAvailableLooks();
    for (size_t i = 0; i < looks.size(); ++i)
        menu.AppendToSubmenu(position, kFirstLookCommand + int(i), TranslateString(looks[i]),
                             looks[i] == params.lookName);
}

} // namespace

void PrepareImageContextMenu(MenuSeam* menu, NimbalCore::ImageRendering* focused, MainFrameState& frame) {
    if (!menu || !focused) return;
    // Held for the whole preparation: the image may not go while its
    // capabilities are asked.
    const NimbalCore::ImageRef image = *focused->GetImage();
    if (!image) return;
    const ImageProcessParam params = focused->GetProcessParam();

    SetTools(*menu, *image, frame);
    menu->Enable(kExposureCompensation, image->CanAdjustExposure());
    menu->Enable(kAutoExposure, image->HasAutoParams());
    menu->Enable(kExposureAndTone, image->CanAdjustTone());
    SetBalance(*menu, *image, params);
    menu->Enable(kWhitePoint,
                 image->CanAdjustWhitePoint() && image->CanAdjustWhitePointForBalanceType(params.balanceType));
    SetLighting(*menu, *image, params);
    menu->Enable(kColorBalance, image->CanAdjustColorBalance());
    menu->Enable(kLensOptimization, image->CanOptimizeLens());
    menu->Enable(kNoiseReduction, !image->GetNoiseReductionModes().empty());
    menu->Enable(kSharpening, image->CanSharpen());
    menu->Enable(kOriginalSettings, image->HasAtCaptureParams());
    menu->Enable(kAutoSceneBalance,
                 Contains(image->GetSupportedBalanceTypes(), kAutoBalanceType) || image->HasAutoParams());
    menu->Enable(kPasteSettings, frame.settingsCopied != 0);
    menu->Enable(kPasteSpecial, frame.settingsCopied != 0);
    UpdateSendToMenuItem(*menu);
    SetCropRatios(*menu, frame);
    RebuildLooks(*menu, *image, params);
}
