#pragma once
// A floating close-up window: the close-up view of one image, placed in the
// cascade the main frame keeps. It never docks.
#include "CloseUpViewBase.h"

#include <wx/minifram.h>

class CMainFrame;
namespace NimbalCore {
class ImageRendering;
}

class CCloseUpDialogBar : public wxMiniFrame, public NimbalCore::CloseUpViewBase {
public:
    CCloseUpDialogBar(CMainFrame* frame, NimbalCore::CloseUp* closeUp, NimbalCore::ImageRendering* rendering);

    // Takes the placed rectangle (inclusive right and bottom).
    void Place(const NimbalCore::NbRect& rect);

    void CloseUpChanged() override { Refresh(); }
    void ActivateView() override { Raise(); }
    NimbalCore::NbRect GetViewRect() override { return rect_; }
    void CloseUpClosing(NimbalCore::CloseUp*) override {}

private:
    void OnClose(wxCloseEvent& event);

    CMainFrame* frame_;
    NimbalCore::NbRect rect_;
};
