#pragma once
// Save Selected As: the folder, the file type, renaming from a base name
// with numbers, Open With and the export options. The folder button ends the
// dialog as its Cancel does, with folderChosen set; the values stay with the
// class for its next use.
#include "FileTreeDialog.h"
#include "SaveSelectedPresenter.h"
#include "WxDialogView.h"

class CFileSaveDialog : public FileTreeDialog {
public:
    // The type list starts at the class's file type.
    CFileSaveDialog(wxWindow* parent, const std::string& initialFolder);

    static SaveSelectedState& State() { return SaveSelectedState::Get(); }
    static int folderChosen() { return FolderPickerState::Of(FolderPickerKind::Save).folderChosen; }
    static const std::string& folderPath() { return FolderPickerState::Of(FolderPickerKind::Save).folderPath; }

private:
    void SelectionChanged(const std::string& selection) override { presenter_.SelectionChanged(selection); }
    void TypeChanged(int index) override { presenter_.TypeChanged(index); }
    void Accept() override {}

    WxDialogView view_;
    SaveSelectedPresenter presenter_;
};
