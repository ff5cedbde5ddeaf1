#include "CModelessMsgBox.h"
#include "CProgressDlg.h"
#include "CSaveMsgDlg.h"

#include "BusyDialog.h"
#include "GuiTest.h"
#include "MessagePump.h"
#include "StringIds.h"
#include "WxEnableTarget.h"
#include "WindowPlacementProfile.h"
#include "WxWindowPlacementTarget.h"
#include "FakeShell.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/frame.h>
#include <wx/stattext.h>

namespace {

class Owner {
public:
    Owner() : frame(new wxFrame(nullptr, wxID_ANY, "Owner", wxPoint(20, 20), wxSize(400, 300))) {
        frame->Show();
        wxTheApp->SetTopWindow(frame);
        gui::OnScreen(frame);
    }
    ~Owner() {
        wxTheApp->SetTopWindow(nullptr);
        frame->Destroy();
        gui::Settle(20);
    }
    wxFrame* frame;
};

TEST(ProgressDialog, CancelByClickStopsProgressAndGivesEverythingBack) {
    Owner owner;
    wxDialog busy(owner.frame, wxID_ANY, "Busy");
    WxEnableTarget busyTarget(&busy);
    BusyDialog = &busyTarget;
    auto* dlg = new CProgressDlg(0);
    EXPECT_FALSE(busy.IsEnabled());
    ASSERT_TRUE(dlg->Create(nullptr, true));
    EXPECT_EQ(dlg->GetTitle(), "Rendering Image");
    EXPECT_FALSE(owner.frame->IsEnabled());
    auto* percent = dynamic_cast<wxStaticText*>(dlg->FindWindow(kProgressPercent));
    ASSERT_NE(percent, nullptr);
    EXPECT_TRUE(dlg->Progress(10));
    EXPECT_EQ(percent->GetLabel(), "10%");

    gui::Click(dlg->FindWindow(wxID_CANCEL));
    ASSERT_TRUE(gui::WaitFor([&] { return dlg->Presenter().IsCancelled(); }));
    EXPECT_TRUE(dlg->IsShown());  // Cancel only asks
    EXPECT_FALSE(dlg->Progress(50));
    EXPECT_TRUE(dlg->IsWindowGone());
    EXPECT_FALSE(dlg->IsShown());
    EXPECT_TRUE(owner.frame->IsEnabled());
    EXPECT_TRUE(busy.IsEnabled());
    EXPECT_FALSE(dlg->Progress(60));
    delete dlg;
    ReenableBusyDialog();
}

TEST(ProgressDialog, CountsImagesAndPausesOnlyAtTheEnd) {
    Owner owner;
    CProgressDlg dlg(IDS_SAVING_FILES);
    ASSERT_TRUE(dlg.Create(owner.frame, false));
    EXPECT_FALSE(dlg.FindWindow(wxID_CANCEL)->IsShown());
    EXPECT_EQ(dlg.GetTitle(), "Saving File(s)");
    dlg.SetRange(0, 4);
    dlg.SetStep(1);
    auto* percent = dynamic_cast<wxStaticText*>(dlg.FindWindow(kProgressPercent));
    std::vector<wxString> texts;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(dlg.CheckCancelButton(), 0);
        dlg.StepIt();
        texts.push_back(percent->GetLabel());
    }
    EXPECT_EQ(texts, (std::vector<wxString>{"25%", "50%", "75%", "100%"}));
    dlg.SetRange(0, 100);
    const auto before = std::chrono::steady_clock::now();
    dlg.SetPos(100);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(125));
    EXPECT_EQ(percent->GetLabel(), "100%");
}

TEST(ProgressDialog, OwnerDisabledBySomeoneElseStaysDisabled) {
    Owner owner;
    owner.frame->Enable(false);
    {
        CProgressDlg dlg;
        ASSERT_TRUE(dlg.Create(owner.frame, true));
    }
    EXPECT_FALSE(owner.frame->IsEnabled());
    owner.frame->Enable(true);
}

