// The display bitmap without windows: the packed bitmap's bytes, the render
// by area and level, the once-per-picture failure message, the colour under
// a point, the bottom-up copy, and the screen reduction against its plain
// reference.
#include "BlockOMemoryLock.h"
#include "BlockOMemoryPool.h"
#include "FakeShell.h"
#include "StBlockOMemoryPoolExceptionDisabler.h"
#include "ImagePool.h"
#include "ImageRendering.h"
#include "NbErrorCodes.h"
#include "PictureBitmap.h"
#include "PictureReduction.h"
#include "ResolutionsImage.h"
#include "YlmErrp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

using NimbalCore::ImageProcessParam;
using NimbalCore::ImageRef;
using NimbalCore::ImageRendering;
using NimbalCore::NbRect;

uint32_t PictureLe32(const uint8_t* at) {
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}
uint16_t PictureLe16(const uint8_t* at) { return uint16_t(at[0] | at[1] << 8); }

// A picture of the given bounds and channels, its block made directly.
void MakePictureBlock(PictureBitmap& picture, int width, int height, int channels) {
    picture.SetPixelType(channels == 1 ? NimbalCore::PixelArray::Gray : NimbalCore::PixelArray::BGR);
    picture.SetBounds(NbRect(0, 0, width - 1, height - 1));
    picture.Create(0);
}

// An image whose renders fail with the codes a test scripts (0: succeeds).
class PictureFailingImage : public ResolutionsImage {
public:
    PictureFailingImage() : ResolutionsImage("/photos/fails.zyr", 60, 40) { factors = {1, 2, 4}; }
    void RenderImage(const ImageProcessParam& params, NimbalCore::PixelArray& destination, bool useCrop,
                     NimbalCore::ProgressCB* progress, int scale) override {
        if (!failures.empty()) {
            const int code = failures.front();
            failures.erase(failures.begin());
            if (code == -1) throw std::runtime_error("not the core's");
            if (code) YLM_THROW("PictureFailingImage::RenderImage", code);
        }
        ResolutionsImage::RenderImage(params, destination, useCrop, progress, scale);
    }
    std::vector<int> failures;
};

class PictureBitmapTest : public testing::Test {
protected:
    void TearDown() override { NimbalCore::ImagePool::DeleteInstance(); }
    FakeMessageBoxes boxes;
};

TEST_F(PictureBitmapTest, RowsArePaddedToFourBytes) {
    struct Case {
        int width, channels;
        int64_t rowBytes;
    };
    for (const Case& c : {Case{1, 3, 4}, Case{5, 1, 8}, Case{4, 3, 12}, Case{3, 3, 12}, Case{4, 1, 4}, Case{6, 3, 20}})
        EXPECT_EQ(PictureBitmap::RowBytesFor(c.width, c.channels), c.rowBytes) << c.width << " × " << c.channels;
}

TEST_F(PictureBitmapTest, AColourBlockIsTheHeaderAndTopDownRows) {
    PictureBitmap picture;
    MakePictureBlock(picture, 3, 2, 3);
    const uint8_t* block = picture.GetBitmapInfo();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(picture.GetSize(), 68);
    EXPECT_EQ(static_cast<uint8_t*>(picture.GetPixels()), block + 40);
    EXPECT_EQ(picture.GetRowBytes(), 12);
    EXPECT_EQ(picture.GetPixelType(), NimbalCore::PixelArray::BGR);
    EXPECT_EQ(PictureLe32(block + 0), 40u);
    EXPECT_EQ(int32_t(PictureLe32(block + 4)), 3);
    EXPECT_EQ(int32_t(PictureLe32(block + 8)), -2);
    EXPECT_EQ(PictureLe16(block + 12), 1);
    EXPECT_EQ(PictureLe16(block + 14), 24);
    EXPECT_EQ(PictureLe32(block + 16), 0u);
    EXPECT_EQ(PictureLe32(block + 20), 68u);
    EXPECT_EQ(PictureLe32(block + 32), 0u);
    EXPECT_TRUE(picture.IsAllocated());
    // Pixel (2, 1) of the second row.
    EXPECT_EQ(picture.PixelAt(2, 1), block + 40 + 12 + 6);
    EXPECT_EQ(picture.PixelAt(3, 1), nullptr);
    EXPECT_EQ(picture.PixelAt(0, -1), nullptr);

    // Released: no block, the description stays.
    picture.ReleaseBits();
    EXPECT_EQ(picture.GetBitmapInfo(), nullptr);
    EXPECT_FALSE(picture.IsAllocated());
    EXPECT_EQ(picture.GetSize(), 0);
    EXPECT_EQ(picture.GetBounds().right, 2);
}

