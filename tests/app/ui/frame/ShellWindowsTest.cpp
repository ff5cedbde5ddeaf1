// The main frame's windows in the test process: the splash screen and its
// hidden pictures, the crop-ratio dialog, the dialog bars' docking rule and
// their size limits when docked, the key poll of the active view and the
// translated menu prompts.
#include "AppCommands.h"
#include "CBarDockManager.h"
#include "CAbout.h"
#include "CChildFrame.h"
#include "CCropAspectRatioDlg.h"
#include "CContactSheetView.h"
#include "CImageSettings.h"
#include "CLMPreviewView.h"
#include "CLumoraStatusBar.h"
#include "CMainFrame.h"
#include "CSplashScreenDlg.h"
#include "FakeKeys.h"
#include "FrenchTable.h"
#include "GuiTest.h"
#include "MainFrameFixture.h"
#include "LocalizedText.h"
#include "ProfileItemManager.h"
#include "WxCommandId.h"

#include <gtest/gtest.h>
#include <wx/display.h>
#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/choice.h>
#include <wx/odcombo.h>
#include <wx/docview.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include <cstdio>
#include <string>
#include <typeinfo>
#include <unistd.h>
#include <vector>

namespace {

// Clicks every modal dialog as it comes up (Ctrl held on the first) and
// records the order of their classes.
class ClickEveryDialog : public wxModalDialogHook {
public:
    explicit ClickEveryDialog(bool ctrlOnFirst) : ctrl_(ctrlOnFirst) { Register(); }
    ~ClickEveryDialog() override { Unregister(); }
    int Enter(wxDialog* dialog) override {
        shown.push_back(typeid(*dialog).name());
        const bool ctrl = ctrl_;
        ctrl_ = false;
        dialog->CallAfter([dialog, ctrl] {
            gui::OnScreen(dialog);
            gui::Settle();
            wxUIActionSimulator sim;
            sim.MouseMove(dialog->GetScreenRect().GetPosition() + wxPoint(20, 20));
            gui::Settle(30);
            if (ctrl) sim.KeyDown(WXK_CONTROL);
            sim.MouseClick();
            if (ctrl) sim.KeyUp(WXK_CONTROL);
        });
        return wxID_NONE;
    }
    void Exit(wxDialog*) override {}
    std::vector<std::string> shown;

private:
    bool ctrl_;
};

// What the process writes to standard error while it lives.
class StandardErrorCapture {
public:
    StandardErrorCapture() {
        std::fflush(stderr);
        saved_ = dup(2);
        file_ = std::tmpfile();
        if (file_) dup2(fileno(file_), 2);
    }
    ~StandardErrorCapture() { Restore(); }
    std::string Text() {
        Restore();
        std::string text;
        if (!file_) return "no capture file";
        std::rewind(file_);
        char buffer[512];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0) text.append(buffer, n);
        return text;
    }

private:
    void Restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        saved_ = -1;
    }
    int saved_ = -1;
    std::FILE* file_ = nullptr;
};

TEST(SplashScreen, AClickEndsItAtOnceAndMakesTheFrameOnce) {
    int made = 0;
    ClickEveryDialog clicks(false);
    EXPECT_FALSE(CSplashScreenDlg::RunSplash([&] { ++made; }));
    EXPECT_EQ(made, 1);
    ASSERT_EQ(clicks.shown.size(), 1u);
    EXPECT_EQ(clicks.shown[0], typeid(CSplashScreenDlg).name());
    // The timer would have fired after a second; it does not fire later.
    gui::Settle(1200);
    EXPECT_EQ(made, 1);
}

TEST(SplashScreen, ClosedByTheWindowManagerItStillMakesTheFrameOnce) {
    int made = 0;
    gui::ModalScenario scenario([](wxDialog* d) { d->Close(); });
    EXPECT_FALSE(CSplashScreenDlg::RunSplash([&] { ++made; }));
    EXPECT_EQ(made, 1);
    gui::Settle(1200);
    EXPECT_EQ(made, 1);
}

TEST(SplashScreen, WithoutAClickItEndsOnItsTimer) {
    int made = 0;
    EXPECT_FALSE(CSplashScreenDlg::RunSplash([&] { ++made; }));
    EXPECT_EQ(made, 1);
}

