#include "WxWindowPlacementTarget.h"

WindowPlacement WxWindowPlacementTarget::GetPlacement() {
    WindowPlacement p;
    p.showCmd = window_->IsIconized()   ? WindowPlacement::kShowMinimized
                : window_->IsMaximized() ? WindowPlacement::kShowMaximized
                : window_->IsShown()     ? WindowPlacement::kShowNormal
                                         : WindowPlacement::kHide;
    const wxRect r = window_->GetRect();
    p.normal = {r.x, r.y, r.x + r.width, r.y + r.height};
    return p;
}

void WxWindowPlacementTarget::SetPlacement(const WindowPlacement& p) {
    window_->SetSize(p.normal.left, p.normal.top, p.normal.right - p.normal.left, p.normal.bottom - p.normal.top);
    if (p.showCmd == WindowPlacement::kShowMaximized) window_->Maximize(true);
    else if (p.showCmd == WindowPlacement::kShowMinimized) window_->Iconize(true);
}
