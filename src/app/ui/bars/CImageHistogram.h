#pragma once
// The Output Histogram bar: the focused rendering's histogram as it will be
// output, a filled luminance curve with the chosen red, green and blue
// curves over it (an empty white graph without one). The histogram and the
// bar's own copy of the rendering are OutputHistogramPresenter's, which
// computes them again when the working colour space changes.
#include "CResizableDialogBar.h"
#include "OutputHistogramPresenter.h"

class wxCheckBox;
class wxDC;
class wxStaticText;

class CImageHistogram : public CResizableDialogBar {
public:
    explicit CImageHistogram(wxWindow* parent);
    bool InitBar();
    void Clear();
    // The window's own repaint stays reachable beside the image's update.
    using CResizableDialogBar::Update;
    // Nothing when either is null.
    void Update(const NimbalCore::ImageRendering* rendering, const NimbalCore::ImageProcessParam* params);

    const OutputHistogramPresenter& Presenter() const { return presenter_; }
    wxCheckBox* GetChannelBox(int channel) const { return channels_[channel]; }
    wxWindow* GetGraph() const { return graph_; }

private:
    void ApplyChannelBoxes();
    void OnPaintGraph(wxPaintEvent& event);
    void DrawCurve(wxDC& dc, const uint32_t* counts, uint32_t scale, const wxColour& colour, bool filled);

    OutputHistogramPresenter presenter_;
    wxWindow* graph_ = nullptr;
    wxStaticText* alsoShow_ = nullptr;
    wxCheckBox* channels_[3] = {nullptr, nullptr, nullptr};
    // The R, G and B choices while a grey look hides them.
    bool remembered_[3] = {false, false, false};
};
