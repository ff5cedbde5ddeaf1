#include "FinishedTIFFImage.h"
#include "FinishedTiffWriter.h"

#include "ExportImageArray.h"
#include "ImagePool.h"
#include "ProgressCB.h"
#include "YlmErrp.h"
#include "YlmError.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace NimbalCore;
namespace fs = std::filesystem;

namespace {

class FinishedTIFFImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kinds-tiff-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

struct Rendered {
    ExportImageArray array;
    Rendered(int w, int h, int type, int bytes) {
        array.SetPixelType(type);
        array.SetBytesPerSample(bytes);
        array.SetBounds(NbRect(0, 0, w - 1, h - 1));
        array.SetRowBytes(w * array.GetChannels() * bytes);
        array.Create(uint64_t(h) * array.GetRowBytes());
    }
    const uint8_t* Row(int y) { return static_cast<uint8_t*>(array.GetData()) + int64_t(y) * array.GetRowBytes(); }
};

struct Recorder : ProgressCB {
    std::vector<int> seen;
    bool Progress(int percent) override { seen.push_back(percent); return true; }
};

} // namespace

TEST_F(FinishedTIFFImageTest, RendersStoredSamplesInBothByteOrdersAndDepths) {
    // Rows long enough for the converters' blocks of 16 samples and a rest.
    constexpr int W = 23;
    struct Case { bool big; uint32_t samples, bits; };
    for (const Case c : {Case{true, 3, 8}, Case{false, 3, 8}, Case{true, 3, 16}, Case{false, 3, 16}, Case{true, 1, 8},
                         Case{false, 1, 16}, Case{true, 1, 16}}) {
        SCOPED_TRACE(std::to_string(c.big) + " " + std::to_string(c.samples) + " " + std::to_string(c.bits));
        FinishedTiffSpec spec;
        spec.bigEndian = c.big, spec.samples = c.samples, spec.bits = c.bits, spec.width = W, spec.height = 4;
        FinishedTiffWriter::Write(Path("a.tif"), spec);
        FinishedTIFFImage image{FilePathSpec(Path("a.tif"))};
        ASSERT_EQ(image.Open(), 0);
        EXPECT_EQ(image.GetNativeImageRect().Width(), W);
        EXPECT_EQ(image.Supports16BitOutput(), c.bits == 16);
        Rendered out(W, 4, PixelArray::RGB, 1);
        ImageProcessParam params;
        image.RenderImage(params, out.array, false, nullptr, 1);
        const uint32_t b = c.bits / 8;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < W; ++x)
                for (int k = 0; k < 3; ++k) {
                    const size_t s = ((size_t(y) * W + x) * c.samples + (c.samples == 1 ? 0 : k)) * b;
                    // 16 -> 8 keeps the high byte: the first byte in big-endian files.
                    const uint8_t want = b == 1 ? spec.pixels[s] : spec.pixels[s + (c.big ? 0 : 1)];
                    ASSERT_EQ(out.Row(y)[x * 3 + k], want) << x << "," << y << "," << k;
                }
        // Into 16-bit samples in host order: the value stored, an 8-bit one widened.
        Rendered wide(W, 4, PixelArray::RGB, 2);
        image.RenderImage(params, wide.array, false, nullptr, 1);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < W; ++x)
                for (int k = 0; k < 3; ++k) {
                    const size_t s = ((size_t(y) * W + x) * c.samples + (c.samples == 1 ? 0 : k)) * b;
                    const uint8_t* p = &spec.pixels[s];
                    const uint16_t want = b == 1 ? uint16_t(p[0] * 257) : c.big ? uint16_t(p[0] << 8 | p[1])
                                                                              : uint16_t(p[1] << 8 | p[0]);
                    uint16_t got;
                    std::memcpy(&got, wide.Row(y) + (x * 3 + k) * 2, 2);
                    ASSERT_EQ(got, want) << x << "," << y << "," << k;
                }
        image.Close();
    }
}

