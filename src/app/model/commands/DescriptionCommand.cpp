#include "DescriptionCommand.h"

#include "Image.h"
#include "ImageCommandRun.h"
#include "ImageRendering.h"
#include "UndoTextIds.h"

void DescriptionCommand::Run(ImageCommandDocument& document, const std::string& text) {
    if (!document.HasMainWindow()) return;
    NimbalCore::ImageRendering* rendering = nullptr;
    if (!document.GetFocusedImage(&rendering) || !rendering) return;
    const NimbalCore::ImageRef image = *rendering->GetImage();
    if (!image) return;
    ImageCommandScope scope(document, IDS_UNDO_ANNOTATION, IDS_REDO_ANNOTATION, false, false, true, true, false);
    image->SetAnnotation(text);
    document.MarkModified();
}
