#include "FinishedTIFFImage.h"
#include <array>

#include <gtest/gtest.h>

using namespace NimbalCore;

namespace {

// A little-endian header and one directory at 8 with the given entries
// (tag, type, count, value), then the link and the extra bytes.
std::vector<uint8_t> Directory(std::vector<std::array<uint32_t, 4>> entries, uint32_t link,
                               std::vector<uint8_t> extra = {}) {
    std::vector<uint8_t> b = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto u16 = [&](uint32_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    u16(uint32_t(entries.size()));
    for (auto& e : entries) u16(e[0]), u16(e[1]), u32(e[2]), u32(e[3]);
    u32(link);
    b.insert(b.end(), extra.begin(), extra.end());
    return b;
}

} // namespace

TEST(FinishedImageDirectory, ValuesInsideTheBytesAreRead) {
    // 8 + 2 + 3 * 12 + 4 = 50: the extra bytes start there.
    auto bytes = Directory({{271, 2, 4, 'A' | 'b' << 8 | 'c' << 16}, {272, 2, 7, 50}, {282, 5, 1, 57}}, 0x1234,
                           {'Z', 'Y', 'N', 'M', '0', '1', 0, 0, 0, 0, 3, 0, 0, 0, 2});
    FinishedTIFFImage image{FilePathSpec("/nonexistent.tif")};
    image.SetFileBytes(bytes, bytes.size());
    ASSERT_TRUE(image.DetectByteOrder(0));
    EXPECT_EQ(image.GetIFDString(8, 271), "Abc");
    EXPECT_EQ(image.GetIFDString(8, 272), "ZYNM01");
    EXPECT_EQ(image.GetIFDString(8, 282), ""); // not ASCII
    EXPECT_EQ(image.GetNextIFD(8), 0x1234u);
    EXPECT_EQ(image.GetIFDCount(8, 272), 7u);
    EXPECT_FALSE(image.FindIFDEntry(8, 999));
}

TEST(FinishedImageDirectory, AnythingOutsideTheBytesIsAbsent) {
    struct Case { const char* name; std::vector<uint8_t> bytes; uint64_t ifd; uint16_t tag; };
    auto cutEntry = Directory({{271, 2, 4, 0x41}, {272, 4, 1, 9}}, 0);
    cutEntry.resize(8 + 2 + 12 + 6); // the second entry is cut short
    auto farValue = Directory({{272, 2, 40, 0xFFFFFFF0}}, 0);
    auto hugeCount = Directory({{272, 2, 0xFFFFFFFF, 50}}, 0);
    auto manyEntries = Directory({{272, 4, 1, 9}}, 0);
    manyEntries[8] = 151;
    const Case cases[] = {{"entry cut short", cutEntry, 8, 272},
                          {"value far away", farValue, 8, 272},
                          {"count past the file", hugeCount, 8, 272},
                          {"more than 150 entries", manyEntries, 8, 272},
                          {"directory past the bytes", cutEntry, 0xFFFFFFF0, 271}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FinishedTIFFImage image{FilePathSpec("/nonexistent.tif")};
        image.SetFileBytes(c.bytes, c.bytes.size());
        ASSERT_TRUE(image.DetectByteOrder(0));
        EXPECT_EQ(image.GetIFDString(c.ifd, c.tag), "");
        if (std::string(c.name) != "count past the file" && std::string(c.name) != "value far away") {
            EXPECT_EQ(image.GetIFDValue(c.ifd, c.tag), 0u);
        }
    }
    // The link after a directory whose count runs past the bytes.
    auto link = Directory({{272, 4, 1, 9}}, 77);
    link[8] = 100;
    FinishedTIFFImage image{FilePathSpec("/nonexistent.tif")};
    image.SetFileBytes(link, link.size());
    ASSERT_TRUE(image.DetectByteOrder(0));
    EXPECT_EQ(image.GetNextIFD(8), 0u);
}

TEST(FinishedImageDirectory, RationalsAndHeaders) {
    auto bytes = Directory({}, 0, {3, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0});
    FinishedTIFFImage image{FilePathSpec("/nonexistent.tif")};
    image.SetFileBytes(bytes, bytes.size());
    ASSERT_TRUE(image.DetectByteOrder(0));
    EXPECT_FLOAT_EQ(image.ReadRational(14), 0.75f);
    EXPECT_FLOAT_EQ(image.ReadRational(22), 0.0f); // zero denominator
    EXPECT_FLOAT_EQ(image.ReadRational(uint64_t(1) << 40), 0.0f);
    EXPECT_FALSE(image.DetectByteOrder(2));
    EXPECT_TRUE(image.IsBigEndian() == false);
    std::vector<uint8_t> junk = {1, 2, 3, 'M', 'M', 0, 42, 9, 9};
    image.SetFileBytes(junk, junk.size());
    EXPECT_EQ(image.FindTIFFHeader(), std::optional<uint64_t>(3));
    EXPECT_TRUE(image.IsBigEndian());
}