TEST(SplashScreen, ACtrlClickShowsTheTwoPicturesInOrder) {
    int made = 0;
    ClickEveryDialog clicks(true);
    EXPECT_TRUE(CSplashScreenDlg::RunSplash([&] { ++made; }));
    EXPECT_EQ(made, 1);
    ASSERT_EQ(clicks.shown.size(), 3u);
    EXPECT_NE(clicks.shown[1].find("CScrambledEggs"), std::string::npos) << clicks.shown[1];
    EXPECT_NE(clicks.shown[2].find("CHulk"), std::string::npos) << clicks.shown[2];
}

TEST(AboutBox, ShowsTheVersionAndTheLibrariesAndCloses) {
    gui::TempSettings settings;
    settings.Install();
    const std::string before = settings.Read();
    CAbout about(nullptr);
    gui::ModalScenario scenario([](wxDialog* d) {
        wxString texts;
        for (wxWindow* child : d->GetChildren()) texts << child->GetLabel() << "\n";
        EXPECT_NE(texts.Find("Version 4.3.0.13"), wxNOT_FOUND) << texts;
        EXPECT_NE(texts.Find("Little CMS"), wxNOT_FOUND) << texts;
        EXPECT_NE(texts.Find("wxWidgets"), wxNOT_FOUND) << texts;
        d->EndModal(wxID_OK);
    });
    EXPECT_EQ(about.ShowModal(), wxID_OK);
    EXPECT_EQ(settings.Read(), before);
}

TEST(OpenCommands, CancellingThePickersOpensNothingAndKeepsTheSettings) {
    gui::TempSettings settings;
    settings.Install();
    settings.Write("[Last Used]\nLastFileOpenDialogPath=" + settings.Dir().string() + "\n");
    settings.Install();
    const std::string before = settings.Read();
    int opened = 0;
    {
        gui::ModalScenario scenario([](wxDialog* d) {
            EXPECT_EQ(d->GetTitle(), "Open Zyn Lumora Contact Sheet or Image File");
            d->EndModal(wxID_CANCEL);
        });
        RunOpenCommand(nullptr, [&](const std::string&) { ++opened; });
    }
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(settings.Read(), before);
    {
        gui::ModalScenario scenario([](wxDialog* d) { d->EndModal(wxID_CANCEL); });
        RunOpenWithCommand(nullptr, nullptr);
    }
    EXPECT_EQ(settings.Read(), before);
}

TEST(CropAspectRatioDialog, ReadsPartsAboveZeroUpTo9999Point99) {
    const struct {
        const char* text;
        bool ok;
        float value;
    } cases[] = {{"1.5", true, 1.5f},  {"0", false, 0},   {"0.00", false, 0}, {"-0", false, 0},
                 {"0.001", true, 0.001f}, {"9999.99", true, 9999.99f}, {"10000", false, 0},
                 {"-1", false, 0},     {"", false, 0},    {"abc", false, 0},  {"2x", false, 0},
                 {" 3 ", true, 3.0f}};
    for (const auto& c : cases) {
        float value = -7;
        std::string message;
        EXPECT_EQ(CCropAspectRatioDlg::ReadPart(c.text, value, message), c.ok) << c.text;
        if (c.ok) EXPECT_FLOAT_EQ(value, c.value) << c.text;
        else EXPECT_FALSE(message.empty()) << c.text;
    }
}

TEST(CropAspectRatioDialog, OkIsOnlyEnabledWhileBothPartsAreNumbersAndCancelKeepsThem) {
    gui::TempSettings settings;
    settings.Install();
    const std::string before = settings.Read();
    CCropAspectRatioDlg dialog(2.0f, 1.5f, nullptr);
    gui::ModalScenario scenario([](wxDialog* d) {
        auto* width = dynamic_cast<wxTextCtrl*>(d->FindWindow(1175));
        auto* ok = d->FindWindow(wxID_OK);
        ASSERT_TRUE(width && ok);
        width->SetValue("");
        EXPECT_FALSE(ok->IsEnabled());
        width->SetValue("3");
        EXPECT_TRUE(ok->IsEnabled());
        width->SetValue("0");
        EXPECT_FALSE(ok->IsEnabled());
        width->SetValue("3");
        EXPECT_TRUE(ok->IsEnabled());
        d->EndModal(wxID_CANCEL);
    });
    EXPECT_EQ(dialog.ShowModal(), wxID_CANCEL);
    EXPECT_EQ(settings.Read(), before);
}

