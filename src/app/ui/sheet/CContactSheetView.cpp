#include "CContactSheetView.h"

#include "CChildFrame.h"
#include "CContactSheetDoc.h"
#include "CSlideMountView.h"
#include "Image.h"
#include "ImageRendering.h"

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
    // The slides follow the list's order. A slide whose image is still
    // listed stays (with its thumbnail and its place in the selection);
    // listed images without a slide get one; the other slides go.
    std::vector<CSlideMountView*> leftovers;
    for (wxWindow* child : sheet_->GetChildren())
        if (auto* slide = dynamic_cast<CSlideMountView*>(child)) leftovers.push_back(slide);
    wxSizer* slides = sheet_->GetSizer();
    slides->Clear(false);
    NimbalCore::ImageList* list = doc->GetImageList();
    for (int i = 0; i < list->Count(); ++i) {
        NimbalCore::ImageRendering* rendering = (*list)[i];
        const NimbalCore::Image* image = rendering->GetImage()->Get();
        auto kept = std::find_if(leftovers.begin(), leftovers.end(), [image](CSlideMountView* slide) {
            return slide->GetRendering()->GetImage()->Get() == image;
        });
        CSlideMountView* slide = nullptr;
        if (kept != leftovers.end()) {
            slide = *kept;
            leftovers.erase(kept);
        } else {
            slide = new CSlideMountView(sheet_, *rendering);
        }
        slides->Add(slide, 0, wxALL, 6);
    }
    std::vector<CSlideMountView*>* selection = doc->GetSelectionState();
    for (CSlideMountView* slide : leftovers) {
        selection->erase(std::remove(selection->begin(), selection->end(), slide), selection->end());
        slide->Destroy();
    }
    sheet_->FitInside();
    sheet_->Layout();
    sheet_->Refresh();
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
