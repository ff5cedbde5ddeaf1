// The colour swatch and the histogram with the fake kind.
#include "ColorInfoSwatch.h"
#include "CoreTestSupport.h"
#include "FakeImage.h"
#include "Histogram.h"
#include "ImagePool.h"
#include "ImageRendering.h"
#include "BlockOMemoryPool.h"
#include "StBlockOMemoryPoolExceptionDisabler.h"

#include <gtest/gtest.h>

using namespace NimbalCore;
using coretest::FakeImage;

namespace {

class SwatchTest : public ::testing::Test {
protected:
    void TearDown() override { ImagePool::DeleteInstance(); }
};

// A gray 8-bit array over a vector.
class Plain : public PixelArray {
public:
    void Create(uint64_t size) override { bytes.assign(size, 0); }
    void Free() override { bytes.clear(); }
    void* GetData() const override { return bytes.empty() ? nullptr : const_cast<uint8_t*>(bytes.data()); }
    std::vector<uint8_t> bytes;
};

} // namespace

TEST_F(SwatchTest, SamplesRenderOnceAndFollowTheView) {
    auto* fake = new FakeImage("/s/1.tif", 64, 48);
    ImageRef image(fake);
    fake->FillPattern();
    ImageRendering rendering{image, ImageProcessParam()};
    ColorInfoSwatch swatch(8);
    uint16_t rgb[3] = {0, 0, 0};
    int32_t gray = -1;
    ASSERT_EQ(swatch.Sample(&rendering, 20, 20, 1, rgb, &gray), 0);
    const int renders = fake->renders;
    // The mean of the 3 x 3 square around (20, 20), 8-bit.
    uint32_t sum = 0;
    for (int y = 19; y <= 21; ++y)
        for (int x = 19; x <= 21; ++x) sum += fake->Pixel(x, y)[0] >> 8;
    EXPECT_EQ(rgb[0], sum / 9);
    EXPECT_EQ(swatch.Sample(&rendering, 20, 20, 1, rgb, &gray), 0);
    EXPECT_EQ(fake->renders, renders);

    // A purge between two samples makes the second render again.
    {
        StBlockOMemoryPoolExceptionDisabler quiet;
        BlockOMemoryPool::Instance(true)->Flush(uint64_t(1) << 40);
    }
    EXPECT_EQ(swatch.Sample(&rendering, 20, 20, 1, rgb, &gray), 0);
    EXPECT_EQ(fake->renders, renders + 1);

    // A 180-degree view's top-left is the image's bottom-right.
    ImageProcessParam turned;
    turned.rotation = 180;
    ImageRendering view{image, turned};
    ColorInfoSwatch other(8);
    ASSERT_EQ(other.Sample(&view, 0, 0, 1, rgb, &gray), 0);
    EXPECT_GE(other.GetCachedRect().right, 62);
    EXPECT_GE(other.GetCachedRect().bottom, 46);
    // The square keeps off the last column and row: centred on (62, 46).
    sum = 0;
    for (int y = 45; y <= 47; ++y)
        for (int x = 61; x <= 63; ++x) sum += fake->Pixel(x, y)[0] >> 8;
    EXPECT_EQ(rgb[0], sum / 9);
}

TEST_F(SwatchTest, RefusalsAndGrayImages) {
    auto* fake = new FakeImage("/s/1.tif", 32, 32);
    ImageRef image(fake);
    fake->FillPattern();
    ImageRendering rendering{image, ImageProcessParam()};
    ColorInfoSwatch swatch(4);
    uint16_t rgb[3] = {7, 7, 7};
    int32_t gray = -1;
    // Half the rendered width: too big.
    EXPECT_EQ(swatch.Sample(&rendering, 10, 10, 16, rgb, &gray), NbErrClickPointOutside);
    EXPECT_EQ(rgb[0], 7);
    fake->SetRendering(true);
    EXPECT_EQ(swatch.Sample(&rendering, 10, 10, 1, rgb, &gray), NbErrImageBusy);
    fake->SetRendering(false);

    ImageProcessParam grayParams;
    grayParams.colorMode = 2;
    ImageRendering grayView{image, grayParams};
    ColorInfoSwatch g(4);
    rgb[0] = rgb[1] = rgb[2] = 7;
    ASSERT_EQ(g.Sample(&grayView, 10, 10, 1, rgb, &gray), 0);
    EXPECT_EQ(rgb[0], 7);
    EXPECT_GE(gray, 0);

    // An image smaller than the area the swatch renders: cut to the image.
    auto* tiny = new FakeImage("/s/2.tif", 6, 6);
    ImageRef small(tiny);
    tiny->FillPattern();
    ImageRendering tinyView{small, ImageProcessParam()};
    ColorInfoSwatch big(40);
    EXPECT_EQ(big.Sample(&tinyView, 3, 3, 1, rgb, &gray), 0);
    EXPECT_GE(big.GetCachedRect().left, 0);
    EXPECT_LE(big.GetCachedRect().right, 5);
}

