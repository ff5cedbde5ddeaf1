// The stand-in drivers' container reader: every offset, size and count is
// checked against the file before anything is used.
#include "ZproContainer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

namespace {

// The container's numbers are little-endian 32-bit words.
void AppendWords(std::vector<uint8_t>& out, std::initializer_list<uint32_t> words) {
    for (uint32_t v : words)
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

std::vector<uint8_t> Header(uint32_t w, uint32_t h, uint32_t pixels, uint32_t table, uint32_t count,
                            uint32_t version = 1, const char* magic = "ZPRO") {
    std::vector<uint8_t> out(magic, magic + 4);
    AppendWords(out, {version, w, h, pixels, table, count});
    return out;
}

std::vector<uint8_t> ShortHeader() {
    std::vector<uint8_t> h = Header(2, 2, 28, 52, 0);
    h.resize(20);
    return h;
}

TEST(ZproContainer, HeaderChecksEveryFieldAgainstTheFileSize) {
    struct Case {
        const char* what;
        std::vector<uint8_t> header;
        uint64_t fileSize;
        bool ok;
    };
    // A 2 x 2 image: 24 pixel bytes after the 28-byte header.
    const Case cases[] = {
        {"valid", Header(2, 2, 28, 52, 0), 52, true},
        {"valid with room for one entry", Header(2, 2, 28, 52, 1), 68, true},
        {"wrong magic", Header(2, 2, 28, 52, 0, 1, "ZPRX"), 52, false},
        {"version 2", Header(2, 2, 28, 52, 0, 2), 52, false},
        {"zero width", Header(0, 2, 28, 52, 0), 52, false},
        {"zero height", Header(2, 0, 28, 52, 0), 52, false},
        {"pixels inside the header", Header(2, 2, 20, 52, 0), 52, false},
        {"pixels past the end", Header(2, 2, 28, 52, 0), 51, false},
        {"table before the pixels end", Header(2, 2, 28, 51, 0), 52, false},
        {"table past the end", Header(2, 2, 28, 60, 0), 52, false},
        {"count larger than the table", Header(2, 2, 28, 52, 1), 67, false},
        {"huge sides wrap in 32 bits", Header(0xFFFF, 0xFFFF, 28, 28, 0), 100, false},
        {"short header", ShortHeader(), 52, false},
    };
    for (const Case& c : cases) {
        zyn::ZproHeader h;
        EXPECT_EQ(zyn::ParseZproHeader(lumora::ByteView(c.header.data(), c.header.size()), c.fileSize, h), c.ok)
            << c.what;
    }
}

std::vector<uint8_t> Entry(uint32_t id, uint32_t type, uint32_t count, uint32_t length, std::vector<uint8_t> bytes) {
    std::vector<uint8_t> out;
    AppendWords(out, {id, type, count, length});
    out.insert(out.end(), bytes.begin(), bytes.end());
    return out;
}

TEST(ZproContainer, AttributeTableChecksLengthsTypesAndPadding) {
    struct Case {
        const char* what;
        std::vector<uint8_t> table;
        uint32_t count;
        bool ok;
    };
    const Case cases[] = {
        {"int", Entry(532, 2, 1, 4, {0, 8, 0, 0}), 1, true},
        {"text padded to 4", Entry(501, 3, 3, 3, {'A', 'B', 0, 0}), 1, true},
        {"rect counts 16 bytes", Entry(1923, 18, 1, 16, std::vector<uint8_t>(16)), 1, true},
        {"text without its padding", Entry(501, 3, 3, 3, {'A', 'B', 0}), 1, false},
        {"length disagrees with the count", Entry(532, 2, 1, 8, std::vector<uint8_t>(8)), 1, false},
        {"unknown type", Entry(532, 4, 1, 4, {0, 0, 0, 0}), 1, false},
        {"bytes past the table", Entry(1900, 5, 64, 64, std::vector<uint8_t>(8)), 1, false},
        {"count above the entries held", Entry(532, 2, 1, 4, {0, 8, 0, 0}), 2, false},
        {"negative count", Entry(532, 2, 0x80000000u, 0, {}), 1, false},
    };
    for (const Case& c : cases) {
        std::map<int32_t, zyn::ZproAttribute> out;
        EXPECT_EQ(zyn::ParseZproAttributes(lumora::ByteView(c.table.data(), c.table.size()), c.count, out), c.ok)
            << c.what;
    }
}

TEST(ZproContainer, SerializedTableReadsBack) {
    std::map<int32_t, zyn::ZproAttribute> in;
    in[525] = zyn::ZproAttribute{3, 5, {'2', '0', '2', '4', 0}};
    in[1800] = zyn::ZproAttribute{10, 1, {0, 0, 0x80, 0x3F}};
    in[1923] = zyn::ZproAttribute{18, 1, std::vector<uint8_t>(16, 7)};
    const std::vector<uint8_t> bytes = zyn::SerializeZproAttributes(in);
    EXPECT_EQ(bytes.size() % 4, 0u);
    std::map<int32_t, zyn::ZproAttribute> out;
    ASSERT_TRUE(zyn::ParseZproAttributes(lumora::ByteView(bytes.data(), bytes.size()), 3, out));
    ASSERT_EQ(out.size(), 3u);
    for (const auto& [id, a] : in) {
        EXPECT_EQ(out[id].type, a.type) << id;
        EXPECT_EQ(out[id].count, a.count) << id;
        EXPECT_EQ(out[id].bytes, a.bytes) << id;
    }
}

} // namespace
