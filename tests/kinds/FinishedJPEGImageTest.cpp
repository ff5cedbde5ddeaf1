#include "FinishedJPEGImage.h"
#include "JpegFixture.h"

#include "ExportImageArray.h"
#include "ProgressCB.h"
#include "YlmErrp.h"
#include "YlmError.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <unistd.h>

using namespace NimbalCore;
namespace fs = std::filesystem;

namespace {

class FinishedJPEGImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kinds-jpeg-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    // The outside tools the checks compare with.
    static bool HaveTools() {
        return JpegFixture::HaveTool("cjpeg") && JpegFixture::HaveTool("djpeg") && JpegFixture::HaveTool("exiftool");
    }
    // What djpeg decodes with the fast transform, at 1/scale.
    Picture Djpeg(const std::string& jpeg, int scale = 1) {
        const std::string out = Path("djpeg.pnm");
        EXPECT_TRUE(JpegFixture::Run("djpeg -dct fast -pnm -scale 1/" + std::to_string(scale) + " -outfile " + out +
                                     " " + jpeg));
        return JpegFixture::ReadPNM(out);
    }
    std::string WriteJpeg(const std::string& name, const Picture& p, int quality = 90) {
        JpegFixture::WriteFile(Path(name), JpegFixture::Encode(p, quality));
        return Path(name);
    }

    fs::path dir_;
};

struct Rendered {
    ExportImageArray array;
    Rendered(int w, int h, int type) {
        array.SetPixelType(type);
        array.SetBytesPerSample(1);
        array.SetBounds(NbRect(0, 0, w - 1, h - 1));
        array.SetRowBytes(w * array.GetChannels());
        array.Create(uint64_t(h) * uint64_t(array.GetRowBytes()));
    }
    const uint8_t* Row(int y) const {
        return static_cast<uint8_t*>(array.GetData()) + int64_t(y) * array.GetRowBytes();
    }
    int Channels() const { return array.GetChannels(); }
};

struct Recorder : ProgressCB {
    std::vector<int> seen;
    bool Progress(int percent) override {
        seen.push_back(percent);
        return true;
    }
};

// Every pixel of the render equals the picture's, rows and columns from an
// origin of the picture.
void ExpectSamePixels(const Rendered& r, const Picture& p, int top = 0, int left = 0) {
    const NbRect b = r.array.GetBounds();
    ASSERT_EQ(r.Channels(), p.channels);
    for (int y = 0; y < b.Height(); ++y) {
        const int n = int(b.Width()) * p.channels;
        const uint8_t* want = p.Row(y + top) + left * p.channels;
        const uint8_t* got = r.Row(y);
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(got[i], want[i]) << "row " << y << " byte " << i;
    }
}

int OpenCode(const std::string& path) {
    FinishedJPEGImage image{FilePathSpec(path)};
    return image.Open();
}

} // namespace

TEST_F(FinishedJPEGImageTest, OutsideWritersDecodeLikeDjpeg) {
    if (!HaveTools()) GTEST_SKIP() << "cjpeg, djpeg or exiftool missing";
    const Picture rgb = JpegFixture::Pattern(67, 45, 3, 1);
    const Picture gray = JpegFixture::Pattern(67, 45, 1, 2);
    JpegFixture::WritePNM(Path("rgb.ppm"), rgb);
    JpegFixture::WritePNM(Path("gray.pgm"), gray);
    struct Case {
        const char* name;
        const char* options;
        bool gray;
    };
    for (const Case c : {Case{"baseline", "-quality 85", false}, Case{"progressive", "-progressive", false},
                         Case{"restart", "-restart 1", false}, Case{"rgb", "-rgb", false},
                         Case{"gray", "-grayscale", false}, Case{"graysource", "", true},
                         Case{"subsampled", "-sample 2x2 -quality 60", false}}) {
        SCOPED_TRACE(c.name);
        const std::string jpeg = Path(std::string(c.name) + ".jpg");
        ASSERT_TRUE(JpegFixture::Run(std::string("cjpeg ") + c.options + " -outfile " + jpeg + " " +
                                     Path(c.gray ? "gray.pgm" : "rgb.ppm")));
        const Picture want = Djpeg(jpeg);
        FinishedJPEGImage image{FilePathSpec(jpeg)};
        ASSERT_EQ(image.Open(), 0);
        EXPECT_FALSE(image.HasExif());
        EXPECT_EQ(image.GetNativeImageRect().Width(), 67);
        EXPECT_EQ(image.GetNativeImageRect().Height(), 45);
        EXPECT_EQ(image.GetSamplesPerPixel(), want.channels);
        EXPECT_EQ(image.GetSupportedColorModes(), (want.channels == 3 ? std::vector<int>{0, 2} : std::vector<int>{2}));
        Rendered out(67, 45, want.channels == 3 ? PixelArray::RGB : PixelArray::Gray);
        image.RenderImage(ImageProcessParam{}, out.array, false, nullptr, 1);
        ExpectSamePixels(out, want);
        // A closed image opens again on the next render.
        image.Close();
        Rendered again(67, 45, want.channels == 3 ? PixelArray::RGB : PixelArray::Gray);
        image.RenderImage(ImageProcessParam{}, again.array, false, nullptr, 1);
        ExpectSamePixels(again, want);
    }
}