TEST_F(FinishedTIFFImageTest, RotatedRenderEqualsRotatedSamples) {
    FinishedTiffSpec spec;
    spec.width = 3, spec.height = 2;
    FinishedTiffWriter::Write(Path("r.tif"), spec);
    FinishedTIFFImage image{FilePathSpec(Path("r.tif"))};
    ASSERT_EQ(image.Open(), 0);
    ImageProcessParam params;
    params.rotation = 90.0f;
    Rendered out(2, 3, PixelArray::RGB, 1);
    image.RenderImage(params, out.array, false, nullptr, 1);
    std::vector<uint8_t> want(spec.pixels.size());
    image.RotatePixelRows(want.data(), spec.pixels.data(), 3, 2, 90, 3);
    for (int y = 0; y < 3; ++y)
        for (int i = 0; i < 6; ++i) EXPECT_EQ(out.Row(y)[i], want[y * 6 + i]) << y << " " << i;
}

TEST_F(FinishedTIFFImageTest, RendersInStripsOf256RowsWithProgress) {
    FinishedTiffSpec spec;
    spec.width = 2, spec.height = 600;
    FinishedTiffWriter::Write(Path("s.tif"), spec);
    FinishedTIFFImage image{FilePathSpec(Path("s.tif"))};
    ASSERT_EQ(image.Open(), 0);
    Rendered out(2, 600, PixelArray::BGR, 1);
    Recorder progress;
    image.RenderImage(ImageProcessParam(), out.array, false, &progress, 1);
    EXPECT_EQ(progress.seen, (std::vector<int>{0, 1, 51, 100}));
    EXPECT_EQ(out.Row(599)[0], spec.pixels[599 * 6 + 2]);
    EXPECT_EQ(out.Row(599)[5], spec.pixels[599 * 6 + 3]);
}

TEST_F(FinishedTIFFImageTest, ThumbnailTallerThanOneStripKeepsEveryRow) {
    FinishedTiffSpec spec;
    spec.thumbWidth = 3, spec.thumbHeight = 400;
    FinishedTiffWriter::Write(Path("t.tif"), spec);
    FinishedTIFFImage image{FilePathSpec(Path("t.tif"))};
    ASSERT_EQ(image.Open(), 0);
    ASSERT_TRUE(image.HasThumbnail());
    Rendered out(3, 400, PixelArray::RGB, 1);
    image.RenderThumbnail(ImageProcessParam(), out.array);
    for (int y : {0, 255, 256, 399})
        for (int i = 0; i < 9; ++i) ASSERT_EQ(out.Row(y)[i], spec.thumbPixels[size_t(y) * 9 + i]) << y;
}

TEST_F(FinishedTIFFImageTest, ThumbnailOfOtherSampleCountsReadsOnlyItsOwnRows) {
    // Fewer than three samples a pixel is grey (its first sample); more is
    // colour with the rest passed over. Two samples once read a third
    // plane past the end of the rows.
    for (uint32_t channels : {1u, 2u, 4u}) {
        SCOPED_TRACE(channels);
        FinishedTiffSpec spec;
        spec.thumbWidth = 5, spec.thumbHeight = 3, spec.thumbChannels = channels;
        FinishedTiffWriter::Write(Path("s.tif"), spec);
        FinishedTIFFImage image{FilePathSpec(Path("s.tif"))};
        ASSERT_EQ(image.Open(), 0);
        ASSERT_TRUE(image.HasThumbnail());
        Rendered out(5, 3, PixelArray::RGB, 1);
        image.RenderThumbnail(ImageProcessParam(), out.array);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                for (int k = 0; k < 3; ++k) {
                    const size_t sample = (size_t(y) * 5 + size_t(x)) * channels + (channels < 3 ? 0 : size_t(k));
                    ASSERT_EQ(out.Row(y)[x * 3 + k], spec.thumbPixels[sample]) << x << "," << y << " " << k;
                }
    }
}

