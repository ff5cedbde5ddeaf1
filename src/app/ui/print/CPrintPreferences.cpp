#include "CPrintPreferences.h"

#include "CMainFrame.h"
#include "TranslateWindow.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>

CPrintPreferences::CPrintPreferences(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Printing Preferences"), view_(this), presenter_(view_) {
    auto* sizeGroup = new wxStaticBoxSizer(wxVERTICAL, this, "Print Size");
    wxStaticBox* sizeBox = sizeGroup->GetStaticBox();
    const std::pair<int, const char*> sizes[] = {{kPrintSizeSameAsView, "Same as View"},
                                                 {kPrintSizeSmall, "Small"},
                                                 {kPrintSizeMedium, "Medium"},
                                                 {kPrintSizeLarge, "Large"}};
    for (const auto& [id, text] : sizes)
        sizeGroup->Add(new wxRadioButton(sizeBox, id, text, wxDefaultPosition, wxDefaultSize,
                                         id == kPrintSizeSameAsView ? wxRB_GROUP : 0),
                       0, wxALL, 4);
    // Selected when a stored size names none of the four: a radio group
    // always has a choice.
    auto* noSize = new wxRadioButton(sizeBox, wxID_ANY, wxString());
    noSize->Hide();
    for (const auto& [id, text] : sizes) view_.SetRadioNone(id, noSize);

    auto* left = new wxBoxSizer(wxVERTICAL);
    left->Add(sizeGroup, 0, wxEXPAND | wxBOTTOM, 8);
    left->Add(new wxCheckBox(this, kPrintAllowDocking, "Allow docking of tool windows"), 0);

    auto* buttons = new wxBoxSizer(wxVERTICAL);
    buttons->Add(new wxButton(this, wxID_OK, "OK"), 0, wxBOTTOM, 6);
    buttons->Add(new wxButton(this, wxID_CANCEL, "Cancel"), 0);

    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(left, 1, wxALL, 10);
    row->Add(buttons, 0, wxALL, 10);
    SetSizer(row);

    presenter_.SetDockingApplier([](int allowDocking) {
        wxWindow* top = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
        if (auto* frame = dynamic_cast<CMainFrame*>(top)) frame->ApplyDockingSetting(allowDocking);
    });
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        presenter_.OnOK();
        EndModal(wxID_OK);
    }, wxID_OK);
}

int CPrintPreferences::ShowModal() {
    if (!initialised_) {
        initialised_ = true;
        presenter_.InitDialog();
        TranslateWindowText(this, false);
        Fit();
        CentreOnParent();
    }
    return wxDialog::ShowModal();
}
