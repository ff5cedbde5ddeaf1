#pragma once
// A wxMenu (or a menu bar) as the shell's menu logic sees it: commands by
// the program's numbers, items by their toolkit ids (WxCommandId.h).
#include "MenuSeam.h"

class wxMenu;
class wxMenuBar;
class wxMenuItem;

class WxMenuSeam : public MenuSeam {
public:
    // popup: the context menu as it is shown; or a menu bar (its menus are
    // searched by command; it has no submenu to rebuild).
    explicit WxMenuSeam(wxMenu* popup) : menu_(popup) {}
    explicit WxMenuSeam(wxMenuBar* bar) : bar_(bar) {}

    void Enable(int command, bool enable) override;
    void Check(int command, bool check) override;
    void SetLabel(int command, const std::string& label) override;
    int FindSubmenuStartingWith(int firstCommand) override;
    void ClearSubmenu(int position) override;
    void AppendToSubmenu(int position, int command, const std::string& label, bool checked) override;
    void EnableEntry(int position, bool enable) override;

private:
    wxMenuItem* Find(int command) const;
    wxMenu* SubmenuAt(int position) const;

    wxMenu* menu_ = nullptr;
    wxMenuBar* bar_ = nullptr;
};
