#pragma once
// The display bitmap of the windows: a slide's thumbnail, the preview's
// image, a close-up, the Review dialog's picture. The pixels and their
// rendering are the PictureBitmap's; this side shows the render's progress
// window and its failure, and draws the pixels: the screen copy is the
// area-average reduction to the destination's size, kept until the pixels
// or that size change.
#include "PictureBitmap.h"

#include <wx/bitmap.h>
#include <wx/gdicmn.h>

#include <memory>

class CProgressDlg;
class wxDC;

class CPictureView : public PictureBitmap {
public:
    CPictureView();
    ~CPictureView() override;

    // The whole picture into destination (stretched), or 1:1 at its origin
    // when destination is null or has no size. False without pixels.
    bool Draw(wxDC& dc, const wxRect* destination = nullptr) const;
    // A checkerboard of 4-pixel squares in the context's text and
    // background colours, outlined with its pen: where no pixels exist.
    static bool DrawCheckerboard(wxDC& dc, const wxRect& rect);

    // Width and height in pixels, (0, 0) without pixels.
    wxSize GetDimensions() const {
        int width = 0, height = 0;
        PictureBitmap::GetSize(width, height);
        return {width, height};
    }

    // Hands a bottom-up copy (CopyToClipboardDib) to the clipboard as the
    // packed bitmap it is.
    static bool PutDibOnClipboard(const PictureBitmap& copy);

protected:
    bool OpenProgress(bool cancellable, NimbalCore::ProgressCB** progress) override;
    void CloseProgress() override;

private:
    std::unique_ptr<CProgressDlg> progress_;
    // The screen copy, made by a paint.
    mutable wxBitmap screen_;
    mutable wxSize screenSize_;
    mutable uint64_t screenGeneration_ = ~uint64_t(0);
};
