#pragma once
// The window of a preview: the image drawn to fit. The main frame tells the
// active preview the state of Ctrl and Shift on every timer tick.
#include "CPictureView.h"

#include <wx/docview.h>

class CLMPreviewView : public wxView {
public:
    bool OnCreate(wxDocument* doc, long flags) override;
    void OnDraw(wxDC*) override {}
    void OnUpdate(wxView* sender, wxObject* hint) override;
    bool OnClose(bool deleteWindow) override;

    void OnCtrlDown() { ctrlDown_ = true; }
    void OnCtrlUp() { ctrlDown_ = false; }
    void OnShiftDown() { shiftDown_ = true; }
    void OnShiftUp() { shiftDown_ = false; }
    bool IsCtrlDown() const { return ctrlDown_; }
    bool IsShiftDown() const { return shiftDown_; }

private:
    void OnPaint(wxPaintEvent& event);

    wxWindow* canvas_ = nullptr;
    CPictureView picture_;
    bool ctrlDown_ = false;
    bool shiftDown_ = false;
    wxDECLARE_DYNAMIC_CLASS(CLMPreviewView);
};
