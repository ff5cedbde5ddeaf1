#include "CMainFrame.h"

#include "CCloseUpDialogBar.h"
#include "CCropAspectRatioDlg.h"
#include "CKeyPollView.h"
#include "CloseUp.h"
#include "CloseUpViewBase.h"
#include "CImageHistogram.h"
#include "CImageInfo.h"
#include "CImageSettings.h"
#include "ImageCommandIds.h"
#include "CLumoraApp.h"
#include "CLumoraDoc.h"
#include "CLumoraStatusBar.h"
#include "CResizableDialogBar.h"
#include "CReviewDialog.h"
#include "FrameStringIds.h"
#include "KeyState.h"
#include "LocalizedText.h"
#include "MainFrameLayout.h"
#include "Locations.h"
#include "ProfileItemManager.h"
#include "PrintSetup.h"
#include "ProfileStore.h"
#include "ShellServices.h"
#include "SheetOrganizeCommands.h"
#include "StringIds.h"
#include "StringResources.h"
#include "ToolPictures.h"
#include "TranslateWindow.h"
#include "UndoTextIds.h"
#include "WhiteBalanceFileCommand.h"
#include "WxCommandId.h"
#include "WxWindowPlacementTarget.h"

#include <wx/display.h>
#include <wx/filename.h>
#include <wx/html/helpctrl.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/toolbar.h>


namespace {

constexpr const char* kImageInfoPane = "ImageInfo";
constexpr const char* kImageControlsPane = "ImageControls";
constexpr const char* kHistogramPane = "OutputHistogram";
constexpr const char* kToolBarPane = "ToolBar";
constexpr const char* kPerspectiveValue = "Layout";
constexpr const char* kSummarySection = "ControlBar States-Summary";

constexpr const char* kBarPanes[] = {kImageInfoPane, kImageControlsPane, kHistogramPane};

int FullScreenWidth() { return wxDisplay(0u).GetClientArea().GetWidth(); }

std::string BarStateSection() { return LoadResourceString(IDS_SECTION_CONTROLBAR_STATES); }

// Help topics of the help book by command or dialog id, in lookup order.
constexpr std::pair<int, int> kHelpContexts[] = {
    {130, 100}, {57601, 100}, {32868, 100}, {57602, 101}, {215, 102}, {166, 103},
    {57607, 104}, {32904, 105}, {33108, 106}, {57643, 200}, {105, 701},
};

} // namespace

CMainFrame::CMainFrame(wxDocManager* manager) : docManager_(manager), timer_(this, kTimerId) {
    LoadLanguage();
}

namespace {
CMainFrame* gCurrentFrame = nullptr;
}

CMainFrame* CMainFrame::Current() { return gCurrentFrame; }

CMainFrame::~CMainFrame() {
    if (gCurrentFrame == this) gCurrentFrame = nullptr;
    timer_.Stop();
    manager_.UnInit();
}

void CMainFrame::LoadLanguage() { languageLoaded_ = LoadLanguageTable(); }

