#include "CRenameDlg.h"

#include "CHostFolderEdit.h"
#include "CNumericEdit.h"
#include "TranslateWindow.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

namespace {
constexpr int kMessageWidth = 420;
}

CRenameDlg::CRenameDlg(int imageCount, const std::string& name, const std::string& extension, wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Rename"), view_(this), fields_(this),
      presenter_(view_, fields_, imageCount, name, extension) {
    auto* baseGroup = new wxStaticBoxSizer(wxVERTICAL, this, "Base Name");
    baseGroup->Add(new CHostFolderEdit(baseGroup->GetStaticBox(), kRenameBaseName, wxString(), wxDefaultPosition,
                                       wxSize(240, -1)),
                   0, wxEXPAND | wxALL, 4);

    auto* numberBox = new wxStaticBox(this, kRenameNumberGroup, "Sequence Number");
    auto* numberGroup = new wxStaticBoxSizer(numberBox, wxVERTICAL);
    auto* grid = new wxFlexGridSizer(2, 4, 4);
    grid->Add(new wxStaticText(numberBox, kRenameDigitsLabel, "Number of Digits:"), 0, wxALIGN_CENTRE_VERTICAL);
    grid->Add(new CNumericEdit(numberBox, kRenameDigits, wxDefaultPosition, wxSize(50, -1)), 0);
    grid->Add(new wxStaticText(numberBox, kRenameStartLabel, "Start From:"), 0, wxALIGN_CENTRE_VERTICAL);
    grid->Add(new CNumericEdit(numberBox, kRenameStart, wxDefaultPosition, wxSize(110, -1)), 0);
    numberGroup->Add(grid, 0, wxALL, 4);

    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(baseGroup, 1, wxEXPAND | wxRIGHT, 8);
    top->Add(numberGroup, 0, wxEXPAND);

    message_ = new wxStaticText(this, kRenameMessage, wxString(), wxDefaultPosition, wxSize(kMessageWidth, 64),
                                wxST_NO_AUTORESIZE);
    message_->SetForegroundColour(*wxRED);
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->Add(new wxButton(this, wxID_OK, "Rename"), 0, wxRIGHT, 6);
    buttons->Add(new wxButton(this, wxID_CANCEL, "Cancel"), 0);
    auto* bottom = new wxBoxSizer(wxHORIZONTAL);
    bottom->Add(message_, 1, wxRIGHT, 8);
    bottom->Add(buttons, 0, wxALIGN_BOTTOM);

    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(top, 0, wxEXPAND | wxALL, 10);
    sizer->Add(new wxStaticText(this, kRenamePreviewLabel, "The first image in the selection will be named:"), 0,
               wxLEFT | wxRIGHT, 10);
    sizer->Add(new wxTextCtrl(this, kRenamePreview, wxString(), wxDefaultPosition, wxDefaultSize, wxTE_READONLY), 0,
               wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 10);
    sizer->Add(bottom, 0, wxEXPAND | wxALL, 10);
    SetSizer(sizer);
    // Shown only for several images.
    for (int id : {kRenameNumberGroup, kRenameDigitsLabel, kRenameDigits, kRenameStartLabel, kRenameStart,
                   kRenamePreviewLabel, kRenamePreview})
        FindWindow(id)->Hide();
    FindWindow(wxID_OK)->SetFocus();
    SetDefaultItem(FindWindow(wxID_OK));

    Bind(wxEVT_TEXT, [this](wxCommandEvent&) {
        presenter_.OnBaseNameChanged();
        RewrapMessage();
    }, kRenameBaseName);
    for (int id : {kRenameDigits, kRenameStart})
        Bind(wxEVT_TEXT, [this](wxCommandEvent&) {
            presenter_.OnNumberChanged();
            RewrapMessage();
        }, id);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        if (presenter_.OnOK()) EndModal(wxID_OK);
    }, wxID_OK);
}

void CRenameDlg::RewrapMessage() {
    if (!message_->GetLabel().empty()) message_->Wrap(kMessageWidth);
}

int CRenameDlg::ShowModal() {
    if (!initialised_) {
        initialised_ = true;
        presenter_.InitDialog();
        TranslateWindowText(this, false);
        RewrapMessage();
        Fit();
        CentreOnParent();
        if (wxWindow* base = FindWindow(kRenameBaseName)) base->SetFocus();
    }
    return wxDialog::ShowModal();
}
