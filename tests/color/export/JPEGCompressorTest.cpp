// The JPEG compressor over libjpeg: geometry refused before any library
// state, the gray expansion, the tables it adds or leaves to the library,
// both sinks (memory grown in steps, a file that fails half-way), rows
// handed to thumbnails; and the quality presets.
#include "ExportTestSupport.h"
#include "File.h"
#include "JPEGCompressor.h"
#include "JpegQualityPreset.h"
#include "JpegTestSupport.h"
#include "Thumbnail.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace NimbalCore;
using namespace jpegtest;

namespace {

// A gradient with some texture, one or three samples a pixel.
std::vector<uint8_t> Picture(int width, int height, int channels) {
    std::vector<uint8_t> p(size_t(width) * height * channels);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < channels; ++k)
                p[(size_t(y) * width + x) * channels + k] = uint8_t(x * 3 + y * 5 + k * 60 + ((x * y) % 7) * 9);
    return p;
}

struct Result {
    int start = -1, rows = 0, finish = -1;
    std::vector<uint8_t> stream;
};

Result Compress(int width, int height, int channels, const std::vector<uint8_t>& pixels, const int* luma,
                const int* chroma, int quality, bool expandGray = false, uint32_t chunk = 4096) {
    Result r;
    JPEGCompressor c(width, height, channels, luma, chroma, quality, 300, 1, chunk, nullptr, nullptr, false,
                     expandGray, nullptr);
    r.start = c.Start();
    if (r.start != 0) return r;
    const size_t rowBytes = size_t(width) * channels;
    for (int y = 0; y < height; ++y) r.rows |= c.WriteRow(pixels.data() + size_t(y) * rowBytes);
    r.finish = c.Finish();
    if (c.GetCompressedData())
        r.stream.assign(c.GetCompressedData(), c.GetCompressedData() + c.GetCompressedSize());
    return r;
}

// A stream that takes a number of bytes and then fails.
class FillingDisk : public File {
public:
    FillingDisk(const FilePathSpec& path, uint64_t room) : File(path), room_(room) {}
    size_t Write(const void* buffer, size_t size, size_t count) override {
        ++calls;
        const uint64_t bytes = uint64_t(size) * count;
        if (bytes > room_) return 0;
        room_ -= bytes;
        return File::Write(buffer, size, count);
    }
    int calls = 0;

private:
    uint64_t room_;
};

class RefusingThumbnail : public Thumbnail {
public:
    void AddRow(const uint8_t*) override { throw int(2202); }
};

} // namespace

TEST(JPEGCompressorTest, GeometryOutsideTheLimitsIsRefusedWithoutLibraryState) {
    const struct {
        int width, height, channels;
        bool expandGray;
    } cases[] = {
        {18001, 10, 3, false}, {10, 18001, 3, false}, {0, 10, 3, false}, {10, -1, 1, false},
        {10, 10, 2, false},    {10, 10, 4, false},    {18001, 10, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + "x" + std::to_string(c.channels));
        JPEGCompressor j(c.width, c.height, c.channels, nullptr, nullptr, 75, 72, 1, 4096, nullptr, nullptr, false,
                         c.expandGray, nullptr);
        EXPECT_EQ(j.Start(), JPEGCompressor::BadGeometry);
        EXPECT_FALSE(j.IsStarted());
        const uint8_t row[4] = {};
        EXPECT_EQ(j.WriteRow(row), JPEGCompressor::LibraryFailed);
        EXPECT_NE(j.Finish(), 0);
        EXPECT_EQ(j.GetCompressedData(), nullptr);
    }
    // The largest side is accepted (and released unfinished).
    JPEGCompressor big(18000, 1, 1, nullptr, nullptr, 75, 72, 1, 4096, nullptr, nullptr, false, false, nullptr);
    EXPECT_EQ(big.Start(), 0);
    EXPECT_TRUE(big.IsStarted());
}

TEST(JPEGCompressorTest, ExpandedGrayIsThreeEqualComponents) {
    const int w = 37, h = 21;
    const std::vector<uint8_t> gray = Picture(w, h, 1);
    const Result r = Compress(w, h, 1, gray, nullptr, nullptr, 75, true);
    ASSERT_EQ(r.start, 0);
    EXPECT_EQ(r.rows, 0);
    ASSERT_EQ(r.finish, 0);
    const Decoded d = Decode(r.stream);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.warnings, 0);
    EXPECT_EQ(d.components, 3);
    EXPECT_FALSE(d.jfif);
    EXPECT_FALSE(d.adobe);
    int unequal = 0;
    double error = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (d.At(x, y, 0) != d.At(x, y, 1) || d.At(x, y, 1) != d.At(x, y, 2)) ++unequal;
            error += std::abs(int(d.At(x, y, 0)) - gray[size_t(y) * w + x]);
        }
    EXPECT_EQ(unequal, 0);
    EXPECT_LT(error / (w * h), 8.0); // the gray picture, not something else
    // Without the expansion the same rows give one component.
    const Decoded one = Decode(Compress(w, h, 1, gray, nullptr, nullptr, 75).stream);
    ASSERT_TRUE(one.ok);
    EXPECT_EQ(one.components, 1);
}