// A main frame of the test process over a settings file of its own.
class MainFrameTest : public gui::MainFrameFixture {};

TEST_F(MainFrameTest, TheBarsFloatAtTheRightEdgeAndClearingDockingKeepsThemThere) {
    const int w = wxDisplay(0u).GetClientArea().GetWidth();
    wxAuiManager& aui = frame_->GetAuiManager();
    const std::pair<const char*, wxPoint> places[] = {
        {"ImageInfo", {w - 300, 100}}, {"ImageControls", {w - 275, 125}}, {"OutputHistogram", {w - 250, 150}}};
    for (const auto& [name, at] : places) {
        const wxAuiPaneInfo& pane = aui.GetPane(name);
        EXPECT_TRUE(pane.IsFloating()) << name;
        EXPECT_EQ(pane.floating_pos, at) << name;
        EXPECT_TRUE(pane.IsLeftDockable() && pane.IsRightDockable()) << name;
        EXPECT_FALSE(pane.IsTopDockable() || pane.IsBottomDockable()) << name;
    }
    // Docked on the right, then docking is cleared.
    aui.GetPane("ImageInfo").Dock().Right();
    aui.Update();
    ProfileItemManager().SetInt(PI_ALLOW_DOCKING, 0);
    frame_->ApplyDockingSetting(0);
    for (const auto& [name, at] : places) {
        const wxAuiPaneInfo& pane = aui.GetPane(name);
        EXPECT_TRUE(pane.IsFloating()) << name;
        EXPECT_EQ(pane.floating_pos, at) << name;
        EXPECT_FALSE(pane.IsLeftDockable() || pane.IsRightDockable()) << name;
    }
}

TEST_F(MainFrameTest, TheKeyPollTellsTheActiveViewCtrlAndShift) {
    FakeKeys keys;
    CContactSheetView sheet;
    CLMPreviewView preview;
    for (auto [ctrl, shift] : {std::pair{true, false}, {false, true}, {true, true}, {false, false}}) {
        keys.ctrl = ctrl;
        keys.shift = shift;
        CMainFrame::PollKeys(&sheet);
        CMainFrame::PollKeys(&preview);
        EXPECT_EQ(sheet.IsCtrlDown(), ctrl);
        EXPECT_EQ(sheet.IsShiftDown(), shift);
        EXPECT_EQ(preview.IsCtrlDown(), ctrl);
        EXPECT_EQ(preview.IsShiftDown(), shift);
    }
}

TEST_F(MainFrameTest, TheFramesTimerPollsTheKeysForTheActiveView) {
    FakeKeys keys;
    CContactSheetView sheet;
    manager_.ActivateView(&sheet, true);
    EXPECT_EQ(manager_.GetCurrentView(), &sheet);
    frame_->Show();
    for (bool held : {true, false}) {
        keys.ctrl = keys.shift = held;
        keys.ctrlAsked = keys.shiftAsked = 0;
        gui::Settle(350);
        // Three ticks of 100 ms, one at least however loaded the machine.
        EXPECT_GE(keys.ctrlAsked, 1) << held;
        EXPECT_GE(keys.shiftAsked, 1) << held;
        EXPECT_EQ(sheet.IsCtrlDown(), held);
        EXPECT_EQ(sheet.IsShiftDown(), held);
    }
    manager_.ActivateView(&sheet, false);
}

TEST_F(MainFrameTest, AHighlightedMenuItemShowsItsPromptTranslated) {
    FrenchTable french(std::vector<std::pair<std::string, std::string>>{
        {"Open an existing contact sheet or image file", "Ouvrir une planche ou une image"}});
    ASSERT_TRUE(french.ok());
    frame_->Show();
    gui::OnScreen(frame_);
    wxMenuBar* menus = frame_->GetMenuBar();
    ASSERT_TRUE(menus);
    wxMenu* owner = nullptr;
    ASSERT_TRUE(menus->FindItem(ToWxId(57601), &owner));
    // What the toolkit sends while the pointer moves over the item.
    wxMenuEvent highlight(wxEVT_MENU_HIGHLIGHT, ToWxId(57601), owner);
    highlight.SetEventObject(owner);
    frame_->GetEventHandler()->ProcessEvent(highlight);
    EXPECT_EQ(frame_->GetStatusBar()->GetStatusText(0), "Ouvrir une planche ou une image");
}