TEST_F(FinishedTIFFImageTest, OpenFailures) {
    struct Case {
        const char* name;
        void (*change)(FinishedTiffSpec&);
        int code;
    };
    const Case cases[] = {
        {"no exif directory", [](FinishedTiffSpec& s) { s.withExif = false; }, 1701},
        {"no ifd1", [](FinishedTiffSpec& s) { s.withIFD1 = false; }, 1701},
        {"other maker", [](FinishedTiffSpec& s) { s.make = "Other", s.software = "Some editor"; }, 2203},
        {"model of another line", [](FinishedTiffSpec& s) { s.software = "Camera"; s.model = "ZynA 1"; }, 2203},
        {"lzw", [](FinishedTiffSpec& s) { s.override0[259] = 5; }, 2203},
        {"multi-strip", [](FinishedTiffSpec& s) { s.override0[278] = 1; }, 2203},
        {"tiled", [](FinishedTiffSpec& s) {
             s.override0[273] = s.override0[278] = s.override0[279] = 0xFFFFFFFF;
             s.extra0 = {{322, 3, 1, {0, 16}}, {323, 3, 1, {0, 16}}, {324, 4, 1, {0, 0, 0, 8}}, {325, 4, 1, {0, 0, 0, 36}}};
         }, 2203},
        {"strip outside the file", [](FinishedTiffSpec& s) { s.override0[273] = 0x7FFFFFF0; }, 2203},
        // 65536 x 65536 x 3 wraps in 32 bits to a small size that would fit.
        {"size wraps in 32 bits", [](FinishedTiffSpec& s) { s.override0[256] = 65536; s.override0[257] = 65536; }, 2203},
        {"wrong byte count", [](FinishedTiffSpec& s) { s.override0[279] = 5; }, 2203},
        {"4 samples", [](FinishedTiffSpec& s) { s.override0[277] = 4; }, 2203},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FinishedTiffSpec spec;
        c.change(spec);
        FinishedTiffWriter::Write(Path("f.tif"), spec);
        FinishedTIFFImage image{FilePathSpec(Path("f.tif"))};
        EXPECT_EQ(image.Open(), c.code);
        EXPECT_FALSE(image.IsOpen());
    }
}

TEST_F(FinishedTIFFImageTest, BadBytesAndTruncationsAreRefused) {
    FinishedTiffSpec spec;
    auto good = FinishedTiffWriter::Build(spec);
    struct Case { const char* name; std::vector<uint8_t> bytes; int code; };
    auto badCount = good;
    badCount[8] = 0xFF, badCount[9] = 0xFF; // entry count far past the bytes
    auto ifdPast = good;
    ifdPast[4] = 0x7F;
    std::vector<Case> cases = {{"empty", {}, 1701},
                               {"not tiff", {'X', 'X', 0, 42, 0, 0, 0, 8}, 1701},
                               {"entry count", badCount, 1701},
                               {"ifd0 past the end", ifdPast, 1701}};
    for (size_t cut : {size_t(12), size_t(60), size_t(200)}) cases.push_back({"cut", {good.begin(), good.begin() + long(cut)}, 0});
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(Path("b.tif"), std::ios::binary).write(reinterpret_cast<const char*>(c.bytes.data()), long(c.bytes.size()));
        FinishedTIFFImage image{FilePathSpec(Path("b.tif"))};
        const int code = image.Open();
        if (c.code) EXPECT_EQ(code, c.code);
        else EXPECT_NE(code, 0);
    }
}

TEST_F(FinishedTIFFImageTest, FileOfAnOutsideToolWithoutExifIsRefused) {
    const std::string raw = Path("in.raw");
    std::vector<uint8_t> pixels(8 * 6 * 3, 0x40);
    std::ofstream(raw, std::ios::binary).write(reinterpret_cast<const char*>(pixels.data()), long(pixels.size()));
    const std::string cmd = "raw2tiff -w 8 -l 6 -b 3 -d byte -c none " + raw + " " + Path("o.tif") + " 2>/dev/null";
    if (std::system(cmd.c_str()) != 0) GTEST_SKIP() << "raw2tiff is not installed";
    FinishedTIFFImage image{FilePathSpec(Path("o.tif"))};
    EXPECT_EQ(image.Open(), 1701);
}

