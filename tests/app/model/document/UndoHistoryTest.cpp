// A document's undo and redo steps over the fake image kind: the ten-step
// limit, steps that change nothing, what Undo and Redo put back with the
// menu texts, the saved selection, renames and putting file names back with
// their messages, and renderings that leave the document.
#include "UndoHistory.h"

#include "FakeImage.h"
#include "ImagePool.h"
#include "ImageRendering.h"
#include "LocalizedText.h"
#include "MessageBoxService.h"
#include "PasteSpecialPresenter.h"
#include "UndoHost.h"
#include "UndoTextIds.h"
#include "YlmErrp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

using NimbalCore::ImageProcessParam;
using NimbalCore::ImageRef;
using NimbalCore::ImageRendering;
using NimbalCore::IPTCNAARecord2;

namespace {

// A contact sheet's selection (sheet) or a preview's one image: the
// selection comes back only where the document keeps one, and only with
// renderings still in the document.
class FakeDocument : public UndoDocument {
public:
    std::vector<ImageRendering*> GetSelectedImages() override { return selected; }
    bool GetFocusedImage(ImageRendering** rendering) override {
        *rendering = focused;
        return focused != nullptr;
    }
    std::optional<UndoSelection> GetUndoSelection() override {
        if (!sheet) return std::nullopt;
        return selected;
    }
    void RestoreSelection(UndoSelection selection) override {
        ++restores;
        if (!sheet) return;
        selected.clear();
        for (ImageRendering* r : selection)
            if (std::find(slides.begin(), slides.end(), r) != slides.end()) selected.push_back(r);
    }
    void ImagesRestored() override { ++imagesRestored; }

    bool sheet = true;
    std::vector<ImageRendering*> slides;
    std::vector<ImageRendering*> selected;
    ImageRendering* focused = nullptr;
    int restores = 0;
    int imagesRestored = 0;
};

class FakeProgress : public UndoRenameProgress {
public:
    explicit FakeProgress(std::vector<std::string>& log) : log_(log) {}
    ~FakeProgress() override { log_.push_back("progress closed"); }
    void StepIt() override { log_.push_back("step"); }

private:
    std::vector<std::string>& log_;
};

// Records what the steps ask of the program, in order.
class FakeHost : public UndoHost {
public:
    bool HasMainWindow() override { return mainWindow; }
    bool HasApplication() override { return application; }
    void SetFolderRescanEnabled(bool enabled) override {
        log.push_back(enabled ? "rescan on" : "rescan off");
        rescan = enabled;
    }
    void ReplaceRecentFile(const std::string& oldPath, const std::string& newPath) override {
        log.push_back("recent " + oldPath + " > " + newPath);
    }
    std::unique_ptr<UndoRenameProgress> OpenRenameProgress(int count) override {
        log.push_back("progress " + std::to_string(count) + " rescan " + (rescan ? "on" : "off"));
        return std::make_unique<FakeProgress>(log);
    }
    void ShowImageInfo(ImageRendering* rendering) override { infoShown.push_back(rendering); }

