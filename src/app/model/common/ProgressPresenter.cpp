#include "ProgressPresenter.h"

#include "BusyDialog.h"
#include "CLocaleText.h"

ProgressPresenter::ProgressPresenter(int titleId) : titleId_(titleId ? titleId : kDefaultTitleId) {
    if (BusyDialog) BusyDialog->Enable(false);
}

void ProgressPresenter::TakeOwner(EnableTarget* owner) {
    owner_ = owner;
    if (owner_ && owner_->IsEnabled()) {
        owner_->Enable(false);
        ownerDisabled_ = true;
    }
}

void ProgressPresenter::ReleaseOwner() {
    if (ownerDisabled_ && owner_) owner_->Enable(true);
    ownerDisabled_ = false;
}

void ProgressPresenter::SetRange(int low, int high) {
    rangeLow_ = low;
    rangeHigh_ = high;
    if (view_) view_->SetBarRange(low, high);
}

void ProgressPresenter::SetStep(int step) {
    stepSize_ = step;
    if (view_) view_->SetBarStep(step);
}

int ProgressPresenter::SetPos(int position) {
    if (!view_) return 0;
    view_->PumpMessages();
    const int previous = view_->SetBarPos(position);
    UpdatePercentText(position);
    return previous;
}

int ProgressPresenter::StepIt() {
    if (!view_) return 0;
    view_->PumpMessages();
    const int previous = view_->StepBar();
    // From the previous position, so the text does not wrap with the bar.
    UpdatePercentText(previous + stepSize_);
    return previous;
}

int ProgressPresenter::CheckCancelButton() {
    if (view_) view_->PumpMessages();
    const int was = cancelled_ ? 1 : 0;
    cancelled_ = false;
    return was;
}

bool ProgressPresenter::Progress(int percent) {
    if (cancelled_) {
        if (view_ && view_->HasWindow()) view_->CloseWindow();
        return false;
    }
    SetPos(percent);
    return true;
}

void ProgressPresenter::WindowClosing() {
    ReleaseOwner();
    // The pointer itself belongs to the busy dialog.
    if (BusyDialog) BusyDialog->Enable(true);
}

std::string ProgressPresenter::PercentText(int position, int low, int high) {
    const long long span = (long long)high - low;
    long long percent = span == 0 ? 0 : ((long long)position - low) * 100 / span;
    if (percent != 100) percent %= 100;
    return FormatCLocale("%lld%c", percent, '%');
}

void ProgressPresenter::UpdatePercentText(int position) {
    const std::string text = PercentText(position, rangeLow_, rangeHigh_);
    if (view_->GetPercentText() != text) view_->SetPercentText(text);
    if (position >= 100) view_->Pause(kEndPauseMs);
}
