// Send To headless: which file goes to the editor, the target's name, the
// colour mode a rendered image is written with, the batch's questions and
// progress, replacing and failing without losing the photographer's files,
// and the launch of the editor. Files are written by the real TIFF exporter
// and read back by tiffinfo and exiftool.
#include "CSendImageHandler.h"

#include "ColorEngine.h"
#include "FakeShell.h"
#include "ImagePool.h"
#include "ImageWerks.h"
#include "LocalizedText.h"
#include "NbErrorCodes.h"
#include "ProfileItemManager.h"
#include "SendToFakes.h"
#include "ShellCommand.h"
#include "StringIds.h"
#include "TextSubstitution.h"
#include "YlmErrp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace NimbalCore;
using namespace sendtest;
using lumora::test::HaveTool;
using lumora::test::RunCommand;

constexpr const char* kEditor = "/opt/editor/bin/edit";

std::vector<uint8_t> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// The windows, answered from a script and logged in order.
class FakeSendUI : public SendImageUI {
public:
    enum Answer { Yes, YesToAll, Second };

    class FakeQuestion : public Question {
    public:
        explicit FakeQuestion(FakeSendUI& ui) : ui_(ui) {}
        void SetSecondButtonText(const std::string& text) override { second = text; }
        int Ask(const std::string& message) override {
            const bool overwrite = second == LoadTranslatedString(IDS_SEND_TO_CANCEL);
            ui_.log.push_back(overwrite ? "replace?" : "failed?");
            (overwrite ? ui_.overwriteAsked : ui_.failureAsked).push_back(message);
            std::deque<Answer>& answers = overwrite ? ui_.overwriteAnswers : ui_.failureAnswers;
            Answer answer = Second;
            if (!answers.empty()) {
                answer = answers.front();
                answers.pop_front();
            }
            if (answer == FakeSendUI::YesToAll) yesToAll = true;
            return answer == Second ? 2 : 1;
        }
        bool YesToAll() const override { return yesToAll; }
        std::string second = "No";
        bool yesToAll = false;

    private:
        FakeSendUI& ui_;
    };

    class FakeProgress : public Progress {
    public:
        explicit FakeProgress(FakeSendUI& ui) : ui_(ui) {}
        bool CancelPressed() override { return ui_.cancelBeforeEntry == looks_++; }
        void Step() override {
            ui_.log.push_back("step");
            if (ui_.onStep) ui_.onStep();
        }
        void Close() override { ui_.log.push_back("close"); }
        void KeepResponsive() override { ++ui_.pumps; }

    private:
        FakeSendUI& ui_;
        int looks_ = 0;
    };

    void BeginWaitCursor() override { log.push_back("wait"); }
    void RestoreWaitCursor() override { log.push_back("restore"); }
    void EndWaitCursor() override { log.push_back("end"); }
    std::unique_ptr<Question> MakeQuestion() override { return std::make_unique<FakeQuestion>(*this); }
    std::unique_ptr<Progress> MakeProgress(int captionId, int entries) override {
        log.push_back("progress " + std::to_string(captionId) + " 0.." + std::to_string(entries));
        return std::make_unique<FakeProgress>(*this);
    }
    void Pause(int milliseconds) override { log.push_back("pause " + std::to_string(milliseconds)); }

    size_t Count(const std::string& entry) const { return size_t(std::count(log.begin(), log.end(), entry)); }

    std::vector<std::string> log;
    std::deque<Answer> overwriteAnswers, failureAnswers;
    std::vector<std::string> overwriteAsked, failureAsked;
    int cancelBeforeEntry = -1;
    int pumps = 0;
    std::function<void()> onStep;
};

class SendImageHandlerTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        root_ = fs::temp_directory_path() / ("lumora-send-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        fs::remove_all(root_);
        fs::create_directories(root_ / "photos");
        fs::create_directories(root_ / "send to");
        ProfileItemManager pm;
        pm.SetString(PI_SEND_TO_FOLDER, Folder());
        pm.SetString(PI_SEND_FILES_TO_PATH, kEditor);
        pm.SetInt(PI_WORKING_SPACE_OUTPUT_MODE, 1);
        pm.SetInt(PI_TIFF_16_BIT, 0);
        pm.SetInt(PI_EMBED_PROFILE_TIFF, 0);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(root_ / "send to", fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(root_, ec);
    }

    std::string Folder() const { return (root_ / "send to").string(); }
    std::string Target(const std::string& base) const { return Folder() + "/" + base + ".tif"; }
    std::string Source(const std::string& name) const { return (root_ / "photos" / name).string(); }
    std::unique_ptr<Slide> MakeSlide(const std::string& name, int colorMode = 0) {
        return std::make_unique<Slide>(Source(name), colorMode);
    }
    // The files in the send-to folder, hidden ones too.
    std::vector<std::string> Written() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(root_ / "send to")) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    void SendAll(const std::vector<ImageRendering*>& selection) {
        CSendImageHandler handler(ui);
        handler.SendImages(&selection);
        succeeded = handler.Succeeded();
    }
    void SendOne(ImageRendering* rendering) {
        CSendImageHandler handler(ui);
        handler.SendImage(rendering);
        succeeded = handler.Succeeded();
    }
    std::vector<std::string> Launched() const {
        std::vector<std::string> files;
        for (const auto& call : launcher.calls) {
            EXPECT_EQ(call.arguments.size(), 1u);
            files.push_back(call.arguments.empty() ? "" : call.arguments[0]);
        }
        return files;
    }

    fs::path root_;
    FakeProfileStore store;
    ScriptedBoxes boxes;
    RecordingLauncher launcher;
    TargetKinds kinds;
    FakeSendUI ui;
    int succeeded = -1;
};

TEST(SendImageHandler, TargetIsTheNameCutBeforeItsLastDotComposedLiterally) {
    const struct {
        const char* folder;
        const char* name;
        const char* target;
    } rows[] = {
        {"/out", "beach.final.zyr", "/out/beach.final.tif"},
        {"/out", "beach", "/out/beach.tif"},
        {"/out", "IMG_0001.TIF", "/out/IMG_0001.tif"},
        {"/my pics/100%d", "50%s off.zyr", "/my pics/100%d/50%s off.tif"},
    };
    for (const auto& r : rows) EXPECT_EQ(CSendImageHandler::TargetPath(r.folder, r.name), r.target) << r.name;
}

TEST(SendImageHandler, ColourModeFollowsTheOutputModeAndWhatTheImageOffers) {
    const struct {
        std::vector<int> offered;
        int slideMode;
        int outputMode;
        bool linear;
        int written;
    } rows[] = {
        {{0, 1, 2}, 0, 0, true, 1},   // Linear Mode on an image that offers it
        {{0, 1, 2}, 2, 0, false, 2},  // a grayscale slide of a colour image stays grayscale
        {{0, 2}, 0, 0, false, 0},     // no linear offered: standard colour
        {{0, 2}, 3, 0, false, 0},
        {{1}, 2, 0, true, 1},         // a linear-only image is not a colour image set to grey
        {{0, 1, 2}, 1, 1, true, 0},   // working space: colour, grey stays grey
        {{0, 1, 2}, 2, 1, false, 2},
        {{0, 1, 2}, 0, -1, true, 0},  // an unknown output mode renders into the working space
        {{0, 1, 2}, 0, 7, true, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << "slide " << r.slideMode << ", output " << r.outputMode);
        coretest::FakeImage image("/p/a.zyr");
        image.colorModes = r.offered;
        ImageProcessParam p;
        p.colorMode = r.slideMode;
        p.outputSpaceMode = 1;
        EXPECT_EQ(CSendImageHandler::LinearPossible(&image, p), r.linear);
        const int mode = r.outputMode == 0 ? 0 : 1;
        CSendImageHandler::ApplyOutputMode(p, mode, r.linear, "Space");
        EXPECT_EQ(p.colorMode, r.written);
        EXPECT_EQ(p.workingSpaceName, "Space");
        EXPECT_EQ(p.outputSpaceMode, 0);
    }
}