TEST(JPEGCompressorTest, TablesAreScaledByQualityOrLeftToTheLibrary) {
    const int w = 64, h = 48;
    const std::vector<uint8_t> rgb = Picture(w, h, 3);
    int t1[64], chroma[64], quality = 0;
    ASSERT_TRUE(GetJpegQuantTable(0, false, 0, 0, t1, &quality));
    ASSERT_TRUE(GetJpegQuantTable(0, true, 0, 0, chroma, &quality));
    ASSERT_EQ(quality, 95);

    // T1 at 95: the library's 10 % scaling makes every entry 1 but the 16.
    const Decoded at95 = Decode(Compress(w, h, 3, rgb, t1, chroma, 95).stream);
    ASSERT_TRUE(at95.ok);
    EXPECT_EQ(std::count(at95.luma.begin(), at95.luma.end(), 1), 63);
    EXPECT_EQ(at95.luma[63], 2);
    // The chroma table is the standard's, scaled the same way: 17 -> 2, 99 -> 10.
    EXPECT_EQ(at95.chroma[0], 2);
    EXPECT_EQ(at95.chroma[63], 10);

    // Entries forced into 1..255: at quality 1 (scale 5000 %) the largest
    // go to 255, and nothing is 0.
    const Decoded at1 = Decode(Compress(w, h, 3, rgb, t1, chroma, 1).stream);
    ASSERT_TRUE(at1.ok);
    EXPECT_EQ(at1.luma[63], 255);
    EXPECT_EQ(*std::min_element(at1.luma.begin(), at1.luma.end()), 150);

    // Without tables the library's own apply, whatever the quality.
    const Result low = Compress(w, h, 3, rgb, nullptr, nullptr, 5);
    const Result high = Compress(w, h, 3, rgb, nullptr, nullptr, 100);
    ASSERT_EQ(low.finish, 0);
    EXPECT_EQ(low.stream, high.stream);
    const Decoded standard = Decode(low.stream);
    ASSERT_TRUE(standard.ok);
    EXPECT_EQ(standard.luma[0], 8); // the standard's 16 at the library's default 75
    EXPECT_NE(standard.luma, at95.luma);
}

TEST(JPEGCompressorTest, TheMemorySinkGrowsInChunkSteps) {
    // A noisy picture whose stream is many 4096-byte chunks long; a
    // one-chunk-at-a-time sink must give the same bytes as a roomy one.
    const int w = 300, h = 200;
    std::vector<uint8_t> noise(size_t(w) * h * 3);
    uint32_t s = 12345;
    for (uint8_t& b : noise) b = uint8_t((s = s * 1103515245u + 12345u) >> 24);
    const Result small = Compress(w, h, 3, noise, nullptr, nullptr, 75, false, 4096);
    const Result large = Compress(w, h, 3, noise, nullptr, nullptr, 75, false, 1 << 22);
    ASSERT_EQ(small.finish, 0);
    EXPECT_GT(small.stream.size(), 8u * 4096);
    EXPECT_EQ(small.stream, large.stream);
    EXPECT_EQ(small.stream[0], 0xFF);
    EXPECT_EQ(small.stream[small.stream.size() - 1], 0xD9);
    EXPECT_TRUE(Decode(small.stream).ok);
}

TEST(JPEGCompressorTest, AFileThatFillsUpFailsAtFinishAndRowsGoOnAnswering0) {
    exporttest::TempFolder folder;
    const int w = 400, h = 300;
    std::vector<uint8_t> noise(size_t(w) * h * 3);
    uint32_t s = 7;
    for (uint8_t& b : noise) b = uint8_t((s = s * 1103515245u + 12345u) >> 24);

    // Whole: the file holds exactly the stream.
    {
        File file(FilePathSpec(folder / "whole.jpg"));
        file.Open(File::WriteBinary);
        JPEGCompressor c(w, h, 3, nullptr, nullptr, 75, 72, 1, 8192, nullptr, nullptr, false, false, &file);
        ASSERT_EQ(c.Start(), 0);
        for (int y = 0; y < h; ++y) ASSERT_EQ(c.WriteRow(noise.data() + size_t(y) * w * 3), 0);
        ASSERT_EQ(c.Finish(), 0);
        file.Close();
        const std::vector<uint8_t> bytes = exporttest::ReadBytes(folder / "whole.jpg");
        EXPECT_EQ(bytes.size(), size_t(c.GetCompressedSize()));
        const Decoded d = Decode(bytes);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.width, w);
        EXPECT_EQ(d.height, h);
    }
    // Room for two chunks: the third fails, every later row answers 0 and
    // the sink is not written again; Finish reports it.
    FillingDisk disk(FilePathSpec(folder / "full.jpg"), 2 * 8192);
    disk.Open(File::WriteBinary);
    JPEGCompressor c(w, h, 3, nullptr, nullptr, 75, 72, 1, 8192, nullptr, nullptr, false, false, &disk);
    ASSERT_EQ(c.Start(), 0);
    for (int y = 0; y < h; ++y) EXPECT_EQ(c.WriteRow(noise.data() + size_t(y) * w * 3), 0) << y;
    EXPECT_EQ(disk.calls, 3);
    EXPECT_EQ(c.Finish(), JPEGCompressor::SinkWriteFailed);
    EXPECT_EQ(disk.calls, 3);
    EXPECT_FALSE(c.IsStarted());
}

