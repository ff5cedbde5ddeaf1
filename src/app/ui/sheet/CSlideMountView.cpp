#include "CSlideMountView.h"

#include "CContactSheetDoc.h"

#include "ExportImageArray.h"
#include "Image.h"
#include "ImageRendering.h"
#include "YlmErrp.h"

#include <wx/dcbuffer.h>
#include <wx/image.h>
#include <wx/thread.h>

#include <mutex>

CSlideMountView::CSlideMountView(wxWindow* sheet, std::shared_ptr<SheetSlide> slide, CContactSheetDoc* document)
    : wxPanel(sheet, wxID_ANY, wxDefaultPosition, wxSize(kSlideSize, kSlideSize + 20)), slide_(std::move(slide)),
      document_(document) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CSlideMountView::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &CSlideMountView::OnClick, this);
    // Changes of the image or the mark may come from any thread: the window
    // draws again on its own.
    slide_->SetObserver([this] {
        if (wxIsMainThread())
            Refresh();
        else
            CallAfter([this] { Refresh(); });
    });
}

CSlideMountView::~CSlideMountView() { slide_->SetObserver({}); }

void CSlideMountView::OnClick(wxMouseEvent& event) {
    event.Skip();
    if (!document_) return;
    SheetDocument& sheet = document_->Sheet();
    std::lock_guard<std::recursive_mutex> guard(sheet.DocumentLock());
    if (!sheet.HasSlide(slide_.get())) return;
    sheet.ClearSelection();
    sheet.SelectSlide(slide_);
    sheet.UpdateCountsPane();
}

void CSlideMountView::MakeThumbnail() {
    tried_ = true;
    NimbalCore::ImageRendering* rendering = slide_->GetRendering();
    shownParams_ = rendering->GetProcessParam();
    thumbnail_ = wxBitmap();
    NimbalCore::ImageRef* ref = rendering->GetImage();
    if (!*ref) return;
    try {
        NimbalCore::Image& image = **ref;
        image.EnsureOpen();
        // Turned as the slide's parameters turn the image.
        const NimbalCore::NbRect r = rendering->GetThumbnailBounds();
        if (r.Width() <= 0 || r.Height() <= 0 || r.Width() > 4096 || r.Height() > 4096) return;
        NimbalCore::ExportImageArray array;
        array.SetPixelType(NimbalCore::PixelArray::RGB);
        array.SetBytesPerSample(1);
        array.SetBounds(NimbalCore::NbRect(0, 0, int32_t(r.Width() - 1), int32_t(r.Height() - 1)));
        array.SetRowBytes(int32_t(r.Width() * 3));
        array.Create(uint64_t(r.Width() * r.Height() * 3));
        slide_->GetRendering()->RenderThumbnail(&array);
        wxImage picture(static_cast<int>(r.Width()), static_cast<int>(r.Height()));
        std::copy_n(static_cast<const unsigned char*>(array.GetData()), r.Width() * r.Height() * 3, picture.GetData());
        const double scale = std::min(double(kSlideSize - 16) / r.Width(), double(kSlideSize - 16) / r.Height());
        picture.Rescale(std::max(1, int(r.Width() * scale)), std::max(1, int(r.Height() * scale)),
                        wxIMAGE_QUALITY_BILINEAR);
        thumbnail_ = wxBitmap(picture);
    } catch (const YlmErrp&) {
        // A slide without a thumbnail shows its frame and name.
    } catch (int) {
    }
}

void CSlideMountView::OnPaint(wxPaintEvent&) {
    // New parameters (a turn, a balance) make the thumbnail again.
    if (!tried_ || !(slide_->GetRendering()->GetProcessParam() == shownParams_)) MakeThumbnail();
    wxAutoBufferedPaintDC dc(this);
    dc.SetBackground(wxBrush(wxColour(96, 96, 96)));
    dc.Clear();
    dc.SetBrush(wxBrush(wxColour(200, 200, 200)));
    // The mark: a dark frame, blue when selected, yellow when focused.
    const SheetSlide::Mark mark = slide_->GetMark();
    const wxColour frame = mark == SheetSlide::Mark::kFocused    ? wxColour(255, 210, 0)
                           : mark == SheetSlide::Mark::kSelected ? wxColour(40, 110, 255)
                                                                 : wxColour(40, 40, 40);
    dc.SetPen(wxPen(frame, mark == SheetSlide::Mark::kNotSelected ? 1 : 3));
    dc.DrawRectangle(2, 2, kSlideSize - 4, kSlideSize - 4);
    if (thumbnail_.IsOk())
        dc.DrawBitmap(thumbnail_, (kSlideSize - thumbnail_.GetWidth()) / 2, (kSlideSize - thumbnail_.GetHeight()) / 2);
    if (NimbalCore::ImageRef* ref = slide_->GetRendering()->GetImage(); *ref) {
        dc.SetTextForeground(*wxWHITE);
        const wxString name = wxString::FromUTF8((*ref)->GetFileName());
        const wxSize extent = dc.GetTextExtent(name);
        dc.DrawText(name, std::max(2, (kSlideSize - extent.x) / 2), kSlideSize + 2);
    }
}