TEST_F(SendImageHandlerTest, AMissingOrInvalidSendToFolderStopsBeforeAnything) {
    WriteFile((root_ / "a file").string(), "x");
    const struct {
        std::string folder;
        int message;
    } rows[] = {
        {"", IDS_SEND_TO_FOLDER_MISSING},
        {(root_ / "a file").string(), IDS_SEND_TO_FOLDER_INVALID},
        {(root_ / "gone").string(), IDS_SEND_TO_FOLDER_INVALID},  // the folder test fails
    };
    auto slide = MakeSlide("a.zyr");
    for (const auto& r : rows) {
        SCOPED_TRACE(r.folder);
        ProfileItemManager().SetString(PI_SEND_TO_FOLDER, r.folder);
        boxes.shown.clear();
        SendAll({slide->rendering.get()});
        SendOne(slide->rendering.get());
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>(2, TranslatedText(r.message)));
    }
    EXPECT_TRUE(launcher.calls.empty());
    EXPECT_TRUE(slide->image->exportTargets.empty());
    EXPECT_TRUE(ui.log.empty());
}

TEST_F(SendImageHandlerTest, EmptySelectionPausesAndEndsWithoutMessageOrFile) {
    SendAll({});
    EXPECT_EQ(ui.log, (std::vector<std::string>{"wait", "pause 500", "end"}));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(Written().empty());
    EXPECT_EQ(succeeded, 1);
    // A null list does nothing at all.
    CSendImageHandler handler(ui);
    handler.SendImages(nullptr);
    handler.SendImage(nullptr);
    EXPECT_EQ(ui.log.size(), 3u);
}

TEST_F(SendImageHandlerTest, OneEntryIsWrittenWithoutProgressWindowAndHandedToTheEditor) {
    auto slide = MakeSlide("beach.final.zyr");
    SendAll({slide->rendering.get()});
    EXPECT_EQ(ui.log, (std::vector<std::string>{"wait", "pause 500", "end"}));
    EXPECT_EQ(Written(), std::vector<std::string>{"beach.final.tif"});
    ASSERT_EQ(launcher.calls.size(), 1u);
    EXPECT_EQ(launcher.calls[0].program, kEditor);
    EXPECT_EQ(launcher.calls[0].arguments, std::vector<std::string>{Target("beach.final")});
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SendImageHandlerTest, BatchShowsProgressPerEntryAndSkipsEmptyEntries) {
    auto a = MakeSlide("a.zyr"), b = MakeSlide("b");
    SendAll({a->rendering.get(), nullptr, b->rendering.get()});
    EXPECT_EQ(ui.log, (std::vector<std::string>{"wait", "progress 1129 0..3", "step", "step", "step", "close",
                                                "pause 500", "end"}));
    EXPECT_EQ(Written(), (std::vector<std::string>{"a.tif", "b.tif"}));
    EXPECT_EQ(Launched(), (std::vector<std::string>{Target("a"), Target("b")}));
    EXPECT_GT(ui.pumps, 0);  // the window stays responsive while an image is written
}

TEST_F(SendImageHandlerTest, AnImageThatNeedsNoRenderingIsSentAsItsOwnFile) {
    auto jpeg = MakeSlide("finished.jpg");
    jpeg->image->mustRender = false;
    WriteFile(Target("finished"), "old");
    auto raw = MakeSlide("raw.zyr");
    SendAll({jpeg->rendering.get(), raw->rendering.get()});
    EXPECT_EQ(Launched(), (std::vector<std::string>{Source("finished.jpg"), Target("raw")}));
    EXPECT_TRUE(jpeg->image->exportTargets.empty());
    EXPECT_TRUE(ui.overwriteAsked.empty());
    EXPECT_EQ(Bytes(Target("finished")), std::vector<uint8_t>({'o', 'l', 'd'}));

    // The preview: no send-to folder needed for it.
    launcher.calls.clear();
    ProfileItemManager().SetString(PI_SEND_TO_FOLDER, "");
    SendOne(jpeg->rendering.get());
    EXPECT_EQ(Launched(), std::vector<std::string>{Source("finished.jpg")});
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SendImageHandlerTest, PreviewWritesTheTargetAndLaunchesIt) {
    auto slide = MakeSlide("beach");
    SendOne(slide->rendering.get());
    EXPECT_EQ(succeeded, 1);
    EXPECT_EQ(Written(), std::vector<std::string>{"beach.tif"});
    EXPECT_EQ(Launched(), std::vector<std::string>{Target("beach")});
    EXPECT_EQ(ui.log, (std::vector<std::string>{"wait", "end"}));
}

