// The TIFF exporter from the in-memory image kind: the file's layout read
// back byte by byte and by tiffinfo, tiffdump and exiftool, resized exports
// with their margins, the GPS label, and failures that must leave nothing
// behind and the photographer's existing file as it was.
#include "ColorEngine.h"
#include "ExportImageArray.h"
#include "ExportSizeOptions.h"
#include "ExportTIFFImage.h"
#include "ExportTestSupport.h"
#include "FakeImage.h"
#include "File.h"
#include "FinishedJPEGImage.h"
#include "FinishedTIFFImage.h"
#include "ImagePool.h"
#include "NbErrorCodes.h"
#include "NearestScaler.h"
#include "ProgressCB.h"
#include "ScalePlugIn.h"
#include "ScaledExportTest.h"
#include "StaticProfileTable.h"
#include "YlmErrp.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace NimbalCore;
using namespace exporttest;
using coretest::FakeImage;

namespace {

constexpr uint16_t kStripOffsets = 273, kStripByteCounts = 279, kWidth = 256, kLength = 257, kBits = 258,
                   kPhotometric = 262, kSamples = 277, kPlanar = 284, kPrivate = 33424, kExif = 34665, kGPS = 34853,
                   kComponents = 37121, kColorSpace = 40961, kDateTimeOriginal = 36867;

struct ExportSetup {
    int bytes = 1;
    int colorMode = 1;
    std::vector<int> colorModes{0, 1, 2};
    NbRect crop;
    ExportSizeOptions size;
    bool label = false;
    ProgressCB* progress = nullptr;
};

// An exporter whose stream fails once a number of bytes were written.
class ShortStream : public File {
public:
    ShortStream(const FilePathSpec& path, uint64_t limit) : File(path), limit_(limit) {}
    size_t Write(const void* buffer, size_t size, size_t count) override {
        if (written_ + uint64_t(size) * count > limit_) {
            const size_t part = size_t(limit_ - written_);
            File::Write(buffer, 1, part);
            written_ = limit_;
            return part / (size ? size : 1);
        }
        written_ += uint64_t(size) * count;
        return File::Write(buffer, size, count);
    }

private:
    uint64_t limit_, written_ = 0;
};

class ShortExport : public ExportTIFFImage {
public:
    ShortExport(ImageRendering& r, const FilePathSpec& t, ExportImageArray* a, uint64_t limit)
        : ExportTIFFImage(r, t, a), limit_(limit) {}

protected:
    std::unique_ptr<File> MakeOutputStream(const FilePathSpec& path) override {
        return std::unique_ptr<File>(new ShortStream(path, limit_));
    }

private:
    uint64_t limit_;
};

// Refuses to go on once the image's n-th render has started.
class CancelAtRender : public ProgressCB {
public:
    CancelAtRender(FakeImage* image, int render) : image_(image), render_(image->renders + render) {}
    bool Progress(int) override { return image_->renders < render_; }

private:
    FakeImage* image_;
    int render_;
};

class ExportTIFFImageTest : public ScaledExportTest {
protected:
    FakeImage* MakeImage(int32_t w, int32_t h) {
        auto* fake = new FakeImage(folder_ / "source.tif", w, h);
        hold_ = ImageRef(fake);
        fake->FillPattern();
        fake->cameraModel_ = "X200";
        fake->cameraMake_ = "Orvex";
        fake->dateTimeString_ = "2024:03:05:14:07:09";
        return fake;
    }

