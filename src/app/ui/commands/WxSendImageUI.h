#pragma once
// Send To's windows in the program: the busy cursor, the batch's questions
// (CSaveMsgDlg), its progress window (CProgressDlg) and the pause.
#include "SendImageUI.h"

class WxSendImageUI : public SendImageUI {
public:
    WxSendImageUI() = default;
    ~WxSendImageUI() override;
    WxSendImageUI(const WxSendImageUI&) = delete;
    WxSendImageUI& operator=(const WxSendImageUI&) = delete;

    void BeginWaitCursor() override;
    void RestoreWaitCursor() override;
    void EndWaitCursor() override;
    std::unique_ptr<Question> MakeQuestion() override;
    std::unique_ptr<Progress> MakeProgress(int captionId, int entries) override;
    void Pause(int milliseconds) override;

private:
    int busy_ = 0;
};
