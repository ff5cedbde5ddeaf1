#include "CFileBrowseDialog.h"

#include "LocalizedText.h"
#include "StringIds.h"
#include "TranslateWindow.h"

#include <wx/button.h>
#include <wx/sizer.h>

CFileBrowseDialog::CFileBrowseDialog(wxWindow* parent, const std::string& initialFolder)
    : FileTreeDialog(parent, "Choose Folder", "Save", LoadTranslatedString(IDS_BROWSE_FILTER), initialFolder, 1),
      view_(this), presenter_(FolderPickerKind::Browse, view_) {
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    auto* button = new wxButton(this, kPickerSaveFolderButton, "Save Files In Folder");
    sizer->Add(button, 0, wxEXPAND);
    presenter_.InitDialog();
    TranslateWindowTextByHandle(this, false);
    AddTemplate(sizer);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { presenter_.FolderButtonClicked(); }, kPickerSaveFolderButton);
}
