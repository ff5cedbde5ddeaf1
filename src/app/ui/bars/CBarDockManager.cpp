#include "CBarDockManager.h"

#include <wx/window.h>

bool CBarDockManager::SetDockedExtent(wxAuiPaneInfo& pane, int windowExtent) {
    if (!pane.IsOk() || !pane.IsDocked() || !pane.window) return false;
    const bool horizontal = pane.dock_direction == wxAUI_DOCK_TOP || pane.dock_direction == wxAUI_DOCK_BOTTOM;
    const wxSize now = pane.window->GetSize();
    // The dock is larger than its pane's window by the pane's border and
    // caption; that part stays as it is.
    const int change = windowExtent - (horizontal ? now.y : now.x);
    for (size_t i = 0; i < m_docks.size(); ++i) {
        wxAuiDockInfo& dock = m_docks[i];
        if (dock.dock_direction != pane.dock_direction || dock.dock_layer != pane.dock_layer ||
            dock.dock_row != pane.dock_row)
            continue;
        dock.size += change;
        if (horizontal) pane.best_size.y = windowExtent;
        else pane.best_size.x = windowExtent;
        return true;
    }
    return false;
}
