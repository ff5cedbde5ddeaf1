#include "CSplashScreenDlg.h"

#include "CLumoraApp.h"

CSplashScreenDlg::CSplashScreenDlg(wxWindow* parent)
    : PictureDialog(parent, kSplash, wxEmptyString), timer_(this, kTimerId) {
    Bind(wxEVT_TIMER, &CSplashScreenDlg::OnTimer, this, kTimerId);
    timer_.StartOnce(1000);
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
    if (CLumoraApp* app = TheLumoraApp()) app->CreateMainFrame();
    EndModal(wxID_OK);
}
