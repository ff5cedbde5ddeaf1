// The contact-sheet model over a real folder with the factory's test kinds:
// scans and rescans, names listed once, drops with their conflicts and the
// settings that travel with them, renames, containment, teardown, and a
// folder watcher racing the user-interface thread.
#include "CloseUp.h"
#include "ContactSheet.h"
#include "CoreTestSupport.h"
#include "FakeKinds.h"
#include "ImageRendering.h"
#include "ImageWerks.h"
#include "ProgressCB.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include <sys/stat.h>

using namespace NimbalCore;
using coretest::CodeOf;
using coretest::FactoryScope;
using coretest::FakeKinds;
using coretest::KindImage;
namespace fs = std::filesystem;

namespace {

class TestSheet : public ContactSheet {
public:
    void ReportDropFailures(std::vector<std::string> names) override { failures = names; }
    void ActivateImage(const FilePathSpec&) override {}
    void SetModified() override { ++modified; }
    void FolderContentsChanged() override { ++contentsChanged; }

    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (int i = 0; i < GetImageList()->Count(); ++i) names.push_back((*GetImageList())[i]->GetImage()->Get()->GetFileName());
        return names;
    }

    std::vector<std::string> failures;
    int modified = 0, contentsChanged = 0;
};

class ContactSheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(temp_.path() / "sheet");
        fs::create_directories(temp_.path() / "elsewhere");
        sheetFolder_ = temp_.file("sheet");
        for (const char* name : {"A.JPG", "B.JPG", "X.JPG", "Y.JPG", "Z.JPG", "R.JPG", "N.JPG"}) kinds_.opens[name] = {"JPEG"};
        scope_ = std::make_unique<FactoryScope>(kinds_);
    }
    void TearDown() override {
        sources_.clear();
        scope_.reset();
    }

    std::string InSheet(const std::string& name) { return temp_.write("sheet/" + name, "image " + name); }
    // An open image elsewhere, as another sheet would hold it.
    ImageRendering* Source(const std::string& name) {
        ImageRef image;
        EXPECT_EQ(ImageWerks().OpenImage(FilePathSpec(temp_.write("elsewhere/" + name, "source " + name)), image), 0);
        sources_.push_back(std::make_unique<ImageRendering>(image, *image->GetProcessParams()));
        return sources_.back().get();
    }

    lumora::test::TempFolder temp_;
    std::string sheetFolder_;
    FakeKinds kinds_;
    std::unique_ptr<FactoryScope> scope_;
    std::vector<std::unique_ptr<ImageRendering>> sources_;
};

TEST_F(ContactSheetTest, AScanListsEachImageOnceAndAListedNameIsRefused) {
    InSheet("A.JPG");
    InSheet("B.JPG");
    InSheet("notes.txt");
    // On a file system that tells letter case apart, a twin of A's name is
    // the same image to the program: it is not shown twice.
    InSheet("a.jpg");
    TestSheet sheet;
    sheet.SetFolder(FilePathSpec(sheetFolder_));
    sheet.ScanFolder();
    EXPECT_EQ(sheet.Names(), (std::vector<std::string>{"A.JPG", "B.JPG"}));

    ImageRef again = *sheet.GetImageAt(0)->GetImage();
    EXPECT_EQ(sheet.ImageFound(again), ContactSheet::kNameListed);
    EXPECT_EQ(sheet.GetImageList()->Count(), 2);

    // Nothing changed on disk: a rescan does nothing.
    sheet.CheckForFolderChanges();
    EXPECT_EQ(sheet.contentsChanged, 0);
}

TEST_F(ContactSheetTest, ARescanAddsNewFilesAndDropsVanishedOnes) {
    const std::string a = InSheet("A.JPG");
    TestSheet sheet;
    sheet.SetFolder(FilePathSpec(sheetFolder_));
    sheet.ScanFolder();
    fs::remove(a);
    InSheet("B.JPG");
    sheet.CheckForFolderChanges();
    EXPECT_EQ(sheet.Names(), (std::vector<std::string>{"B.JPG"}));
    EXPECT_EQ(sheet.contentsChanged, 1);
    EXPECT_EQ(CodeOf([&] { sheet.FindImageByName("A.JPG"); }), NbErrImageNotListed);

    fs::remove_all(sheetFolder_);
    EXPECT_EQ(CodeOf([&] { sheet.CheckForFolderChanges(); }), NbErrPathStatFailed) << "a folder that is gone";
}

