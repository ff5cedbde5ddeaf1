#pragma once
// The main frame's status bar: the message pane and four data panes (zoom,
// counts, position, colour) sized by their sample texts. Every text it is
// given is shown in the user's language.
#include <wx/statusbr.h>

class CLumoraStatusBar : public wxStatusBar {
public:
    explicit CLumoraStatusBar(wxWindow* parent);
    // Hides the toolkit's own, which is not virtual; the frame sends its texts
    // (menu prompts too) through here.
    void SetStatusText(const wxString& text, int number = 0);
};
