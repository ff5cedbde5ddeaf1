#include "SdkUtilities.h"
#include "VqStatus.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(SdkUtilities, TiffTypeSizes) {
    const uint16_t expected[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 0};
    for (uint16_t t = 0; t < 14; ++t) EXPECT_EQ(SdkTiffTypeSize(t), expected[t]) << "type " << t;
    EXPECT_EQ(SdkTiffTypeSize(0xFFFF), 0);
}

TEST(SdkUtilities, FourCharacterCodes) {
    EXPECT_EQ(SdkFourCC("sRGB"), 0x73524742u);
    EXPECT_EQ(SdkFourCC("GRAY"), 0x47524159u);
    const char high[] = {'\xFF', 'a', 'b', 'c', 0};
    EXPECT_EQ(SdkFourCC(high), 0xFF616263u);
}

TEST(SdkUtilities, TextLengthStopsAtTheFieldOrTheFirstNul) {
    const char text[8] = {'C', 'A', 'M', 0, 'X', 'Y', 'Z', 'W'};
    EXPECT_EQ(SdkTextLength(text, 8, 16), 3u);
    EXPECT_EQ(SdkTextLength(text, 2, 16), 2u);
    EXPECT_EQ(SdkTextLength(text + 4, 4, 16), 4u);
    EXPECT_EQ(SdkTextLength(text + 4, 4, 3), 3u);
    EXPECT_EQ(SdkTextLength(text, 0, 16), 0u);
}

TEST(SdkUtilities, IntLog2) {
    const struct { int32_t v; uint32_t exp; uint32_t exact; } cases[] = {
        {1, 0, 1}, {96, 6, 0}, {0, 0, 0}, {-8, 0, 0}, {2, 1, 1}, {0x40000000, 30, 1}, {0x7FFFFFFF, 30, 0},
    };
    for (const auto& c : cases) {
        uint32_t e = 99;
        EXPECT_EQ(SdkIntLog2(c.v, &e), c.exact) << c.v;
        EXPECT_EQ(e, c.exp) << c.v;
    }
}

TEST(SdkUtilities, RotateRect) {
    const struct { float angle; int16_t r[4]; uint32_t status; } cases[] = {
        {0, {10, 20, 100, 50}, 0},         {90, {730, 10, 50, 100}, 0},   {-270, {730, 10, 50, 100}, 0},
        {180, {890, 730, 100, 50}, 0},     {-180, {890, 730, 100, 50}, 0}, {-90, {20, 890, 50, 100}, 0},
        {270, {20, 890, 50, 100}, 0},      {90.7f, {730, 10, 50, 100}, 0}, {45, {10, 20, 100, 50}, VQ_ERR_BAD_ROTATION},
        {1e30f, {10, 20, 100, 50}, VQ_ERR_BAD_ROTATION},
    };
    for (const auto& c : cases) {
        int16_t r[4] = {10, 20, 100, 50};
        EXPECT_EQ(SdkRotateRect(r, 1000, 800, c.angle), c.status) << c.angle;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(r[i], c.r[i]) << c.angle << " field " << i;
    }
    // 16-bit arithmetic wraps rather than overflowing.
    int16_t r[4] = {-32768, 0, 32767, 10};
    EXPECT_EQ(SdkRotateRect(r, 32767, 100, 180), 0u);
    EXPECT_EQ(r[0], int16_t(32767 + 32768 - 32767));
}

