#pragma once
// A wx window as something a dialog disables and enables again; a window
// that is gone is neither.
#include "EnableTarget.h"

#include <wx/weakref.h>
#include <wx/window.h>

class WxEnableTarget : public EnableTarget {
public:
    explicit WxEnableTarget(wxWindow* window = nullptr) : window_(window) {}
    void Set(wxWindow* window) { window_ = window; }
    wxWindow* Window() const { return window_; }
    bool IsEnabled() const override { return window_ && window_->IsEnabled(); }
    void Enable(bool enable) override {
        if (window_) window_->Enable(enable);
    }

private:
    wxWeakRef<wxWindow> window_;
};
