// The exported JPEG file's header segments byte by byte: the Photoshop block
// with its IPTC resource (odd and large records), resolution and quality; the
// camera-settings text with its pad byte and its rewritten size; the ICC
// profile in numbered chunks; the preview and Exif limits.
#include "ExportJPEGImage.h"
#include "ExportTestSupport.h"
#include "IPTCNAARecord2.h"
#include "JpegTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace NimbalCore;
using namespace jpegtest;

namespace {

// A record whose datasets are the version and keywords of 64 bytes, to
// about the given length, built by adding datasets (the buffer doubles).
IPTCNAARecord2 RecordOf(uint32_t datasetBytes) {
    IPTCNAARecord2 r;
    r.Reset();
    int keywords = 0;
    EXPECT_TRUE(IPTCNAARecord2::FindDatasetIndex(25, &keywords));
    const std::string word(64, 'k');
    while (r.GetLength() + 69 <= datasetBytes)
        if (!r.AddDataset(keywords, reinterpret_cast<const uint8_t*>(word.data()), uint32_t(word.size()))) break;
    return r;
}

uint32_t Capacity(const IPTCNAARecord2& r) {
    const uint8_t* start = nullptr;
    uint32_t capacity = 0;
    r.GetBuffer(&start, &capacity);
    return capacity;
}

struct Photoshop {
    uint32_t total = 0;
    uint32_t iptcSize = 0;          // 0 when the resource is absent
    std::vector<uint8_t> iptc;
    uint32_t hRes = 0, vRes = 0;
    uint16_t units[4] = {};
    uint16_t quality = 0;
};

// Reads the segment back by its resources; fails the test on any misplaced byte.
Photoshop Parse(const std::vector<uint8_t>& s) {
    Photoshop p;
    EXPECT_EQ(s[0], 0xFF);
    EXPECT_EQ(s[1], 0xED);
    p.total = uint32_t(s.size());
    EXPECT_EQ(Big16(s, 2), s.size() - 2);
    EXPECT_EQ(std::string(s.begin() + 4, s.begin() + 18), std::string("Photoshop 3.0\0", 14));
    uint64_t r = 18;
    while (r + 12 <= s.size()) {
        EXPECT_EQ(std::string(s.begin() + int64_t(r), s.begin() + int64_t(r) + 4), "8BIM") << r;
        EXPECT_EQ(r % 2, 0u);
        const uint16_t id = Big16(s, r + 4);
        EXPECT_EQ(Big16(s, r + 6), 0); // empty name
        const uint32_t size = Big32(s, r + 8);
        const uint64_t data = r + 12;
        if (id == 0x0404) {
            p.iptcSize = size;
            p.iptc.assign(s.begin() + int64_t(data), s.begin() + int64_t(data + size));
        } else if (id == 0x03ED) {
            EXPECT_EQ(size, 16u);
            p.hRes = Big32(s, data);
            p.units[0] = Big16(s, data + 4);
            p.units[1] = Big16(s, data + 6);
            p.vRes = Big32(s, data + 8);
            p.units[2] = Big16(s, data + 12);
            p.units[3] = Big16(s, data + 14);
        } else if (id == 0x0406) {
            EXPECT_EQ(size, 7u);
            p.quality = Big16(s, data);
            EXPECT_EQ(std::vector<uint8_t>(s.begin() + int64_t(data) + 2, s.begin() + int64_t(data) + 8),
                      (std::vector<uint8_t>{0, 0, 0, 1, 1, 0}));
        }
        r = data + size + (size & 1);
    }
    EXPECT_EQ(r, s.size());
    return p;
}

} // namespace

