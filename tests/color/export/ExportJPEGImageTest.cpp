// The JPEG exporter from the in-memory image kind: the file's segments in
// their order, the compressed stream against cjpeg with the same tables on
// the same pixels, grey and monochrome layouts, resized exports with their
// white margins, every strip written, and the reader of finished JPEG files
// opening what was written.
#include "FinishedJPEGImage.h"
#include "JpegExportSupport.h"

#include <fstream>

using namespace NimbalCore;
using namespace jpegtest;
using exporttest::HaveTool;
using exporttest::ReadBytes;
using exporttest::ResizeOptions;
using exporttest::RunCommand;

namespace {

constexpr uint16_t kYCbCrPositioning = 531;

class ExportJPEGImageTest : public JpegExportTest {
protected:
    // The pixels the exporter renders, as a binary PPM (or PGM).
    std::string WritePixels(coretest::FakeImage* fake, const JpegSetup& s, int channels, const std::string& name) {
        ImageRendering rendering(hold_, Params(fake, s));
        ExportImageArray array;
        array.SetPixelType(channels == 1 ? PixelArray::Gray : PixelArray::RGB);
        array.SetChannels(channels);
        array.SetBytesPerSample(1);
        array.RenderFromRendering(&rendering, nullptr, 1);
        const NbRect b = array.GetBounds();
        const std::string path = folder_ / name;
        std::ofstream out(path, std::ios::binary);
        out << (channels == 1 ? "P5\n" : "P6\n") << b.Width() << " " << b.Height() << "\n255\n";
        for (int32_t y = 0; y < b.Height(); ++y)
            out.write(reinterpret_cast<const char*>(array.GetPixelAddress(0, y)), std::streamsize(b.Width() * channels));
        return path;
    }
};

// Writes the strips as one of 50 rows per strip, the last one a single row.
class ShortLastStrip : public ExportJPEGImage {
public:
    using ExportJPEGImage::ExportJPEGImage;
    void ComputeStrips(int32_t* count, int32_t* rows) override {
        *count = 3;
        *rows = 50;
    }
};

} // namespace

