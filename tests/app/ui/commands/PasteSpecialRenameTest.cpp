// The Paste Special and Rename dialogs as windows, driven by clicks and
// typed keys, and the documents' commands around them: the previews reach
// the document (a recording stand-in), Cancel reverts and leaves the
// settings file as it was, a slow preview keeps the program responsive with
// its progress window, and Rename renames the files.
#include "BusyDialog.h"
#include "CDocumentBase.h"
#include "CMainFrame.h"
#include "CNumericEdit.h"
#include "CPasteSpecialDlg.h"
#include "CProgressDlg.h"
#include "CPreviewDoc.h"
#include "CRenameDlg.h"
#include "ColorEngine.h"
#include "CapabilityImage.h"
#include "FakeShell.h"
#include "GuiTest.h"
#include "ImagePool.h"
#include "ImageRendering.h"
#include "InstalledImageKinds.h"
#include "LocalizedText.h"
#include "LumoraDocManager.h"
#include "ProfileItemManager.h"
#include "Watchdog.h"
#include "WxCommandId.h"
#include "YlmErrp.h"
#include "ProgramFrame.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/frame.h>
#include <wx/log.h>
#include <wx/stattext.h>
#include <wx/timer.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

namespace {

namespace fs = std::filesystem;

// A document whose settings calls are recorded; its paste can be slow (with
// the progress window a re-render shows) or fail.
class RecordingDocument : public CDocumentBase {
public:
    std::vector<NimbalCore::ImageRendering*> GetSelectedRenderings() override { return selected; }
    Kind CommandKind() override { return Kind::kPreview; }
    bool ApplyProcessParams(const NimbalCore::ImageProcessParam&, NimbalCore::ImageRendering*) override {
        return false;
    }
    void BeginUndo(int undoId, int redoId, bool params, bool iptc, bool tags, bool annotation,
                   bool names) override {
        std::string call = "begin " + std::to_string(undoId) + " " + std::to_string(redoId) + " keeps";
        for (bool keep : {params, iptc, tags, annotation, names}) call += keep ? " 1" : " 0";
        calls.push_back(call);
    }
    void EndUndo() override { calls.push_back("end"); }
    bool PasteSettings(const std::vector<int>& groups) override {
        std::string call = "paste";
        for (int g : groups) call += " " + std::to_string(g);
        calls.push_back(call);
        dialogWasEnabled = dialogWasEnabled || (dialog && dialog->IsEnabled());
        busyWasSet = busyWasSet || BusyDialog != nullptr;
        if (failNext) {
            failNext = false;
            YLM_THROW("RecordingDocument::PasteSettings", 1711);
        }
        if (slowSteps) {
            CProgressDlg progress;
            if (progress.Create(nullptr, true)) {
                progressShown = progressShown || progress.IsShown();
                for (int i = 1; i <= slowSteps; ++i) {
                    wxMilliSleep(50);
                    progress.Progress(i * 100 / slowSteps);
                }
                progress.DestroyWindow();
            }
        }
        return true;
    }
    void RevertLastUndo(bool pop) override { calls.push_back(pop ? "revert pop" : "revert"); }
    void RevertGroupsOfLastUndo(const std::vector<int>& groups) override {
        std::string call = "revert groups";
        for (int g : groups) call += " " + std::to_string(g);
        calls.push_back(call);
    }

