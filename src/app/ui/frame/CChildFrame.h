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
};