    Outcome Export(FakeImage* fake, const std::string& target, const ExportSetup& s, ExportTIFFImage* custom = nullptr) {
        fake->colorModes = s.colorModes;
        ImageProcessParam p;
        p.colorMode = s.colorMode;
        p.crop = s.crop.IsNull() ? fake->GetImageRect() : s.crop;
        ImageRendering rendering(hold_, p);
        array_.SetBytesPerSample(s.bytes);
        std::unique_ptr<ExportTIFFImage> own;
        ExportTIFFImage* e = custom;
        if (!e) {
            own.reset(new ExportTIFFImage(rendering, FilePathSpec(target), &array_));
            e = own.get();
        }
        e->SetSizeOptions(s.size);
        e->SetRenderGPSText(s.label);
        e->SetProgressCB(s.progress);
        return Save(*e);
    }
};

std::string Tiffinfo(const std::string& path, int* status) { return RunCommand("tiffinfo '" + path + "' 2>&1", status); }

// The file's structure: T, main image and thumbnail where the layout puts
// them, directories in their order.
void CheckLayout(const BigEndianTiff& t, uint32_t W, uint32_t H, int S, int B, bool gps) {
    ASSERT_TRUE(t.Valid());
    EXPECT_EQ(t.U32(4), 8u);
    const TiffDirectory main = t.Directory(8);
    const TiffDirectory thumb = t.Directory(main.next);
    ASSERT_TRUE(main.fields.count(kPrivate) && main.fields.count(kExif));
    const TiffDirectory priv = t.Directory(main.fields.at(kPrivate).word);
    const TiffDirectory exif = t.Directory(main.fields.at(kExif).word);
    // Directories one after the other in the order main, thumbnail, private, Exif (, GPS).
    EXPECT_EQ(thumb.offset, 8 + 2 + 12 * main.order.size() + 4);
    EXPECT_EQ(priv.offset, thumb.offset + 2 + 12 * thumb.order.size() + 4);
    EXPECT_EQ(exif.offset, priv.offset + 2 + 12 * priv.order.size() + 4);
    EXPECT_EQ(thumb.next, 0u);
    EXPECT_EQ(priv.next, 0u);
    EXPECT_EQ(exif.next, 0u);
    EXPECT_EQ(main.fields.count(kGPS), gps ? 1u : 0u);
    EXPECT_EQ(main.fields.count(kDateTimeOriginal), 0u);
    for (const TiffDirectory* d : {&main, &thumb, &priv, &exif})
        EXPECT_TRUE(std::is_sorted(d->order.begin(), d->order.end())) << d->offset;

    EXPECT_EQ(t.Value(main.fields.at(kWidth)), W);
    EXPECT_EQ(t.Value(main.fields.at(kLength)), H);
    EXPECT_EQ(t.Value(main.fields.at(kSamples)), uint32_t(S));
    EXPECT_EQ(main.fields.at(kBits).count, S == 3 ? 3u : 1u);
    EXPECT_EQ(t.Value(main.fields.at(kBits)), B == 2 ? 16u : 8u);
    EXPECT_EQ(t.Value(main.fields.at(kPhotometric)), S == 3 ? 2u : 1u);
    EXPECT_EQ(main.fields.count(kPlanar), S == 3 ? 1u : 0u);
    EXPECT_EQ(exif.fields.count(kComponents), S == 3 ? 1u : 0u);
    EXPECT_EQ(t.Value(exif.fields.at(kColorSpace)), S == 3 ? 1u : 65535u);

    const uint32_t T = t.Value(main.fields.at(kStripOffsets));
    const uint64_t mainBytes = uint64_t(W) * H * S * B;
    EXPECT_EQ(T % 16, 0u);
    EXPECT_EQ(t.Value(main.fields.at(kStripByteCounts)), mainBytes);
    EXPECT_EQ(t.Value(thumb.fields.at(kStripOffsets)), T + mainBytes);
    const uint32_t tw = t.Value(thumb.fields.at(kWidth)), th = t.Value(thumb.fields.at(kLength));
    EXPECT_LE(tw, 156u);
    EXPECT_LE(th, 156u);
    EXPECT_EQ(t.Value(thumb.fields.at(kBits)), 8u);
    EXPECT_EQ(t.Value(thumb.fields.at(kStripByteCounts)), uint64_t(tw) * th * (S == 3 ? 3 : 1));
    EXPECT_EQ(t.Bytes().size(), T + mainBytes + t.Value(thumb.fields.at(kStripByteCounts)));
}

// Sample k of pixel (x, y) of the written main image, as a host value.
uint32_t Sample(const BigEndianTiff& t, uint32_t x, uint32_t y, int k) {
    const TiffDirectory main = t.Directory(8);
    const uint32_t T = t.Value(main.fields.at(kStripOffsets));
    const uint32_t W = t.Value(main.fields.at(kWidth));
    const int S = int(t.Value(main.fields.at(kSamples)));
    const int B = t.Value(main.fields.at(kBits)) == 16 ? 2 : 1;
    const uint64_t at = T + (uint64_t(y) * W + x) * S * B + uint64_t(k) * B;
    return B == 2 ? t.U16(at) : t.Bytes()[at];
}

std::vector<uint8_t> ThumbnailBytes(const BigEndianTiff& t) {
    const TiffDirectory main = t.Directory(8);
    const TiffDirectory thumb = t.Directory(main.next);
    const uint32_t at = t.Value(thumb.fields.at(kStripOffsets));
    const uint32_t n = t.Value(thumb.fields.at(kStripByteCounts));
    return std::vector<uint8_t>(t.Bytes().begin() + at, t.Bytes().begin() + at + n);
}

} // namespace

