#pragma once
// A paint pass drawn off screen: everything drawn into it lands in a bitmap
// of the window's client size, copied to the target in one step when it goes
// out of scope. The pass must cover the whole client area.
#include <wx/bitmap.h>
#include <wx/dcmemory.h>

class wxWindow;

class CFlickerKicker : public wxMemoryDC {
public:
    // window: the window whose client area the target paints.
    CFlickerKicker(wxDC* target, wxWindow* window);
    ~CFlickerKicker() override;

private:
    wxDC* target_;
    wxWindow* window_;
    wxBitmap bitmap_;
    bool copy_ = false;
};