TEST_F(FinishedJPEGImageTest, ReadsExifIptcAndMultiChunkProfileWrittenByExiftool) {
    if (!HaveTools()) GTEST_SKIP() << "cjpeg, djpeg or exiftool missing";
    const std::string jpeg = WriteJpeg("meta.jpg", JpegFixture::Pattern(40, 30, 3, 3));
    // A profile too long for one segment: exiftool splits it into chunks.
    std::vector<uint8_t> profile(150000);
    for (size_t i = 0; i < profile.size(); ++i) profile[i] = uint8_t(i * 7 + (i >> 9));
    const uint32_t size = uint32_t(profile.size());
    profile[0] = uint8_t(size >> 24), profile[1] = uint8_t(size >> 16), profile[2] = uint8_t(size >> 8),
    profile[3] = uint8_t(size);
    // Enough of a profile header for exiftool to take it.
    std::memcpy(&profile[8], "\x02\x10\x00\x00mntrRGB XYZ ", 16);
    std::memcpy(&profile[36], "acsp", 4);
    JpegFixture::WriteFile(Path("big.icc"), profile);
    ASSERT_TRUE(JpegFixture::Run("exiftool -overwrite_original -Make=Orvex '-Model=Zyn CorvidN' "
                                 "'-Software=orvex professional zyn lumora 2.1' '-DateTimeOriginal=2024:05:06 07:08:09' "
                                 "-Orientation#=6 -Copyright=Someone -IPTC:Keywords=alpha -IPTC:City=Oslo "
                                 "'-ICC_Profile<=" + Path("big.icc") + "' " + jpeg));
    const Picture want = Djpeg(jpeg);
    FinishedJPEGImage image{FilePathSpec(jpeg)};
    ASSERT_EQ(image.Open(), 0);
    EXPECT_TRUE(image.HasExif());
    EXPECT_TRUE(image.IsFinishedZynImage());
    EXPECT_EQ(image.GetCameraMake(), "Orvex");
    EXPECT_EQ(image.GetCameraModel(), "Zyn Corvidn");
    EXPECT_EQ(image.GetFirmwareVersion(), "orvex professional zyn lumora 2.1");
    EXPECT_EQ(image.GetDateTimeString(), "2024:05:06 07:08:09");
    EXPECT_EQ(image.GetProcessParams()->rotation, 90.0f);
    EXPECT_TRUE(image.ProfileComplete());
    EXPECT_GE(image.GetProfileChunkCount(), 3);
    EXPECT_EQ(image.GetEmbeddedProfile(), profile);
    const IPTCNAARecord2* iptc = image.GetIPTCRecord();
    ASSERT_NE(iptc, nullptr);
    EXPECT_GT(iptc->GetLength(), 0u);
    // Pixels are unchanged by the metadata.
    Rendered out(40, 30, PixelArray::RGB);
    ImageProcessParam upright;
    image.RenderImage(upright, out.array, false, nullptr, 1);
    ExpectSamePixels(out, want);
}

