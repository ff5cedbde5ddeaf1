#pragma once
// Message boxes as wx shows them, over the active window.
#include "MessageBoxService.h"

class WxMessageBoxService : public MessageBoxService {
public:
    int Show(const std::string& text, const std::string& caption, Buttons buttons) override;
    int ShowWithIcon(const std::string& text, const std::string& caption, Buttons buttons, Icon icon) override;
};
