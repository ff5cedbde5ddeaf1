// The TIFF header builder: layout, alignment, inline and out-of-line values,
// byte order, offset fix-ups, and a header checked by libtiff and exiftool.

#include "NbErrorCodes.h"
#include "ShellCommand.h"
#include "TiffBuilder.h"
#include "TiffTag.h"
#include "TiffTypeSize.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace NimbalCore;
using lumora::test::RunCommand;

namespace {

uint32_t Big32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; }
uint16_t Big16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }

const uint8_t* Block(TiffBuilder& b) { return static_cast<const uint8_t*>(b.GetData()); }

// The 12 bytes of entry i of the directory at offset.
const uint8_t* EntryAt(TiffBuilder& b, uint32_t ifdOffset, int i) { return Block(b) + ifdOffset + 2 + 12 * i; }

void AddLong(TiffBuilder& b, uint16_t tag, uint32_t value) {
    TiffEntry e{tag, TiffTypeLong, 1, &value};
    b.AddEntry(&e);
}

} // namespace

TEST(TiffBuilderTest, TypeSizes) {
    const std::vector<std::pair<uint16_t, uint32_t>> cases = {{1, 1}, {2, 1}, {3, 2}, {4, 4}, {5, 8}, {6, 1}, {7, 1},
                                                              {8, 2}, {9, 4}, {10, 8}, {11, 8}, {12, 8}, {0, 0}, {13, 0}};
    for (auto [type, size] : cases) EXPECT_EQ(TiffTypeSize(type), size) << type;
}

TEST(TiffBuilderTest, AlignmentRuleAtTheQuotedEnds) {
    // Two directories arranged so the last one ends exactly at 300, 304, 305
    // is impossible (directory sizes are 6 + 12n); the rule is checked on
    // the ends we can make and on the quoted numbers directly.
    for (auto [end, v] : std::vector<std::pair<uint32_t, uint32_t>>{{300, 320}, {304, 320}, {305, 336}})
        EXPECT_EQ((end + 31) & ~15u, v);
    TiffBuilder b(TiffBuilder::TiffFile);
    b.NewIFD(0);
    for (int i = 0; i < 24; ++i) AddLong(b, uint16_t(300 + i), 7);   // ends at 8 + 2 + 288 + 4 = 302
    const std::string text(4, 'x');                                  // 5 bytes → 6 in the area
    b.AddString(305, text);                                           // now 25 entries: ends at 314
    uint8_t blob[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    TiffEntry e{999, TiffTypeUndefined, 10, blob};
    b.AddEntry(&e);   // 26 entries: ends at 326 → V = 352; area 6 + 10 = 16 → T = 384
    b.Build();
    EXPECT_EQ(b.GetSize(), 384);
    const uint8_t* s = EntryAt(b, 8, 24);
    EXPECT_EQ(Big32(s + 8), 352u);
    EXPECT_EQ(Big32(EntryAt(b, 8, 25) + 8), 352u + 6);   // the 5-byte string took 6
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Block(b) + 352)), "xxxx");
}