TEST_F(ExportJPEGImageTest, TheFileIsItsSegmentsThenTheStreamThatCjpegWrites) {
    if (!HaveTool("cjpeg") || !HaveTool("djpeg")) GTEST_SKIP() << "cjpeg or djpeg missing";
    PresetImage* fake = MakeImage(301, 203);
    fake->cameraSettingsBlock_ = "Exposure: 1/60\nWidth: 301\nHeight: 203\n";
    const std::string pixels = WritePixels(fake, JpegSetup(), 3, "pixels.ppm");
    for (int code : {0, 1, 2}) {
        SCOPED_TRACE(code);
        JpegSetup s;
        s.quality = code;
        const std::string out = folder_ / "out.jpg";
        ASSERT_EQ(Export(fake, out, s).code, 0);
        const std::vector<uint8_t> file = ReadBytes(out);

        // SOI, Exif, Photoshop, camera settings, preview, then the stream's
        // own tables: no JFIF and no Adobe marker anywhere.
        const std::vector<Segment> segments = WalkMarkers(file);
        std::vector<std::string> order;
        for (const Segment& seg : segments) {
            if (seg.marker == 0xDB) break;
            char head[8];
            std::snprintf(head, sizeof head, "%02X", seg.marker);
            order.push_back(head + (seg.marker >= 0xE0 ? " " + seg.Name(file) : std::string()));
        }
        EXPECT_EQ(order, (std::vector<std::string>{"D8", "E1 Exif", "ED Photoshop 3.0", "E5 ZELT1", "E4 LMBigTN"}));
        EXPECT_EQ(Find(segments, 0xE0), nullptr);
        EXPECT_EQ(Find(segments, 0xEE), nullptr);
        EXPECT_EQ(std::count_if(segments.begin(), segments.end(), [](const Segment& s) { return s.marker == 0xD8; }), 1);

        int status = -1;
        const std::string decoded = RunCommand("djpeg -outfile /dev/null '" + out + "' 2>&1", &status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(decoded, "");

        // The same pixels through cjpeg with the preset's tables.
        int luma[64], chroma[64], quality = 0;
        GetJpegQuantTable(0, false, 0, code, luma, &quality);
        GetJpegQuantTable(0, true, 0, code, chroma, &quality);
        const std::string tables = folder_ / "tables.txt";
        {
            std::ofstream t(tables);
            for (const int* table : {luma, chroma})
                for (int i = 0; i < 64; ++i) t << table[i] << (i % 8 == 7 ? "\n" : " ");
        }
        const std::string peer = folder_ / "peer.jpg";
        RunCommand("cjpeg -baseline -quality " + std::to_string(quality) + " -qtables '" + tables +
                "' -qslots 0,1 -outfile '" + peer + "' '" + pixels + "'");
        const std::vector<uint8_t> ours = FromFirstDQT(file), theirs = FromFirstDQT(ReadBytes(peer));
        ASSERT_FALSE(theirs.empty());
        EXPECT_TRUE(ours == theirs) << ours.size() << " vs " << theirs.size();
        const Decoded d = Decode(file);
        ASSERT_TRUE(d.ok);
        if (code == 0) {
            EXPECT_EQ(std::count(d.luma.begin(), d.luma.end(), 1), 63);
            EXPECT_EQ(*std::max_element(d.luma.begin(), d.luma.end()), 2);
        }
    }
    EXPECT_GT(fake->tableCalls, 0);
}

TEST_F(ExportJPEGImageTest, TheExifBlockHoldsItsFiveDirectoriesAndTheSmallThumbnail) {
    PresetImage* fake = MakeImage(640, 480);
    fake->cameraMake_.clear();
    fake->cameraModel_.clear();
    fake->serialNumber_ = "SN-0042";
    fake->imageNumber_ = 1234;
    const std::string out = folder_ / "out.jpg";
    JpegSetup s;
    s.size.resolution = 240;
    s.size.units = 1;
    ASSERT_EQ(Export(fake, out, s).code, 0);
    const std::vector<uint8_t> file = ReadBytes(out);
    uint64_t start = 0;
    const BigEndianTiff t = ExifBlock(file, &start);
    ASSERT_TRUE(t.Valid());
    const TiffDirectory ifd0 = t.Directory(8);
    EXPECT_EQ(ifd0.order, (std::vector<uint16_t>{271, 272, 274, 282, 283, 296, 305, 306, 531, 33405, 34665, 37393}));
    const exporttest::TiffField make = ifd0.fields.at(271);
    ASSERT_EQ(make.count, 8u);
    EXPECT_EQ(std::string(t.Bytes().begin() + make.word, t.Bytes().begin() + make.word + 8), std::string("Unknown", 8));
    EXPECT_EQ(t.Value(ifd0.fields.at(296)), 3u); // centimetres
    EXPECT_EQ(t.Value(ifd0.fields.at(37393)), 1234u);
    EXPECT_EQ(ifd0.fields.at(282).type, 5);
    EXPECT_EQ(t.U32(ifd0.fields.at(282).word), 24000u); // 240 in hundredths
    EXPECT_EQ(t.U32(ifd0.fields.at(282).word + 4), 100u);
    const TiffDirectory ifd1 = t.Directory(ifd0.next);
    EXPECT_EQ(ifd1.next, 0u);
    EXPECT_EQ(ifd1.order, (std::vector<uint16_t>{259, 274, 282, 283, 296, 513, 514, 531}));
    EXPECT_EQ(t.Value(ifd1.fields.at(259)), 6u);
    // The thumbnail follows the block: T is the block's size.
    const uint32_t T = t.Value(ifd1.fields.at(513)), S = t.Value(ifd1.fields.at(514));
    EXPECT_EQ(T, t.Bytes().size() - S);
    EXPECT_EQ(Big16(file, start - 8), T + S + 8);
    const Decoded small = Decode(ExifThumbnail(file));
    ASSERT_TRUE(small.ok);
    EXPECT_EQ(small.width, 160);
    EXPECT_EQ(small.height, 120);
    EXPECT_EQ(small.components, 3);

    const TiffDirectory exif = t.Directory(ifd0.fields.at(34665).word);
    EXPECT_EQ(exif.offset, ifd1.offset + 2 + 12 * ifd1.order.size() + 4);
    ASSERT_TRUE(exif.fields.count(40965));
    const TiffDirectory interop = t.Directory(exif.fields.at(40965).word);
    EXPECT_EQ(interop.offset, exif.offset + 2 + 12 * exif.order.size() + 4);
    EXPECT_EQ(interop.order, (std::vector<uint16_t>{1, 2}));
    EXPECT_EQ(interop.fields.at(1).word, uint32_t('R') << 24 | uint32_t('9') << 16 | uint32_t('8') << 8);
    EXPECT_EQ(interop.fields.at(2).type, 7);
    EXPECT_EQ(interop.fields.at(2).word, uint32_t('0') << 24 | uint32_t('1') << 16 | uint32_t('0') << 8 | '0');
    EXPECT_EQ(ifd0.fields.count(34853), 0u); // no GPS in the source
}

TEST_F(ExportJPEGImageTest, GreyAndMonochromeLayouts) {
    const struct {
        const char* name;
        int colorMode;
        std::vector<int> modes;
        int components;
        bool positioning;
        int previewComponents;
    } cases[] = {
        {"colour", 1, {0, 1, 2}, 3, true, 3},
        {"grayscale parameter set", 2, {0, 1, 2}, 3, true, 1},
        {"monochrome camera", 1, {1, 2}, 1, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PresetImage* fake = MakeImage(200, 150);
        JpegSetup s;
        s.colorMode = c.colorMode;
        s.colorModes = c.modes;
        const std::string out = folder_ / "out.jpg";
        array_.SetPixelType(PixelArray::RGB);
        array_.SetBytesPerSample(2);
        ASSERT_EQ(Export(fake, out, s).code, 0);
        // The caller's array comes back as it was handed over.
        EXPECT_EQ(array_.GetChannels(), 3);
        EXPECT_EQ(array_.GetBytesPerSample(), 2);
        array_.SetBytesPerSample(1);
        const std::vector<uint8_t> file = ReadBytes(out);
        const Decoded d = Decode(file);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.components, c.components);
        EXPECT_EQ(d.width, 200);
        if (c.colorMode == 2) {
            int unequal = 0;
            for (int y = 0; y < d.height; y += 7)
                for (int x = 0; x < d.width; x += 3) unequal += d.At(x, y, 0) != d.At(x, y, 1) || d.At(x, y, 0) != d.At(x, y, 2);
            EXPECT_EQ(unequal, 0);
        }
        const TiffDirectory ifd0 = ExifBlock(file).Directory(8);
        EXPECT_EQ(ifd0.fields.count(kYCbCrPositioning), c.positioning ? 1u : 0u);
        // The small thumbnail is always RGB; the preview has the picture's samples.
        EXPECT_EQ(Decode(ExifThumbnail(file)).components, 3);
        EXPECT_EQ(Decode(PreviewStream(file)).components, c.previewComponents);
    }
}

TEST_F(ExportJPEGImageTest, ResizedExportsHaveTheirSizeAndWhiteMargins) {
    const struct {
        const char* name;
        NbRect crop;
        ExportSizeOptions size;
        int W, H, top, bottom, left, right; // white rows and columns
    } cases[] = {
        {"fit", NbRect(), ResizeOptions(ResizeToFit, 0, 1000, 1000), 1000, 666, 0, 0, 0, 0},
        {"pad above and below", NbRect(), ResizeOptions(ResizeToFitAndPad, 0, 1000, 1000), 1000, 1000, 167, 167, 0, 0},
        {"pad at the sides", NbRect(0, 0, 999, 999), ResizeOptions(ResizeToFitAndPad, 0, 1000, 600), 1000, 600, 0, 0, 200, 200},
        {"percent", NbRect(100, 100, 1099, 799), ResizeOptions(ResizeByPercent, 50, 0, 0), 500, 350, 0, 0, 0, 0},
    };
    PresetImage* fake = MakeImage(3000, 2000);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        JpegSetup s;
        s.crop = c.crop;
        s.size = c.size;
        const std::string out = folder_ / "resized.jpg";
        ASSERT_EQ(Export(fake, out, s).code, 0);
        const std::vector<uint8_t> file = ReadBytes(out);
        const Decoded d = Decode(file);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.width, c.W);
        EXPECT_EQ(d.height, c.H);
        // Lossy but white: the margins stay above 250 away from the picture's edge.
        auto white = [&](int x, int y) { return d.At(x, y, 0) > 250 && d.At(x, y, 1) > 250 && d.At(x, y, 2) > 250; };
        std::vector<std::pair<int, int>> margins;
        if (c.top > 3) margins.insert(margins.end(), {{c.W / 3, 0}, {c.W / 3, c.top / 2}, {c.W / 3, c.top - 3}});
        if (c.bottom > 3) margins.insert(margins.end(), {{c.W / 2, c.H - 1}, {c.W / 2, c.H - c.bottom + 3}});
        if (c.left > 3) margins.insert(margins.end(), {{0, c.H / 2}, {c.left - 3, c.H / 2}});
        if (c.right > 3) margins.insert(margins.end(), {{c.W - 1, c.H / 3}, {c.W - c.right + 3, c.H / 3}});
        for (auto [x, y] : margins) EXPECT_TRUE(white(x, y)) << x << "," << y;
        EXPECT_FALSE(white(c.left + 5, c.top + 5));
        // Both thumbnails are of the written picture.
        int pw = 0, ph = 0;
        const Decoded preview = Decode(PreviewStream(file, &pw, &ph));
        ASSERT_TRUE(preview.ok);
        EXPECT_EQ(preview.width, pw);
        EXPECT_EQ(preview.height, ph);
        EXPECT_EQ(std::max(pw, ph), 156);
        EXPECT_NEAR(double(pw) / ph, double(c.W) / c.H, 0.02);
        if (c.top > 3) {
            EXPECT_GT(preview.At(pw / 2, 0, 1), 240);
            EXPECT_GT(preview.At(pw / 2, ph - 1, 1), 240);
        }
        if (c.left > 3) {
            EXPECT_GT(preview.At(0, ph / 2, 1), 240);
        }
    }
}

