// The contact sheet's logic headless, over a real folder read by the core
// with the test kinds, a drained user-interface queue and a logging host:
// opening, the core's callbacks, the selection and focus rules, Save and
// the close question, and undo steps whose slides left the sheet.
#include "FakeKinds.h"
#include "FakeSheetSeams.h"
#include "Image.h"
#include "QuietUndoHost.h"
#include "SheetDocument.h"
#include "StringIds.h"
#include "TempFolder.h"
#include "UndoHistory.h"
#include "UndoHost.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <thread>

namespace {

namespace fs = std::filesystem;
using sheettest::DrainedQueue;
using sheettest::LoggingSheetHost;
using sheettest::SheetBoxes;

class SheetDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(temp_.path() / "sheet");
        folder_ = temp_.file("sheet");
        scope_ = std::make_unique<coretest::FactoryScope>(kinds_);
        sheet_ = std::make_shared<SheetDocument>(queue_, nullptr);
        sheet_->SetHost(&host_);
    }
    void TearDown() override {
        sheet_->Close();
        sheet_.reset();
        scope_.reset();
    }
    void Write(const std::string& name) {
        kinds_.opens[name] = {"JPEG"};
        temp_.write("sheet/" + name, "image " + name);
    }
    // The folder read as the watcher's first scan reads it, on this thread.
    void Scan(std::initializer_list<const char*> names) {
        for (const char* name : names) Write(name);
        sheet_->SetFolder(NimbalCore::FilePathSpec(folder_));
        sheet_->ScanFolder();
        queue_->Drain();
    }
    SheetDocument::SlidePtr Slide(const std::string& name) {
        for (const SheetDocument::SlidePtr& slide : sheet_->GetSlides())
            if ((*slide->GetRendering()->GetImage())->GetFileName() == name) return slide;
        return nullptr;
    }
    std::vector<std::string> SlideNames() {
        std::vector<std::string> names;
        for (const SheetDocument::SlidePtr& slide : sheet_->GetSlides())
            names.push_back((*slide->GetRendering()->GetImage())->GetFileName());
        return names;
    }
    std::vector<std::string> SelectedNames() {
        std::vector<std::string> names;
        for (const SheetDocument::SlidePtr& slide : sheet_->GetSelectionState())
            names.push_back((*slide->GetRendering()->GetImage())->GetFileName());
        return names;
    }
    coretest::KindImage* KindOf(const std::string& name) {
        return dynamic_cast<coretest::KindImage*>(Slide(name)->GetRendering()->GetImage()->Get());
    }

    lumora::test::TempFolder temp_;
    std::string folder_;
    coretest::FakeKinds kinds_;
    std::unique_ptr<coretest::FactoryScope> scope_;
    std::shared_ptr<DrainedQueue> queue_ = std::make_shared<DrainedQueue>();
    LoggingSheetHost host_;
    SheetBoxes boxes_;
    std::shared_ptr<SheetDocument> sheet_;
};