    std::vector<NimbalCore::ImageRendering*> selected;
    std::vector<std::string> calls;
    wxWindow* dialog = nullptr;
    bool dialogWasEnabled = false;
    bool busyWasSet = false;
    bool failNext = false;
    bool progressShown = false;
    int slowSteps = 0;
};

// Keeps what the program logs instead of showing it.
class CapturedLog : public wxLog {
public:
    CapturedLog() : previous_(wxLog::SetActiveTarget(this)) {}
    ~CapturedLog() override { wxLog::SetActiveTarget(previous_); }
    std::vector<std::string> errors;

protected:
    void DoLogRecord(wxLogLevel level, const wxString& text, const wxLogRecordInfo&) override {
        if (level == wxLOG_Error) errors.push_back(text.utf8_string());
    }

private:
    wxLog* previous_;
};

class AnsweringBoxes : public MessageBoxService {
public:
    AnsweringBoxes() { MessageBoxService::SetCurrent(this); }
    ~AnsweringBoxes() override { MessageBoxService::SetCurrent(nullptr); }
    int Show(const std::string& text, const std::string&, Buttons) override {
        shown.push_back(text);
        return answer;
    }
    std::vector<std::string> shown;
    int answer = kAnswerCancel;
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings_.Install();
        owner_ = new wxFrame(nullptr, wxID_ANY, "Owner", wxPoint(20, 20), wxSize(400, 300));
        owner_->Show();
        wxTheApp->SetTopWindow(owner_);
        gui::OnScreen(owner_);
    }
    void TearDown() override {
        wxTheApp->SetTopWindow(nullptr);
        owner_->Destroy();
        gui::Settle(20);
        BusyDialog = nullptr;
    }
    static bool Ticked(wxDialog* d, int id) { return static_cast<wxCheckBox*>(d->FindWindow(id))->GetValue(); }
    // Presses a button or box and, for a button that ends the dialog, makes
    // sure a lost click cannot hang the test.
    static void Press(wxDialog* d, int id) { gui::Click(d->FindWindow(id)); }
    static void End(wxDialog* d, int id) {
        gui::Click(d->FindWindow(id));
        if (d->IsModal()) gui::WaitFor([d] { return !d->IsModal(); }, 3000);
        if (d->IsModal()) d->EndModal(99);
    }
    // Replaces a field's text by typed keys.
    static void Retype(wxDialog* d, int id, const char* text) {
        auto* edit = static_cast<wxTextCtrl*>(d->FindWindow(id));
        gui::Focus(edit);
        edit->SelectAll();
        gui::TypeHere(text);
    }
    static std::string Message(wxDialog* d) {
        wxString text = d->FindWindow(kRenameMessage)->GetLabel();
        text.Replace("\n", " ");
        return text.utf8_string();
    }
    static std::string Text(wxDialog* d, int id) {
        return static_cast<wxTextCtrl*>(d->FindWindow(id))->GetValue().utf8_string();
    }
    static bool Red(wxDialog* d, int id) {
        auto* edit = static_cast<CNumericEdit*>(d->FindWindow(id));
        return !edit->IsValid() && edit->GetForegroundColour() == *wxRED;
    }

    gui::TempSettings settings_;
    wxFrame* owner_ = nullptr;
};

class PasteSpecialTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        image_ = new CapabilityImage;
        rendering_ = std::make_unique<NimbalCore::ImageRendering>(NimbalCore::ImageRef(image_),
                                                                  NimbalCore::ImageProcessParam());
        document_.selected = {rendering_.get()};
    }
    RecordingDocument document_;
    CapabilityImage* image_ = nullptr;
    std::unique_ptr<NimbalCore::ImageRendering> rendering_;
};

TEST_F(PasteSpecialTest, PreviewFollowsTheBoxesAndCancelRevertsWithTheSettingsFileUntouched) {
    ProfileItemManager().SetInt(PI_IMAGE_QUALITY_OPTION, 0);
    const std::string before = settings_.Read();
    std::vector<bool> firstTicks;
    std::string caption;
    gui::ModalScenario scenario([&](wxDialog* d) {
        caption = d->GetTitle().utf8_string();
        for (const auto& box : PasteSpecialPresenter::GroupBoxes()) firstTicks.push_back(Ticked(d, box.boxId));
        firstTicks.push_back(Ticked(d, kPastePreview));
        Press(d, kPasteTone);
        Press(d, kPasteLook);
        Press(d, kPastePreview);  // pastes Tone and Look
        Press(d, kPasteLook);     // takes Look back alone
        Press(d, kPasteLook);     // pastes Tone and Look again
        Press(d, kPasteSelectNone);
        End(d, wxID_CANCEL);
    });
    document_.RunPasteSpecial();
    EXPECT_EQ(caption, "Paste Special");
    EXPECT_EQ(firstTicks, std::vector<bool>(12, false));
    EXPECT_EQ(document_.calls, (std::vector<std::string>{"begin 62124 62125 keeps 1 1 1 0 0", "paste 3 5", "revert groups 5",
                                                         "paste 3 5", "revert", "revert pop"}));
    EXPECT_EQ(settings_.Read(), before);
    EXPECT_FALSE(document_.IsDialogActive());
}

