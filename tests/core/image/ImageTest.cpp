// The image object with the fake kind: listeners, sounds, renaming, tags and
// parameters, the info texts, the layout helpers, levels, the colour matrix.
#include "CoreTestSupport.h"
#include "FakeColorServices.h"
#include "FakeImage.h"
#include "ImagePool.h"
#include "PixelArray.h"
#include "StImageClosableFlagRestorer.h"
#include "StImageRenderingFlagRestorer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <unistd.h>

using namespace NimbalCore;
using coretest::CodeOf;
using coretest::FakeImage;

namespace {

struct Recorder : ImageChangeCB {
    std::vector<std::string> calls;
    std::function<void()> onCall;
    void Record(const std::string& what) {
        calls.push_back(what);
        if (onCall) onCall();
    }
    void ImageFileChanged(const FilePathSpec&) override { Record("file"); }
    void ProcessParamsChanged(const FilePathSpec&) override { Record("params"); }
    void SoundsChanged(const FilePathSpec&) override { Record("sounds"); }
    void ImageSaved(const FilePathSpec&) override { Record("saved"); }
    void TagChanged(const FilePathSpec&) override { Record("tag"); }
    void ImageRenamed(const FilePathSpec& o, const FilePathSpec& n) override {
        Record("renamed " + o.GetPath() + " -> " + n.GetPath());
    }
};

class ImageTest : public ::testing::Test {
protected:
    void TearDown() override { ImagePool::DeleteInstance(); }
};

// A plain pixel array over a vector, for the layout helpers.
class VectorArray : public PixelArray {
public:
    void Create(uint64_t size) override { bytes.resize(size); }
    void Free() override { bytes.clear(); }
    void* GetData() const override { return const_cast<uint8_t*>(bytes.data()); }
    std::vector<uint8_t> bytes;
};

} // namespace

TEST_F(ImageTest, ListenersAreRegisteredOnceAndRemovedOnce) {
    ImageRef image(new FakeImage("/a/1.tif"));
    Recorder r;
    image->AddImageChangeCB(&r);
    image->AddImageChangeCB(&r);
    image->AddImageChangeCB(nullptr);
    image->SetTagged(true);
    EXPECT_EQ(r.calls.size(), 1u);
    image->RemoveImageChangeCB(&r);
    EXPECT_EQ(CodeOf([&] { image->RemoveImageChangeCB(&r); }), NbErrImageChangeCBNotFound);
    image->RemoveImageChangeCB(nullptr);
}

TEST_F(ImageTest, ListenersMayRemoveThemselvesOrOthersDuringANotification) {
    ImageRef image(new FakeImage("/a/1.tif"));
    Recorder self, remover, removed, last;
    self.onCall = [&] { image->RemoveImageChangeCB(&self); };
    bool removedOnce = false;
    remover.onCall = [&] {
        if (!removedOnce) image->RemoveImageChangeCB(&removed);
        removedOnce = true;
    };
    for (Recorder* r : {&self, &remover, &removed, &last}) image->AddImageChangeCB(r);
    image->SetTagged(true);
    EXPECT_EQ(self.calls.size(), 1u);
    EXPECT_EQ(remover.calls.size(), 1u);
    EXPECT_TRUE(removed.calls.empty());
    EXPECT_EQ(last.calls.size(), 1u);
    image->SetTagged(false);
    EXPECT_EQ(self.calls.size(), 1u);
    EXPECT_EQ(remover.calls.size(), 2u);
}

TEST_F(ImageTest, AListenerMayDropTheLastReferenceDuringItsCall) {
    const int before = FakeImage::deleted;
    auto* holder = new ImageRef(new FakeImage("/a/1.tif"));
    Recorder dropper, after;
    dropper.onCall = [&] {
        delete holder;
        holder = nullptr;
    };
    (*holder)->AddImageChangeCB(&dropper);
    (*holder)->AddImageChangeCB(&after);
    (*holder)->SetTagged(true);
    EXPECT_EQ(after.calls.size(), 1u);
    EXPECT_EQ(FakeImage::deleted, before + 1);
}

