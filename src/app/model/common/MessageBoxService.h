#pragma once
// Modal message boxes. Dialogs report their checks through it; the program
// shows real boxes, tests record what would have been shown.
#include <string>

class MessageBoxService {
public:
    enum Buttons { kOk, kOkCancel, kYesNo, kYesNoCancel };
    enum Answer { kAnswerOk = 1, kAnswerCancel = 2, kAnswerYes = 6, kAnswerNo = 7 };
    virtual ~MessageBoxService() = default;
    enum Icon { kNoIcon, kStop, kInformation, kExclamation };
    virtual int Show(const std::string& text, const std::string& caption, Buttons buttons) = 0;
    // A box with an icon; a service without icons shows the plain box.
    virtual int ShowWithIcon(const std::string& text, const std::string& caption, Buttons buttons, Icon) {
        return Show(text, caption, buttons);
    }

    // The process-wide boxes; until one is set, every box is answered at
    // once as by its first button.
    static MessageBoxService& Current();
    static void SetCurrent(MessageBoxService* service);
};
