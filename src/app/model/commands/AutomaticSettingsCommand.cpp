#include "AutomaticSettingsCommand.h"

#include "Image.h"
#include "ImageCommandIds.h"
#include "ImageCommandRun.h"
#include "UndoTextIds.h"

#include <algorithm>

namespace {

bool OffersAutoScene(NimbalCore::Image& image) {
    const std::vector<int> types = image.GetSupportedBalanceTypes();
    return std::find(types.begin(), types.end(), 5) != types.end() || image.HasAutoParams();
}

} // namespace

void AutomaticSettingsCommand::Run(ImageCommandDocument& document, int id) {
    using Outcome = ImageCommandRun::Outcome;
    // An image without the settings asked for is counted as failed in a
    // contact sheet; a preview leaves it as it is.
    if (id == kCmdOriginalSettings) {
        ImageCommandRun::Run(document, IDS_UNDO_ORIGINAL_SETTINGS, IDS_REDO_ORIGINAL_SETTINGS,
                             [](NimbalCore::Image& image, NimbalCore::ImageProcessParam& p) {
                                 if (!image.HasAtCaptureParams()) return Outcome::kFailure;
                                 p = image.GetAtCaptureParams();
                                 return Outcome::kApply;
                             });
    } else if (id == kCmdAutoScene) {
        ImageCommandRun::Run(document, IDS_UNDO_AUTO_SCENE, IDS_REDO_AUTO_SCENE,
                             [](NimbalCore::Image& image, NimbalCore::ImageProcessParam& p) {
                                 if (!OffersAutoScene(image)) return Outcome::kFailure;
                                 p = image.GetAutoParams();
                                 return Outcome::kApply;
                             });
    } else if (id == kCmdAutoExposure) {
        ImageCommandRun::Run(document, IDS_UNDO_EXPOSURE_COMPENSATION, IDS_REDO_EXPOSURE_COMPENSATION,
                             [](NimbalCore::Image& image, NimbalCore::ImageProcessParam& p) {
                                 if (!image.HasAutoParams()) return Outcome::kFailure;
                                 p.exposureCompensation = image.GetAutoParams().exposureCompensation;
                                 return Outcome::kApply;
                             });
    }
}
