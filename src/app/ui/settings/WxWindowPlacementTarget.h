#pragma once
// A top-level window's placement: how it is shown and its normal rectangle.
#include "WindowPlacementTarget.h"

#include <wx/toplevel.h>

class WxWindowPlacementTarget : public WindowPlacementTarget {
public:
    explicit WxWindowPlacementTarget(wxTopLevelWindow* window) : window_(window) {}
    WindowPlacement GetPlacement() override;
    void SetPlacement(const WindowPlacement& placement) override;

private:
    wxTopLevelWindow* window_;
};