TEST_F(ExportTIFFImageTest, A16BitExportInTwoStripsLaysOutTheFile) {
    FakeImage* fake = MakeImage(3000, 2000);
    ExportSetup s;
    s.bytes = 2;
    const std::string out = folder_ / "out.tif";
    ASSERT_EQ(Export(fake, out, s).code, 0);
    EXPECT_EQ(fake->renders, 2); // two strips of 1000 rows
    const BigEndianTiff t(ReadBytes(out));
    CheckLayout(t, 3000, 2000, 3, 2, false);
    EXPECT_EQ(t.Value(t.Directory(8).fields.at(kStripByteCounts)), 36000000u);
    for (auto [x, y] : {std::pair{0u, 0u}, {2999u, 999u}, {17u, 1000u}, {2999u, 1999u}})
        for (int k = 0; k < 3; ++k) EXPECT_EQ(Sample(t, x, y, k), fake->Pixel(x, y)[k]) << x << "," << y;
    // The 8-bit thumbnail takes the high byte of each sample: it is the
    // thumbnail of the 8-bit export, resized or not.
    s.bytes = 1;
    ASSERT_EQ(Export(fake, folder_ / "out8.tif", s).code, 0);
    EXPECT_EQ(ThumbnailBytes(t), ThumbnailBytes(BigEndianTiff(ReadBytes(folder_ / "out8.tif"))));
    s.size = ResizeOptions(ResizeToFitAndPad, 0, 900, 900);
    ASSERT_EQ(Export(fake, folder_ / "small8.tif", s).code, 0);
    s.bytes = 2;
    ASSERT_EQ(Export(fake, folder_ / "small16.tif", s).code, 0);
    EXPECT_EQ(ThumbnailBytes(BigEndianTiff(ReadBytes(folder_ / "small16.tif"))),
              ThumbnailBytes(BigEndianTiff(ReadBytes(folder_ / "small8.tif"))));
}

