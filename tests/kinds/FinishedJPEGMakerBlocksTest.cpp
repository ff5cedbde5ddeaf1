#include "FinishedJPEGImage.h"
#include "JpegFixture.h"
#include "MakerBlockWriter.h"

#include "ExportImageArray.h"
#include "YlmErrp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

using namespace NimbalCore;
namespace fs = std::filesystem;

namespace {

class FinishedJPEGMakerBlocksTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kinds-maker-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    // A main JPEG of that size with the maker blocks described.
    std::string Write(const MakerBlockSpec& spec, int width = 320, int height = 240) {
        const std::string path = (dir_ / "maker.jpg").string();
        const std::vector<uint8_t> main = JpegFixture::Encode(JpegFixture::Pattern(width, height, 3, 21), 80);
        JpegFixture::WriteFile(path, MakerBlockWriter::Insert(main, spec));
        return path;
    }
    // Blocks with a preview and the large thumbnail the preview replaces.
    static MakerBlockSpec WithPreview(int w, int h) {
        MakerBlockSpec spec;
        spec.previewWidth = w, spec.previewHeight = h;
        spec.preview = MakerBlockWriter::PreviewPattern(w, h, 3);
        spec.largeThumbnail = JpegFixture::Encode(JpegFixture::Pattern(40, 30, 3, 22), 90);
        spec.largeWidth = 40, spec.largeHeight = 30;
        return spec;
    }
    fs::path dir_;
};

// The thumbnail's pixels, as 8-bit RGB.
std::vector<uint8_t> RenderThumbnail(FinishedJPEGImage& image) {
    ExportImageArray out;
    const NbRect r = image.GetNativeThumbnailRect();
    out.SetPixelType(PixelArray::RGB);
    out.SetBytesPerSample(1);
    out.SetBounds(NbRect(0, 0, r.Width() - 1, r.Height() - 1));
    out.SetRowBytes(int32_t(r.Width() * 3));
    out.Create(uint64_t(r.Width() * r.Height() * 3));
    image.RenderThumbnail(ImageProcessParam(), out);
    const auto* px = static_cast<const uint8_t*>(out.GetData());
    return std::vector<uint8_t>(px, px + out.GetSize());
}

} // namespace

TEST(FinishedJPEGPreviewTable, TellingRows) {
    const std::pair<int, int> rows[] = {{0, 0},       {1, 58},      {2, 115},     {4, 231},     {8, 439},    {16, 663},
                                        {64, 1111},   {256, 1560},  {1024, 2008}, {2048, 2232}, {4095, 2456}};
    for (auto [v, want] : rows) EXPECT_EQ(FinishedJPEGImage::PreviewTableValue(v), want) << v;
    for (int v = 1; v < 4096; ++v) ASSERT_GE(FinishedJPEGImage::PreviewTableValue(v), FinishedJPEGImage::PreviewTableValue(v - 1));
    EXPECT_EQ(FinishedJPEGImage::PreviewTableValue(4095) >> 4, 153);
}

TEST_F(FinishedJPEGMakerBlocksTest, MetaBlockMarksExtendedRangeEvenWithoutPreviewDirectory) {
    MakerBlockSpec spec;
    spec.previewDirectory = false;
    spec.formatVariant = 3;
    FinishedJPEGImage image{FilePathSpec(Write(spec))};
    ASSERT_EQ(image.Open(), 0);
    EXPECT_TRUE(image.IsExtendedRange());
    EXPECT_EQ(image.GetFileType(), 3);
    EXPECT_EQ(image.GetFormatVariant(), 3);
    EXPECT_EQ(image.GetImageNumber(), 42);
    EXPECT_NE(image.GetCameraSettingsBlock().find("Lens: 50 mm"), std::string::npos);
    EXPECT_FALSE(image.GetCameraProcessingData().dataValid);
}

