#include "AppCommands.h"
#include "CFileBrowseDialog.h"
#include "CFileOpenDialog.h"
#include "CFileSaveDialog.h"
#include "COutputOptionsDlg.h"

#include "FakeShell.h"
#include "GuiTest.h"
#include "LocalizedText.h"
#include "ProfileItem.h"
#include "ProfileItemManager.h"
#include "RenameValidation.h"

#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/textctrl.h>

namespace {

// The settings every dialog here reads, written so that opening writes
// nothing (the working space is set and listed).
const char* kSettings =
    "[Last Used]\n"
    "RGB Working Space Output Mode=1\n"
    "RGB Working Space Name=ORVEX sRGB Display\n"
    "Save As Basename=Trip\n"
    "Save As Num Digits=2\n"
    "Save As Start From=1\n"
    "LastFileSaveAsDialogPath=/tmp\n"
    "[Somebody Else]\n"
    "x=1\n";

class PickerTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.Write(kSettings);
        settings.Install();
        MessageBoxService::SetCurrent(&boxes);
        std::filesystem::create_directories(settings.Dir() / "Photos");
        std::ofstream(settings.Dir() / "Photos" / "a.tif") << "x";
        SaveSelectedState::Get() = SaveSelectedState{};
    }
    void TearDown() override { MessageBoxService::SetCurrent(nullptr); }

    std::string Photos() const { return (settings.Dir() / "Photos").string(); }

    gui::TempSettings settings;
    FakeMessageBoxes boxes;
};

TEST_F(PickerTest, BrowsePickerAcceptsTheFolderOfTheSelectedFile) {
    const std::string before = settings.Read();
    CFileBrowseDialog picker(nullptr, settings.Dir().string());
    std::string buttonText;
    gui::ModalScenario scenario([&](wxDialog* d) {
        auto* dlg = static_cast<CFileBrowseDialog*>(d);
        dlg->SelectPath(Photos() + "/a.tif");
        buttonText = d->FindWindow(kPickerSaveFolderButton)->GetLabel().utf8_string();
        EXPECT_FALSE(d->FindWindow(wxID_OK)->IsShown());
        gui::Click(d->FindWindow(kPickerSaveFolderButton));
        if (d->IsModal()) gui::WaitFor([d] { return !d->IsModal(); }, 3000);
        if (d->IsModal()) d->EndModal(99);
    });
    EXPECT_EQ(picker.ShowModal(), wxID_CANCEL);
    EXPECT_EQ(buttonText, "Save Files in \"Photos\"");
    EXPECT_EQ(CFileBrowseDialog::folderChosen(), 1);
    EXPECT_EQ(CFileBrowseDialog::folderPath(), Photos());
    EXPECT_EQ(settings.Read(), before);
}

TEST_F(PickerTest, OpenDialogOpensOnlyExistingFilesAndCancelChoosesNothing) {
    const std::string before = settings.Read();
    CFileOpenDialog open(nullptr, "All|*.*||", Photos());
    gui::ModalScenario scenario([&](wxDialog* d) {
        EXPECT_EQ(d->FindWindow(kPickerOpenFolderButton)->GetLabel(), "Open \"Photos\" as Contact Sheet");
        // A file that does not exist is not opened.
        static_cast<wxTextCtrl*>(d->FindWindow(kPickerFileNameEdit))->ChangeValue("missing.tif");
        gui::Click(d->FindWindow(wxID_OK));
        EXPECT_TRUE(d->IsModal());
        gui::Click(d->FindWindow(wxID_CANCEL));
        if (d->IsModal()) gui::WaitFor([d] { return !d->IsModal(); }, 3000);
        if (d->IsModal()) d->EndModal(99);
    });
    EXPECT_EQ(open.ShowModal(), wxID_CANCEL);
    EXPECT_EQ(CFileOpenDialog::folderChosen(), 0);

    // An existing file opens with the dialog's own button.
    CFileOpenDialog again(nullptr, "All|*.*||", Photos());
    gui::ModalScenario opens([&](wxDialog* d) {
        static_cast<wxTextCtrl*>(d->FindWindow(kPickerFileNameEdit))->ChangeValue("a.tif");
        gui::Click(d->FindWindow(wxID_OK));
        if (d->IsModal()) gui::WaitFor([d] { return !d->IsModal(); }, 3000);
        if (d->IsModal()) d->EndModal(99);
    });
    EXPECT_EQ(again.ShowModal(), wxID_OK);
    EXPECT_EQ(again.GetPath(), Photos() + "/a.tif");
    EXPECT_EQ(settings.Read(), before);
}

