#pragma once
// The application's Open and Open With commands: their pickers and what
// follows the user's answer.
#include <functional>
#include <string>

class wxMenuBar;
class wxWindow;

// Open (57601): the Open picker on the template filters, the combined image
// entry selected, starting in the File Open folder. The folder button opens
// the shown folder whatever the dialog answered; OK opens the chosen file;
// Cancel nothing. After opening, the File Open folder is the one the dialog
// showed last.
void RunOpenCommand(wxWindow* parent, const std::function<void(const std::string&)>& open);

// Open With (32904): picks the program that opens saved images; only a file
// the user may run is taken. The Send To item of the menus follows.
void RunOpenWithCommand(wxWindow* parent, wxMenuBar* menus);
