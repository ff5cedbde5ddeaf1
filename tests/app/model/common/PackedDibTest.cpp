// Packed DIBs read into pixels and written back: the padding of rows, the
// bottom-up order, the grey table of one-channel copies, and bytes that are
// no picture refused without reading past them.
#include "PackedDib.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct DibFields {
    int32_t width = 3;
    int32_t height = 2;
    uint16_t planes = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
};

void DibPut32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// A header, then the colour table and the rows as given.
std::vector<uint8_t> DibBytes(const DibFields& f, const std::vector<uint8_t>& tableAndRows) {
    std::vector<uint8_t> out(40, 0);
    DibPut32(out, 0, 40);
    DibPut32(out, 4, uint32_t(f.width));
    DibPut32(out, 8, uint32_t(f.height));
    out[12] = uint8_t(f.planes);
    out[14] = uint8_t(f.bitCount);
    DibPut32(out, 16, f.compression);
    DibPut32(out, 32, f.colorsUsed);
    out.insert(out.end(), tableAndRows.begin(), tableAndRows.end());
    return out;
}

std::optional<PackedDib::Rgb> DibDecode(const std::vector<uint8_t>& bytes) {
    return PackedDib::Decode(lumora::ByteView(bytes.data(), bytes.size()));
}

TEST(PackedDib, ColourRowsArePaddedAndStoredBottomUp) {
    // 3 x 2, rows of 9 bytes padded to 12; the bottom row first, blue green red.
    const std::vector<uint8_t> rows = {
        7, 8, 9, 10, 11, 12, 13, 14, 15, 0, 0, 0, // bottom row
        1, 2, 3, 4, 5, 6, 255, 254, 253, 0, 0, 0, // top row
    };
    const auto picture = DibDecode(DibBytes({}, rows));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 3);
    EXPECT_EQ(picture->height, 2);
    const std::vector<uint8_t> expected = {3, 2, 1, 6, 5, 4, 253, 254, 255, 9, 8, 7, 12, 11, 10, 15, 14, 13};
    EXPECT_EQ(picture->pixels, expected);
    // Written back, the same bytes come out (with the image size filled in).
    std::vector<uint8_t> written = PackedDib::Encode(*picture);
    std::vector<uint8_t> original = DibBytes({}, rows);
    DibPut32(original, 20, 24);
    EXPECT_EQ(written, original);
}

TEST(PackedDib, NegativeHeightMeansTopDownRows) {
    DibFields f;
    f.width = 1;
    f.height = -2;
    const auto picture = DibDecode(DibBytes(f, {1, 2, 3, 0, 4, 5, 6, 0}));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixels, (std::vector<uint8_t>{3, 2, 1, 6, 5, 4}));
}

TEST(PackedDib, GreyPicturesGoThroughTheirColourTable) {
    // Two entries used, as a copy of a grey picture would carry 256.
    DibFields f;
    f.bitCount = 8;
    f.width = 2;
    f.height = 1;
    f.colorsUsed = 2;
    const auto picture = DibDecode(DibBytes(f, {0, 0, 0, 0, 200, 200, 200, 0, 1, 0, 0, 0}));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixels, (std::vector<uint8_t>{200, 200, 200, 0, 0, 0}));
    // No count means the whole table of 256 entries.
    f.colorsUsed = 0;
    std::vector<uint8_t> table(256 * 4, 0);
    for (int i = 0; i < 256; ++i) std::memset(&table[size_t(i) * 4], i, 3);
    table.insert(table.end(), {17, 250, 0, 0});
    const auto full = DibDecode(DibBytes(f, table));
    ASSERT_TRUE(full);
    EXPECT_EQ(full->pixels, (std::vector<uint8_t>{17, 17, 17, 250, 250, 250}));
}

TEST(PackedDib, BytesThatAreNoPictureAreRefused) {
    const std::vector<uint8_t> rows(24, 0);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    auto with = [&](auto change, std::vector<uint8_t> data) {
        DibFields f;
        change(f);
        return DibBytes(f, data);
    };
    std::vector<uint8_t> shortHeader(30, 0);
    std::vector<uint8_t> smallHeaderSize = DibBytes({}, rows);
    DibPut32(smallHeaderSize, 0, 12);
    const std::vector<Case> cases = {
        {"nothing", {}},
        {"a header cut short", shortHeader},
        {"a header size below 40", smallHeaderSize},
        {"rows cut short", DibBytes({}, std::vector<uint8_t>(23, 0))},
        {"no width", with([](DibFields& f) { f.width = 0; }, rows)},
        {"a negative width", with([](DibFields& f) { f.width = -3; }, rows)},
        {"no height", with([](DibFields& f) { f.height = 0; }, rows)},
        {"two planes", with([](DibFields& f) { f.planes = 2; }, rows)},
        {"16 bits", with([](DibFields& f) { f.bitCount = 16; }, rows)},
        {"32 bits", with([](DibFields& f) { f.bitCount = 32; }, rows)},
        {"run-length compression", with([](DibFields& f) { f.compression = 1; }, rows)},
        {"a table of 257 entries", with([](DibFields& f) { f.bitCount = 8; f.colorsUsed = 257; },
                                        std::vector<uint8_t>(257 * 4 + 8, 0))},
        {"an index beyond the table",
         with([](DibFields& f) { f.bitCount = 8; f.colorsUsed = 1; f.width = 1; f.height = 1; },
              {0, 0, 0, 0, 1, 0, 0, 0})},
        {"a height whose rows wrap", with([](DibFields& f) { f.height = 0x7fffffff; f.width = 0x7fffffff; }, rows)},
    };
    for (const Case& c : cases) EXPECT_FALSE(DibDecode(c.bytes)) << c.what;
}

TEST(PackedDib, PicturesWithoutMatchingPixelsAreNotWritten) {
    EXPECT_TRUE(PackedDib::Encode({}).empty());
    EXPECT_TRUE(PackedDib::Encode({2, 2, std::vector<uint8_t>(11, 0)}).empty());
    EXPECT_EQ(PackedDib::Encode({1, 1, {1, 2, 3}}).size(), 44u);
}

} // namespace