TEST_F(MainFrameTest, MenuPromptsAndStatusTextsAreShownTranslated) {
    FrenchTable french(std::vector<std::pair<std::string, std::string>>{
        {"Show or hide the Image Info", "Afficher ou masquer les infos"}});
    ASSERT_TRUE(french.ok());
    frame_->Show();
    frame_->DoGiveHelp("Show or hide the Image Info", true);
    EXPECT_EQ(frame_->GetStatusBar()->GetStatusText(0), "Afficher ou masquer les infos");
    frame_->SetStatusText("Not in the table");
    EXPECT_EQ(frame_->GetStatusBar()->GetStatusText(0), "Not in the table");
}

// The layout sizes a docked bar when its sash is dropped; a size beyond the
// bar's own limits is set back to the limit. The layout's minimum is set
// below the bar's here so that only the bar's clamp can stop it.
TEST_F(MainFrameTest, ADockedBarResizedPastItsLimitEndsAtTheBarsClamp) {
    auto& aui = static_cast<CBarDockManager&>(frame_->GetAuiManager());
    CImageSettings* bar = frame_->GetImageSettings();
    wxAuiPaneInfo& pane = aui.GetPane(bar);
    pane.Dock().Right().Show().MinSize(40, 40);
    aui.Update();
    frame_->Show();
    gui::OnScreen(bar);
    gui::Settle();
    bar->Geometry().minSize.cx = 150;
    // What the sash does on release: the dock's new size, then a layout.
    const struct {
        int dropped;
        int kept;
    } drops[] = {{300, 300}, {100, 150}, {60, 150}, {180, 180}};
    for (const auto& d : drops) {
        ASSERT_TRUE(aui.SetDockedExtent(aui.GetPane(bar), d.dropped));
        aui.Update();
        gui::WaitFor([&] { return bar->GetSize().x == d.kept; }, 2000);
        EXPECT_EQ(bar->GetSize().x, d.kept) << d.dropped;
        EXPECT_EQ(bar->Geometry().sizeVert.cx, d.kept) << d.dropped;
    }
    EXPECT_TRUE(aui.GetPane(bar).IsDocked());
}

// The same with the pointer: the sash dragged toward the frame's edge past
// the bar's limit.
TEST_F(MainFrameTest, ASashDraggedPastABarsLimitEndsAtTheBarsClamp) {
    wxAuiManager& aui = frame_->GetAuiManager();
    CImageSettings* bar = frame_->GetImageSettings();
    aui.GetPane(bar).Dock().Right().Show().MinSize(40, 40);
    aui.Update();
    frame_->Show();
    gui::OnScreen(bar);
    gui::Settle(200);
    bar->Geometry().minSize.cx = 150;
    const wxRect r = bar->GetScreenRect();
    ASSERT_GT(r.width, 150);
    // The sash lies just left of the pane's border.
    const wxPoint sash(r.x - 3, r.y + r.height / 2);
    wxUIActionSimulator sim;
    sim.MouseMove(sash);
    gui::Settle(60);
    sim.MouseDown();
    gui::Settle(60);
    for (int x = sash.x; x <= r.GetRight() - 60; x += 20) {
        sim.MouseMove(x, sash.y);
        gui::Settle(20);
    }
    sim.MouseMove(r.GetRight() - 60, sash.y);
    gui::Settle(60);
    sim.MouseUp();
    gui::WaitFor([&] { return bar->GetSize().x == 150; }, 2000);
    EXPECT_EQ(bar->GetSize().x, 150);
    EXPECT_EQ(bar->Geometry().sizeVert.cx, 150);
}

// A document window is a tab, not a top-level window: showing one and
// closing it leaves standard error empty.
TEST_F(MainFrameTest, ADocumentWindowShownAndClosedWritesNothingToStandardError) {
    class BlankView : public wxView {
    public:
        void OnDraw(wxDC*) override {}
    };
    frame_->Show();
    gui::OnScreen(frame_);
    StandardErrorCapture capture;
    auto* document = new wxDocument;
    auto* view = new BlankView;
    for (const char* title : {"Sheet", "Picture"}) {
        auto* child = new CChildFrame(document, view, frame_, title);
        view->SetFrame(child);
        child->Show();
        EXPECT_TRUE(gui::OnScreen(child)) << title;
        gui::Settle(100);
        child->Destroy();
        gui::Settle(100);
    }
    delete view;
    delete document;
    EXPECT_EQ(capture.Text(), "");
}

