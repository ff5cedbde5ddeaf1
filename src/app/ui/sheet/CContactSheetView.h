#pragma once
// The window of a contact sheet: its slides in rows. The main frame tells
// the active sheet the state of Ctrl and Shift on every timer tick.
#include "CKeyPollView.h"

class wxScrolledWindow;

class CContactSheetView : public CKeyPollView {
public:
    bool OnCreate(wxDocument* doc, long flags) override;
    void OnDraw(wxDC*) override {}
    // The slides follow the sheet's list: kept, added, re-ordered, removed.
    void OnUpdate(wxView* sender, wxObject* hint) override;
    bool OnClose(bool deleteWindow) override;

private:
    void BuildSlides();

    wxScrolledWindow* sheet_ = nullptr;
    wxDECLARE_DYNAMIC_CLASS(CContactSheetView);
};
