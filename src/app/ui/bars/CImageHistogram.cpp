#include "CImageHistogram.h"

#include "FrameStringIds.h"
#include "StringResources.h"
#include "TranslateWindow.h"

#include <wx/checkbox.h>
#include <wx/dcclient.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

CImageHistogram::CImageHistogram(wxWindow* parent)
    : CResizableDialogBar(parent, 1124, LoadResourceString(IDS_OUTPUT_HISTOGRAM_TITLE), wxSize(236, 180)),
      presenter_([this] { graph_->Refresh(); }) {
    auto* column = new wxBoxSizer(wxVERTICAL);
    graph_ = new wxWindow(this, 1119, wxDefaultPosition, wxSize(228, 128), wxBORDER_SIMPLE);
    graph_->Bind(wxEVT_PAINT, &CImageHistogram::OnPaintGraph, this);
    column->Add(graph_, 1, wxEXPAND | wxALL, 2);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    alsoShow_ = new wxStaticText(this, 1170, "Also show:");
    row->Add(alsoShow_, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    int channel = 0;
    for (auto [id, label] : {std::pair{1120, "R"}, {1121, "G"}, {1122, "B"}}) {
        channels_[channel] = new wxCheckBox(this, id, label);
        channels_[channel]->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { graph_->Refresh(); });
        row->Add(channels_[channel++], 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    }
    column->Add(row, 0, wxALL, 4);
    SetSizer(column);
}

bool CImageHistogram::InitBar() {
    TranslateWindowText(this, false);
    return true;
}

void CImageHistogram::Clear() {
    presenter_.Clear();
    ApplyChannelBoxes();
    graph_->Refresh();
}

void CImageHistogram::Update(const NimbalCore::ImageRendering* rendering, const NimbalCore::ImageProcessParam* params) {
    if (!rendering || !params) return;
    if (!presenter_.Update(rendering, params)) return;
    ApplyChannelBoxes();
    graph_->Refresh();
}

void CImageHistogram::ApplyChannelBoxes() {
    const bool luminanceOnly = presenter_.IsLuminanceOnly();
    const bool wasOffered = alsoShow_->IsEnabled();
    for (int i = 0; i < 3; ++i) {
        if (luminanceOnly) {
            if (wasOffered) remembered_[i] = channels_[i]->GetValue();
            channels_[i]->SetValue(false);
        } else if (!wasOffered) {
            channels_[i]->SetValue(remembered_[i]);
        }
        channels_[i]->Enable(!luminanceOnly);
    }
    alsoShow_->Enable(!luminanceOnly);
}

void CImageHistogram::OnPaintGraph(wxPaintEvent&) {
    wxPaintDC dc(graph_);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    const NimbalCore::Histogram* histogram = presenter_.GetHistogram();
    if (!histogram) return;
    DrawCurve(dc, histogram->LumaBins(), histogram->GetLumaPeak(), *wxBLACK, true);
    if (presenter_.IsLuminanceOnly()) return;
    const uint32_t scale =
        std::max({histogram->GetRedPeak(), histogram->GetGreenPeak(), histogram->GetBluePeak()});
    const uint32_t* bins[3] = {histogram->RedBins(), histogram->GreenBins(), histogram->BlueBins()};
    const wxColour colours[3] = {wxColour(255, 0, 0), wxColour(0, 255, 0), wxColour(0, 0, 255)};
    for (int i = 0; i < 3; ++i)
        if (channels_[i]->GetValue()) DrawCurve(dc, bins[i], scale, colours[i], false);
}

void CImageHistogram::DrawCurve(wxDC& dc, const uint32_t* counts, uint32_t scale, const wxColour& colour,
                                bool filled) {
    const wxSize size = graph_->GetClientSize();
    const IntRect area{0, 0, size.x, size.y};
    const NimbalCore::Histogram* histogram = presenter_.GetHistogram();
    const auto points = OutputHistogramPresenter::Curve(counts, scale, histogram->GetPixelCount(), area);
    dc.SetPen(wxPen(colour, 1));
    wxPoint previous(area.left, area.bottom);
    for (const OutputHistogramPresenter::CurvePoint& p : points) {
        if (filled) dc.DrawLine(p.x, p.top, p.x, area.bottom);
        else dc.DrawLine(previous, wxPoint(p.x, p.top));
        previous = wxPoint(p.x, p.top);
    }
}
