#include "CSaveMsgDlg.h"

#include "LocalizedText.h"
#include "StringIds.h"
#include "TranslateWindow.h"

#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

CSaveMsgDlg::CSaveMsgDlg(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, wxString()), noButtonText(LoadTranslatedString(IDS_NO)) {
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(new wxStaticBitmap(this, wxID_ANY, wxArtProvider::GetBitmap(wxART_QUESTION, wxART_MESSAGE_BOX)), 0,
             wxALL, 10);
    text_ = new wxStaticText(this, kSaveMsgText, wxString(), wxDefaultPosition, wxSize(380, -1),
                             wxALIGN_CENTRE_HORIZONTAL);
    top->Add(text_, 1, wxALL | wxALIGN_CENTRE_VERTICAL, 10);
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->Add(new wxButton(this, kSaveQuestionYes, "&Yes"), 0, wxALL, 5);
    buttons->Add(new wxButton(this, kSaveQuestionYesToAll, "Yes to &All"), 0, wxALL, 5);
    no_ = new wxButton(this, kSaveQuestionNo, "&No");
    buttons->Add(no_, 0, wxALL, 5);
    no_->SetDefault();
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(top, 1, wxEXPAND);
    sizer->Add(buttons, 0, wxALIGN_CENTRE | wxBOTTOM, 5);
    SetSizer(sizer);
    for (int id : {int(kSaveQuestionYes), int(kSaveQuestionYesToAll), int(kSaveQuestionNo)})
        Bind(wxEVT_BUTTON, [this, id](wxCommandEvent&) { OnButton(id); }, id);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { OnButton(kSaveQuestionNo); });
    SetEscapeId(kSaveQuestionNo);
}

int CSaveMsgDlg::DoModal() {
    TranslateWindowText(this, false);
    SetTitle(wxString::FromUTF8(LoadTranslatedString(IDS_APP_TITLE)));
    no_->SetLabel(wxString::FromUTF8(noButtonText));
    text_->SetLabel(wxString::FromUTF8(message));
    text_->Wrap(380);
    no_->SetFocus();
    Fit();
    CentreOnParent();
    return ShowModal();
}

void CSaveMsgDlg::OnButton(int button) {
    if (IsModal()) EndModal(SaveQuestionAnswer(button, yesToAll));
}