TEST_F(FinishedTIFFImageTest, MakerSoftwareIsRecognisedInEitherCase) {
    for (const char* software : {"ORVEX PROFESSIONAL ZYN Lumora 2.0", "ORVEX PROFESSIONAL Zyn Lumora", "orvex professional zyn lumora x"}) {
        FinishedTiffSpec spec;
        spec.make = "Someone", spec.software = software;
        FinishedTiffWriter::Write(Path("m.tif"), spec);
        FinishedTIFFImage image{FilePathSpec(Path("m.tif"))};
        EXPECT_EQ(image.Open(), 0) << software;
        EXPECT_TRUE(image.IsFinishedZynImage());
    }
}

TEST_F(FinishedTIFFImageTest, RawOperationsAreRefusedWith1714) {
    FinishedTIFFImage image{FilePathSpec(Path("x.tif"))};
    auto code = [](auto&& f) {
        try { f(); } catch (const YlmErrp& e) { return e.GetCode(); }
        return 0;
    };
    EXPECT_EQ(code([&] { image.GetAtCaptureParams(); }), 1714);
    EXPECT_EQ(code([&] { image.GetAutoParams(); }), 1714);
    EXPECT_EQ(code([&] { image.WriteProcessParamsToFile(); }), 1714);
    EXPECT_EQ(code([&] { image.SetCameraSettings(); }), 1714);
    EXPECT_FALSE(image.IsModified());
    image.SetAnnotation("ignored");
    EXPECT_EQ(image.GetAnnotation(), "");
}

TEST(FinishedTIFFPixels, SetBufferIntoPixelArrayTable) {
    // One RGB pixel of 16-bit samples 0x1122 0x3344 0x5566 (host order), and one gray 8-bit 0x7A.
    const uint16_t rgb16[3] = {0x1122, 0x3344, 0x5566};
    const uint8_t gray8[1] = {0x7A};
    struct Case { int type, bytes; const void* src; int samples, srcBytes; std::vector<uint8_t> want; };
    const Case cases[] = {
        {PixelArray::RGB, 1, rgb16, 3, 2, {0x11, 0x33, 0x55}},
        {PixelArray::BGR, 1, rgb16, 3, 2, {0x55, 0x33, 0x11}},
        {PixelArray::XRGB, 1, gray8, 1, 1, {0, 0x7A, 0x7A, 0x7A}},
        {PixelArray::BGRX, 1, gray8, 1, 1, {0x7A, 0x7A, 0x7A, 0}},
        {PixelArray::RGB, 2, gray8, 1, 1, {0x7A, 0x7A, 0x7A, 0x7A, 0x7A, 0x7A}},
    };
    for (const Case& c : cases) {
        ExportImageArray a;
        a.SetPixelType(c.type);
        a.SetBytesPerSample(c.bytes);
        a.SetBounds(NbRect(0, 0, 0, 0));
        a.SetRowBytes(int32_t(c.want.size()));
        a.Create(c.want.size());
        FinishedTIFFImage::ConvertRows(a, static_cast<uint8_t*>(a.GetData()), static_cast<const uint8_t*>(c.src), 1, 1,
                                       c.samples, c.srcBytes);
        const auto* got = static_cast<const uint8_t*>(a.GetData());
        EXPECT_EQ(std::vector<uint8_t>(got, got + c.want.size()), c.want) << c.type << " " << c.bytes;
    }
    ExportImageArray gray;
    gray.SetPixelType(PixelArray::Gray);
    EXPECT_THROW(FinishedTIFFImage::ConvertRows(gray, nullptr, gray8, 1, 1, 1, 1), YlmErrp);
}

