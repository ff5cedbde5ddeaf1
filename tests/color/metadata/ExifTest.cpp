// The Exif collector on files exiftool wrote and on hand-made bad sources.
#include "Exif.h"
#include "ShellCommand.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace NimbalCore;
using lumora::test::RunCommand;

namespace {

uint32_t Host32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }

// A TIFF made by libtiff, with Exif and GPS tags set by exiftool.
std::string MakeSource(const std::string& order, const std::string& tags) {
    const std::string dir = std::filesystem::temp_directory_path().string();
    const std::string stem = dir + "/lumora-exif-" + std::to_string(getpid()) + order;
    std::ofstream(stem + ".raw", std::ios::binary) << std::string(64, '\x80');
    RunCommand("raw2tiff -w 8 -l 8 -b 1 " + stem + ".raw " + stem + ".tif 2>&1");
    std::remove((stem + ".raw").c_str());
    if (order == "MM") RunCommand("tiffcp -B " + stem + ".tif " + stem + "b.tif && mv " + stem + "b.tif " + stem + ".tif");
    RunCommand("exiftool -q -overwrite_original " + tags + " " + stem + ".tif 2>&1");
    return stem + ".tif";
}

std::vector<uint8_t> LittleTiff(std::vector<uint8_t> ifd0AndMore) {
    std::vector<uint8_t> b = {'I', 'I', 0x2A, 0, 8, 0, 0, 0};
    b.insert(b.end(), ifd0AndMore.begin(), ifd0AndMore.end());
    return b;
}

} // namespace

TEST(ExifTest, CollectsWhatExiftoolWroteInBothByteOrders) {
    if (RunCommand("command -v exiftool").empty() || RunCommand("command -v raw2tiff").empty()) GTEST_SKIP();
    const std::string tags =
        "-ExposureTime=0.008 -FNumber=5.6 -ExposureIndex=200 -ISO=200 -Make=Orvex -Model=ZYNM01 "
        "-GPSLatitude=59.9 -GPSLatitudeRef=N -GPSAltitude=12.5 -DateTimeOriginal='2026:12:10 18:30:00'";
    for (const std::string order : {"II", "MM"}) {
        SCOPED_TRACE(order);
        const std::string path = MakeSource(order, tags);
        Exif exif;
        ASSERT_EQ(exif.ReadFromFile(path), 0);
        char magic[2] = {};
        std::ifstream(path, std::ios::binary).read(magic, 2);
        EXPECT_EQ(std::string(magic, 2), order);
        const std::vector<ExifEntry>* list = nullptr;
        exif.GetEntriesForIFD(int(Exif::KindExif), &list);
        exif.ClearEntries();
        ASSERT_EQ(exif.CollectEntries(0x7F), 0);
        std::string make;
        EXPECT_EQ(exif.GetString(271, make), 0);
        EXPECT_EQ(make, "Orvex");
        ExifEntry e;
        ASSERT_EQ(exif.GetEntry(33434, &e), 0);
        EXPECT_EQ(double(Host32(e.data)) / Host32(e.data + 4), 0.008);
        ASSERT_EQ(exif.GetEntry(34855, &e), 0);
        EXPECT_EQ(e.value, 200u);
        std::string date;
        EXPECT_EQ(exif.GetString(36867, date), 0);
        EXPECT_EQ(date, "2026:12:10 18:30:00");
        exif.GetEntriesForIFD(Exif::KindGPS, &list);
        bool altitude = false;
        for (const ExifEntry& g : *list)
            if (g.tag == 6) altitude = double(Host32(g.data)) / Host32(g.data + 4) == 12.5;
        EXPECT_TRUE(altitude);
        EXPECT_TRUE(exif.IsGPSValid());
        // APEX from t = 1/125, N = 5.6, EI = 200.
        ASSERT_EQ(exif.GetEntry(37377, &e), 0);
        EXPECT_EQ(int32_t(Host32(e.data)), 7132);
        ASSERT_EQ(exif.GetEntry(37378, &e), 0);
        EXPECT_EQ(Host32(e.data), 5090u);
        std::remove(path.c_str());
    }
}

