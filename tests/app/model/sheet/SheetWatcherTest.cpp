// The contact sheet's folder watcher over a real folder: files copied in
// become slides at their sorted places, removed files leave, a removed
// folder is reported once on the user-interface thread and the close then
// returns at once, the default period, and what an idle rescan costs.
#include "FakeKinds.h"
#include "FakeSheetSeams.h"
#include "Folder.h"
#include "FolderWatcher.h"
#include "Image.h"
#include "SheetDocument.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

namespace {

namespace fs = std::filesystem;

class SheetWatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(temp_.path() / "watched");
        folder_ = temp_.file("watched");
        scope_ = std::make_unique<coretest::FactoryScope>(kinds_);
    }
    void TearDown() override {
        if (sheet_) sheet_->Close();
        sheet_.reset();
        scope_.reset();
    }
    void Open(std::chrono::milliseconds period) {
        sheet_ = std::make_shared<SheetDocument>(queue_, [this] { return rescanEnabled_.load(); }, period);
        sheet_->SetHost(&host_);
        ASSERT_TRUE(sheet_->Open(folder_));
    }
    // Written elsewhere and moved in, as a copy that is complete when it
    // appears.
    void CopyIn(const std::string& name) {
        kinds_.opens[name] = {"JPEG"};
        const std::string staged = temp_.write(name, "image " + name);
        fs::rename(staged, fs::path(folder_) / name);
    }
    std::vector<std::string> WatchedNames() {
        std::vector<std::string> names;
        for (const SheetDocument::SlidePtr& slide : sheet_->GetSlides())
            names.push_back((*slide->GetRendering()->GetImage())->GetFileName());
        return names;
    }
    bool WaitForNames(const std::vector<std::string>& names, int ms) {
        return queue_->DrainUntil([&] { return WatchedNames() == names; }, ms);
    }

    lumora::test::TempFolder temp_;
    std::string folder_;
    coretest::FakeKinds kinds_;
    std::unique_ptr<coretest::FactoryScope> scope_;
    std::shared_ptr<sheettest::DrainedQueue> queue_ = std::make_shared<sheettest::DrainedQueue>();
    sheettest::LoggingSheetHost host_;
    sheettest::SheetBoxes boxes_;
    std::atomic<bool> rescanEnabled_{true};
    std::shared_ptr<SheetDocument> sheet_;
};

TEST_F(SheetWatcherTest, FilesCopiedInAppearAtTheirPlacesAndARemovedOneLeaves) {
    CopyIn("M.JPG");
    Open(std::chrono::milliseconds(200));
    ASSERT_TRUE(WaitForNames({"M.JPG"}, 3000));
    for (const char* name : {"Z.JPG", "B.JPG", "Q.JPG"}) CopyIn(name);
    EXPECT_TRUE(WaitForNames({"B.JPG", "M.JPG", "Q.JPG", "Z.JPG"}, 3000));
    fs::remove(fs::path(folder_) / "M.JPG");
    EXPECT_TRUE(WaitForNames({"B.JPG", "Q.JPG", "Z.JPG"}, 3000));

    // While the program renames files the watcher leaves the folder alone.
    rescanEnabled_ = false;
    CopyIn("A.JPG");
    queue_->DrainUntil([] { return false; }, 700);
    EXPECT_EQ(WatchedNames(), (std::vector<std::string>{"B.JPG", "Q.JPG", "Z.JPG"}));
    rescanEnabled_ = true;
    EXPECT_TRUE(WaitForNames({"A.JPG", "B.JPG", "Q.JPG", "Z.JPG"}, 3000));
    EXPECT_TRUE(boxes_.texts.empty());
}

TEST_F(SheetWatcherTest, TheOpenReturnsBeforeAnyImageIsRead) {
    // The first image's opening waits until the test lets it go: the open
    // has returned by then, with no slide.
    std::mutex gate;
    std::unique_lock<std::mutex> closed(gate);
    std::atomic<bool> reading{false};
    CopyIn("A.JPG");
    CopyIn("B.JPG");
    kinds_.beforeOpen["A.JPG"] = [&](coretest::KindImage*) {
        reading = true;
        std::lock_guard<std::mutex> wait(gate);
    };
    Open(std::chrono::milliseconds(200));
    EXPECT_EQ(sheet_->SlideCount(), 0);
    EXPECT_TRUE(queue_->DrainUntil([&] { return reading.load(); }, 3000)) << "the watcher reads the folder";
    EXPECT_EQ(sheet_->SlideCount(), 0);
    closed.unlock();
    EXPECT_TRUE(WaitForNames({"A.JPG", "B.JPG"}, 3000));
}