TEST_F(FinishedJPEGMakerBlocksTest, ProcessingDataFromTheZelt1Block) {
    struct Case {
        const char* name;
        uint16_t selector, selector2, gainFlag;
        uint32_t gainA, gainB;
        uint16_t profile;
        int matrixTag;
        float gain;
        int profileKind;
    };
    for (const Case c : {Case{"plain", 0, 0, 1, 0, 0, 5, 2020, 1.0f, 5}, Case{"selector 4 then 2", 4, 2, 1, 0, 0, 0, 2022, 1.0f, 0},
                         Case{"selector 3", 3, 0, 1, 0, 0, 0, 2023, 1.0f, 0},
                         Case{"gain from two values", 0, 0, 0, 3411, 3110, 0, 2020, 2.0f, 0},
                         Case{"profile kind 18", 0, 0, 1, 0, 0, 18, 2020, 1.0f, 0}}) {
        SCOPED_TRACE(c.name);
        MakerBlockSpec spec = WithPreview(8, 4);
        spec.selector = c.selector, spec.selector2 = c.selector2, spec.gainFlag = c.gainFlag;
        spec.gainA = c.gainA, spec.gainB = c.gainB, spec.outputProfileKind = c.profile;
        spec.identityMatrices = false;
        for (int m = 0; m < 4; ++m)
            for (int i = 0; i < 9; ++i) spec.matrices[m][i][0] = uint32_t(100 * (m + 1) + i), spec.matrices[m][i][1] = 1;
        FinishedJPEGImage image{FilePathSpec(Write(spec))};
        ASSERT_EQ(image.Open(), 0);
        const auto& d = image.GetCameraProcessingData();
        EXPECT_TRUE(d.dataValid);
        EXPECT_EQ(d.matrix[0], 100 * (c.matrixTag - 2020 + 1));
        EXPECT_FLOAT_EQ(d.gainFactor, c.gain);
        EXPECT_EQ(d.outputProfileKind, c.profileKind);
        EXPECT_EQ(d.curveLength, 1024);
        EXPECT_FLOAT_EQ(d.referenceValue, 100.0f);
    }
}

TEST_F(FinishedJPEGMakerBlocksTest, PreviewDecodesToTheCodedPicture) {
    // Widths of one chunk, an odd chunk, and three chunks (128, 128, 44).
    for (auto [w, h] : {std::pair{8, 4}, std::pair{5, 6}, std::pair{300, 10}, std::pair{20, 6}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        MakerBlockSpec spec = WithPreview(w, h);
        spec.fragmentBytes = 200; // stream 2 in several fragments
        FinishedJPEGImage image{FilePathSpec(Write(spec))};
        ASSERT_EQ(image.Open(), 0);
        ASSERT_TRUE(image.PreviewComplete());
        // The preview wins over the large thumbnail.
        ASSERT_EQ(image.GetThumbnailKind(), FinishedJPEGImage::ThumbnailPreview);
        EXPECT_EQ(image.GetNativeThumbnailRect(), NbRect(0, 0, w - 1, h - 1));
        const std::vector<uint8_t> px = RenderThumbnail(image);
        // Curve 4 x v, unit gains and matrix: the table's byte of 4 x v.
        for (size_t i = 0; i < spec.preview.size(); ++i)
            ASSERT_EQ(px[i], FinishedJPEGImage::PreviewTableValue(4 * spec.preview[i]) >> 4) << i;
    }
}

TEST_F(FinishedJPEGMakerBlocksTest, BrokenPreviewDataFallsBackOrFails) {
    // A Meta block before the ZELT1 block, a zero balance, a missing last
    // fragment: no preview, the large thumbnail instead.
    auto metaFirst = WithPreview(8, 4);
    metaFirst.metaFirst = true;
    auto zeroBalance = WithPreview(8, 4);
    zeroBalance.balance[1][0] = 0;
    auto missing = WithPreview(8, 4);
    missing.fragmentBytes = 20, missing.dropLastFragment = true;
    for (const MakerBlockSpec& spec : {metaFirst, zeroBalance, missing}) {
        FinishedJPEGImage image{FilePathSpec(Write(spec))};
        ASSERT_EQ(image.Open(), 0);
        EXPECT_EQ(image.GetThumbnailKind(), FinishedJPEGImage::ThumbnailLarge);
        RenderThumbnail(image);
    }
    // A gain pair far apart gives an infinite gain: the preview fails
    // cleanly, every time, instead of converting undefined values.
    auto hugeGain = WithPreview(8, 4);
    hugeGain.gainFlag = 0, hugeGain.gainA = 4000000000u, hugeGain.gainB = 1;
    {
        FinishedJPEGImage image{FilePathSpec(Write(hugeGain))};
        ASSERT_EQ(image.Open(), 0);
        ASSERT_EQ(image.GetThumbnailKind(), FinishedJPEGImage::ThumbnailPreview);
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                RenderThumbnail(image);
                ADD_FAILURE() << "a preview from an infinite gain, attempt " << attempt;
            } catch (int code) {
                EXPECT_EQ(code, NbErrBadThumbnailRect);
            }
        }
    }
    // A short curve: the values past its end take its last entry.
    auto shortCurve = WithPreview(8, 4);
    shortCurve.curve = {0, 4, 8, 12};
    FinishedJPEGImage image{FilePathSpec(Write(shortCurve))};
    ASSERT_EQ(image.Open(), 0);
    ASSERT_EQ(image.GetThumbnailKind(), FinishedJPEGImage::ThumbnailPreview);
    const std::vector<uint8_t> px = RenderThumbnail(image);
    for (size_t i = 0; i < shortCurve.preview.size(); ++i)
        ASSERT_EQ(px[i], FinishedJPEGImage::PreviewTableValue(4 * std::min<int>(shortCurve.preview[i], 3)) >> 4);
}