    bool mainWindow = true;
    bool application = true;
    bool rescan = true;
    std::vector<std::string> log;
    std::vector<ImageRendering*> infoShown;
};

class RenameBackBoxes : public MessageBoxService {
public:
    RenameBackBoxes() { MessageBoxService::SetCurrent(this); }
    ~RenameBackBoxes() override { MessageBoxService::SetCurrent(nullptr); }
    int Show(const std::string& text, const std::string&, Buttons buttons) override {
        shown.push_back({text, buttons});
        if (answers.empty()) return buttons == kYesNo ? kAnswerYes : kAnswerOk;
        const int answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    std::vector<std::pair<std::string, Buttons>> shown;
    std::vector<int> answers;
};

IPTCNAARecord2 RecordNamed(const std::string& name) {
    IPTCNAARecord2 record;
    record.AddDataset(IPTCNAARecord2::kObjectName, reinterpret_cast<const uint8_t*>(name.data()),
                      uint32_t(name.size()));
    return record;
}

std::string RecordName(IPTCNAARecord2& record) {
    int index = 0;
    const uint8_t* data = nullptr;
    uint16_t length = 0;
    if (!record.GetFirstDataset(&index, &data, &length)) return "";
    return std::string(reinterpret_cast<const char*>(data), length);
}

// Five images in a sheet, the first two selected; steps over all of them.
class UndoHistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 5; ++i) {
            auto* image = new coretest::FakeImage(Path("IMG_0" + std::to_string(i) + ".ZYR"), 400, 300);
            image->renameInMemory = true;
            image->annotationText = "note";
            images_.push_back(image);
            renderings_.push_back(std::make_unique<ImageRendering>(ImageRef(image), ImageProcessParam()));
            document_.slides.push_back(renderings_.back().get());
        }
        document_.selected = {document_.slides[0], document_.slides[1]};
    }
    // The images' folder exists; their files need not.
    static std::string Path(const std::string& name) {
        struct Folder {
            Folder() { std::filesystem::create_directories(path); }
            ~Folder() { std::filesystem::remove_all(path); }
            const std::filesystem::path path =
                std::filesystem::temp_directory_path() / ("lumora-undo-" + std::to_string(::getpid()));
        };
        static const Folder folder;
        return (folder.path / name).string();
    }
    void TearDown() override {
        history_.reset();
        renderings_.clear();
        NimbalCore::ImagePool::DeleteInstance();
    }

    // What a command does to every selected image: exposure, tag, IPTC
    // record and annotation all become the step's number.
    void Change(int n) {
        for (ImageRendering* r : document_.selected) {
            ImageProcessParam params = r->GetProcessParam();
            params.exposureCompensation = float(n);
            r->SetProcessParam(params);
            r->CommitProcessParam();
            coretest::FakeImage& image = Image(r);
            image.SetTagged(n % 2 == 1);
            image.SetIPTCRecord(RecordNamed("v" + std::to_string(n)));
            image.annotationText = "note " + std::to_string(n);
        }
    }
    // One command: a step around a change.
    void Step(int n) {
        history_->BeginUndo(IDS_UNDO_EXPOSURE_COMPENSATION, IDS_REDO_EXPOSURE_COMPENSATION, true, true, true, true,
                            false);
        Change(n);
        history_->EndUndo();
    }
    coretest::FakeImage& Image(ImageRendering* r) { return static_cast<coretest::FakeImage&>(**r->GetImage()); }
    // Every aspect of the first selected image, image and rendering alike.
    std::string State() {
        ImageRendering* r = document_.slides[0];
        coretest::FakeImage& image = Image(r);
        return "exp " + std::to_string(int(image.GetProcessParams()->exposureCompensation)) + "/" +
               std::to_string(int(r->GetProcessParam().exposureCompensation)) + " tag " +
               std::to_string(image.IsTagged()) + " iptc " + RecordName(*image.GetIPTCRecord()) + " note " +
               image.annotationText;
    }
    std::pair<int, int> Texts() { return {history_->GetUndoTextId(), history_->GetRedoTextId()}; }
    std::pair<size_t, size_t> Depths() { return {history_->UndoCount(), history_->RedoCount()}; }

    std::vector<coretest::FakeImage*> images_;
    std::vector<std::unique_ptr<ImageRendering>> renderings_;
    FakeDocument document_;
    FakeHost host_;
    std::unique_ptr<UndoHistory> history_ = std::make_unique<UndoHistory>(document_, host_);
};