TEST_F(ContactSheetTest, ADropWithOneListedNameCopiesNoneAndNamesIt) {
    kinds_.opens["x.jpg"] = {"JPEG"};
    InSheet("X.JPG");
    TestSheet sheet;
    sheet.SetFolder(FilePathSpec(sheetFolder_));
    sheet.ScanFolder();
    sheet.DropImages({Source("Y.JPG"), Source("x.jpg"), Source("Z.JPG")}, nullptr, 1);
    EXPECT_EQ(sheet.failures, (std::vector<std::string>{"x.jpg"}));
    EXPECT_FALSE(fs::exists(sheetFolder_ + "/Y.JPG"));
    EXPECT_FALSE(fs::exists(sheetFolder_ + "/Z.JPG"));
    EXPECT_FALSE(sheet.IsDropPending("Y.JPG"));
    sheet.DropImages({}, nullptr, 1);
}

TEST_F(ContactSheetTest, ACopiedImageArrivesWithTheSettingsItHadNotSaved) {
    TestSheet sheet;
    sheet.SetFolder(FilePathSpec(sheetFolder_));
    sheet.ScanFolder();
    ImageRendering* source = Source("Y.JPG");
    Image* original = source->GetImage()->Get();
    ImageProcessParam adjusted = *original->GetProcessParams();
    adjusted.exposureCompensation = 1.5f;
    original->SetProcessParams(adjusted);
    original->SetTagged(true);
    ASSERT_TRUE(original->IsModified());

    sheet.DropImages({source}, nullptr, 1);
    EXPECT_TRUE(sheet.IsDropPending("Y.JPG"));
    sheet.CheckForFolderChanges();

    ImageRendering* arrived = sheet.FindImageByName("Y.JPG");
    auto* image = dynamic_cast<KindImage*>(arrived->GetImage()->Get());
    ASSERT_NE(image, nullptr);
    EXPECT_NE(image, original);
    EXPECT_FLOAT_EQ(arrived->GetProcessParam().exposureCompensation, 1.5f);
    EXPECT_TRUE(image->IsTagged());
    EXPECT_EQ(image->metadataWrites, 1) << "written into the new file";
    EXPECT_EQ(sheet.modified, 0);
    EXPECT_FALSE(sheet.IsDropPending("Y.JPG"));
}

TEST_F(ContactSheetTest, AMovedReadOnlyImageKeepsItsSettingsInMemoryAndMarksTheSheet) {
    TestSheet sheet;
    sheet.SetFolder(FilePathSpec(sheetFolder_));
    sheet.ScanFolder();
    ImageRendering* source = Source("R.JPG");
    ::chmod(temp_.file("elsewhere/R.JPG").c_str(), 0444);
    ImageProcessParam adjusted = *source->GetImage()->Get()->GetProcessParams();
    adjusted.rotation = 90;
    source->GetImage()->Get()->SetProcessParams(adjusted);

    sheet.DropImages({source}, nullptr, 0);
    ASSERT_TRUE(fs::exists(sheetFolder_ + "/R.JPG"));
    sheet.CheckForFolderChanges();
    ImageRendering* arrived = sheet.FindImageByName("R.JPG");
    EXPECT_FLOAT_EQ(arrived->GetProcessParam().rotation, 90);
    EXPECT_EQ(dynamic_cast<KindImage*>(arrived->GetImage()->Get())->metadataWrites, 0);
    EXPECT_EQ(sheet.modified, 1);
}

TEST_F(ContactSheetTest, ADropThatFailsLeavesNothingPendingForFilesThatNeverCame) {
    TestSheet sheet;
    sheet.SetFolder(FilePathSpec(sheetFolder_));
    sheet.ScanFolder();
    // Z's name is taken in the folder by a file the sheet does not show yet.
    InSheet("Z.JPG");
    ImageRendering* y = Source("Y.JPG");
    ImageRendering* z = Source("Z.JPG");
    ImageRendering* n = Source("N.JPG");
    EXPECT_EQ(CodeOf([&] { sheet.DropImages({y, z, n}, nullptr, 1); }), NbErrFileCopyFailed);
    EXPECT_TRUE(sheet.IsDropPending("Y.JPG")) << "its file arrived and waits for the rescan";
    EXPECT_FALSE(sheet.IsDropPending("Z.JPG"));
    EXPECT_FALSE(sheet.IsDropPending("N.JPG"));
}

TEST_F(ContactSheetTest, ARenameKeepsTheRenderingsParameters) {
    InSheet("A.JPG");
    TestSheet sheet;
    sheet.SetFolder(FilePathSpec(sheetFolder_));
    sheet.ScanFolder();
    ImageRendering* listed = sheet.FindImageByName("A.JPG");
    listed->GetProcessParamPtr()->exposureCompensation = -0.7f;
    Image* image = listed->GetImage()->Get();

    image->Rename(FilePathSpec(sheetFolder_ + "/B.JPG"));
    EXPECT_EQ(CodeOf([&] { sheet.FindImageByName("A.JPG"); }), NbErrImageNotListed);
    ImageRendering* renamed = sheet.FindImageByName("b.jpg");
    EXPECT_FLOAT_EQ(renamed->GetProcessParam().exposureCompensation, -0.7f);
    EXPECT_EQ(renamed->GetImage()->Get(), image);
    EXPECT_TRUE(ImagePool::Instance()->Contains(FilePathSpec(sheetFolder_ + "/B.JPG")));
}

