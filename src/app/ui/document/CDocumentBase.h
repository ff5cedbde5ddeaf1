#pragma once
// What the contact-sheet and preview documents share: the undo steps of
// their selected images' settings and pasting copied settings.
#include "ImageProcessParam.h"
#include "SettingsDocument.h"

#include <wx/docview.h>

#include <vector>

namespace NimbalCore {
class ImageRendering;
}

class CDocumentBase : public wxDocument, public SettingsDocument {
public:
    CDocumentBase();

    // The images a command works on (the selection, or the preview's image).
    virtual std::vector<NimbalCore::ImageRendering*> GetSelectedRenderings() = 0;

    // Opens an undo step holding the selected images' present state.
    void BeginUndo(int undoTextId, int redoTextId, bool keepParams, bool keepIPTC, bool keepTags,
                   bool keepAnnotation, const std::vector<std::string>* fileNames) override;
    // Copies the listed groups of the main frame's copied settings into the
    // selected images; false when an image refused them.
    bool PasteSettings(const std::vector<int>& groups) override;
    // Puts the images of the newest step back as recorded; pop removes the
    // step too.
    void RevertLastUndo(bool pop) override;
    // Puts back only the listed groups of the newest step; the step stays.
    void RevertGroupsOfLastUndo(const std::vector<int>& groups) override;
    size_t UndoDepth() const { return undo_.size(); }
    void SetDialogActive(bool active) override { dialogActive_ = active; }
    bool IsDialogActive() const { return dialogActive_; }

    // Paste Special: the chosen groups of the copied settings, previewed
    // under an undo step that Cancel takes back.
    void OnPasteSpecial();
    // The same once the copied settings are known to exist.
    void RunPasteSpecial();
    // Rename: the selected images' files get the dialog's name (numbered
    // for several images, each keeping its extension).
    void OnRename();

    bool OnSaveModified() override { return true; }

protected:
    // The window dialogs of the document's commands belong to.
    wxWindow* DialogParent();
    // True while this document's Rename renames its images.
    bool IsRenaming() const { return renaming_; }
    // After images changed: the document's windows show them again.
    virtual void ImagesChanged() {}

private:
    struct UndoStep {
        int undoTextId = 0;
        int redoTextId = 0;
        std::vector<NimbalCore::ImageRendering*> renderings;
        std::vector<NimbalCore::ImageProcessParam> params;
    };
    std::vector<UndoStep> undo_;
    bool dialogActive_ = false;
    bool renaming_ = false;
};
