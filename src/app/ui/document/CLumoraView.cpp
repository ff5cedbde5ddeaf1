#include "CLumoraView.h"

#include "CChildFrame.h"

#include <wx/textctrl.h>

wxIMPLEMENT_DYNAMIC_CLASS(CLumoraView, wxView);

bool CLumoraView::OnCreate(wxDocument* doc, long flags) {
    if (!wxView::OnCreate(doc, flags)) return false;
    CChildFrame* frame = CChildFrame::Make(doc, this);
    if (!frame) return false;
    text_ = new wxTextCtrl(frame, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, wxTE_MULTILINE);
    frame->Show();
    return true;
}

bool CLumoraView::OnClose(bool deleteWindow) {
    if (!wxView::OnClose(deleteWindow)) return false;
    if (deleteWindow && GetFrame()) {
        GetFrame()->Destroy();
        SetFrame(nullptr);
    }
    return true;
}
