#pragma once
// The splash screen: one second, or until the first click, whichever comes
// first; either way the main frame object is made exactly once from here.
#include "PictureDialog.h"

#include <wx/timer.h>

class CSplashScreenDlg : public PictureDialog {
public:
    explicit CSplashScreenDlg(wxWindow* parent);
    bool WasCtrlClicked() const { return ctrlClicked_; }

    static constexpr int kTimerId = 3000;

private:
    void OnClick(wxMouseEvent& event) override;
    void OnTimer(wxTimerEvent& event);
    void Finish();

    wxTimer timer_;
    bool ctrlClicked_ = false;
    bool finished_ = false;
};
