#pragma once
// The program's Open dialog: a file opens with the dialog's own Open
// button; the folder button opens the shown folder as a contact sheet (the
// dialog then ends as by Cancel, with folderChosen set).
#include "FileTreeDialog.h"
#include "FolderPickerPresenter.h"
#include "WxDialogView.h"

class CFileOpenDialog : public FileTreeDialog {
public:
    CFileOpenDialog(wxWindow* parent, const std::string& filter, const std::string& initialFolder);

    static int folderChosen() { return FolderPickerState::Of(FolderPickerKind::Open).folderChosen; }
    static const std::string& folderPath() { return FolderPickerState::Of(FolderPickerKind::Open).folderPath; }

private:
    void SelectionChanged(const std::string& selection) override { presenter_.SelectionChanged(selection); }
    void Accept() override;

    WxDialogView view_;
    FolderPickerPresenter presenter_;
};
