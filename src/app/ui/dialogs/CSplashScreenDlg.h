#pragma once
// The splash screen: one second, or until the first click, whichever comes
// first; either way the main frame object is made exactly once from here.
#include "PictureDialog.h"

#include <wx/timer.h>

#include <functional>

class CSplashScreenDlg : public PictureDialog {
public:
    CSplashScreenDlg(wxWindow* parent, std::function<void()> createMainFrame);
    bool WasCtrlClicked() const { return ctrlClicked_; }

    static constexpr int kTimerId = 3000;

    // The splash, then, after a Ctrl+click on it, the two hidden pictures
    // one after the other. Answers whether they were shown.
    static bool RunSplash(std::function<void()> createMainFrame);

private:
    void OnClick(wxMouseEvent& event) override;
    void OnTimer(wxTimerEvent& event);
    void Finish();

    std::function<void()> createMainFrame_;
    wxTimer timer_;
    bool ctrlClicked_ = false;
    bool finished_ = false;
};
