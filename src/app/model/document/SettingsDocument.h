#pragma once
// What commands, dialogs and bars ask of the active document without knowing
// whether it is a contact sheet or a preview: the images they act on, the
// undo steps around their changes and pasting copied settings. The documents
// implement it; tests record the calls.
#include <string>
#include <vector>

namespace NimbalCore {
class ImageRendering;
}

class SettingsDocument {
public:
    virtual ~SettingsDocument() = default;

    // The images a command acts on: the selected slides in selection order,
    // or the preview's one image.
    virtual std::vector<NimbalCore::ImageRendering*> GetSelectedImages() = 0;
    // The image the bars show; false when there is none.
    virtual bool GetFocusedImage(NimbalCore::ImageRendering** rendering) = 0;

    // Opens an undo step holding the chosen aspects of the selected images'
    // present state, with the texts the Edit menu shows for it.
    virtual void BeginUndo(int undoTextId, int redoTextId, bool keepParams, bool keepIPTC, bool keepTags,
                           bool keepAnnotation, bool keepFileNames) = 0;
    // Closes the step opened last: a step that changed nothing disappears,
    // any other one makes the undone steps unreachable.
    virtual void EndUndo() = 0;
    // Drops the newest step without putting anything back.
    virtual void DiscardLastUndo() = 0;
    // Puts the images of the newest step back as recorded; pop removes the
    // step too.
    virtual void RevertLastUndo(bool pop) = 0;
    // Puts back only the listed groups of the newest step; the step stays.
    virtual void RevertGroupsOfLastUndo(const std::vector<int>& groups) = 0;
    // The Edit menu's Undo and Redo.
    virtual void Undo() = 0;
    virtual void Redo() = 0;
    // The texts of the Edit menu's items, as string ids.
    virtual int GetUndoTextId() = 0;
    virtual int GetRedoTextId() = 0;

    // Copies the listed parameter groups of the copied settings into the
    // selected images; false when an image refused them.
    virtual bool PasteSettings(const std::vector<int>& groups) = 0;
    // While a dialog works on the document's selection.
    virtual void SetDialogActive(bool active) = 0;
};
