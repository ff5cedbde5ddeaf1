#pragma once
// The About box: the program's version and the libraries this build uses.
#include <wx/dialog.h>

class CAbout : public wxDialog {
public:
    explicit CAbout(wxWindow* parent);
    // The credit lines, one per library.
    static wxString Credits();
};
