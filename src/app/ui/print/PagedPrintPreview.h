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

    // The paper as the screen shows it at 100 percent, from what the
    // toolkit told the printout (the paper in printer pixels and the two
    // resolutions); empty before it has.
    wxSize PaperAtFullSize() const;

private:
    int pages_ = 1;
};
