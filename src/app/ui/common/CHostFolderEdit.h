#pragma once
// A field for a file name: the typed characters that cannot stand in a file
// name are refused (the asterisk is kept: it marks where a number goes);
// pasted text goes in as it is.
#include <wx/textctrl.h>

class CHostFolderEdit : public wxTextCtrl {
public:
    CHostFolderEdit(wxWindow* parent, wxWindowID id, const wxString& value = wxString(),
                    const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize, long style = 0);

private:
    void OnChar(wxKeyEvent& event);
};