TEST(ExifTest, BadSourcesAnswerTheirStatus) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int status;
    };
    std::vector<uint8_t> many = LittleTiff({0xE9, 0x03});   // 1001 entries
    many.resize(many.size() + 12 * 1001 + 4, 0);
    for (size_t i = 0; i < 1001; ++i) many[10 + 12 * i] = 0x0F, many[11 + 12 * i] = 0x01, many[12 + 12 * i] = 2;
    const std::vector<Case> cases = {
        {"empty", {}, 2203},
        {"IFD0 at 0", {'I', 'I', 0x2A, 0, 0, 0, 0, 0}, 2203},
        {"IFD0 past the bytes", {'I', 'I', 0x2A, 0, 0xFF, 0, 0, 0}, 2203},
        {"DQT before APP1", {0xFF, 0xD8, 0xFF, 0xDB, 0, 4, 0, 0, 0, 0}, 2117},
        {"APP1 without Exif then DQT", {0xFF, 0xD8, 0xFF, 0xE1, 0, 6, 'X', 'M', 'P', 0, 0xFF, 0xDB, 0, 4, 0, 0, 0}, 2117},
        {"not an image", {1, 2, 3, 4, 5, 6, 7, 8}, 2203},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Exif exif;
        EXPECT_EQ(exif.ReadFromBytes(ByteView(c.bytes.data(), c.bytes.size())), c.status);
    }
    Exif exif;
    ASSERT_EQ(exif.ReadFromBytes(ByteView(many.data(), many.size())), 0);
    EXPECT_EQ(exif.CollectEntries(Exif::CollectIFD0), 2205);
}

TEST(ExifTest, JpegSegmentsAndTheIfd0Offset) {
    // APP1 "Exif" NUL NUL, then a big-endian TIFF header whose IFD0 holds one
    // SHORT (Orientation 6).
    auto exifApp1 = [](uint32_t ifd0) {
        std::vector<uint8_t> tiff = {'M', 'M', 0, 0x2A, uint8_t(ifd0 >> 24), uint8_t(ifd0 >> 16), uint8_t(ifd0 >> 8),
                                     uint8_t(ifd0), 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 6, 0, 0, 0, 0, 0, 0, 0, 0};
        const size_t length = 2 + 6 + tiff.size();
        std::vector<uint8_t> seg = {0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length), 'E', 'x', 'i', 'f', 0, 0};
        seg.insert(seg.end(), tiff.begin(), tiff.end());
        return seg;
    };
    auto jpeg = [](std::vector<std::vector<uint8_t>> segments) {
        std::vector<uint8_t> b = {0xFF, 0xD8};
        for (const auto& s : segments) b.insert(b.end(), s.begin(), s.end());
        b.insert(b.end(), {0xFF, 0xDB, 0, 4, 0, 0, 0xFF, 0xD9});
        return b;
    };
    const std::vector<uint8_t> xmp = {0xFF, 0xE1, 0, 6, 'h', 't', 't', 'p'};
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int status;
        bool orientation;
    } cases[] = {
        {"Exif APP1", jpeg({exifApp1(8)}), 0, true},
        {"another APP1 first is skipped", jpeg({xmp, exifApp1(8)}), 0, true},
        // 40 is below the file's 48 bytes, but 40 after the Exif header is not.
        {"IFD0 below the file size, past the bytes", jpeg({exifApp1(40)}), 2203, false},
        {"IFD0 at 0", jpeg({exifApp1(0)}), 2203, false},
        {"no Exif before the tables", jpeg({xmp}), 2117, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Exif exif;
        EXPECT_EQ(exif.ReadFromBytes(ByteView(c.bytes.data(), c.bytes.size())), c.status);
        exif.CollectEntries(Exif::CollectExifSlot | Exif::CollectIFD0);
        ExifEntry e;
        EXPECT_EQ(exif.GetEntry(274, &e) == 0 && e.value == 6, c.orientation);
    }
}

