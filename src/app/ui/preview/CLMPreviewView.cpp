#include "CLMPreviewView.h"

#include "CChildFrame.h"
#include "CMainFrame.h"
#include "CPreviewDoc.h"
#include "ImageBarsRefresh.h"
#include "YlmErrp.h"

#include <wx/dcbuffer.h>
#include <wx/sizer.h>

wxIMPLEMENT_DYNAMIC_CLASS(CLMPreviewView, wxView);

bool CLMPreviewView::OnCreate(wxDocument* doc, long flags) {
    if (!wxView::OnCreate(doc, flags)) return false;
    CChildFrame* frame = CChildFrame::Make(doc, this);
    if (!frame) return false;
    canvas_ = new wxWindow(frame, wxID_ANY);
    canvas_->SetBackgroundStyle(wxBG_STYLE_PAINT);
    canvas_->Bind(wxEVT_PAINT, &CLMPreviewView::OnPaint, this);
    canvas_->Bind(wxEVT_SIZE, [this](wxSizeEvent& e) {
        canvas_->Refresh();
        e.Skip();
    });
    auto* fill = new wxBoxSizer(wxVERTICAL);
    fill->Add(canvas_, 1, wxEXPAND);
    frame->SetSizer(fill);
    frame->Show();
    return true;
}

void CLMPreviewView::OnUpdate(wxView*, wxObject*) {
    picture_.ReleaseBits();
    if (auto* doc = dynamic_cast<CPreviewDoc*>(GetDocument())) {
        const CMainFrame* frame = CMainFrame::Current();
        const int quality = frame ? frame->State().quality : 1;
        try {
            picture_.Render(doc->GetCurrentRendering(), 1, 2, doc->ChooseRenderScale(quality));
        } catch (const YlmErrp&) {
            // A second failure in a row: the user was told at the first; the
            // view stays empty.
        }
    }
    if (canvas_) canvas_->Refresh();
    if (CMainFrame* frame = CMainFrame::Current(); frame && frame->GetActiveChild() == GetFrame()) RefreshImageBars(true);
}

void CLMPreviewView::OnActivateView(bool activate, wxView* activeView, wxView* deactiveView) {
    CKeyPollView::OnActivateView(activate, activeView, deactiveView);
    if (activate) RefreshImageBars(true);
}

void CLMPreviewView::RefreshImageBars(bool show) {
    auto* doc = dynamic_cast<CPreviewDoc*>(GetDocument());
    ::RefreshImageBars(CMainFrame::Current(), show && doc ? doc->GetCurrentRendering() : nullptr);
}

void CLMPreviewView::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(canvas_);
    dc.SetBackground(wxBrush(wxColour(128, 128, 128)));
    dc.Clear();
    // The picture keeps its proportions inside the window.
    const wxRect room = canvas_->GetClientRect().Deflate(8);
    const wxSize size = picture_.GetDimensions();
    if (size.x <= 0 || size.y <= 0 || room.IsEmpty()) return;
    const double scale = std::min(double(room.width) / size.x, double(room.height) / size.y);
    const wxSize fit(std::max(1, int(size.x * scale)), std::max(1, int(size.y * scale)));
    const wxRect destination(room.x + (room.width - fit.x) / 2, room.y + (room.height - fit.y) / 2, fit.x, fit.y);
    picture_.Draw(dc, &destination);
}

bool CLMPreviewView::OnClose(bool deleteWindow) {
    if (!wxView::OnClose(deleteWindow)) return false;
    picture_.ReleaseBits();
    RefreshImageBars(false);
    if (deleteWindow && GetFrame()) {
        GetFrame()->Destroy();
        SetFrame(nullptr);
    }
    return true;
}
