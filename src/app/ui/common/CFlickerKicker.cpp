#include "CFlickerKicker.h"

#include <wx/window.h>

CFlickerKicker::CFlickerKicker(wxDC* target, wxWindow* window) : target_(target), window_(window) {
    const wxSize size = window_ ? window_->GetClientSize() : wxSize(0, 0);
    // A window without a client area still gets a surface to draw on;
    // nothing of it is copied.
    copy_ = size.x > 0 && size.y > 0;
    bitmap_.Create(copy_ ? size.x : 1, copy_ ? size.y : 1);
    SelectObject(bitmap_);
}

CFlickerKicker::~CFlickerKicker() {
    if (copy_ && bitmap_.IsOk() && target_ && window_) {
        const wxSize size = window_->GetClientSize();
        const int w = std::min(size.x, bitmap_.GetWidth()), h = std::min(size.y, bitmap_.GetHeight());
        if (w > 0 && h > 0) target_->Blit(0, 0, w, h, this, 0, 0, wxCOPY);
    }
    SelectObject(wxNullBitmap);
}