bool CMainFrame::CreateFrame() {
    if (!Create(docManager_, nullptr, wxID_ANY, wxString::FromUTF8(LoadTranslatedString(IDS_APP_TITLE)),
                wxDefaultPosition, wxSize(1200, 850)))
        return false;
    gCurrentFrame = this;
    manager_.SetManagedWindow(this);
    manager_.AddPane(GetClientWindow(), wxAuiPaneInfo().Name("Documents").CenterPane().PaneBorder(false));

    wxMenuBar* menus = BuildMenuBar();
    TranslateMenu(menus);
    SetMenuBar(menus);

    WxWindowPlacementTarget target(this);
    RestoreMainFramePlacement(target);

    BuildToolBar();
    statusBar_ = new CLumoraStatusBar(this);
    SetStatusBar(statusBar_);
    ClearStatusPanes();
    if (!BuildBars()) return false;

    state_.LoadSettings();
    const int savedBars = ProfileStore::Current().GetInt(kSummarySection, "Bars", 0);
    FloatBarsAtRightEdge();
    if (savedBars > 0) {
        const std::string layout = ProfileStore::Current().GetString(BarStateSection(), kPerspectiveValue, "");
        if (!layout.empty()) manager_.LoadPerspective(wxString::FromUTF8(layout), false);
    }
    // The docking rule wins over a saved layout that docked a bar.
    const bool allowed = state_.dockingAllowed != 0;
    for (const char* name : kBarPanes) {
        wxAuiPaneInfo& pane = manager_.GetPane(name);
        pane.LeftDockable(allowed).RightDockable(allowed).TopDockable(false).BottomDockable(false);
        if (!allowed && pane.IsDocked()) pane.Float();
    }
    const ToolbarDocking docking = LoadToolbarDocking();
    if (!docking.floating) {
        wxAuiPaneInfo& pane = manager_.GetPane(kToolBarPane);
        pane.Dock();
        switch (docking.side) {
        case DockSide::kLeft: pane.Left(); break;
        case DockSide::kRight: pane.Right(); break;
        case DockSide::kBottom: pane.Bottom(); break;
        default: pane.Top(); break;
        }
    }
    manager_.Update();
    ShowFloatingBars(false);

    Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnCloseWindow, this);
    Bind(wxEVT_SHOW, &CMainFrame::OnShowFrame, this);
    Bind(wxEVT_TIMER, &CMainFrame::OnTimer, this, kTimerId);
    Bind(wxEVT_MENU, &CMainFrame::OnViewBar, this, ToWxId(ID_VIEW_IMAGE_CONTROLS));
    Bind(wxEVT_MENU, &CMainFrame::OnViewBar, this, ToWxId(ID_VIEW_IMAGE_INFO));
    Bind(wxEVT_MENU, &CMainFrame::OnViewBar, this, ToWxId(ID_VIEW_OUTPUT_HISTOGRAM));
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateViewBar, this, ToWxId(ID_VIEW_IMAGE_CONTROLS));
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateViewBar, this, ToWxId(ID_VIEW_IMAGE_INFO));
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateViewBar, this, ToWxId(ID_VIEW_OUTPUT_HISTOGRAM));
    Bind(wxEVT_MENU, &CMainFrame::OnCropMode, this, ToWxId(ID_CROP_FREEFORM), ToWxId(ID_CROP_OTHER));
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateCropMode, this, ToWxId(ID_CROP_FREEFORM), ToWxId(ID_CROP_OTHER));
    Bind(wxEVT_MENU, &CMainFrame::OnQuality, this, ToWxId(ID_QUALITY_BETTER), ToWxId(ID_QUALITY_FASTER));
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateQuality, this, ToWxId(ID_QUALITY_BETTER), ToWxId(ID_QUALITY_FASTER));
    Bind(wxEVT_MENU, &CMainFrame::OnHelpTopics, this, ToWxId(ID_HELP_TOPICS));
    // Without a document to answer them, Undo and Redo have nothing to do.
    Bind(wxEVT_UPDATE_UI, [](wxUpdateUIEvent& event) {
        const bool undo = event.GetId() == ToWxId(ID_EDIT_UNDO);
        event.SetText(wxString::FromUTF8(LoadTranslatedString(undo ? IDS_CANT_UNDO : IDS_CANT_REDO)));
        event.Enable(false);
    }, ToWxId(ID_EDIT_UNDO), ToWxId(ID_EDIT_REDO));
    // The documents' commands reach the frame only when the active document
    // (or none) does not take them: the items show disabled rather than
    // enabled and doing nothing.
    const int documentCommands[] = {
        0xE103, 32867, 33196, 33106, kCmdOriginalSettings, kCmdAutoScene, kCmdAutoExposure, kCmdBalancePreset,
        kCmdBalanceAuto, kCmdBalanceClick, kCmdBalanceCustom, kCmdLightingDaylight, kCmdLightingTungsten,
        kCmdLightingFluorescent, kCmdLightingFlash, kCmdNoiseOff, kCmdNoiseLow, kCmdNoiseMedium, kCmdRotateCcw,
        kCmdRotateCw, kCmdTag, kCmdUntag, kCmdReviewSelection, SheetOrganizeCommands::kSortByName,
        SheetOrganizeCommands::kSortByDate, SheetOrganizeCommands::kSelectAll, SheetOrganizeCommands::kSelectInverse,
        SheetOrganizeCommands::kSelectTagged, SheetOrganizeCommands::kDeselectAll};
    for (const int command : documentCommands)
        Bind(wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& event) {
            const wxMenuItem* item = GetMenuBar() ? GetMenuBar()->FindItem(event.GetId()) : nullptr;
            if (item && item->IsCheckable()) event.Check(false);
            event.Enable(false);
        }, ToWxId(command));
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { RunPrintSetup(this); }, ToWxId(ID_FILE_PRINT_SETUP));
    Bind(wxEVT_MENU, &CMainFrame::OnExit, this, wxID_EXIT);

    timer_.Start(100);
    if (imageSettings_) imageSettings_->RebuildToolTips();
    const IntRect origin = LoadCloseUpCascadeOrigin();
    NimbalCore::CloseUpViewBase::SetCascadeOrigin(NimbalCore::NbRect(origin.left, origin.top, origin.right, origin.bottom));
    return true;
}