TEST(ExportJPEGSegmentsTest, ThePhotoshopBlockKeepsItsResourcesAligned) {
    exporttest::TempFolder folder;
    // A record read from a file has room for one byte more: the version
    // dataset and 71 keywords make 4906 bytes and an odd capacity.
    std::vector<uint8_t> file = {0x1C, 0x02, 0x00, 0x00, 0x02, 0x00, 0x02};
    for (int i = 0; i < 71; ++i) {
        for (int b : {0x1C, 0x02, 25, 0x00, 64}) file.push_back(uint8_t(b));
        file.insert(file.end(), 64, 'w');
    }
    const std::string ipt = folder / "odd.ipt";
    std::ofstream(ipt, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    IPTCNAARecord2 odd;
    ASSERT_TRUE(odd.ReadFromFile(FilePathSpec(ipt)));
    ASSERT_EQ(Capacity(odd) % 2, 1u);

    const IPTCNAARecord2 plain;          // 4096 bytes, all zero
    const IPTCNAARecord2 grown = RecordOf(40000);   // capacity 65,536
    ASSERT_EQ(Capacity(grown), 65536u);
    const IPTCNAARecord2 full = RecordOf(65500);    // datasets alone too large

    const struct {
        const char* name;
        const IPTCNAARecord2* record;
        int32_t resolution, units;
        int quality;
        uint32_t iptcSize;
        uint32_t hRes;
        uint16_t unit, qualityValue;
    } cases[] = {
        {"the empty record", &plain, 300, 0, 0, 4096, 300u * 65536, 1, 10},
        {"an odd capacity", &odd, 72, 0, 1, Capacity(odd), 72u * 65536, 1, 8},
        {"a capacity of 64 KiB", &grown, 100, 1, 2, (grown.GetLength() + 1) & ~1u, 16646144, 2, 6},
        {"a code that counts as 0", &plain, 300, 0, 5, 4096, 300u * 65536, 1, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> s = ExportJPEGImage::BuildPhotoshopSegment(*c.record, c.resolution, c.units, c.quality);
        ASSERT_FALSE(s.empty());
        const Photoshop p = Parse(s);
        EXPECT_EQ(p.total, 66 + 12 + c.iptcSize + (c.iptcSize & 1));
        EXPECT_EQ(p.iptcSize, c.iptcSize);
        const uint8_t* start = nullptr;
        uint32_t capacity = 0;
        c.record->GetBuffer(&start, &capacity);
        EXPECT_TRUE(std::equal(p.iptc.begin(), p.iptc.end(), start));
        EXPECT_EQ(p.hRes, c.hRes);
        EXPECT_EQ(p.vRes, c.hRes);
        for (uint16_t u : p.units) EXPECT_EQ(u, c.unit);
        EXPECT_EQ(p.quality, c.qualityValue);
    }
    // Datasets that cannot fit leave the block out.
    EXPECT_TRUE(ExportJPEGImage::BuildPhotoshopSegment(full, 300, 0, 0).empty());
}

TEST(ExportJPEGSegmentsTest, TheCameraSettingsTextIsAOneEntryTIFF) {
    for (const std::string text : {"odd", "even"}) {
        SCOPED_TRACE(text);
        const std::vector<uint8_t> s = ExportJPEGImage::BuildCameraSettingsSegment(text);
        const uint32_t L = uint32_t(text.size());
        ASSERT_EQ(s.size(), 38 + L + (L & 1));
        std::vector<uint8_t> head = {0xFF, 0xE5, 0, uint8_t(36 + L + (L & 1)), 'Z', 'E', 'L', 'T', '1', 0,
                                     'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x03, 0xF1, 0, 2, 0, 0, 0, uint8_t(L),
                                     0, 0, 0, 26, 0, 0, 0, 0};
        EXPECT_EQ(std::vector<uint8_t>(s.begin(), s.begin() + 36), head);
        EXPECT_EQ(std::string(s.begin() + 36, s.begin() + 36 + L), text);
        // The text ends in zeros: two, and the pad byte of an odd text.
        EXPECT_EQ(std::vector<uint8_t>(s.begin() + 36 + L, s.end()), std::vector<uint8_t>(2 + (L & 1), 0));
    }
    EXPECT_TRUE(ExportJPEGImage::BuildCameraSettingsSegment("").empty());
    EXPECT_EQ(ExportJPEGImage::BuildCameraSettingsSegment(std::string(65498, 'x')).size(), 65536u);
    EXPECT_TRUE(ExportJPEGImage::BuildCameraSettingsSegment(std::string(65499, 'x')).empty());
}

TEST(ExportJPEGSegmentsTest, TheSizeInTheTextFollowsTheExport) {
    const struct {
        const char* text;
        int width, height;
        const char* expected;
    } cases[] = {
        {"Width: 3000\nHeight: 2000\n", 1500, 1000, "Width: 1500\nHeight: 1000\n"},
        {"Width: 3000\nHeight: 2000\n", 3000, 1000, "Width: 3000\nHeight: 2000\n"},
        {"Width: 999\nHeight: 500\n", 1000, 600, "Width: 1000\nHeight: 600\n"},
        {"Height: 500\nLens: 50\nWidth: 999\n", 1000, 600, "Height: 600\nLens: 50\nWidth: 1000\n"},
        {"Width: 1000\nHeight: 20\n", 999, 6, "Width: 999\nHeight: 6\n"},
        // Digits that do not fit an int are a different number, never wrapped
        // (4294968296 would wrap to 1000).
        {"Width: 4294968296\nHeight: 99999999999999999999\n", 1000, 600, "Width: 1000\nHeight: 600\n"},
        {"Width: 3000\nHeight: 2000", 10, 20, "Width: 3000\nHeight: 2000"},   // no end to the height
        {"Width: 3000\nDepth: 8\n", 10, 20, "Width: 3000\nDepth: 8\n"},         // no height
        {"Width: x\nHeight: y\n", 10, 20, "Width: x\nHeight: y\n"},             // no digits
        {"Width:Height: 77 ", 5, 6, "Width:Height: 6"},                         // one run for both
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        RewriteDimensionsInText(text, c.width, c.height);
        EXPECT_EQ(text, c.expected) << c.text;
    }
}

TEST(ExportJPEGSegmentsTest, AProfileGoesInNumberedChunks) {
    std::vector<uint8_t> profile(70000);
    for (size_t i = 0; i < profile.size(); ++i) profile[i] = uint8_t(i * 7);
    const auto segments = ExportJPEGImage::BuildICCProfileSegments(profile.data(), profile.size());
    ASSERT_EQ(segments.size(), 3u);
    std::vector<uint8_t> joined;
    const size_t sizes[] = {32000, 32000, 6000};
    for (size_t k = 0; k < 3; ++k) {
        const std::vector<uint8_t>& s = segments[k];
        EXPECT_EQ(s[1], 0xE2);
        EXPECT_EQ(Big16(s, 2), sizes[k] + 16);
        EXPECT_EQ(std::string(s.begin() + 4, s.begin() + 16), std::string("ICC_PROFILE\0", 12));
        EXPECT_EQ(s[16], k + 1);
        EXPECT_EQ(s[17], 3);
        EXPECT_EQ(s.size(), sizes[k] + 18);
        joined.insert(joined.end(), s.begin() + 18, s.end());
    }
    EXPECT_EQ(joined, profile);
    // Chunk numbers are one byte: 255 chunks at most.
    std::vector<uint8_t> large(255u * 32000 + 1);
    EXPECT_TRUE(ExportJPEGImage::BuildICCProfileSegments(large.data(), large.size()).empty());
    EXPECT_EQ(ExportJPEGImage::BuildICCProfileSegments(large.data(), large.size() - 1).size(), 255u);
    EXPECT_TRUE(ExportJPEGImage::BuildICCProfileSegments(large.data(), 0).empty());
}

TEST(ExportJPEGSegmentsTest, SegmentsPastTheirLengthAreLeftOut) {
    std::vector<uint8_t> stream(65515, 0xAB);
    const std::vector<uint8_t> preview = ExportJPEGImage::BuildPreviewSegment(375, 250, stream.data(), stream.size());
    ASSERT_EQ(preview.size(), 65537u);
    EXPECT_EQ(Big16(preview, 2), 65535);
    EXPECT_EQ(std::vector<uint8_t>(preview.begin(), preview.begin() + 22),
              (std::vector<uint8_t>{0xFF, 0xE4, 0xFF, 0xFF, 'L', 'M', 'B', 'i', 'g', 'T', 'N', 0, 0, 0, 0, 0, 0x01,
                                    0x77, 0x00, 0xFA, 0, 1}));
    stream.push_back(0xAB);
    EXPECT_TRUE(ExportJPEGImage::BuildPreviewSegment(375, 250, stream.data(), stream.size()).empty());

    std::vector<uint8_t> block(60000, 1), thumb(5524, 2);
    const std::vector<uint8_t> exif = ExportJPEGImage::BuildExifSegment(block.data(), 60000, thumb.data(), 5524);
    ASSERT_EQ(exif.size(), 65534u);
    EXPECT_EQ(Big16(exif, 2), 65532);
    EXPECT_EQ(std::string(exif.begin() + 4, exif.begin() + 10), std::string("Exif\0\0", 6));
    EXPECT_TRUE(ExportJPEGImage::BuildExifSegment(block.data(), 60000, thumb.data(), 5525).empty());
}
