// The contact sheet's sort and selection commands headless, over a real
// folder read by the core with the test kinds: the slide order of each
// mode, the same mode chosen again, and the selection, focus and counts
// each selection command leaves.
#include "FakeKinds.h"
#include "FakeSheetSeams.h"
#include "Image.h"
#include "SheetDocument.h"
#include "SheetOrganizeCommands.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace {

namespace fs = std::filesystem;

class SheetOrganizeTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(temp_.path() / "sheet");
        scope_ = std::make_unique<coretest::FactoryScope>(kinds_);
        sheet_ = std::make_shared<SheetDocument>(queue_, nullptr);
        sheet_->SetHost(&host_);
    }
    void TearDown() override {
        sheet_->Close();
        sheet_.reset();
        scope_.reset();
    }
    // Each name with its capture time, read as the watcher's first scan.
    void ScanTimed(const std::map<std::string, time_t>& images) {
        for (const auto& [name, time] : images) {
            kinds_.opens[name] = {"JPEG"};
            kinds_.beforeOpen[name] = [time = time](coretest::KindImage* image) { image->captureTime_ = time; };
            temp_.write("sheet/" + name, "image " + name);
        }
        sheet_->SetFolder(NimbalCore::FilePathSpec(temp_.file("sheet")));
        sheet_->ScanFolder();
        queue_->Drain();
    }
    void Scan(std::initializer_list<const char*> names) {
        std::map<std::string, time_t> images;
        for (const char* name : names) images[name] = 0;
        ScanTimed(images);
    }
    static std::string NameOf(const SheetDocument::SlidePtr& slide) {
        return (*slide->GetRendering()->GetImage())->GetFileName();
    }
    SheetDocument::SlidePtr Slide(const std::string& name) {
        for (const SheetDocument::SlidePtr& slide : sheet_->GetSlides())
            if (NameOf(slide) == name) return slide;
        return nullptr;
    }
    std::vector<std::string> Names(const std::vector<SheetDocument::SlidePtr>& slides) {
        std::vector<std::string> names;
        for (const SheetDocument::SlidePtr& slide : slides) names.push_back(NameOf(slide));
        return names;
    }
    // Each slide's mark: "-" unselected, "s" selected, "F" focused.
    std::string Marks() {
        std::string marks;
        for (const SheetDocument::SlidePtr& slide : sheet_->GetSlides())
            marks += slide->GetMark() == SheetSlide::Mark::kFocused ? 'F' : slide->IsSelected() ? 's' : '-';
        return marks;
    }
    void SelectByMarks(const std::string& marks) {
        sheet_->ClearSelection();
        const std::vector<SheetDocument::SlidePtr> slides = sheet_->GetSlides();
        for (size_t i = 0; i < marks.size(); ++i)
            if (marks[i] != '-') sheet_->SelectSlide(slides[i]);
        queue_->Drain();
    }

    lumora::test::TempFolder temp_;
    coretest::FakeKinds kinds_;
    std::unique_ptr<coretest::FactoryScope> scope_;
    std::shared_ptr<sheettest::DrainedQueue> queue_ = std::make_shared<sheettest::DrainedQueue>();
    sheettest::LoggingSheetHost host_;
    sheettest::SheetBoxes boxes_;
    std::shared_ptr<SheetDocument> sheet_;
};