TEST_F(SheetWatcherTest, ARemovedFolderIsReportedOnceOnTheUiThreadAndTheCloseReturnsAtOnce) {
    CopyIn("A.JPG");
    Open(std::chrono::milliseconds(200));
    ASSERT_TRUE(WaitForNames({"A.JPG"}, 3000));
    fs::remove_all(folder_);
    EXPECT_TRUE(queue_->DrainUntil([this] { return boxes_.Count() > 0; }, 3000));
    queue_->DrainUntil([] { return false; }, 600);
    ASSERT_EQ(boxes_.texts, std::vector<std::string>{"Please close this folder and do not try to save anything in "
                                                     "it.  The folder is no longer present."});
    EXPECT_EQ(boxes_.threads[0], std::this_thread::get_id());
    EXPECT_EQ(WatchedNames(), std::vector<std::string>{"A.JPG"}) << "the sheet keeps its slides";

    const auto start = std::chrono::steady_clock::now();
    sheet_->Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST_F(SheetWatcherTest, WithTheDefaultPeriodACopiedJpegIsASlideWithinSixSeconds) {
    Open(SheetDocument::kDefaultPeriod);
    queue_->DrainUntil([] { return false; }, 300);
    const auto start = std::chrono::steady_clock::now();
    CopyIn("NEW.JPG");
    EXPECT_TRUE(WaitForNames({"NEW.JPG"}, 6000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
}

TEST_F(SheetWatcherTest, AnIdleRescanOfFiveHundredFilesCostsOneListing) {
    for (int i = 0; i < 500; ++i) {
        const std::string name = "F" + std::to_string(1000 + i) + ".JPG";
        kinds_.opens[name] = {"JPEG"};
        temp_.write("watched/" + name, "image");
    }
    sheet_ = std::make_shared<SheetDocument>(queue_, nullptr);
    sheet_->SetHost(&host_);
    sheet_->SetFolder(NimbalCore::FilePathSpec(folder_));
    sheet_->ScanFolder();
    ASSERT_EQ(sheet_->SlideCount(), 500);
    const uint64_t before = NimbalCore::Folder::ListingsMade();
    sheet_->CheckForFolderChanges();
    EXPECT_EQ(NimbalCore::Folder::ListingsMade() - before, 1u);
    EXPECT_EQ(queue_->Pending(), 0u) << "nothing to tell the windows";
}

} // namespace

namespace {

TEST(FolderWatcherStop, AWatcherThatDoesNotAnswerIsLetGoAndEndsLaterHoldingWhatItUses) {
    struct Held {};
    auto held = std::make_shared<Held>();
    std::weak_ptr<Held> watch = held;
    std::mutex gate;
    std::unique_lock<std::mutex> closed(gate);
    std::atomic<bool> scanning{false};
    {
        FolderWatcher watcher;
        FolderWatcher::Jobs jobs;
        jobs.firstScan = [held, &gate, &scanning] {
            scanning = true;
            std::lock_guard<std::mutex> wait(gate);
        };
        jobs.rescan = [] {};
        ASSERT_TRUE(watcher.Start(std::move(jobs), std::chrono::milliseconds(10)));
        held.reset();
        while (!scanning) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(watcher.Stop(std::chrono::milliseconds(100)));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    }
    EXPECT_FALSE(watch.expired()) << "the let-go watcher still holds what its scan uses";
    closed.unlock();
    for (int i = 0; i < 200 && !watch.expired(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(watch.expired()) << "it let go of it when it ended";

    // A watcher that ended already answers at once.
    FolderWatcher ended;
    FolderWatcher::Jobs failing;
    failing.firstScan = [] { YLM_THROW("scan", 1601); };
    ASSERT_TRUE(ended.Start(std::move(failing), std::chrono::milliseconds(10)));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(ended.Stop(std::chrono::seconds(10)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

} // namespace
