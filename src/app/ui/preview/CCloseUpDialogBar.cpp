#include "CCloseUpDialogBar.h"

#include "CMainFrame.h"

CCloseUpDialogBar::CCloseUpDialogBar(CMainFrame* frame, NimbalCore::CloseUp* closeUp,
                                     NimbalCore::ImageRendering* rendering)
    : wxMiniFrame(frame, wxID_ANY, "Close-Up", wxDefaultPosition, wxSize(256, 256),
                  wxCAPTION | wxCLOSE_BOX | wxRESIZE_BORDER | wxFRAME_FLOAT_ON_PARENT),
      frame_(frame) {
    (void)rendering;
    AttachToCloseUp(closeUp);
    Bind(wxEVT_CLOSE_WINDOW, &CCloseUpDialogBar::OnClose, this);
}

void CCloseUpDialogBar::Place(const NimbalCore::NbRect& rect) {
    rect_ = rect;
    SetSize(rect.left, rect.top, static_cast<int>(rect.Width()), static_cast<int>(rect.bottom - rect.top + 1));
}

void CCloseUpDialogBar::OnClose(wxCloseEvent&) { frame_->OnCloseUpClosed(this); }