TEST(TiffBuilderTest, InlineValuesAndByteOrder) {
    TiffBuilder b(TiffBuilder::TiffFile);
    b.NewIFD(0);
    uint32_t shortOne = 0x1234;
    uint16_t shortTwo[2] = {0x0102, 0x0304};
    TiffEntry e1{256, TiffTypeShort, 1, &shortOne};
    b.AddEntry(&e1);
    EXPECT_EQ(e1.tag, 0);   // the caller's record is zeroed
    EXPECT_EQ(e1.value, nullptr);
    TiffEntry e2{258, TiffTypeShort, 2, shortTwo};
    b.AddEntry(&e2);
    AddLong(b, 259, 0xA1B2C3D4);
    TiffEntry e4{36864, TiffTypeUndefined, 4, "0221"};
    b.AddEntry(&e4);
    uint32_t longs[2] = {0x11223344, 0x55667788};
    TiffEntry e5{300, TiffTypeLong, 2, longs};
    b.AddEntry(&e5);
    const uint8_t iptc[6] = {0x1C, 0x02, 0x00, 0x00, 0x02, 0x00};
    TiffEntry e6{TiffTagIPTC, TiffTypeLong, 0, nullptr};
    uint8_t iptcLong[8] = {0x1C, 0x02, 0x00, 0x00, 0x02, 0x00, 0x03, 0x00};
    (void)iptc;
    e6.count = 2;
    e6.value = iptcLong;
    b.AddEntry(&e6);
    b.Build();
    const uint8_t* p = Block(b);
    EXPECT_EQ(std::vector<uint8_t>(p, p + 8), (std::vector<uint8_t>{0x4D, 0x4D, 0, 0x2A, 0, 0, 0, 8}));
    EXPECT_EQ(Big16(p + 8), 6);
    auto bytes = [&](int i) { return std::vector<uint8_t>(EntryAt(b, 8, i), EntryAt(b, 8, i) + 12); };
    EXPECT_EQ(bytes(0), (std::vector<uint8_t>{0x01, 0x00, 0, 3, 0, 0, 0, 1, 0x12, 0x34, 0, 0}));
    EXPECT_EQ(bytes(1), (std::vector<uint8_t>{0x01, 0x02, 0, 3, 0, 0, 0, 2, 0x01, 0x02, 0x03, 0x04}));
    EXPECT_EQ(bytes(2), (std::vector<uint8_t>{0x01, 0x03, 0, 4, 0, 0, 0, 1, 0xA1, 0xB2, 0xC3, 0xD4}));
    EXPECT_EQ(bytes(3), (std::vector<uint8_t>{0x90, 0x00, 0, 7, 0, 0, 0, 4, '0', '2', '2', '1'}));
    const uint32_t longsAt = Big32(EntryAt(b, 8, 4) + 8);
    EXPECT_EQ(Big32(p + longsAt), 0x11223344u);
    EXPECT_EQ(Big32(p + longsAt + 4), 0x55667788u);
    // The IPTC block keeps its bytes; a LONG elsewhere would be swapped.
    const uint32_t iptcAt = Big32(EntryAt(b, 8, 5) + 8);
    EXPECT_EQ(std::vector<uint8_t>(p + iptcAt, p + iptcAt + 8), std::vector<uint8_t>(iptcLong, iptcLong + 8));
    EXPECT_EQ(Big32(p + 8 + 2 + 6 * 12), 0u);   // no next directory
}

TEST(TiffBuilderTest, DatesAreCutOnOurOwnCopy) {
    TiffBuilder b(TiffBuilder::TiffFile);
    b.NewIFD(0);
    std::string date = "2026:12:10 18:30:00 and more";
    date.resize(25);
    const std::string before = date;
    TiffEntry e{TiffTagDateTime, TiffTypeAscii, 26, date.c_str()};
    b.AddEntry(&e);
    EXPECT_EQ(date, before);
    b.Build();
    const uint8_t* entry = EntryAt(b, 8, 0);
    EXPECT_EQ(Big32(entry + 4), 20u);
    const uint8_t* value = Block(b) + Big32(entry + 8);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(value), 20), std::string("2026:12:10 18:30:00") + '\0');
}

// A date tag that is not text (a damaged source) is laid out whole, not cut
// to 20 entries of its type with only 20 bytes behind them.
TEST(TiffBuilderTest, ADateTagOfAnotherTypeIsNotCut) {
    TiffBuilder b(TiffBuilder::TiffFile);
    b.NewIFD(0);
    uint32_t values[10];
    for (uint32_t i = 0; i < 10; ++i) values[i] = 0x01020304u + i;
    TiffEntry e{TiffTagDateTime, TiffTypeLong, 10, values};
    b.AddEntry(&e);
    b.Build();
    const uint8_t* entry = EntryAt(b, 8, 0);
    EXPECT_EQ(Big32(entry + 4), 10u);
    const uint32_t offset = Big32(entry + 8);
    ASSERT_LE(uint64_t(offset) + 40, uint64_t(b.GetSize()));
    EXPECT_EQ(Big32(Block(b) + offset + 36), 0x01020304u + 9);
}

