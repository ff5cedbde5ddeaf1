#pragma once
// The view of the automation template: a plain text window with no behaviour
// of its own.
#include <wx/docview.h>

class wxTextCtrl;

class CLumoraView : public wxView {
public:
    bool OnCreate(wxDocument* doc, long flags) override;
    void OnDraw(wxDC*) override {}
    bool OnClose(bool deleteWindow) override;

private:
    wxTextCtrl* text_ = nullptr;
    wxDECLARE_DYNAMIC_CLASS(CLumoraView);
};
