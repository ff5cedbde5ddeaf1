#include "CPictureView.h"

#include "Clipboard.h"

#include "BlockOMemoryLock.h"
#include "CProgressDlg.h"
#include "PictureReduction.h"

#include <wx/app.h>
#include <wx/dc.h>
#include <wx/image.h>

#include <new>

CPictureView::CPictureView() = default;

CPictureView::~CPictureView() = default;

bool CPictureView::OpenProgress(bool cancellable, NimbalCore::ProgressCB** progress) {
    *progress = nullptr;
    progress_.reset(new (std::nothrow) CProgressDlg(0));
    if (!progress_) return false;
    // Without a window the render still runs, without progress.
    if (!progress_->Create(wxTheApp ? wxTheApp->GetTopWindow() : nullptr, cancellable)) {
        progress_.reset();
        return true;
    }
    *progress = progress_.get();
    return true;
}

void CPictureView::CloseProgress() {
    if (!progress_) return;
    progress_->DestroyWindow();
    // A dialog window is deleted when the program is idle again.
    progress_.release()->Destroy();
}

bool CPictureView::Draw(wxDC& dc, const wxRect* destination) const {
    // Pinned, so that no purge frees the pixels while they are read (the
    // pin changes only the block's purge priority, for the paint).
    NimbalCore::BlockOMemoryLock pin(const_cast<CPictureView*>(this));
    if (!HasBits()) return false;
    const wxSize size = GetDimensions();
    wxPoint at(0, 0);
    wxSize shown = size;
    if (destination) {
        at = destination->GetPosition();
        if (destination->width != 0 || destination->height != 0) shown = destination->GetSize();
    }
    if (shown.x <= 0 || shown.y <= 0) return false;
    if (!screen_.IsOk() || screenSize_ != shown || screenGeneration_ != GetGeneration()) {
        wxImage image(shown.x, shown.y, false);
        PictureReduction::Source source;
        source.pixels = static_cast<const uint8_t*>(GetPixels());
        source.width = size.x;
        source.height = size.y;
        source.rowBytes = GetRowBytes();
        source.channels = GetChannels();
        if (!PictureReduction::Reduce(source, image.GetData(), shown.x, shown.y)) return false;
        screen_ = wxBitmap(image);
        screenSize_ = shown;
        screenGeneration_ = GetGeneration();
    }
    dc.DrawBitmap(screen_, at);
    return true;
}

bool CPictureView::DrawCheckerboard(wxDC& dc, const wxRect& rect) {
    const wxColour ink = dc.GetTextForeground(), paper = dc.GetTextBackground();
    const wxBrush oldBrush = dc.GetBrush();
    const wxPen oldPen = dc.GetPen();
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(paper.IsOk() ? paper : *wxWHITE));
    dc.DrawRectangle(rect);
    dc.SetBrush(wxBrush(ink.IsOk() ? ink : *wxBLACK));
    dc.SetClippingRegion(rect);
    // Squares of 4 × 4 pixels from the device origin, as a pattern brush
    // places them.
    const int firstX = rect.x - ((rect.x % 8) + 8) % 8, firstY = rect.y - ((rect.y % 8) + 8) % 8;
    for (int y = firstY; y < rect.GetBottom() + 1; y += 4)
        for (int x = firstX + (((y - firstY) / 4) % 2 ? 0 : 4); x < rect.GetRight() + 1; x += 8)
            dc.DrawRectangle(x, y, 4, 4);
    dc.DestroyClippingRegion();
    dc.SetPen(oldPen);
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(rect);
    dc.SetBrush(oldBrush);
    return true;
}

bool CPictureView::PutDibOnClipboard(const PictureBitmap& copy) {
    if (!copy.HasBits() || copy.GetSize() < PictureBitmap::kHeaderBytes) return false;
    const uint8_t* block = copy.GetBitmapInfo();
    return Clipboard::Current().SetPicture(std::vector<uint8_t>(block, block + copy.GetSize()));
}