wxMenuBar* CMainFrame::BuildMenuBar() {
    auto* file = new wxMenu;
    file->Append(ToWxId(57601), "&Open...\tCtrl+O", "Open an existing contact sheet or image file");
    file->Append(wxID_CLOSE, "&Close", "Close the active document");
    file->Append(ToWxId(0xE103), "&Save\tCtrl+S", "Save the active document");
    file->AppendSeparator();
    file->Append(ToWxId(32904), "Open &With...", "Choose the application that opens saved images");
    file->Append(ToWxId(33108), "S&end To", "Send the selected images to the chosen application");
    file->AppendSeparator();
    file->Append(ToWxId(33109), "&Preferences...", "Change the preferences");
    file->Append(ToWxId(33130), "Pri&nting Preferences...\tCtrl+Shift+K", "Change the printing preferences");
    file->Append(ToWxId(ID_FILE_PRINT_SETUP), "P&rint Setup...", "Change the printer and its page settings");
    file->AppendSeparator();
    file->Append(wxID_EXIT, "E&xit", "Quit the application");

    auto* edit = new wxMenu;
    // The active document gives both their texts as its steps come and go.
    edit->Append(ToWxId(ID_EDIT_UNDO), wxString::FromUTF8(LoadTranslatedString(IDS_CANT_UNDO)),
                 "Undo the last action");
    edit->Append(ToWxId(ID_EDIT_REDO), wxString::FromUTF8(LoadTranslatedString(IDS_CANT_REDO)),
                 "Redo the previously undone action");
    edit->AppendSeparator();
    edit->Append(ToWxId(33196), "Paste Sp&ecial...", "Paste selected image settings to the selected images");
    edit->Append(ToWxId(33106), "Re&name...", "Rename selected images");
    edit->AppendSeparator();
    edit->Append(ToWxId(SheetOrganizeCommands::kSelectAll), "Select &All\tCtrl+A", "Select all the thumbnails");
    edit->Append(ToWxId(SheetOrganizeCommands::kSelectInverse), "Select &Inverse\tCtrl+B",
                 "Select the inverse of the current selection.");
    edit->Append(ToWxId(SheetOrganizeCommands::kSelectTagged), "Select &Tagged", "Select all the tagged images.");
    edit->Append(ToWxId(SheetOrganizeCommands::kDeselectAll), "&Deselect All\tCtrl+D", "Deselect all the images");

    auto* crop = new wxMenu;
    const char* cropNames[] = {"&Freeform", "&Square", "&2 X 3 Landscape", "&3 X 2 Portrait",
                               "&4 X 5 Landscape", "&5 X 4 Portrait", "5 X &7 Landscape", "&7 X 5 Portrait"};
    for (int i = 0; i < 8; ++i) crop->AppendCheckItem(ToWxId(ID_CROP_FREEFORM + i), cropNames[i]);
    crop->AppendCheckItem(ToWxId(ID_CROP_OTHER), wxString::FromUTF8(GetCustomCropLabel(IDS_CROP_OTHER_MENU)));

    auto* view = new wxMenu;
    view->AppendCheckItem(ToWxId(ID_VIEW_IMAGE_CONTROLS), "Image &Controls", "Show or hide the Image Controls");
    view->AppendCheckItem(ToWxId(ID_VIEW_IMAGE_INFO), "Image &Info", "Show or hide the Image Info");
    view->AppendCheckItem(ToWxId(ID_VIEW_OUTPUT_HISTOGRAM), "&Output Histogram", "Show or hide the Output Histogram");
    view->AppendSeparator();
    view->AppendCheckItem(ToWxId(ID_QUALITY_BETTER), "&Better", "Render previews at the better quality");
    view->AppendCheckItem(ToWxId(ID_QUALITY_FASTER), "&Faster", "Render previews faster");
    view->AppendSeparator();
    view->AppendSubMenu(crop, "C&rop Mode");
    view->AppendSeparator();
    view->AppendCheckItem(ToWxId(SheetOrganizeCommands::kSortByName), "By &Name", "Sort thumbnails by image name");
    view->AppendCheckItem(ToWxId(SheetOrganizeCommands::kSortByDate), "By &Date",
                          "Sort thumbnails by image date/time stamp");
    view->AppendSeparator();
    view->Append(ToWxId(kReviewCommand), "&Review Selection...\tCtrl+H", "Open the Review Dialog");

    auto* image = BuildImageMenu();

    auto* help = new wxMenu;
    help->Append(ToWxId(ID_HELP_TOPICS), "&Help Topics", "List Help topics");
    help->Append(ToWxId(57664), "&About Zyn Lumora...", "Display program information, version number and copyright");

    auto* bar = new wxMenuBar;
    bar->Append(file, "&File");
    bar->Append(edit, "&Edit");
    bar->Append(view, "&View");
    bar->Append(image, "&Image");
    bar->Append(help, "&Help");
    return bar;
}