TEST_F(ImageTest, SoundsNotifyAndRefuseDuplicates) {
    ImageRef image(new FakeImage("/a/1.tif"));
    Recorder r;
    image->AddImageChangeCB(&r);
    EXPECT_TRUE(image->AddSound(FilePathSpec("/a/1.wav")));
    EXPECT_FALSE(image->AddSound(FilePathSpec("/a/1.wav")));
    EXPECT_TRUE(image->AddSound(FilePathSpec("/a/2.wav")));
    EXPECT_EQ(image->GetSoundCount(), 2);
    EXPECT_TRUE(image->RemoveSound(FilePathSpec("/a/1.wav")));
    EXPECT_EQ(CodeOf([&] { image->RemoveSound(FilePathSpec("/a/1.wav")); }), NbErrSoundNotFound);
    EXPECT_EQ((*image->GetSounds())[0].GetPath(), "/a/2.wav");
    EXPECT_EQ(r.calls, (std::vector<std::string>{"sounds", "sounds", "sounds"}));
}

TEST_F(ImageTest, RenameMovesTheFileAndNotifiesOldAndNewPath) {
    char folder[] = "/tmp/lumora-image-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string from = std::string(folder) + "/a.tif", to = std::string(folder) + "/b.tif";
    coretest::WriteAll(from, "pixels");
    ImageRef image(new FakeImage(from));
    Recorder r;
    image->AddImageChangeCB(&r);
    image->Rename(FilePathSpec(to));
    EXPECT_EQ(r.calls, (std::vector<std::string>{"renamed " + from + " -> " + to}));
    EXPECT_EQ(image->GetFilePathSpec().GetPath(), to);
    EXPECT_EQ(coretest::ReadAll(to), "pixels");
    // A rename that fails changes nothing and notifies nobody.
    coretest::WriteAll(from, "other");
    EXPECT_NE(CodeOf([&] { image->Rename(FilePathSpec(from)); }), 0);
    EXPECT_EQ(image->GetFilePathSpec().GetPath(), to);
    EXPECT_EQ(r.calls.size(), 1u);
    std::filesystem::remove_all(folder);
}

TEST_F(ImageTest, AnEqualParameterSetSendsNothing) {
    ImageRef image(new FakeImage("/a/1.tif"));
    Recorder r;
    image->AddImageChangeCB(&r);
    image->SetProcessParams(ImageProcessParam());
    EXPECT_TRUE(r.calls.empty());
    EXPECT_FALSE(image->IsModified());
    ImageProcessParam p;
    p.rotation = 90;
    image->SetProcessParams(p);
    EXPECT_EQ(r.calls, (std::vector<std::string>{"params"}));
    EXPECT_TRUE(image->IsModified());
    EXPECT_FALSE(image->SetTagged(false));
}

TEST_F(ImageTest, OpenDisabledThrowsAndEnsureOpenReopens) {
    ImageRef image(new FakeImage("/a/1.tif"));
    image->SetOpenDisabled(true);
    EXPECT_EQ(CodeOf([&] { image->Open(); }), NbErrImageOpenFailed);
    image->SetOpenDisabled(false);
    auto* fake = static_cast<FakeImage*>(image.Get());
    fake->opens = 0;
    EXPECT_EQ(image->EnsureOpen(), 0);
    EXPECT_EQ(fake->opens, 1);
    EXPECT_EQ(image->EnsureOpen(), 0);
    EXPECT_EQ(fake->opens, 1);
    image->Close();
    EXPECT_FALSE(image->IsOpen());
}

TEST_F(ImageTest, ScopeGuardsGiveBackTheFlags) {
    ImageRef image(new FakeImage("/a/1.tif"));
    {
        StImageClosableFlagRestorer closable(image.Get());
        StImageRenderingFlagRestorer rendering(image.Get());
        EXPECT_FALSE(image->IsClosable());
        EXPECT_TRUE(image->IsRendering());
    }
    EXPECT_TRUE(image->IsClosable());
    EXPECT_FALSE(image->IsRendering());

    // Two threads' guards overlap and end in the order their work finishes:
    // the image stays busy until the last ends, then is as it was.
    auto first = std::make_unique<StImageClosableFlagRestorer>(image.Get());
    auto second = std::make_unique<StImageClosableFlagRestorer>(image.Get());
    auto drawing = std::make_unique<StImageRenderingFlagRestorer>(image.Get());
    auto drawingToo = std::make_unique<StImageRenderingFlagRestorer>(image.Get());
    first.reset();
    drawing.reset();
    EXPECT_FALSE(image->IsClosable()) << "the second guard still works with the file";
    EXPECT_TRUE(image->IsRendering());
    second.reset();
    drawingToo.reset();
    EXPECT_TRUE(image->IsClosable());
    EXPECT_FALSE(image->IsRendering());
}

