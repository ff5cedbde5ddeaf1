#pragma once
// The toolkit's print preview, able to show two pages side by side: the
// page shown and the one after it.
#include <wx/print.h>

class PagedPrintPreview : public wxPrintPreview {
public:
    PagedPrintPreview(wxPrintout* forPreview, wxPrintout* forPrinting, wxPrintDialogData* data);

    // 1 or 2; the canvas is repainted.
    void SetPagesDisplayed(int pages);
    int PagesDisplayed() const { return pages_; }

    bool PaintPage(wxPreviewCanvas* canvas, wxDC& dc) override;

private:
    int pages_ = 1;
};
