#include "PagedPrintPreview.h"

#include <wx/dc.h>

namespace {
// Room between two pages shown side by side.
constexpr int kPageGap = 20;
} // namespace

PagedPrintPreview::PagedPrintPreview(wxPrintout* forPreview, wxPrintout* forPrinting, wxPrintDialogData* data)
    : wxPrintPreview(forPreview, forPrinting, data) {}

void PagedPrintPreview::SetPagesDisplayed(int pages) {
    pages = pages == 2 ? 2 : 1;
    if (pages == pages_) return;
    pages_ = pages;
    if (wxPreviewCanvas* canvas = GetCanvas()) canvas->Refresh();
}

wxSize PagedPrintPreview::PaperAtFullSize() const {
    const wxPrintout* printout = GetPrintout();
    if (!printout) return wxSize();
    int screenX = 0, screenY = 0, printerX = 0, printerY = 0;
    printout->GetPPIScreen(&screenX, &screenY);
    printout->GetPPIPrinter(&printerX, &printerY);
    const wxRect paper = printout->GetPaperRectPixels();
    if (printerX <= 0 || printerY <= 0) return wxSize();
    return wxSize(int(paper.width * (long long)screenX / printerX), int(paper.height * (long long)screenY / printerY));
}

bool PagedPrintPreview::PaintPage(wxPreviewCanvas* canvas, wxDC& dc) {
    if (pages_ == 1 || !canvas) return wxPrintPreview::PaintPage(canvas, dc);
    // The toolkit centres the page it has rendered: each of the two pages
    // is painted through it with the origin moved half a page and a gap
    // to one side.
    // The page shown first: a new page is otherwise rendered only when the
    // toolkit is next idle, after this paint.
    UpdatePageRendering();
    const int width = int(PaperAtFullSize().x * (long long)GetZoom() / 100);
    const int shift = (width + kPageGap) / 2;
    const wxPoint origin = dc.GetDeviceOrigin();
    const int page = GetCurrentPage();
    dc.SetDeviceOrigin(origin.x - shift, origin.y);
    bool painted = wxPrintPreview::PaintPage(canvas, dc);
    if (page + 1 <= GetMaxPage() && RenderPage(page + 1)) {
        dc.SetDeviceOrigin(origin.x + shift, origin.y);
        painted = wxPrintPreview::PaintPage(canvas, dc) && painted;
        // The page shown keeps its rendering for the next paint.
        RenderPage(page);
    }
    dc.SetDeviceOrigin(origin.x, origin.y);
    return painted;
}
