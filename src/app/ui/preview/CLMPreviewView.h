#pragma once
// The window of a preview: the image drawn to fit. The main frame tells the
// active preview the state of Ctrl and Shift on every timer tick.
#include "CPictureView.h"

#include "CKeyPollView.h"

class CLMPreviewView : public CKeyPollView {
public:
    bool OnCreate(wxDocument* doc, long flags) override;
    void OnDraw(wxDC*) override {}
    void OnUpdate(wxView* sender, wxObject* hint) override;
    bool OnClose(bool deleteWindow) override;
    // The active preview's image is the one the image bars show.
    void OnActivateView(bool activate, wxView* activeView, wxView* deactiveView) override;
    // The picture the window shows, stretched to fit.
    const CPictureView& GetPicture() const { return picture_; }

private:
    void OnPaint(wxPaintEvent& event);
    // Shows the image in the three bars, or empties them.
    void RefreshImageBars(bool show);

    wxWindow* canvas_ = nullptr;
    CPictureView picture_;
    wxDECLARE_DYNAMIC_CLASS(CLMPreviewView);
};
