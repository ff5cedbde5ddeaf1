// Send To in real windows: the editor started with the written file as its
// one argument, the desktop's association when no editor is set, the batch's
// progress window over slow images with the user-interface thread kept
// responsive and Cancel heard, and the replace question's Cancel.
#include "CContactSheetDoc.h"
#include "CMainFrame.h"
#include "CSlideMountView.h"
#include "SheetSlides.h"
#include "CPreviewDoc.h"
#include "CProgressDlg.h"
#include "CSaveMsgDlg.h"
#include "CSendImageHandler.h"
#include "GioProgramLauncher.h"
#include "GuiTest.h"
#include "ColorEngine.h"
#include "ImagePool.h"
#include "InstalledImageKinds.h"
#include "LumoraDocManager.h"
#include "SendToMenuItem.h"
#include "WxCommandId.h"
#include "LocalizedText.h"
#include "ProfileItemManager.h"
#include "SendToFakes.h"
#include "ShellCommand.h"
#include "StringIds.h"
#include "Watchdog.h"
#include "WxSendImageUI.h"
#include "ProgramFrame.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/stattext.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace NimbalCore;
using namespace sendtest;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A program that writes how many arguments it got and each on a line.
fs::path WriteRecordingEditor(const fs::path& folder, const fs::path& record) {
    const fs::path script = folder / "record editor.sh";
    std::ofstream(script) << "#!/bin/sh\n{ echo \"$#\"; for a in \"$@\"; do echo \"$a\"; done; } > '"
                          << record.string() << ".part'\nmv '" << record.string() << ".part' '" << record.string()
                          << "'\n";
    fs::permissions(script, fs::perms::owner_all);
    return script;
}

CProgressDlg* ShownProgressWindow() {
    for (wxWindow* window : wxTopLevelWindows)
        if (auto* progress = dynamic_cast<CProgressDlg*>(window); progress && progress->IsShown()) return progress;
    return nullptr;
}

class SendToWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings_.Install();
        sendTo_ = settings_.Dir() / "Send To 100% sure";
        fs::create_directories(sendTo_);
        fs::create_directories(settings_.Dir() / "photos");
        ProfileItemManager pm;
        pm.SetString(PI_SEND_TO_FOLDER, sendTo_.string());
        pm.SetInt(PI_WORKING_SPACE_OUTPUT_MODE, 1);
    }
    std::unique_ptr<Slide> MakeSlide(const std::string& name) {
        return std::make_unique<Slide>((settings_.Dir() / "photos" / name).string());
    }
    std::string Target(const std::string& base) const { return (sendTo_ / (base + ".tif")).string(); }

    gui::TempSettings settings_;
    TargetKinds kinds_;
    fs::path sendTo_;
};

TEST_F(SendToWindowTest, EditorReceivesTheFullPathAsItsOneArgument) {
    const fs::path record = settings_.Dir() / "arguments";
    ProfileItemManager().SetString(PI_SEND_FILES_TO_PATH, WriteRecordingEditor(settings_.Dir(), record).string());
    auto slide = MakeSlide("beach final.zyr");
    WxSendImageUI ui;
    CSendImageHandler handler(ui);
    handler.SendImage(slide->rendering.get());
    ASSERT_EQ(handler.Succeeded(), 1);
    ASSERT_TRUE(gui::WaitFor([&] { return fs::exists(record); }, 10000));
    EXPECT_EQ(ReadText(record), "1\n" + Target("beach final") + "\n");

    // An editor that is gone is reported, naming the file and the editor.
    ProfileItemManager().SetString(PI_SEND_FILES_TO_PATH, (settings_.Dir() / "no such editor").string());
    EXPECT_FALSE(ProgramLauncher::Current().StartProgram((settings_.Dir() / "no such editor").string(), {"x"}));
}

