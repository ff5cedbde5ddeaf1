// The preview model over a real folder with the factory's test kinds:
// opening and its failures, re-initialising, the sound files found once,
// finding a preview by path, and what a preview leaves behind.
#include "CloseUp.h"
#include "CloseUpViewBase.h"
#include "CoreTestSupport.h"
#include "FakeKinds.h"
#include "ImagePool.h"
#include "ImageRendering.h"
#include "Preview.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace NimbalCore;
using coretest::CodeOf;
using coretest::FactoryScope;
using coretest::FakeKinds;
using coretest::KindImage;

namespace {

class TestPreview : public Preview {
public:
    void ActivateImage(const FilePathSpec&) override {}
    void CloseUpRectChanged(CloseUp*) override { ++rectChanges; }
    int rectChanges = 0;
};

class TestView : public CloseUpViewBase {
public:
    void CloseUpChanged() override {}
    void ActivateView() override {}
    NbRect GetViewRect() override { return NbRect(); }
    void CloseUpReleased(CloseUp*) override { ++released; }
    int released = 0;
};

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"IMG.JPG", "B.JPG"}) kinds_.opens[name] = {"JPEG"};
        scope_ = std::make_unique<FactoryScope>(kinds_);
        a_ = temp_.write("IMG.JPG", "a");
        b_ = temp_.write("B.JPG", "b");
    }
    void TearDown() override { scope_.reset(); }

    static std::vector<std::string> SoundNames(ImageRendering* rendering) {
        std::vector<std::string> names;
        for (const FilePathSpec& s : *rendering->GetImage()->Get()->GetSounds()) names.push_back(s.GetFileName());
        return names;
    }

    lumora::test::TempFolder temp_;
    FakeKinds kinds_;
    std::unique_ptr<FactoryScope> scope_;
    std::string a_, b_;
};

TEST_F(PreviewTest, AFileNoKindReadsLeavesThePreviewWithoutARendering) {
    const std::string odd = temp_.write("notes.txt", "text");
    TestPreview preview;
    EXPECT_EQ(CodeOf([&] { preview.GetImageRendering(); }), NbErrNoRendering);
    EXPECT_EQ(CodeOf([&] { preview.Initialize(FilePathSpec(odd)); }), NbErrUnsupportedImage);
    EXPECT_EQ(CodeOf([&] { preview.GetImageRendering(); }), NbErrNoRendering);
    EXPECT_FALSE(preview.ContainsImage(FilePathSpec(odd)));
    EXPECT_EQ(Preview::FindByPath(FilePathSpec(odd)), nullptr);

    // A preview that shows an image keeps it when the next file fails.
    preview.Initialize(FilePathSpec(a_));
    EXPECT_EQ(CodeOf([&] { preview.Initialize(FilePathSpec(odd)); }), NbErrUnsupportedImage);
    EXPECT_TRUE(preview.ContainsImage(FilePathSpec(a_)));

    // A kind's own failure passes through.
    kinds_.opens["C.JPG"] = {"JPEG"};
    kinds_.throwsOnOpen["C.JPG"] = NbErrImageFileInUse;
    EXPECT_EQ(CodeOf([&] { preview.Initialize(FilePathSpec(temp_.write("C.JPG", "c"))); }), NbErrImageFileInUse);
    EXPECT_TRUE(preview.ContainsImage(FilePathSpec(a_)));
}

TEST_F(PreviewTest, ReinitialisingReleasesTheOldImage) {
    ImagePool* pool = ImagePool::Instance();
    {
        TestPreview preview;
        preview.Initialize(FilePathSpec(a_));
        ImageRendering* first = preview.GetImageRendering();
        EXPECT_EQ(first->GetProcessParam(), *first->GetImage()->Get()->GetProcessParams());
        EXPECT_TRUE(pool->Contains(FilePathSpec(a_)));
        preview.Initialize(FilePathSpec(b_));
        EXPECT_FALSE(pool->Contains(FilePathSpec(a_))) << "nothing else held it";
        EXPECT_TRUE(preview.ContainsImage(FilePathSpec(b_)));
        EXPECT_FALSE(preview.ContainsImage(FilePathSpec(a_)));

        // From a rendering: a copy with its own parameters, also of the
        // preview's own rendering.
        ImageRendering* own = preview.GetImageRendering();
        own->GetProcessParamPtr()->exposureCompensation = 0.7f;
        preview.Initialize(*own);
        EXPECT_NE(preview.GetImageRendering(), own);
        EXPECT_FLOAT_EQ(preview.GetImageRendering()->GetProcessParam().exposureCompensation, 0.7f);
        EXPECT_TRUE(pool->Contains(FilePathSpec(b_)));
    }
    EXPECT_FALSE(pool->Contains(FilePathSpec(b_))) << "a destroyed preview lets go of its image";
}