TEST_F(FinishedJPEGMakerBlocksTest, ChunkOffsetsOutsideStream2FailThePreview) {
    MakerBlockSpec spec = WithPreview(300, 4);
    std::vector<uint8_t> bytes = MakerBlockWriter::Insert(JpegFixture::Encode(JpegFixture::Pattern(64, 48, 3, 1), 80), spec);
    // Stream 1's first entry: 38 bytes past the header after its
    // segment's identifier.
    const std::string id("WQXA\0MM\0*", 9);
    auto at = std::search(bytes.begin(), bytes.end(), id.begin(), id.end());
    ASSERT_NE(at, bytes.end());
    const size_t entry = size_t(at - bytes.begin()) + 5 + 38;
    bytes[entry] = 0x7F; // far past the end of stream 2
    const std::string path = (dir_ / "far.jpg").string();
    JpegFixture::WriteFile(path, bytes);
    FinishedJPEGImage image{FilePathSpec(path)};
    ASSERT_EQ(image.Open(), 0);
    ASSERT_EQ(image.GetThumbnailKind(), FinishedJPEGImage::ThumbnailPreview);
    try {
        RenderThumbnail(image);
        FAIL() << "decoded a chunk outside its stream";
    } catch (int code) {
        EXPECT_EQ(code, NbErrBadThumbnailRect);
    }
}

TEST_F(FinishedJPEGMakerBlocksTest, VisibleThumbnailOfExtendedRangeFiles) {
    struct Case {
        int width, height, visibleWidth, visibleHeight;
    };
    for (const Case c : {Case{320, 240, 160, 120}, Case{300, 200, 160, 106}, Case{200, 300, 80, 120}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        MakerBlockSpec spec;
        spec.largeThumbnail = JpegFixture::Encode(JpegFixture::Pattern(160, 120, 3, 23), 90);
        spec.largeWidth = 160, spec.largeHeight = 120;
        FinishedJPEGImage image{FilePathSpec(Write(spec, c.width, c.height))};
        ASSERT_EQ(image.Open(), 0);
        ASSERT_EQ(image.GetThumbnailKind(), FinishedJPEGImage::ThumbnailLarge);
        const NbRect v = image.GetNativeThumbnailRect();
        EXPECT_EQ(v.Width(), c.visibleWidth);
        EXPECT_EQ(v.Height(), c.visibleHeight);
        ExportImageArray out;
        out.SetPixelType(PixelArray::RGB);
        out.SetBounds(NbRect(0, 0, v.Width() - 1, v.Height() - 1));
        out.SetRowBytes(int32_t(v.Width() * 3));
        out.Create(uint64_t(v.Width() * v.Height() * 3));
        if (c.visibleWidth == 160 || c.visibleHeight == 120) image.RenderThumbnail(ImageProcessParam(), out);
    }
}
