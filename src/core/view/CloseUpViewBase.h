#pragma once
// The window-independent half of a close-up window. Every live view is
// registered in one process-wide list; an unpinned view is re-targeted by
// the next click with the close-up tool, a pinned one keeps its image. The
// views share the per-image close-up models, and new windows are placed in
// a cascade inside the main window.
//
// The registry serves every thread; everything else runs on the user-
// interface thread.
#include "CloseUpEventCB.h"
#include "NbRect.h"

#include <cstdint>

namespace NimbalCore {

class CloseUp;
class ImageRendering;

class CloseUpViewBase : public CloseUpEventCB {
public:
    // The size of a view without a model: (0, 0, 512, 512).
    static const NbRect& DefaultViewRect();

    // The first live view, in the order they were made, that is not pinned.
    static CloseUpViewBase* FindUnpinnedView();
    // The first live pinned view that shows the model.
    static CloseUpViewBase* FindViewShowing(CloseUp* model);
    // After a click with the close-up tool in a document: points the
    // unpinned view at the image, or detaches it when the image is too small
    // for a close-up; with every view pinned, brings forward a view that
    // shows the image. Answers whether the image is large enough.
    static bool ShowCloseUpFor(CloseUpEventCB* document, ImageRendering* rendering);
    // Points the unpinned view at the image's model (made when missing),
    // unless a pinned view shows it already: that one comes forward.
    static void PointAtRendering(CloseUpEventCB* document, ImageRendering* rendering);
    // Where the first window goes, and the area windows are kept in.
    static void SetCascadeOrigin(const NbRect& origin);
    static void SetPlacementArea(const NbRect& area);
    static NbRect GetCascadeOrigin();
    static NbRect GetPlacementArea();
    // The rectangle of a new window: the cascade origin, moved down and right
    // past every live window that sits there; centred in the area when that
    // leaves it.
    static void PlaceNewView(NbRect& rect);

    CloseUpViewBase();
    ~CloseUpViewBase() override;
    CloseUpViewBase(const CloseUpViewBase&) = delete;
    CloseUpViewBase& operator=(const CloseUpViewBase&) = delete;

    // The view was pointed at another model (or none) and must re-render.
    virtual void CloseUpChanged() = 0;
    // Brings the window to the top.
    virtual void ActivateView() = 0;
    // Asks the preview, or else the contact sheet, that shows the model's
    // image to show it.
    virtual void ShowParentImage();
    // The window's screen rectangle.
    virtual NbRect GetViewRect() = 0;

    // Leaves the model shown (which may delete it) and follows model.
    void AttachToCloseUp(CloseUp* model);
    // A quarter of the model's image, as a square at rect's corner;
    // DefaultViewRect without a model.
    void GetPreferredViewRect(NbRect& rect);

    CloseUp* GetCloseUp() const { return closeUp_; }
    bool IsPinned() const { return pinned_ != 0; }
    // The pin command: keeps the model shown from now on. Nothing without a
    // model; never undone.
    void Pin() {
        if (closeUp_) pinned_ = 1;
    }

private:
    CloseUp* closeUp_ = nullptr;
    int32_t pinned_ = 0;
};

// Whether the image spans at least 513 pixels both ways in its output
// orientation: a close-up shows a quarter of it at 128 pixels or more.
bool IsLargeEnoughForCloseUp(ImageRendering* rendering);

} // namespace NimbalCore