TEST_F(ExportJPEGImageTest, AStripOfOneRowIsWrittenToo) {
    PresetImage* fake = MakeImage(120, 101);
    for (size_t i = 0; i < fake->pixels.size(); ++i) fake->pixels[i] = 0x2000;
    // The last row alone is bright.
    for (size_t i = size_t(100) * 120 * 3; i < fake->pixels.size(); ++i) fake->pixels[i] = 0xF000;
    JpegSetup s;
    ImageRendering rendering(hold_, Params(fake, s));
    const std::string out = folder_ / "out.jpg";
    ShortLastStrip e(rendering, FilePathSpec(out), &array_);
    ASSERT_EQ(Run(e, s).code, 0);
    EXPECT_EQ(fake->renders, 3);
    const Decoded d = Decode(ReadBytes(out));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.height, 101);
    EXPECT_EQ(d.warnings, 0);
    EXPECT_NEAR(d.At(60, 100, 0), 0xF0, 6);
    EXPECT_NEAR(d.At(60, 90, 0), 0x20, 6);
}

TEST_F(ExportJPEGImageTest, ACropOfOnePixelExportsTheWholeImageAndTheLabelDrawsNothing) {
    PresetImage* fake = MakeImage(90, 60);
    fake->gpsText_ = "N 59 54.6 E 10 45.1";
    JpegSetup s;
    s.crop = NbRect(10, 10, 10, 40);
    ASSERT_EQ(Export(fake, folder_ / "one.jpg", s).code, 0);
    const Decoded d = Decode(ReadBytes(folder_ / "one.jpg"));
    EXPECT_EQ(d.width, 90);
    EXPECT_EQ(d.height, 60);
    s.crop = NbRect();
    ASSERT_EQ(Export(fake, folder_ / "plain.jpg", s).code, 0);
    s.label = true;
    ASSERT_EQ(Export(fake, folder_ / "label.jpg", s).code, 0);
    EXPECT_EQ(ReadBytes(folder_ / "label.jpg"), ReadBytes(folder_ / "plain.jpg"));
}

