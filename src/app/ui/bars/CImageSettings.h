#pragma once
// The Image Controls bar: the focused image's processing settings with the
// quick adjustments, the tools, and the crop aspect choice. Its states and
// texts come from ImageSettingsPresenter; its buttons, sliders and lists
// send the documents' commands through the main frame, and a button whose
// command nothing takes shows disabled.
#include "CResizableDialogBar.h"
#include "ImageSettingsPresenter.h"

#include <map>

class CAutoAtCaptureBar;
class CAutoExposureBar;
class CDisabledItemComboBox;
class CMainFrame;
class CToolsBar;
class wxOwnerDrawnComboBox;
class wxScrollEvent;
class wxSlider;
class wxStaticText;
namespace NimbalCore {
class Image;
class ImageProcessParam;
} // namespace NimbalCore

class CImageSettings : public CResizableDialogBar {
public:
    explicit CImageSettings(CMainFrame* frame);
    bool InitBar();
    void CreateToolbars();
    void RebuildToolTips();
    // No image has the focus.
    void Clear();
    // The window's own repaint stays reachable beside the image's update.
    using CResizableDialogBar::Update;
    // Shows the image's settings; nothing for null parameters.
    void Update(NimbalCore::Image& image, const NimbalCore::ImageProcessParam* params);
    // Shows the main frame's crop mode (the custom ratio in the last item).
    void UpdateCropChoice();

    int GetExposureSliderPos() const;
    int GetWhitePointSliderKelvin() const;

    CToolsBar* GetToolsBar() const { return toolsBar_; }
    wxOwnerDrawnComboBox* GetCropChoice() const { return crop_; }
    // The control of an id of the bar's layout (tests read the texts).
    wxWindow* GetControl(int id) const;

private:
    wxStaticText* Text(int id, const char* text = "");
    void ApplyList(CDisabledItemComboBox* list, const ImageSettingsPresenter::ListState& state);
    void ApplySlider(wxSlider* slider, wxStaticText* value, wxStaticText* low, wxStaticText* high,
                     const ImageSettingsPresenter::SliderState& state);
    void ApplyNoise(const ImageSettingsPresenter::NoiseState& noise);
    void ApplyTexts(const ImageSettingsPresenter::Texts& texts);
    void OnCropSelChange(wxCommandEvent& event);
    void OnSlider(wxScrollEvent& event);
    void OnListChoice(wxCommandEvent& event);
    void OnLogo(wxMouseEvent& event);

    CMainFrame* frame_;
    wxSizer* toolsRow_ = nullptr;
    wxSizer* autoRow_ = nullptr;
    CToolsBar* toolsBar_ = nullptr;
    CAutoExposureBar* autoExposure_ = nullptr;
    CAutoAtCaptureBar* autoAtCapture_ = nullptr;
    // Drawn by the program: choosing the item already shown must still
    // reach the bar (choosing "Other..." again reopens the ratio dialog),
    // which the toolkit's own drop-down list does not report.
    wxOwnerDrawnComboBox* crop_ = nullptr;
    wxSlider* exposure_ = nullptr;
    wxSlider* whitePoint_ = nullptr;
    CDisabledItemComboBox* balance_ = nullptr;
    CDisabledItemComboBox* lighting_ = nullptr;
    CDisabledItemComboBox* look_ = nullptr;
    wxStaticText* logo_ = nullptr;
    std::map<int, wxWindow*> controls_;
    int lastCropItem_ = ImageSettingsPresenter::kOtherCropItem;
};
