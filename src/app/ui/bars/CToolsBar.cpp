#include "CToolsBar.h"

CToolsBar::CToolsBar(wxWindow* parent, int* currentTool)
    : CSmallToolBar(parent, ToolsBarTable()), currentTool_(currentTool) {}

void CToolsBar::Clear() { ApplyStates(ToolsBarClearStates(currentTool_)); }

void CToolsBar::UpdateFromImage(NimbalCore::Image& image) { ApplyStates(ToolsBarStatesFor(image, currentTool_)); }