TEST(SdkUtilities, ByteOrderHelpers) {
    uint8_t b[2];
    SdkPutLittle16(0x1234, b);
    EXPECT_EQ(b[0], 0x34);
    EXPECT_EQ(b[1], 0x12);
    SdkPutBig16(0x1234, b);
    EXPECT_EQ(b[0], 0x12);
    EXPECT_EQ(b[1], 0x34);
    uint16_t s = 0;
    SdkStoreLittle16(0x1234, &s);
    EXPECT_EQ(s, 0x1234);
    SdkStoreSwapped16(0x1234, &s);
    EXPECT_EQ(s, 0x3412);
    SdkSwap16InPlace(&s);
    EXPECT_EQ(s, 0x1234);

    const uint8_t bytes[4] = {0x11, 0x22, 0x33, 0x44};
    uint32_t word;
    std::memcpy(&word, bytes, 4);
    EXPECT_EQ(SdkFromBig32(word), 0x11223344u);
    const uint32_t big = SdkToBig32(0xA1B2C3D4u);
    uint8_t out[4];
    std::memcpy(out, &big, 4);
    EXPECT_EQ(out[0], 0xA1);
    EXPECT_EQ(out[3], 0xD4);
    EXPECT_EQ(SdkToLittle32(0xA1B2C3D4u), 0xA1B2C3D4u);
    uint32_t w = 0x01020304;
    SdkSwap32InPlace(&w);
    EXPECT_EQ(w, 0x04030201u);
}

TEST(SdkUtilities, Nibbles) {
    uint8_t v = 0;
    SdkPackNibbles(20, 3, &v);
    EXPECT_EQ(v, 0xF3);
    SdkPackNibbles(200, 255, &v);
    EXPECT_EQ(v, 0xFF);
    uint8_t hi = 0, lo = 0;
    SdkSplitNibbles(0xA5, &hi, &lo);
    EXPECT_EQ(hi, 10);
    EXPECT_EQ(lo, 5);
}

TEST(SdkUtilities, CaseTablesOfTheStringHelpers) {
    // Only ASCII letters change case; everything else stays as it is.
    for (int c = 0; c < 256; ++c) {
        const char ch = char(c);
        const char expect = (c >= 'a' && c <= 'z') ? char(c - 32) : ch;
        ASSERT_EQ(SdkUpperCase(ch), expect) << c;
    }
    const struct { const char* a; const char* b; int32_t cmp; } compares[] = {
        {"abc", "ABD", -1}, {"abc", "ABC", 0}, {"ABD", "abc", 1}, {"ab", "abc", -1},
        {"", "", 0},        {"a_", "A^", 1},   {"\xE9", "\xC9", 1}, {"z", "\xE0", -1},
    };
    for (const auto& c : compares) EXPECT_EQ(SdkCompareNoCase(c.a, c.b), c.cmp) << c.a << " / " << c.b;

    const struct { const char* name; const char* text; int32_t at; } finds[] = {
        {"IMG_0001.ZYR", ".zyr", 8}, {"b.TIF", ".tif", 1}, {"tif", ".tif", -1}, {"aaa", "", 0},
        {"abc", "abcd", -1},         {"xAbCx", "aBc", 1},
    };
    for (const auto& f : finds) EXPECT_EQ(SdkFindTextNoCase(f.name, f.text), f.at) << f.name << " / " << f.text;
    const std::string longName(513, 'a');
    EXPECT_EQ(SdkFindTextNoCase(longName.c_str(), "a"), -1);
    EXPECT_EQ(SdkFindTextNoCase(longName.substr(1).c_str(), "a"), 0);
    // The searched text is the caller's and stays as it was.
    char text[] = ".tif";
    SdkFindTextNoCase("b.TIF", text);
    EXPECT_STREQ(text, ".tif");

    EXPECT_EQ(SdkLastIndexOf("a/b/c", '/'), 3);
    EXPECT_EQ(SdkLastIndexOf("abc", '/'), -1);
    EXPECT_EQ(SdkLastIndexOf("abc", '\0'), -1);
}

TEST(SdkUtilities, CopyBytes) {
    char* out = reinterpret_cast<char*>(0x1);
    uint32_t len = 7;
    EXPECT_EQ(SdkCopyBytes("xyz", 0, &out, &len), 0u);
    EXPECT_EQ(len, 0u);
    EXPECT_EQ(out, reinterpret_cast<char*>(0x1)) << "nothing to copy leaves out alone";
    EXPECT_EQ(SdkCopyBytes("xyz", 3, &out, &len), 0u);
    EXPECT_EQ(len, 3u);
    EXPECT_EQ(std::memcmp(out, "xyz", 3), 0);
    delete[] out;
}