TEST_F(SheetDocumentTest, OpeningSomethingThatIsNotAFolderTellsWhyAndFails) {
    const std::string file = temp_.write("notes.txt", "text");
    struct Row {
        std::string path;
        std::string message;
    } rows[] = {
        {file, "Unable to open \"notes.txt\"\nUnsupported image type."},
        {temp_.file("gone"), "Unable to open \"" + temp_.file("gone") + "\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        auto sheet = std::make_shared<SheetDocument>(queue_, nullptr);
        boxes_.texts.clear();
        EXPECT_FALSE(sheet->Open(row.path));
        EXPECT_EQ(boxes_.texts, std::vector<std::string>{row.message});
        sheet->Close();
    }
}

TEST_F(SheetDocumentTest, AnEmptyFolderOpensWithNoSlides) {
    EXPECT_TRUE(sheet_->Open(folder_));
    queue_->DrainUntil([] { return false; }, 100);
    EXPECT_EQ(sheet_->SlideCount(), 0);
    EXPECT_TRUE(boxes_.texts.empty());
}

TEST_F(SheetDocumentTest, SlidesComeInSortedPlacesOnceEachAndNoneAfterTheStop) {
    Scan({"C.JPG", "A.JPG"});
    Write("B.JPG");
    sheet_->CheckForFolderChanges();
    queue_->Drain();
    EXPECT_EQ(SlideNames(), (std::vector<std::string>{"A.JPG", "B.JPG", "C.JPG"}));
    EXPECT_EQ(host_.added, 3);

    // An image the sheet lists already gets no second slide.
    const NimbalCore::ImageRef listed = *Slide("B.JPG")->GetRendering()->GetImage();
    EXPECT_EQ(sheet_->ImageFound(listed), 0);
    EXPECT_EQ(sheet_->SlideCount(), 3);

    // Once the close began, what the watcher still finds is turned away.
    Write("D.JPG");
    NimbalCore::ImageRef late;
    ASSERT_EQ(NimbalCore::ImageWerks().OpenImage(NimbalCore::FilePathSpec(temp_.file("sheet/D.JPG")), late), 0);
    sheet_->Close();
    EXPECT_EQ(sheet_->ImageFound(late), SheetDocument::kIgnoredWhileStopping);
    EXPECT_EQ(sheet_->SlideCount(), 3);
}

TEST_F(SheetDocumentTest, ADeletedFileDeselectsItsSlideAndTheViewIsToldToRemoveIt) {
    Scan({"A.JPG", "B.JPG", "C.JPG"});
    sheet_->SelectSlide(Slide("A.JPG"));
    // Clicked twice: it is in the selection twice, and leaves it wholly.
    sheet_->SelectSlide(Slide("B.JPG"));
    sheet_->SelectSlide(Slide("B.JPG"));
    host_.TakeLog();
    fs::remove(temp_.path() / "sheet" / "B.JPG");
    sheet_->CheckForFolderChanges();
    queue_->Drain();
    EXPECT_EQ(SlideNames(), (std::vector<std::string>{"A.JPG", "C.JPG"}));
    EXPECT_EQ(SelectedNames(), std::vector<std::string>{"A.JPG"});
    const std::vector<std::string> log = host_.TakeLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "remove 1");
    EXPECT_EQ(host_.counts, "2 images,  1 selected");
}

TEST_F(SheetDocumentTest, TheFocusFollowsItsRules) {
    Scan({"A.JPG", "B.JPG"});
    const SheetDocument::SlidePtr a = Slide("A.JPG"), b = Slide("B.JPG");
    sheet_->SelectSlide(a);
    EXPECT_EQ(a->GetMark(), SheetSlide::Mark::kFocused);
    host_.TakeLog();

    // The focused slide again: the bars are emptied and the focus stays.
    EXPECT_EQ(sheet_->SetFocusedSlide(a), nullptr);
    EXPECT_EQ(host_.TakeLog(), std::vector<std::string>{"bars cleared"});
    EXPECT_EQ(sheet_->GetFocusedSlide(), a);

    // Another slide takes it; the previous one stays selected, and an
    // unpinned close-up follows the new focus.
    sheet_->SelectSlide(b);
    EXPECT_EQ(a->GetMark(), SheetSlide::Mark::kSelected);
    EXPECT_EQ(b->GetMark(), SheetSlide::Mark::kFocused);
    EXPECT_EQ(host_.TakeLog(), (std::vector<std::string>{"bars B.JPG", "close-up B.JPG"}));

    // Null after the last selected image's file went: bars emptied, focus
    // as it was.
    fs::remove(temp_.path() / "sheet" / "B.JPG");
    EXPECT_EQ(sheet_->SetFocusedSlide(nullptr), nullptr);
    EXPECT_EQ(host_.TakeLog(), std::vector<std::string>{"bars cleared"});
    EXPECT_EQ(sheet_->GetFocusedSlide(), b);
}

TEST_F(SheetDocumentTest, DeselectingAndAskingForTheFocusedImage) {
    Scan({"A.JPG", "B.JPG"});
    const SheetDocument::SlidePtr a = Slide("A.JPG"), b = Slide("B.JPG");
    NimbalCore::ImageRendering* focused = a->GetRendering();
    EXPECT_FALSE(sheet_->GetFocusedImage(&focused)) << "slides but nothing selected";
    EXPECT_EQ(focused, nullptr);
    EXPECT_FALSE(sheet_->DeselectSlide(a)) << "not selected";
    EXPECT_FALSE(sheet_->DeselectSlide(nullptr));

    // Without a sheet view nothing takes the focus: the last selected slide
    // stands for it.
    host_.sheetView = false;
    sheet_->SelectSlide(b);
    sheet_->SelectSlide(a);
    EXPECT_EQ(sheet_->GetFocusedSlide(), nullptr);
    ASSERT_TRUE(sheet_->GetFocusedImage(&focused));
    EXPECT_EQ(focused, a->GetRendering());
    host_.sheetView = true;

    EXPECT_TRUE(sheet_->DeselectSlide(a));
    EXPECT_EQ(a->GetMark(), SheetSlide::Mark::kNotSelected);
    EXPECT_EQ(SelectedNames(), std::vector<std::string>{"B.JPG"});
}

