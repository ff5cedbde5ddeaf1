#pragma once
// Picks a folder: the user looks into a folder and presses the folder
// button, which ends the dialog as its Cancel does; folderChosen tells the
// caller, and folderPath holds the folder.
#include "FileTreeDialog.h"
#include "FolderPickerPresenter.h"
#include "WxDialogView.h"

class CFileBrowseDialog : public FileTreeDialog {
public:
    CFileBrowseDialog(wxWindow* parent, const std::string& initialFolder);

    static int folderChosen() { return FolderPickerState::Of(FolderPickerKind::Browse).folderChosen; }
    static const std::string& folderPath() { return FolderPickerState::Of(FolderPickerKind::Browse).folderPath; }

private:
    void SelectionChanged(const std::string& selection) override { presenter_.SelectionChanged(selection); }

    WxDialogView view_;
    FolderPickerPresenter presenter_;
};
