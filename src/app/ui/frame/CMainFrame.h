#pragma once
// The main frame: the notebook of document windows, the menu bar, the
// toolbar, the status bar and the three dialog bars as panes of one AUI
// manager, and the program's shared user-interface state (copied settings,
// current tool, crop mode and ratio, preview quality, close-up bars). It
// polls Ctrl and Shift for the active view every 100 ms.
#include "CBarDockManager.h"
#include "IntPoint.h"
#include "IntRect.h"
#include "MainFrameState.h"

#include <wx/aui/framemanager.h>
#include <wx/aui/aui.h>
#include <wx/docview.h>
#include <wx/timer.h>

#include <string>
#include <vector>

class CCloseUpDialogBar;
class CImageHistogram;
class CImageInfo;
class CImageSettings;
class CLumoraStatusBar;
class CResizableDialogBar;
class wxToolBar;
namespace NimbalCore {
class CloseUp;
class ImageRendering;
}

using CMainFrameBase = wxDocParentFrameAny<wxAuiMDIParentFrame>;

class CMainFrame : public CMainFrameBase {
public:
    enum Command {
        ID_VIEW_IMAGE_CONTROLS = 32836,
        ID_VIEW_IMAGE_INFO = 32857,
        ID_VIEW_OUTPUT_HISTOGRAM = 33104,
        ID_CROP_FREEFORM = 33110,
        ID_CROP_OTHER = 33118,
        ID_QUALITY_BETTER = 33128,
        ID_QUALITY_FASTER = 33129,
        ID_HELP_TOPICS = 57667,
        ID_EDIT_UNDO = 57643,
        ID_EDIT_REDO = 57644,
        ID_FILE_PRINT_SETUP = 57606,
        ID_TOOL_SELECT = 32847,
        kTimerId = 3001,
    };

    explicit CMainFrame(wxDocManager* manager);
    ~CMainFrame() override;
    // The frame whose window exists (document windows open in it); null
    // before CreateFrame and after the frame is gone.
    static CMainFrame* Current();

    // Builds the windows (menus, bars, panes, timer); false when a bar
    // cannot be made.
    bool CreateFrame();
    bool LanguageLoaded() const { return languageLoaded_; }

    // The shared state (copied settings, tool, crop, quality, ...).
    MainFrameState& State() { return state_; }
    const MainFrameState& State() const { return state_; }

    // Texts and menu prompts reach the status bar translated.
    void SetStatusText(const wxString& text, int number = 0) override;
    void DoGiveHelp(const wxString& text, bool show) override;

    // Tells the view the state of Ctrl and Shift (a preview or a contact
    // sheet; other views get nothing). Every timer tick does it for the
    // active view.
    static void PollKeys(wxView* view);

    int GetEffectiveCropMode() const { return state_.crop.GetEffectiveCropMode(); }
    // Stores the mode and shows it in the Image Controls bar.
    void SetCropMode(int mode);
    void GetCropAspect(float& heightPart, float& widthPart) const { state_.crop.GetCropAspect(heightPart, widthPart); }
    void SetCurrentCropAspect(float height, float width) { state_.crop.SetCurrentCropAspect(height, width); }
    void ComputeCropRect(const IntRect& bounds, IntPoint anchor, IntPoint grab, int& handle, IntRect& crop,
                         IntPoint& mouse) const {
        state_.crop.ComputeCropRect(bounds, anchor, grab, handle, crop, mouse);
    }
    std::string GetCustomCropLabel(int stringId) const { return state_.crop.GetCustomCropLabel(stringId); }
    void OnCropAspectRatioDialog();

    NimbalCore::CloseUp* OpenCloseUpBar(NimbalCore::ImageRendering* rendering);
    void OnCloseUpClosed(CCloseUpDialogBar* bar);
    void ApplyDockingSetting(int requested);
    void ClearStatusPanes();
    void WinHelp(unsigned long data);

    CImageSettings* GetImageSettings() const { return imageSettings_; }
    CImageInfo* GetImageInfo() const { return imageInfo_; }
    CImageHistogram* GetImageHistogram() const { return imageHistogram_; }
    wxAuiManager& GetAuiManager() { return manager_; }
    wxToolBar* GetMainToolBar() const { return toolBar_; }


private:
    void LoadLanguage();
    wxMenuBar* BuildMenuBar();
    // Image: the settings, balance, lighting, noise, rotation and tag commands.
    wxMenu* BuildImageMenu();
    void BuildToolBar();
    bool BuildBars();
    void FloatBarsAtRightEdge();
    void ShowFloatingBars(bool show);
    void SaveSettings();
    void UpdateTitle();
    void ToggleBar(wxWindow* bar);
    // A docked bar's new size ends as the bar's own edge drag would: the
    // layout has no event at the end of a sash drag, so the bar's size
    // change stands for it. A size the bar's limits refuse is set back
    // after the layout in progress.
    void OnBarSize(wxSizeEvent& event);
    void ClampDockedBar(CResizableDialogBar* bar, int extent);

    void OnCloseWindow(wxCloseEvent& event);
    // The floating bars show and hide with the frame (an automation start
    // keeps all of them hidden).
    void OnShowFrame(wxShowEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnViewBar(wxCommandEvent& event);
    void OnUpdateViewBar(wxUpdateUIEvent& event);
    void OnCropMode(wxCommandEvent& event);
    void OnUpdateCropMode(wxUpdateUIEvent& event);
    void OnQuality(wxCommandEvent& event);
    void OnUpdateQuality(wxUpdateUIEvent& event);
    void OnHelpTopics(wxCommandEvent& event);
    void OnExit(wxCommandEvent& event);

    wxDocManager* docManager_;
    CBarDockManager manager_;
    bool clampingBar_ = false;
    wxTimer timer_;
    CImageSettings* imageSettings_ = nullptr;
    CImageInfo* imageInfo_ = nullptr;
    CImageHistogram* imageHistogram_ = nullptr;
    CLumoraStatusBar* statusBar_ = nullptr;
    wxToolBar* toolBar_ = nullptr;
    std::vector<CCloseUpDialogBar*> closeUpBars_;
    MainFrameState state_;
    bool languageLoaded_ = false;
    wxString shownTitle_;
};
