#include "TagCommand.h"

#include "Image.h"
#include "ImageCommandIds.h"
#include "ImageCommandRun.h"
#include "ImageRendering.h"
#include "StringIds.h"
#include "UndoTextIds.h"

void TagCommand::Run(ImageCommandDocument& document, bool tag) {
    const bool sheet = document.CommandKind() == ImageCommandDocument::Kind::kSheet;
    if (!sheet && document.GetSelectedImages().empty()) return;
    ImageCommandScope scope(document, tag ? IDS_UNDO_TAG : IDS_UNDO_UNTAG, tag ? IDS_REDO_TAG : IDS_REDO_UNTAG,
                            false, true, false, true, sheet);
    try {
        for (NimbalCore::ImageRendering* rendering : document.GetSelectedImages()) {
            if (!rendering) continue;
            const NimbalCore::ImageRef image = *rendering->GetImage();
            if (!image || image->IsTagged() == tag) continue;
            image->SetTagged(tag);
            document.MarkModified();
        }
    } catch (...) {
        // The images changed so far keep their tag.
        ImageCommandRun::ShowMessage(tag ? IDS_UNABLE_TO_TAG : IDS_UNABLE_TO_UNTAG);
    }
}