TEST(ExifTest, GpsDirectoryWithAZeroDenominator) {
    // IFD0 points at a GPS directory whose altitude is 0/0 and whose
    // latitude reference is fine.
    std::vector<uint8_t> b = LittleTiff({1, 0, 0x25, 0x88, 4, 0, 1, 0, 0, 0, 26, 0, 0, 0, 0, 0, 0, 0,
                                         // GPS IFD at 26: two entries
                                         2, 0, 1, 0, 2, 0, 2, 0, 0, 0, 'N', 0, 0, 0, 6, 0, 5, 0, 1, 0, 0, 0, 56, 0,
                                         0, 0, 0, 0, 0, 0,
                                         // 56: altitude 0/0
                                         0, 0, 0, 0, 0, 0, 0, 0});
    Exif exif;
    ASSERT_EQ(exif.ReadFromBytes(ByteView(b.data(), b.size())), 0);
    EXPECT_FALSE(exif.IsGPSValid());
    ASSERT_EQ(exif.CollectEntries(Exif::CollectGPS), 0);
    EXPECT_TRUE(exif.HasTag(1));
    EXPECT_FALSE(exif.HasTag(6));
    // The same directory with the altitude 125/10 is valid.
    b[b.size() - 8] = 125;
    b[b.size() - 4] = 10;
    Exif fixed;
    ASSERT_EQ(fixed.ReadFromBytes(ByteView(b.data(), b.size())), 0);
    EXPECT_TRUE(fixed.IsGPSValid());
}

TEST(ExifTest, SharedValuesZeroDenominatorsAndInlineText) {
    // Big-endian IFD0: Make and Model point at the same 6 bytes; XResolution
    // has a zero denominator; Software is a 4-byte inline text without NUL.
    std::vector<uint8_t> b = {'M', 'M', 0, 0x2A, 0, 0, 0, 8, 0, 4};
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        const uint8_t e[12] = {uint8_t(tag >> 8), uint8_t(tag), uint8_t(type >> 8), uint8_t(type), uint8_t(count >> 24),
                               uint8_t(count >> 16), uint8_t(count >> 8), uint8_t(count), uint8_t(value >> 24),
                               uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
        b.insert(b.end(), e, e + 12);
    };
    entry(271, 2, 6, 62);
    entry(272, 2, 6, 62);
    entry(282, 5, 1, 68);
    entry(305, 2, 4, 0x41424344);
    b.insert(b.end(), {0, 0, 0, 0});
    b.insert(b.end(), {'O', 'r', 'v', 'e', 'x', 0, 0, 0, 0, 72, 0, 0, 0, 0});
    const std::vector<uint8_t> before = b;
    Exif exif;
    ASSERT_EQ(exif.ReadFromBytes(ByteView(b.data(), b.size())), 0);
    ASSERT_EQ(exif.CollectEntries(Exif::CollectIFD0), 0);
    std::string make, model, software;
    EXPECT_EQ(exif.GetString(271, make), 0);
    EXPECT_EQ(exif.GetString(272, model), 0);
    EXPECT_EQ(make, "Orvex");
    EXPECT_EQ(model, "Orvex");
    EXPECT_FALSE(exif.HasTag(282));
    EXPECT_EQ(exif.GetString(305, software), 0);
    EXPECT_EQ(software, "ABC");
    EXPECT_EQ(b, before);
    EXPECT_EQ(exif.ComputeApexValues(), 2109);
}

TEST(ExifTest, ZeroExposureTimeHasNoApexValues) {
    Exif exif;
    const uint8_t zero[8] = {0, 0, 0, 0, 125, 0, 0, 0}, fn[8] = {56, 0, 0, 0, 10, 0, 0, 0}, ei[8] = {200, 0, 0, 0, 1, 0, 0, 0};
    exif.SetEntry(ExifEntry{33434, 5, 1, 0, zero});
    exif.SetEntry(ExifEntry{33437, 5, 1, 0, fn});
    exif.SetEntry(ExifEntry{41493, 5, 1, 0, ei});
    EXPECT_EQ(exif.ComputeApexValues(), 2109);
    EXPECT_FALSE(exif.HasTag(37377));
}