TEST_F(ImageTest, ThumbnailScaleSteps) {
    FakeImage image("/a/1.tif");
    const struct {
        int w, h;
        float scale;
    } cases[] = {{156, 100, 1.0f}, {312, 100, 0.5f}, {1000, 800, 0.125f}, {400, 10, 0.4f}, {600, 10, 0.25f},
                 {200, 100, 1.0f}};
    for (const auto& c : cases) {
        image.ComputeThumbnailScale(c.w, c.h);
        EXPECT_EQ(image.GetThumbnailScale(), c.scale) << c.w << "x" << c.h;
    }
}

TEST_F(ImageTest, InfoTextLinesAndShortDateTexts) {
    setenv("TZ", "UTC", 1);
    FakeImage image("/nonexistent/1.tif", 4000, 3000);
    std::string text = image.GetImageInfoText();
    EXPECT_EQ(text.rfind("Date:  01/01/1990\nTime:  00:00:00\nWidth:  4000\nHeight:  3000\n", 0), 0u) << text;
    EXPECT_NE(text.find("Resolution: 12.0 Megapixels\n"), std::string::npos);
    image.cameraModel_ = "ZYNM01";
    image.imageNumber_ = 7;
    image.infoTextHead_ = "HEAD\n";
    image.cameraSettingsBlock_ = "ISO  100\n";
    // A file's own, shorter date text gives no date lines.
    image.dateTimeString_ = "2004:05";
    text = image.GetImageInfoText();
    EXPECT_EQ(text.rfind("HEAD\nCamera:  ZYNM01\nImage Number:  7\nWidth:  4000\n", 0), 0u) << text;
    EXPECT_EQ(text.substr(text.size() - 9), "ISO  100\n");
    EXPECT_EQ(image.GetFileInfoText(), "\n4000 by 3000 pixels\nResolution: 12.0 Megapixels\nFile Size: 0.0 MB on disk");
}

TEST_F(ImageTest, TextLinesAreRemovedThroughTheirLineFeed) {
    FakeImage image("/a/1.tif");
    std::string text = "A\nWidth:  10\nHeight:  20\nB";
    EXPECT_EQ(image.RemoveDimensionLines(text), 2);
    EXPECT_EQ(text, "A\nB");
    std::string noFeed = "A\nWidth:  10";
    EXPECT_FALSE(image.RemoveTextLine(noFeed, "Width"));
    EXPECT_EQ(noFeed, "A\nWidth:  10");
    std::string types = "TIFF File\nx\n";
    EXPECT_FALSE(image.RemoveFileTypeLines(types)); // the last label looked for is absent
    EXPECT_EQ(types, "x\n");
}

TEST_F(ImageTest, ExifDateTimesAndCaptureStamp) {
    setenv("TZ", "UTC", 1);
    time_t t = 0;
    EXPECT_TRUE(Image::ParseExifDateTime("2004:05:06 07:08:09", &t));
    EXPECT_EQ(t, time_t(1083827289));
    for (const char* bad : {"1989:05:06 07:08:09", "2100:01:01 00:00:00", "2004:05:06", "20x4:05:06 07:08:09", ""})
        EXPECT_FALSE(Image::ParseExifDateTime(bad, &t)) << bad;
    FakeImage image("/a/1.tif");
    image.captureTime_ = 1083827289;
    image.UpdateDateTimeString();
    EXPECT_EQ(image.GetDateTimeString(), "2004:05:06:07:08:09");
}

TEST_F(ImageTest, DefaultProfileNamesFollowTheLookAndTheSensor) {
    coretest::ScopedFakeColor color;
    FakeImage image("/a/1.tif");
    EXPECT_EQ(image.GetDefaultProfileName(1), "PORTRAIT");
    EXPECT_EQ(image.GetDefaultProfileName(99), "PRODUCT");
    EXPECT_EQ(image.GetDefaultProfileName(6), "PRODUCT"); // the wedding look is not known here
    image.isColor_ = false;
    EXPECT_EQ(image.GetDefaultProfileName(1), "PORTRAIT GRAY");
    EXPECT_EQ(image.GetDefaultProfileName(3), "PORTRAIT GRAY");
    EXPECT_EQ(image.GetDefaultProfileName(7), "PRODUCT GRAY");
}