TEST_F(SendImageHandlerTest, LinearModeAsksOnceBeforeAnyFileAndCancelWritesNothing) {
    ProfileItemManager().SetInt(PI_WORKING_SPACE_OUTPUT_MODE, 0);
    auto linear = MakeSlide("linear.zyr");
    auto noLinear1 = MakeSlide("colour1.zyr"), noLinear2 = MakeSlide("grey.zyr", 2);
    noLinear1->image->colorModes = {0, 2};
    noLinear2->image->colorModes = {0, 2};
    const std::vector<ImageRendering*> selection{linear->rendering.get(), noLinear1->rendering.get(),
                                                 noLinear2->rendering.get()};

    boxes.answers = {MessageBoxService::kAnswerCancel};
    SendAll(selection);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{TranslatedText(IDS_LINEAR_NOT_POSSIBLE)});
    EXPECT_EQ(boxes.shown[0].buttons, MessageBoxService::kOkCancel);
    EXPECT_TRUE(Written().empty());
    EXPECT_TRUE(launcher.calls.empty());
    EXPECT_EQ(succeeded, 0);

    // OK: one question, then every image, the ones without linear in
    // standard colour or grey.
    boxes.shown.clear();
    SendAll(selection);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{TranslatedText(IDS_LINEAR_NOT_POSSIBLE)});
    EXPECT_EQ(Written(), (std::vector<std::string>{"colour1.tif", "grey.tif", "linear.tif"}));
    EXPECT_EQ(linear->image->renderedColorModes.front(), 1);
    EXPECT_EQ(noLinear1->image->renderedColorModes.front(), 0);
    EXPECT_EQ(noLinear2->image->renderedColorModes.front(), 2);
    std::string space;
    ProfileItemManager().GetString(PI_WORKING_SPACE_NAME, space);
    EXPECT_EQ(linear->image->renderedWorkingSpaces.front(), space);
}

TEST_F(SendImageHandlerTest, GrayscaleSlideStaysGrayscaleInLinearMode) {
    ProfileItemManager().SetInt(PI_WORKING_SPACE_OUTPUT_MODE, 0);
    auto grey = MakeSlide("grey.zyr", 2);
    SendOne(grey->rendering.get());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{TranslatedText(IDS_LINEAR_NOT_POSSIBLE)});
    ASSERT_FALSE(grey->image->renderedColorModes.empty());
    EXPECT_EQ(grey->image->renderedColorModes.front(), 2);
    // The slide itself keeps its settings.
    EXPECT_EQ(grey->rendering->GetProcessParam().colorMode, 2);
}

TEST_F(SendImageHandlerTest, OutputModeLeftUnknownRendersIntoTheWorkingSpaceOnBothRoads) {
    // Item 31 still -1 after a migration that found nothing to migrate.
    store.values.erase({"Last Used", "RGB Working Space Output Mode"});
    ProfileItemManager().SetInt(PI_WORKING_SPACE_OUTPUT_MODE, -1);
    store.Set("TIFF Output Mode", "5");
    auto a = MakeSlide("a.zyr"), b = MakeSlide("b.zyr");
    SendAll({a->rendering.get(), b->rendering.get()});
    EXPECT_TRUE(boxes.shown.empty());
    fs::remove(Target("a"));
    SendOne(a->rendering.get());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(a->image->renderedColorModes.front(), 0);
    EXPECT_EQ(b->image->renderedColorModes.front(), 0);
    EXPECT_EQ(a->image->renderedColorModes.back(), 0);
}

