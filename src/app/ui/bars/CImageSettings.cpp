#include "CImageSettings.h"

#include "CAutoAtCaptureBar.h"
#include "CAutoExposureBar.h"
#include "CMainFrame.h"
#include "CToolsBar.h"
#include "LocalizedText.h"
#include "FrameStringIds.h"
#include "StringIds.h"
#include "StringResources.h"
#include "TranslateWindow.h"
#include "WxCommandId.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/odcombo.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/stattext.h>

namespace {

wxStaticText* Label(wxWindow* parent, const char* text) { return new wxStaticText(parent, wxID_ANY, text); }

} // namespace

CImageSettings::CImageSettings(CMainFrame* frame)
    : CResizableDialogBar(frame, 103, LoadResourceString(IDS_IMAGE_CONTROLS_TITLE), wxSize(250, 440)), frame_(frame) {
    auto* column = new wxBoxSizer(wxVERTICAL);
    toolsRow_ = new wxBoxSizer(wxHORIZONTAL);
    column->Add(toolsRow_, 0, wxALL, 3);

    // The crop choice has a row of its own, as wide as the bar, so that a
    // custom ratio's label shows whole.
    auto* cropRow = new wxBoxSizer(wxHORIZONTAL);
    cropRow->Add(Label(this, "Crop:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    crop_ = new wxOwnerDrawnComboBox(this, 1172, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0, nullptr,
                                     wxCB_READONLY);
    cropRow->Add(crop_, 1, wxEXPAND);
    column->Add(cropRow, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 4);

    auto* grid = new wxFlexGridSizer(2, 4, 6);
    grid->AddGrowableCol(1);
    grid->Add(Label(this, "Exposure:"), 0, wxALIGN_CENTER_VERTICAL);
    exposure_ = new wxSlider(this, 1009, 0, -20, 20);
    grid->Add(exposure_, 1, wxEXPAND);
    grid->Add(Label(this, "Balance:"), 0, wxALIGN_CENTER_VERTICAL);
    balance_ = new wxChoice(this, 1173);
    grid->Add(balance_, 1, wxEXPAND);
    grid->Add(Label(this, "White Point:"), 0, wxALIGN_CENTER_VERTICAL);
    whitePoint_ = new wxSlider(this, 1010, 20, 20, 75);
    grid->Add(whitePoint_, 1, wxEXPAND);
    grid->Add(Label(this, "Lighting:"), 0, wxALIGN_CENTER_VERTICAL);
    lighting_ = new wxChoice(this, 1174);
    grid->Add(lighting_, 1, wxEXPAND);
    grid->Add(Label(this, "Look:"), 0, wxALIGN_CENTER_VERTICAL);
    look_ = new wxChoice(this, 1175);
    grid->Add(look_, 1, wxEXPAND);
    column->Add(grid, 0, wxEXPAND | wxALL, 4);

    auto* buttons = new wxFlexGridSizer(2, 4, 6);
    for (auto [id, label] : {std::pair{33187, "Exposure and Tone:"}, {33183, "Color Balance:"},
                             {33150, "Noise Reduction:"}, {33149, "Sharpening:"}, {33197, "Lens Optimization:"}}) {
        buttons->Add(Label(this, label), 0, wxALIGN_CENTER_VERTICAL);
        buttons->Add(new wxButton(this, ToWxId(id), "Set...", wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT));
    }
    column->Add(buttons, 0, wxALL, 4);
    autoRow_ = new wxBoxSizer(wxHORIZONTAL);
    column->Add(autoRow_, 0, wxALL, 3);
    logo_ = new wxStaticText(this, 1237, "Lumora");
    column->Add(logo_, 0, wxALL, 4);
    SetSizer(column);
    crop_->Bind(wxEVT_COMBOBOX, &CImageSettings::OnCropSelChange, this);
}

bool CImageSettings::InitBar() {
    exposure_->SetRange(-20, 20);
    exposure_->SetTickFreq(5);
    exposure_->SetPageSize(1);
    exposure_->SetValue(0);
    whitePoint_->SetRange(20, 75);
    whitePoint_->SetPageSize(1);
    whitePoint_->SetValue(20);
    for (const char* name : {"Freeform", "Square", "2 X 3 Landscape", "3 X 2 Portrait", "4 X 5 Landscape",
                             "5 X 4 Portrait", "5 X 7 Landscape", "7 X 5 Portrait", "Other..."})
        crop_->Append(wxString::FromUTF8(TranslateString(name)));
    lastCropItem_ = 8;
    crop_->SetSelection(0);
    for (auto [choice, names] : {std::pair{balance_, std::vector<const char*>{"Preset", "Click", "Custom", "Auto"}},
                                 {lighting_, {"Daylight", "Tungsten", "Fluorescent", "Flash"}}}) {
        for (const char* name : names) choice->Append(wxString::FromUTF8(TranslateString(name)));
        choice->SetSelection(0);
        choice->Disable();
    }
    look_->Disable();
    TranslateWindowText(this, false);
    return true;
}

void CImageSettings::CreateToolbars() {
    toolsBar_ = new CToolsBar(this, &frame_->State().currentTool);
    toolsRow_->Add(toolsBar_, 0);
    autoExposure_ = new CAutoExposureBar(this);
    autoAtCapture_ = new CAutoAtCaptureBar(this);
    autoRow_->Add(autoExposure_, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
    autoRow_->Add(autoAtCapture_, 0, wxALIGN_CENTER_VERTICAL);
    Layout();
    // The bar grows downwards to hold the automatic-settings buttons below
    // the other controls; it keeps its width.
    const int need = GetSizer()->GetMinSize().y;
    ResizableBarGeometry& geometry = Geometry();
    if (need > geometry.sizeFloat.cy) geometry.SetDialogSize(geometry.sizeFloat.cx, need);
}

void CImageSettings::RebuildToolTips() {
    logo_->SetToolTip(wxString::FromUTF8(LoadTranslatedString(IDS_LOGO_TIP)));
}

void CImageSettings::Clear() {
    RebuildToolTips();
    exposure_->Disable();
    whitePoint_->Disable();
    if (toolsBar_) toolsBar_->Clear();
    if (autoExposure_) autoExposure_->SetIndeterminate();
    if (autoAtCapture_) autoAtCapture_->SetIndeterminate();
    for (wxChoice* choice : {balance_, lighting_, look_}) {
        if (choice != look_) choice->SetSelection(0);
        choice->Disable();
    }
    look_->Clear();
}

void CImageSettings::UpdateCropChoice() {
    crop_->SetString(lastCropItem_, wxString::FromUTF8(frame_->GetCustomCropLabel(IDS_CROP_OTHER_COMBO)));
    crop_->SetSelection(frame_->State().crop.GetCropMode());
}

void CImageSettings::OnCropSelChange(wxCommandEvent&) {
    const int mode = crop_->GetSelection();
    frame_->SetCropMode(mode);
    if (mode == lastCropItem_) frame_->OnCropAspectRatioDialog();
}
