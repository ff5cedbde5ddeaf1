#pragma once
// The modal question of a batch save before it replaces a file: Yes, Yes to
// All and No. One object serves a whole batch, so yesToAll carries over.
#include "SaveQuestion.h"

#include <wx/dialog.h>

#include <string>

enum SaveMsgControl : int { kSaveMsgText = 1062 };

class CSaveMsgDlg : public wxDialog {
public:
    explicit CSaveMsgDlg(wxWindow* parent = nullptr);

    // 1 for Yes and Yes to All, 2 for No, the close box and Esc.
    int DoModal();

    std::string message;
    int yesToAll = 0;
    std::string noButtonText;

private:
    void OnButton(int button);

    class wxStaticText* text_ = nullptr;
    class wxButton* no_ = nullptr;
};