TEST_F(SendImageHandlerTest, WrittenTiffHas16BitsAndTheEmbeddedWorkingSpaceWhenSet) {
    for (const char* tool : {"tiffinfo", "exiftool"})
        if (!HaveTool(tool)) GTEST_SKIP() << tool << " missing";
    ASSERT_NE(ColorEngine::Instance(0, 1), nullptr);
    std::string space;
    ProfileItemManager().GetString(PI_WORKING_SPACE_NAME, space);
    const struct {
        int item17;
        bool supports16;
        int item33;
        const char* bits;
        bool profile;
    } rows[] = {
        {1, true, 1, "16 16 16", true},
        {1, false, 0, "8 8 8", false},
        {0, true, 1, "8 8 8", true},
    };
    int n = 0;
    for (const auto& r : rows) {
        SCOPED_TRACE(n);
        ProfileItemManager pm;
        pm.SetInt(PI_TIFF_16_BIT, r.item17);
        pm.SetInt(PI_EMBED_PROFILE_TIFF, r.item33);
        auto slide = MakeSlide("shot" + std::to_string(n++) + ".zyr");
        slide->image->sixteenBits = r.supports16;
        SendOne(slide->rendering.get());
        const std::string file = Target("shot" + std::to_string(n - 1));
        int status = -1;
        const std::string info = RunCommand("tiffinfo '" + file + "' 2>&1", &status);
        EXPECT_EQ(status, 0) << info;
        EXPECT_EQ(info.find("Error"), std::string::npos) << info;
        EXPECT_NE(info.find(std::string("Bits/Sample: ") + (r.bits[0] == '1' ? "16" : "8")), std::string::npos) << info;
        const std::string exif =
            RunCommand("exiftool -s -s -s -BitsPerSample -ICC_Profile:ProfileDescription '" + file + "'");
        EXPECT_EQ(exif.substr(0, exif.find('\n')), r.bits);
        EXPECT_EQ(exif.find(space) != std::string::npos, r.profile) << exif;
    }
    ColorEngine::DeleteInstance();
}

TEST_F(SendImageHandlerTest, ReplaceQuestionNamesMetadataLossForAnExtendedRangeJpegTarget) {
    auto plain = MakeSlide("plain.zyr"), wide = MakeSlide("wide.zyr"), cancel = MakeSlide("cancel.zyr");
    for (const char* base : {"plain", "wide", "cancel"}) WriteFile(Target(base), std::string("old ") + base);
    kinds.fileTypes[Target("wide")] = 3;
    ui.overwriteAnswers = {FakeSendUI::Yes, FakeSendUI::Yes, FakeSendUI::Second};
    SendAll({plain->rendering.get(), wide->rendering.get(), cancel->rendering.get()});
    ASSERT_EQ(ui.overwriteAsked.size(), 3u);
    EXPECT_EQ(ui.overwriteAsked[0], TranslatedText(IDS_ALREADY_EXISTS_REPLACE, {Target("plain")}));
    EXPECT_EQ(ui.overwriteAsked[1], TranslatedText(IDS_ALREADY_EXISTS_METADATA_LOST, {Target("wide")}));
    // Cancel ends the batch: the two replaced, the third kept, only the two
    // launched, and the progress window gone.
    EXPECT_EQ(Launched(), (std::vector<std::string>{Target("plain"), Target("wide")}));
    const std::string old = "old cancel";
    EXPECT_EQ(Bytes(Target("cancel")), std::vector<uint8_t>(old.begin(), old.end()));
    EXPECT_NE(Bytes(Target("plain")).size(), 9u);
    EXPECT_EQ(succeeded, 0);
    EXPECT_EQ(ui.log.back(), "end");
    EXPECT_EQ(ui.Count("close"), 1u);
    EXPECT_EQ(ui.Count("pause 500"), 0u);
    // The targets the question opened are not left in the pool.
    EXPECT_FALSE(ImagePool::Instance()->Contains(FilePathSpec(Target("plain"))));
}