TEST_F(PreviewTest, TheFolderIsSearchedForSoundsOnlyTheFirstTimeAnImageIsShown) {
    // The test kind keeps the sounds of its own stem.
    temp_.write("IMG.WAV", "s");
    temp_.write("IMG.wav", "s");
    temp_.write("B.WAV", "s");
    temp_.write("IMG.TXT", "t");
    TestView view;
    TestPreview first;
    first.Initialize(FilePathSpec(a_));
    ImageRendering* rendering = first.GetImageRendering();
    EXPECT_EQ(SoundNames(rendering), (std::vector<std::string>{"IMG.WAV", "IMG.wav"}));
    ASSERT_NE(view.GetCloseUp(), nullptr) << "the unpinned close-up view points at the image";
    view.AttachToCloseUp(nullptr);

    // Shown again: no second search (a new sound would have been taken),
    // and the close-up view is left alone.
    temp_.write("IMG.Wav", "s");
    TestPreview second;
    second.Initialize(FilePathSpec(a_));
    EXPECT_EQ(second.GetImageRendering()->GetImage()->Get(), rendering->GetImage()->Get());
    EXPECT_EQ(SoundNames(rendering).size(), 2u);
    EXPECT_EQ(view.GetCloseUp(), nullptr);
}

TEST_F(PreviewTest, FindByPathAnswersTheFirstPreviewOfTheFile) {
    auto first = std::make_unique<TestPreview>();
    TestPreview other, second;
    other.Initialize(FilePathSpec(b_));
    first->Initialize(FilePathSpec(a_));
    second.Initialize(FilePathSpec(a_));
    EXPECT_EQ(Preview::FindByPath(FilePathSpec(a_)), first.get());
    EXPECT_EQ(Preview::FindByPath(FilePathSpec(temp_.file("img.jpg"))), first.get()) << "letter case aside";
    EXPECT_EQ(Preview::FindByPath(FilePathSpec(b_)), &other);
    first.reset();
    EXPECT_EQ(Preview::FindByPath(FilePathSpec(a_)), &second);
}

TEST_F(PreviewTest, APreviewLeavesTheCloseUpsOfImagesItNoLongerShows) {
    TestView view;
    auto preview = std::make_unique<TestPreview>();
    preview->Initialize(FilePathSpec(a_));
    CloseUp* closeUp = view.GetCloseUp();
    ASSERT_NE(closeUp, nullptr);
    view.Pin();
    const ImageRef first = *preview->GetImageRendering()->GetImage();

    // The same file again: it still follows the close-up.
    preview->Initialize(*preview->GetImageRendering());
    closeUp->SetCentre(NbPoint{10, 10});
    EXPECT_EQ(preview->rectChanges, 1);
    EXPECT_EQ(view.released, 0);

    // Another file: it leaves the old image's close-up, which would
    // otherwise call it after it is gone.
    preview->Initialize(FilePathSpec(b_));
    EXPECT_EQ(view.released, 1);
    closeUp->SetCentre(NbPoint{20, 20});
    EXPECT_EQ(preview->rectChanges, 1);

    // Destroyed: its image frees its cached data, and it leaves the close-up
    // of the image it shows.
    ImageRef held = *preview->GetImageRendering()->GetImage();
    auto* shown = dynamic_cast<KindImage*>(held.Get());
    view.AttachToCloseUp(nullptr);
    TestView other;
    preview->ShowCloseUp();
    ASSERT_NE(other.GetCloseUp(), nullptr);
    preview.reset();
    EXPECT_EQ(shown->frees, 1);
    EXPECT_EQ(other.released, 1);
    EXPECT_EQ(dynamic_cast<KindImage*>(first.Get())->frees, 0) << "only the image shown at the end";
}

} // namespace
