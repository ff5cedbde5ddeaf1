#pragma once
// A wx dialog's text fields as a presenter sets them up: limits, and the
// numeric fields' values and colours.
#include "EditFieldView.h"

#include <wx/dialog.h>

class WxEditFieldView : public EditFieldView {
public:
    explicit WxEditFieldView(wxDialog* dialog) : dialog_(dialog) {}
    void SetTextLimit(int id, int characters) override;
    int GetNumber(int id) override;
    void SetNumberQuietly(int id, int value) override;
    void SetNumberValid(int id, bool valid) override;

private:
    wxDialog* dialog_;
};