TEST_F(SheetDocumentTest, RestoringASelectionSkipsSlidesThatLeftAndAnEmptyOneClearsIt) {
    Scan({"A.JPG", "B.JPG", "C.JPG"});
    sheet_->SelectSlide(Slide("C.JPG"));
    sheet_->SelectSlide(Slide("A.JPG"));
    const UndoSelection saved = *sheet_->GetUndoSelection();
    sheet_->RestoreSelection({});
    EXPECT_TRUE(sheet_->GetSelectionState().empty());
    EXPECT_EQ(sheet_->GetFocusedSlide(), nullptr);

    fs::remove(temp_.path() / "sheet" / "C.JPG");
    sheet_->CheckForFolderChanges();
    queue_->Drain();
    sheet_->RestoreSelection(saved);
    EXPECT_EQ(SelectedNames(), std::vector<std::string>{"A.JPG"});
    EXPECT_EQ(Slide("A.JPG")->GetMark(), SheetSlide::Mark::kFocused);
}

TEST_F(SheetDocumentTest, SaveWithAFailingImage) {
    struct Row {
        const char* name;
        std::deque<int> answers;
        bool result;
        bool stillModified;
        size_t questions;
    } rows[] = {
        // No stops the save: the close is cancelled and the mark stays.
        {"no", {kSaveQuestionNo}, false, true, 1},
        // Yes goes on; the failed image keeps its changes, so does the mark.
        {"yes", {kSaveQuestionYes, kSaveQuestionYes}, true, true, 2},
        // Yes to All asks no more and saves the others.
        {"yes to all", {kSaveQuestionYesToAll}, true, true, 1},
    };
    Scan({"A.JPG", "B.JPG", "C.JPG"});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (const char* name : {"A.JPG", "B.JPG", "C.JPG"}) {
            KindOf(name)->SetModified(true);
            KindOf(name)->writeFailure = std::string(name) == "C.JPG" ? 0 : NimbalCore::NbErrFileWriteFailed;
            KindOf(name)->metadataWrites = 0;
        }
        sheet_->SetModifiedFlag(true);
        host_.questions.clear();
        host_.saveAnswers = row.answers;
        boxes_.answers = {MessageBoxService::kAnswerYes};
        EXPECT_EQ(sheet_->SaveModified(), row.result);
        EXPECT_EQ(sheet_->IsModified(), row.stillModified);
        EXPECT_EQ(host_.questions.size(), row.questions);
        EXPECT_EQ(host_.questions.front(), "Unable to save \"" + temp_.file("sheet/A.JPG") +
                                               "\".\nContinue with the save operation?");
        EXPECT_EQ(KindOf("C.JPG")->metadataWrites, row.result ? 1 : 0);
        EXPECT_FALSE(sheet_->IsSaveInProgress());
    }
    // Once every image wrote its settings, the mark goes.
    for (const char* name : {"A.JPG", "B.JPG"}) KindOf(name)->writeFailure = 0;
    sheet_->Save();
    EXPECT_FALSE(sheet_->IsModified());
    EXPECT_EQ(sheet_->GetLastSaveResult(), 1);
}

TEST_F(SheetDocumentTest, TheCloseQuestion) {
    Scan({"A.JPG"});
    EXPECT_TRUE(sheet_->SaveModified()) << "nothing changed: no question";
    EXPECT_TRUE(boxes_.texts.empty());

    sheet_->SetModifiedFlag(true);
    boxes_.answers = {MessageBoxService::kAnswerCancel, MessageBoxService::kAnswerNo};
    EXPECT_FALSE(sheet_->SaveModified()) << "Cancel keeps the sheet open";
    EXPECT_EQ(boxes_.texts, std::vector<std::string>{"Save changes to sheet?"});
    EXPECT_TRUE(sheet_->SaveModified()) << "No closes without saving";
    EXPECT_TRUE(sheet_->IsModified());

    // A read-only folder saves elsewhere: Save As of the whole sheet.
    ::chmod(folder_.c_str(), 0555);
    host_.TakeLog();
    host_.saveAsResult = 0;
    boxes_.answers = {MessageBoxService::kAnswerYes};
    EXPECT_FALSE(sheet_->SaveModified());
    EXPECT_EQ(host_.TakeLog(), std::vector<std::string>{"save as 1 " + std::to_string(IDS_SAVE_AS_TITLE)});
    ::chmod(folder_.c_str(), 0755);
}

