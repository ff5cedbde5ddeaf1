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

private:
    std::string title_;
    ResizableBarGeometry geometry_;
};
