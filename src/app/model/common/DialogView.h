#pragma once
// A dialog as its presenter sees it: controls by id, their texts, states and
// lists. The user interface implements it over real windows; tests over a
// table.
#include <string>

class DialogView {
public:
    virtual ~DialogView() = default;
    virtual std::string GetItemText(int id) = 0;
    virtual void SetItemText(int id, const std::string& text) = 0;
    virtual void EnableItem(int id, bool enable) = 0;
    virtual bool IsItemEnabled(int id) = 0;
    virtual void ShowItem(int id, bool show) = 0;
    // Check boxes and radio buttons: 1 ticked, 0 not.
    virtual int GetCheck(int id) = 0;
    virtual void SetCheck(int id, int check) = 0;
    virtual void FocusItem(int id) = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    // Lists: entries, and the selected one (-1 none).
    virtual void ClearList(int id) = 0;
    virtual void AddListItem(int id, const std::string& text) = 0;
    virtual int GetListSelection(int id) = 0;
    virtual void SetListSelection(int id, int index) = 0;
    virtual std::string GetListItemText(int id, int index) = 0;
    virtual int GetListCount(int id) = 0;
    // Ends the dialog as its Cancel button would.
    virtual void EndAsCancel() = 0;
};