TEST_F(PasteSpecialTest, OkPastesTheTickedGroupsAndTheNextOpeningTicksThemWithoutPreview) {
    gui::ModalScenario scenario([&](wxDialog* d) {
        Press(d, kPasteLook);
        Press(d, kPasteCrop);
        Press(d, kPastePreview);
        End(d, wxID_OK);
    });
    document_.RunPasteSpecial();
    EXPECT_EQ(document_.calls, (std::vector<std::string>{"begin 62124 62125 keeps 1 1 1 0 0", "paste 0 5", "paste 0 5", "end"}));
    int crop = 0, look = 0, tone = 1;
    ProfileItemManager().GetInt(PI_PASTE_SPECIAL_CROP, crop);
    ProfileItemManager().GetInt(PI_PASTE_SPECIAL_LOOK, look);
    ProfileItemManager().GetInt(PI_PASTE_SPECIAL_TONE, tone);
    EXPECT_EQ(std::vector<int>({crop, look, tone}), std::vector<int>({1, 1, 0}));

    std::vector<bool> ticks;
    gui::ModalScenario again([&](wxDialog* d) {
        ticks = {Ticked(d, kPasteCrop), Ticked(d, kPasteLook), Ticked(d, kPasteTone), Ticked(d, kPastePreview)};
        End(d, wxID_CANCEL);
    });
    CPasteSpecialDlg dialog(nullptr, 0, owner_);
    EXPECT_EQ(dialog.ShowModal(), wxID_CANCEL);
    EXPECT_EQ(ticks, (std::vector<bool>{true, true, false, false}));
}

// Runs an action once a condition holds, polled by the running event loop.
class WhenReady : public wxTimer {
public:
    WhenReady(std::function<bool()> ready, std::function<void()> action)
        : ready_(std::move(ready)), action_(std::move(action)) {
        Start(50);
    }
    void Notify() override {
        if (!action_ || !ready_()) return;
        Stop();
        auto action = std::move(action_);
        action_ = nullptr;
        action();
    }

private:
    std::function<bool()> ready_;
    std::function<void()> action_;
};

TEST_F(PasteSpecialTest, ASlowPreviewShowsItsProgressWindowAndTheProgramStaysResponsive) {
    document_.slowSteps = 24;
    gui::Watchdog watchdog;
    bool enabledAfter = false;
    std::unique_ptr<WhenReady> finish;
    gui::ModalScenario scenario([&](wxDialog* d) {
        document_.dialog = d;
        Press(d, kPasteSharpening);
        // Preview is ticked as a click would, and the click is left to the
        // dialog's own event loop, where the program meets it.
        static_cast<wxCheckBox*>(d->FindWindow(kPastePreview))->SetValue(true);
        auto* click = new wxCommandEvent(wxEVT_CHECKBOX, kPastePreview);
        click->SetEventObject(d->FindWindow(kPastePreview));
        click->SetInt(1);
        d->FindWindow(kPastePreview)->GetEventHandler()->QueueEvent(click);
        finish = std::make_unique<WhenReady>(
            [&, d] { return document_.calls.size() >= 2 && d->IsEnabled(); },
            [&, d] {
                enabledAfter = d->IsEnabled() && BusyDialog == nullptr;
                End(d, wxID_CANCEL);
            });
    });
    document_.RunPasteSpecial();
    watchdog.Stop();
    EXPECT_EQ(document_.calls, (std::vector<std::string>{"begin 62124 62125 keeps 1 1 1 0 0", "paste 7", "revert pop"}));
    EXPECT_TRUE(document_.progressShown);
    EXPECT_FALSE(document_.dialogWasEnabled) << "the dialog is disabled while the document works";
    EXPECT_TRUE(document_.busyWasSet);
    EXPECT_TRUE(enabledAfter);
    EXPECT_LT(watchdog.longest, gui::kLongestGap)
        << std::chrono::duration_cast<std::chrono::milliseconds>(watchdog.longest).count() << " ms";
}

