// The big-endian TIFF writer's mechanics: file names, header, where each
// entry's value goes and in which byte order, and the bounds of every copy.
#include "RawTiffWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "TempFolder.h"

using lumora::ByteOrder;
using lumora::ByteView;

namespace {

std::vector<uint8_t> Bytes(const RawTiffWriter& w, uint32_t at, uint32_t count) {
    return std::vector<uint8_t>(w.buffer().begin() + at, w.buffer().begin() + at + count);
}

RawTiffReader::Entry Field(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    RawTiffReader::Entry e;
    e.tag = tag;
    e.type = type;
    e.count = count;
    e.value = value;
    return e;
}

TEST(RawTiffWriter, FileNamesAreEightDotThreeWhiteBalanceNames) {
    struct Row {
        const char* path;
        uint32_t status;
    };
    const Row rows[] = {
        {"/dir/BALANCE.WB", 0},
        {"/dir/BALANCE.wb", 0},
        {"/dir/b.Wb", 0},
        {"/dir/ABCDEFGH.WB", 0},
        {"/dir/BALANCE.WBX", VQ_ERR_VALUE_OUT_OF_RANGE},
        {"/dir/BALANCE.TIF", VQ_ERR_VALUE_OUT_OF_RANGE},
        {"/dir/BALANCE", VQ_ERR_VALUE_OUT_OF_RANGE},
        {"/dir/LONGNAMEX.WB", VQ_ERR_FILE_NAME_TOO_LONG},
        {"BALANCE.WB", VQ_ERR_VALUE_OUT_OF_RANGE},
    };
    for (const Row& r : rows) EXPECT_EQ(RawTiffWriter::CheckFileName(r.path), r.status) << r.path;
}

TEST(RawTiffWriter, HeaderEntriesAndDirectoryLinksAreBigEndian) {
    RawTiffWriter w;
    ASSERT_EQ(w.Begin(65536, 560), 0u);
    EXPECT_EQ(Bytes(w, 0, 8), (std::vector<uint8_t>{0x4D, 0x4D, 0x00, 0x2A, 0x00, 0x00, 0x00, 0x08}));
    ASSERT_EQ(w.PutShort(8), 0u);
    const std::vector<uint8_t> none;
    const RawTiffWriter::Source empty{ByteView(none.data(), 0), ByteOrder::Little};
    // A SHORT of count 1 and a LONG sit in their entries.
    ASSERT_EQ(w.PutEntry(Field(1020, 3, 1, 3), 0, empty), 0u);
    EXPECT_EQ(Bytes(w, 10, 12), (std::vector<uint8_t>{0x03, 0xFC, 0, 3, 0, 0, 0, 1, 0, 3, 0, 0}));
    ASSERT_EQ(w.PutEntry(Field(3502, 4, 1, 0x03000000), 0, empty), 0u);
    EXPECT_EQ(Bytes(w, 30, 4), (std::vector<uint8_t>{3, 0, 0, 0}));
    // Types that cannot be written advance nothing.
    EXPECT_EQ(w.PutEntry(Field(1, 11, 1, 0), 0, empty), VQ_ERR_VALUE_ABSENT);
    EXPECT_EQ(w.PutEntry(Field(1, 13, 1, 0), 0, empty), VQ_ERR_VALUE_ABSENT);
    EXPECT_EQ(w.entryCursor(), 34u);

    RawTiffWriter d;
    ASSERT_EQ(d.Begin(1024, 600), 0u);
    ASSERT_EQ(d.PutShort(0), 0u);
    for (int i = 0; i < 8; ++i) ASSERT_EQ(d.PutShort(0), 0u);
    ASSERT_EQ(d.PutShortTriple(1000, 1100, 1200), 0u);
    EXPECT_EQ(Bytes(d, 26, 12), (std::vector<uint8_t>{0x04, 0x0C, 0, 3, 0, 0, 0, 3, 0, 0, 0x02, 0x58}));
    EXPECT_EQ(Bytes(d, 600, 6), (std::vector<uint8_t>{0x03, 0xE8, 0x04, 0x4C, 0x04, 0xB0}));
    EXPECT_EQ(d.dataCursor(), 606u);
}

TEST(RawTiffWriter, OutOfLineValuesFollowEachOtherAndTurnBigEndian) {
    // A little-endian source: a 20-byte text, three SHORTs and a rational.
    std::vector<uint8_t> src(64, 0);
    const char text[20] = "ZYNM11 camera text";
    std::memcpy(src.data(), text, 20);
    const uint8_t shorts[6] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    std::memcpy(src.data() + 20, shorts, 6);
    const uint8_t rational[8] = {0x10, 0, 0, 0, 0x20, 0, 0, 0};
    std::memcpy(src.data() + 26, rational, 8);
    const RawTiffWriter::Source source{ByteView(src.data(), src.size()), ByteOrder::Little};

    RawTiffWriter w;
    ASSERT_EQ(w.Begin(4096, 561), 0u);
    ASSERT_EQ(w.PutEntry(Field(305, 2, 20, 0), 0, source), 0u);
    ASSERT_EQ(w.PutEntry(Field(2315, 3, 3, 20), 0, source), 0u);
    ASSERT_EQ(w.PutEntry(Field(2200, 5, 1, 26), 0, source), 0u);
    EXPECT_EQ(Bytes(w, 8 + 8, 4), (std::vector<uint8_t>{0, 0, 0x02, 0x31}));  // 561
    EXPECT_EQ(Bytes(w, 561, 20), std::vector<uint8_t>(text, text + 20));
    EXPECT_EQ(Bytes(w, 20 + 8, 4), (std::vector<uint8_t>{0, 0, 0x02, 0x45})); // 581, odd, right after
    EXPECT_EQ(Bytes(w, 581, 6), (std::vector<uint8_t>{0x02, 0x01, 0x04, 0x03, 0x06, 0x05}));
    EXPECT_EQ(Bytes(w, 587, 8), (std::vector<uint8_t>{0, 0, 0, 0x10, 0, 0, 0, 0x20}));
    EXPECT_EQ(w.dataCursor(), 595u);
}

TEST(RawTiffWriter, CopiesStayInsideTheSourceAndTheBuffer) {
    std::vector<uint8_t> src(32, 7);
    const RawTiffWriter::Source source{ByteView(src.data(), src.size()), ByteOrder::Big};
    RawTiffWriter w;
    ASSERT_EQ(w.Begin(64, 40), 0u);
    // A value past the source's end.
    EXPECT_EQ(w.PutEntry(Field(2300, 5, 9, 0), 0, source), VQ_ERR_BAD_FILE);
    // A value that fits the source but not the buffer's data area.
    EXPECT_EQ(w.PutEntry(Field(1001, 2, 30, 0), 0, source), VQ_ERR_FILE_NO_MEMORY);
    EXPECT_EQ(w.dataCursor(), 40u);
    // An inline value whose entry is not in the source.
    EXPECT_EQ(w.PutEntry(Field(271, 2, 4, 0), 30, source), VQ_ERR_BAD_FILE);
    // A damaged sub-directory count would carry the data area past the buffer
    // (or wrap it back over the directories).
    EXPECT_EQ(w.PutSubDirectoryEntry(Field(33424, 4, 0xFFFFFFF0u, 0)), VQ_ERR_FILE_NO_MEMORY);
    EXPECT_EQ(w.dataCursor(), 40u);
    // Entries past the buffer.
    RawTiffWriter small;
    ASSERT_EQ(small.Begin(16, 16), 0u);
    EXPECT_EQ(small.PutShortTriple(1, 2, 3), VQ_ERR_FILE_NO_MEMORY);
    EXPECT_EQ(small.PutEntry(Field(1, 3, 1, 1), 0, source), VQ_ERR_FILE_NO_MEMORY);
}

TEST(RawTiffWriter, AnExistingFileIsNeverReplacedAndADiscardedOneIsGone) {
    lumora::test::TempFolder dir;
    const std::string path = (dir.path() / "OLD.WB").string();
    std::ofstream(path) << "old";
    RawTiffWriter w;
    EXPECT_EQ(w.Open(path.c_str()), 80u);
    w.Discard();
    std::string kept;
    std::ifstream(path) >> kept;
    EXPECT_EQ(kept, "old");

    const std::string fresh = (dir.path() / "NEW.WB").string();
    RawTiffWriter n;
    ASSERT_EQ(n.Open(fresh.c_str()), 0u);
    n.Discard();
    EXPECT_FALSE(std::ifstream(fresh).good());
}

} // namespace
