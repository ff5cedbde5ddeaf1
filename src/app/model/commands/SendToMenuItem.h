#pragma once
// The Send To item (33108) and the Open With picker's program: the editor
// the user chose is settings item 15, a program path.
#include "MenuSeam.h"

#include <string>

constexpr int kSendToCommand = 33108;

// The program's file name as the Send To item shows it: the whole name after
// the last "/" (a dot in a program's name is no extension).
std::string SendToProgramName(const std::string& programPath);
// Item 15 empty: 33108 disabled. Otherwise enabled, and labelled with the
// translated "S&end To: %s\t%s" of the name and "Ctrl+L".
void UpdateSendToMenuItem(MenuSeam& menu);

// The Open With picker: its filter text (translated), the folder it starts
// in (item 15 up to its last "/"), and whether a chosen file is a program the
// user may run (a regular file with execute permission).
std::string OpenWithFilter();
std::string OpenWithStartFolder();
bool IsRunnableProgram(const std::string& path);
// Stores the chosen program as item 15 and updates the menu's Send To item.
void SetOpenWithProgram(const std::string& path, MenuSeam& mainMenu);