TEST(HistogramTest, GrayArraysFillOnlyLuma) {
    Plain array;
    array.SetPixelType(PixelArray::Gray);
    array.SetBounds(NbRect(0, 0, 3, 1));
    array.SetRowBytes(4);
    array.Create(8);
    array.bytes = {0, 10, 10, 255, 1, 2, 3, 10};
    Histogram h;
    h.AccumulateBins(array);
    EXPECT_EQ(h.LumaBins()[10], 3u);
    EXPECT_EQ(h.GetPixelCount(), 8u);
    EXPECT_EQ(h.RedBins()[0] + h.GreenBins()[10] + h.BlueBins()[255], 0u);
    EXPECT_EQ(h.GetRedPeak(), 1u);
    EXPECT_EQ(h.GetLumaPeak(), 3u);
    Histogram empty;
    empty.UpdatePeaks();
    EXPECT_EQ(empty.GetRedPeak(), 1u);
    EXPECT_EQ(empty.GetLumaPeak(), 1u);
}

TEST(HistogramTest, LevelAxis) {
    Histogram h;
    h.SetLevelAxis(-12.0f, 0.0f, 4096);
    EXPECT_EQ(h.LevelToIndex(4096), 4095);
    EXPECT_EQ(h.LevelToIndex(1), 0);
    EXPECT_EQ(h.LevelToIndex(0), 0);
    EXPECT_EQ(h.LevelToIndex(64), 2048);
    EXPECT_EQ(h.ValueToBin(-12.0f), 0);
    EXPECT_EQ(h.ValueToBin(0.0f), 255);
    EXPECT_EQ(h.ValueToBin(5.0f), 255);
    EXPECT_NEAR(h.BinToValue(255), 0.0f, 1e-5);
    // Images that cannot adjust tone give no axis: every index is 0.
    Histogram none;
    none.SetLevelAxis(0.0f, 0.0f, 0);
    EXPECT_EQ(none.LevelToIndex(100), 0);
    EXPECT_EQ(none.ValueToBin(1.0f), 0);
    Histogram flat;
    flat.SetLevelAxis(-2.0f, -2.0f, 4096);
    EXPECT_EQ(flat.LevelToIndex(100), 0);
    const uint32_t in[5] = {0, 0, 19, 0, 0};
    uint32_t out[5];
    const int kernel[3] = {1, 1, 1};
    Histogram::Smooth(in, out, 5, kernel, 3);
    EXPECT_EQ(out[1], 6u);
    EXPECT_EQ(out[2], 6u);
    EXPECT_EQ(out[0], 0u);
}

TEST_F(SwatchTest, ToneCurveAndItsFailures) {
    auto* fake = new FakeImage("/h/1.tif", 40, 30);
    ImageRef image(fake);
    fake->FillPattern();
    fake->thumbnailRect_ = NbRect(0, 0, 19, 14);
    fake->levelsOption_ = 4096;
    fake->levelsLimits_[0] = -12.0f;
    fake->levelsLimits_[2] = 0.0f;
    ImageRendering rendering{image, ImageProcessParam()};
    Histogram h;
    // No exposure table: 1707, and nothing computed is lost.
    EXPECT_EQ(coretest::CodeOf([&] { h.ComputeForLevels(&rendering); }), NbErrRenderFailed);
    // A table with values beyond the curve's 4096 steps stays in range.
    fake->exposureTable.resize(4096);
    for (int i = 0; i < 4096; ++i) fake->exposureTable[size_t(i)] = uint16_t(i * 16);
    h.ComputeForLevels(&rendering);
    EXPECT_EQ(h.GetPixelCount(), 300u);
    EXPECT_EQ(h.ToneCurve()[4095], 4095);
    EXPECT_LE(h.GetCurveEnd(), 255);
    const std::vector<uint16_t> curve(h.ToneCurve(), h.ToneCurve() + 4096);
    const int shadow = h.GetShadowIndex();
    fake->exposureTable.clear();
    EXPECT_EQ(coretest::CodeOf([&] { h.ConstructToneCurve(&rendering); }), NbErrRenderFailed);
    EXPECT_EQ(std::vector<uint16_t>(h.ToneCurve(), h.ToneCurve() + 4096), curve);
    // A flat curve keeps the last indexes as they were.
    fake->exposureTable.assign(4096, 100);
    h.ConstructToneCurve(&rendering);
    EXPECT_EQ(h.GetShadowIndex(), shadow);

    Histogram colours;
    colours.Compute(&rendering);
    EXPECT_EQ(colours.GetPixelCount(), 300u);
    uint32_t total = 0;
    for (int i = 0; i < 256; ++i) total += colours.RedBins()[i];
    EXPECT_EQ(total, 300u);
}
