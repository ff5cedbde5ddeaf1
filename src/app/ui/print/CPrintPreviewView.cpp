#include "CPrintPreviewView.h"

#include "CMappedBitmapButton.h"
#include "PagedPrintPreview.h"
#include "PreviewButtonStrips.h"
#include "TranslateWindow.h"

#include <wx/button.h>
#include <wx/sizer.h>

namespace {

// Left to right.
constexpr int kButtonCommands[] = {kPreviewPrint,   kPreviewNext,   kPreviewPrevious,
                                   kPreviewNumPage, kPreviewZoomIn, kPreviewZoomOut};
// Room around each page when it is fitted into the canvas.
constexpr int kFitMargin = 20;

} // namespace

int CPrintPreviewView::WxId(int command) { return command - kPreviewClose + kFirstWxId; }

CPrintPreviewView::CPrintPreviewView(wxPrintPreviewBase* preview, wxWindow* parent)
    : wxPreviewControlBar(preview, 0, parent) {}

void CPrintPreviewView::CreateButtons() {
    RegisterPreviewButtonStrips();
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    for (size_t i = 0; i < buttons_.size(); ++i) {
        const int command = kButtonCommands[i];
        auto* button = new CMappedBitmapButton;
        button->SubclassAndLoad(WxId(command), this, PreviewButtonBitmap(command));
        button->SetToolTip(wxString::FromUTF8(PreviewToolTip(command)));
        buttons_[i] = button;
        row->Add(button, 0, wxALIGN_CENTER_VERTICAL | wxALL, 2);
    }
    row->AddStretchSpacer();
    closeButton_ = new wxButton(this, WxId(kPreviewClose), "&Close");
    closeButton_->SetToolTip(wxString::FromUTF8(PreviewToolTip(kPreviewClose)));
    row->Add(closeButton_, 0, wxALIGN_CENTER_VERTICAL | wxALL, 2);
    SetSizer(row);
    TranslateWindowText(this, false);

    Bind(wxEVT_BUTTON, &CPrintPreviewView::OnNumPage, this, WxId(kPreviewNumPage));
    Bind(wxEVT_UPDATE_UI, &CPrintPreviewView::OnUpdateNumPage, this, WxId(kPreviewNumPage));
    for (int command : {kPreviewPrint, kPreviewNext, kPreviewPrevious, kPreviewZoomIn, kPreviewZoomOut, kPreviewClose}) {
        Bind(wxEVT_BUTTON, &CPrintPreviewView::OnCommand, this, WxId(command));
        Bind(wxEVT_UPDATE_UI, &CPrintPreviewView::OnUpdateCommand, this, WxId(command));
    }
}

void CPrintPreviewView::AttachToCanvas() {
    wxPreviewCanvas* canvas = GetPrintPreview()->GetCanvas();
    if (!canvas) return;
    canvas->Bind(wxEVT_SIZE, &CPrintPreviewView::OnCanvasSize, this);
    ApplyZoom();
}

int CPrintPreviewView::GetZoomControl() { return GetPrintPreview()->GetZoom(); }

CMappedBitmapButton* CPrintPreviewView::Button(int command) const {
    for (size_t i = 0; i < buttons_.size(); ++i)
        if (kButtonCommands[i] == command) return buttons_[i];
    return nullptr;
}

void CPrintPreviewView::SyncDocument() {
    wxPrintPreviewBase* preview = GetPrintPreview();
    presenter_.SetDocument(preview->GetMinPage(), preview->GetMaxPage());
    presenter_.SetCurrentPage(preview->GetCurrentPage());
}

void CPrintPreviewView::UpdateButtons() { UpdateWindowUI(wxUPDATE_UI_RECURSE); }

void CPrintPreviewView::ApplyZoom() {
    auto* preview = dynamic_cast<PagedPrintPreview*>(GetPrintPreview());
    if (!preview) return;
    preview->SetPagesDisplayed(presenter_.PagesDisplayed());
    wxPreviewCanvas* canvas = preview->GetCanvas();
    if (!canvas) return;
    const wxSize paper = preview->PaperAtFullSize();
    const wxSize client = canvas->GetClientSize();
    const int fit = PrintPreviewPresenter::FitPercent(client.x, client.y, paper.x, paper.y, presenter_.PagesDisplayed(),
                                                      kFitMargin);
    preview->SetZoom(presenter_.ZoomPercent(fit));
}

void CPrintPreviewView::OnNumPage(wxCommandEvent&) {
    presenter_.ToggleNumPages();
    ApplyZoom();
    UpdateButtons();
}

void CPrintPreviewView::OnUpdateNumPage(wxUpdateUIEvent& event) {
    SyncDocument();
    const PrintPreviewPresenter::NumPageUpdate update = presenter_.UpdateNumPageChange();
    if (update.bitmap != 0) {
        CMappedBitmapButton* button = Button(kPreviewNumPage);
        button->LoadMappedBitmap(update.bitmap);
        button->Refresh();
    }
    event.Enable(update.enabled);
}

void CPrintPreviewView::OnCommand(wxCommandEvent& event) {
    wxPrintPreviewBase* preview = GetPrintPreview();
    SyncDocument();
    switch (event.GetId() - kFirstWxId + kPreviewClose) {
    case kPreviewPrint: OnPrint(); break;
    case kPreviewNext:
        if (presenter_.CanGoNext()) preview->SetCurrentPage(presenter_.NextPage());
        break;
    case kPreviewPrevious:
        if (presenter_.CanGoPrevious()) preview->SetCurrentPage(presenter_.PreviousPage());
        break;
    case kPreviewZoomIn:
        presenter_.ZoomIn();
        ApplyZoom();
        break;
    case kPreviewZoomOut:
        presenter_.ZoomOut();
        ApplyZoom();
        break;
    case kPreviewClose: OnWindowClose(event); return;
    default: break;
    }
    UpdateButtons();
}

void CPrintPreviewView::OnUpdateCommand(wxUpdateUIEvent& event) {
    SyncDocument();
    switch (event.GetId() - kFirstWxId + kPreviewClose) {
    case kPreviewNext: event.Enable(presenter_.CanGoNext()); break;
    case kPreviewPrevious: event.Enable(presenter_.CanGoPrevious()); break;
    case kPreviewZoomIn: event.Enable(presenter_.CanZoomIn()); break;
    case kPreviewZoomOut: event.Enable(presenter_.CanZoomOut()); break;
    case kPreviewPrint: event.Enable(GetPrintPreview()->GetPrintoutForPrinting() != nullptr); break;
    default: break;
    }
}

void CPrintPreviewView::OnCanvasSize(wxSizeEvent& event) {
    event.Skip();
    CallAfter([this] { ApplyZoom(); });
}
