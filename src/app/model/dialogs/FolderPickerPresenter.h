#pragma once
// The folder-only picker and the Open dialog: they follow the shown folder
// into their button, and the button accepts that folder.
#include "DialogView.h"
#include "FolderPicker.h"

#include <string>

class FolderPickerPresenter {
public:
    // As the dialog is made: clears the kind's choice.
    FolderPickerPresenter(FolderPickerKind kind, DialogView& view);

    // The dialog appears: the folder-only picker hides the file name and OK
    // and names the type list "Format:".
    void InitDialog();
    void SelectionChanged(const std::string& selection);
    void FolderButtonClicked();

private:
    FolderPickerKind kind_;
    DialogView& view_;
};