TEST_F(PasteSpecialTest, AFailedPreviewReachesTheCommandWhichRevertsAndReports) {
    CapturedLog log;
    bool modalAfterFailure = true;
    gui::ModalScenario scenario([&](wxDialog* d) {
        Press(d, kPasteTone);
        document_.failNext = true;
        gui::Click(d->FindWindow(kPastePreview));
        gui::WaitFor([d] { return !d->IsModal(); }, 3000);
        modalAfterFailure = d->IsModal();
        if (d->IsModal()) d->EndModal(99);
    });
    document_.RunPasteSpecial();
    EXPECT_FALSE(modalAfterFailure);
    EXPECT_EQ(document_.calls, (std::vector<std::string>{"begin 62124 62125 keeps 1 1 1 0 0", "paste 3", "revert pop"}));
    EXPECT_EQ(BusyDialog, nullptr);
    ASSERT_EQ(log.errors.size(), 1u);
    EXPECT_NE(log.errors[0].find("1711"), std::string::npos);
    EXPECT_FALSE(document_.IsDialogActive());

    // The dialog by itself hands the failure on from ShowModal, enabled.
    bool enabled = false;
    gui::ModalScenario again([&](wxDialog* d) {
        Press(d, kPasteTone);
        Press(d, kPastePreview);
        document_.failNext = true;
        gui::Click(d->FindWindow(kPasteLook));
        gui::WaitFor([d] { return !d->IsModal(); }, 3000);
        enabled = d->IsEnabled();
        if (d->IsModal()) d->EndModal(99);
    });
    CPasteSpecialDlg dialog(&document_, 0, owner_);
    EXPECT_THROW(dialog.ShowModal(), YlmErrp);
    EXPECT_TRUE(enabled);
    EXPECT_EQ(BusyDialog, nullptr);
}

class RenameTest : public DialogTest {};

TEST_F(RenameTest, AHundredAndFiftyImagesOpenWithThreeDigitsAndTypingTwoIsRefused) {
    ProfileItemManager().SetInt(PI_SAVE_AS_NUM_DIGITS, 2);
    ProfileItemManager().SetInt(PI_SAVE_AS_START_FROM, 1);
    ProfileItemManager().SetString(PI_SAVE_AS_BASENAME, "Shoot");
    const std::string before = settings_.Read();
    std::string opened, preview, message;
    bool red = false, renameEnabled = true;
    gui::ModalScenario scenario([&](wxDialog* d) {
        opened = Text(d, kRenameDigits);
        preview = Text(d, kRenamePreview);
        Retype(d, kRenameDigits, "2");
        message = Message(d);
        red = Red(d, kRenameDigits) && !Red(d, kRenameStart);
        renameEnabled = d->FindWindow(wxID_OK)->IsEnabled();
        End(d, wxID_CANCEL);
    });
    CRenameDlg dialog(150, "DSC0001", ".ZYR", owner_);
    EXPECT_EQ(dialog.ShowModal(), wxID_CANCEL);
    EXPECT_EQ(opened, "3");
    EXPECT_EQ(preview, "Shoot001.ZYR");
    EXPECT_EQ(message, LoadTranslatedString(IDS_RENAME_DIGITS_FOR_COUNT));
    EXPECT_TRUE(red);
    EXPECT_FALSE(renameEnabled);
    EXPECT_EQ(settings_.Read(), before);
}

