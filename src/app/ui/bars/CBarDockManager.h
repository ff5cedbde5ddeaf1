#pragma once
// The frame's docking manager, able to set a docked pane's extent (the
// width of a left or right dock, the height of a top or bottom one) the way
// its own sash drag does.
#include <wx/aui/framemanager.h>

class CBarDockManager : public wxAuiManager {
public:
    // Sizes the dock holding the pane so that the pane's window becomes
    // windowExtent along the dock's axis, and makes it the pane's best size.
    // The caller lays out (Update). False when the pane is not docked.
    bool SetDockedExtent(wxAuiPaneInfo& pane, int windowExtent);
};