TEST_F(ImageTest, ValidateLevelsCases) {
    FakeImage image("/a/1.tif");
    image.levelsLimits_[0] = 0.0f;
    image.levelsLimits_[1] = 0.5f;
    image.levelsLimits_[2] = 1.0f;
    image.levelsMinimumGap_ = 0.1f;
    const struct {
        float s, m, h;
        int code;
    } cases[] = {{0.0f, 0.5f, 1.0f, 0},  {0.0f, 0.05f, 1.0f, 26}, {0.6f, 0.5f, 1.0f, 27}, {-0.1f, 0.5f, 1.0f, 28},
                 {1.1f, 0.5f, 1.0f, 29}, {0.0f, -0.2f, 1.0f, 30}, {0.0f, 1.2f, 1.0f, 31}, {0.0f, 0.5f, -0.3f, 32},
                 {0.0f, 0.5f, 1.3f, 33}, {0.0f, 0.96f, 1.0f, 26}, {0.0f, 0.2f, 1.0f, 0}, {0.0f, 0.8f, 1.0f, 0}};
    for (const auto& c : cases) EXPECT_EQ(image.ValidateLevels(c.s, c.m, c.h), c.code) << c.s << " " << c.m << " " << c.h;
}

TEST_F(ImageTest, ColourModeValidity) {
    coretest::ScopedFakeColor color;
    FakeImage image("/a/1.tif");
    ImageProcessParam gray;
    gray.lookName = "PRODUCT GRAY";
    const int linear = 1, colour = 0;
    EXPECT_FALSE(image.IsColorModeValid(gray, &linear));
    image.colorModes = {1, 2};
    EXPECT_TRUE(image.IsColorModeValid(gray, &colour));
    EXPECT_TRUE(image.IsColorModeValid(gray, &linear));
    image.colorModes = {0, 1};
    EXPECT_FALSE(image.IsColorModeValid(gray, &linear));
    EXPECT_TRUE(image.IsColorModeValid(ImageProcessParam(), &linear));
}

TEST_F(ImageTest, RotatePixelLayoutMovesPlanesAndStridesForEachAngle) {
    FakeImage image("/a/1.tif");
    alignas(8) static uint8_t buffer[4096];
    auto make = [&] {
        VrelSharpenPlanes l{};
        l.channels = 3;
        l.bitsPerSample = 16;
        l.pixelStride = 6;
        l.rowStride = 60;
        l.columns = 10;
        l.rows = 4;
        l.plane[0] = buffer + 100;
        l.plane[1] = buffer + 102;
        l.plane[2] = nullptr;
        return l;
    };
    const struct {
        int angle;
        int32_t pixelStride, rowStride, rows, columns;
        int64_t offset;
    } cases[] = {{0, 6, 60, 4, 10, 0},           {45, 6, 60, 4, 10, 0},           {90, 60, -6, 10, 4, 54},
                 {-270, 60, -6, 10, 4, 54},      {180, -6, -60, 4, 10, 54 + 180}, {-180, -6, -60, 4, 10, 234},
                 {270, -60, 6, 10, 4, 180},      {-90, -60, 6, 10, 4, 180}};
    for (const auto& c : cases) {
        VrelSharpenPlanes l = make();
        image.RotatePixelLayout(l, c.angle);
        EXPECT_EQ(l.pixelStride, c.pixelStride) << c.angle;
        EXPECT_EQ(l.rowStride, c.rowStride) << c.angle;
        EXPECT_EQ(l.rows, c.rows) << c.angle;
        EXPECT_EQ(l.columns, c.columns) << c.angle;
        EXPECT_EQ(static_cast<uint8_t*>(l.plane[0]) - buffer, 100 + c.offset) << c.angle;
        EXPECT_EQ(static_cast<uint8_t*>(l.plane[1]) - buffer, 102 + c.offset) << c.angle;
        EXPECT_EQ(l.plane[2], nullptr);

        VrelSharpenPlanes o = make();
        image.RotatePixelOrigins(o, c.angle);
        EXPECT_EQ(o.pixelStride, 6);
        EXPECT_EQ(o.rowStride, 60);
        EXPECT_EQ(o.rows, c.rows);
        EXPECT_EQ(o.plane[0], l.plane[0]);
    }
}

