#include "CContactSheetView.h"

#include "CChildFrame.h"
#include "CContactSheetDoc.h"
#include "CSlideMountView.h"

#include <wx/scrolwin.h>
#include <wx/sizer.h>
#include <wx/wrapsizer.h>

wxIMPLEMENT_DYNAMIC_CLASS(CContactSheetView, wxView);

bool CContactSheetView::OnCreate(wxDocument* doc, long flags) {
    if (!wxView::OnCreate(doc, flags)) return false;
    CChildFrame* frame = CChildFrame::Make(doc, this);
    if (!frame) return false;
    sheet_ = new wxScrolledWindow(frame, wxID_ANY);
    sheet_->SetBackgroundColour(wxColour(128, 128, 128));
    sheet_->SetScrollRate(0, 20);
    sheet_->SetSizer(new wxWrapSizer(wxHORIZONTAL));
    auto* fill = new wxBoxSizer(wxVERTICAL);
    fill->Add(sheet_, 1, wxEXPAND);
    frame->SetSizer(fill);
    frame->Show();
    return true;
}

void CContactSheetView::OnUpdate(wxView*, wxObject*) { BuildSlides(); }

void CContactSheetView::BuildSlides() {
    auto* doc = dynamic_cast<CContactSheetDoc*>(GetDocument());
    if (!doc || !sheet_) return;
    doc->GetSelectionState()->clear();
    sheet_->DestroyChildren();
    wxSizer* slides = sheet_->GetSizer();
    NimbalCore::ImageList* list = doc->GetImageList();
    for (int i = 0; i < list->Count(); ++i)
        slides->Add(new CSlideMountView(sheet_, (*list)[i]), 0, wxALL, 6);
    sheet_->FitInside();
    sheet_->Layout();
}

bool CContactSheetView::OnClose(bool deleteWindow) {
    if (!wxView::OnClose(deleteWindow)) return false;
    if (auto* doc = dynamic_cast<CContactSheetDoc*>(GetDocument())) doc->GetSelectionState()->clear();
    if (deleteWindow && GetFrame()) {
        GetFrame()->Destroy();
        SetFrame(nullptr);
    }
    return true;
}