TEST_F(RenameTest, StartTooLargeForTwoDigitsShowsTheLaterMessageWithBothFieldsRed) {
    ProfileItemManager().SetInt(PI_SAVE_AS_NUM_DIGITS, 3);
    ProfileItemManager().SetInt(PI_SAVE_AS_START_FROM, 100);
    std::string message;
    bool bothRed = false;
    gui::ModalScenario scenario([&](wxDialog* d) {
        Retype(d, kRenameDigits, "2");
        message = Message(d);
        bothRed = Red(d, kRenameDigits) && Red(d, kRenameStart);
        End(d, wxID_CANCEL);
    });
    CRenameDlg dialog(5, "DSC0001", ".ZYR", owner_);
    dialog.ShowModal();
    EXPECT_EQ(message, LoadTranslatedString(IDS_RENAME_DIGITS_FOR_START));
    EXPECT_TRUE(bothRed);
}

TEST_F(RenameTest, TwoStarsAreRefusedAndThePreviewKeepsItsLastValidName) {
    ProfileItemManager().SetInt(PI_SAVE_AS_NUM_DIGITS, 3);
    ProfileItemManager().SetInt(PI_SAVE_AS_START_FROM, 0);
    std::string valid, afterStars, message;
    bool renameEnabled = true;
    gui::ModalScenario scenario([&](wxDialog* d) {
        Retype(d, kRenameBaseName, "a*b");
        valid = Text(d, kRenamePreview);
        gui::TypeHere("*c");
        afterStars = Text(d, kRenamePreview);
        message = Message(d);
        renameEnabled = d->FindWindow(wxID_OK)->IsEnabled();
        End(d, wxID_CANCEL);
    });
    CRenameDlg dialog(4, "x", ".zyr", owner_);
    dialog.ShowModal();
    EXPECT_EQ(valid, "a000b.zyr");
    EXPECT_EQ(afterStars, "a000b.zyr");
    EXPECT_EQ(message, LoadTranslatedString(IDS_RENAME_STARS));
    EXPECT_FALSE(renameEnabled);
}

TEST_F(RenameTest, OneImageAsksBeforeItsExtensionChangesButNotForAnotherCase) {
    AnsweringBoxes boxes;
    bool stillOpen = false;
    gui::ModalScenario scenario([&](wxDialog* d) {
        Retype(d, kRenameBaseName, "img2.tif");
        gui::Click(d->FindWindow(wxID_OK));
        stillOpen = d->IsModal();  // Cancel to the question keeps the dialog
        Retype(d, kRenameBaseName, "img2.zyr");
        End(d, wxID_OK);
    });
    CRenameDlg dialog(1, "IMG_0001.ZYR", ".ZYR", owner_);
    EXPECT_EQ(dialog.ShowModal(), wxID_OK);
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0], LoadTranslatedString(IDS_RENAME_EXTENSION_CHANGE));
    EXPECT_EQ(dialog.GetBaseName(), "img2.zyr");
}

TEST_F(RenameTest, StartZeroOpensCleanAndNumbersFromZero) {
    ProfileItemManager().SetInt(PI_SAVE_AS_NUM_DIGITS, 1);
    ProfileItemManager().SetInt(PI_SAVE_AS_START_FROM, 0);
    std::string preview, message;
    gui::ModalScenario scenario([&](wxDialog* d) {
        Retype(d, kRenameBaseName, "B");
        preview = Text(d, kRenamePreview);
        message = Message(d);
        End(d, wxID_OK);
    });
    CRenameDlg dialog(3, "x", ".tif", owner_);
    EXPECT_EQ(dialog.ShowModal(), wxID_OK);
    EXPECT_EQ(preview, "B0.tif");
    EXPECT_EQ(message, "");
    EXPECT_EQ(dialog.GetStartFrom(), 0);
}

