#pragma once
// Modal message boxes. Dialogs report their checks through it; the program
// shows real boxes, tests record what would have been shown.
#include <string>

class MessageBoxService {
public:
    enum Buttons { kOk, kOkCancel, kYesNo };
    enum Answer { kAnswerOk = 1, kAnswerCancel = 2, kAnswerYes = 6, kAnswerNo = 7 };
    virtual ~MessageBoxService() = default;
    virtual int Show(const std::string& text, const std::string& caption, Buttons buttons) = 0;

    // The process-wide boxes; until one is set, every box is answered at
    // once as by its first button.
    static MessageBoxService& Current();
    static void SetCurrent(MessageBoxService* service);
};
