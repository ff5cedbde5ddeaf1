#pragma once
// The modeless progress window of long work on the user-interface thread: a
// bar, a percent text and an optional Cancel button. It is also the core's
// progress callback: Progress answers false once Cancel was pressed. While
// it is up it holds its owner (when it disabled it) and the busy dialog
// disabled; each update runs what waits for the thread, so the program
// stays responsive.
#include "ProgressCB.h"
#include "ProgressPresenter.h"
#include "ProgressView.h"
#include "WxEnableTarget.h"

#include <wx/dialog.h>

class wxGauge;
class wxStaticText;

enum ProgressDlgControl : int { kProgressBar = 1003, kProgressPercent = 1004 };

class CProgressDlg : public NimbalCore::ProgressCB, public wxDialog, private ProgressView {
public:
    // Title 0 shows "Rendering Image".
    explicit CProgressDlg(int titleId = 0);
    ~CProgressDlg() override;

    // Disables the enabled top-level owner of parent (the main window when
    // there is none) and shows the window centred; false, with the owner
    // given back, when the window cannot be made.
    bool Create(wxWindow* parent = nullptr, bool showCancel = true);

    void SetRange(int low, int high) { presenter_.SetRange(low, high); }
    void SetStep(int step) { presenter_.SetStep(step); }
    int SetPos(int position) { return presenter_.SetPos(position); }
    int StepIt() { return presenter_.StepIt(); }
    int CheckCancelButton() { return presenter_.CheckCancelButton(); }
    bool Progress(int percent) override { return presenter_.Progress(percent); }

    // The window's end (also on a cancel seen by Progress): what it
    // disabled is enabled again, and it disappears.
    bool DestroyWindow();
    bool IsWindowGone() const { return gone_; }
    const ProgressPresenter& Presenter() const { return presenter_; }

private:
    void PumpMessages() override;
    void SetBarRange(int low, int high) override;
    void SetBarStep(int step) override { step_ = step; }
    int SetBarPos(int position) override;
    int StepBar() override;
    std::string GetPercentText() override;
    void SetPercentText(const std::string& text) override;
    void Pause(int milliseconds) override;
    bool HasWindow() override { return created_ && !gone_; }
    void CloseWindow() override { DestroyWindow(); }
    void OnCancel(wxCommandEvent& event);

    ProgressPresenter presenter_;
    WxEnableTarget owner_;
    wxGauge* bar_ = nullptr;
    wxStaticText* percent_ = nullptr;
    int low_ = 0, high_ = 100, pos_ = 0, step_ = 10;
    bool created_ = false;
    bool gone_ = false;
};
