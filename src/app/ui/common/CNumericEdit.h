#pragma once
// An integer field: typed characters are limited to digits and one minus
// sign, the value can be set without telling the parent, and the owner can
// show the value invalid (red) or valid (black) on white.
#include <wx/textctrl.h>

class CNumericEdit : public wxTextCtrl {
public:
    CNumericEdit(wxWindow* parent, wxWindowID id, const wxPoint& pos = wxDefaultPosition,
                 const wxSize& size = wxDefaultSize, long style = 0);

    using wxTextCtrl::GetValue;
    using wxTextCtrl::SetValue;
    // The text as an integer: leading digits as atoi reads them, 0 for none.
    int GetValue();
    // The parent is told of the change as of any edit.
    bool SetValue(int value);
    // The parent hears nothing of this change.
    bool SetValueQuietly(int value);
    void SetValid(bool valid);
    bool IsValid() const { return valid_; }

private:
    void OnChar(wxKeyEvent& event);
    void OnText(wxCommandEvent& event);

    wxString text_;
    bool quiet_ = false;
    bool valid_ = true;
};