wxMenu* CMainFrame::BuildImageMenu() {
    // Prompts come from the string table, as the tools' do.
    const auto prompt = [](int command) { return wxString::FromUTF8(TranslatedPrompt(command)); };
    auto* image = new wxMenu;
    image->Append(ToWxId(kCmdOriginalSettings), "&Use Original Camera Settings\tCtrl+U", prompt(kCmdOriginalSettings));
    image->Append(ToWxId(kCmdAutoScene), "&Auto Scene Balance && Exposure Adjustment\tCtrl+T", prompt(kCmdAutoScene));
    image->Append(ToWxId(kCmdAutoExposure), "Auto Exposure Adjustment", prompt(kCmdAutoExposure));
    image->AppendSeparator();

    auto* balance = new wxMenu;
    balance->AppendCheckItem(ToWxId(kCmdBalancePreset), "&Preset", prompt(kCmdBalancePreset));
    balance->AppendCheckItem(ToWxId(kCmdBalanceAuto), "&Auto", prompt(kCmdBalanceAuto));
    balance->AppendCheckItem(ToWxId(kCmdBalanceClick), "&Click", prompt(kCmdBalanceClick));
    balance->AppendCheckItem(ToWxId(kCmdBalanceCustom), "C&ustom", prompt(kCmdBalanceCustom));
    image->AppendSubMenu(balance, "&Balance");

    auto* lighting = new wxMenu;
    const char* lights[] = {"&Daylight", "&Tungsten", "&Fluorescent", "F&lash"};
    for (int k = 0; k < 4; ++k)
        lighting->AppendCheckItem(ToWxId(kCmdLightingDaylight + k), lights[k], prompt(kCmdLightingDaylight + k));
    image->AppendSubMenu(lighting, "&Lighting");

    // The noise levels have no place in the original menus; they sit here
    // beside the other settings of the image.
    auto* noise = new wxMenu;
    noise->AppendCheckItem(ToWxId(kCmdNoiseOff), "&Off", prompt(kCmdNoiseOff));
    noise->AppendCheckItem(ToWxId(kCmdNoiseLow), "&Low", prompt(kCmdNoiseLow));
    noise->AppendCheckItem(ToWxId(kCmdNoiseMedium), "&Medium", prompt(kCmdNoiseMedium));
    image->AppendSubMenu(noise, "&Noise Reduction Level");
    image->AppendSeparator();

    auto* rotate = new wxMenu;
    rotate->Append(ToWxId(kCmdRotateCcw), wxString::FromUTF8("90\u00b0 &CCW\tCtrl+Shift+R"), prompt(kCmdRotateCcw));
    rotate->Append(ToWxId(kCmdRotateCw), wxString::FromUTF8("90\u00b0 C&W\tCtrl+R"), prompt(kCmdRotateCw));
    image->AppendSubMenu(rotate, "&Rotate");
    image->AppendSeparator();

    image->AppendCheckItem(ToWxId(kCmdTag), "&Tag\tCtrl+F", prompt(kCmdTag));
    image->AppendCheckItem(ToWxId(kCmdUntag), "Unta&g\tCtrl+G", prompt(kCmdUntag));
    image->AppendSeparator();
    image->Append(ToWxId(WhiteBalanceFileCommand::kCommand), "Save Balance &File...",
                  prompt(WhiteBalanceFileCommand::kCommand));
    return image;
}

