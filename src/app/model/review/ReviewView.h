#pragma once
// The Review dialog as its presenter sees it: the dialog's controls, plus
// the default button, the picture view it renders into and the picture
// frame it repaints.
#include "DialogView.h"

namespace NimbalCore {
class ImageRendering;
}

class ReviewView : public DialogView {
public:
    // The button Enter presses.
    virtual void SetDefaultButton(int id) = 0;
    // Renders the whole image into the dialog's picture at the reduction
    // factor, with a progress window that has no Cancel button.
    virtual void RenderPicture(NimbalCore::ImageRendering* rendering, int reduction) = 0;
    // The picture frame's area is invalidated and repainted at once.
    virtual void RepaintPicture() = 0;
    // The window may not be made smaller than this.
    virtual void SetMinTrackSize(int width, int height) = 0;
};