TEST_F(UndoHistoryTest, StepsUndoAndRedo) {
    struct Case {
        const char* name;
        std::function<void()> run;
    };
    const std::vector<Case> cases = {
        {"eleven steps keep ten; ten undos bring back the state after the first",
         [&] {
             Step(1);
             const std::string afterFirst = State();
             for (int n = 2; n <= 11; ++n) Step(n);
             EXPECT_EQ(Depths(), std::make_pair(size_t(10), size_t(0)));
             for (int n = 0; n < 10; ++n) history_->Undo();
             EXPECT_EQ(State(), afterFirst);
             EXPECT_EQ(Depths(), std::make_pair(size_t(0), size_t(10)));
             history_->Undo();
             EXPECT_EQ(State(), afterFirst) << "nothing older is left";
         }},
        {"a step without change leaves both stacks as they were",
         [&] {
             Step(1);
             Step(2);
             history_->Undo();
             const auto texts = Texts();
             history_->BeginUndo(IDS_UNDO_LOOK, IDS_REDO_LOOK, true, false, false, false, false);
             history_->EndUndo();
             EXPECT_EQ(Depths(), std::make_pair(size_t(1), size_t(1)));
             EXPECT_EQ(Texts(), texts);
         }},
        {"a changed step empties the redo stack",
         [&] {
             Step(1);
             Step(2);
             history_->Undo();
             history_->Undo();
             Step(3);
             EXPECT_EQ(Depths(), std::make_pair(size_t(1), size_t(0)));
             EXPECT_EQ(history_->GetRedoTextId(), IDS_CANT_REDO);
         }},
        {"undo then redo returns every aspect and the same texts",
         [&] {
             Step(1);
             history_->BeginUndo(IDS_UNDO_IPTC, IDS_REDO_IPTC, true, true, true, true, false);
             Change(2);
             history_->EndUndo();
             const std::string changed = State();
             const auto texts = Texts();
             EXPECT_EQ(texts, std::make_pair(int(IDS_UNDO_IPTC), int(IDS_CANT_REDO)));
             history_->Undo();
             EXPECT_EQ(State(), "exp 1/1 tag 1 iptc v1 note note 1");
             EXPECT_EQ(Texts(), std::make_pair(int(IDS_UNDO_EXPOSURE_COMPENSATION), int(IDS_REDO_IPTC)));
             history_->Redo();
             EXPECT_EQ(State(), changed);
             EXPECT_EQ(Texts(), texts);
             EXPECT_EQ(LoadTranslatedString(history_->GetUndoTextId()), "&Undo IPTC/Job Tracker\tCtrl+Z");
         }},
        {"undo restores a sheet's saved selection and leaves a preview's alone",
         [&] {
             Step(1);
             document_.selected = {document_.slides[4]};
             history_->Undo();
             EXPECT_EQ(document_.selected, (std::vector<ImageRendering*>{document_.slides[0], document_.slides[1]}));
             document_.sheet = false;
             Step(2);
             document_.selected = {document_.slides[3]};
             history_->Undo();
             EXPECT_EQ(document_.selected, std::vector<ImageRendering*>{document_.slides[3]});
         }},
        {"undo refreshes the Image Info bar only for the focused last image",
         [&] {
             Step(1);
             document_.focused = document_.slides[1];
             history_->Undo();
             history_->Redo();
             document_.focused = document_.slides[0];
             history_->Undo();
             EXPECT_EQ(host_.infoShown, (std::vector<ImageRendering*>{document_.slides[1], document_.slides[1]}));
         }},
        {"without a main window undo and redo do nothing",
         [&] {
             Step(1);
             host_.mainWindow = false;
             history_->Undo();
             EXPECT_EQ(Depths(), std::make_pair(size_t(1), size_t(0)));
             EXPECT_EQ(State(), "exp 1/1 tag 1 iptc v1 note note 1");
         }},
        {"empty stacks",
         [&] {
             EXPECT_EQ(Texts(), std::make_pair(int(IDS_CANT_UNDO), int(IDS_CANT_REDO)));
             history_->Undo();
             history_->Redo();
             history_->EndUndo();
             history_->DiscardLastUndo();
             history_->RevertLastUndo(true);
             history_->RevertGroupsOfLastUndo({ImageProcessParam::GroupTagging});
             EXPECT_EQ(Depths(), std::make_pair(size_t(0), size_t(0)));
             EXPECT_EQ(LoadTranslatedString(IDS_CANT_UNDO), "Can't &Undo\tCtrl+Z");
             EXPECT_EQ(LoadTranslatedString(IDS_CANT_REDO), "Can't &Redo\tCtrl+Y");
         }},
        {"a rename leaves no step: opened, the names change, discarded",
         [&] {
             Step(1);
             history_->BeginUndo(IDS_UNDO_RENAME, IDS_REDO_RENAME, false, false, false, false, true);
             EXPECT_EQ(history_->GetUndoTextId(), IDS_UNDO_RENAME) << "while the dialog is open";
             history_->DiscardLastUndo();
             for (ImageRendering* r : document_.selected)
                 Image(r).Rename(NimbalCore::FilePathSpec(Path("Shoot" + Image(r).GetFileName())));
             EXPECT_EQ(Texts(), std::make_pair(int(IDS_UNDO_EXPOSURE_COMPENSATION), int(IDS_CANT_REDO)));
             history_->Undo();
             history_->Redo();
             EXPECT_NE(history_->GetUndoTextId(), IDS_UNDO_RENAME);
             EXPECT_EQ(Image(document_.slides[0]).GetFileName(), "ShootIMG_00.ZYR") << "names stay";
         }},
        {"reverting a step goes back to before the dialog, with or without the step",
         [&] {
             Step(1);
             history_->BeginUndo(IDS_UNDO_SHARPENING, IDS_REDO_SHARPENING, true, false, false, false, false);
             Change(7);
             history_->RevertLastUndo(false);
             EXPECT_EQ(history_->UndoCount(), 2u);
             Change(8);
             history_->RevertGroupsOfLastUndo({ImageProcessParam::GroupExposure, ImageProcessParam::GroupTagging});
             EXPECT_EQ(State(), "exp 1/1 tag 0 iptc v8 note note 8") << "no tag state was kept";
             history_->RevertLastUndo(true);
             EXPECT_EQ(State(), "exp 1/1 tag 0 iptc v8 note note 8");
             EXPECT_EQ(Depths(), std::make_pair(size_t(1), size_t(0)));
             EXPECT_GT(document_.imagesRestored, 0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        images_.clear();
        document_ = FakeDocument();
        host_ = FakeHost();
        SetUp();
        history_ = std::make_unique<UndoHistory>(document_, host_);
        c.run();
    }
}

TEST_F(UndoHistoryTest, CancellingTheRenameDialogOfFiveImagesRestoresTheNamesOnceWithAFiveStepBar) {
    RenameBackBoxes boxes;
    document_.selected = document_.slides;
    history_->BeginUndo(IDS_UNDO_RENAME, IDS_REDO_RENAME, false, false, false, false, true);
    history_->RevertLastUndo(true);
    std::vector<std::string> expected = {"progress 5 rescan on", "rescan off"};
    for (int i = 0; i < 5; ++i) {
        const std::string path = Path("IMG_0" + std::to_string(i) + ".ZYR");
        expected.push_back("recent " + path + " > " + path);
        expected.push_back("step");
        EXPECT_EQ(images_[size_t(i)]->renamedTo, std::vector<std::string>{path});
    }
    expected.push_back("progress closed");
    expected.push_back("rescan on");
    EXPECT_EQ(host_.log, expected);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(Depths(), std::make_pair(size_t(0), size_t(0)));

    // One image under the same name: nothing is renamed, no window.
    host_.log.clear();
    document_.selected = {document_.slides[0]};
    history_->BeginUndo(IDS_UNDO_RENAME, IDS_REDO_RENAME, false, false, false, false, true);
    history_->RevertLastUndo(true);
    EXPECT_TRUE(host_.log.empty());
    EXPECT_EQ(images_[0]->renamedTo.size(), 1u);
}

TEST_F(UndoHistoryTest, RenamingBackShowsTheMessageOfEachFailure) {
    struct Case {
        size_t images;
        int code;
        int answer;
        int message;
        MessageBoxService::Buttons buttons;
        size_t renamedBack;  // of the images after the failing first one
    };
    const Case cases[] = {
        {1, 1819, MessageBoxService::kAnswerOk, 60050, MessageBoxService::kOk, 0},
        {1, 1820, MessageBoxService::kAnswerOk, 60052, MessageBoxService::kOk, 0},
        {1, 1800, MessageBoxService::kAnswerOk, 60049, MessageBoxService::kOk, 0},
        {3, 1819, MessageBoxService::kAnswerNo, 60054, MessageBoxService::kYesNo, 0},
        {3, 1820, MessageBoxService::kAnswerNo, 60053, MessageBoxService::kYesNo, 0},
        {3, 1807, MessageBoxService::kAnswerNo, 60055, MessageBoxService::kYesNo, 0},
        {3, 1820, MessageBoxService::kAnswerYes, 60053, MessageBoxService::kYesNo, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.images) + " names, code " + std::to_string(c.code));
        RenameBackBoxes boxes;
        boxes.answers = {c.answer};
        document_.selected.assign(document_.slides.begin(), document_.slides.begin() + long(c.images));
        // Renamed by the user, then undone: each file gets its name back.
        history_->BeginUndo(IDS_UNDO_RENAME, IDS_REDO_RENAME, false, false, false, false, true);
        for (size_t i = 0; i < c.images; ++i) {
            images_[i]->Rename(NimbalCore::FilePathSpec(Path("New" + std::to_string(i) + ".ZYR")));
            images_[i]->renamedTo.clear();
        }
        images_[0]->renameCodes = {c.code};
        history_->Undo();
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].first, LoadTranslatedString(c.message));
        EXPECT_EQ(boxes.shown[0].second, c.buttons);
        EXPECT_EQ(images_[0]->GetFileName(), "New0.ZYR");
        size_t back = 0;
        for (size_t i = 1; i < c.images; ++i) back += images_[i]->GetFileName() == "IMG_0" + std::to_string(i) + ".ZYR";
        EXPECT_EQ(back, c.renamedBack);
        EXPECT_TRUE(host_.rescan) << "the folder watchers are let go again";
        EXPECT_EQ(Depths(), std::make_pair(size_t(0), size_t(1))) << "the rest of the undo goes ahead";
        // Back to the first names for the next case.
        history_ = std::make_unique<UndoHistory>(document_, host_);
        for (size_t i = 0; i < c.images; ++i)
            images_[i]->Rename(NimbalCore::FilePathSpec(Path("IMG_0" + std::to_string(i) + ".ZYR")));
    }
}