TEST_F(SendImageHandlerTest, YesToAllReplacesLaterTargetsAndATargetOpenInTheProgramFails) {
    std::vector<std::unique_ptr<Slide>> slides;
    std::vector<ImageRendering*> selection;
    for (const char* name : {"a.zyr", "b.zyr", "open.zyr", "d.zyr"}) {
        slides.push_back(MakeSlide(name));
        selection.push_back(slides.back()->rendering.get());
        WriteFile(Target(fs::path(name).stem().string()), "old");
    }
    // The program shows open.tif in a window.
    ImageRef shown;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(Target("open")), shown), 0);
    ui.overwriteAnswers = {FakeSendUI::YesToAll};
    ui.failureAnswers = {FakeSendUI::Yes};
    SendAll(selection);
    EXPECT_EQ(ui.overwriteAsked.size(), 1u);
    ASSERT_EQ(ui.failureAsked.size(), 1u);
    EXPECT_EQ(ui.failureAsked[0],
              TranslatedText(IDS_SEND_TO_SAVE_FAILED, {"open.zyr", Target("open")}) + TranslatedText(IDS_CONTINUE_SAVING));
    EXPECT_EQ(Launched(), (std::vector<std::string>{Target("a"), Target("b"), Target("d")}));
    EXPECT_EQ(Bytes(Target("open")), std::vector<uint8_t>({'o', 'l', 'd'}));
    EXPECT_GT(Bytes(Target("d")).size(), 3u);
    EXPECT_EQ(ui.Count("step"), 4u);
    EXPECT_EQ(succeeded, 1);
}

TEST_F(SendImageHandlerTest, FailureQuestionNoEndsTheBatchAndYesToAllSilencesLaterFailures) {
    std::vector<std::unique_ptr<Slide>> slides;
    std::vector<ImageRendering*> selection;
    for (const char* name : {"f1.zyr", "f2.zyr", "ok.zyr", "f3.zyr"}) {
        slides.push_back(MakeSlide(name));
        selection.push_back(slides.back()->rendering.get());
        if (name[0] == 'f')
            slides.back()->image->beforeRender = [](ProgressCB*) { YLM_THROW("Test::Render", NbErrFileWriteFailed); };
    }
    ui.failureAnswers = {FakeSendUI::Second};
    SendAll(selection);
    EXPECT_EQ(ui.failureAsked.size(), 1u);
    EXPECT_TRUE(launcher.calls.empty());
    EXPECT_EQ(succeeded, 0);
    EXPECT_EQ(ui.Count("close"), 1u);

    ui = FakeSendUI();
    ui.failureAnswers = {FakeSendUI::YesToAll};
    SendAll(selection);
    EXPECT_EQ(ui.failureAsked.size(), 1u);
    EXPECT_EQ(Launched(), std::vector<std::string>{Target("ok")});
    EXPECT_EQ(Written(), std::vector<std::string>{"ok.tif"});
    EXPECT_EQ(succeeded, 1);
}

TEST_F(SendImageHandlerTest, CancelledRenderEndsTheBatchSilentlyAndKeepsTheOldFile) {
    auto a = MakeSlide("a.zyr"), b = MakeSlide("b.zyr"), c = MakeSlide("c.zyr");
    WriteFile(Target("b"), "old b");
    b->image->beforeRender = [](ProgressCB*) { YLM_THROW("Test::Render", NbErrRenderCancelled); };
    ui.overwriteAnswers = {FakeSendUI::Yes};
    SendAll({a->rendering.get(), b->rendering.get(), c->rendering.get()});
    EXPECT_TRUE(ui.failureAsked.empty());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(Launched(), std::vector<std::string>{Target("a")});
    EXPECT_EQ(Written(), (std::vector<std::string>{"a.tif", "b.tif"}));
    EXPECT_EQ(Bytes(Target("b")), std::vector<uint8_t>({'o', 'l', 'd', ' ', 'b'}));
    EXPECT_EQ(succeeded, 0);
}

TEST_F(SendImageHandlerTest, CancelInTheProgressWindowStopsBeforeTheNextImage) {
    std::vector<std::unique_ptr<Slide>> slides;
    std::vector<ImageRendering*> selection;
    for (const char* name : {"1.zyr", "2.zyr", "3.zyr", "4.zyr"}) {
        slides.push_back(MakeSlide(name));
        selection.push_back(slides.back()->rendering.get());
    }
    ui.cancelBeforeEntry = 2;
    SendAll(selection);
    EXPECT_EQ(Written(), (std::vector<std::string>{"1.tif", "2.tif"}));
    EXPECT_EQ(Launched(), (std::vector<std::string>{Target("1"), Target("2")}));
    EXPECT_EQ(ui.Count("close"), 1u);
    EXPECT_EQ(ui.Count("pause 500"), 0u);
    EXPECT_EQ(ui.log.back(), "end");
}