TEST_F(ContactSheetTest, ContainmentAndFindingTheSheetOfAPath) {
    EXPECT_EQ(ContactSheet::FindByFolder(FilePathSpec(sheetFolder_)), nullptr) << "no sheet open";
    InSheet("A.JPG");
    InSheet("notes.txt");
    fs::create_directories(sheetFolder_ + "/sub");
    TestSheet sheet;
    sheet.SetFolder(FilePathSpec(sheetFolder_));
    sheet.ScanFolder();
    EXPECT_TRUE(sheet.ContainsImage(FilePathSpec(sheetFolder_)));
    EXPECT_TRUE(sheet.ContainsImage(FilePathSpec(sheetFolder_ + "/A.JPG")));
    EXPECT_FALSE(sheet.ContainsImage(FilePathSpec(sheetFolder_ + "/notes.txt")));
    EXPECT_FALSE(sheet.ContainsImage(FilePathSpec(sheetFolder_ + "/sub/A.JPG")));
    EXPECT_EQ(ContactSheet::FindByFolder(FilePathSpec(sheetFolder_ + "/A.JPG")), &sheet);
    EXPECT_EQ(ContactSheet::FindByFolder(FilePathSpec(temp_.file("elsewhere"))), nullptr);
}

TEST_F(ContactSheetTest, ASheetThatGoesStopsListeningToItsImagesAndClosingCloseUps) {
    InSheet("A.JPG");
    ImageRef held;
    CloseUp* closeUp = nullptr;
    ContactSheet* gone = nullptr;
    {
        TestSheet sheet;
        gone = &sheet;
        sheet.SetFolder(FilePathSpec(sheetFolder_));
        ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(sheetFolder_ + "/A.JPG"), held), 0);
        // A close-up of the image before the scan: the sheet joins it.
        ImageRendering view(held, *held->GetProcessParams());
        closeUp = CloseUp::GetCloseUpFor(&view);
        sheet.ScanFolder();
        // The close-up says it closes: the sheet leaves it.
        sheet.CloseUpClosing(closeUp);
    }
    EXPECT_EQ(CodeOf([&] { held->RemoveImageChangeCB(gone); }), NbErrImageChangeCBNotFound);
    held->NotifyImageChange(ImageChangeFile);
    delete closeUp;
}

TEST_F(ContactSheetTest, AWatcherScanningWhileTheUserInterfaceOpensAndWalks) {
    // The watcher scans and rescans as new files arrive; meanwhile this
    // thread opens the same paths and walks the list. No error may escape
    // either side (a path pooled by the other side is shared).
    constexpr int kFiles = 60;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "S" + std::to_string(1000 + i) + ".JPG";
        kinds_.opens[name] = {"JPEG"};
        // Opening takes a moment, as a real file's does: both sides are
        // then often inside it for the same new file.
        kinds_.beforeOpen[name] = [](KindImage*) { std::this_thread::sleep_for(std::chrono::milliseconds(2)); };
    }
    TestSheet sheet;
    sheet.SetFolder(FilePathSpec(sheetFolder_));
    std::atomic<bool> done{false};
    std::atomic<int> watcherErrors{0};
    std::thread watcher([&] {
        try {
            sheet.ScanFolder();
            while (!done.load()) sheet.CheckForFolderChanges();
            sheet.CheckForFolderChanges();
        } catch (...) {
            ++watcherErrors;
        }
    });
    int uiErrors = 0;
    for (int i = 0; i < kFiles; ++i) {
        const std::string path = InSheet("S" + std::to_string(1000 + i) + ".JPG");
        try {
            ImageRef image;
            if (ImageWerks().OpenImage(FilePathSpec(path), image) != 0) ++uiErrors;
            const int count = sheet.GetImageList()->Count();
            for (int k = 0; k < count; ++k) {
                try {
                    (void)sheet.GetImageAt(k);
                } catch (const YlmErrp& e) {
                    // The watcher may add meanwhile; a walk past the end is
                    // the list's plain answer.
                    if (e.GetCode() != NbErrImageNotListed) throw;
                }
            }
        } catch (...) {
            ++uiErrors;
        }
    }
    done = true;
    watcher.join();
    EXPECT_EQ(watcherErrors.load(), 0);
    EXPECT_EQ(uiErrors, 0);
    EXPECT_EQ(sheet.GetImageList()->Count(), kFiles);
}

} // namespace
