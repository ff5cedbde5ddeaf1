#pragma once
// Window texts and menus through the user-interface language table. Text
// fields and lists are left alone: what they hold is the user's data.
class wxWindow;
class wxMenu;
class wxMenuBar;

// The window's text, then (withSiblings) the windows after it under the same
// parent, and all its child windows.
void TranslateWindowText(wxWindow* window, bool withSiblings);
// The same for the program's own dialogs' handles: texts read up to 1024
// characters.
void TranslateWindowTextByHandle(wxWindow* window, bool withSiblings);
// Every item from the last to the first, by position: ids and submenus kept.
void TranslateMenu(wxMenu* menu);
void TranslateMenu(wxMenuBar* menuBar);
