#pragma once
// The Preferences dialog: working space, send-to folder, export size, TIFF
// and JPEG options. It reads the settings when it opens and stores them on
// OK; opened from a save dialog it offers only the options of that file
// type.
#include "OutputOptionsPresenter.h"
#include "WxDialogView.h"

#include <wx/dialog.h>

class COutputOptionsDlg : public wxDialog {
public:
    explicit COutputOptionsDlg(wxWindow* parent = nullptr);

    // 1 TIFF, 2 JPEG (before the dialog is shown).
    void SetInitialFormat(int format) { presenter_.SetInitialFormat(format); }
    int ShowModal() override;

    OutputOptionsPresenter& Presenter() { return presenter_; }

private:
    void Build();

    WxDialogView view_;
    OutputOptionsPresenter presenter_;
    bool initialised_ = false;
};