void CMainFrame::BuildToolBar() {
    toolBar_ = new wxToolBar(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTB_FLAT | wxTB_HORIZONTAL);
    toolBar_->SetToolBitmapSize(ToolPictureSize(kMainToolBarBitmap));
    const std::pair<int, int> tools[] = {
        {57601, kMainToolOpen}, {0, 0}, {33109, kMainToolPreferences}, {57664, kMainToolAbout}};
    for (const auto& [command, image] : tools) {
        if (command == 0) {
            toolBar_->AddSeparator();
            continue;
        }
        toolBar_->AddTool(ToWxId(command), wxEmptyString, ToolPictureBundle(kMainToolBarBitmap, image),
                          wxString::FromUTF8(ToolTipFor(command)), wxITEM_NORMAL);
        toolBar_->SetToolLongHelp(ToWxId(command), wxString::FromUTF8(TranslatedPrompt(command)));
    }
    toolBar_->Realize();
    manager_.AddPane(toolBar_, wxAuiPaneInfo().Name(kToolBarPane).Caption("Toolbar").ToolbarPane().Top().Gripper());
}

bool CMainFrame::BuildBars() {
    imageInfo_ = new CImageInfo(this);
    imageSettings_ = new CImageSettings(this);
    imageHistogram_ = new CImageHistogram(this);
    if (!imageInfo_->InitBar() || !imageSettings_->InitBar() || !imageHistogram_->InitBar()) return false;
    imageInfo_->CreateSoundBar();
    imageInfo_->Clear();
    imageSettings_->CreateToolbars();
    imageSettings_->Clear();
    imageHistogram_->Clear();
    const std::pair<CResizableDialogBar*, const char*> bars[] = {
        {imageInfo_, kImageInfoPane}, {imageSettings_, kImageControlsPane}, {imageHistogram_, kHistogramPane}};
    for (auto [bar, name] : bars) {
        manager_.AddPane(bar, wxAuiPaneInfo()
                                  .Name(name)
                                  .Caption(wxString::FromUTF8(TranslateString(bar->GetTitle())))
                                  .Right()
                                  .BestSize(bar->GetFloatSize())
                                  .MinSize(bar->GetMinimumSize())
                                  .FloatingSize(bar->GetFloatSize() + wxSize(0, 24))
                                  .CloseButton(true)
                                  .PinButton(true));
        bar->Bind(wxEVT_SIZE, &CMainFrame::OnBarSize, this);
    }
    return true;
}

void CMainFrame::FloatBarsAtRightEdge() {
    const FloatingBarPositions at = FloatingBarPositionsFor(FullScreenWidth());
    const std::pair<const char*, IntPoint> places[] = {
        {kImageInfoPane, at.imageInfo}, {kImageControlsPane, at.imageControls}, {kHistogramPane, at.outputHistogram}};
    for (const auto& [name, point] : places) manager_.GetPane(name).Float().FloatingPosition(point.x, point.y);
}

void CMainFrame::ApplyDockingSetting(int requested) {
    if (!state_.ApplyDockingSetting(requested)) return;
    const bool allowed = state_.dockingAllowed != 0;
    for (const char* name : kBarPanes) {
        wxAuiPaneInfo& pane = manager_.GetPane(name);
        pane.LeftDockable(allowed).RightDockable(allowed).TopDockable(false).BottomDockable(false);
    }
    if (!allowed) FloatBarsAtRightEdge();
    manager_.Update();
}

