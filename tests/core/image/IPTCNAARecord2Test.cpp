// The IPTC record: reset, validation, datasets, growth, comparison, copies.
#include "IPTCNAARecord2.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace NimbalCore;

namespace {

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

bool Add(IPTCNAARecord2& r, int index, const std::string& value) {
    return r.AddDataset(index, Bytes(value), uint32_t(value.size()));
}

} // namespace

TEST(IPTCNAARecord2Test, NewAndResetRecords) {
    IPTCNAARecord2 fresh;
    EXPECT_FALSE(fresh.HasValidHeader());
    EXPECT_TRUE(fresh.Validate());
    EXPECT_EQ(fresh.GetLength(), 0u);

    IPTCNAARecord2 r;
    EXPECT_TRUE(r.Reset());
    EXPECT_EQ(r.GetLength(), 7u);
    EXPECT_TRUE(r.IsEmpty());
    EXPECT_TRUE(r.HasValidHeader());
    const uint8_t* start;
    uint32_t size;
    ASSERT_TRUE(r.GetBuffer(&start, &size));
    EXPECT_EQ(size, 4096);
    EXPECT_EQ(std::vector<uint8_t>(start, start + 8), (std::vector<uint8_t>{0x1C, 2, 0, 0, 2, 0, 3, 0}));
}

TEST(IPTCNAARecord2Test, DatasetsAreCheckedAgainstTheirMaximum) {
    IPTCNAARecord2 r;
    r.Reset();
    EXPECT_FALSE(Add(r, 38, std::string(2001, 'x')));
    EXPECT_TRUE(Add(r, 38, std::string(2000, 'x')));
    EXPECT_FALSE(Add(r, 49, "x"));
    EXPECT_FALSE(Add(r, -1, "x"));
    EXPECT_FALSE(r.AddDataset(1, nullptr, 0));
    EXPECT_FALSE(r.IsEmpty());

    int index;
    const uint8_t* data;
    uint16_t length;
    ASSERT_TRUE(r.GetFirstDataset(&index, &data, &length));
    EXPECT_EQ(index, 0);
    ASSERT_TRUE(r.GetNextDataset(&index, &data, &length));
    EXPECT_EQ(index, 38);
    EXPECT_EQ(length, 2000);
    EXPECT_FALSE(r.GetNextDataset(&index, &data, &length));
}

TEST(IPTCNAARecord2Test, GrowingKeepsEarlierDatasets) {
    IPTCNAARecord2 r;
    r.Reset();
    int added = 0;
    while (Add(r, 8, "keyword-" + std::to_string(added)) && r.GetLength() < 5000) ++added;
    const uint8_t* start;
    uint32_t size;
    r.GetBuffer(&start, &size);
    EXPECT_EQ(size, 8192);
    int index, seen = 0;
    const uint8_t* data;
    uint16_t length;
    for (bool more = r.GetFirstDataset(&index, &data, &length); more; more = r.GetNextDataset(&index, &data, &length))
        if (index == 8) {
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), length), "keyword-" + std::to_string(seen));
            ++seen;
        }
    EXPECT_EQ(seen, added + 1);
    // The largest dataset fits a small record too, without writing past it.
    IPTCNAARecord2 small;
    const std::string tiny("\x1C\x02\x00\x00\x02\x00\x03", 7);
    ASSERT_TRUE(small.SetFromBuffer(Bytes(tiny), 7));
    EXPECT_TRUE(Add(small, 40, std::string(7360, 'r')));
    EXPECT_EQ(small.GetLength(), 7u + 5 + 7360);
}

TEST(IPTCNAARecord2Test, ValidationOfForeignBuffers) {
    IPTCNAARecord2 r;
    const std::string good("\x1C\x02\x00\x00\x02\x00\x02\x1C\x02\x05\x00\x01x\x00", 14);
    EXPECT_TRUE(r.SetFromBuffer(Bytes(good), uint16_t(good.size())));
    // Datasets ending exactly at the buffer's end leave no zero after them.
    IPTCNAARecord2 exact;
    const std::string full("\x1C\x02\x05\x00\x01x", 6);
    EXPECT_TRUE(exact.SetFromBuffer(Bytes(full), 6)); // copied into the larger buffer: a zero follows
    const std::string tooLong("\x1C\x02\x0A\x00\x02xy\x00", 8); // urgency holds one byte
    EXPECT_FALSE(r.SetFromBuffer(Bytes(tooLong), 8));
    const std::string wrongRecord("\x1C\x03\x05\x00\x01x\x00", 7);
    EXPECT_FALSE(r.SetFromBuffer(Bytes(wrongRecord), 7));
    const std::string unknownEmpty("\x1C\x02\x03\x00\x00\x00", 6);
    EXPECT_TRUE(r.SetFromBuffer(Bytes(unknownEmpty), 6));
    int index;
    const uint8_t* data;
    uint16_t length;
    ASSERT_TRUE(r.GetFirstDataset(&index, &data, &length));
    EXPECT_EQ(index, IPTCNAARecord2::kDatasetCount);
    // A length that runs past the buffer is refused.
    std::string cut(5000, '\0');
    cut.replace(0, 5, std::string("\x1C\x02\x78\x07\xD0", 5));
    cut.replace(2005, 5, std::string("\x1C\x02\x7D\x1B\x58", 5)); // 7000 bytes from 2010
    EXPECT_FALSE(r.SetFromBuffer(Bytes(cut), uint16_t(cut.size())));
    EXPECT_FALSE(r.SetFromBuffer(nullptr, 5));
    EXPECT_FALSE(r.SetFromBuffer(Bytes(good), 0));
}

TEST(IPTCNAARecord2Test, ComparisonTrimsOnlyRepeatableValues) {
    IPTCNAARecord2 a, b;
    a.Reset();
    b.Reset();
    Add(a, 8, "sun");
    Add(a, 8, "sea");
    Add(b, 8, "sea");
    Add(b, 8, " sun ");
    EXPECT_TRUE(a.IsEqual(b));
    Add(a, 27, "Oslo");
    Add(b, 27, " Oslo");
    EXPECT_FALSE(a.IsEqual(b));
    IPTCNAARecord2 c = a;
    EXPECT_TRUE(c.IsEqual(a));
    // Datasets that are not compared do not matter.
    Add(c, 37, "contact");
    EXPECT_TRUE(c.IsEqual(a));
    IPTCNAARecord2 d;
    d = a;
    EXPECT_TRUE(d.IsEqual(a));
    EXPECT_EQ(d.GetLength(), a.GetLength());
}