TEST_F(PictureBitmapTest, AGreyBlockCarriesItsGreyTable) {
    PictureBitmap picture;
    MakePictureBlock(picture, 5, 3, 1);
    const uint8_t* block = picture.GetBitmapInfo();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(picture.GetSize(), 40 + 1024 + 3 * 8);
    EXPECT_EQ(static_cast<uint8_t*>(picture.GetPixels()), block + 1064);
    EXPECT_EQ(PictureLe16(block + 14), 8);
    EXPECT_EQ(PictureLe32(block + 32), 256u);
    for (int i : {0, 1, 128, 255}) {
        EXPECT_EQ(block[40 + 4 * i], i);
        EXPECT_EQ(block[40 + 4 * i + 2], i);
        EXPECT_EQ(block[40 + 4 * i + 3], 0);
    }
    // A larger minimum size makes a larger block; an existing block stays.
    PictureBitmap larger;
    larger.SetPixelType(NimbalCore::PixelArray::Gray);
    larger.SetBounds(NbRect(0, 0, 4, 2));
    larger.Create(5000);
    EXPECT_EQ(larger.GetSize(), 5000);
    EXPECT_EQ(PictureLe32(larger.GetBitmapInfo() + 20), 5000u);
    const uint8_t* before = larger.GetBitmapInfo();
    larger.Create(9000);
    EXPECT_EQ(larger.GetBitmapInfo(), before);
}

TEST_F(PictureBitmapTest, ThePoolPurgesAnIdlePictureButNotOneBeingRendered) {
    NimbalCore::BlockOMemoryPool* pool = NimbalCore::BlockOMemoryPool::Instance(true);
    PictureBitmap picture;
    MakePictureBlock(picture, 64, 64, 3);
    const uint64_t pooled = pool->GetPooledBytes();
    EXPECT_GE(pooled, uint64_t(picture.GetSize()));
    {
        NimbalCore::BlockOMemoryLock pin(&picture);
        NimbalCore::StBlockOMemoryPoolExceptionDisabler quiet;
        pool->Flush(uint64_t(picture.GetSize()));
        EXPECT_TRUE(picture.HasBits());
    }
    pool->Flush(uint64_t(picture.GetSize()));
    EXPECT_FALSE(picture.HasBits());
    EXPECT_EQ(picture.GetPixels(), nullptr);
    EXPECT_EQ(pool->GetPooledBytes(), pooled - 64 * 64 * 3 - 44);
}

TEST_F(PictureBitmapTest, BoundsNoBlockCanHoldAreRefusedAsMemory) {
    PictureBitmap picture;
    picture.SetPixelType(NimbalCore::PixelArray::BGR);
    for (const NbRect& bounds : {NbRect(0, 0, 70000, 70000), NbRect(0, 0, -5, 10)}) {
        picture.SetBounds(bounds);
        try {
            picture.Create(0);
            ADD_FAILURE() << "no error";
        } catch (const YlmErrp& e) {
            EXPECT_EQ(e.GetCode(), NimbalCore::NbErrAllocFailed);
            EXPECT_EQ(e.Get()->GetMessage(), "CPictureView::Create");
        }
        EXPECT_FALSE(picture.HasBits());
        EXPECT_FALSE(picture.IsAllocated());
    }
}

