#pragma once
// What the contact-sheet and preview documents share: the undo and redo
// steps of their images' settings, the Edit menu's Undo and Redo, Paste
// Special and Rename.
#include "ImageCommandDocument.h"
#include "ImageProcessParam.h"
#include "ProgramUndoHost.h"
#include "UndoHistory.h"

#include <wx/docview.h>

#include <vector>

namespace NimbalCore {
class ImageRendering;
}

class CDocumentBase : public wxDocument, public ImageCommandDocument, public UndoDocument {
public:
    // host: the program around the undo steps; none takes the real one.
    explicit CDocumentBase(UndoHost* host = nullptr);

    // The images a command works on (the selection, or the preview's image).
    virtual std::vector<NimbalCore::ImageRendering*> GetSelectedRenderings() = 0;
    std::vector<NimbalCore::ImageRendering*> GetSelectedImages() override { return GetSelectedRenderings(); }
    // The last image of the selection, where the document knows no focus.
    bool GetFocusedImage(NimbalCore::ImageRendering** rendering) override;
    // A document without a selection of its own keeps none in its steps.
    std::optional<UndoSelection> GetUndoSelection() override { return std::nullopt; }
    void RestoreSelection(UndoSelection) override {}

    void BeginUndo(int undoTextId, int redoTextId, bool keepParams, bool keepIPTC, bool keepTags,
                   bool keepAnnotation, bool keepFileNames) override;
    void BeginUndoForImages(NimbalCore::ImageRendering* rendering, int undoTextId, int redoTextId, bool keepParams,
                            bool keepIPTC, bool keepTags, bool keepAnnotation, bool keepFileNames);
    void EndUndo() override { history_.EndUndo(); }
    void DiscardLastUndo() override { history_.DiscardLastUndo(); }
    void RevertLastUndo(bool pop) override { history_.RevertLastUndo(pop); }
    void RevertGroupsOfLastUndo(const std::vector<int>& groups) override { history_.RevertGroupsOfLastUndo(groups); }
    void Undo() override { history_.Undo(); }
    void Redo() override { history_.Redo(); }
    int GetUndoTextId() override { return history_.GetUndoTextId(); }
    int GetRedoTextId() override { return history_.GetRedoTextId(); }
    // The document is about to delete a rendering (its slide left the
    // sheet): no step reaches it afterwards.
    void RemoveImageFromUndo(const NimbalCore::ImageRendering* rendering) { history_.RemoveImageFromUndo(rendering); }
    const UndoHistory& History() const { return history_; }

    // Copies the listed groups of the main frame's copied settings into the
    // selected images; false when an image refused them.
    bool PasteSettings(const std::vector<int>& groups) override;
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

    // The Image menu's commands run on the document; by default without a
    // lock or a wait cursor.
    void BeginCommand() override {}
    void EndCommand() override {}
    void MarkModified() override { Modify(true); }
    bool HasMainWindow() override;
    int CurrentTool() override;

protected:
    // The window dialogs of the document's commands belong to.
    wxWindow* DialogParent();
    // True while this document's Rename renames its images.
    bool IsRenaming() const { return renaming_; }
    // This document's Rename begins (true) or ends (false).
    virtual void SetRenaming(bool renaming) { renaming_ = renaming; }
    // After images changed: the document's windows show them again.
    virtual void ImagesChanged() {}
    void ImagesRestored() override { ImagesChanged(); }

private:
    void OnImageCommand(wxCommandEvent& event);
    void OnUpdateImageCommand(wxUpdateUIEvent& event);

    ProgramUndoHost programHost_;
    UndoHistory history_;
    bool dialogActive_ = false;
    bool renaming_ = false;
};
