#include "CFileSaveDialog.h"

#include "CHostFolderEdit.h"
#include "COutputOptionsDlg.h"
#include "LocalizedText.h"
#include "RenameValidation.h"
#include "StringIds.h"
#include "TranslateWindow.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

CFileSaveDialog::CFileSaveDialog(wxWindow* parent, const std::string& initialFolder)
    : FileTreeDialog(parent, "Save Selected As", "Save", LoadTranslatedString(IDS_SAVE_SELECTED_FILTER),
                     initialFolder, SaveSelectedState::Get().fileType),
      view_(this), presenter_(view_) {
    auto* group = new wxStaticBoxSizer(wxVERTICAL, this, "Rename Setup");
    wxStaticBox* box = group->GetStaticBox();
    group->Add(new wxCheckBox(box, kRenameFilesBox, "Rename Image File(s)"), 0, wxALL, 4);
    auto* grid = new wxFlexGridSizer(2, 4, 4);
    grid->AddGrowableCol(1);
    grid->Add(new wxStaticText(box, kRenameBaseNameLabel, "Base Name:"), 0, wxALIGN_CENTRE_VERTICAL);
    grid->Add(new CHostFolderEdit(box, kRenameBaseNameEdit), 1, wxEXPAND);
    grid->Add(new wxStaticText(box, wxID_ANY, "Number of Digits:"), 0, wxALIGN_CENTRE_VERTICAL);
    grid->Add(new wxTextCtrl(box, kRenameDigitsEdit, wxString(), wxDefaultPosition, wxSize(50, -1)), 0);
    grid->Add(new wxStaticText(box, wxID_ANY, "Start From:"), 0, wxALIGN_CENTRE_VERTICAL);
    grid->Add(new wxTextCtrl(box, kRenameStartEdit, wxString(), wxDefaultPosition, wxSize(100, -1)), 0);
    group->Add(grid, 0, wxEXPAND | wxALL, 4);

    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(new wxCheckBox(this, kSaveOpenWithBox, "Open With"), 1, wxALIGN_CENTRE_VERTICAL);
    row->Add(new wxButton(this, kSaveOptionsButton, "Options..."), 0);

    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(group, 0, wxEXPAND);
    sizer->Add(row, 0, wxEXPAND | wxTOP, 6);
    sizer->Add(new wxButton(this, kPickerSaveFolderButton, "Save Files In Folder"), 0, wxEXPAND | wxTOP, 6);

    presenter_.InitDialog();
    TranslateWindowTextByHandle(this, false);
    AddTemplate(sizer);

    Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { presenter_.RenameClicked(); }, kRenameFilesBox);
    Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { presenter_.OpenWithClicked(); }, kSaveOpenWithBox);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        presenter_.OptionsClicked([this](int fileType) {
            COutputOptionsDlg options(this);
            options.SetInitialFormat(fileType);
            options.ShowModal();
        });
    }, kSaveOptionsButton);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { presenter_.FolderButtonClicked(); }, kPickerSaveFolderButton);
}