// Files written by tools nobody here wrote, opened as the program opens them
// and exported: the layout, the outside readers, and the pixel bytes at T
// equal to the image's own render of the same rendering.
TEST_F(ExportTIFFImageTest, FinishedFilesOfOutsideWritersExportAsTheyRender) {
    for (const char* tool : {"raw2tiff", "tiffcp", "cjpeg", "tiffinfo", "tiffdump", "exiftool"})
        if (!HaveTool(tool)) GTEST_SKIP() << tool << " missing";
    ::setenv("LUMORA_SYSTEM_DIR", LUMORA_TEST_SYSTEM_DIR, 1);
    ASSERT_EQ(ColorEngine::Instance(0, 1)->GetStartupStatus(), 0);
    constexpr uint32_t W = 301, H = 203;
    // One picture, as little-endian 16-bit RGB, 8-bit RGB and 8-bit grey.
    std::vector<uint8_t> rgb16(size_t(W) * H * 6), rgb8(size_t(W) * H * 3), gray8(size_t(W) * H);
    for (uint32_t y = 0; y < H; ++y)
        for (uint32_t x = 0; x < W; ++x) {
            const size_t i = size_t(y) * W + x;
            const uint16_t v[3] = {uint16_t(x * 217 + y * 3), uint16_t(y * 320 + x), uint16_t((x ^ y) * 199 + 11)};
            for (int k = 0; k < 3; ++k) {
                rgb16[i * 6 + 2 * k] = uint8_t(v[k]);
                rgb16[i * 6 + 2 * k + 1] = uint8_t(v[k] >> 8);
                rgb8[i * 3 + k] = uint8_t(v[k] >> 8);
            }
            gray8[i] = uint8_t(v[1] >> 8);
        }
    auto write = [&](const std::string& name, const std::string& header, const std::vector<uint8_t>& bytes) {
        std::ofstream out(folder_ / name, std::ios::binary);
        out << header;
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    };
    write("rgb16.raw", "", rgb16);
    write("rgb8.raw", "", rgb8);
    write("gray8.raw", "", gray8);
    write("rgb.ppm", "P6\n301 203\n255\n", rgb8);
    write("gray.pgm", "P5\n301 203\n255\n", gray8);
    write("thumb.raw", "", std::vector<uint8_t>(8 * 6 * 3, 0x80));
    // A finished TIFF as the kinds read it: the main image and a thumbnail
    // joined by tiffcp (in the given byte order), the maker's software text and
    // an Exif directory by exiftool.
    auto tiff = [&](const std::string& name, const std::string& layout, const std::string& order) {
        const std::string main = folder_ / (name + ".main.tif"), thumb = folder_ / "thumb.tif";
        return "raw2tiff -w 8 -l 6 -b 3 -d byte -p rgb -c none '" + folder_ / "thumb.raw" + "' '" + thumb + "' && " +
               "raw2tiff -w 301 -l 203 -c none " + layout + " '" + folder_ / (name + ".raw") + "' '" + main + "' && " +
               "tiffcp " + order + " -f msb2lsb -c none -r 203 '" + main + "' '" + thumb + "' '" + folder_ / (name + ".tif") +
               "' && exiftool -q -overwrite_original '-Software=ORVEX PROFESSIONAL ZYN Lumora' "
               "'-DateTimeOriginal=2024:01:02 03:04:05' '" + folder_ / (name + ".tif") + "'";
    };
    for (const std::string& command :
         {tiff("rgb16", "-b 3 -d short -p rgb", "-B"), tiff("rgb8", "-b 3 -d byte -p rgb", "-L"),
          tiff("gray8", "-b 1 -d byte -p minisblack", "-L"),
          "cjpeg -outfile '" + folder_ / "rgb.jpg" + "' '" + folder_ / "rgb.ppm" + "'",
          "cjpeg -grayscale -outfile '" + folder_ / "gray.jpg" + "' '" + folder_ / "gray.pgm" + "'"}) {
        int status = -1;
        RunCommand(command + " 2>&1", &status);
        ASSERT_EQ(status, 0) << command;
    }
    const struct {
        const char* name;
        const char* source;
        int bytes;
        int colorMode;   // -1: as the image opens
        int samples;
    } cases[] = {
        {"TIFF, 8-bit RGB", "rgb8.tif", 1, -1, 3},
        {"TIFF, 16-bit big-endian RGB", "rgb16.tif", 2, -1, 3},
        {"TIFF, 16-bit big-endian RGB to 8 bits", "rgb16.tif", 1, -1, 3},
        {"TIFF, grey without colour mode 0", "gray8.tif", 2, -1, 1},
        {"JPEG, colour", "rgb.jpg", 1, -1, 3},
        {"JPEG, colour rendered grey", "rgb.jpg", 2, 2, 1},
        {"JPEG, grey", "gray.jpg", 1, -1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string source = folder_ / c.source;
        Image* opened = std::string(c.source).find(".jpg") != std::string::npos
                            ? static_cast<Image*>(new FinishedJPEGImage(FilePathSpec(source)))
                            : static_cast<Image*>(new FinishedTIFFImage(FilePathSpec(source)));
        ImageRef image(opened);
        ASSERT_EQ(opened->Open(), 0);
        ImageProcessParam p = *opened->GetProcessParams();
        if (c.colorMode >= 0) p.colorMode = c.colorMode;
        const std::string out = folder_ / "out.tif";
        {
            ImageRendering rendering(image, p);
            ExportImageArray array;
            array.SetBytesPerSample(c.bytes);
            ExportTIFFImage exporter(rendering, FilePathSpec(out), &array);
            ASSERT_NO_THROW(exporter.SaveFile());
        }
        const BigEndianTiff t(ReadBytes(out));
        CheckLayout(t, W, H, c.samples, c.bytes, false);

        // The image's own render of the same rendering, row for row.
        ImageRendering again(image, p);
        again.SetCrop(again.GetImageBounds());
        ExportImageArray reference;
        reference.SetBytesPerSample(c.bytes);
        reference.SetChannels(c.samples);
        reference.RenderFromRendering(&again, nullptr, 1);
        ASSERT_NE(reference.GetPixelAddress(int32_t(W - 1), int32_t(H - 1)), nullptr);
        const uint32_t T = t.Value(t.Directory(8).fields.at(kStripOffsets));
        const size_t rowBytes = size_t(W) * c.samples * c.bytes;
        size_t differing = 0;
        for (uint32_t y = 0; y < H; ++y) {
            std::vector<uint8_t> want(reference.GetPixelAddress(0, int32_t(y)), reference.GetPixelAddress(0, int32_t(y)) + rowBytes);
            if (c.bytes == 2)
                for (size_t i = 0; i < rowBytes; i += 2) std::swap(want[i], want[i + 1]);
            differing += std::memcmp(want.data(), t.Bytes().data() + T + y * rowBytes, rowBytes) != 0;
        }
        EXPECT_EQ(differing, 0u);
        // A TIFF renders as stored: the 16-bit export is the source's samples.
        if (std::string(c.source) == "rgb16.tif" && c.bytes == 2)
            for (auto [x, y] : {std::pair{0u, 0u}, {300u, 202u}, {123u, 77u}})
                for (int k = 0; k < 3; ++k) {
                    const size_t i = (size_t(y) * W + x) * 6 + 2 * k;
                    EXPECT_EQ(Sample(t, x, y, k), uint32_t(rgb16[i] | rgb16[i + 1] << 8)) << x << "," << y;
                }

        int status = -1;
        const std::string info = Tiffinfo(out, &status);
        EXPECT_EQ(status, 0) << info;
        EXPECT_EQ(info.find("Error"), std::string::npos) << info;
        const std::string dump = RunCommand("tiffdump '" + out + "'");
        EXPECT_NE(dump.find("Magic: 0x4d4d <big-endian> Version: 0x2a"), std::string::npos) << dump;
        EXPECT_EQ(UnexpectedWarnings(out), std::vector<std::string>());
    }
    ColorEngine::DeleteInstance();
    StaticProfileTable::Clear();
    ::unsetenv("LUMORA_SYSTEM_DIR");
}

TEST_F(ExportTIFFImageTest, EveryLayoutPassesTheOutsideReaders) {
    if (!HaveTool("tiffinfo") || !HaveTool("tiffdump") || !HaveTool("exiftool")) GTEST_SKIP() << "libtiff tools or exiftool missing";
    const struct {
        const char* name;
        int bytes, colorMode;
        std::vector<int> modes;
        int samples;
    } cases[] = {
        {"rgb8", 1, 1, {0, 1, 2}, 3},
        {"rgb16", 2, 1, {0, 1, 2}, 3},
        {"gray8", 1, 2, {0, 1, 2}, 1},
        {"gray16", 2, 2, {0, 1, 2}, 1},
        {"monochrome without colour mode 0", 1, 0, {2}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeImage* fake = MakeImage(301, 203);
        ExportSetup s;
        s.bytes = c.bytes;
        s.colorMode = c.colorMode;
        s.colorModes = c.modes;
        const std::string out = folder_ / (std::string(c.name).substr(0, 6) + ".tif");
        ASSERT_EQ(Export(fake, out, s).code, 0);
        const BigEndianTiff t(ReadBytes(out));
        CheckLayout(t, 301, 203, c.samples, c.bytes, false);
        for (auto [x, y] : {std::pair{0u, 0u}, {300u, 202u}, {150u, 77u}}) {
            const uint32_t want = fake->Pixel(x, y)[0];
            EXPECT_EQ(Sample(t, x, y, 0), c.bytes == 2 ? want : want >> 8);
        }
        int status = -1;
        const std::string info = Tiffinfo(out, &status);
        EXPECT_EQ(status, 0) << info;
        EXPECT_EQ(info.find("Error"), std::string::npos) << info;
        EXPECT_NE(info.find("Image Width: 301 Image Length: 203"), std::string::npos) << info;
        const std::string dump = RunCommand("tiffdump '" + out + "'");
        EXPECT_NE(dump.find("Magic: 0x4d4d <big-endian> Version: 0x2a"), std::string::npos) << dump;
        EXPECT_NE(dump.find("Directory 0: offset 8 (0x8)"), std::string::npos) << dump;
        EXPECT_EQ(UnexpectedWarnings(out), std::vector<std::string>());
    }
}

TEST_F(ExportTIFFImageTest, ResizedExportsHaveTheirSizeAndMargins) {
    const struct {
        const char* name;
        NbRect crop;
        ExportSizeOptions size;
        uint32_t W, H;
        int top, bottom; // white rows
    } cases[] = {
        {"fit", NbRect(), ResizeOptions(ResizeToFit, 0, 1000, 1000), 1000, 666, 0, 0},
        {"fit in the 2 % band", NbRect(), ResizeOptions(ResizeToFit, 0, 1500, 1010), 1515, 1010, 0, 0},
        {"pad", NbRect(), ResizeOptions(ResizeToFitAndPad, 0, 1000, 1000), 1000, 1000, 167, 167},
        {"pad odd", NbRect(), ResizeOptions(ResizeToFitAndPad, 0, 1000, 1001), 1000, 1001, 167, 168},
        {"pad in the 2 % band", NbRect(), ResizeOptions(ResizeToFitAndPad, 0, 1500, 1010), 1500, 1010, 5, 5},
        {"percent", NbRect(100, 100, 1099, 799), ResizeOptions(ResizeByPercent, 50, 0, 0), 500, 350, 0, 0},
    };
    FakeImage* fake = MakeImage(3000, 2000);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NearestScalerLog::Reset();
        ExportSetup s;
        s.crop = c.crop;
        s.size = c.size;
        const std::string out = folder_ / "resized.tif";
        ASSERT_EQ(Export(fake, out, s).code, 0);
        EXPECT_EQ(NearestScalerLog::stripBegins, 1); // one strip bracket per export
        const BigEndianTiff t(ReadBytes(out));
        CheckLayout(t, c.W, c.H, 3, 1, false);
        auto whiteRow = [&](uint32_t y) {
            for (uint32_t x = 0; x < c.W; ++x)
                for (int k = 0; k < 3; ++k)
                    if (Sample(t, x, y, k) != 0xFF) return false;
            return true;
        };
        for (int y = 0; y < c.top; ++y) EXPECT_TRUE(whiteRow(uint32_t(y))) << y;
        EXPECT_FALSE(whiteRow(uint32_t(c.top)));
        EXPECT_FALSE(whiteRow(c.H - 1 - uint32_t(c.bottom)));
        for (int y = 0; y < c.bottom; ++y) EXPECT_TRUE(whiteRow(c.H - 1 - uint32_t(y))) << y;
        if (c.size.resizeMode == ResizeByPercent) {
            // Output (x, y) is source (100 + 2x, 100 + 2y).
            for (auto [x, y] : {std::pair{0u, 0u}, {499u, 349u}, {123u, 45u}})
                EXPECT_EQ(Sample(t, x, y, 1), uint32_t(fake->Pixel(100 + 2 * x, 100 + 2 * y)[1] >> 8));
        }
        if (c.top > 100) {
            // The thumbnail shows the white bands.
            const std::vector<uint8_t> thumb = ThumbnailBytes(t);
            EXPECT_EQ(thumb[0], 0xFF);
            EXPECT_EQ(thumb[thumb.size() - 1], 0xFF);
        }
    }
    for (auto [w, code] : {std::pair{20000, int(NbErrExportTooLarge)}, {0, int(NbErrExportTooLarge)}}) {
        ExportSetup s;
        s.size = ResizeOptions(ResizeToFill, 0, w, 1000);
        const Outcome o = Export(fake, folder_ / "refused.tif", s);
        EXPECT_EQ(o.code, code) << w;
        EXPECT_EQ(o.operation, "ExportTIFFImage::SaveFile");
    }
    EXPECT_EQ(std::vector<std::string>{"resized.tif"}, folder_.List());
}

TEST_F(ExportTIFFImageTest, TheGPSLabelIsInTheFirstStripOnly) {
    FakeImage* fake = MakeImage(3000, 2000);
    fake->gpsText_ = "N 59 54.6 E 10 45.1";
    auto exportTo = [&](const std::string& name, bool label, int bytes, const ExportSizeOptions& size) {
        ExportSetup s;
        s.bytes = bytes;
        s.label = label;
        s.size = size;
        EXPECT_EQ(Export(fake, folder_ / name, s).code, 0);
        return BigEndianTiff(ReadBytes(folder_ / name));
    };
    // Unscaled, 16 bits, two strips: 0x0000/0xFFFF in the corner of the
    // first strip; the second strip and the thumbnail as without a label.
    const BigEndianTiff plain = exportTo("plain.tif", false, 2, ExportSizeOptions());
    const BigEndianTiff labelled = exportTo("label.tif", true, 2, ExportSizeOptions());
    int black = 0, white = 0, other = 0;
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 40; ++x)
            for (int k = 0; k < 3; ++k) {
                const uint32_t v = Sample(labelled, x, y, k);
                (v == 0 ? black : v == 0xFFFF ? white : other)++;
            }
    EXPECT_GT(black, 0);
    EXPECT_GT(white, 0);
    EXPECT_EQ(other, 0);
    for (uint32_t y : {16u, 1000u, 1010u})
        for (uint32_t x : {0u, 8u, 30u}) EXPECT_EQ(Sample(labelled, x, y, 0), Sample(plain, x, y, 0)) << x << "," << y;
    EXPECT_EQ(ThumbnailBytes(labelled), ThumbnailBytes(plain));

    // Resized: the label is scaled with the picture (16 rows become 8) and
    // shows in the thumbnail.
    const BigEndianTiff small = exportTo("small.tif", true, 1, ResizeOptions(ResizeByPercent, 50, 0, 0));
    const BigEndianTiff smallPlain = exportTo("smallplain.tif", false, 1, ResizeOptions(ResizeByPercent, 50, 0, 0));
    bool labelRows = true;
    for (uint32_t x = 0; x < 20; ++x) labelRows &= Sample(small, x, 7, 0) == 0 || Sample(small, x, 7, 0) == 0xFF;
    EXPECT_TRUE(labelRows);
    EXPECT_EQ(Sample(small, 5, 8, 0), Sample(smallPlain, 5, 8, 0));
    EXPECT_NE(ThumbnailBytes(small), ThumbnailBytes(smallPlain));

    // An empty text leaves the pixels untouched.
    fake->gpsText_.clear();
    const BigEndianTiff empty = exportTo("empty.tif", true, 1, ExportSizeOptions());
    const BigEndianTiff emptyPlain = exportTo("emptyplain.tif", false, 1, ExportSizeOptions());
    EXPECT_EQ(empty.Bytes(), emptyPlain.Bytes());
}

