#pragma once
// The state of a progress window: the range, the step, the percent text, the
// cancel request, and the windows it holds disabled while it is up (its
// owner, when it disabled it, and the busy dialog).
#include "EnableTarget.h"
#include "ProgressView.h"

#include <string>

class ProgressPresenter {
public:
    static constexpr int kDefaultTitleId = 103;
    // How long the work's end stays on the screen.
    static constexpr int kEndPauseMs = 125;

    // Title 0 keeps "Rendering Image". Disables the busy dialog when one is set.
    explicit ProgressPresenter(int titleId = 0);

    int TitleId() const { return titleId_; }
    int RangeLow() const { return rangeLow_; }
    int RangeHigh() const { return rangeHigh_; }
    int StepSize() const { return stepSize_; }
    bool IsCancelled() const { return cancelled_; }
    bool OwnerDisabled() const { return ownerDisabled_; }

    void SetView(ProgressView* view) { view_ = view; }

    // Before the window is made: an enabled owner is disabled and
    // remembered; a disabled one is left to whoever disabled it.
    void TakeOwner(EnableTarget* owner);
    // When the window could not be made: gives the owner back.
    void ReleaseOwner();

    void SetRange(int low, int high);
    void SetStep(int step);
    int SetPos(int position);
    int StepIt();
    // The cancel request once: 1 after Cancel, then 0.
    int CheckCancelButton();
    // Cancel (the button or Esc) only asks.
    void Cancel() { cancelled_ = true; }
    // The core's progress: false once Cancel was asked, and the window is
    // gone from then on.
    bool Progress(int percent);
    // The window's end: what this window disabled is enabled again.
    void WindowClosing();

    // "45%": the share of the range, never above 100.
    static std::string PercentText(int position, int low, int high);

private:
    void UpdatePercentText(int position);

    ProgressView* view_ = nullptr;
    EnableTarget* owner_ = nullptr;
    int titleId_;
    int rangeLow_ = 0;
    int rangeHigh_ = 100;
    int stepSize_ = 10;
    bool cancelled_ = false;
    bool ownerDisabled_ = false;
};
