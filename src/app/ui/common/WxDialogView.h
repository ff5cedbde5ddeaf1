#pragma once
// A wx dialog as its presenter sees it: controls found by id under the
// dialog (1 is the OK button, 2 Cancel). Texts set into text fields do not
// notify: a presenter writing values back never sets off its own handlers.
#include "DialogView.h"

#include <wx/dialog.h>

#include <map>

class WxDialogView : public DialogView {
public:
    explicit WxDialogView(wxDialog* dialog) : dialog_(dialog) {}

    std::string GetItemText(int id) override;
    void SetItemText(int id, const std::string& text) override;
    void EnableItem(int id, bool enable) override;
    bool IsItemEnabled(int id) override;
    void ShowItem(int id, bool show) override;
    int GetCheck(int id) override;
    void SetCheck(int id, int check) override;
    void FocusItem(int id) override;
    void SetCaption(const std::string& caption) override;
    void ClearList(int id) override;
    void AddListItem(int id, const std::string& text) override;
    int GetListSelection(int id) override;
    void SetListSelection(int id, int index) override;
    std::string GetListItemText(int id, int index) override;
    int GetListCount(int id) override;
    void EndAsCancel() override;

    wxWindow* Item(int id);
    // The hidden radio button that clears a group (toolkits keep one of a
    // group selected).
    void SetRadioNone(int id, wxWindow* none) { radioNone_[id] = none; }

private:
    wxDialog* dialog_;
    std::map<int, wxWindow*> radioNone_;
};
