#pragma once
// A modeless window with one line of text and no buttons, shown while the
// program waits for something it cannot hurry; it holds its owner disabled.
#include "ProgressPresenter.h"
#include "WxEnableTarget.h"

#include <wx/dialog.h>

#include <string>

enum ModelessMsgControl : int { kModelessMsgText = 1059 };

class CModelessMsgBox : public wxDialog {
public:
    explicit CModelessMsgBox(int textId);
    ~CModelessMsgBox() override;

    // As the progress window: the enabled owner is disabled; false, with
    // the owner given back, when the window cannot be made.
    bool Create(wxWindow* parent = nullptr);
    bool DestroyWindow();

    std::string text;
    int textId;

private:
    WxEnableTarget owner_;
    bool ownerDisabled_ = false;
    bool created_ = false;
};
