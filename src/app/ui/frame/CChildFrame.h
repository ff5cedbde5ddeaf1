#pragma once
// The document window of every template: a tab of the main frame's notebook,
// so every document window fills the notebook.
#include <wx/aui/aui.h>
#include <wx/docview.h>

using CChildFrameBase = wxDocChildFrameAny<wxAuiMDIChildFrame, wxAuiMDIParentFrame>;

class CChildFrame : public CChildFrameBase {
public:
    CChildFrame(wxDocument* doc, wxView* view, wxAuiMDIParentFrame* parent, const wxString& title);
    // A new document window in the main frame; null without a main frame.
    static CChildFrame* Make(wxDocument* doc, wxView* view);

#ifdef __WXGTK__
    // A tab is a plain child window: its widget is not a GTK window, so the
    // top-level window's handling of being realized (decorations, icons,
    // resize grip) must not run for it.
    void GTKHandleRealized() override { wxWindow::GTKHandleRealized(); }
#endif
};
