#pragma once
// The display bitmap of a preview: the whole image rendered at one of the
// reduction levels its kind offers, stretched into a rectangle on paint.
#include <wx/bitmap.h>

class wxDC;
namespace NimbalCore {
class ImageRendering;
}

class CPictureView {
public:
    // mode 1: the whole image; progress 0/1: a progress dialog without or
    // with Cancel, 2: none. reduction: a level of the image's available
    // resolutions (1, 2 or 4); another one renders nothing and answers 0.
    int Render(NimbalCore::ImageRendering* rendering, int mode, int progress, int reduction);
    void Draw(wxDC& dc, const wxRect& destination) const;
    void ReleaseBits() { bitmap_ = wxBitmap(); }
    bool HasBits() const { return bitmap_.IsOk(); }
    wxSize GetSize() const { return bitmap_.IsOk() ? bitmap_.GetSize() : wxSize(); }

private:
    wxBitmap bitmap_;
};