// The desktop's association is read from the user's data and configuration
// folders, which GIO takes once per process: a child run of this program
// with folders of the test's own opens the file.
TEST_F(SendToWindowTest, WithoutAnEditorTheDesktopAssociationOpensTheFile) {
    if (const char* child = std::getenv("LUMORA_SEND_ASSOCIATION_FILE")) {
        EXPECT_TRUE(GioProgramLauncher().OpenWithAssociatedProgram(child));
        EXPECT_FALSE(GioProgramLauncher().OpenWithAssociatedProgram("relative/name.tif"));
        return;
    }
    const fs::path record = settings_.Dir() / "arguments";
    const fs::path editor = WriteRecordingEditor(settings_.Dir(), record);
    const fs::path data = settings_.Dir() / "data", config = settings_.Dir() / "config";
    fs::create_directories(data / "applications");
    fs::create_directories(config);
    std::ofstream(data / "applications" / "lumora-test-editor.desktop")
        << "[Desktop Entry]\nType=Application\nName=Recording editor\nExec=\"" << editor.string()
        << "\" %f\nMimeType=image/tiff;\nNoDisplay=true\n";
    std::ofstream(config / "mimeapps.list") << "[Default Applications]\nimage/tiff=lumora-test-editor.desktop\n";
    const std::string file = Target("sent");
    std::ofstream(file) << "II*";
    const std::string command = "env XDG_DATA_HOME='" + data.string() + "' XDG_CONFIG_HOME='" + config.string() +
                                "' LUMORA_SEND_ASSOCIATION_FILE='" + file +
                                "' /proc/" + std::to_string(::getpid()) +
                                "/exe --gtest_filter=SendToWindowTest.WithoutAnEditorTheDesktopAssociationOpensTheFile"
                                " > '" + (settings_.Dir() / "child.log").string() + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << ReadText(settings_.Dir() / "child.log");
    ASSERT_TRUE(gui::WaitFor([&] { return fs::exists(record); }, 10000));
    EXPECT_EQ(ReadText(record), "1\n" + file + "\n");
}

TEST_F(SendToWindowTest, SlowBatchShowsProgressStaysResponsiveAndCancelEndsAfterTheCurrentImage) {
    RecordingLauncher launcher;
    ProfileItemManager().SetString(PI_SEND_FILES_TO_PATH, "/usr/bin/true");
    std::vector<std::unique_ptr<Slide>> slides;
    std::vector<ImageRendering*> selection;
    bool progressSeen = false;
    std::string caption;
    for (int i = 1; i <= 5; ++i) {
        slides.push_back(MakeSlide(std::to_string(i) + ".zyr"));
        selection.push_back(slides.back()->rendering.get());
        // About 400 ms per image, with progress now and then.
        slides.back()->image->beforeRender = [&, i](ProgressCB* progress) {
            if (CProgressDlg* window = ShownProgressWindow()) {
                progressSeen = true;
                caption = window->GetTitle().utf8_string();
                // The user presses Cancel while the second image is written.
                if (i == 2) {
                    wxWindow* cancel = window->FindWindow(wxID_CANCEL);
                    wxUIActionSimulator sim;
                    sim.MouseMove(cancel->GetScreenRect().GetPosition() + wxPoint(cancel->GetSize().x / 2,
                                                                                  cancel->GetSize().y / 2));
                    sim.MouseClick();
                }
            }
            for (int step = 0; step < 10; ++step) {
                std::this_thread::sleep_for(std::chrono::milliseconds(40));
                if (progress) progress->Progress(step * 10);
            }
        };
    }
    gui::Settle(100);
    gui::Watchdog watchdog;
    gui::Settle(250);
    {
        WxSendImageUI ui;
        CSendImageHandler handler(ui);
        handler.SendImages(&selection);
    }
    gui::Settle(250);
    watchdog.Stop();
    EXPECT_TRUE(progressSeen);
    EXPECT_EQ(caption, LoadTranslatedString(IDS_SENDING_FILES));
    EXPECT_EQ(ShownProgressWindow(), nullptr);
    EXPECT_LT(watchdog.longest, gui::kLongestGap)
        << std::chrono::duration_cast<std::chrono::milliseconds>(watchdog.longest).count() << " ms";
    // The image written when Cancel came is complete and was sent; no later
    // one was begun.
    ASSERT_EQ(launcher.calls.size(), 2u);
    EXPECT_EQ(launcher.calls[1].arguments, std::vector<std::string>{Target("2")});
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(fs::exists(Target(std::to_string(i))), i <= 2) << i;
    int status = -1;
    const std::string info = lumora::test::RunCommand("tiffinfo '" + Target("2") + "' 2>&1", &status);
    EXPECT_EQ(status, 0) << info;
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(sendTo_)) names.push_back(e.path().filename().string());
    EXPECT_EQ(names.size(), 2u);
}

