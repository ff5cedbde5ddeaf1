#include "CContactSheetView.h"

#include "CChildFrame.h"
#include "CContactSheetDoc.h"
#include "CSlideMountView.h"

#include <wx/scrolwin.h>
#include <wx/sizer.h>
#include <wx/wrapsizer.h>

#include <algorithm>
#include <vector>

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
    // The windows follow the document's slides: a slide that has a window
    // keeps it, a new slide gets one, the windows of slides that left go.
    std::vector<CSlideMountView*> leftovers;
    for (wxWindow* child : sheet_->GetChildren())
        if (auto* window = dynamic_cast<CSlideMountView*>(child)) leftovers.push_back(window);
    wxSizer* windows = sheet_->GetSizer();
    windows->Clear(false);
    for (const SheetDocument::SlidePtr& slide : doc->Sheet().GetSlides()) {
        auto kept = std::find_if(leftovers.begin(), leftovers.end(),
                                 [&slide](CSlideMountView* window) { return window->Slide() == slide; });
        CSlideMountView* window = nullptr;
        if (kept != leftovers.end()) {
            window = *kept;
            leftovers.erase(kept);
        } else {
            window = new CSlideMountView(sheet_, slide, doc);
        }
        windows->Add(window, 0, wxALL, 6);
    }
    for (CSlideMountView* window : leftovers) window->Destroy();
    sheet_->FitInside();
    sheet_->Layout();
    sheet_->Refresh();
}

bool CContactSheetView::OnClose(bool deleteWindow) {
    if (!wxView::OnClose(deleteWindow)) return false;
    if (deleteWindow && GetFrame()) {
        GetFrame()->Destroy();
        SetFrame(nullptr);
    }
    return true;
}