TEST_F(UndoHistoryTest, ARemovedSlideLeavesEveryStepAndTheSavedSelections) {
    Step(1);                                              // slides 0 and 1
    document_.selected = {document_.slides[1]};
    Step(2);                                              // slide 1 alone
    document_.selected = {document_.slides[2], document_.slides[1]};
    Step(3);
    history_->Undo();                                     // one on the redo stack
    EXPECT_EQ(Depths(), std::make_pair(size_t(2), size_t(1)));

    // The sheet deletes slide 1: the step that held only it goes, the
    // others forget it, and nothing reaches the deleted rendering again.
    ImageRendering* gone = document_.slides[1];
    history_->RemoveImageFromUndo(gone);
    std::erase(document_.slides, gone);
    std::erase(document_.selected, gone);
    renderings_[1].reset();
    EXPECT_EQ(Depths(), std::make_pair(size_t(1), size_t(1)));

    document_.selected = {document_.slides[3]};
    history_->Redo();
    EXPECT_EQ(document_.selected, std::vector<ImageRendering*>{document_.slides[1]}) << "slide 2, now second";
    EXPECT_EQ(int(images_[2]->GetProcessParams()->exposureCompensation), 3);
    history_->Undo();
    history_->Undo();
    EXPECT_EQ(document_.selected, std::vector<ImageRendering*>{document_.slides[0]});
    EXPECT_EQ(State(), "exp 0/0 tag 0 iptc  note note");
    EXPECT_EQ(Depths(), std::make_pair(size_t(0), size_t(2)));
    history_->Redo();
    history_->Redo();
    EXPECT_EQ(int(images_[2]->GetProcessParams()->exposureCompensation), 3);

    // The images of a step stay alive while the step may put them back.
    const int deletedBefore = coretest::FakeImage::deleted;
    renderings_[0].reset();
    EXPECT_EQ(coretest::FakeImage::deleted, deletedBefore);
    history_->RemoveImageFromUndo(document_.slides[0]);
    EXPECT_EQ(coretest::FakeImage::deleted, deletedBefore + 1) << "its last step let it go";
}

}  // namespace