TEST_F(FinishedJPEGImageTest, RotatedAndCroppedRendersTakeTheirPixels) {
    const Picture p = JpegFixture::Pattern(30, 20, 3, 4);
    const std::string jpeg = WriteJpeg("r.jpg", p);
    FinishedJPEGImage image{FilePathSpec(jpeg)};
    ASSERT_EQ(image.Open(), 0);
    Rendered upright(30, 20, PixelArray::RGB);
    image.RenderImage(ImageProcessParam{}, upright.array, false, nullptr, 1);
    for (int angle : {90, 180, 270}) {
        SCOPED_TRACE(angle);
        const bool turned = angle != 180;
        Rendered out(turned ? 20 : 30, turned ? 30 : 20, PixelArray::RGB);
        ImageProcessParam params;
        params.rotation = float(angle);
        image.RenderImage(params, out.array, false, nullptr, 1);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 30; ++x) {
                int tx = x, ty = y;
                if (angle == 90) tx = 19 - y, ty = x;
                if (angle == 180) tx = 29 - x, ty = 19 - y;
                if (angle == 270) tx = y, ty = 29 - x;
                for (int k = 0; k < 3; ++k)
                    ASSERT_EQ(out.Row(ty)[tx * 3 + k], upright.Row(y)[x * 3 + k]) << x << "," << y;
            }
    }
    // A crop from row 5, column 3: the rows above are decoded and dropped.
    ImageProcessParam crop;
    crop.crop = NbRect(3, 5, 20, 16);
    Rendered part(18, 12, PixelArray::RGB);
    image.RenderImage(crop, part.array, true, nullptr, 1);
    Picture whole{30, 20, 3, {}};
    whole.pixels.assign(upright.Row(0), upright.Row(0) + 30 * 20 * 3);
    ExpectSamePixels(part, whole, 5, 3);
    // A crop outside the image is refused.
    ImageProcessParam outside;
    outside.crop = NbRect(0, 10, 29, 20);
    try {
        image.RenderImage(outside, part.array, true, nullptr, 1);
        FAIL() << "rendered rows that are not there";
    } catch (const YlmErrp& e) {
        EXPECT_EQ(e.GetCode(), NbErrRenderFailed);
    }
}

TEST_F(FinishedJPEGImageTest, ProgressByStripsAndCancel) {
    struct Case {
        int height;
        std::vector<int> seen;
    };
    for (const Case& c : {Case{600, {0, 0, 33, 66, 100}}, Case{512, {0, 0, 33, 100}}, Case{100, {0, 0, 100}}}) {
        SCOPED_TRACE(c.height);
        const std::string jpeg = WriteJpeg("p.jpg", JpegFixture::Pattern(16, c.height, 1, 5));
        FinishedJPEGImage image{FilePathSpec(jpeg)};
        ASSERT_EQ(image.Open(), 0);
        Rendered out(16, c.height, PixelArray::Gray);
        Recorder progress;
        image.RenderImage(ImageProcessParam{}, out.array, false, &progress, 1);
        EXPECT_EQ(progress.seen, c.seen);
    }
    struct Cancel : ProgressCB {
        int calls = 0;
        bool Progress(int) override { return ++calls < 2; }
    } cancel;
    FinishedJPEGImage image{FilePathSpec(Path("p.jpg"))};
    ASSERT_EQ(image.Open(), 0);
    Rendered out(16, 100, PixelArray::Gray);
    try {
        image.RenderImage(ImageProcessParam{}, out.array, false, &cancel, 1);
        FAIL() << "not cancelled";
    } catch (const YlmErrp& e) {
        EXPECT_EQ(e.GetCode(), NbErrRenderCancelled);
    }
    EXPECT_FALSE(image.IsRendering());
    EXPECT_TRUE(image.IsClosable());
}

