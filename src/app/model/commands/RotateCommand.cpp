#include "RotateCommand.h"

#include "Image.h"
#include "ImageCommandRun.h"
#include "UndoTextIds.h"

float RotateCommand::Turned(float rotation, bool clockwise) {
    const int degrees = int(rotation);
    return float(((degrees + (clockwise ? 90 : 270)) % 360 + 360) % 360);
}

void RotateCommand::Run(ImageCommandDocument& document, bool clockwise) {
    ImageCommandRun::Run(
        document, IDS_UNDO_ROTATE, IDS_REDO_ROTATE,
        [clockwise](NimbalCore::Image&, NimbalCore::ImageProcessParam& p) {
            p.rotation = Turned(p.rotation, clockwise);
            return ImageCommandRun::Outcome::kApply;
        },
        ImageCommandRun::Step::kClosedBeforeChange);
}