void CMainFrame::ClearStatusPanes() {
    if (!statusBar_) return;
    const std::vector<int>& indicators = StatusIndicators();
    for (int indicator : ClearedStatusPanes()) {
        for (size_t pane = 0; pane < indicators.size(); ++pane)
            if (indicators[pane] == indicator) statusBar_->SetStatusText(wxEmptyString, static_cast<int>(pane));
    }
}

void CMainFrame::SaveSettings() {
    for (CCloseUpDialogBar* bar : closeUpBars_) bar->Destroy();
    closeUpBars_.clear();
    state_.SaveSettings();
    WxWindowPlacementTarget target(this);
    SaveMainFramePlacement(target);

    ProfileStore::Current().WriteString(BarStateSection(), kPerspectiveValue,
                                        manager_.SavePerspective().utf8_string());
    ProfileStore::Current().WriteInt(kSummarySection, "Bars", 4);

    const wxAuiPaneInfo& bar = manager_.GetPane(kToolBarPane);
    ToolbarDocking docking;
    docking.floating = bar.IsFloating();
    if (!docking.floating) {
        const wxRect r = toolBar_->GetScreenRect();
        docking.rect = IntRect{r.GetLeft(), r.GetTop(), r.GetRight() + 1, r.GetBottom() + 1};
        switch (bar.dock_direction) {
        case wxAUI_DOCK_TOP: docking.side = DockSide::kTop; break;
        case wxAUI_DOCK_BOTTOM: docking.side = DockSide::kBottom; break;
        case wxAUI_DOCK_LEFT: docking.side = DockSide::kLeft; break;
        case wxAUI_DOCK_RIGHT: docking.side = DockSide::kRight; break;
        default: docking.side = DockSide::kNone; break;
        }
    }
    SaveToolbarDocking(docking);
    const NimbalCore::NbRect origin = NimbalCore::CloseUpViewBase::GetCascadeOrigin();
    SaveCloseUpCascadeOrigin(IntRect{origin.left, origin.top, origin.right, origin.bottom});
}

void CMainFrame::OnCloseWindow(wxCloseEvent& event) {
    // An automation client keeps the program: the frame only hides.
    if (!CLumoraDoc::UserControl() && event.CanVeto()) {
        Hide();
        event.Veto();
        return;
    }
    SaveSettings();
    timer_.Stop();
    if (CLumoraApp* app = TheLumoraApp()) app->WithdrawFrame();
    event.Skip();
}

void CMainFrame::OnTimer(wxTimerEvent&) {
    if (CLumoraApp* app = TheLumoraApp()) app->SetReady();
    UpdateTitle();
    // A frame shown by a later start's request shows its floating bars on
    // the next tick (the toolkit's own activation may hide them again at
    // once).
    ShowFloatingBars(IsShown());
    PollKeys(docManager_->GetCurrentView());
}

void CMainFrame::PollKeys(wxView* view) {
    if (!view) return;
    KeyState& keys = KeyState::Current();
    const bool ctrl = keys.IsDown(KeyState::kControl);
    const bool shift = keys.IsDown(KeyState::kShift);
    if (auto* polled = dynamic_cast<CKeyPollView*>(view)) {
        ctrl ? polled->OnCtrlDown() : polled->OnCtrlUp();
        shift ? polled->OnShiftDown() : polled->OnShiftUp();
    }
}

void CMainFrame::UpdateTitle() {
    wxString title = wxString::FromUTF8(LoadTranslatedString(IDS_APP_TITLE));
    if (wxAuiMDIChildFrame* child = GetActiveChild()) {
        if (!child->GetTitle().empty()) title += " - " + child->GetTitle();
    }
    if (title != shownTitle_) {
        shownTitle_ = title;
        SetTitle(title);
    }
}

void CMainFrame::ToggleBar(wxWindow* bar) {
    wxAuiPaneInfo& pane = manager_.GetPane(bar);
    if (!pane.IsOk()) return;
    pane.Show(!pane.IsShown());
    manager_.Update();
}