TEST_F(SendImageHandlerTest, SlideDroppedDuringTheBatchIsStillSentFromItsCopy) {
    auto a = MakeSlide("a.zyr"), b = MakeSlide("b.zyr");
    std::vector<ImageRendering*> selection{a->rendering.get(), b->rendering.get()};
    // The contact sheet removes the second slide while the first is stepped.
    ui.onStep = [&] {
        if (b) b.reset();
    };
    SendAll(selection);
    EXPECT_EQ(Launched(), (std::vector<std::string>{Target("a"), Target("b")}));
}

TEST_F(SendImageHandlerTest, PreviewReplaceAnsweredYesThenCancelAtTheLinearQuestionKeepsTheOldBytes) {
    ProfileItemManager().SetInt(PI_WORKING_SPACE_OUTPUT_MODE, 0);
    auto slide = MakeSlide("beach.zyr");
    slide->image->colorModes = {0, 2};
    const std::string old = "the photographer's earlier file";
    WriteFile(Target("beach"), old);
    boxes.answers = {MessageBoxService::kAnswerYes, MessageBoxService::kAnswerCancel};
    SendOne(slide->rendering.get());
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{TranslatedText(IDS_ALREADY_EXISTS_REPLACE, {Target("beach")}),
                                                       TranslatedText(IDS_LINEAR_NOT_POSSIBLE)}));
    EXPECT_EQ(boxes.shown[0].buttons, MessageBoxService::kYesNo);
    EXPECT_EQ(Bytes(Target("beach")), std::vector<uint8_t>(old.begin(), old.end()));
    EXPECT_EQ(Written(), std::vector<std::string>{"beach.tif"});
    EXPECT_TRUE(launcher.calls.empty());
    EXPECT_EQ(succeeded, 0);

    // No at the replace question: nothing written, nothing launched.
    boxes.shown.clear();
    boxes.answers = {MessageBoxService::kAnswerNo};
    SendOne(slide->rendering.get());
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(Bytes(Target("beach")), std::vector<uint8_t>(old.begin(), old.end()));
    EXPECT_TRUE(launcher.calls.empty());
}

TEST_F(SendImageHandlerTest, PreviewFailuresReportOnceAndLeaveTheOldFile) {
    const struct {
        const char* name;
        int code;
        bool message;
    } rows[] = {
        {"failed.zyr", NbErrFileWriteFailed, true},
        {"cancelled.zyr", NbErrRenderCancelled, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        boxes.shown.clear();
        auto slide = MakeSlide(r.name);
        const std::string base = fs::path(r.name).stem().string();
        WriteFile(Target(base), "old");
        const int code = r.code;
        slide->image->beforeRender = [code](ProgressCB*) { YLM_THROW("Test::Render", code); };
        boxes.answers = {MessageBoxService::kAnswerYes};
        SendOne(slide->rendering.get());
        std::vector<std::string> expected{TranslatedText(IDS_ALREADY_EXISTS_REPLACE, {Target(base)})};
        if (r.message) expected.push_back(TranslatedText(IDS_SEND_TO_SAVE_FAILED, {r.name, Target(base)}));
        EXPECT_EQ(boxes.Texts(), expected);
        EXPECT_EQ(Bytes(Target(base)), std::vector<uint8_t>({'o', 'l', 'd'}));
        EXPECT_TRUE(launcher.calls.empty());
        EXPECT_EQ(succeeded, 0);
    }
    // Only the old files: no temporary left behind.
    EXPECT_EQ(Written(), (std::vector<std::string>{"cancelled.tif", "failed.tif"}));
}

// An exporter that writes straight to its target and fails part-way.
class InPlaceFailingExport : public ExportTIFFImage {
public:
    using ExportTIFFImage::ExportTIFFImage;
    void SaveFile() override {
        WriteFile(target_.GetPath(), "partial");
        YLM_THROW("InPlaceFailingExport::SaveFile", NbErrFileWriteFailed);
    }
};

TEST_F(SendImageHandlerTest, AFailedExportRemovesOnlyWhatItWrote) {
    auto fresh = MakeSlide("fresh.zyr"), refused = MakeSlide("refused.zyr");
    for (Slide* s : {fresh.get(), refused.get()})
        s->image->makeExporter = [](ImageRendering& r, const FilePathSpec& t, ExportImageArray* a) -> ExportImage* {
            return new InPlaceFailingExport(r, t, a);
        };
    // The refused replace: the target is shown by the program.
    WriteFile(Target("refused"), "old");
    ImageRef shown;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(Target("refused")), shown), 0);
    ui.overwriteAnswers = {FakeSendUI::Yes};
    ui.failureAnswers = {FakeSendUI::Yes, FakeSendUI::Yes};
    SendAll({fresh->rendering.get(), refused->rendering.get()});
    EXPECT_EQ(ui.failureAsked.size(), 2u);
    EXPECT_TRUE(refused->image->exportTargets.empty());
    EXPECT_EQ(Written(), std::vector<std::string>{"refused.tif"});
    EXPECT_EQ(Bytes(Target("refused")), std::vector<uint8_t>({'o', 'l', 'd'}));
}