TEST_F(ExportJPEGImageTest, TheFinishedJPEGKindOpensTheExport) {
    PresetImage* fake = MakeImage(800, 600);
    fake->cameraModel_ = "Corvid 2";
    fake->cameraSettingsBlock_ = "Exposure: 1/60\nAperture: f/8\nWidth: 800\nHeight: 600\n";
    const std::string keyword = "harbour";
    int keywords = 0;
    ASSERT_TRUE(IPTCNAARecord2::FindDatasetIndex(25, &keywords));
    fake->GetIPTCRecord()->Reset();
    ASSERT_TRUE(fake->GetIPTCRecord()->AddDataset(keywords, reinterpret_cast<const uint8_t*>(keyword.data()),
                                                  uint32_t(keyword.size())));
    const std::string out = folder_ / "out.jpg";
    ASSERT_EQ(Export(fake, out, JpegSetup()).code, 0);

    auto* finished = new FinishedJPEGImage(FilePathSpec(out));
    ImageRef image(finished);
    ASSERT_EQ(finished->Open(), 0);
    EXPECT_EQ(finished->GetDateTimeString(), "2024:03:05 14:07:09");
    EXPECT_TRUE(finished->GetIPTCRecord()->IsEqual(*fake->GetIPTCRecord()));
    EXPECT_NE(finished->GetCameraSettingsBlock().find("Aperture: f/8"), std::string::npos)
        << finished->GetCameraSettingsBlock();
    // The thumbnail is the preview: a "Corvid" model gets 375 pixels.
    EXPECT_EQ(finished->GetThumbnailKind(), FinishedJPEGImage::ThumbnailLarge);
    int pw = 0, ph = 0;
    PreviewStream(ReadBytes(out), &pw, &ph);
    EXPECT_EQ(pw, 375);
    EXPECT_EQ(finished->GetNativeThumbnailRect(), NbRect(0, 0, pw - 1, ph - 1));
    const NbRect r = finished->GetNativeImageRect();
    EXPECT_EQ(r, NbRect(0, 0, 799, 599));
}