TEST(TiffBuilderTest, FloatsBecomeRationalsOfHundredths) {
    TiffBuilder b(TiffBuilder::TiffFile);
    b.NewIFD(0);
    float f = 300.0f;
    double d = -1.5;
    TiffEntry e1{282, TiffTypeFloat, 1, &f};
    b.AddEntry(&e1);
    TiffEntry e2{37380, TiffTypeDouble, 1, &d};
    b.AddEntry(&e2);
    b.Build();
    const uint8_t* p = Block(b);
    const uint8_t* a = EntryAt(b, 8, 0);
    EXPECT_EQ(Big16(a + 2), TiffTypeRational);
    EXPECT_EQ(Big32(p + Big32(a + 8)), 30000u);
    EXPECT_EQ(Big32(p + Big32(a + 8) + 4), 100u);
    const uint8_t* s = EntryAt(b, 8, 1);
    EXPECT_EQ(Big16(s + 2), TiffTypeSRational);
    EXPECT_EQ(int32_t(Big32(p + Big32(s + 8))), -150);
    EXPECT_EQ(Big32(p + Big32(s + 8) + 4), 100u);
}

TEST(TiffBuilderTest, OffsetFixUpsOfBothModes) {
    struct Case {
        int32_t mode;
        uint16_t tag;
        uint32_t value;
        int expected;   // -1: T, -2: T + main bytes, k >= 0: offset of IFD k, -3: zero, -4: unchanged
    };
    const std::vector<Case> cases = {
        {0, TiffTagStripOffsets, 0, -1},    {0, TiffTagStripOffsets, 1, -2},    {0, TiffTagStripOffsets, 9, -4},
        {1, TiffTagStripOffsets, 9, -1},    {0, TiffTagJPEGInterchangeFormat, 5, -1},
        {1, TiffTagJPEGInterchangeFormat, 5, -1},
        {0, TiffTagSubIFDs, 5, -3},         {1, TiffTagSubIFDs, 5, -3},         {0, TiffTagPrivateIFD, 5, 2},
        {1, TiffTagPrivateIFD, 5, -3},      {0, TiffTagExifIFD, 5, 3},          {1, TiffTagExifIFD, 5, 2},
        {0, TiffTagGPSInfoIFD, 5, -3},      {1, TiffTagGPSInfoIFD, 5, -3},      // only four IFDs
        {0, TiffTagInteroperabilityIFD, 5, 3}, {1, TiffTagInteroperabilityIFD, 5, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " tag " << c.tag << " value " << c.value);
        TiffBuilder b(c.mode);
        b.SetMainImageByteCount(1000);
        for (int id = 0; id < 4; ++id) {
            b.NewIFD(id);
            AddLong(b, c.tag, c.value);
            b.SetNextIFD(id == 0 ? 1 : 0);
        }
        b.Build();
        const uint32_t t = uint32_t(b.GetSize());
        const uint32_t got = Big32(EntryAt(b, 8, 0) + 8);
        switch (c.expected) {
        case -1: EXPECT_EQ(got, t); break;
        case -2: EXPECT_EQ(got, t + 1000); break;
        case -3: EXPECT_EQ(got, 0u); break;
        case -4: EXPECT_EQ(got, c.value); break;
        default: EXPECT_EQ(got, uint32_t(b.GetIFDOffset(c.expected)));
        }
        // IFD 0 links to the IFD at position 1.
        EXPECT_EQ(Big32(Block(b) + 8 + 2 + 12 + 0), uint32_t(b.GetIFDOffset(1)));
    }
}

TEST(TiffBuilderTest, NullEntryThrows) {
    TiffBuilder b(TiffBuilder::TiffFile);
    b.NewIFD(0);
    try {
        b.AddEntry(nullptr);
        FAIL();
    } catch (int code) {
        EXPECT_EQ(code, NbErrNullTiffEntry);
    }
    // Ids outside the eight descriptors are refused before anything is written.
    for (int id : {-1, 8, 1000}) {
        try {
            b.NewIFD(id);
            FAIL() << id;
        } catch (int code) {
            EXPECT_EQ(code, NbErrBadArgument) << id;
        }
    }
    EXPECT_EQ(b.GetIFDCount(), 1);
}

