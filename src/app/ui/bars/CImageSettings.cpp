#include "CImageSettings.h"

#include "CAutoAtCaptureBar.h"
#include "CAutoExposureBar.h"
#include "CDisabledItemComboBox.h"
#include "CMainFrame.h"
#include "CToolsBar.h"
#include "FrameStringIds.h"
#include "Image.h"
#include "LocalizedText.h"
#include "ProgramLauncher.h"
#include "StringIds.h"
#include "StringResources.h"
#include "TranslateWindow.h"
#include "WxCommandId.h"

#include <wx/button.h>
#include <wx/odcombo.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/stattext.h>

namespace {

// The controls of the bar's layout.
enum SettingsControl : int {
    kExposureSlider = 1009, kWhitePointSlider = 1010, kExposureValue = 1038, kWhitePointValue = 1041,
    kExposureMin = 1098, kExposureMax = 1099, kWhitePointMin = 1100, kWhitePointMax = 1101, kCropList = 1172,
    kBalanceList = 1173, kLightingList = 1174, kLookList = 1175, kRowBLabel = 1191, kRowALabel = 1192,
    kSharpenAmount = 1204, kSharpenRadius = 1205, kSharpenThreshold = 1206, kRed = 1207, kRowBValue = 1208,
    kRowAValue = 1209, kGreen = 1210, kBlue = 1211, kShadow = 1212, kMidtone = 1213, kHighlight = 1214,
    kLens = 1215, kNoiseName = 1226, kLogo = 1237, kRedLabel = 1332, kGreenLabel = 1333, kBlueLabel = 1334,
};
// The "Set..." buttons' commands: Exposure and Tone, Color Balance, Noise
// Reduction, Sharpening, Lens Optimization.
constexpr int kSetButtons[] = {33187, 33183, 33150, 33149, 33197};
constexpr int kLogoAddress = 62044;

wxStaticText* Label(wxWindow* parent, const char* text) { return new wxStaticText(parent, wxID_ANY, text); }

wxString Wx(const std::string& text) { return wxString::FromUTF8(text); }

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
    crop_ = new wxOwnerDrawnComboBox(this, kCropList, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0, nullptr,
                                     wxCB_READONLY);
    cropRow->Add(crop_, 1, wxEXPAND);
    column->Add(cropRow, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 4);

    auto* grid = new wxFlexGridSizer(2, 2, 6);
    grid->AddGrowableCol(1);
    auto sliderRow = [&](int sliderId, int value, int low, int high, int lowId, int highId, int valueId,
                         const char* label) {
        auto* header = new wxBoxSizer(wxHORIZONTAL);
        header->Add(Text(valueId), 1, wxALIGN_CENTER_VERTICAL);
        grid->Add(Label(this, label), 0, wxALIGN_CENTER_VERTICAL);
        grid->Add(header, 1, wxEXPAND);
        auto* row = new wxBoxSizer(wxHORIZONTAL);
        row->Add(Text(lowId), 0, wxALIGN_CENTER_VERTICAL);
        auto* slider = new wxSlider(this, sliderId, value, low, high, wxDefaultPosition, wxSize(120, -1),
                                    wxSL_HORIZONTAL | (sliderId == kExposureSlider ? wxSL_AUTOTICKS : 0));
        controls_[sliderId] = slider;
        row->Add(slider, 1, wxEXPAND);
        row->Add(Text(highId), 0, wxALIGN_CENTER_VERTICAL);
        grid->AddSpacer(0);
        grid->Add(row, 1, wxEXPAND);
        return slider;
    };
    auto setRow = [&](int command, wxSizer* values) {
        auto* row = new wxBoxSizer(wxHORIZONTAL);
        row->Add(values, 1, wxALIGN_CENTER_VERTICAL);
        row->Add(new wxButton(this, ToWxId(command), "Set...", wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT), 0);
        return row;
    };
    auto list = [&](int id, const char* label) {
        auto* combo = new CDisabledItemComboBox(this, id);
        controls_[id] = combo;
        grid->Add(Label(this, label), 0, wxALIGN_CENTER_VERTICAL);
        grid->Add(combo, 1, wxEXPAND);
        return combo;
    };

