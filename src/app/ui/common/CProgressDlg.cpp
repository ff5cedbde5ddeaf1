#include "CProgressDlg.h"

#include "LocalizedText.h"
#include "MessagePump.h"
#include "TranslateWindow.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/utils.h>

CProgressDlg::CProgressDlg(int titleId) : presenter_(titleId) { presenter_.SetView(this); }

CProgressDlg::~CProgressDlg() {
    if (created_ && !gone_) DestroyWindow();
}

bool CProgressDlg::Create(wxWindow* parent, bool showCancel) {
    wxWindow* owner = parent ? wxGetTopLevelParent(parent) : wxTheApp->GetTopWindow();
    owner_.Set(owner);
    presenter_.TakeOwner(owner ? &owner_ : nullptr);
    if (!wxDialog::Create(owner, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize, wxCAPTION)) {
        presenter_.ReleaseOwner();
        return false;
    }
    created_ = true;
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    bar_ = new wxGauge(this, kProgressBar, 100, wxDefaultPosition, wxSize(300, -1));
    percent_ = new wxStaticText(this, kProgressPercent, " 0 %", wxDefaultPosition, wxDefaultSize,
                                wxALIGN_CENTRE_HORIZONTAL | wxST_NO_AUTORESIZE);
    auto* cancel = new wxButton(this, wxID_CANCEL, "Cancel");
    cancel->SetDefault();
    sizer->Add(bar_, 0, wxEXPAND | wxALL, 10);
    sizer->Add(percent_, 0, wxEXPAND | wxLEFT | wxRIGHT, 10);
    sizer->Add(cancel, 0, wxALIGN_CENTRE | wxALL, 10);
    SetSizerAndFit(sizer);
    if (!showCancel) cancel->Hide();
    // Cancel and Esc only ask; the caller ends the work.
    Bind(wxEVT_BUTTON, &CProgressDlg::OnCancel, this, wxID_CANCEL);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { presenter_.Cancel(); });

    SetBarRange(presenter_.RangeLow(), presenter_.RangeHigh());
    SetBarStep(presenter_.StepSize());
    SetBarPos(presenter_.RangeLow());
    SetTitle(wxString::FromUTF8(LoadTranslatedString(presenter_.TitleId())));
    TranslateWindowText(this, false);
    if (wxWindow* main = wxTheApp->GetTopWindow(); main && main != this) CentreOnParent();
    else Centre();
    Show();
    return true;
}

void CProgressDlg::OnCancel(wxCommandEvent&) { presenter_.Cancel(); }

bool CProgressDlg::DestroyWindow() {
    if (!created_ || gone_) return false;
    gone_ = true;
    presenter_.WindowClosing();
    Hide();
    return true;
}

void CProgressDlg::PumpMessages() { ::PumpMessages(); }

void CProgressDlg::SetBarRange(int low, int high) {
    low_ = low;
    high_ = high;
    if (bar_) bar_->SetRange(high > low ? high - low : 1);
}

int CProgressDlg::SetBarPos(int position) {
    const int previous = pos_;
    pos_ = position;
    if (bar_) bar_->SetValue(std::clamp(position - low_, 0, bar_->GetRange()));
    return previous;
}

int CProgressDlg::StepBar() {
    const int previous = pos_;
    int next = pos_ + step_;
    // Past its end the bar starts over, as a stepped progress bar does.
    if (next > high_ && high_ > low_) next = low_ + (next - high_) % (high_ - low_);
    SetBarPos(next);
    return previous;
}

std::string CProgressDlg::GetPercentText() { return percent_ ? percent_->GetLabel().utf8_string() : std::string(); }

void CProgressDlg::SetPercentText(const std::string& text) {
    if (percent_) percent_->SetLabel(wxString::FromUTF8(text));
}

void CProgressDlg::Pause(int milliseconds) { wxMilliSleep(unsigned(milliseconds)); }