TEST_F(MainFrameTest, TheCropChoiceFollowsTheModeAndTheCustomLabel) {
    auto* choice = frame_->GetImageSettings()->GetCropChoice();
    frame_->State().crop.SetCustomRatio(1.5f, 2.0f);
    frame_->SetCropMode(8);
    EXPECT_EQ(choice->GetSelection(), 8);
    EXPECT_EQ(choice->GetString(8).utf8_string(), frame_->GetCustomCropLabel(59153));
    frame_->SetCropMode(12);
    EXPECT_EQ(frame_->State().crop.GetCropMode(), 0);
    EXPECT_EQ(choice->GetSelection(), 0);
}

// Choosing "Other..." in the bar opens the ratio dialog every time, also
// when it is the item shown already; the parts typed come back width first
// and the bar shows the whole label.
TEST_F(MainFrameTest, ChoosingOtherInTheBarAgainReopensTheRatioDialog) {
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
    // In the clang sanitizer build the drawn crop list does not open on the
    // synthesised click, so the key never reaches it; the plain build and the
    // program's own journey check the same road.
    GTEST_SKIP() << "the synthesised click does not open the list in the sanitizer build";
#endif
#endif
    frame_->State().crop.SetCustomRatio(2.0f, 1.5f);
    frame_->SetCropMode(8);
    // The bars float in a cascade; the ones above Image Controls step aside.
    wxAuiManager& aui = frame_->GetAuiManager();
    aui.GetPane("OutputHistogram").Hide();
    aui.GetPane("ImageInfo").Hide();
    aui.Update();
    frame_->Show();
    CImageSettings* bar = frame_->GetImageSettings();
    wxWindow* crop = bar->GetCropChoice();
    wxItemContainer* items = bar->GetCropChoice();
    ASSERT_TRUE(gui::OnScreen(crop));
    gui::Settle(200);
    // A click opens the list on the item shown; Enter chooses it.
    auto chooseShownItem = [crop] {
        gui::Click(crop);
        gui::Settle(200);
        gui::KeyHere(WXK_RETURN);
        gui::Settle(200);
    };
    int dialogs = 0;
    std::string shownParts;
    {
        gui::ModalScenario scenario([&](wxDialog* d) {
            ++dialogs;
            auto* width = dynamic_cast<wxTextCtrl*>(d->FindWindow(1175));
            auto* height = dynamic_cast<wxTextCtrl*>(d->FindWindow(1176));
            ASSERT_TRUE(width && height);
            shownParts = (width->GetValue() + " X " + height->GetValue()).utf8_string();
            width->SetValue("16");
            height->SetValue("9");
            gui::Click(d->FindWindow(wxID_OK));
            if (d->IsModal()) d->EndModal(wxID_CANCEL);
        });
        chooseShownItem();
        gui::WaitFor([&] { return dialogs == 1 && !wxDynamicCast(wxGetActiveWindow(), wxDialog); }, 3000);
    }
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(shownParts, ToLocaleDecimalPoint("1.5") + " X 2");
    EXPECT_FLOAT_EQ(frame_->State().crop.GetCustomWidthPart(), 16.0f);
    EXPECT_FLOAT_EQ(frame_->State().crop.GetCustomHeightPart(), 9.0f);
    // Width first, in the user's number format.
    const std::string label = "Other (" + ToUserNumberFormat("16", 2) + " X " + ToUserNumberFormat("9", 2) + ")...";
    EXPECT_EQ(items->GetString(8).utf8_string(), label);
    EXPECT_EQ(items->GetSelection(), 8);
    if (auto* combo = dynamic_cast<wxComboCtrl*>(crop)) {
        gui::Settle(100);
        EXPECT_LE(combo->GetTextExtent(items->GetString(8)).x, combo->GetTextRect().width)
            << "the label is cut";
    } else {
        ADD_FAILURE() << "the crop choice does not say how much text it shows";
    }
    {
        gui::ModalScenario scenario([&](wxDialog* d) {
            ++dialogs;
            d->EndModal(wxID_CANCEL);
        });
        chooseShownItem();
        gui::WaitFor([&] { return dialogs == 2; }, 3000);
    }
    EXPECT_EQ(dialogs, 2) << "choosing Other again did not open the dialog";
    EXPECT_EQ(frame_->State().crop.GetCropMode(), 8);
    EXPECT_EQ(items->GetString(8).utf8_string(), label);
}

} // namespace