void CMainFrame::OnBarSize(wxSizeEvent& event) {
    event.Skip();
    auto* bar = dynamic_cast<CResizableDialogBar*>(event.GetEventObject());
    if (!bar || clampingBar_) return;
    const wxAuiPaneInfo& pane = manager_.GetPane(bar);
    ResizableBarGeometry& geometry = bar->Geometry();
    const int wasDockedAt = geometry.dockBarId;
    switch (pane.IsOk() && pane.IsDocked() ? pane.dock_direction : 0) {
    case wxAUI_DOCK_TOP: geometry.dockBarId = ResizableBarGeometry::kDockTop; break;
    case wxAUI_DOCK_BOTTOM: geometry.dockBarId = ResizableBarGeometry::kDockBottom; break;
    case wxAUI_DOCK_LEFT: geometry.dockBarId = ResizableBarGeometry::kDockLeft; break;
    case wxAUI_DOCK_RIGHT: geometry.dockBarId = ResizableBarGeometry::kDockRight; break;
    default: geometry.dockBarId = 0; return;
    }
    const wxSize size = event.GetSize();
    const bool horizontal = geometry.IsHorizontal();
    const int extent = horizontal ? size.y : size.x;
    int& kept = horizontal ? geometry.sizeHorz.cy : geometry.sizeVert.cx;
    // Just docked (or moved to another side): the layout's size is where
    // the bar starts.
    if (wasDockedAt != geometry.dockBarId) {
        kept = extent;
        return;
    }
    const wxSize room = GetSize();
    const int ended = geometry.DragEdgeTo(extent, horizontal ? room.y : room.x);
    if (ended == extent) return;
    // Not inside the layout that sized the bar: after it.
    CallAfter([this, bar, ended] { ClampDockedBar(bar, ended); });
}

void CMainFrame::ClampDockedBar(CResizableDialogBar* bar, int extent) {
    wxAuiPaneInfo& pane = manager_.GetPane(bar);
    // The bar may have floated or closed since.
    if (!pane.IsOk() || !pane.IsDocked() || !pane.IsShown()) return;
    const wxSize size = bar->GetSize();
    if ((bar->Geometry().IsHorizontal() ? size.y : size.x) == extent) return;
    if (!manager_.SetDockedExtent(pane, extent)) return;
    clampingBar_ = true;
    manager_.Update();
    clampingBar_ = false;
}

void CMainFrame::OnViewBar(wxCommandEvent& event) {
    switch (FromWxId(event.GetId())) {
    case ID_VIEW_IMAGE_CONTROLS: ToggleBar(imageSettings_); break;
    case ID_VIEW_IMAGE_INFO: ToggleBar(imageInfo_); break;
    case ID_VIEW_OUTPUT_HISTOGRAM: ToggleBar(imageHistogram_); break;
    default: break;
    }
}

void CMainFrame::OnUpdateViewBar(wxUpdateUIEvent& event) {
    wxWindow* bar = FromWxId(event.GetId()) == ID_VIEW_IMAGE_CONTROLS ? static_cast<wxWindow*>(imageSettings_)
                    : FromWxId(event.GetId()) == ID_VIEW_IMAGE_INFO   ? static_cast<wxWindow*>(imageInfo_)
                                                            : static_cast<wxWindow*>(imageHistogram_);
    event.Check(bar && manager_.GetPane(bar).IsShown());
}

void CMainFrame::OnCropMode(wxCommandEvent& event) {
    SetCropMode(FromWxId(event.GetId()) - ID_CROP_FREEFORM);
    if (FromWxId(event.GetId()) == ID_CROP_OTHER) OnCropAspectRatioDialog();
}

void CMainFrame::OnUpdateCropMode(wxUpdateUIEvent& event) {
    event.Check(state_.crop.GetCropMode() == FromWxId(event.GetId()) - ID_CROP_FREEFORM);
    if (FromWxId(event.GetId()) == ID_CROP_OTHER) event.SetText(wxString::FromUTF8(GetCustomCropLabel(IDS_CROP_OTHER_MENU)));
}

void CMainFrame::OnQuality(wxCommandEvent& event) {
    state_.SetQuality(FromWxId(event.GetId()) == ID_QUALITY_BETTER ? 1 : 0);
}

