#include "CSplashScreenDlg.h"

#include "CHulk.h"
#include "CScrambledEggs.h"

CSplashScreenDlg::CSplashScreenDlg(wxWindow* parent, std::function<void()> createMainFrame)
    : PictureDialog(parent, kSplash, wxEmptyString), createMainFrame_(std::move(createMainFrame)),
      timer_(this, kTimerId) {
    Bind(wxEVT_TIMER, &CSplashScreenDlg::OnTimer, this, kTimerId);
    // Closed by the window manager it ends as its timer would.
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) {
        timer_.Stop();
        Finish();
    });
    timer_.StartOnce(1000);
}

bool CSplashScreenDlg::RunSplash(std::function<void()> createMainFrame) {
    bool ctrlClicked = false;
    {
        CSplashScreenDlg splash(nullptr, std::move(createMainFrame));
        splash.ShowModal();
        ctrlClicked = splash.WasCtrlClicked();
    }
    if (ctrlClicked) {
        CScrambledEggs(nullptr).ShowModal();
        CHulk(nullptr).ShowModal();
    }
    return ctrlClicked;
}

void CSplashScreenDlg::OnClick(wxMouseEvent& event) {
    timer_.Stop();
    if (event.ControlDown()) ctrlClicked_ = true;
    Finish();
}

void CSplashScreenDlg::OnTimer(wxTimerEvent&) { Finish(); }

void CSplashScreenDlg::Finish() {
    if (finished_) return;
    finished_ = true;
    if (createMainFrame_) createMainFrame_();
    EndModal(wxID_OK);
}