TEST_F(SheetOrganizeTest, SortingOrdersByCaseBlindNameOrByTimeThenNameAndKeepsTheMode) {
    ScanTimed({{"b.JPG", 100}, {"A.JPG", 100}, {"c.JPG", 50}, {"AB.JPG", 100}});
    EXPECT_EQ(Names(sheet_->GetSlides()), (std::vector<std::string>{"A.JPG", "AB.JPG", "b.JPG", "c.JPG"}));

    struct Row {
        int mode;
        bool changes;
        std::vector<std::string> order;
    } rows[] = {
        {SheetOrganizeCommands::kByDate, true, {"c.JPG", "A.JPG", "AB.JPG", "b.JPG"}},
        // The same mode again leaves the sheet and the kept mode alone.
        {SheetOrganizeCommands::kByDate, false, {"c.JPG", "A.JPG", "AB.JPG", "b.JPG"}},
        {SheetOrganizeCommands::kByName, true, {"A.JPG", "AB.JPG", "b.JPG", "c.JPG"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mode);
        int lastMode = 7;
        EXPECT_EQ(SheetOrganizeCommands::SortBy(*sheet_, row.mode, lastMode), row.changes);
        EXPECT_EQ(lastMode, row.changes ? row.mode : 7);
        EXPECT_EQ(Names(sheet_->GetSlides()), row.order);
        const auto byName = SheetOrganizeCommands::SortItem(*sheet_, SheetOrganizeCommands::kByName);
        const auto byDate = SheetOrganizeCommands::SortItem(*sheet_, SheetOrganizeCommands::kByDate);
        EXPECT_FALSE(byName.disabled);
        EXPECT_EQ(byName.checked, row.mode == SheetOrganizeCommands::kByName);
        EXPECT_EQ(byDate.checked, row.mode == SheetOrganizeCommands::kByDate);
    }
}

TEST_F(SheetOrganizeTest, AnEmptySheetGreysTheSortAndSelectionItems) {
    Scan({});
    const auto item = SheetOrganizeCommands::SortItem(*sheet_, SheetOrganizeCommands::kByName);
    EXPECT_TRUE(item.disabled);
    EXPECT_FALSE(item.checked);
    EXPECT_FALSE(SheetOrganizeCommands::CanSelect(*sheet_));
    // The commands themselves have nothing to do.
    SheetOrganizeCommands::SelectAll(*sheet_);
    SheetOrganizeCommands::SelectInverse(*sheet_);
    queue_->Drain();
    EXPECT_TRUE(sheet_->GetSelectionState().empty());
}

TEST_F(SheetOrganizeTest, SelectionCommandsLeaveTheSelectionFocusAndCounts) {
    Scan({"A.JPG", "B.JPG", "C.JPG", "D.JPG"});
    ASSERT_TRUE(SheetOrganizeCommands::CanSelect(*sheet_));
    using Command = void (*)(SheetDocument&);
    struct Row {
        const char* name;
        Command command;
        std::string before;
        std::string marks;
        std::vector<std::string> selection;
        std::string counts;
    } rows[] = {
        {"all from one", &SheetOrganizeCommands::SelectAll, "-F--", "sssF",
         {"A.JPG", "B.JPG", "C.JPG", "D.JPG"}, "4 images,  4 selected"},
        {"inverse of all", &SheetOrganizeCommands::SelectInverse, "sssF", "----", {}, "4 images,  0 selected"},
        {"inverse of none", &SheetOrganizeCommands::SelectInverse, "----", "sssF",
         {"A.JPG", "B.JPG", "C.JPG", "D.JPG"}, "4 images,  4 selected"},
        {"inverse of two", &SheetOrganizeCommands::SelectInverse, "F--s", "-sF-", {"B.JPG", "C.JPG"},
         "4 images,  2 selected"},
        {"deselect all", &SheetOrganizeCommands::DeselectAll, "sF-s", "----", {}, "4 images,  0 selected"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SelectByMarks(row.before);
        row.command(*sheet_);
        queue_->Drain();
        EXPECT_EQ(Marks(), row.marks);
        EXPECT_EQ(Names(sheet_->GetSelectionState()), row.selection);
        const SheetDocument::SlidePtr focused = sheet_->GetFocusedSlide();
        EXPECT_EQ(focused ? NameOf(focused) : "", row.selection.empty() ? "" : row.selection.back());
        EXPECT_EQ(host_.counts, row.counts);
    }
}

TEST_F(SheetOrganizeTest, SelectTaggedKeepsAndAddsTaggedSlidesAndDropsTheOthers) {
    Scan({"A.JPG", "B.JPG", "C.JPG", "D.JPG"});
    for (const char* name : {"A.JPG", "C.JPG"}) (*Slide(name)->GetRendering()->GetImage())->SetTagged(true);
    SelectByMarks("sF--");
    SheetOrganizeCommands::SelectTagged(*sheet_);
    queue_->Drain();
    EXPECT_EQ(Names(sheet_->GetSelectionState()), (std::vector<std::string>{"A.JPG", "C.JPG"}));
    EXPECT_EQ(Marks(), "s-F-");
    EXPECT_EQ(host_.counts, "4 images,  2 selected");
}

} // namespace
