#include "PreviewButtonStrips.h"

#include "CMappedBitmapButton.h"
#include "PrintPreviewPresenter.h"

#include <wx/bitmap.h>
#include <wx/dcmemory.h>

namespace {

// The standard colours the buttons map: text, shadow, face, highlight.
const wxColour kText(0, 0, 0);
const wxColour kShadow(128, 128, 128);
const wxColour kFace(192, 192, 192);
const wxColour kHighlight(255, 255, 255);

void Page(wxDC& dc, int x, int y, int w, int h, const wxColour& ink, const wxColour& paper) {
    dc.SetPen(wxPen(ink));
    dc.SetBrush(wxBrush(paper));
    dc.DrawRectangle(x, y, w, h);
    for (int line = y + 3; line < y + h - 2; line += 2) dc.DrawLine(x + 2, line, x + w - 2, line);
}

void Arrow(wxDC& dc, int cx, int cy, bool right, const wxColour& ink) {
    dc.SetPen(wxPen(ink));
    dc.SetBrush(wxBrush(ink));
    const int d = right ? 1 : -1;
    const wxPoint head[] = {{cx + 4 * d, cy}, {cx - 1 * d, cy - 5}, {cx - 1 * d, cy + 5}};
    dc.DrawPolygon(3, head);
    dc.DrawRectangle(right ? cx - 6 : cx + 2, cy - 2, 5, 5);
}

void Magnifier(wxDC& dc, int cx, int cy, bool plus, const wxColour& ink, const wxColour& glass) {
    dc.SetPen(wxPen(ink, 2));
    dc.SetBrush(wxBrush(glass));
    dc.DrawCircle(cx - 2, cy - 2, 6);
    dc.DrawLine(cx + 2, cy + 2, cx + 7, cy + 7);
    dc.SetPen(wxPen(ink));
    dc.DrawLine(cx - 5, cy - 2, cx + 2, cy - 2);
    if (plus) dc.DrawLine(cx - 2, cy - 5, cx - 2, cy + 2);
}

// One button face: the picture of the command at (x, y) in the given ink.
void Face(wxDC& dc, int bitmapId, int x, int y, const wxColour& ink, const wxColour& paper) {
    const int cx = x + kPreviewPictureWidth / 2, cy = y + kPreviewPictureHeight / 2;
    switch (bitmapId) {
    case kBitmapPrint:
        Page(dc, cx - 4, cy - 8, 9, 7, ink, paper);
        dc.SetPen(wxPen(ink));
        dc.SetBrush(wxBrush(ink == kText ? kShadow : paper));
        dc.DrawRectangle(cx - 8, cy - 2, 17, 7);
        dc.SetBrush(wxBrush(paper));
        dc.DrawRectangle(cx - 5, cy + 3, 11, 5);
        break;
    case kBitmapNextPage: Arrow(dc, cx, cy, true, ink); break;
    case kBitmapPreviousPage: Arrow(dc, cx, cy, false, ink); break;
    case kBitmapOnePage: Page(dc, cx - 5, cy - 8, 11, 16, ink, paper); break;
    case kBitmapTwoPages:
        Page(dc, cx - 10, cy - 8, 9, 16, ink, paper);
        Page(dc, cx + 1, cy - 8, 9, 16, ink, paper);
        break;
    case kBitmapZoomIn: Magnifier(dc, cx, cy, true, ink, paper); break;
    case kBitmapZoomOut: Magnifier(dc, cx, cy, false, ink, paper); break;
    default: break;
    }
}

void Frame(wxDC& dc, int x, bool sunken) {
    const int w = kPreviewPictureWidth, h = kPreviewPictureHeight;
    dc.SetPen(wxPen(sunken ? kShadow : kHighlight));
    dc.DrawLine(x, 0, x + w - 1, 0);
    dc.DrawLine(x, 0, x, h - 1);
    dc.SetPen(wxPen(sunken ? kHighlight : kText));
    dc.DrawLine(x, h - 1, x + w, h - 1);
    dc.DrawLine(x + w - 1, 0, x + w - 1, h);
    if (!sunken) {
        dc.SetPen(wxPen(kShadow));
        dc.DrawLine(x + 1, h - 2, x + w - 1, h - 2);
        dc.DrawLine(x + w - 2, 1, x + w - 2, h - 1);
    }
}

bool IsPreviewBitmap(int bitmapId) {
    switch (bitmapId) {
    case kBitmapZoomOut:
    case kBitmapZoomIn:
    case kBitmapNextPage:
    case kBitmapTwoPages:
    case kBitmapPreviousPage:
    case kBitmapPrint:
    case kBitmapOnePage: return true;
    default: return false;
    }
}

} // namespace

wxImage MakePreviewButtonStrip(int bitmapId) {
    if (!IsPreviewBitmap(bitmapId)) return wxImage();
    const int w = kPreviewPictureWidth, h = kPreviewPictureHeight;
    wxBitmap strip(4 * w, h, 24);
    {
        wxMemoryDC dc(strip);
        dc.SetBackground(wxBrush(kFace));
        dc.Clear();
        // Normal.
        Frame(dc, 0, false);
        Face(dc, bitmapId, 0, 0, kText, kHighlight);
        // Pressed: sunken, the picture one pixel down and right.
        Frame(dc, w, true);
        Face(dc, bitmapId, w + 1, 1, kText, kHighlight);
        // Focused: normal with a dotted rectangle inside.
        Frame(dc, 2 * w, false);
        Face(dc, bitmapId, 2 * w, 0, kText, kHighlight);
        dc.SetPen(wxPen(kText, 1, wxPENSTYLE_DOT));
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRectangle(2 * w + 3, 3, w - 6, h - 6);
        // Disabled: embossed in highlight and shadow.
        Frame(dc, 3 * w, false);
        Face(dc, bitmapId, 3 * w + 1, 1, kHighlight, kFace);
        Face(dc, bitmapId, 3 * w, 0, kShadow, kFace);
    }
    return strip.ConvertToImage();
}

void RegisterPreviewButtonStrips() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    for (int id : {kBitmapZoomOut, kBitmapZoomIn, kBitmapNextPage, kBitmapTwoPages, kBitmapPreviousPage, kBitmapPrint,
                   kBitmapOnePage})
        CMappedBitmapButton::RegisterStrip(id, MakePreviewButtonStrip(id));
}