TEST_F(FinishedJPEGImageTest, ThumbnailFromTheMainImageAtTheRightScale) {
    if (!HaveTools()) GTEST_SKIP() << "cjpeg, djpeg or exiftool missing";
    struct Case {
        int width, height, denominator;
        bool resampled;
        int thumbWidth, thumbHeight;
    };
    for (const Case c : {Case{3000, 2000, 8, true, 156, 104}, Case{300, 200, 2, false, 150, 100},
                         Case{200, 150, 2, false, 100, 75}, Case{1100, 600, 4, true, 156, 85},
                         Case{400, 100, 1, true, 156, 39}, Case{120, 90, 1, false, 120, 90}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const std::string jpeg = WriteJpeg("t.jpg", JpegFixture::Pattern(c.width, c.height, 3, 6), 80);
        FinishedJPEGImage image{FilePathSpec(jpeg)};
        ASSERT_EQ(image.Open(), 0);
        EXPECT_EQ(image.GetThumbnailKind(), FinishedJPEGImage::ThumbnailFromMainImage);
        EXPECT_EQ(image.GetThumbnailScaleDenominator(), c.denominator);
        EXPECT_EQ(image.ThumbnailNeedsResampling(), c.resampled);
        const NbRect t = image.GetNativeThumbnailRect();
        EXPECT_EQ(t.Width(), c.thumbWidth);
        EXPECT_EQ(t.Height(), c.thumbHeight);
        Rendered out(int(t.Width()), int(t.Height()), PixelArray::RGB);
        image.RenderThumbnail(ImageProcessParam{}, out.array);
        if (!c.resampled) ExpectSamePixels(out, Djpeg(jpeg, c.denominator));
    }
}

TEST_F(FinishedJPEGImageTest, EmbeddedJpegThumbnailsDecodeLikeDjpeg) {
    if (!HaveTools()) GTEST_SKIP() << "cjpeg, djpeg or exiftool missing";
    const std::string small = WriteJpeg("small.jpg", JpegFixture::Pattern(80, 60, 3, 7));
    const Picture want = Djpeg(small);
    struct Case {
        const char* tag;
        int kind;
    };
    for (const Case c : {Case{"ThumbnailImage", FinishedJPEGImage::ThumbnailJpegIFD1},
                         Case{"PhotoshopThumbnail", FinishedJPEGImage::ThumbnailPhotoshop}}) {
        SCOPED_TRACE(c.tag);
        const std::string jpeg = WriteJpeg("main.jpg", JpegFixture::Pattern(640, 480, 3, 8));
        ASSERT_TRUE(JpegFixture::Run(std::string("exiftool -overwrite_original -Software=Other '-") + c.tag +
                                     "<=" + small + "' " + jpeg));
        FinishedJPEGImage image{FilePathSpec(jpeg)};
        ASSERT_EQ(image.Open(), 0);
        EXPECT_EQ(image.GetThumbnailKind(), c.kind);
        EXPECT_EQ(image.GetNativeThumbnailRect(), NbRect(0, 0, 79, 59));
        Rendered out(80, 60, PixelArray::RGB);
        image.RenderThumbnail(ImageProcessParam{}, out.array);
        ExpectSamePixels(out, want);
    }
    // Photoshop's own 64 x 64 placeholder is no thumbnail.
    const std::string placeholder = WriteJpeg("ph.jpg", JpegFixture::Pattern(64, 64, 3, 9));
    const std::string jpeg = WriteJpeg("main.jpg", JpegFixture::Pattern(640, 480, 3, 8));
    ASSERT_TRUE(JpegFixture::Run("exiftool -overwrite_original '-PhotoshopThumbnail<=" + placeholder + "' " + jpeg));
    FinishedJPEGImage image{FilePathSpec(jpeg)};
    ASSERT_EQ(image.Open(), 0);
    EXPECT_EQ(image.GetThumbnailKind(), FinishedJPEGImage::ThumbnailFromMainImage);
}

TEST_F(FinishedJPEGImageTest, LargeThumbnailSegment) {
    const Picture small = JpegFixture::Pattern(48, 32, 3, 10);
    const std::vector<uint8_t> stream = JpegFixture::Encode(small, 90);
    const std::vector<uint8_t> main = JpegFixture::Encode(JpegFixture::Pattern(320, 240, 3, 11), 80);
    auto withSegment = [&](uint16_t w, uint16_t h, bool cut) {
        std::vector<uint8_t> body{'L', 'M', 'B', 'i', 'g', 'T', 'N', 0,           0, 0, 0, 0,
                                  uint8_t(w >> 8), uint8_t(w), uint8_t(h >> 8), uint8_t(h), 0, 0};
        body.insert(body.end(), stream.begin(), stream.end() - (cut ? 1 : 0));
        return JpegFixture::InsertAfterSoi(main, JpegFixture::Segment(0xE4, body));
    };
    JpegFixture::WriteFile(Path("big.jpg"), withSegment(48, 32, false));
    FinishedJPEGImage image{FilePathSpec(Path("big.jpg"))};
    ASSERT_EQ(image.Open(), 0);
    EXPECT_EQ(image.GetThumbnailKind(), FinishedJPEGImage::ThumbnailLarge);
    Rendered out(48, 32, PixelArray::RGB);
    image.RenderThumbnail(ImageProcessParam{}, out.array);
    // Decoded by the same library as the fixture: within the rounding of
    // the fast transform.
    JpegFixture::WriteFile(Path("small.jpg"), stream);
    FinishedJPEGImage alone{FilePathSpec(Path("small.jpg"))};
    ASSERT_EQ(alone.Open(), 0);
    Rendered direct(48, 32, PixelArray::RGB);
    alone.RenderImage(ImageProcessParam{}, direct.array, false, nullptr, 1);
    Picture p{48, 32, 3, {}};
    p.pixels.assign(direct.Row(0), direct.Row(0) + 48 * 32 * 3);
    ExpectSamePixels(out, p);
    // Too wide, not ending with an end-of-image marker, or larger than the
    // image itself: ignored.
    std::vector<uint8_t> overSmallImage = withSegment(48, 32, false);
    const std::vector<uint8_t> small16 = JpegFixture::Encode(JpegFixture::Pattern(16, 16, 3, 11), 80);
    overSmallImage.resize(overSmallImage.size() - (main.size() - 2));
    overSmallImage.insert(overSmallImage.end(), small16.begin() + 2, small16.end());
    for (auto bytes : {withSegment(501, 32, false), withSegment(48, 32, true), overSmallImage}) {
        JpegFixture::WriteFile(Path("bad.jpg"), bytes);
        FinishedJPEGImage bad{FilePathSpec(Path("bad.jpg"))};
        ASSERT_EQ(bad.Open(), 0);
        EXPECT_EQ(bad.GetThumbnailKind(), FinishedJPEGImage::ThumbnailFromMainImage);
    }
}

// An Exif block by hand: IFD0 with the software tag, an empty Exif
// directory and IFD1 with an uncompressed thumbnail strip at a given offset.
std::vector<uint8_t> ExifWithStripThumbnail(uint32_t stripOffset, const std::vector<uint8_t>& strip) {
    std::vector<uint8_t> t{'M', 'M', 0, 42, 0, 0, 0, 8};
    auto u16 = [&](uint16_t v) { t.push_back(uint8_t(v >> 8)), t.push_back(uint8_t(v)); };
    auto u32 = [&](uint32_t v) { u16(uint16_t(v >> 16)), u16(uint16_t(v)); };
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        u16(tag), u16(type), u32(count);
        if (type == 3 && count == 1) u16(uint16_t(value)), u16(0);
        else u32(value);
    };
    // IFD0 at 8: two entries (software inline "Abc", Exif pointer).
    u16(2);
    entry(305, 2, 4, 0x41626300);
    entry(34665, 4, 1, 38);
    u32(44); // IFD1
    // Exif IFD at 38: no entries.
    u16(0), u32(0);
    // IFD1 at 44: 4 entries.
    u16(5);
    entry(256, 3, 1, 4);
    entry(257, 3, 1, 3);
    entry(259, 3, 1, 1);
    entry(273, 4, 1, stripOffset);
    entry(277, 3, 1, 3);
    u32(0);
    std::vector<uint8_t> body{'E', 'x', 'i', 'f', 0, 0};
    body.insert(body.end(), t.begin(), t.end());
    body.insert(body.end(), strip.begin(), strip.end());
    return body;
}

