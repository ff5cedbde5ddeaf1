#include "CModelessMsgBox.h"

#include "LocalizedText.h"
#include "StringIds.h"
#include "TranslateWindow.h"

#include <wx/app.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

CModelessMsgBox::CModelessMsgBox(int id) : textId(id) {}

CModelessMsgBox::~CModelessMsgBox() { DestroyWindow(); }

bool CModelessMsgBox::Create(wxWindow* parent) {
    wxWindow* owner = parent ? wxGetTopLevelParent(parent) : wxTheApp->GetTopWindow();
    owner_.Set(owner);
    if (owner && owner->IsEnabled()) {
        owner->Enable(false);
        ownerDisabled_ = true;
    }
    if (!wxDialog::Create(owner, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize, wxCAPTION)) {
        if (ownerDisabled_) owner_.Enable(true);
        ownerDisabled_ = false;
        return false;
    }
    created_ = true;
    SetTitle(wxString::FromUTF8(LoadTranslatedString(IDS_APP_TITLE)));
    text = LoadTranslatedString(textId);
    auto* label = new wxStaticText(this, kModelessMsgText, wxString::FromUTF8(text), wxDefaultPosition,
                                   wxSize(320, -1), wxALIGN_CENTRE_HORIZONTAL);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(label, 1, wxEXPAND | wxALL, 24);
    SetSizerAndFit(sizer);
    TranslateWindowText(this, false);
    CentreOnParent();
    Show();
    return true;
}

bool CModelessMsgBox::DestroyWindow() {
    if (!created_) return false;
    created_ = false;
    if (ownerDisabled_) owner_.Enable(true);
    ownerDisabled_ = false;
    Hide();
    return true;
}