TEST(TiffBuilderTest, FiveDirectoryHeaderReadByOutsideTools) {
    if (RunCommand("command -v tiffinfo").empty() || RunCommand("command -v exiftool").empty()) GTEST_SKIP() << "tools missing";
    const uint32_t width = 16, height = 8, thumbW = 4, thumbH = 2;
    TiffBuilder b(TiffBuilder::TiffFile);
    b.SetMainImageByteCount(int32_t(width * height));
    auto image = [&](uint32_t w, uint32_t h, uint32_t placeholder, uint32_t subfile) {
        AddLong(b, 254, subfile);
        AddLong(b, 256, w);
        AddLong(b, 257, h);
        uint32_t bits = 8, compression = 1, photometric = 1, spp = 1, planar = 1;
        TiffEntry e{258, TiffTypeShort, 1, &bits};
        b.AddEntry(&e);
        e = {259, TiffTypeShort, 1, &compression};
        b.AddEntry(&e);
        e = {262, TiffTypeShort, 1, &photometric};
        b.AddEntry(&e);
        AddLong(b, TiffTagStripOffsets, placeholder);
        e = {277, TiffTypeShort, 1, &spp};
        b.AddEntry(&e);
        AddLong(b, 278, h);
        AddLong(b, 279, w * h);
        const uint32_t res[2] = {300, 1};
        e = {282, TiffTypeRational, 1, res};
        b.AddEntry(&e);
        e = {283, TiffTypeRational, 1, res};
        b.AddEntry(&e);
        e = {284, TiffTypeShort, 1, &planar};
        b.AddEntry(&e);
    };
    b.NewIFD(0);
    image(width, height, 0, 0);
    b.AddString(TiffTagDateTime, "2026:12:10 18:30:00");
    AddLong(b, TiffTagExifIFD, 0);
    AddLong(b, TiffTagGPSInfoIFD, 0);
    b.SetNextIFD(1);
    b.NewIFD(1);
    image(thumbW, thumbH, 1, 1);
    b.NewIFD(2);
    AddLong(b, 1, 5);
    b.NewIFD(3);
    const uint32_t exposure[2] = {1, 125};
    TiffEntry e{33434, TiffTypeRational, 1, exposure};
    b.AddEntry(&e);
    e = {36864, TiffTypeUndefined, 4, "0221"};
    b.AddEntry(&e);
    b.AddString(TiffTagDateTimeOriginal, "2026:12:10 18:30:00");
    e = {40960, TiffTypeUndefined, 4, "0100"};
    b.AddEntry(&e);
    uint32_t srgb = 1;
    e = {40961, TiffTypeShort, 1, &srgb};
    b.AddEntry(&e);
    b.NewIFD(4);
    uint8_t version[4] = {2, 2, 0, 0};
    e = {0, TiffTypeByte, 4, version};
    b.AddEntry(&e);
    const char method[] = "ASCII\0\0\0GPS";   // 11 bytes: an odd value in the area
    e = {27, TiffTypeUndefined, 11, method};
    b.AddEntry(&e);
    b.Build();

    const std::string path = (std::filesystem::temp_directory_path() / ("lumora-tb-" + std::to_string(getpid()) + ".tif")).string();
    {
        std::ofstream out(path, std::ios::binary);
        out.write(static_cast<const char*>(b.GetData()), b.GetSize());
        out.write(std::string(width * height, char(0x80)).data(), width * height);
        out.write(std::string(thumbW * thumbH, char(0x40)).data(), thumbW * thumbH);
    }
    const std::string dump = RunCommand("tiffdump " + path + " 2>&1");
    EXPECT_EQ(dump.find("rror"), std::string::npos) << dump;
    const std::string info = RunCommand("tiffinfo " + path + " 2>&1");
    EXPECT_NE(info.find("Image Width: 16 Image Length: 8"), std::string::npos) << info;
    EXPECT_EQ(info.find("rror"), std::string::npos) << info;
    const std::string validate = RunCommand("exiftool -validate -warning -a -s " + path + " 2>&1");
    EXPECT_NE(validate.find("Validate"), std::string::npos) << validate;
    // Only minor warnings ("[minor]") may remain.
    std::string line;
    for (size_t pos = 0; pos < validate.size();) {
        const size_t nl = validate.find('\n', pos);
        line = validate.substr(pos, nl - pos);
        pos = nl == std::string::npos ? validate.size() : nl + 1;
        if (line.rfind("Warning", 0) == 0) {
            EXPECT_NE(line.find("[minor]"), std::string::npos) << line;
        }
    }
    const std::string exif = RunCommand("exiftool -n -s -ExposureTime -GPSVersionID -ExifVersion " + path + " 2>&1");
    EXPECT_NE(exif.find("ExposureTime                    : 0.008"), std::string::npos) << exif;
    EXPECT_NE(exif.find("GPSVersionID                    : 2 2 0 0"), std::string::npos) << exif;
    std::remove(path.c_str());
}
