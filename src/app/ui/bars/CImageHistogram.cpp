#include "CImageHistogram.h"

#include "FrameStringIds.h"
#include "StringResources.h"
#include "TranslateWindow.h"

#include <wx/checkbox.h>
#include <wx/dcclient.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

CImageHistogram::CImageHistogram(wxWindow* parent)
    : CResizableDialogBar(parent, 1124, LoadResourceString(IDS_OUTPUT_HISTOGRAM_TITLE), wxSize(236, 180)) {
    auto* column = new wxBoxSizer(wxVERTICAL);
    graph_ = new wxWindow(this, 1119, wxDefaultPosition, wxSize(228, 128), wxBORDER_SIMPLE);
    graph_->Bind(wxEVT_PAINT, &CImageHistogram::OnPaintGraph, this);
    column->Add(graph_, 1, wxEXPAND | wxALL, 2);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(new wxStaticText(this, 1170, "Also show:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    for (auto [id, label] : {std::pair{1120, "R"}, {1121, "G"}, {1122, "B"}})
        row->Add(new wxCheckBox(this, id, label), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    column->Add(row, 0, wxALL, 4);
    SetSizer(column);
}

bool CImageHistogram::InitBar() {
    TranslateWindowText(this, false);
    return true;
}

void CImageHistogram::Clear() { graph_->Refresh(); }

void CImageHistogram::OnPaintGraph(wxPaintEvent&) {
    wxPaintDC dc(graph_);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
}
