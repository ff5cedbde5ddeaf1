#include "CChildFrame.h"

#include "CMainFrame.h"

CChildFrame::CChildFrame(wxDocument* doc, wxView* view, wxAuiMDIParentFrame* parent, const wxString& title) {
    // Made here rather than by the base's constructor: a tab made in a shown
    // frame is realized at once, and only a finished object reaches our own
    // realize handling.
    Create(doc, view, parent, wxID_ANY, title);
}

CChildFrame* CChildFrame::Make(wxDocument* doc, wxView* view) {
    CMainFrame* main = CMainFrame::Current();
    if (!main) return nullptr;
    auto* frame = new CChildFrame(doc, view, main, doc->GetUserReadableName());
    view->SetFrame(frame);
    return frame;
}
