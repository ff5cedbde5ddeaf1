#pragma once
// The window of a contact sheet: its slides in rows. The main frame tells
// the active sheet the state of Ctrl and Shift on every timer tick.
#include <wx/docview.h>

class wxScrolledWindow;

class CContactSheetView : public wxView {
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
    void BuildSlides();

    wxScrolledWindow* sheet_ = nullptr;
    bool ctrlDown_ = false;
    bool shiftDown_ = false;
    wxDECLARE_DYNAMIC_CLASS(CContactSheetView);
};
