// The Printing Preferences dialog over the real main frame: what it shows
// on the first opening, OK changing the bars' docking at once, and Cancel
// leaving the settings file alone.
#include "CMainFrame.h"
#include "CPrintPreferences.h"
#include "GuiTest.h"
#include "MainFrameFixture.h"
#include "ProfileItemManager.h"
#include "WxCommandId.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/docview.h>
#include <wx/menu.h>
#include <wx/radiobut.h>

namespace {

class PrintPreferencesTest : public gui::MainFrameFixture {
protected:
    void SetUp() override {
        MainFrameFixture::SetUp();
        wxTheApp->SetTopWindow(frame_);
    }
    void TearDown() override {
        wxTheApp->SetTopWindow(nullptr);
        MainFrameFixture::TearDown();
    }
    bool Checked(wxDialog* d, int id) {
        wxWindow* w = d->FindWindow(id);
        if (auto* radio = dynamic_cast<wxRadioButton*>(w)) return radio->GetValue();
        if (auto* box = dynamic_cast<wxCheckBox*>(w)) return box->GetValue();
        ADD_FAILURE() << "no control " << id;
        return false;
    }
    void Press(wxDialog* d, int id) {
        gui::Click(d->FindWindow(id));
        // A click that did not arrive must not hang the test.
        if (d->IsModal()) gui::WaitFor([d] { return !d->IsModal(); }, 3000);
        if (d->IsModal()) d->EndModal(99);
    }
};

TEST_F(PrintPreferencesTest, TheFileMenuRunsItWithItsShortcut) {
    wxMenuItem* item = frame_->GetMenuBar()->FindItem(ToWxId(33130));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->GetItemLabel().utf8_string(), "Pri&nting Preferences...\tCtrl+Shift+K");
}

TEST_F(PrintPreferencesTest, FirstOpeningShowsSameAsViewAndDockingAndCancelWritesNothing) {
    ProfileItemManager().SetInt(PI_IMAGE_QUALITY_OPTION, 0);
    const std::string before = settings_.Read();
    ASSERT_NE(before.find("0"), std::string::npos);
    std::vector<bool> shown;
    std::string caption;
    gui::ModalScenario scenario([&](wxDialog* d) {
        caption = d->GetTitle().utf8_string();
        for (int id : {kPrintSizeSameAsView, kPrintSizeSmall, kPrintSizeMedium, kPrintSizeLarge, kPrintAllowDocking})
            shown.push_back(Checked(d, id));
        // Changed, then cancelled.
        static_cast<wxCheckBox*>(d->FindWindow(kPrintAllowDocking))->SetValue(false);
        static_cast<wxRadioButton*>(d->FindWindow(kPrintSizeLarge))->SetValue(true);
        Press(d, wxID_CANCEL);
    });
    CPrintPreferences dialog(frame_);
    EXPECT_EQ(dialog.ShowModal(), wxID_CANCEL);
    EXPECT_EQ(caption, "Printing Preferences");
    EXPECT_EQ(shown, (std::vector<bool>{true, false, false, false, true}));
    EXPECT_EQ(settings_.Read(), before);
    EXPECT_TRUE(frame_->GetAuiManager().GetPane("ImageInfo").IsLeftDockable());
}

TEST_F(PrintPreferencesTest, ClearingDockingAndOkFloatsTheBarsAndStopsDockingAtOnce) {
    wxAuiManager& aui = frame_->GetAuiManager();
    aui.GetPane("ImageControls").Dock().Left();
    aui.Update();
    ASSERT_FALSE(aui.GetPane("ImageControls").IsFloating());
    gui::ModalScenario scenario([&](wxDialog* d) {
        gui::Click(d->FindWindow(kPrintAllowDocking));
        gui::Click(d->FindWindow(kPrintSizeMedium));
        Press(d, wxID_OK);
    });
    CPrintPreferences dialog(frame_);
    EXPECT_EQ(dialog.ShowModal(), wxID_OK);
    for (const char* name : {"ImageInfo", "ImageControls", "OutputHistogram"}) {
        const wxAuiPaneInfo& pane = aui.GetPane(name);
        EXPECT_TRUE(pane.IsFloating()) << name;
        EXPECT_FALSE(pane.IsLeftDockable() || pane.IsRightDockable()) << name;
    }
    int docking = -1, size = -1;
    ProfileItemManager().GetInt(PI_ALLOW_DOCKING, docking);
    ProfileItemManager().GetInt(PI_CONTACT_SHEET_PRINT_SIZE, size);
    EXPECT_EQ(docking, 0);
    EXPECT_EQ(size, 2);
    // Opened again, it shows what was stored.
    std::vector<bool> shown;
    gui::ModalScenario again([&](wxDialog* d) {
        shown = {Checked(d, kPrintSizeMedium), Checked(d, kPrintAllowDocking)};
        Press(d, wxID_CANCEL);
    });
    CPrintPreferences second(frame_);
    second.ShowModal();
    EXPECT_EQ(shown, (std::vector<bool>{true, false}));
}

} // namespace