// The export runs in a child process whose files may not grow past a few
// kilobytes: the write fails part-way, as on a full disk.
TEST_F(SendImageHandlerTest, ExportStoppedByTheFileSizeLimitLeavesNoFile) {
    const std::string old = "old target";
    for (bool existing : {false, true}) {
        SCOPED_TRACE(existing ? "replacing" : "new");
        if (existing) WriteFile(Target("big"), old);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{2048, 2048};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(90);
            Slide big(Source("big.zyr"));
            CSendImageHandler handler(ui);
            handler.SendImage(big.rendering.get());
            const bool reported =
                !boxes.shown.empty() && boxes.shown.back().text == TranslatedText(IDS_SEND_TO_SAVE_FAILED, {"big.zyr", Target("big")});
            ::_exit(handler.Succeeded() == 0 && reported && launcher.calls.empty() ? 0 : 91);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        if (existing) {
            EXPECT_EQ(Written(), std::vector<std::string>{"big.tif"});
            EXPECT_EQ(Bytes(Target("big")), std::vector<uint8_t>(old.begin(), old.end()));
        } else {
            EXPECT_TRUE(Written().empty());
        }
    }
}

TEST_F(SendImageHandlerTest, EditorThatCannotStartIsReportedAndTheBatchGoesOn) {
    launcher.starts = false;
    auto a = MakeSlide("a.zyr"), b = MakeSlide("b.zyr");
    SendAll({a->rendering.get(), b->rendering.get()});
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{TranslatedText(IDS_SEND_TO_CANNOT_OPEN, {Target("a"), kEditor}),
                                                       TranslatedText(IDS_SEND_TO_CANNOT_OPEN, {Target("b"), kEditor})}));
    EXPECT_EQ(boxes.shown[0].buttons, MessageBoxService::kOk);
    EXPECT_EQ(Written(), (std::vector<std::string>{"a.tif", "b.tif"}));
    EXPECT_EQ(succeeded, 1);
}

TEST_F(SendImageHandlerTest, EmptyEditorSettingOpensEachFileWithItsAssociatedProgram) {
    ProfileItemManager().SetString(PI_SEND_FILES_TO_PATH, "");
    auto a = MakeSlide("a.zyr"), jpeg = MakeSlide("b.jpg");
    jpeg->image->mustRender = false;
    SendAll({a->rendering.get(), jpeg->rendering.get()});
    ASSERT_EQ(launcher.calls.size(), 2u);
    for (const auto& call : launcher.calls) EXPECT_EQ(call.program, "");
    EXPECT_EQ(Launched(), (std::vector<std::string>{Target("a"), Source("b.jpg")}));
}

} // namespace
