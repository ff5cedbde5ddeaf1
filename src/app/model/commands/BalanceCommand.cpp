#include "BalanceCommand.h"

#include "Image.h"
#include "ImageCommandIds.h"
#include "ImageCommandRun.h"
#include "UndoTextIds.h"

uint16_t BalanceCommand::StandardWhitePoint(NimbalCore::Image& image, int balanceType) {
    uint16_t low = 0, standard = 0, high = 0;
    image.GetBalanceKelvinRange(balanceType, &low, &standard, &high);
    return standard;
}

uint16_t BalanceCommand::ClampWhitePoint(NimbalCore::Image& image, int balanceType, uint16_t whitePoint) {
    uint16_t low = 0, standard = 0, high = 0;
    image.GetBalanceKelvinRange(balanceType, &low, &standard, &high);
    if (whitePoint < low) return low;
    if (whitePoint > high) return high;
    return whitePoint;
}

void BalanceCommand::Run(ImageCommandDocument& document, int id) {
    using Outcome = ImageCommandRun::Outcome;
    ImageCommandRun::Run(document, IDS_UNDO_BALANCE, IDS_REDO_BALANCE,
                         [id](NimbalCore::Image& image, NimbalCore::ImageProcessParam& p) {
                             if (id == kCmdBalancePreset) {
                                 const int k = p.lightingIndex;
                                 if (k < 0 || k > 3) return Outcome::kFailure;
                                 p.balanceType = k;
                                 p.lighting = k;
                                 p.whitePoint = StandardWhitePoint(image, k);
                                 return Outcome::kApply;
                             }
                             const int type = id == kCmdBalanceAuto ? 5 : id == kCmdBalanceClick ? 6 : 4;
                             p.balanceType = type;
                             p.lighting = p.lightingIndex;
                             p.whitePoint = ClampWhitePoint(image, type, p.whitePoint);
                             if (type == 6 && p.lightingIndex >= 0 &&
                                 p.lightingIndex < NimbalCore::ImageProcessParam::kLightingTriples)
                                 for (auto& value : p.fineTuneBalance[p.lightingIndex]) value = 0;
                             return Outcome::kApply;
                         });
}
