// Undo snapshots and pasting settings onto many images: what each snapshot
// kind puts back and leaves alone, group-wise restores, the unchanged test,
// and a batch with an image that refuses the pasted set.
#include "ApplyParamGroupsToImages.h"
#include "CoreTestSupport.h"
#include "FakeImage.h"
#include "ImagePool.h"
#include "ImageRendering.h"
#include "ImageRevert.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace NimbalCore;
using coretest::CodeOf;
using coretest::FakeImage;

namespace {

// A kind with annotations that counts parameter changes and refuses sets
// when told to.
class RevertImage : public FakeImage {
public:
    using FakeImage::FakeImage;
    std::string GetAnnotation() override { return annotation; }
    void SetAnnotation(const std::string& text) override { annotation = text; }
    void SetProcessParams(const ImageProcessParam& params) override {
        ++paramSets;
        Image::SetProcessParams(params);
    }
    ValidationCodes ValidateProcessParams(const ImageProcessParam& params) override {
        if (refuse) return ImageProcessParam::ExposureOutOfRange;
        return FakeImage::ValidateProcessParams(params);
    }
    std::string annotation;
    int paramSets = 0;
    bool refuse = false;
};

// A snapshot that notes what the images held when its hook ran.
class NotingRevert : public ImageRevert {
public:
    using ImageRevert::ImageRevert;
    std::vector<bool> tagsSeen;

protected:
    void OnRestore() override {
        for (ImageRendering* r : GetRenderings()) tagsSeen.push_back(r->GetImage()->Get()->IsTagged());
    }
};

IPTCNAARecord2 RecordNamed(const std::string& name) {
    IPTCNAARecord2 record;
    record.AddDataset(IPTCNAARecord2::kObjectName, reinterpret_cast<const uint8_t*>(name.data()),
                      uint32_t(name.size()));
    return record;
}

class ImageRevertTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"/rv/A.ZYR", "/rv/B.ZYR"}) {
            auto* image = new RevertImage(name, 400, 300);
            images_.push_back(image);
            ImageProcessParam params;
            params.crop = NbRect(0, 0, 399, 299);
            image->SetProcessParams(params);
            image->SetModified(false);
            image->paramSets = 0;
            image->annotation = "note";
            renderings_.push_back(std::make_unique<ImageRendering>(ImageRef(image), params));
            list_.push_back(renderings_.back().get());
        }
    }
    void TearDown() override {
        renderings_.clear();
        ImagePool::DeleteInstance();
    }

    // The change a command makes: new crop and exposure, tag, IPTC record
    // and annotation, in the images and in the renderings alike.
    void Change() {
        for (size_t i = 0; i < list_.size(); ++i) {
            ImageProcessParam params = list_[i]->GetProcessParam();
            params.crop = NbRect(10, 10, 109, 109);
            params.exposureCompensation = 1.0f;
            list_[i]->SetProcessParam(params);
            images_[i]->SetProcessParams(params);
            images_[i]->SetTagged(true);
            images_[i]->SetIPTCRecord(RecordNamed("changed"));
            images_[i]->annotation = "changed";
        }
    }

    std::vector<RevertImage*> images_;
    std::vector<std::unique_ptr<ImageRendering>> renderings_;
    std::vector<ImageRendering*> list_;
};

TEST_F(ImageRevertTest, EachKindOfSnapshotRestoresOnlyWhatItHolds) {
    NotingRevert tagsOnly(list_, false, false, true, false, false);
    EXPECT_TRUE(tagsOnly.IsUnchanged(list_)) << "right after it was taken";
    Change();
    EXPECT_FALSE(tagsOnly.IsUnchanged(list_));
    tagsOnly.Restore();
    EXPECT_EQ(tagsOnly.tagsSeen, (std::vector<bool>{true, true})) << "the hook runs first";
    for (RevertImage* image : images_) {
        EXPECT_FALSE(image->IsTagged());
        EXPECT_FLOAT_EQ(image->GetProcessParams()->exposureCompensation, 1.0f);
        EXPECT_TRUE(image->GetIPTCRecord()->IsEqual(RecordNamed("changed")));
        EXPECT_EQ(image->annotation, "changed");
    }

    // Everything: parameters with the modified flag, IPTC, annotation; the
    // names are the subclass's.
    for (RevertImage* image : images_) image->SetTagged(false);
    for (RevertImage* image : images_) image->SetModified(false);
    ImageRevert all(list_, true, true, true, true, true);
    ASSERT_EQ(all.GetNameEntries().size(), 2u);
    EXPECT_EQ(all.GetNameEntries()[1].fileName, "B.ZYR");
    const IPTCNAARecord2 before = *images_[0]->GetIPTCRecord();
    images_[0]->SetIPTCRecord(RecordNamed("again"));
    images_[0]->annotation = "again";
    images_[0]->SetTagged(true);
    ImageProcessParam moved = *images_[0]->GetProcessParams();
    moved.rotation = 90;
    images_[0]->SetProcessParams(moved);
    all.Restore();
    EXPECT_EQ(images_[0]->GetProcessParams()->rotation, 0.0f);
    EXPECT_TRUE(images_[0]->GetIPTCRecord()->IsEqual(before));
    EXPECT_EQ(images_[0]->annotation, "changed");
    EXPECT_FALSE(images_[0]->IsTagged());
    EXPECT_TRUE(all.IsUnchanged(list_));

    // Parameters come back with the modified flag they had.
    ImageRevert paramsOnly(list_, true, false, false, false, false);
    images_[1]->SetProcessParams(moved);
    ASSERT_TRUE(images_[1]->IsModified());
    paramsOnly.Restore();
    EXPECT_EQ(images_[1]->GetProcessParams()->rotation, 0.0f);
    EXPECT_FALSE(images_[1]->IsModified());
}

