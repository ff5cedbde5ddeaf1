#pragma once
// The print preview's frame with the program's toolbar, and the one way the
// views start a preview of their printouts.
#include <wx/prntbase.h>

class CPrintPreviewView;
class wxPrintout;

class PrintPreviewFrame : public wxPreviewFrame {
public:
    PrintPreviewFrame(wxPrintPreviewBase* preview, wxWindow* parent, const wxString& title);

    void CreateControlBar() override;
    CPrintPreviewView* ToolBar() const;
};

// Shows a preview of the view's printouts (one to show, one to print; the
// preview owns both, also when it fails) over the program's print settings.
// When the preview cannot be made, the translated message 62152 is shown
// and nothing is returned.
PrintPreviewFrame* RunPrintPreview(wxWindow* parent, wxPrintout* forPreview, wxPrintout* forPrinting,
                                   const wxString& title);