void CMainFrame::OnUpdateQuality(wxUpdateUIEvent& event) {
    event.Check(state_.quality == (FromWxId(event.GetId()) == ID_QUALITY_BETTER ? 1 : 0));
}

void CMainFrame::OnExit(wxCommandEvent&) { Close(); }

void CMainFrame::OnShowFrame(wxShowEvent& event) {
    ShowFloatingBars(event.IsShown());
    event.Skip();
}

void CMainFrame::ShowFloatingBars(bool show) {
    wxAuiPaneInfoArray& panes = manager_.GetAllPanes();
    for (size_t i = 0; i < panes.size(); ++i) {
        wxAuiPaneInfo& pane = panes[i];
        if (pane.IsFloating() && pane.frame && pane.frame->IsShown() != (show && pane.IsShown()))
            pane.frame->Show(show && pane.IsShown());
    }
}

void CMainFrame::SetStatusText(const wxString& text, int number) {
    if (statusBar_) statusBar_->SetStatusText(text, number);
}

void CMainFrame::DoGiveHelp(const wxString& text, bool show) {
    CMainFrameBase::DoGiveHelp(wxString::FromUTF8(TranslateString(text.utf8_string())), show);
}

void CMainFrame::OnHelpTopics(wxCommandEvent&) { WinHelp(0); }

void CMainFrame::WinHelp(unsigned long data) {
    const wxString book = wxString::FromUTF8((lumora::Locations::ProgramDir() / "LUMORA.htb").string());
    if (!wxFileName::FileExists(book)) return;
    static wxHtmlHelpController* help = nullptr;
    if (!help) {
        help = new wxHtmlHelpController;
        if (!help->AddBook(wxFileName(book))) return;
    }
    const int id = static_cast<int>(data & 0xFFFF);
    for (const auto& [key, topic] : kHelpContexts) {
        if (key == id && data != 0) {
            help->Display(topic);
            return;
        }
    }
    help->DisplayContents();
}

void CMainFrame::SetCropMode(int mode) {
    state_.crop.SetCropMode(mode);
    if (imageSettings_) imageSettings_->UpdateCropChoice();
}

void CMainFrame::OnCropAspectRatioDialog() {
    // The dialog asks for the width part first.
    CCropAspectRatioDlg dialog(state_.crop.GetCustomWidthPart(), state_.crop.GetCustomHeightPart(), this);
    if (dialog.ShowModal() == wxID_CANCEL) return;
    state_.crop.SetCustomRatio(dialog.GetHeightPart(), dialog.GetWidthPart());
    if (imageSettings_) imageSettings_->UpdateCropChoice();
}

NimbalCore::CloseUp* CMainFrame::OpenCloseUpBar(NimbalCore::ImageRendering* rendering) {
    NimbalCore::CloseUp* closeUp = NimbalCore::CloseUp::GetCloseUpFor(rendering);
    if (!closeUp) return nullptr;
    for (CCloseUpDialogBar* open : closeUpBars_) {
        if (open->GetCloseUp() == closeUp) {
            closeUp->RefreshViews();
            return closeUp;
        }
    }
    auto* bar = new CCloseUpDialogBar(this, closeUp, rendering);
    ++state_.closeUpBarCount;
    closeUpBars_.push_back(bar);
    const wxRect work = wxDisplay(0u).GetClientArea();
    NimbalCore::CloseUpViewBase::SetPlacementArea(
        NimbalCore::NbRect(work.GetLeft(), work.GetTop(), work.GetRight(), work.GetBottom()));
    NimbalCore::NbRect rect;
    bar->GetPreferredViewRect(rect);
    NimbalCore::CloseUpViewBase::PlaceNewView(rect);
    bar->Place(rect);
    bar->Show();
    return closeUp;
}

void CMainFrame::OnCloseUpClosed(CCloseUpDialogBar* bar) {
    for (auto it = closeUpBars_.begin(); it != closeUpBars_.end(); ++it) {
        if (*it != bar) continue;
        closeUpBars_.erase(it);
        --state_.closeUpBarCount;
        bar->Destroy();
        return;
    }
}