// The command over real files: three images become Shoot09, Shoot10 and
// Shoot11 with their own extensions, and the numbering continues at 12.
TEST_F(RenameTest, TheRenameCommandRenamesTheSelectedFilesAndContinuesTheNumbering) {
    const fs::path folder = settings_.Dir() / "shoot";
    fs::create_directories(folder);
    const char* names[] = {"a.ZYR", "b.jpg", "c.tif"};
    RecordingDocument document;
    std::vector<std::unique_ptr<NimbalCore::ImageRendering>> renderings;
    for (const char* name : names) {
        std::ofstream(folder / name) << name;
        auto* image = new coretest::FakeImage((folder / name).string());
        renderings.push_back(std::make_unique<NimbalCore::ImageRendering>(NimbalCore::ImageRef(image),
                                                                          NimbalCore::ImageProcessParam()));
        document.selected.push_back(renderings.back().get());
    }
    ProfileItemManager().SetInt(PI_SAVE_AS_NUM_DIGITS, 2);
    ProfileItemManager().SetInt(PI_SAVE_AS_START_FROM, 9);
    const std::string before = settings_.Read();

    gui::ModalScenario cancel([&](wxDialog* d) { End(d, wxID_CANCEL); });
    document.OnRename();
    EXPECT_TRUE(fs::exists(folder / "a.ZYR") && fs::exists(folder / "b.jpg") && fs::exists(folder / "c.tif"));
    EXPECT_EQ(settings_.Read(), before);

    gui::ModalScenario scenario([&](wxDialog* d) {
        Retype(d, kRenameBaseName, "Shoot");
        End(d, wxID_OK);
    });
    document.OnRename();
    for (const char* name : {"Shoot09.ZYR", "Shoot10.jpg", "Shoot11.tif"}) EXPECT_TRUE(fs::exists(folder / name)) << name;
    EXPECT_FALSE(fs::exists(folder / "a.ZYR"));
    int start = 0, digits = 0;
    std::string base;
    ProfileItemManager().GetInt(PI_SAVE_AS_START_FROM, start);
    ProfileItemManager().GetInt(PI_SAVE_AS_NUM_DIGITS, digits);
    ProfileItemManager().GetString(PI_SAVE_AS_BASENAME, base);
    EXPECT_EQ(start, 12);
    EXPECT_EQ(digits, 2);
    EXPECT_EQ(base, "Shoot");
}

} // namespace

// The main frame's Edit menu reaches the active document's Rename command:
// a preview of a JPEG file offers the file's whole name.
TEST(DocumentCommands, TheEditMenuOpensRenameForThePreviewedImage) {
    gui::TempSettings settings;
    settings.Install();
    const fs::path jpeg = settings.Dir() / "Beach Day.jpg";
    ASSERT_EQ(std::system(("convert -size 64x48 xc:navy '" + jpeg.string() + "'").c_str()), 0);
    LumoraDocManager* manager = nullptr;
    CMainFrame* frame = gui::StartProgramFrame(manager, true, 100);
    ASSERT_NE(frame, nullptr);
    for (int command : {33196, 33106}) EXPECT_NE(frame->GetMenuBar()->FindItem(ToWxId(command)), nullptr) << command;

    wxDocument* doc = manager->CreateDocument(wxString::FromUTF8(jpeg.string()), wxDOC_SILENT);
    ASSERT_NE(dynamic_cast<CPreviewDoc*>(doc), nullptr);
    gui::Settle(200);
    std::string caption, name;
    bool numbersShown = true;
    gui::ModalScenario scenario([&](wxDialog* d) {
        caption = d->GetTitle().utf8_string();
        name = static_cast<wxTextCtrl*>(d->FindWindow(kRenameBaseName))->GetValue().utf8_string();
        numbersShown = d->FindWindow(kRenameDigits)->IsShown();
        d->EndModal(wxID_CANCEL);
    });
    wxCommandEvent command(wxEVT_MENU, ToWxId(33106));
    frame->ProcessWindowEvent(command);
    EXPECT_EQ(caption, "Rename");
    EXPECT_EQ(name, "Beach Day.jpg");
    EXPECT_FALSE(numbersShown);
    EXPECT_TRUE(fs::exists(jpeg));

    wxTheApp->SetTopWindow(nullptr);
    frame->Close(true);
    gui::Settle(200);
    delete manager;
    NimbalCore::ImagePool::DeleteInstance();
}