TEST_F(FinishedJPEGImageTest, UncompressedExifThumbnailAndItsFallback) {
    const std::vector<uint8_t> main = JpegFixture::Encode(JpegFixture::Pattern(200, 150, 3, 12), 80);
    std::vector<uint8_t> strip(4 * 3 * 3);
    for (size_t i = 0; i < strip.size(); ++i) strip[i] = uint8_t(10 + i * 5);
    // The strip right after the directories: 8 + 30 + 6 + 66 = 110 bytes from the header.
    JpegFixture::WriteFile(Path("s.jpg"),
                           JpegFixture::InsertAfterSoi(main, JpegFixture::Segment(0xE1, ExifWithStripThumbnail(110, strip))));
    FinishedJPEGImage image{FilePathSpec(Path("s.jpg"))};
    ASSERT_EQ(image.Open(), 0);
    ASSERT_TRUE(image.HasExif());
    EXPECT_EQ(image.GetFirmwareVersion(), "Abc");
    ASSERT_EQ(image.GetThumbnailKind(), FinishedJPEGImage::ThumbnailUncompressedIFD1);
    Rendered out(4, 3, PixelArray::RGB);
    image.RenderThumbnail(ImageProcessParam{}, out.array);
    Picture want{4, 3, 3, strip};
    ExpectSamePixels(out, want);
    // The file cut inside the strip after opening: an error, and no
    // thumbnail of unread pixels is kept for the next call.
    {
        FinishedJPEGImage cut{FilePathSpec(Path("s.jpg"))};
        ASSERT_EQ(cut.Open(), 0);
        fs::resize_file(Path("s.jpg"), 2 + 4 + 110 + 10);
        Rendered none(4, 3, PixelArray::RGB);
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                cut.RenderThumbnail(ImageProcessParam{}, none.array);
                ADD_FAILURE() << "a thumbnail from a cut strip, attempt " << attempt;
            } catch (int code) {
                EXPECT_EQ(code, NbErrThumbnailReadFailed);
            }
        }
    }
    // A strip that lies past the end of the file: the main image instead.
    JpegFixture::WriteFile(Path("far.jpg"), JpegFixture::InsertAfterSoi(
                                                main, JpegFixture::Segment(0xE1, ExifWithStripThumbnail(0x7FFFFF00, strip))));
    FinishedJPEGImage far{FilePathSpec(Path("far.jpg"))};
    ASSERT_EQ(far.Open(), 0);
    EXPECT_EQ(far.GetThumbnailKind(), FinishedJPEGImage::ThumbnailFromMainImage);
    Rendered reduced(100, 75, PixelArray::RGB);
    far.RenderThumbnail(ImageProcessParam{}, reduced.array);
}