TEST(FinishedTIFFPixels, RotatePixelRowsMovesEveryPixel) {
    const uint8_t src[6] = {1, 2, 3, 4, 5, 6}; // 3 wide, 2 rows, 1-byte pixels
    struct Case { int angle; std::vector<uint8_t> want; int answer; };
    for (const Case& c : {Case{0, {1, 2, 3, 4, 5, 6}, 6}, Case{180, {6, 5, 4, 3, 2, 1}, 1},
                          Case{90, {4, 1, 5, 2, 6, 3}, 1}, Case{-90, {3, 6, 2, 5, 1, 4}, 1}}) {
        FinishedTIFFImage image{FilePathSpec("/nonexistent.tif")};
        std::vector<uint8_t> out(6);
        EXPECT_EQ(image.RotatePixelRows(out.data(), src, 3, 2, c.angle, 1), c.answer);
        EXPECT_EQ(out, c.want) << c.angle;
    }
}

TEST_F(FinishedTIFFImageTest, SmallDestinationAndCropOutsideTheImage) {
    FinishedTiffSpec spec;
    spec.width = 4, spec.height = 300;
    FinishedTiffWriter::Write(Path("c.tif"), spec);
    FinishedTIFFImage image{FilePathSpec(Path("c.tif"))};
    ASSERT_EQ(image.Open(), 0);
    // Fewer rows than the image: the render stops at the destination's end.
    Rendered small(4, 10, PixelArray::RGB, 1);
    image.RenderImage(ImageProcessParam(), small.array, false, nullptr, 1);
    EXPECT_EQ(small.Row(9)[0], spec.pixels[9 * 12]);
    ImageProcessParam params;
    params.crop = NbRect(2, 290, 5, 299); // two columns past the right edge
    Rendered out(4, 10, PixelArray::RGB, 1);
    try {
        image.RenderImage(params, out.array, true, nullptr, 1);
        ADD_FAILURE() << "a crop outside the image rendered";
    } catch (const YlmErrp& e) {
        EXPECT_EQ(e.GetCode(), 1707);
    }
    params.crop = NbRect(1, 290, 2, 299);
    Rendered crop(2, 10, PixelArray::RGB, 1);
    image.RenderImage(params, crop.array, true, nullptr, 1);
    EXPECT_EQ(crop.Row(0)[0], spec.pixels[(290 * 4 + 1) * 3]);
}