TEST_F(ImageTest, DescribePixelArrayByPixelType) {
    FakeImage image("/a/1.tif");
    VectorArray array;
    array.Create(1024);
    array.SetBytesPerSample(2);
    array.SetRowBytes(120);
    array.SetBounds(NbRect(0, 0, 19, 4));
    uint8_t* a = array.bytes.data();
    const struct {
        int type, channels, stride;
        int p0, p1, p2;
    } cases[] = {{0, 1, 2, 0, 0, 0}, {1, 3, 6, 0, 2, 4}, {2, 3, 6, 4, 2, 0}, {3, 3, 8, 2, 4, 6}, {4, 4, 8, 4, 2, 0}};
    for (const auto& c : cases) {
        array.SetPixelType(c.type);
        VrelSharpenPlanes l;
        image.DescribePixelArray(array, l);
        EXPECT_EQ(l.channels, c.channels) << c.type;
        EXPECT_EQ(l.pixelStride, c.stride) << c.type;
        EXPECT_EQ(l.bitsPerSample, 16);
        EXPECT_EQ(l.rows, 5);
        EXPECT_EQ(l.columns, 20);
        EXPECT_EQ(l.rowStride, 120);
        EXPECT_EQ(static_cast<uint8_t*>(l.plane[0]) - a, c.p0) << c.type;
        EXPECT_EQ(static_cast<uint8_t*>(l.plane[1]) - a, c.p1) << c.type;
        EXPECT_EQ(static_cast<uint8_t*>(l.plane[2]) - a, c.p2) << c.type;
    }
    array.SetPixelType(6);
    VrelSharpenPlanes l;
    image.DescribePixelArray(array, l);
    EXPECT_EQ(l.channels, 0);
    EXPECT_EQ(l.plane[0], nullptr);
    EXPECT_EQ(l.rows, 5);

    PixelLayout layout;
    VrelSharpenPlanes planes{};
    planes.bitsPerSample = 16;
    planes.columns = 7;
    planes.channels = 3;
    planes.plane[2] = a;
    image.DescribeRenderBuffer(planes, layout);
    EXPECT_EQ(layout.sampleType, PixelSample16);
    EXPECT_EQ(layout.columns, 7);
    EXPECT_EQ(layout.base[2], a);
    planes.bitsPerSample = 8;
    image.DescribeRenderBuffer(planes, layout);
    EXPECT_EQ(layout.sampleType, PixelSample8);
}

TEST_F(ImageTest, TransformPixelsWithoutATransformShiftsSamples) {
    FakeImage image("/a/1.tif");
    std::vector<uint16_t> source = {0x1234, 0x0FFF, 0xFFFF, 0x0010, 0x0800, 0x0001};
    auto planes = [](void* base, int bits, int channels, int columns) {
        VrelSharpenPlanes p{};
        const int b = bits / 8;
        p.channels = channels;
        p.bitsPerSample = bits;
        p.pixelStride = channels * b;
        p.rowStride = columns * channels * b;
        p.rows = 1;
        p.columns = columns;
        for (int k = 0; k < 3; ++k) p.plane[k] = static_cast<uint8_t*>(base) + (channels == 1 ? 0 : k * b);
        return p;
    };
    std::vector<uint8_t> out8(6);
    image.TransformPixels(nullptr, planes(source.data(), 16, 3, 2), planes(out8.data(), 8, 3, 2));
    EXPECT_EQ(out8, (std::vector<uint8_t>{0x12, 0x0F, 0xFF, 0x00, 0x08, 0x00}));
    image.sourceBitDepth_ = 12;
    image.TransformPixels(nullptr, planes(source.data(), 16, 3, 2), planes(out8.data(), 8, 3, 2));
    EXPECT_EQ(out8, (std::vector<uint8_t>{0x23, 0xFF, 0xFF, 0x01, 0x80, 0x00}));
    std::vector<uint16_t> out16(6);
    image.TransformPixels(nullptr, planes(source.data(), 16, 3, 2), planes(out16.data(), 16, 3, 2));
    EXPECT_EQ(out16[1], 0xFFF0);
    EXPECT_EQ(out16[3], 0x0100);
    image.sourceBitDepth_ = 16;
    image.TransformPixels(nullptr, planes(source.data(), 16, 3, 2), planes(out16.data(), 16, 3, 2));
    EXPECT_EQ(out16, source);
}