TEST_F(FinishedJPEGImageTest, MarkerWalkCases) {
    const std::vector<uint8_t> main = JpegFixture::Encode(JpegFixture::Pattern(24, 16, 3, 13), 80);
    const std::vector<uint8_t> icc(40, 0x5A);
    auto iccChunk = [&](uint8_t sequence, uint8_t total) {
        std::vector<uint8_t> body{'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, sequence, total};
        body.insert(body.end(), icc.begin(), icc.end());
        return JpegFixture::Segment(0xE2, body);
    };
    auto join = [](std::vector<std::vector<uint8_t>> parts) {
        std::vector<uint8_t> all;
        for (auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    const std::vector<uint8_t> soi(main.begin(), main.begin() + 2), rest(main.begin() + 2, main.end());
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int open;
        size_t profileBytes;
    };
    std::vector<uint8_t> wrongStart = main;
    wrongStart[1] = 0xD9;
    std::vector<uint8_t> longFirst = main;
    longFirst[4] = 0xFF; // the first segment longer than the file
    const std::vector<Case> cases{
        {"plain", main, 0, 0},
        {"three chunks", join({soi, iccChunk(1, 3), iccChunk(2, 3), iccChunk(3, 3), rest}), 0, 120},
        {"chunks 1 and 3", join({soi, iccChunk(1, 3), iccChunk(3, 3), rest}), 0, 0},
        {"fill bytes", join({soi, {0xFF, 0xE0, 0, 4, 0, 0, 0xFF, 0xFF, 0xFF}, iccChunk(1, 1), rest}), 0, 40},
        {"not a JPEG", wrongStart, NbErrImageFileOpenFailed, 0},
        {"empty", {}, NbErrImageFileOpenFailed, 0},
        {"first segment too long", longFirst, NbErrImageFileOpenFailed, 0},
        {"unknown marker", join({soi, {0xFF, 0xE0, 0, 4, 0, 0, 0xFF, 0x01, 0, 4, 0, 0}, rest}),
         NbErrImageFileOpenFailed, 0},
        // An APP segment running past the end of the file and no APP1.
        {"cut segment", join({soi, {0xFF, 0xE0, 0, 4, 0, 0, 0xFF, 0xE2, 0x7F, 0xFF, 'I', 'C', 'C'}}),
         NbErrImageFileOpenFailed, 0},
        {"no image", join({soi, {0xFF, 0xE0, 0, 4, 0, 0, 0xFF, 0xE1, 0, 8, 'M', 'M', 0, 42, 0, 0, 0, 8}}),
         NbErrJPEGHeaderFailed, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        JpegFixture::WriteFile(Path("m.jpg"), c.bytes);
        FinishedJPEGImage image{FilePathSpec(Path("m.jpg"))};
        ASSERT_EQ(image.Open(), c.open);
        EXPECT_EQ(image.GetEmbeddedProfile().size(), c.profileBytes);
        EXPECT_EQ(image.IsOpen(), c.open == 0);
    }
}

TEST_F(FinishedJPEGImageTest, ExifFollowedByXmpKeepsTheExifDirectories) {
    if (!HaveTools()) GTEST_SKIP() << "cjpeg, djpeg or exiftool missing";
    const std::string jpeg = WriteJpeg("x.jpg", JpegFixture::Pattern(32, 32, 3, 14));
    ASSERT_TRUE(JpegFixture::Run("exiftool -overwrite_original -Make=Orvex -XMP:Title=Sea " + jpeg));
    ASSERT_TRUE(JpegFixture::Run("exiftool -q -validate -XMP:Title " + jpeg));
    FinishedJPEGImage image{FilePathSpec(jpeg)};
    ASSERT_EQ(image.Open(), 0);
    EXPECT_TRUE(image.HasExif());
    EXPECT_EQ(image.GetCameraMake(), "Orvex");
}

TEST_F(FinishedJPEGImageTest, FourComponentFilesAreRefused) {
    JpegFixture::WriteFile(Path("cmyk.jpg"), JpegFixture::Encode(JpegFixture::Pattern(16, 16, 4, 15), 90));
    EXPECT_EQ(OpenCode(Path("cmyk.jpg")), NbErrJPEGHeaderFailed);
    // Below 8 pixels.
    JpegFixture::WriteFile(Path("tiny.jpg"), JpegFixture::Encode(JpegFixture::Pattern(7, 16, 3, 15), 90));
    EXPECT_EQ(OpenCode(Path("tiny.jpg")), NbErrJPEGHeaderFailed);
}

TEST_F(FinishedJPEGImageTest, TruncatedDataRendersWithoutReadingPastTheFile) {
    std::vector<uint8_t> bytes = JpegFixture::Encode(JpegFixture::Pattern(64, 64, 3, 16), 90);
    bytes.resize(bytes.size() / 2);
    JpegFixture::WriteFile(Path("half.jpg"), bytes);
    FinishedJPEGImage image{FilePathSpec(Path("half.jpg"))};
    ASSERT_EQ(image.Open(), 0);
    Rendered out(64, 64, PixelArray::RGB);
    image.RenderImage(ImageProcessParam{}, out.array, false, nullptr, 1);
    Rendered thumb(64, 64, PixelArray::RGB);
    image.RenderThumbnail(ImageProcessParam{}, thumb.array);
}

TEST_F(FinishedJPEGImageTest, ProgressiveHeaderFarLargerThanItsFileIsRefusedBeforeDecoding) {
    // A small progressive file that names a picture of 16000 x 16000: the
    // decoder would reserve every coefficient block (half a gigabyte) first
    // and decode a picture that is not there.
    std::vector<uint8_t> bytes = JpegFixture::Encode(JpegFixture::Pattern(64, 64, 1, 17), 90, true);
    JpegFixture::WriteFile(Path("small.jpg"), bytes);
    size_t sof = 2;
    while (sof + 9 < bytes.size() && !(bytes[sof] == 0xFF && bytes[sof + 1] == 0xC2))
        sof += 2 + (size_t(bytes[sof + 2]) << 8 | bytes[sof + 3]);
    ASSERT_LT(sof + 9, bytes.size());
    bytes[sof + 5] = 16000 >> 8, bytes[sof + 6] = 16000 & 0xFF;
    bytes[sof + 7] = 16000 >> 8, bytes[sof + 8] = 16000 & 0xFF;
    JpegFixture::WriteFile(Path("huge.jpg"), bytes);

    FinishedJPEGImage image{FilePathSpec(Path("huge.jpg"))};
    ASSERT_EQ(image.Open(), 0);
    EXPECT_EQ(image.GetNativeImageRect().Width(), 16000);
    ImageProcessParam params;
    params.crop = NbRect(0, 0, 15, 15);
    Rendered corner(16, 16, PixelArray::Gray);
    try {
        image.RenderImage(params, corner.array, true, nullptr, 1);
        ADD_FAILURE() << "rendered";
    } catch (const YlmErrp& e) {
        EXPECT_EQ(e.GetCode(), NbErrJPEGStartFailed);
    }
    const NbRect t = image.GetNativeThumbnailRect();
    Rendered thumb(int(t.Width()), int(t.Height()), PixelArray::Gray);
    try {
        image.RenderThumbnail(ImageProcessParam{}, thumb.array);
        ADD_FAILURE() << "thumbnail rendered";
    } catch (int code) {
        EXPECT_EQ(code, NbErrJPEGStartFailed);
    }

    // The same file at its own size, and cut in half, still decode.
    FinishedJPEGImage small{FilePathSpec(Path("small.jpg"))};
    ASSERT_EQ(small.Open(), 0);
    Rendered whole(64, 64, PixelArray::Gray);
    small.RenderImage(ImageProcessParam{}, whole.array, false, nullptr, 1);
    bytes = JpegFixture::Encode(JpegFixture::Pattern(64, 64, 1, 17), 90, true);
    bytes.resize(bytes.size() / 2);
    JpegFixture::WriteFile(Path("half.jpg"), bytes);
    FinishedJPEGImage half{FilePathSpec(Path("half.jpg"))};
    ASSERT_EQ(half.Open(), 0);
    Rendered cut(64, 64, PixelArray::Gray);
    half.RenderImage(ImageProcessParam{}, cut.array, false, nullptr, 1);
}

TEST_F(FinishedJPEGImageTest, PrivateDirectoryGivesSettingsTextAndDate) {
    // IFD0: software, Exif pointer, private pointer; an empty Exif IFD; the
    // private IFD with its settings text.
    auto exif = [](const std::string& text) {
        std::vector<uint8_t> t{'M', 'M', 0, 42, 0, 0, 0, 8};
        auto u16 = [&](uint16_t v) { t.push_back(uint8_t(v >> 8)), t.push_back(uint8_t(v)); };
        auto u32 = [&](uint32_t v) { u16(uint16_t(v >> 16)), u16(uint16_t(v)); };
        u16(3);
        u16(305), u16(2), u32(4), u32(0x41626300);
        u16(33424), u16(4), u32(1), u32(56);
        u16(34665), u16(4), u32(1), u32(50);
        u32(0);
        u16(0), u32(0); // Exif IFD at 50
        u16(1);         // private IFD at 56
        u16(1009), u16(2), u32(uint32_t(text.size() + 1)), u32(74);
        u32(0);
        t.insert(t.end(), text.begin(), text.end()); // at 74
        t.push_back(0);
        std::vector<uint8_t> body{'E', 'x', 'i', 'f', 0, 0};
        body.insert(body.end(), t.begin(), t.end());
        return JpegFixture::Segment(0xE1, body);
    };
    const std::vector<uint8_t> main = JpegFixture::Encode(JpegFixture::Pattern(16, 16, 3, 17), 80);
    struct Case {
        std::string text, date;
    };
    // Without a date that parses the file's own time stays.
    for (const Case& c : {Case{"Camera: Z\nDate: 05/06/2024\nTime: 07:08:09\n", "2024:05:06:07:08:09"},
                          Case{"Camera: Z\nDate: 05/06\n", ""}, Case{"Date: 05/06/1980\nTime: 07:08:09\n", ""}}) {
        SCOPED_TRACE(c.text);
        JpegFixture::WriteFile(Path("p.jpg"), JpegFixture::InsertAfterSoi(main, exif(c.text)));
        FinishedJPEGImage image{FilePathSpec(Path("p.jpg"))};
        ASSERT_EQ(image.Open(), 0);
        EXPECT_EQ(image.GetCameraSettingsBlock(), c.text);
        if (!c.date.empty()) EXPECT_EQ(image.GetDateTimeString(), c.date);
        else EXPECT_NE(image.GetDateTimeString().substr(0, 10), "1980:05:06");
    }
}
