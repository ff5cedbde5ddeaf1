#include "CFileOpenDialog.h"

#include "TranslateWindow.h"

#include <wx/button.h>
#include <wx/sizer.h>

#include <filesystem>

CFileOpenDialog::CFileOpenDialog(wxWindow* parent, const std::string& filter, const std::string& initialFolder)
    : FileTreeDialog(parent, "Open", "Open", filter, initialFolder, 1), view_(this),
      presenter_(FolderPickerKind::Open, view_) {
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(new wxButton(this, kPickerOpenFolderButton, "Open Folder As Contact Sheet"), 0, wxEXPAND);
    presenter_.InitDialog();
    TranslateWindowTextByHandle(this, false);
    AddTemplate(sizer);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { presenter_.FolderButtonClicked(); }, kPickerOpenFolderButton);
}

void CFileOpenDialog::Accept() {
    // The file must exist; a folder is opened in the tree instead.
    std::error_code ec;
    const std::string path = GetPath();
    if (std::filesystem::is_regular_file(path, ec)) {
        // The folder the next Open starts in is the opened file's, wherever
        // the name field led.
        presenter_.SelectionChanged(path);
        FileTreeDialog::Accept();
    }
    else if (std::filesystem::is_directory(path, ec)) SelectPath(path);
}