TEST(JPEGCompressorTest, RowsReachBothThumbnailsAndARefusalIs2202) {
    const int w = 320, h = 240;
    // Smooth ramps, so a reduced pixel can be compared with the source.
    std::vector<uint8_t> rgb(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
            p[0] = uint8_t(x * 255 / (w - 1));
            p[1] = uint8_t(y * 255 / (h - 1));
            p[2] = 90;
        }
    Thumbnail small, preview;
    small.Setup(NbRect(0, 0, w - 1, h - 1), 3, 1, Thumbnail::Letterboxed, Thumbnail::Average, -1);
    preview.Setup(NbRect(0, 0, w - 1, h - 1), 3, 1, Thumbnail::Normal, Thumbnail::Average, -1);
    JPEGCompressor c(w, h, 3, nullptr, nullptr, 75, 72, 1, 4096, &small, &preview, false, false, nullptr);
    ASSERT_EQ(c.Start(), 0);
    for (int y = 0; y < h; ++y) ASSERT_EQ(c.WriteRow(rgb.data() + size_t(y) * w * 3), 0);
    ASSERT_EQ(c.Finish(), 0);
    small.Finish();
    preview.Finish();
    EXPECT_EQ(small.GetBounds(), NbRect(0, 0, 159, 119));
    EXPECT_EQ(preview.GetBounds(), NbRect(0, 0, 155, 116));
    // The middle of the preview looks like the middle of the picture.
    const uint8_t* mid = preview.GetPixelAddress(78, 58);
    ASSERT_NE(mid, nullptr);
    EXPECT_NEAR(mid[0], rgb[(size_t(120) * w + 160) * 3], 6);
    EXPECT_NEAR(mid[1], rgb[(size_t(120) * w + 160) * 3 + 1], 6);

    RefusingThumbnail refusing;
    JPEGCompressor r(w, h, 3, nullptr, nullptr, 75, 72, 1, 4096, &refusing, nullptr, false, false, nullptr);
    ASSERT_EQ(r.Start(), 0);
    EXPECT_EQ(r.WriteRow(rgb.data()), JPEGCompressor::ThumbnailFailed);
}

TEST(JpegQualityPresetTest, CodesPickTheEntriesAndTheCameraTags) {
    int t1[64], t2[64], t3[64], chroma[64], q = -1;
    GetJpegQuantTable(0, false, 0, 0, t1, &q);
    GetJpegQuantTable(0, false, 1, 1, t2, &q);
    GetJpegQuantTable(0, false, 0, 2, t3, &q);
    GetJpegQuantTable(0, true, 0, 0, chroma, &q);
    EXPECT_EQ(std::accumulate(t1, t1 + 64, 0), 402);
    EXPECT_EQ(t2[63], 70);
    EXPECT_EQ(t3[63], 255);
    EXPECT_EQ(chroma[0], 17);
    const struct {
        int row, column;
        const int* table;
        int quality;
    } entries[] = {
        {0, 0, t1, 95}, {0, 1, t1, 50}, {0, 2, t3, 50}, {1, 0, t1, 50}, {1, 1, t2, 50},
        {1, 2, t3, 50}, {2, 0, t1, 50}, {2, 1, t2, 50}, {2, 2, t3, 50},
        {7, 0, t1, 95}, {-1, 2, t3, 50}, {0, 9, t1, 95}, // unknown codes count as 0
    };
    for (const auto& e : entries) {
        SCOPED_TRACE(std::to_string(e.row) + "," + std::to_string(e.column));
        int luma[64], c[64], quality = -1;
        EXPECT_TRUE(GetJpegQuantTable(23, false, e.row, e.column, luma, &quality));
        EXPECT_EQ(quality, e.quality);
        EXPECT_TRUE(std::equal(luma, luma + 64, e.table));
        GetJpegQuantTable(5, true, e.row, e.column, c, &quality);
        EXPECT_TRUE(std::equal(c, c + 64, chroma));
    }
    const struct {
        int row, column;
        uint16_t tag;
    } tags[] = {
        {0, 0, 3135}, {0, 1, 3138}, {0, 2, 3141}, {1, 0, 3134}, {1, 2, 3140}, {2, 1, 3136},
        {2, 2, 3139}, {0, 3, 0},    {0, -1, 3135}, {7, 1, 3138},
    };
    for (const auto& t : tags) EXPECT_EQ(JpegPresetCameraTag(t.row, t.column), t.tag) << t.row << "," << t.column;
}
