#pragma once
// One undo step: the core's snapshot of the chosen aspects of a list of
// renderings, with the Edit menu's texts, the selection of the moment and
// the renaming of files back. It holds counted references to the
// renderings' images, and forgets a rendering its document is about to
// delete, so no step reaches a rendering that is gone.
#include "ImageRef.h"
#include "ImageRevert.h"

#include <utility>
#include <vector>

class UndoHost;

// A document's selection as the undo steps keep it: the selected slides by
// their renderings, in selection order.
using UndoSelection = std::vector<NimbalCore::ImageRendering*>;

class ImageRevertWin : public NimbalCore::ImageRevert {
public:
    // Captures at once; the texts are 0 and the saved selection empty until
    // the history fills them. host renames files back (none: names stay).
    ImageRevertWin(const std::vector<NimbalCore::ImageRendering*>& renderings, bool keepParams, bool keepIPTC,
                   bool keepTags, bool keepAnnotation, bool keepFileNames, UndoHost* host);

    int undoTextId = 0;
    int redoTextId = 0;
    void SetSavedSelection(UndoSelection selection) { savedSelection_ = std::move(selection); }
    UndoSelection GetSavedSelection() const { return savedSelection_; }

    // Gives the files of the step their saved names back (each name keeps
    // its folder), asking the user whether to go on after a failure.
    void RestoreFileNames();
    // Forgets a rendering, in the snapshot and in the saved selection; false
    // when that left the step without renderings.
    bool Forget(const NimbalCore::ImageRendering* rendering);

protected:
    void OnRestore() override;

private:
    UndoHost* host_;
    // Keeps the images alive for as long as the step may put them back.
    struct HeldImage {
        const NimbalCore::ImageRendering* rendering;
        NimbalCore::ImageRef image;
    };
    std::vector<HeldImage> images_;
    UndoSelection savedSelection_;
};