TEST_F(ImageTest, ColorMatrixConvertsOnceAndClamps) {
    // Identity with factor 1 leaves the samples.
    int32_t identity[18] = {1, 8, 0, 8, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    uint16_t px[3] = {100, 200, 300};
    EXPECT_EQ(Image::ApplyColorMatrix(px, identity, 1, 16, 1.0f), 0);
    EXPECT_EQ(px[0], 100);

    // Integer form with divisor 4: converted to 13-bit fixed point in place.
    int32_t m[18] = {4, 4, 0, 4, 0, 0, 0, 0, 8, 0, 0, 0, -4, 0, 0, 0, 4, 0};
    uint16_t p2[6] = {1000, 2000, 3000, 65535, 65535, 65535};
    EXPECT_EQ(Image::ApplyColorMatrix(p2, m, 2, 16, 1.0f), 0);
    EXPECT_EQ(m[1], 13);
    EXPECT_EQ(m[3], 8192);
    EXPECT_EQ(m[0], 8192);
    EXPECT_EQ(m[8], 16384);
    EXPECT_EQ(p2[0], 1000);
    EXPECT_EQ(p2[1], 4000);
    EXPECT_EQ(p2[2], 2000);
    EXPECT_EQ(p2[4], 65535); // clamped to the depth
    EXPECT_EQ(p2[5], 0);     // sums of 0 or less become 0
    // Reused as converted: the second call does not scale again.
    uint16_t p3[3] = {10, 20, 30};
    EXPECT_EQ(Image::ApplyColorMatrix(p3, m, 1, 12, 1.0f), 0);
    EXPECT_EQ(p3[1], 40);

    int32_t zeroShift[18] = {1, 0, 0, 0};
    EXPECT_EQ(Image::ApplyColorMatrix(px, zeroShift, 1, 16, 1.0f), NbErrPixelFormatUnsupported);
    EXPECT_EQ(Image::ApplyColorMatrix(px, m, 1, 14, 1.0f), NbErrPixelFormatUnsupported);
}

TEST_F(ImageTest, ColorMatrixSumsDoNotOverflowForBrightPixels) {
    // Coefficients near 2 x 8192 on bright 16-bit samples pass 2^31 in the
    // dot product; the result must still be the clamped maximum.
    int32_t m[18] = {16000, 13, 16000, 8192, 16000, 0, 0, 0, 8192, 0, 0, 0, 0, 0, 0, 0, 8192, 0};
    uint16_t px[3] = {65535, 65535, 65535};
    EXPECT_EQ(Image::ApplyColorMatrix(px, m, 1, 16, 1.0f), 0);
    EXPECT_EQ(px[0], 65535);
    EXPECT_EQ(px[1], 65535);
    // A shift word that no real record has is refused, not used.
    int32_t bad[18] = {8192, 40, 0, 8192, 0, 0, 0, 0, 8192, 0, 0, 0, 0, 0, 0, 0, 8192, 0};
    uint16_t q[3] = {1, 2, 3};
    EXPECT_EQ(Image::ApplyColorMatrix(q, bad, 1, 16, 1.0f), NbErrPixelFormatUnsupported);
    EXPECT_EQ(q[0], 1);
}

TEST_F(ImageTest, SwapBytes) {
    uint16_t a[2] = {0x1234, 0xABCD};
    Image::SwapBytes16(a, 2);
    EXPECT_EQ(a[0], 0x3412);
    EXPECT_EQ(a[1], 0xCDAB);
    uint32_t b[1] = {0x11223344};
    Image::SwapBytes32(b, 1);
    EXPECT_EQ(b[0], 0x44332211u);
}

TEST_F(ImageTest, CopyrightGoesIntoTheIptcRecordOnce) {
    FakeImage image("/a/1.tif");
    image.copyright_ = std::string(200, 'c');
    image.GetIPTCRecord()->Reset();
    image.CopyCopyrightToIPTC();
    image.CopyCopyrightToIPTC();
    int index, count = 0;
    const uint8_t* data;
    uint16_t length;
    IPTCNAARecord2* record = image.GetIPTCRecord();
    for (bool more = record->GetFirstDataset(&index, &data, &length); more;
         more = record->GetNextDataset(&index, &data, &length))
        if (index == IPTCNAARecord2::kCopyrightNotice) {
            ++count;
            EXPECT_EQ(length, 128);
        }
    EXPECT_EQ(count, 1);
}