TEST_F(PictureBitmapTest, AreasLevelsAndRotations) {
    auto* image = new ResolutionsImage("/photos/harbour.zyr", 600, 400);
    image->factors = {1, 2, 4};
    image->FillPattern();
    ImageRendering rendering{ImageRef(image), ImageProcessParam()};
    struct Case {
        int area;
        float rotation;
        int level;
        int width, height;
    };
    // The thumbnail rectangle is 160 × 107; the crop is the whole image.
    rendering.GetProcessParamPtr()->crop = NbRect(10, 20, 109, 69);
    for (const Case& c : {Case{1, 0, 1, 600, 400}, Case{1, 0, 2, 300, 200}, Case{1, 90, 4, 100, 150},
                          Case{1, 180, 2, 300, 200}, Case{1, 270, 1, 400, 600}, Case{0, 0, 7, 160, 107},
                          Case{2, 0, 1, 100, 50}}) {
        SCOPED_TRACE(testing::Message() << "area " << c.area << ", " << c.rotation << " degrees, level " << c.level);
        rendering.GetProcessParamPtr()->rotation = c.rotation;
        PictureBitmap picture;
        ASSERT_TRUE(picture.Render(&rendering, c.area, 2, c.level));
        int width = 0, height = 0;
        picture.GetSize(width, height);
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
    }
    // The thumbnail and the display renders are made for the screen.
    rendering.GetProcessParamPtr()->rotation = 0;
    PictureBitmap picture;
    ASSERT_TRUE(picture.Render(&rendering, 1, 2, 1));
    EXPECT_EQ(image->lastRenderParams.outputSpaceMode, 1);
    EXPECT_EQ(rendering.GetProcessParamPtr()->outputSpaceMode, 0);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(PictureBitmapTest, RefusedRequestsKeepTheOldBlockQuietly) {
    auto* image = new ResolutionsImage("/photos/quay.zyr", 60, 40);
    image->factors = {1, 2, 4};
    ImageRendering rendering{ImageRef(image), ImageProcessParam()};
    PictureBitmap picture;
    ASSERT_TRUE(picture.Render(&rendering, 1, 2, 1));
    const uint8_t* block = picture.GetBitmapInfo();
    EXPECT_FALSE(picture.Render(&rendering, 1, 2, 3));
    EXPECT_FALSE(picture.Render(&rendering, 5, 2, 1));
    rendering.GetProcessParamPtr()->colorMode = 1;
    EXPECT_FALSE(picture.Render(&rendering, 1, 2, 1));
    EXPECT_FALSE(picture.Render(nullptr, 1, 2, 1));
    EXPECT_EQ(picture.GetBitmapInfo(), block);
    EXPECT_TRUE(boxes.shown.empty());
    // A grey look makes a one-channel picture.
    rendering.GetProcessParamPtr()->colorMode = 2;
    ASSERT_TRUE(picture.Render(&rendering, 1, 2, 2));
    EXPECT_EQ(picture.GetChannels(), 1);
    EXPECT_EQ(picture.GetRowBytes(), 32);
}

TEST_F(PictureBitmapTest, TheFirstFailureIsShownOnceTheSecondIsThrown) {
    auto* image = new PictureFailingImage;
    ImageRendering rendering{ImageRef(image), ImageProcessParam()};
    PictureBitmap picture;
    const std::string message = "Unable to render image.";
    image->failures = {NimbalCore::NbErrAllocFailed, NimbalCore::NbErrInvalidValue};
    EXPECT_FALSE(picture.Render(&rendering, 1, 2, 1));
    EXPECT_EQ(boxes.shown, std::vector<std::string>{message});
    EXPECT_FALSE(picture.HasBits());
    EXPECT_TRUE(picture.LastRenderFailed());
    try {
        picture.Render(&rendering, 1, 2, 1);
        ADD_FAILURE() << "the second failure stayed quiet";
    } catch (const YlmErrp& e) {
        EXPECT_EQ(e.GetCode(), NimbalCore::NbErrInvalidValue);
    }
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_FALSE(picture.HasBits());
    // A success clears the rule: the next failure is shown again.
    EXPECT_TRUE(picture.Render(&rendering, 1, 2, 1));
    EXPECT_FALSE(picture.LastRenderFailed());
    image->failures = {NimbalCore::NbErrAllocFailed};
    EXPECT_FALSE(picture.Render(&rendering, 1, 2, 1));
    EXPECT_EQ(boxes.shown.size(), 2u);
}

TEST_F(PictureBitmapTest, ACancelOrAForeignErrorLeavesNoPixelsAndNoMessage) {
    auto* image = new PictureFailingImage;
    ImageRendering rendering{ImageRef(image), ImageProcessParam()};
    for (int code : {int(NimbalCore::NbErrRenderCancelled), -1}) {
        SCOPED_TRACE(code);
        PictureBitmap picture;
        ASSERT_TRUE(picture.Render(&rendering, 1, 2, 1));
        image->failures = {code};
        EXPECT_FALSE(picture.Render(&rendering, 1, 2, 1));
        EXPECT_FALSE(picture.HasBits());
        EXPECT_TRUE(picture.LastRenderFailed());
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(PictureBitmapTest, ProgressWindowIsOpenedAndClosedAroundTheRender) {
    class PictureWithProgress : public PictureBitmap {
    public:
        bool OpenProgress(bool cancellable, NimbalCore::ProgressCB** progress) override {
            opened.push_back(cancellable);
            *progress = nullptr;
            return canOpen;
        }
        void CloseProgress() override { ++closed; }
        std::vector<bool> opened;
        int closed = 0;
        bool canOpen = true;
    };
    auto* image = new PictureFailingImage;
    ImageRendering rendering{ImageRef(image), ImageProcessParam()};
    PictureWithProgress picture;
    EXPECT_TRUE(picture.Render(&rendering, 1, 0, 1));
    EXPECT_TRUE(picture.Render(&rendering, 1, 1, 1));
    EXPECT_TRUE(picture.Render(&rendering, 0, 1, 1));
    image->failures = {NimbalCore::NbErrRenderCancelled};
    EXPECT_FALSE(picture.Render(&rendering, 1, 1, 1));
    EXPECT_EQ(picture.opened, (std::vector<bool>{false, true, true}));
    EXPECT_EQ(picture.closed, 3);
    // A render asked for while the progress window pumps messages leaves
    // the running one's pixels alone.
    class PictureReentered : public PictureBitmap {
    public:
        bool OpenProgress(bool, NimbalCore::ProgressCB** progress) override {
            *progress = nullptr;
            block = GetBitmapInfo();
            nested = Render(again, 1, 2, 1);
            return true;
        }
        const ImageRendering* again = nullptr;
        const uint8_t* block = nullptr;
        bool nested = true;
    } reentered;
    reentered.again = &rendering;
    EXPECT_TRUE(reentered.Render(&rendering, 1, 0, 1));
    EXPECT_FALSE(reentered.nested);
    EXPECT_EQ(reentered.GetBitmapInfo(), reentered.block);
    // A progress window that cannot be made: no render, no pixels.
    picture.canOpen = false;
    const int renders = image->renders;
    EXPECT_FALSE(picture.Render(&rendering, 1, 0, 1));
    EXPECT_FALSE(picture.HasBits());
    EXPECT_EQ(image->renders, renders);
}

TEST_F(PictureBitmapTest, ColourUnderAPoint) {
    PictureBitmap empty;
    int status = -1;
    uint16_t r = 9, g = 9, b = 9;
    empty.GetPixelColor(3, 3, &status, 1.0f, r, g, b);
    EXPECT_EQ(status, NimbalCore::NbErrPixelFormatUnsupported);
    EXPECT_EQ(r + g + b, 0);

    auto* image = new ResolutionsImage("/photos/grey.zyr", 64, 48);
    image->FillPattern();
    ImageProcessParam params;
    params.colorMode = 2;
    ImageRendering rendering{ImageRef(image), params};
    PictureBitmap grey;
    ASSERT_TRUE(grey.Render(&rendering, 1, 2, 1));
    grey.GetPixelColor(20, 10, &status, 1.0f, r, g, b);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(r, g);
    EXPECT_EQ(g, b);
    // A negative point is black, without an error.
    grey.GetPixelColor(-1, 4, &status, 1.0f, r, g, b);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(r + g + b, 0);
}

TEST_F(PictureBitmapTest, ACopiedRectangleIsBottomUp) {
    for (int channels : {3, 1}) {
        SCOPED_TRACE(channels);
        PictureBitmap picture;
        MakePictureBlock(picture, 5, 4, channels);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x)
                std::memset(picture.PixelAt(x, y), 10 * y + x, size_t(channels));
        PictureBitmap copy;
        picture.CopyToClipboardDib(&copy, 1, 1, 3, 3);
        const uint8_t* block = copy.GetBitmapInfo();
        ASSERT_NE(block, nullptr);
        const int64_t rowLength = PictureBitmap::RowBytesFor(3, channels);
        const int64_t header = channels == 1 ? 1064 : 40;
        EXPECT_EQ(int32_t(PictureLe32(block + 4)), 3);
        EXPECT_EQ(int32_t(PictureLe32(block + 8)), 3);
        EXPECT_EQ(PictureLe32(block + 20), uint32_t(3 * rowLength + header));
        EXPECT_EQ(PictureLe16(block + 14), channels == 1 ? 8 : 24);
        // The first stored row is the rectangle's bottom row (y 3).
        for (int row = 0; row < 3; ++row)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(block[header + row * rowLength + x * channels], 10 * (3 - row) + (x + 1));
        // The padding after a grey row is not read from the next row.
        if (channels == 1) {
            EXPECT_EQ(block[header + 3], 0);
        }
    }
}

TEST(PictureReduction, TheFastKernelGivesTheReferenceBytes) {
    std::mt19937 random(51);
    struct Case {
        int sourceWidth, sourceHeight, channels, width, height;
    };
    for (const Case& c : {Case{640, 480, 3, 160, 120}, Case{641, 479, 3, 97, 61}, Case{333, 211, 1, 100, 77},
                          Case{50, 40, 3, 50, 40}, Case{7, 5, 3, 23, 17}, Case{1, 1, 1, 4, 3}, Case{1000, 3, 3, 9, 3},
                          Case{3001, 2999, 1, 1, 2}}) {
        SCOPED_TRACE(testing::Message() << c.sourceWidth << "×" << c.sourceHeight << "×" << c.channels << " → "
                                        << c.width << "×" << c.height);
        const int64_t rowBytes = PictureBitmap::RowBytesFor(c.sourceWidth, c.channels);
        std::vector<uint8_t> pixels(size_t(rowBytes * c.sourceHeight));
        for (uint8_t& p : pixels) p = uint8_t(random());
        PictureReduction::Source source{pixels.data(), c.sourceWidth, c.sourceHeight, rowBytes, c.channels};
        std::vector<uint8_t> fast(size_t(c.width * c.height * 3)), plain(fast.size());
        ASSERT_TRUE(PictureReduction::Reduce(source, fast.data(), c.width, c.height));
        ASSERT_TRUE(PictureReduction::ReduceReference(source, plain.data(), c.width, c.height));
        EXPECT_EQ(fast, plain);
    }
}

TEST(PictureReduction, EachScreenPixelIsTheRoundedMeanOfItsArea) {
    // 4 × 2 blue-green-red pixels reduced to 2 × 1: each pixel averages a
    // 2 × 2 block; the output is red-green-blue.
    const uint8_t rows[2][12] = {{0, 0, 10, 0, 0, 11, 200, 100, 0, 100, 0, 0},
                                 {0, 0, 20, 0, 0, 20, 50, 50, 50, 50, 50, 51}};
    PictureReduction::Source source{&rows[0][0], 4, 2, 12, 3};
    uint8_t out[6] = {};
    ASSERT_TRUE(PictureReduction::Reduce(source, out, 2, 1));
    EXPECT_EQ(out[0], 15); // (10 + 11 + 20 + 20) / 4 = 15.25
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], 25); // (0 + 0 + 50 + 51) / 4: red is a pixel's third sample
    EXPECT_EQ(out[4], 50);
    EXPECT_EQ(out[5], 100);
    // Whole white and whole black areas of any size stay exactly so.
    for (int value : {255, 254, 0}) {
        std::vector<uint8_t> flat(size_t(2001 * 3 * 1999), uint8_t(value));
        PictureReduction::Source large{flat.data(), 2001, 1999, 2001 * 3, 3};
        uint8_t one[6] = {};
        ASSERT_TRUE(PictureReduction::Reduce(large, one, 2, 1));
        EXPECT_EQ(one[0], value);
        EXPECT_EQ(one[5], value);
    }
    // Nothing is written for an empty source or destination.
    EXPECT_FALSE(PictureReduction::Reduce(source, out, 0, 1));
    PictureReduction::Source none;
    EXPECT_FALSE(PictureReduction::Reduce(none, out, 2, 1));
}

} // namespace
