#pragma once
// The tools of the Image Controls bar: selection, crop, click balance,
// close-up and scrolling hand as one group, tag, untag and the rotations.
#include "CSmallToolBar.h"

namespace NimbalCore {
class Image;
}

class CToolsBar : public CSmallToolBar {
public:
    explicit CToolsBar(wxWindow* parent);
    // No image has the focus.
    void Clear();
    void UpdateFromImage(NimbalCore::Image& image);
};
