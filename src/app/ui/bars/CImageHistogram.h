#pragma once
// The Output Histogram bar: the focused rendering's histogram as it will be
// output (an empty white graph without one).
#include "CResizableDialogBar.h"

class CImageHistogram : public CResizableDialogBar {
public:
    explicit CImageHistogram(wxWindow* parent);
    bool InitBar();
    void Clear();

private:
    void OnPaintGraph(wxPaintEvent& event);
    wxWindow* graph_ = nullptr;
};
