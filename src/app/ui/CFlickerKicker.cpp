#include "CFlickerKicker.h"

#include <wx/window.h>

CFlickerKicker::CFlickerKicker(wxDC* target, wxWindow* window) : target_(target), window_(window) {
    const wxSize size = window_ ? window_->GetClientSize() : wxSize(0, 0);
    if (size.x > 0 && size.y > 0) {
        bitmap_.Create(size.x, size.y);
        SelectObject(bitmap_);
    }
}

CFlickerKicker::~CFlickerKicker() {
    if (bitmap_.IsOk() && target_ && window_) {
        const wxSize size = window_->GetClientSize();
        const int w = std::min(size.x, bitmap_.GetWidth()), h = std::min(size.y, bitmap_.GetHeight());
        if (w > 0 && h > 0) target_->Blit(0, 0, w, h, this, 0, 0, wxCOPY);
    }
    SelectObject(wxNullBitmap);
}