// Enter in the name field opens the file it names, and the next Open starts
// in that file's folder, which the settings keep.
TEST_F(PickerTest, EnterInTheNameFieldOpensTheFileAndTheNextOpenStartsInItsFolder) {
    const std::string other = (settings.Dir() / "Other").string();
    std::filesystem::create_directories(other);
    std::ofstream(other + "/b.tif") << "x";
    ProfileItemManager().SetString(PI_LAST_FILE_OPEN_PATH, Photos());
    std::vector<std::string> opened;
    auto open = [&](const std::string& path) { opened.push_back(path); };
    {
        gui::ModalScenario scenario([&](wxDialog* d) {
            auto* name = static_cast<wxTextCtrl*>(d->FindWindow(kPickerFileNameEdit));
            name->ChangeValue(other + "/b.tif");
            gui::Key(name, WXK_RETURN);
            if (d->IsModal()) gui::WaitFor([d] { return !d->IsModal(); }, 3000);
            EXPECT_FALSE(d->IsModal()) << "Enter did not open the file";
            if (d->IsModal()) d->EndModal(wxID_CANCEL);
        });
        RunOpenCommand(nullptr, open);
    }
    EXPECT_EQ(opened, std::vector<std::string>{other + "/b.tif"});
    std::string stored;
    ProfileItemManager().GetString(PI_LAST_FILE_OPEN_PATH, stored);
    EXPECT_EQ(stored, other);

    std::string startedIn;
    {
        gui::ModalScenario scenario([&](wxDialog* d) {
            startedIn = static_cast<CFileOpenDialog*>(d)->GetPath();
            d->EndModal(wxID_CANCEL);
        });
        RunOpenCommand(nullptr, open);
    }
    EXPECT_EQ(startedIn, other);
    EXPECT_EQ(opened.size(), 1u);
}

TEST_F(PickerTest, SaveSelectedRejectsABadRenameAndCancelStoresNothing) {
    const std::string before = settings.Read();
    CFileSaveDialog::State().title = "Save Selected As";
    CFileSaveDialog::State().imageCount = 20;
    CFileSaveDialog save(nullptr, Photos());
    gui::ModalScenario scenario([&](wxDialog* d) {
        auto* dlg = static_cast<CFileSaveDialog*>(d);
        EXPECT_EQ(d->GetTitle(), "Save Selected As");
        EXPECT_EQ(static_cast<wxTextCtrl*>(d->FindWindow(kRenameBaseNameEdit))->GetValue(), "Trip");
        gui::Click(d->FindWindow(kRenameFilesBox));
        EXPECT_TRUE(d->FindWindow(kRenameDigitsEdit)->IsEnabled());
        auto* base = static_cast<wxTextCtrl*>(d->FindWindow(kRenameBaseNameEdit));
        base->ChangeValue("a:b");  // pasted: the field lets it in
        static_cast<wxTextCtrl*>(d->FindWindow(kRenameDigitsEdit))->ChangeValue("1");
        gui::Click(d->FindWindow(kPickerSaveFolderButton));
        EXPECT_TRUE(d->IsModal());
        EXPECT_EQ(wxWindow::FindFocus(), base);
        // As Is disables Open With and Options.
        dlg->SelectFilterIndex(3);
        EXPECT_FALSE(d->FindWindow(kSaveOpenWithBox)->IsEnabled());
        EXPECT_FALSE(d->FindWindow(kSaveOptionsButton)->IsEnabled());
        gui::Click(d->FindWindow(wxID_CANCEL));
        if (d->IsModal()) gui::WaitFor([d] { return !d->IsModal(); }, 3000);
        if (d->IsModal()) d->EndModal(99);
    });
    EXPECT_EQ(save.ShowModal(), wxID_CANCEL);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0], LoadTranslatedString(60017) + LoadTranslatedString(62064));
    EXPECT_EQ(CFileSaveDialog::folderChosen(), 0);
    EXPECT_EQ(settings.Read(), before);
}