TEST(SdkUtilities, PlaneCopies) {
    const uint8_t src[] = {1, 2, 3, 4, 5, 6};
    int16_t r[2], g[2], b[2];
    SdkSplitRgbTriples(r, g, b, src, 2, 4);
    EXPECT_EQ(r[0], 16);
    EXPECT_EQ(g[0], 32);
    EXPECT_EQ(b[1], 96);

    int16_t plane[4 * 5];
    for (int i = 0; i < 20; ++i) plane[i] = int16_t(i);
    int16_t out[6] = {};
    SdkCopyShortRect(plane, 1u | (2u << 16), 3u | (2u << 16), 5, out);
    const int16_t expect[6] = {11, 12, 13, 16, 17, 18};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(out[i], expect[i]);
    int16_t untouched[2] = {-1, -1};
    SdkCopyShortRect(plane, 0, 3u | (0u << 16), 5, untouched);
    EXPECT_EQ(untouched[0], -1);
}

TEST(SdkUtilities, DosStampsAndDates) {
    auto date = [](int y, int m, int d) { return uint16_t((y - 1980) * 512 + m * 32 + d); };
    auto time = [](int h, int mi, int s) { return uint16_t(h * 2048 + mi * 32 + s / 2); };
    const struct {
        uint16_t cd, ct, wd, wt, rd, rt;
    } cases[] = {
        {date(1995, 3, 4), time(10, 0, 0), date(1994, 1, 1), time(8, 0, 0), date(1994, 1, 1), time(8, 0, 0)},
        {date(1985, 1, 1), 0, date(1996, 6, 6), time(12, 0, 0), date(1996, 6, 6), time(12, 0, 0)},
        {date(1980, 1, 1), 5, date(1980, 2, 2), 6, 0x1421, 0},
        {date(1999, 1, 1), time(1, 0, 0), date(1989, 1, 1), 0, date(1999, 1, 1), time(1, 0, 0)},
        {date(1999, 1, 1), time(1, 0, 0), date(1999, 1, 1), time(1, 0, 0), date(1999, 1, 1), time(1, 0, 0)},
    };
    for (const auto& c : cases) {
        uint16_t cd = c.cd, ct = c.ct, wd = c.wd, wt = c.wt;
        SdkUnifyDosStamps(&cd, &ct, &wd, &wt);
        EXPECT_EQ(cd, c.rd);
        EXPECT_EQ(ct, c.rt);
        EXPECT_EQ(wd, c.rd);
        EXPECT_EQ(wt, c.rt);
    }

    time_t out = 0;
    EXPECT_EQ(SdkDosToTime(0x2A61, 0, &out), 983404800); // 2001-03-01 00:00:00, TZ=UTC
    EXPECT_EQ(out, 983404800);

    int16_t f[9];
    EXPECT_EQ(SdkParseDateText("2001:02:03 04:05:06", f), -1);
    const int16_t expect[9] = {6, 5, 4, 3, 1, 101, -1, -1, -1};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(f[i], expect[i]) << i;
    // A short text stops where it ends.
    SdkParseDateText("2001:02", f);
    EXPECT_EQ(f[5], 101);
    EXPECT_EQ(f[4], 1);
    EXPECT_EQ(f[3], 0);
    EXPECT_EQ(f[0], 0);
}

TEST(SdkUtilities, MapFileError) {
    const struct { uint32_t in, out; } cases[] = {
        {0x6002, 0x6802}, {0x6003, 0x6802}, {0x6004, 0x6804}, {0x6009, 0x6809},
        {0x6010, 0x6810}, {0x6011, 0x6011}, {0, 0},           {0x6001, 0x6001}, {2, 2},
    };
    for (const auto& c : cases) EXPECT_EQ(SdkMapFileError(c.in), c.out) << std::hex << c.in;
}
