#pragma once
// A small toolbar inside a dialog bar, built from its button table: every
// button starts greyed; the owner applies the states the toolbar model
// computes. A click raises the floating frame that holds the toolbar.
#include "ToolBarButtons.h"
#include "ToolBarStates.h"

#include <wx/toolbar.h>

class CSmallToolBar : public wxToolBar {
public:
    CSmallToolBar(wxWindow* parent, const ToolBarTable& table);
    void ApplyStates(const ButtonStates& states);

private:
    void OnLeftUp(wxMouseEvent& event);
};