TEST_F(ExportTIFFImageTest, FailuresLeaveNothingAndKeepTheExistingTarget) {
    const bool root = ::geteuid() == 0;
    struct Case {
        const char* name;
        int code;
        bool rendersNothing;
        bool needsNonRoot;
    };
    const Case cases[] = {
        {"cancel in the first strip", NbErrRenderCancelled, false, false},
        {"cancel in the second strip", NbErrRenderCancelled, false, false},
        {"a stream that fails half-way", NbErrFileWriteFailed, false, false},
        {"a file-size limit", NbErrFileWriteFailed, false, false},
        {"a scaler that fails", NbErrScalerProcessFailed, false, false},
        {"a folder that cannot be written", NbErrFileOpenFailed, true, true},
        {"a read-only target", NbErrFileOpenFailed, true, true},
        {"a missing folder", NbErrFileOpenFailed, true, false},
        {"a folder as the target", NbErrFileOpenFailed, true, false},
    };
    FakeImage* fake = MakeImage(3000, 2000);
    const std::string previous = "the photographer's earlier file";
    const char* tmpBefore = std::getenv("TMPDIR");
    const std::string tmpBeforeText = tmpBefore ? tmpBefore : "";
    TempFolder tmp;
    ::setenv("TMPDIR", tmp.Path().c_str(), 1);
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsNonRoot && root) continue; // the superuser may write anywhere
        const fs::path dirPath = folder_.Path() / ("case" + std::to_string(index++));
        fs::create_directories(dirPath);
        auto list = [&] {
            std::vector<std::string> names;
            for (const auto& e : fs::directory_iterator(dirPath)) names.push_back(e.path().filename().string());
            return names;
        };
        std::string target = (dirPath / "out.tif").string();
        const bool existing = std::string(c.name) != "a missing folder" && std::string(c.name) != "a folder as the target";
        if (existing) {
            std::ofstream(target, std::ios::binary) << previous;
            ::chmod(target.c_str(), 0640);
        }
        if (std::string(c.name) == "a missing folder") target = (dirPath / "gone/out.tif").string();
        if (std::string(c.name) == "a folder as the target") fs::create_directory(target);
        if (std::string(c.name) == "a read-only target") ::chmod(target.c_str(), 0444);
        struct stat before {};
        ::stat(target.c_str(), &before);

        ExportSetup s;
        s.bytes = 2;
        CancelAtRender first(fake, 1), second(fake, 2);
        const int rendersBefore = fake->renders;
        std::unique_ptr<ExportTIFFImage> custom;
        ImageProcessParam p;
        p.colorMode = 1;
        p.crop = fake->GetImageRect();
        ImageRendering rendering(hold_, p);
        rlimit oldLimit{};
        const std::string name = c.name;
        if (name == "cancel in the first strip") s.progress = &first;
        if (name == "cancel in the second strip") s.progress = &second;
        if (name == "a stream that fails half-way")
            custom.reset(new ShortExport(rendering, FilePathSpec(target), &array_, 20000000));
        if (name == "a scaler that fails") {
            s.bytes = 1;
            s.size = ResizeOptions(ResizeByPercent, 50, 0, 0);
            NearestScalerLog::failProcess = NbErrScalerProcessFailed;
        }
        if (name == "a folder that cannot be written") ::chmod(dirPath.c_str(), 0555);
        if (name == "a file-size limit") {
            ::signal(SIGXFSZ, SIG_IGN);
            ::getrlimit(RLIMIT_FSIZE, &oldLimit);
            rlimit small = oldLimit;
            small.rlim_cur = 5000000;
            ::setrlimit(RLIMIT_FSIZE, &small);
        }
        const Outcome o = Export(fake, target, s, custom.get());
        if (name == "a file-size limit") ::setrlimit(RLIMIT_FSIZE, &oldLimit);
        NearestScalerLog::failProcess = 0;
        ::chmod(dirPath.c_str(), 0755);

        EXPECT_EQ(o.code, c.code);
        if (c.rendersNothing) {
            EXPECT_EQ(fake->renders, rendersBefore);
        }
        if (name == "cancel in the second strip") {
            EXPECT_EQ(fake->renders - rendersBefore, 2);
        }
        // Nothing of the export is left, here or in the temporary folder.
        std::vector<std::string> expected;
        if (existing || name == "a folder as the target") expected = {"out.tif"};
        if (name == "a missing folder") expected = {};
        EXPECT_EQ(list(), expected);
        EXPECT_EQ(tmp.List(), std::vector<std::string>());
        if (existing) {
            const std::vector<uint8_t> now = ReadBytes(target);
            EXPECT_EQ(std::string(now.begin(), now.end()), previous);
            struct stat after {};
            ::stat(target.c_str(), &after);
            EXPECT_EQ(after.st_mode, before.st_mode);
        }
    }
    if (tmpBefore) ::setenv("TMPDIR", tmpBeforeText.c_str(), 1);
    else ::unsetenv("TMPDIR");

    // A successful export replaces an existing file and has the mode of a
    // plain create.
    TempFolder dir;
    const std::string target = dir / "out.tif";
    std::ofstream(target, std::ios::binary) << previous;
    ::chmod(target.c_str(), 0600);
    ExportSetup s;
    ASSERT_EQ(Export(fake, target, s).code, 0);
    struct stat st {};
    ::stat(target.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_TRUE(BigEndianTiff(ReadBytes(target)).Valid());
    EXPECT_EQ(dir.List(), std::vector<std::string>{"out.tif"});
}

