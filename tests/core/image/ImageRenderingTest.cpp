// Renderings: references, bounds under rotation, crops in output orientation
// with the even-alignment retry, reloads and renders.
#include "CoreTestSupport.h"
#include "FakeColorServices.h"
#include "FakeImage.h"
#include "ImagePool.h"
#include "ImageRendering.h"
#include "PixelArray.h"

#include <gtest/gtest.h>

using namespace NimbalCore;
using coretest::CodeOf;
using coretest::FakeImage;

namespace {

class ImageRenderingTest : public ::testing::Test {
protected:
    void TearDown() override { ImagePool::DeleteInstance(); }
};

class NullArray : public PixelArray {
public:
    void Create(uint64_t) override {}
    void Free() override {}
    void* GetData() const override { return nullptr; }
};

ImageProcessParam Rotated(float degrees) {
    ImageProcessParam p;
    p.rotation = degrees;
    return p;
}

} // namespace

TEST_F(ImageRenderingTest, CopiesHoldTheImageAndTheLastOneDeletesIt) {
    const int before = FakeImage::deleted;
    auto* image = new FakeImage("/a/1.tif");
    {
        ImageRendering a{ImageRef(image), ImageProcessParam()};
        EXPECT_EQ(image->GetReferenceCount(), 1);
        {
            ImageRendering b(a);
            EXPECT_EQ(image->GetReferenceCount(), 2);
        }
        EXPECT_EQ(image->GetReferenceCount(), 1);
    }
    EXPECT_EQ(FakeImage::deleted, before + 1);
}

TEST_F(ImageRenderingTest, ImageRefAssignmentSwapsImages) {
    const int before = FakeImage::deleted;
    ImageRef a(new FakeImage("/a/1.tif"));
    ImageRef b(new FakeImage("/a/2.tif"));
    a = b;
    EXPECT_EQ(FakeImage::deleted, before + 1);
    EXPECT_EQ(a.Get(), b.Get());
    EXPECT_EQ(a->GetReferenceCount(), 2);
    a = a;
    EXPECT_EQ(b->GetReferenceCount(), 2);
}

TEST_F(ImageRenderingTest, BoundsFollowTheRotation) {
    ImageRef image(new FakeImage("/a/1.tif", 3000, 2000));
    EXPECT_EQ(ImageRendering(image, Rotated(90)).GetImageBounds(), NbRect(0, 0, 1999, 2999));
    EXPECT_EQ(ImageRendering(image, Rotated(270)).GetImageBounds(), NbRect(0, 0, 1999, 2999));
    EXPECT_EQ(ImageRendering(image, Rotated(180)).GetImageBounds(), NbRect(0, 0, 2999, 1999));
    EXPECT_EQ(ImageRendering(image, Rotated(0)).GetImageBounds(), NbRect(0, 0, 2999, 1999));
    EXPECT_EQ(ImageRendering(image, Rotated(90)).GetThumbnailBounds(), NbRect(0, 0, 106, 159));
    EXPECT_EQ(ImageRendering(ImageRef(), Rotated(90)).GetImageBounds(), NbRect());
}

TEST_F(ImageRenderingTest, SetCropRetriesOnEvenCoordinates) {
    auto* fake = new FakeImage("/a/1.tif");
    fake->refuseOddCrop = true;
    ImageRendering rendering{ImageRef(fake), ImageProcessParam()};
    rendering.SetCrop(NbRect(3, 5, 100, 60));
    EXPECT_EQ(rendering.GetProcessParamPtr()->crop, NbRect(2, 4, 101, 61));
    EXPECT_EQ(fake->validations, 1); // the retry is not validated again

    // Taken at once when the image accepts it.
    rendering.SetCrop(NbRect(2, 4, 99, 59));
    EXPECT_EQ(rendering.GetProcessParamPtr()->crop, NbRect(2, 4, 99, 59));

    // Without an image the rectangle is stored as it is.
    ImageRendering none{ImageRef(), ImageProcessParam()};
    none.SetCrop(NbRect(3, 5, 100, 60));
    EXPECT_EQ(none.GetProcessParamPtr()->crop, NbRect(3, 5, 100, 60));
}