TEST_F(FinishedTIFFImageTest, OutsideToolFilesRenderTheirStoredSamples) {
    // raw2tiff writes the main image and the thumbnail, tiffcp joins them
    // (IFD0 and IFD1) in either byte order, with the usual bit fill order
    // (raw2tiff's own stores every byte bit-reversed), exiftool adds the
    // maker's software text and an Exif directory.
    if (std::system("command -v raw2tiff && command -v tiffcp && command -v exiftool >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "raw2tiff, tiffcp or exiftool missing";
    constexpr int W = 24, H = 10, TW = 8, TH = 6;
    std::vector<uint8_t> thumb(TW * TH * 3);
    for (size_t i = 0; i < thumb.size(); ++i) thumb[i] = uint8_t(i * 7 + 3);
    std::ofstream(Path("t.raw"), std::ios::binary).write(reinterpret_cast<const char*>(thumb.data()), long(thumb.size()));
    ASSERT_EQ(std::system(("raw2tiff -w 8 -l 6 -b 3 -d byte -p rgb -c none " + Path("t.raw") + " " + Path("t.tif") +
                           " >/dev/null 2>&1").c_str()),
              0);
    struct Case {
        int samples, bits;
        const char* order;
    };
    for (const Case c : {Case{3, 16, "-B"}, Case{3, 16, "-L"}, Case{3, 8, "-B"}, Case{1, 16, "-B"}, Case{1, 8, "-L"}}) {
        SCOPED_TRACE(std::to_string(c.samples) + " " + std::to_string(c.bits) + " " + c.order);
        const int b = c.bits / 8;
        // Host-order (little-endian) samples for raw2tiff.
        std::vector<uint8_t> raw(size_t(W) * H * c.samples * b);
        std::vector<uint16_t> value(size_t(W) * H * c.samples);
        for (size_t i = 0; i < value.size(); ++i) {
            value[i] = uint16_t(b == 2 ? (i * 2741 + 977) & 0xFFFF : (i * 37 + 11) & 0xFF);
            if (b == 2) raw[2 * i] = uint8_t(value[i]), raw[2 * i + 1] = uint8_t(value[i] >> 8);
            else raw[i] = uint8_t(value[i]);
        }
        std::ofstream(Path("m.raw"), std::ios::binary).write(reinterpret_cast<const char*>(raw.data()), long(raw.size()));
        const std::string make = "raw2tiff -w 24 -l 10 -b " + std::to_string(c.samples) + " -d " +
                                 (b == 2 ? "short" : "byte") + " -p " + (c.samples == 3 ? "rgb" : "minisblack") +
                                 " -c none " + Path("m.raw") + " " + Path("m.tif") + " && tiffcp " + c.order +
                                 " -f msb2lsb -c none " + Path("m.tif") + " " + Path("t.tif") + " " + Path("o.tif") +
                                 " && exiftool -q -overwrite_original '-Software=ORVEX PROFESSIONAL ZYN Lumora' "
                                 "'-DateTimeOriginal=2024:01:02 03:04:05' " + Path("o.tif");
        ASSERT_EQ(std::system((make + " >/dev/null 2>&1").c_str()), 0);
        FinishedTIFFImage image{FilePathSpec(Path("o.tif"))};
        ASSERT_EQ(image.Open(), 0);
        EXPECT_EQ(image.IsBigEndian(), std::string(c.order) == "-B");
        auto want = [&](int x, int y, int k) {
            const uint16_t v = value[(size_t(y) * W + x) * c.samples + (c.samples == 1 ? 0 : k)];
            return uint8_t(b == 2 ? v >> 8 : v); // 16 -> 8 keeps the high byte
        };
        for (int angle : {0, 90}) {
            const bool turned = angle == 90;
            Rendered out(turned ? H : W, turned ? W : H, PixelArray::RGB, 1);
            ImageProcessParam params;
            params.rotation = float(angle);
            image.RenderImage(params, out.array, false, nullptr, 1);
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    for (int k = 0; k < 3; ++k) {
                        const int tx = turned ? H - 1 - y : x, ty = turned ? x : y;
                        ASSERT_EQ(out.Row(ty)[tx * 3 + k], want(x, y, k)) << angle << ": " << x << "," << y;
                    }
        }
        Rendered t(TW, TH, PixelArray::RGB, 1);
        image.RenderThumbnail(ImageProcessParam(), t.array);
        for (int y = 0; y < TH; ++y)
            ASSERT_EQ(std::memcmp(t.Row(y), &thumb[size_t(y) * TW * 3], TW * 3), 0) << y;
    }
}

TEST_F(FinishedTIFFImageTest, WideRowsReadInSeveralBlocksPerStrip) {
    // 3000-byte rows: a strip of 256 rows is read and converted in blocks
    // of fewer rows; a crop reads row by row.
    FinishedTiffSpec spec;
    spec.width = 500, spec.height = 300, spec.bits = 16, spec.bigEndian = true;
    FinishedTiffWriter::Write(Path("w.tif"), spec);
    FinishedTIFFImage image{FilePathSpec(Path("w.tif"))};
    ASSERT_EQ(image.Open(), 0);
    struct Case {
        NbRect crop;
        bool useCrop;
    };
    for (const Case c : {Case{NbRect(0, 0, 499, 299), false}, Case{NbRect(7, 13, 406, 290), true}}) {
        const int w = int(c.crop.Width()), h = int(c.crop.Height());
        Rendered out(w, h, PixelArray::RGB, 1);
        ImageProcessParam params;
        params.crop = c.crop;
        image.RenderImage(params, out.array, c.useCrop, nullptr, 1);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int k = 0; k < 3; ++k) {
                    const size_t s = ((size_t(y + c.crop.top) * 500 + size_t(x + c.crop.left)) * 3 + k) * 2;
                    ASSERT_EQ(out.Row(y)[x * 3 + k], spec.pixels[s]) << x << "," << y;
                }
    }
}

TEST_F(FinishedTIFFImageTest, ParameterChecksOfAFinishedFile) {
    FinishedTiffSpec spec;
    spec.width = 40, spec.height = 30;
    const std::string path = Path("checks.tif");
    FinishedTiffWriter::Write(path, spec);
    FinishedTIFFImage image{FilePathSpec(path)};
    ASSERT_EQ(image.Open(), 0);
    const ImageProcessParam own = *image.GetProcessParams();
    // The image's own parameters (no balance, lighting or noise reduction
    // of its own) are valid for it.
    EXPECT_EQ(image.ValidateProcessParams(own), 0);
    using P = ImageProcessParam;
    struct Case {
        const char* name;
        void (*change)(ImageProcessParam&);
        int code;
    } cases[] = {
        {"automatic lighting", [](P& p) { p.lighting = 5; }, P::AutoLightingUnsupported},
        {"lighting as shot", [](P& p) { p.lighting = 4; }, P::NoAtCaptureParams},
        {"a balance type", [](P& p) { p.balanceType = 0; }, P::CannotClickBalance},
        {"a white point", [](P& p) { p.whitePoint = 5000; }, P::CannotAdjustWhitePoint},
        {"daylight", [](P& p) { p.lighting = 0; }, P::LightingUnsupported},
        {"sharpening", [](P& p) { p.sharpenAmount = 5, p.sharpenRadius = 5; }, P::CannotSharpen},
        {"noise reduction", [](P& p) { p.noiseReductionMode = 1; }, P::NoiseModeUnsupported},
        {"exposure", [](P& p) { p.exposureCompensation = 0.5f; }, P::CannotAdjustExposure},
        {"tone levels", [](P& p) { p.levels[0] = 0.3f; }, P::CannotAdjustTone},
        {"a look", [](P& p) { p.lookName = "NO SUCH LOOK"; }, P::LookUnavailable},
        {"colour fine-tuning", [](P& p) { p.fineTuneBalance[6][0] = 1; }, P::CannotAdjustColorBalance},
        {"lens optimisation", [](P& p) { p.lensOptimization = 3; }, P::CannotOptimizeLens},
        {"crop past the right edge", [](P& p) { p.crop = NbRect(0, 0, 40, 29); }, P::CropOutside},
        {"crop narrower than 8 from the edge", [](P& p) { p.crop = NbRect(33, 0, 39, 29); }, P::CropOutside},
        {"a rotation that is not whole", [](P& p) { p.rotation = 45.5f; }, P::RotationNotWhole},
        {"a rotation that is not a quarter", [](P& p) { p.rotation = 45.0f; }, P::RotationNotQuarter},
    };
    for (const Case& c : cases) {
        P p = own;
        c.change(p);
        EXPECT_EQ(image.ValidateProcessParams(p), c.code) << c.name;
    }
}

TEST_F(FinishedTIFFImageTest, RectanglesBetweenRotationsAndTurnedSizes) {
    FinishedTiffSpec spec;
    spec.width = 40, spec.height = 30;
    const std::string path = Path("rects.tif");
    FinishedTiffWriter::Write(path, spec);
    FinishedTIFFImage image{FilePathSpec(path)};
    ASSERT_EQ(image.Open(), 0);
    const NbRect source(1, 2, 10, 5); // 10 x 4
    struct Case {
        float from;
        NbRect expected;
    } cases[] = {
        {0, NbRect(1, 2, 10, 5)},
        {90, NbRect(24, 1, 27, 10)},   // left H - bottom - 1, top left, 4 x 10
        {180, NbRect(29, 24, 38, 27)}, // W - right - 1, H - bottom - 1
        {270, NbRect(2, 29, 5, 38)},   // top, W - right - 1
    };
    for (const Case& c : cases) {
        NbRect out;
        EXPECT_EQ(image.MapRectBetweenRotations(source, c.from, &out, 0), 0) << c.from;
        EXPECT_EQ(out, c.expected) << c.from;
    }
    // Seen turned, the picture is 30 wide: a rectangle reaching column 35
    // lies outside it.
    NbRect out;
    EXPECT_EQ(image.MapRectBetweenRotations(NbRect(20, 0, 35, 5), 0, &out, 90),
              ImageProcessParam::CropOutside);
    EXPECT_EQ(out, NbRect());

    EXPECT_EQ(image.GetImageRect(), NbRect(0, 0, 39, 29));
    ImageProcessParam turned = *image.GetProcessParams();
    turned.rotation = 90.0f;
    image.SetProcessParams(turned);
    EXPECT_FALSE(image.IsModified()); // a finished file stores no parameters
    EXPECT_EQ(image.GetImageRect(), NbRect(0, 0, 29, 39));
    EXPECT_EQ(image.GetThumbnailRect(),
              NbRect(0, 0, int32_t(spec.thumbHeight) - 1, int32_t(spec.thumbWidth) - 1));
    EXPECT_EQ(image.GetAvailableResolutions().at(1), NbRect(0, 0, 39, 29));
    int reason = 0;
    EXPECT_FALSE(image.CanWhiteBalanceFileBeSaved(&reason));
    EXPECT_EQ(reason, 3);
}

TEST_F(FinishedTIFFImageTest, ProfileAndIptcRecordOnlyWhenTheyFit) {
    // Record version 4 and the object name "Test": 16 bytes, 4 words.
    const std::vector<uint8_t> iptc = {0x1C, 2, 0, 0, 2, 0, 4, 0x1C, 2, 5, 0, 4, 'T', 'e', 's', 't'};
    // The same datasets and zero bytes up to 65552 (16388 words): more than
    // a record can hold; a 16-bit length would make it the first 16 bytes.
    std::vector<uint8_t> big(65552, 0);
    std::copy(iptc.begin(), iptc.end(), big.begin());
    auto objectName = [](Image& image) {
        int index = 0;
        const uint8_t* data = nullptr;
        uint16_t length = 0;
        for (bool more = image.GetIPTCRecord()->GetFirstDataset(&index, &data, &length); more;
             more = image.GetIPTCRecord()->GetNextDataset(&index, &data, &length))
            if (index == IPTCNAARecord2::kObjectName)
                return std::string(reinterpret_cast<const char*>(data), length);
        return std::string();
    };
    struct Case {
        const char* name;
        FinishedTiffExtraEntry entry;
        std::vector<uint8_t> appended; // the value's bytes, after the pixels
        std::string objectName;
        size_t profileBytes;
    } cases[] = {
        {"a record that fits", {33723, 4, 4, iptc}, {}, "Test", 0},
        {"a record at the end of the file", {33723, 4, 4, {}}, iptc, "Test", 0},
        {"a record of 16388 words", {33723, 4, 16388, {}}, big, "", 0},
        {"a record beyond the file", {33723, 4, 4, {}, 0x7FFFFF00}, {}, "", 0},
        {"a profile whose bytes are there", {34675, 7, 300, std::vector<uint8_t>(300, 0x55)}, {}, "", 300},
        // A count of 1 GB at an offset past the end: nothing is allocated
        // for it and the file opens without a profile.
        {"a profile beyond the file", {34675, 7, 0x40000000, {}, 0x7FFFFFF0}, {}, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FinishedTiffSpec spec;
        spec.extra0 = {c.entry};
        if (!c.appended.empty()) spec.extra0[0].offset = uint32_t(FinishedTiffWriter::Build(spec).size());
        std::vector<uint8_t> bytes = FinishedTiffWriter::Build(spec);
        bytes.insert(bytes.end(), c.appended.begin(), c.appended.end());
        const std::string path = Path("meta.tif");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
        FinishedTIFFImage image{FilePathSpec(path)};
        ASSERT_EQ(image.Open(), 0);
        EXPECT_EQ(objectName(image), c.objectName);
        EXPECT_EQ(image.GetEmbeddedProfile().size(), c.profileBytes);
    }
}
