#pragma once
// A menu as the shell's menu logic changes it: items found by command
// anywhere in the menu (an item the menu lacks is ignored), and the one
// submenu that a rebuild replaces. The program's menus are wxMenu
// (WxMenuSeam); tests use their own.
#include <string>

class MenuSeam {
public:
    virtual ~MenuSeam() = default;

    virtual void Enable(int command, bool enable) = 0;
    virtual void Check(int command, bool check) = 0;
    virtual void SetLabel(int command, const std::string& label) = 0;

    // The submenu whose first item is firstCommand, searched among the
    // entries of the popup (the context menu itself, the first submenu of
    // its resource); -1 when there is none. The answer is the entry's
    // position in the popup, valid until the popup's entries change.
    virtual int FindSubmenuStartingWith(int firstCommand) = 0;
    virtual void ClearSubmenu(int position) = 0;
    virtual void AppendToSubmenu(int position, int command, const std::string& label, bool checked) = 0;
    // Enables or disables the popup's entry at position (the entry that
    // opens the submenu).
    virtual void EnableEntry(int position, bool enable) = 0;
};
