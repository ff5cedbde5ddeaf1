#include "CToolsBar.h"

#include "CLumoraApp.h"
#include "CMainFrame.h"

namespace {
int* CurrentTool() {
    CMainFrame* frame = TheMainFrame();
    return frame ? &frame->State().currentTool : nullptr;
}
} // namespace

CToolsBar::CToolsBar(wxWindow* parent) : CSmallToolBar(parent, ToolsBarTable()) {}

void CToolsBar::Clear() { ApplyStates(ToolsBarClearStates(CurrentTool())); }

void CToolsBar::UpdateFromImage(NimbalCore::Image& image) { ApplyStates(ToolsBarStatesFor(image, CurrentTool())); }