TEST_F(ImageRenderingTest, CropsMapBetweenOutputAndNativeOrientation) {
    auto* fake = new FakeImage("/a/1.tif", 3000, 2000);
    ImageRendering rendering(ImageRef(fake), Rotated(90));
    // The top-left 100 x 50 of the turned image is the bottom-left of the
    // native one.
    rendering.SetCrop(NbRect(0, 0, 99, 49));
    EXPECT_EQ(rendering.GetProcessParamPtr()->crop, NbRect(0, 1900, 49, 1999));
    EXPECT_EQ(rendering.GetCropDimensions(), NbRect(0, 0, 99, 49));

    fake->refuseMaps = true;
    EXPECT_EQ(CodeOf([&] { rendering.GetCropDimensions(); }), NbErrInvalidValue);
    EXPECT_EQ(CodeOf([&] { rendering.SetCrop(NbRect(0, 0, 9, 9)); }), NbErrInvalidValue);
}

TEST_F(ImageRenderingTest, ReloadIgnoresOnlyNotSupported) {
    auto* fake = new FakeImage("/a/1.tif");
    fake->sdkParams.sharpenAmount = 9;
    ImageRendering rendering{ImageRef(fake), ImageProcessParam()};
    rendering.ReloadProcessParam();
    EXPECT_EQ(rendering.GetProcessParam().sharpenAmount, 9);
    fake->sdkFailure = NbErrNotSupported;
    EXPECT_EQ(CodeOf([&] { rendering.ReloadProcessParam(); }), 0);
    fake->sdkFailure = NbErrRenderFailed;
    EXPECT_THROW(rendering.ReloadProcessParam(), int);
}

TEST_F(ImageRenderingTest, CommitNotifiesOnlyAChange) {
    auto* fake = new FakeImage("/a/1.tif");
    ImageRendering rendering{ImageRef(fake), ImageProcessParam()};
    rendering.CommitProcessParam();
    EXPECT_FALSE(fake->IsModified());
    rendering.GetProcessParamPtr()->exposureCompensation = 1.0f;
    rendering.CommitProcessParam();
    EXPECT_TRUE(fake->IsModified());
    EXPECT_EQ(fake->GetProcessParams()->exposureCompensation, 1.0f);
}

TEST_F(ImageRenderingTest, RenderPassesTheViewsParametersAndArea) {
    auto* fake = new FakeImage("/a/1.tif");
    ImageRendering rendering(ImageRef(fake), Rotated(180));
    rendering.RenderImage(nullptr, 0, nullptr, 1);
    EXPECT_EQ(fake->renders, 0);
    NullArray array;
    rendering.RenderImage(&array, 0, nullptr, 2);
    EXPECT_TRUE(fake->lastUseCrop);
    EXPECT_EQ(fake->lastRenderParams.rotation, 180.0f);
    rendering.RenderImage(&array, 1, nullptr, 1);
    EXPECT_FALSE(fake->lastUseCrop);
    rendering.RenderThumbnail(nullptr);
    rendering.RenderThumbnail(&array);
    EXPECT_EQ(fake->thumbnailRenders, 1);
}

TEST_F(ImageRenderingTest, LookKind) {
    coretest::ScopedFakeColor color;
    ImageProcessParam p;
    EXPECT_EQ(ImageRendering(ImageRef(), p).GetLookKind(), 3);
    p.lookName = "PORTRAIT GRAY";
    EXPECT_EQ(ImageRendering(ImageRef(), p).GetLookKind(), 1);
    p.lookName = "PORTRAIT";
    p.colorMode = 2;
    EXPECT_EQ(ImageRendering(ImageRef(), p).GetLookKind(), 1);
}
