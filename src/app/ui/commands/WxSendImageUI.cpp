#include "WxSendImageUI.h"

#include "CProgressDlg.h"
#include "CSaveMsgDlg.h"
#include "MessagePump.h"

#include <wx/utils.h>

namespace {

class SaveMsgQuestion : public SendImageUI::Question {
public:
    void SetSecondButtonText(const std::string& text) override { dialog_.noButtonText = text; }
    int Ask(const std::string& message) override {
        // The user answers with the ordinary pointer.
        wxBusyCursorSuspender normal;
        dialog_.message = message;
        return dialog_.DoModal();
    }
    bool YesToAll() const override { return dialog_.yesToAll != 0; }

private:
    CSaveMsgDlg dialog_{nullptr};
};

class ProgressWindow : public SendImageUI::Progress {
public:
    explicit ProgressWindow(int captionId) : dialog_(captionId) {}
    bool Create(int entries) {
        if (!dialog_.Create(nullptr, true)) return false;
        dialog_.SetRange(0, entries);
        dialog_.SetStep(1);
        return true;
    }
    bool CancelPressed() override { return dialog_.CheckCancelButton() != 0; }
    void Step() override { dialog_.StepIt(); }
    void Close() override { dialog_.DestroyWindow(); }
    void KeepResponsive() override { ::PumpMessages(); }

private:
    CProgressDlg dialog_;
};

} // namespace

WxSendImageUI::~WxSendImageUI() {
    while (busy_ > 0) EndWaitCursor();
}

void WxSendImageUI::BeginWaitCursor() {
    wxBeginBusyCursor();
    ++busy_;
}

void WxSendImageUI::RestoreWaitCursor() {
    // A question box may have put its own pointer up: the busy pointer is
    // shown again over every window.
    if (busy_ == 0) return;
    wxEndBusyCursor();
    wxBeginBusyCursor();
}

void WxSendImageUI::EndWaitCursor() {
    if (busy_ == 0) return;
    wxEndBusyCursor();
    --busy_;
}

std::unique_ptr<SendImageUI::Question> WxSendImageUI::MakeQuestion() { return std::make_unique<SaveMsgQuestion>(); }

std::unique_ptr<SendImageUI::Progress> WxSendImageUI::MakeProgress(int captionId, int entries) {
    auto window = std::make_unique<ProgressWindow>(captionId);
    if (!window->Create(entries)) return nullptr;
    return window;
}

void WxSendImageUI::Pause(int milliseconds) { wxMilliSleep(unsigned(milliseconds)); }
