#include "CNumericEdit.h"

#include "EditFilters.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

CNumericEdit::CNumericEdit(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style)
    : wxTextCtrl(parent, id, wxString(), pos, size, style) {
    SetBackgroundColour(*wxWHITE);
    SetForegroundColour(*wxBLACK);
    Bind(wxEVT_CHAR, &CNumericEdit::OnChar, this);
    Bind(wxEVT_TEXT, &CNumericEdit::OnText, this);
}

int CNumericEdit::GetValue() {
    text_ = wxTextCtrl::GetValue();
    // As atoi reads it, but a pasted number beyond the int range stops at
    // its end instead of being undefined.
    const long long value = std::strtoll(text_.utf8_string().c_str(), nullptr, 10);
    return int(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

bool CNumericEdit::SetValue(int value) {
    text_ = wxString::Format("%d", value);
    wxTextCtrl::SetValue(text_);
    return true;
}

bool CNumericEdit::SetValueQuietly(int value) {
    quiet_ = true;
    text_ = wxString::Format("%d", value);
    ChangeValue(text_);
    quiet_ = false;
    return true;
}

void CNumericEdit::SetValid(bool valid) {
    valid_ = valid;
    SetForegroundColour(valid ? *wxBLACK : *wxRED);
    Refresh(true);
}

void CNumericEdit::OnChar(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    // Keys without a character (arrows, Delete) move and edit as usual.
    if (event.GetUnicodeKey() == WXK_NONE || key == WXK_BACK || key == WXK_DELETE || key == WXK_TAB ||
        event.ControlDown()) {
        event.Skip();
        return;
    }
    if (NumericEditAccepts(char32_t(event.GetUnicodeKey()), wxTextCtrl::GetValue().utf8_string())) event.Skip();
}

void CNumericEdit::OnText(wxCommandEvent& event) {
    if (!quiet_) event.Skip();
}
