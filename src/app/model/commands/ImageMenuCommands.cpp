#include "ImageMenuCommands.h"

#include "AutomaticSettingsCommand.h"
#include "BalanceCommand.h"
#include "ImageCommandIds.h"
#include "LightingCommand.h"
#include "NoiseLevelCommand.h"
#include "RotateCommand.h"
#include "TagCommand.h"


const std::vector<int>& ImageMenuCommands::Ids() {
    static const std::vector<int> ids{
        kCmdOriginalSettings,  kCmdAutoScene,     kCmdAutoExposure,     kCmdBalancePreset,    kCmdBalanceAuto,
        kCmdBalanceClick,      kCmdBalanceCustom, kCmdLightingDaylight, kCmdLightingTungsten, kCmdLightingFluorescent,
        kCmdLightingFlash,     kCmdNoiseOff,      kCmdNoiseLow,         kCmdNoiseMedium,      kCmdRotateCcw,
        kCmdRotateCw,          kCmdTag,           kCmdUntag};
    return ids;
}

bool ImageMenuCommands::Checkable(int id) {
    return (id >= kCmdLightingDaylight && id <= kCmdLightingFlash) || id == kCmdBalancePreset ||
           id == kCmdBalanceAuto || id == kCmdBalanceClick || id == kCmdBalanceCustom ||
           (id >= kCmdNoiseOff && id <= kCmdNoiseMoire) || id == kCmdTag || id == kCmdUntag;
}

bool ImageMenuCommands::Run(ImageCommandDocument& document, int id) {
    switch (id) {
    case kCmdOriginalSettings:
    case kCmdAutoScene:
    case kCmdAutoExposure:
        AutomaticSettingsCommand::Run(document, id);
        return true;
    case kCmdBalancePreset:
    case kCmdBalanceAuto:
    case kCmdBalanceClick:
    case kCmdBalanceCustom:
        BalanceCommand::Run(document, id);
        return true;
    case kCmdLightingDaylight:
    case kCmdLightingTungsten:
    case kCmdLightingFluorescent:
    case kCmdLightingFlash:
        LightingCommand::Run(document, id - kCmdLightingDaylight);
        return true;
    case kCmdNoiseOff:
    case kCmdNoiseLow:
    case kCmdNoiseMedium:
        NoiseLevelCommand::Run(document, id);
        return true;
    case kCmdRotateCcw:
    case kCmdRotateCw:
        RotateCommand::Run(document, id == kCmdRotateCw);
        return true;
    case kCmdTag:
    case kCmdUntag:
        TagCommand::Run(document, id == kCmdTag);
        return true;
    default:
        return false;
    }
}