TEST_F(ExportTIFFImageTest, AFilePastThirtyTwoBitOffsetsIsRefusedBeforeItIsMade) {
    // 40000 x 20000 at 16 bits is 4.8 GB; nothing is rendered, so the
    // picture needs no pixels.
    auto* fake = new FakeImage(folder_ / "huge.tif", 40000, 20000);
    hold_ = ImageRef(fake);
    ExportSetup s;
    s.bytes = 2;
    const Outcome o = Export(fake, folder_ / "huge-out.tif", s);
    EXPECT_EQ(o.code, NbErrExportTooLarge);
    EXPECT_EQ(o.operation, "ExportTIFFImage::SaveFile");
    EXPECT_EQ(fake->renders, 0);
    EXPECT_EQ(folder_.List(), std::vector<std::string>());
}

// The real scaler: the pool brings up the TalpScale plug-in and installs the
// kinds' scaler for the exporters. A flat picture stays flat at any size.
TEST_F(ExportTIFFImageTest, ResizedThroughTheScalePlugIn) {
    SetExportScalerFactory(nullptr);
    ScalePlugIn::InstallPoolBinding();
    ImagePool::Instance();
    FakeImage* fake = MakeImage(600, 400);
    for (size_t i = 0; i < fake->pixels.size(); i += 3) {
        fake->pixels[i] = 0x4000;
        fake->pixels[i + 1] = 0x8000;
        fake->pixels[i + 2] = 0xC000;
    }
    const struct {
        const char* name;
        ExportSizeOptions size;
        uint32_t W, H;
    } cases[] = {
        {"half", ResizeOptions(ResizeByPercent, 50, 0, 0), 300, 200},
        {"larger", ResizeOptions(ResizeToFit, 0, 1500, 1500), 1500, 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExportSetup s;
        s.size = c.size;
        const std::string out = folder_ / "scaled.tif";
        ASSERT_EQ(Export(fake, out, s).code, 0);
        const BigEndianTiff t(ReadBytes(out));
        CheckLayout(t, c.W, c.H, 3, 1, false);
        for (auto [x, y] : {std::pair{0u, 0u}, {c.W - 1, c.H - 1}, {c.W / 2, c.H / 3}}) {
            EXPECT_EQ(Sample(t, x, y, 0), 0x40u);
            EXPECT_EQ(Sample(t, x, y, 1), 0x80u);
            EXPECT_EQ(Sample(t, x, y, 2), 0xC0u);
        }
    }
    hold_ = ImageRef(nullptr);
    ImagePool::DeleteInstance();
    Image::SetScalePlugInBinding(nullptr, nullptr);
}