    exposure_ = sliderRow(kExposureSlider, 0, -20, 20, kExposureMin, kExposureMax, kExposureValue, "Exposure:");
    auto* tone = new wxBoxSizer(wxHORIZONTAL);
    for (int id : {kShadow, kMidtone, kHighlight}) tone->Add(Text(id), 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    grid->Add(Label(this, "Tone:"), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(setRow(33187, tone), 1, wxEXPAND);
    balance_ = list(kBalanceList, "Balance:");
    whitePoint_ = sliderRow(kWhitePointSlider, 20, 20, 75, kWhitePointMin, kWhitePointMax, kWhitePointValue,
                            "White Point:");
    lighting_ = list(kLightingList, "Lighting:");
    auto* colours = new wxBoxSizer(wxHORIZONTAL);
    for (auto [labelId, valueId, text, colour] :
         {std::tuple{kRedLabel, kRed, "R:", wxColour(230, 0, 0)}, {kGreenLabel, kGreen, "G:", wxColour(0, 128, 0)},
          {kBlueLabel, kBlue, "B:", wxColour(0, 0, 255)}}) {
        wxStaticText* label = Text(labelId, text);
        wxStaticText* value = Text(valueId);
        label->SetForegroundColour(colour);
        value->SetForegroundColour(colour);
        colours->Add(label, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 2);
        colours->Add(value, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    }
    grid->Add(Label(this, "Color:"), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(setRow(33183, colours), 1, wxEXPAND);
    look_ = list(kLookList, "Look:");

    auto* noise = new wxFlexGridSizer(2, 2, 4);
    noise->Add(Text(kNoiseName), 0, wxALIGN_CENTER_VERTICAL);
    noise->AddSpacer(0);
    noise->Add(Text(kRowALabel), 0, wxALIGN_CENTER_VERTICAL);
    noise->Add(Text(kRowAValue), 0, wxALIGN_CENTER_VERTICAL);
    noise->Add(Text(kRowBLabel), 0, wxALIGN_CENTER_VERTICAL);
    noise->Add(Text(kRowBValue), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(Label(this, "Noise:"), 0, wxALIGN_TOP);
    grid->Add(setRow(33150, noise), 1, wxEXPAND);
    auto* sharpen = new wxBoxSizer(wxHORIZONTAL);
    for (int id : {kSharpenAmount, kSharpenRadius, kSharpenThreshold})
        sharpen->Add(Text(id), 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    grid->Add(Label(this, "Sharpening:"), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(setRow(33149, sharpen), 1, wxEXPAND);
    auto* lens = new wxBoxSizer(wxHORIZONTAL);
    lens->Add(Text(kLens), 1, wxALIGN_CENTER_VERTICAL);
    grid->Add(Label(this, "Lens:"), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(setRow(33197, lens), 1, wxEXPAND);
    column->Add(grid, 0, wxEXPAND | wxALL, 4);

    autoRow_ = new wxBoxSizer(wxHORIZONTAL);
    column->Add(autoRow_, 0, wxALL, 3);
    logo_ = Text(kLogo, "Lumora");
    logo_->SetCursor(wxCursor(wxCURSOR_HAND));
    column->Add(logo_, 0, wxALL, 4);
    SetSizer(column);

    crop_->Bind(wxEVT_COMBOBOX, &CImageSettings::OnCropSelChange, this);
    for (CDisabledItemComboBox* combo : {balance_, lighting_, look_})
        combo->Bind(wxEVT_COMBOBOX, &CImageSettings::OnListChoice, this);
    for (const wxEventTypeTag<wxScrollEvent>& type :
         {wxEVT_SCROLL_THUMBTRACK, wxEVT_SCROLL_CHANGED, wxEVT_SCROLL_LINEUP, wxEVT_SCROLL_LINEDOWN,
          wxEVT_SCROLL_PAGEUP, wxEVT_SCROLL_PAGEDOWN, wxEVT_SCROLL_TOP, wxEVT_SCROLL_BOTTOM})
        for (wxSlider* slider : {exposure_, whitePoint_}) slider->Bind(type, &CImageSettings::OnSlider, this);
    for (int command : kSetButtons) BindCommandButton(command);
    logo_->Bind(wxEVT_LEFT_UP, &CImageSettings::OnLogo, this);
}

wxStaticText* CImageSettings::Text(int id, const char* text) {
    auto* control = new wxStaticText(this, id, text);
    controls_[id] = control;
    return control;
}

wxWindow* CImageSettings::GetControl(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

bool CImageSettings::InitBar() {
    exposure_->SetRange(-20, 20);
    exposure_->SetTickFreq(5);
    exposure_->SetPageSize(1);
    exposure_->SetValue(0);
    whitePoint_->SetRange(20, 75);
    whitePoint_->SetPageSize(1);
    whitePoint_->SetValue(20);
    for (const std::string& item : ImageSettingsPresenter::CropItems()) crop_->Append(Wx(item));
    lastCropItem_ = ImageSettingsPresenter::kOtherCropItem;
    crop_->SetSelection(0);
    // The balance and lighting lists show their first item, disabled, until
    // an image is focused.
    for (auto [combo, first] : {std::pair{balance_, 33132}, {lighting_, 33136}}) {
        for (int id = first; id < first + 4; ++id) combo->AppendItem(Wx(LoadTranslatedString(id)), true);
        combo->SetSelection(0);
    }
    for (CDisabledItemComboBox* combo : {balance_, lighting_, look_}) combo->Disable();
    static_cast<wxStaticText*>(GetControl(kRowALabel))->SetLabel(Wx(LoadTranslatedString(33154)));
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
    logo_->SetToolTip(Wx(LoadTranslatedString(IDS_LOGO_TIP)));
}

void CImageSettings::Clear() {
    RebuildToolTips();
    // The sliders keep their positions and texts.
    exposure_->Disable();
    whitePoint_->Disable();
    if (toolsBar_) toolsBar_->Clear();
    if (autoExposure_) autoExposure_->SetIndeterminate();
    if (autoAtCapture_) autoAtCapture_->SetIndeterminate();
    for (CDisabledItemComboBox* combo : {balance_, lighting_, look_}) {
        combo->Clear();
        combo->Disable();
    }
    look_->UnsetToolTip();
}

void CImageSettings::Update(NimbalCore::Image& image, const NimbalCore::ImageProcessParam* params) {
    if (!params) return;
    RebuildToolTips();
    if (toolsBar_) toolsBar_->UpdateFromImage(image);
    if (autoExposure_) autoExposure_->UpdateFromImage(image);
    if (autoAtCapture_) autoAtCapture_->UpdateFromImage(image);
    ImageSettingsPresenter::WhitePointSlider slider{whitePoint_->GetMin(), whitePoint_->GetMax(),
                                                    whitePoint_->GetValue()};
    ImageSettingsPresenter::BalanceItemState items[4];
    ImageSettingsPresenter::BalanceItems(*params, items);
    const ImageSettingsPresenter::State state = ImageSettingsPresenter::Update(image, *params, slider, &items);
    auto text = [this](int id) { return static_cast<wxStaticText*>(GetControl(id)); };
    ApplySlider(exposure_, text(kExposureValue), text(kExposureMin), text(kExposureMax), state.exposure);
    ApplySlider(whitePoint_, text(kWhitePointValue), text(kWhitePointMin), text(kWhitePointMax), state.whitePoint);
    ApplyList(balance_, state.balance);
    ApplyList(lighting_, state.lighting);
    ApplyList(look_, state.look);
    if (state.look.tooltip.empty()) look_->UnsetToolTip();
    else look_->SetToolTip(Wx(state.look.tooltip));
    ApplyNoise(state.noise);
    ApplyTexts(state.texts);
    Layout();
}

void CImageSettings::ApplySlider(wxSlider* slider, wxStaticText* value, wxStaticText* low, wxStaticText* high,
                                 const ImageSettingsPresenter::SliderState& state) {
    if (state.minimum && state.maximum) slider->SetRange(*state.minimum, *state.maximum);
    if (slider == exposure_ && state.tickFrequency > 0) slider->SetTickFreq(state.tickFrequency);
    if (slider == whitePoint_ && state.minimum) slider->ClearTicks();
    if (state.minimumText) low->SetLabel(Wx(*state.minimumText));
    if (state.maximumText) high->SetLabel(Wx(*state.maximumText));
    if (state.nudge) slider->SetValue(*state.nudge);
    slider->SetValue(state.position);
    slider->Enable(state.enabled);
    value->SetLabel(Wx(state.valueText));
}

void CImageSettings::ApplyList(CDisabledItemComboBox* list, const ImageSettingsPresenter::ListState& state) {
    list->Clear();
    for (const ImageSettingsPresenter::ListItem& item : state.items) list->AppendItem(Wx(item.text), item.enabled);
    list->SetSelection(state.items.empty() ? wxNOT_FOUND : state.selection);
    list->Enable(state.enabled);
    list->Refresh();
}

void CImageSettings::ApplyNoise(const ImageSettingsPresenter::NoiseState& noise) {
    auto set = [this](int id, const std::string& text) { static_cast<wxStaticText*>(GetControl(id))->SetLabel(Wx(text)); };
    set(kNoiseName, noise.typeName);
    set(kRowALabel, noise.rowALabel);
    set(kRowAValue, noise.rowAValue);
    set(kRowBLabel, noise.rowBLabel);
    set(kRowBValue, noise.rowBValue);
    for (int id : {kRowALabel, kRowAValue}) GetControl(id)->Show(noise.rowAShown);
    for (int id : {kRowBLabel, kRowBValue}) GetControl(id)->Show(noise.rowBShown);
}

void CImageSettings::ApplyTexts(const ImageSettingsPresenter::Texts& t) {
    for (auto [id, text] : {std::pair{kSharpenAmount, &t.sharpenAmount}, {kSharpenRadius, &t.sharpenRadius},
                            {kSharpenThreshold, &t.sharpenThreshold}, {kRed, &t.red}, {kGreen, &t.green},
                            {kBlue, &t.blue}, {kShadow, &t.shadow}, {kMidtone, &t.midtone},
                            {kHighlight, &t.highlight}, {kLens, &t.lens}})
        static_cast<wxStaticText*>(GetControl(id))->SetLabel(Wx(*text));
}

int CImageSettings::GetExposureSliderPos() const { return exposure_ ? exposure_->GetValue() : 0; }

int CImageSettings::GetWhitePointSliderKelvin() const { return whitePoint_ ? whitePoint_->GetValue() * 100 : 0; }

void CImageSettings::UpdateCropChoice() {
    crop_->SetString(lastCropItem_, Wx(frame_->GetCustomCropLabel(IDS_CROP_OTHER_COMBO)));
    crop_->SetSelection(ImageSettingsPresenter::CropSelection(frame_->GetEffectiveCropMode()));
}

void CImageSettings::OnCropSelChange(wxCommandEvent&) {
    int mode = crop_->GetSelection();
    if (mode < 0 || mode > lastCropItem_) mode = 0;
    frame_->SetCropMode(mode);
    if (mode == lastCropItem_) frame_->OnCropAspectRatioDialog();
}

void CImageSettings::OnSlider(wxScrollEvent& event) {
    const bool isExposure = event.GetEventObject() == exposure_;
    wxSlider* slider = isExposure ? exposure_ : whitePoint_;
    auto* value = static_cast<wxStaticText*>(GetControl(isExposure ? kExposureValue : kWhitePointValue));
    const int position = slider->GetValue();
    value->SetLabel(Wx(isExposure ? ImageSettingsPresenter::ExposurePositionText(position)
                                  : ImageSettingsPresenter::WhitePointPositionText(position)));
    // The end of a change (a drag released, a key) goes to the document.
    if (event.GetEventType() == wxEVT_SCROLL_CHANGED) {
        const int command = isExposure ? kExposureSlider : kWhitePointSlider;
        CallAfter([this, command] { SendCommand(command); });
    }
}

void CImageSettings::OnListChoice(wxCommandEvent& event) {
    const int item = event.GetSelection();
    int command = 0;
    if (event.GetEventObject() == balance_) command = ImageSettingsPresenter::BalanceCommand(item);
    else if (event.GetEventObject() == lighting_) command = ImageSettingsPresenter::LightingCommand(item);
    else command = ImageSettingsPresenter::LookCommand(item);
    if (command) SendCommand(command);
}

void CImageSettings::OnLogo(wxMouseEvent& event) {
    ProgramLauncher::Current().OpenWithAssociatedProgram(LoadUntranslatedString(kLogoAddress));
    event.Skip();
}
