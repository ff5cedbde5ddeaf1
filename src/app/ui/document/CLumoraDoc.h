#pragma once
// The automation document: each automation connection holds one for its
// life. While one exists the user does not control the program's life:
// closing the main frame only hides it.
#include <wx/docview.h>

class CLumoraDoc : public wxDocument {
public:
    CLumoraDoc();
    ~CLumoraDoc() override;
    // Whether the user controls the program (no automation document lives).
    static bool UserControl();

private:
    wxDECLARE_DYNAMIC_CLASS(CLumoraDoc);
};
