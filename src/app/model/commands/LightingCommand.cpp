#include "LightingCommand.h"

#include "BalanceCommand.h"
#include "Image.h"
#include "ImageCommandRun.h"
#include "UndoTextIds.h"

void LightingCommand::Run(ImageCommandDocument& document, int k) {
    ImageCommandRun::Run(document, IDS_UNDO_LIGHTING, IDS_REDO_LIGHTING,
                         [k](NimbalCore::Image& image, NimbalCore::ImageProcessParam& p) {
                             const int before = p.balanceType;
                             p.lighting = k;
                             // A preset balance follows the light; the auto,
                             // custom and click balances keep theirs.
                             if (before >= 0 && before <= 3) {
                                 p.balanceType = k;
                                 if (image.CanAdjustWhitePoint() && image.CanAdjustWhitePointForBalanceType(before))
                                     p.whitePoint = BalanceCommand::StandardWhitePoint(image, k);
                             }
                             return ImageCommandRun::Outcome::kApply;
                         });
}
