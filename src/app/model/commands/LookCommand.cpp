#include "LookCommand.h"

#include "ImageCommandRun.h"
#include "UndoTextIds.h"

void LookCommand::Run(ImageCommandDocument& document, const std::string& lookName) {
    ImageCommandRun::Run(document, IDS_UNDO_LOOK, IDS_REDO_LOOK,
                         [&lookName](NimbalCore::Image&, NimbalCore::ImageProcessParam& p) {
                             p.SetLook(lookName);
                             return ImageCommandRun::Outcome::kApply;
                         });
}