TEST_F(SendToWindowTest, ReplaceQuestionOffersCancelWhichKeepsTheFileAndTheSettings) {
    RecordingLauncher launcher;
    auto a = MakeSlide("a.zyr"), b = MakeSlide("b.zyr");
    std::ofstream(Target("a")) << "old";
    const std::string settingsBefore = settings_.Read();
    std::vector<std::string> buttons;
    wxString message;
    gui::ModalScenario scenario([&](wxDialog* dialog) {
        for (wxWindow* child : dialog->GetChildren())
            if (auto* button = dynamic_cast<wxButton*>(child)) buttons.push_back(button->GetLabel().utf8_string());
        if (auto* text = dynamic_cast<wxStaticText*>(dialog->FindWindow(kSaveMsgText))) message = text->GetLabel();
        gui::Click(dialog->FindWindow(kSaveQuestionNo));
    });
    std::vector<ImageRendering*> selection{a->rendering.get(), b->rendering.get()};
    WxSendImageUI ui;
    CSendImageHandler handler(ui);
    handler.SendImages(&selection);
    EXPECT_EQ(buttons, (std::vector<std::string>{"&Yes", "Yes to &All", "Cancel"}));
    EXPECT_NE(message.utf8_string().find(Target("a")), std::string::npos) << message;
    EXPECT_EQ(handler.Succeeded(), 0);
    EXPECT_EQ(ReadText(Target("a")), "old");
    EXPECT_FALSE(fs::exists(Target("b")));
    EXPECT_TRUE(launcher.calls.empty());
    EXPECT_EQ(ShownProgressWindow(), nullptr);
    EXPECT_EQ(settings_.Read(), settingsBefore);
}

using gui::CollectSlides;

// The menu command reaches the active document: the preview's image, then
// the contact sheet's selection (an empty entry skipped). Finished JPEG
// files need no rendering and go to the editor as their own files.
TEST(SendToCommand, PreviewAndContactSheetSendTheirImagesToTheEditor) {
    gui::TempSettings settings;
    settings.Install();
    RecordingLauncher launcher;
    const fs::path folder = settings.Dir() / "harbour";
    fs::create_directories(folder);
    const fs::path jpeg = folder / "harbour at dawn.jpg", second = folder / "quay.jpg";
    ASSERT_EQ(std::system(("convert -size 64x48 gradient:red-blue '" + jpeg.string() + "'").c_str()), 0);
    fs::copy_file(jpeg, second);
    ProfileItemManager().SetString(PI_SEND_FILES_TO_PATH, "/opt/editor/edit");
    ProfileItemManager().SetString(PI_SEND_TO_FOLDER, settings.Dir().string());
    LumoraDocManager* manager = nullptr;
    CMainFrame* frame = gui::StartProgramFrame(manager, false, 100);
    ASSERT_NE(frame, nullptr);
    wxDocument* doc = manager->CreateDocument(wxString::FromUTF8(jpeg.string()), wxDOC_SILENT);
    ASSERT_NE(dynamic_cast<CPreviewDoc*>(doc), nullptr);
    gui::Settle(200);
    wxCommandEvent send(wxEVT_MENU, ToWxId(kSendToCommand));
    frame->ProcessWindowEvent(send);
    ASSERT_EQ(launcher.calls.size(), 1u);
    EXPECT_EQ(launcher.calls[0].program, "/opt/editor/edit");
    EXPECT_EQ(launcher.calls[0].arguments, std::vector<std::string>{jpeg.string()});
    doc->DeleteAllViews();
    gui::Settle(100);

    launcher.calls.clear();
    auto* sheet = dynamic_cast<CContactSheetDoc*>(manager->CreateDocument(wxString::FromUTF8(folder.string()), wxDOC_SILENT));
    ASSERT_NE(sheet, nullptr);
    std::vector<CSlideMountView*> slides = gui::WaitForSlides(sheet->GetFirstView()->GetFrame(), 2);
    gui::Settle(100);
    ASSERT_EQ(slides.size(), 2u);
    sheet->Sheet().SelectSlide(slides[1]->Slide());
    sheet->Sheet().SelectSlide(nullptr);
    sheet->Sheet().SelectSlide(slides[0]->Slide());
    frame->ProcessWindowEvent(send);
    std::vector<std::string> sent;
    for (const auto& call : launcher.calls) sent.push_back(call.arguments.at(0));
    std::vector<std::string> expected{slides[1]->GetRendering()->GetImage()->Get()->GetFilePathSpec().GetPath(),
                                      slides[0]->GetRendering()->GetImage()->Get()->GetFilePathSpec().GetPath()};
    EXPECT_EQ(sent, expected);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, (std::vector<std::string>{jpeg.string(), second.string()}));
    frame->Close(true);
    gui::Settle(200);
    delete manager;
    NimbalCore::ImagePool::DeleteInstance();
}

} // namespace
