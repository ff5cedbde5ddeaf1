#pragma once
// A bar hosting a panel of controls that floats or docks at the left or
// right edge: a pane of the main frame's AUI manager whose caption carries
// the close and dock/float buttons. Its sizes come from the bar geometry.
#include "ResizableBarGeometry.h"

#include <wx/panel.h>

#include <string>

class CResizableDialogBar : public wxPanel {
public:
    CResizableDialogBar(wxWindow* parent, int id, const std::string& title, wxSize dialogSize);

    // The English caption; the frame shows it translated.
    const std::string& GetTitle() const { return title_; }
    wxSize GetFloatSize() const { return {geometry_.sizeFloat.cx, geometry_.sizeFloat.cy}; }
    wxSize GetMinimumSize() const { return {geometry_.minSize.cx, geometry_.minSize.cy}; }
    ResizableBarGeometry& Geometry() { return geometry_; }

    // Sends a document command through the main frame (the bar's first
    // parent), which hands it to the active view and document.
    void SendCommand(int command);

protected:
    // A button of the bar that sends its command, and shows disabled while
    // nothing in the frame, its views or documents enables the command.
    void BindCommandButton(int command);

private:
    wxWindow* commandTarget_;
    std::string title_;
    ResizableBarGeometry geometry_;
};