TEST_F(SheetDocumentTest, ClosingWaitsForAPlayingSoundAndEmptiesTheBars) {
    Scan({"A.JPG"});
    host_.soundPlaying = true;
    host_.TakeLog();
    sheet_->Close();
    EXPECT_EQ(host_.TakeLog(), (std::vector<std::string>{
                                   "wait: Please wait while the current sound plays to conclusion.",
                                   "bars cleared", "panes cleared"}));
}

TEST_F(SheetDocumentTest, TheSheetsOwnRenameReordersOnceAtItsEnd) {
    Scan({"A.JPG", "B.JPG", "C.JPG"});
    sheet_->SetRenameInProgress(true);
    for (const char* name : {"A.JPG", "B.JPG"}) {
        NimbalCore::Image& image = *Slide(name)->GetRendering()->GetImage()->Get();
        const NimbalCore::FilePathSpec from = image.GetFilePathSpec();
        NimbalCore::FilePathSpec to(temp_.file(std::string("sheet/Z") + name));
        image.Close();
        image.Rename(to);
    }
    queue_->Drain();
    EXPECT_EQ(host_.reordered, 0);
    sheet_->SetRenameInProgress(false);
    queue_->Drain();
    EXPECT_EQ(host_.reordered, 1);
    EXPECT_EQ(SlideNames(), (std::vector<std::string>{"C.JPG", "ZA.JPG", "ZB.JPG"}));
}

TEST_F(SheetDocumentTest, TheWatchersChangesReachTheWindowsOnlyThroughTheQueue) {
    Scan({"A.JPG", "B.JPG"});
    sheet_->SelectSlide(Slide("B.JPG"));
    host_.TakeLog();
    // The image's file went while its slide held the focus; the watcher's
    // rescan delivers that on its own thread.
    fs::remove(temp_.path() / "sheet" / "B.JPG");
    std::thread watcher([this] { sheet_->CheckForFolderChanges(); });
    watcher.join();
    EXPECT_TRUE(host_.TakeLog().empty()) << "nothing reached the windows from the watcher";
    EXPECT_GT(queue_->Pending(), 0u);
    queue_->Drain();
    const std::vector<std::string> log = host_.TakeLog();
    EXPECT_NE(std::find(log.begin(), log.end(), "remove 1"), log.end());
    EXPECT_TRUE(sheet_->GetSelectionState().empty());
}

TEST_F(SheetDocumentTest, AnUndoAfterItsSlideLeftTouchesNothingThatWasFreed) {
    Scan({"A.JPG", "B.JPG"});
    apptest::QuietUndoHost undoHost;
    UndoHistory history(*sheet_, undoHost);
    host_.forgetInUndo = [&history](const NimbalCore::ImageRendering* r) { history.RemoveImageFromUndo(r); };
    sheet_->SelectSlide(Slide("A.JPG"));
    sheet_->SelectSlide(Slide("B.JPG"));
    history.BeginUndo(62077, 62078, true, false, true, false, false);
    for (const char* name : {"A.JPG", "B.JPG"}) Slide(name)->GetRendering()->GetImage()->Get()->SetTagged(true);
    history.EndUndo();
    ASSERT_EQ(history.UndoCount(), 1u);

    NimbalCore::ImageRef kept = *Slide("A.JPG")->GetRendering()->GetImage();
    fs::remove(temp_.path() / "sheet" / "B.JPG");
    std::thread watcher([this] { sheet_->CheckForFolderChanges(); });
    watcher.join();
    queue_->Drain();
    ASSERT_EQ(SlideNames(), std::vector<std::string>{"A.JPG"});
    history.Undo();
    EXPECT_FALSE(kept->IsTagged());
    EXPECT_EQ(SelectedNames(), std::vector<std::string>{"A.JPG"});
    history.Redo();
    EXPECT_TRUE(kept->IsTagged());
}

} // namespace

namespace {

TEST(SheetTitle, AFolderIsCalledByItsNameAndTheRootByItsPath) {
    const std::pair<std::string, std::string> rows[] = {
        {"/photos/Shoot 12", "Shoot 12"}, {"/photos/Shoot 12/", "Shoot 12"}, {"/", "/"}};
    for (const auto& [path, title] : rows) EXPECT_EQ(SheetDocument::TitleOf(path), title) << path;
}

} // namespace