TEST_F(ImageRevertTest, AForgottenRenderingIsNeitherComparedNorRestored) {
    ImageRevert all(list_, true, true, true, true, true);
    Change();
    all.RemoveRendering(list_[0]);
    EXPECT_EQ(all.GetRenderings(), std::vector<ImageRendering*>{list_[1]});
    ASSERT_EQ(all.GetNameEntries().size(), 1u);
    EXPECT_EQ(all.GetNameEntries()[0].fileName, "B.ZYR");
    all.Restore();
    EXPECT_TRUE(images_[0]->IsTagged()) << "the forgotten image keeps its change";
    EXPECT_EQ(images_[0]->annotation, "changed");
    EXPECT_FALSE(images_[1]->IsTagged());
    EXPECT_EQ(images_[1]->annotation, "note");
    EXPECT_EQ(images_[1]->GetProcessParams()->exposureCompensation, 0.0f);
    list_[1]->SetProcessParam(*images_[1]->GetProcessParams());
    EXPECT_TRUE(all.IsUnchanged({list_[1]}));
}

TEST_F(ImageRevertTest, RestoringTheCropGroupKeepsTheOtherCurrentParameters) {
    ImageRevert revert(list_, true, true, true, false, false);
    Change();
    revert.RestoreGroups({ImageProcessParam::GroupCrop});
    for (RevertImage* image : images_) {
        EXPECT_EQ(image->GetProcessParams()->crop, NbRect(0, 0, 399, 299));
        EXPECT_FLOAT_EQ(image->GetProcessParams()->exposureCompensation, 1.0f);
        EXPECT_FALSE(image->IsModified());
        EXPECT_TRUE(image->IsTagged()) << "tags only with group 9";
        EXPECT_TRUE(image->GetIPTCRecord()->IsEqual(RecordNamed("changed"))) << "IPTC only with group 8";
    }
    revert.RestoreGroups({ImageProcessParam::GroupTagging, ImageProcessParam::GroupIPTC});
    for (RevertImage* image : images_) {
        EXPECT_FALSE(image->IsTagged());
        EXPECT_TRUE(image->GetIPTCRecord()->IsEqual(IPTCNAARecord2()));
    }
}

TEST_F(ImageRevertTest, TheUnchangedTestSkipsKindsCapturedForAnotherList) {
    ImageRevert revert(list_, true, false, false, true, false);
    EXPECT_TRUE(revert.IsUnchanged({}));
    // Compared with one rendering, the two-entry kinds are skipped.
    Change();
    EXPECT_TRUE(revert.IsUnchanged({list_[0]}));
    EXPECT_FALSE(revert.IsUnchanged(list_));
    // Parameters put back, the annotation still differs.
    for (size_t i = 0; i < list_.size(); ++i) list_[i]->SetProcessParam(revert.GetParamEntries()[i].params);
    EXPECT_FALSE(revert.IsUnchanged(list_));
    for (RevertImage* image : images_) image->annotation = "note";
    EXPECT_TRUE(revert.IsUnchanged(list_));

    // A rendering without an image cannot be captured or compared.
    ImageRendering empty{ImageRef(), ImageProcessParam()};
    EXPECT_EQ(CodeOf([&] { ImageRevert bad(std::vector<ImageRendering*>{&empty}, false, false, true, false, false); }), NbErrInvalidValue);
}

TEST_F(ImageRevertTest, PastingTheSetEveryImageHasChangesNothing) {
    std::vector<ImageRendering*> refused{list_[0]};
    const ImageProcessParam same = list_[0]->GetProcessParam();
    EXPECT_FALSE(ApplyParamGroupsToImages(list_, same, {0, 1, 2, 3, 4, 5, 6, 7, 10}, false, IPTCNAARecord2(),
                                          refused));
    EXPECT_TRUE(refused.empty());
    for (RevertImage* image : images_) EXPECT_EQ(image->paramSets, 0);
}

TEST_F(ImageRevertTest, ARefusingImageKeepsItsParametersButGetsTheTagAndIPTC) {
    images_[0]->refuse = true;
    ImageProcessParam source;
    source.exposureCompensation = -0.5f;
    source.crop = NbRect(1, 2, 3, 4);
    std::vector<ImageRendering*> refused;
    const IPTCNAARecord2 record = RecordNamed("pasted");
    EXPECT_TRUE(ApplyParamGroupsToImages(
        list_, source, {ImageProcessParam::GroupExposure, ImageProcessParam::GroupIPTC, ImageProcessParam::GroupTagging},
        true, record, refused));
    EXPECT_EQ(refused, (std::vector<ImageRendering*>{list_[0]}));
    EXPECT_EQ(images_[0]->paramSets, 0);
    EXPECT_FLOAT_EQ(images_[0]->GetProcessParams()->exposureCompensation, 0.0f);
    EXPECT_FLOAT_EQ(images_[1]->GetProcessParams()->exposureCompensation, -0.5f);
    EXPECT_EQ(images_[1]->GetProcessParams()->crop, NbRect(0, 0, 399, 299)) << "only the listed groups";
    for (RevertImage* image : images_) {
        EXPECT_TRUE(image->IsTagged());
        EXPECT_TRUE(image->GetIPTCRecord()->IsEqual(record));
    }
    EXPECT_FLOAT_EQ(list_[1]->GetProcessParam().exposureCompensation, 0.0f) << "the caller re-reads renderings";

    // Only the tag and IPTC groups, already applied: nothing changes.
    images_[0]->refuse = false;
    EXPECT_FALSE(ApplyParamGroupsToImages(list_, source, {ImageProcessParam::GroupIPTC, ImageProcessParam::GroupTagging},
                                          true, record, refused));
}

} // namespace