TEST(MessagePump, RunsWhatWaitsOnceAndNeverNests) {
    std::vector<std::string> order;
    wxTheApp->CallAfter([&] {
        order.push_back("first");
        PumpMessages();  // inside a pump: does nothing
        order.push_back("first done");
    });
    wxTheApp->CallAfter([&] { order.push_back("second"); });
    PumpMessages();
    EXPECT_EQ(order, (std::vector<std::string>{"first", "first done", "second"}));
}

TEST(WindowPlacement, FrameSavedAndRestored) {
    FakeProfileStore store;
    wxFrame first(nullptr, wxID_ANY, "First", wxPoint(100, 80), wxSize(420, 300));
    first.Show();
    gui::OnScreen(&first);
    WxWindowPlacementTarget firstTarget(&first);
    WindowPlacementProfile().SaveFrom("MainFrame Position", firstTarget);
    EXPECT_EQ(store.values[FakeProfileStore::Key("MainFrame Position", "wp.showCmd")], "1");
    const wxRect saved = first.GetRect();

    wxFrame second(nullptr, wxID_ANY, "Second", wxPoint(0, 0), wxSize(200, 150));
    WxWindowPlacementTarget secondTarget(&second);
    WindowPlacementProfile profile;
    ASSERT_TRUE(profile.RestoreTo("MainFrame Position", secondTarget));
    EXPECT_EQ(second.GetSize(), saved.GetSize());
    EXPECT_EQ(profile.normal, (IntRect{saved.x, saved.y, saved.GetRight() + 1, saved.GetBottom() + 1}));
}

TEST(ModelessMessageBox, HoldsItsOwnerDisabledWhileItIsUp) {
    Owner owner;
    auto* box = new CModelessMsgBox(IDS_RENDERING_IMAGE);
    ASSERT_TRUE(box->Create());
    EXPECT_FALSE(owner.frame->IsEnabled());
    EXPECT_EQ(box->GetTitle(), "Zyn Lumora");
    EXPECT_EQ(box->FindWindow(kModelessMsgText)->GetLabel(), "Rendering Image");
    delete box;
    EXPECT_TRUE(owner.frame->IsEnabled());
}

TEST(SaveQuestionDialog, AnswersByClickAndYesToAllCarriesOver) {
    Owner owner;
    // One dialog serves a whole batch.
    CSaveMsgDlg dlg(owner.frame);
    dlg.noButtonText = "Skip";
    struct Case {
        int button;
        int answer;
        int yesToAll;
    } cases[] = {{kSaveQuestionYes, 1, 0}, {kSaveQuestionNo, 2, 0}, {kSaveQuestionYesToAll, 1, 1},
                 {kSaveQuestionNo, 2, 1}};
    for (const Case& c : cases) {
        dlg.message = "a.tif already exists.\nDo you want to replace it?";
        std::string shownText, noText;
        gui::ModalScenario scenario([&](wxDialog* d) {
            shownText = d->FindWindow(kSaveMsgText)->GetLabel().utf8_string();
            noText = d->FindWindow(kSaveQuestionNo)->GetLabel().utf8_string();
            gui::Click(d->FindWindow(c.button));
            // A click that did not arrive must not hang the test.
            if (d->IsModal()) gui::WaitFor([d] { return !d->IsModal(); }, 3000);
            if (d->IsModal()) d->EndModal(99);
        });
        EXPECT_EQ(dlg.DoModal(), c.answer) << c.button;
        EXPECT_EQ(dlg.yesToAll, c.yesToAll);
        EXPECT_EQ(noText, "Skip");
        EXPECT_NE(shownText.find("a.tif already exists."), std::string::npos);
    }
}

TEST(SaveQuestionDialog, EscapeAnswersNo) {
    Owner owner;
    CSaveMsgDlg dlg(owner.frame);
    gui::ModalScenario scenario([](wxDialog* d) {
        gui::Key(d->FindWindow(kSaveQuestionNo), WXK_ESCAPE);
        if (d->IsModal()) gui::WaitFor([d] { return !d->IsModal(); }, 3000);
        if (d->IsModal()) d->EndModal(99);
    });
    EXPECT_EQ(dlg.DoModal(), 2);
    EXPECT_EQ(dlg.yesToAll, 0);
}

} // namespace
