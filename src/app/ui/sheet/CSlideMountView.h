#pragma once
// One slide of a contact sheet: the image's thumbnail and name. It holds
// the rendering of its image (image, parameters, crop).
#include <wx/bitmap.h>
#include <wx/panel.h>

namespace NimbalCore {
class ImageRendering;
}

class CSlideMountView : public wxPanel {
public:
    static constexpr int kSlideSize = 150;
    CSlideMountView(wxWindow* sheet, NimbalCore::ImageRendering* rendering);
    NimbalCore::ImageRendering* GetRendering() const { return rendering_; }

private:
    void OnPaint(wxPaintEvent& event);
    void MakeThumbnail();

    NimbalCore::ImageRendering* rendering_;
    wxBitmap thumbnail_;
    bool tried_ = false;
};