TEST_F(PickerTest, SaveSelectedOpenWithBoxIsStoredWhenClicked) {
    FakeLauncher launcher("/usr/bin/gimp");
    CFileSaveDialog::State().imageCount = 2;
    CFileSaveDialog save(nullptr, Photos());
    gui::ModalScenario scenario([&](wxDialog* d) {
        EXPECT_EQ(d->FindWindow(kSaveOpenWithBox)->GetLabel(), "Open With \"gimp\"");
        gui::Click(d->FindWindow(kSaveOpenWithBox));
        gui::WaitFor([d] { return static_cast<wxCheckBox*>(d->FindWindow(kSaveOpenWithBox))->GetValue(); }, 2000);
        gui::Click(d->FindWindow(kPickerSaveFolderButton));
        if (d->IsModal()) gui::WaitFor([d] { return !d->IsModal(); }, 3000);
        if (d->IsModal()) d->EndModal(99);
    });
    save.ShowModal();
    EXPECT_NE(settings.Read().find("TIFF Open With=1"), std::string::npos);
    EXPECT_EQ(CFileSaveDialog::folderChosen(), 1);
    EXPECT_EQ(CFileSaveDialog::folderPath(), Photos());
}

TEST_F(PickerTest, PreferencesRejectAnInvalidPercentAndCancelStoresNothing) {
    const std::string before = settings.Read();
    COutputOptionsDlg prefs(nullptr);
    prefs.SetInitialFormat(kFormatJPEG);
    gui::ModalScenario scenario([&](wxDialog* d) {
        EXPECT_FALSE(d->FindWindow(kOptLinearMode)->IsEnabled());
        EXPECT_TRUE(d->FindWindow(kOptJpegBest)->IsEnabled());
        gui::Click(d->FindWindow(kOptResizeEnable));
        ASSERT_TRUE(gui::WaitFor([d] { return d->FindWindow(kOptPercent)->IsEnabled(); }, 2000));
        auto* percent = static_cast<wxTextCtrl*>(d->FindWindow(kOptPercent));
        percent->SelectAll();
        gui::Type(percent, "5");
        EXPECT_EQ(percent->GetValue(), "5");
        gui::Click(d->FindWindow(wxID_OK));
        EXPECT_TRUE(d->IsModal());
        EXPECT_EQ(wxWindow::FindFocus(), percent);
        // Typing into the sizes follows the proportions.
        auto* height = static_cast<wxTextCtrl*>(d->FindWindow(kOptPixelHeight));
        height->SetValue("1200");
        EXPECT_EQ(static_cast<wxTextCtrl*>(d->FindWindow(kOptPrintHeight))->GetValue(), "12");
        gui::Click(d->FindWindow(wxID_CANCEL));
        if (d->IsModal()) gui::WaitFor([d] { return !d->IsModal(); }, 3000);
        if (d->IsModal()) d->EndModal(99);
    });
    EXPECT_EQ(prefs.ShowModal(), wxID_CANCEL);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0], "Please enter an integer between 10 and 400.");
    EXPECT_EQ(settings.Read(), before);
}

TEST_F(PickerTest, PreferencesOkStoresTheValues) {
    COutputOptionsDlg prefs(nullptr);
    gui::ModalScenario scenario([&](wxDialog* d) {
        gui::Click(d->FindWindow(kOpt16Bit));
        gui::Click(d->FindWindow(wxID_OK));
        if (d->IsModal()) gui::WaitFor([d] { return !d->IsModal(); }, 3000);
        if (d->IsModal()) d->EndModal(99);
    });
    EXPECT_EQ(prefs.ShowModal(), wxID_OK);
    const std::string text = settings.Read();
    for (const char* line : {"TIFF 10-12 Bit=1", "resize percent=100", "TIFF Resolution=100",
                             "resize pixel width=640.000", "[Somebody Else]"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

} // namespace
