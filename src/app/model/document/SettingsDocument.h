#pragma once
// What the dialogs that change the selected images' settings ask of their
// document: the undo step they work under, pasting copied settings and
// putting the recorded state back. The documents implement it; tests record
// the calls.
#include <string>
#include <vector>

class SettingsDocument {
public:
    virtual ~SettingsDocument() = default;

    // Opens an undo step holding the selected images' present state.
    virtual void BeginUndo(int undoTextId, int redoTextId, bool keepParams, bool keepIPTC, bool keepTags,
                           bool keepAnnotation, const std::vector<std::string>* fileNames) = 0;
    // Copies the listed parameter groups of the copied settings into the
    // selected images; false when an image refused them.
    virtual bool PasteSettings(const std::vector<int>& groups) = 0;
    // Puts the images of the newest step back as recorded; pop removes the
    // step too.
    virtual void RevertLastUndo(bool pop) = 0;
    // Puts back only the listed groups of the newest step; the step stays.
    virtual void RevertGroupsOfLastUndo(const std::vector<int>& groups) = 0;
    // While a dialog works on the document's selection.
    virtual void SetDialogActive(bool active) = 0;
};
