#pragma once
// The tools of the Image Controls bar: selection, crop, click balance,
// close-up and scrolling hand as one group, tag, untag and the rotations.
#include "CSmallToolBar.h"

namespace NimbalCore {
class Image;
}

class CToolsBar : public CSmallToolBar {
public:
    // currentTool: the main frame's current tool (null: no tool marked).
    CToolsBar(wxWindow* parent, int* currentTool);
    // No image has the focus.
    void Clear();
    void UpdateFromImage(NimbalCore::Image& image);

private:
    int* currentTool_;
};
