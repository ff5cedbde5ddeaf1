#pragma once
// The Printing Preferences dialog: the contact sheet's print size and
// whether the main frame's dialog bars may dock. OK stores both and applies
// the docking choice to the main frame at once; Cancel stores nothing.
#include "PrintPreferencesPresenter.h"
#include "WxDialogView.h"

#include <wx/dialog.h>

class CPrintPreferences : public wxDialog {
public:
    explicit CPrintPreferences(wxWindow* parent = nullptr);
    int ShowModal() override;

    PrintPreferencesPresenter& Presenter() { return presenter_; }

private:
    WxDialogView view_;
    PrintPreferencesPresenter presenter_;
    bool initialised_ = false;
};
