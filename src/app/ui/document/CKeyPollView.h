#pragma once
// A document view that the main frame tells, on every timer tick, whether
// Ctrl and Shift are held: the contact sheet and the preview change their
// tools' behaviour with them.
#include <wx/docview.h>

class CKeyPollView : public wxView {
public:
    virtual void OnCtrlDown() { ctrlDown_ = true; }
    virtual void OnCtrlUp() { ctrlDown_ = false; }
    virtual void OnShiftDown() { shiftDown_ = true; }
    virtual void OnShiftUp() { shiftDown_ = false; }
    bool IsCtrlDown() const { return ctrlDown_; }
    bool IsShiftDown() const { return shiftDown_; }

private:
    bool ctrlDown_ = false;
    bool shiftDown_ = false;
};
