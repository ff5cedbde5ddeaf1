#include "ByteView.h"
#include "IntOps.h"

#include <gtest/gtest.h>

#include <limits>

using namespace lumora;

TEST(ByteView, ReadsBothOrdersAndRefusesPastTheEnd) {
    const uint8_t bytes[] = {0x12, 0x34, 0x56, 0x78, 0x9A};
    ByteView v(bytes, sizeof bytes);
    uint16_t s = 0;
    uint32_t w = 0;
    ASSERT_TRUE(v.u16(0, ByteOrder::Big, s));
    EXPECT_EQ(s, 0x1234);
    ASSERT_TRUE(v.u16(0, ByteOrder::Little, s));
    EXPECT_EQ(s, 0x3412);
    ASSERT_TRUE(v.u32(1, ByteOrder::Big, w));
    EXPECT_EQ(w, 0x3456789Au);
    EXPECT_FALSE(v.u32(2, ByteOrder::Big, w));
    EXPECT_FALSE(v.u16(4, ByteOrder::Big, s));
    EXPECT_EQ(w, 0x3456789Au) << "a failed read leaves the output alone";
}

TEST(ByteView, OffsetsThatWouldWrapAreRefused) {
    const uint8_t bytes[16] = {};
    ByteView v(bytes, sizeof bytes);
    const uint64_t huge = std::numeric_limits<uint64_t>::max();
    EXPECT_FALSE(v.contains(huge, 2));
    EXPECT_FALSE(v.contains(8, huge));
    EXPECT_FALSE(v.containsArray(4, 0x4000000000000001ull, 4));
    EXPECT_TRUE(v.containsArray(4, 3, 4));
    EXPECT_FALSE(v.containsArray(4, 4, 4));
    EXPECT_TRUE(v.contains(16, 0));
    EXPECT_FALSE(v.sub(0xFFFFFFF0u, 0x20).has_value());
}

TEST(ByteReader, FirstFailureSticks) {
    const uint8_t bytes[] = {1, 0, 2, 0};
    ByteReader r(ByteView(bytes, sizeof bytes), ByteOrder::Little);
    uint16_t a = 0, b = 0;
    uint32_t c = 0;
    EXPECT_TRUE(r.u16(a));
    EXPECT_FALSE(r.u32(c));
    EXPECT_EQ(r.pos(), 2u);
    EXPECT_TRUE(r.u16(b));
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    EXPECT_FALSE(r.ok());
}

TEST(IntOps, ShiftsAndWrapsAreTwosComplement) {
    EXPECT_EQ(asr32(-1, 4), -1);
    EXPECT_EQ(asr32(-17, 2), -5);
    EXPECT_EQ(asr32(17, 2), 4);
    EXPECT_EQ(wrapAdd32(std::numeric_limits<int32_t>::max(), 1), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(wrap16(0x18000), int16_t(-32768));
    EXPECT_EQ(shl32(-3, 2), -12);
}
