#pragma once
// The window of one slide of a contact sheet: the image's thumbnail, its
// name and its selection mark, over the document's slide. A click selects
// the slide through the document.
#include "ImageProcessParam.h"
#include "SheetSlide.h"

#include <wx/bitmap.h>
#include <wx/panel.h>

#include <memory>

class CContactSheetDoc;

class CSlideMountView : public wxPanel {
public:
    static constexpr int kSlideSize = 150;
    CSlideMountView(wxWindow* sheet, std::shared_ptr<SheetSlide> slide, CContactSheetDoc* document);
    ~CSlideMountView() override;
    CSlideMountView(const CSlideMountView&) = delete;
    CSlideMountView& operator=(const CSlideMountView&) = delete;

    const std::shared_ptr<SheetSlide>& Slide() const { return slide_; }
    NimbalCore::ImageRendering* GetRendering() { return slide_->GetRendering(); }

    // The drawn thumbnail's size; (0, 0) before the first paint or without one.
    wxSize ThumbnailSize() const { return thumbnail_.IsOk() ? thumbnail_.GetSize() : wxSize(0, 0); }

private:
    void OnPaint(wxPaintEvent& event);
    void OnClick(wxMouseEvent& event);
    void MakeThumbnail();

    std::shared_ptr<SheetSlide> slide_;
    CContactSheetDoc* document_;
    wxBitmap thumbnail_;
    bool tried_ = false;
    // The parameters the thumbnail was made with.
    NimbalCore::ImageProcessParam shownParams_;
};
