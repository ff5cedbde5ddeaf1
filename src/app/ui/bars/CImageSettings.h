#pragma once
// The Image Controls bar: the focused image's processing settings with the
// quick adjustments, the tools, and the crop aspect choice.
#include "CResizableDialogBar.h"

class CAutoAtCaptureBar;
class CMainFrame;
class CAutoExposureBar;
class CToolsBar;
class wxChoice;
class wxOwnerDrawnComboBox;
class wxSlider;
class wxStaticText;

class CImageSettings : public CResizableDialogBar {
public:
    explicit CImageSettings(CMainFrame* frame);
    bool InitBar();
    void CreateToolbars();
    void RebuildToolTips();
    // No image has the focus.
    void Clear();
    // Shows the main frame's crop mode (the custom ratio in the last item).
    void UpdateCropChoice();

    CToolsBar* GetToolsBar() const { return toolsBar_; }
    wxOwnerDrawnComboBox* GetCropChoice() const { return crop_; }

private:
    void OnCropSelChange(wxCommandEvent& event);

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
    wxChoice* balance_ = nullptr;
    wxChoice* lighting_ = nullptr;
    wxChoice* look_ = nullptr;
    wxStaticText* logo_ = nullptr;
    int lastCropItem_ = 8;
};
