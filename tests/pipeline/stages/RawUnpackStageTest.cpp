#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "RawUnpackStage.h"

using lumora::RawUnpackStage;

namespace {

std::vector<uint16_t> Linear(uint16_t top) {
    std::vector<uint16_t> t(256);
    for (uint32_t i = 0; i < 256; ++i) t[i] = uint16_t(i * top / 255);
    return t;
}

TEST(RawUnpackStage, ConfigureLimitsTheOffset) {
    RawUnpackStage s;
    const std::vector<uint16_t> t = Linear(4095);
    s.Configure(300, t.data(), 8, 8);
    EXPECT_EQ(s.offset, 255);
    s.Configure(256, t.data(), 8, 8);
    EXPECT_EQ(s.offset, 255);
    s.Configure(16, t.data(), 8, 8);
    EXPECT_EQ(s.offset, 16);
    EXPECT_TRUE(s.IsValid());
}

TEST(RawUnpackStage, BalanceGains) {
    struct Row {
        uint16_t top;
        int32_t r, g, b;
        int32_t red, green, blue; // expected gains in 1/256, seen through code 255
    };
    const Row rows[] = {
        {4095, 256, 256, 256, 256, 256, 256},
        {4095, 200, 400, 100, 512, 256, 1024},
        {1000, 256, 256, 256, 1048, 1048, 1048}, // 256 * 4095 / 1000
        {4095, 0, 256, 256, 256, 256, 256},      // a zero input is unit gain
    };
    for (const Row& r : rows) {
        RawUnpackStage s;
        const std::vector<uint16_t> t = Linear(r.top);
        s.Configure(0, t.data(), 8, 8);
        ASSERT_EQ(s.SetBalance(r.r, r.g, r.b), VQ_OK);
        auto expect = [&](const RawUnpackStage::ColourTable& table, int32_t gain) {
            EXPECT_EQ(table.period, 0xFFFF);
            const uint32_t v = uint32_t(t[255]) * uint32_t(gain) / 256;
            EXPECT_EQ(table.entries[255], std::min<uint32_t>(v, 0x7FFF)) << r.top << " gain " << gain;
            EXPECT_EQ(table.entries[0], 0);
        };
        expect(s.red, r.red);
        expect(s.green, r.green);
        expect(s.blue, r.blue);
    }
}

TEST(RawUnpackStage, DarkOffsetStepsDownOverTheRows) {
    RawUnpackStage s;
    const std::vector<uint16_t> t = Linear(4095);
    s.Configure(16, t.data(), 2, 1000);
    ASSERT_EQ(s.SetBalance(256, 256, 256), VQ_OK);
    EXPECT_EQ(s.green.period, 62); // 1000 / 16
    const uint8_t codes[4] = {0, 200, 0, 200}; // two rows of two
    uint16_t out[4];
    const uint16_t full = uint16_t(t[200] + 16);
    struct Row {
        uint16_t row;
        uint16_t expected;
    };
    // Row i sees the table lowered floor((i - 1) / 62) times.
    for (const Row& r : {Row{0, full}, Row{62, full}, Row{64, uint16_t(full - 1)}, Row{124, uint16_t(full - 1)},
                         Row{126, uint16_t(full - 2)}, Row{998, uint16_t(full - 16)}}) {
        ASSERT_EQ(s.Unpack(codes, out, r.row, 2), VQ_OK);
        EXPECT_EQ(out[1], r.expected) << r.row; // the red sample of the even row
        EXPECT_EQ(out[0], s.green.entries[0] == 0 ? 0 : out[0]);
    }
    // Unpacking never changes the tables themselves.
    EXPECT_EQ(s.red.entries[200], full);
}

TEST(RawUnpackStage, RampBelowTheCurvesFirstCode) {
    std::vector<uint16_t> t(256, 0);
    for (uint32_t i = 10; i < 256; ++i) t[i] = uint16_t(40 + 4 * (i - 10));
    RawUnpackStage::ColourTable table{};
    ASSERT_EQ(RawUnpackStage::BuildTable(table, 8, 256, t.data(), 0x7FFF, 100), VQ_OK);
    EXPECT_EQ(table.entries[10], 48); // (40 + 8)
    EXPECT_EQ(table.entries[9], 44);  // 40 - 4 + 8
    EXPECT_EQ(table.entries[8], 40);
    EXPECT_EQ(table.entries[0], 8);   // 44 - 9 * 4
    // Without an offset no ramp is made.
    ASSERT_EQ(RawUnpackStage::BuildTable(table, 0, 256, t.data(), 0x7FFF, 100), VQ_OK);
    EXPECT_EQ(table.entries[9], 0);
}

TEST(RawUnpackStage, ModesAndRefusals) {
    RawUnpackStage s;
    const std::vector<uint16_t> t = Linear(4095);
    s.Configure(0, t.data(), 2, 2);
    ASSERT_EQ(s.SetBalance(256, 256, 256), VQ_OK);
    const uint8_t in[4] = {0x7F, 0x01, 0x02, 0x03};
    uint16_t out[4] = {};
    s.SetMode(RawUnpackStage::Widen8);
    ASSERT_EQ(s.Unpack(in, out, 0, 2), VQ_OK);
    EXPECT_EQ(out[0], 0x7F00);
    s.SetMode(RawUnpackStage::Copy16);
    ASSERT_EQ(s.Unpack(in, out, 0, 1), VQ_OK);
    EXPECT_EQ(out[0], uint16_t(0x7F | 0x01 << 8));
    s.SetMode(4);
    EXPECT_EQ(s.Unpack(in, out, 0, 2), VQ_ERR_BAD_STAGE_MODE);
    s.SetMode(RawUnpackStage::Colour);
    EXPECT_EQ(s.Unpack(nullptr, out, 0, 2), VQ_ERR_UNPACK_NULL);
    EXPECT_EQ(s.Unpack(in, nullptr, 0, 2), VQ_ERR_UNPACK_NULL);
    // Odd rows or lengths would put the pattern out of step.
    EXPECT_EQ(s.Unpack(in, out, 1, 2), VQ_ERR_BAD_ARGUMENT);
    s.SetRowLength(3);
    EXPECT_EQ(s.Unpack(in, out, 0, 2), VQ_ERR_BAD_ARGUMENT);
    RawUnpackStage empty;
    EXPECT_EQ(empty.SetBalance(1, 1, 1), VQ_ERR_UNPACK_NULL);
}

TEST(RawUnpackStage, ColourPatternAndThumbnails) {
    RawUnpackStage s;
    const std::vector<uint16_t> t = Linear(4095);
    s.Configure(0, t.data(), 2, 2);
    ASSERT_EQ(s.SetBalance(100, 200, 50), VQ_OK); // gains 512, 256, 1024
    const uint8_t in[4] = {10, 10, 10, 10};
    uint16_t out[4];
    ASSERT_EQ(s.Unpack(in, out, 0, 2), VQ_OK);
    EXPECT_EQ(out[0], t[10]);     // green
    EXPECT_EQ(out[1], t[10] * 2); // red
    EXPECT_EQ(out[2], t[10] * 4); // blue
    EXPECT_EQ(out[3], t[10]);     // green

    s.SetRowLength(16);
    const std::vector<uint8_t> plane(4, 10);
    uint16_t r[4], g[4], b[4];
    ASSERT_EQ(s.UnpackThumbnail3(plane.data(), plane.data(), plane.data(), r, g, b, 0, 16, 8), VQ_OK);
    EXPECT_EQ(r[3], t[10] * 2);
    EXPECT_EQ(g[3], t[10]);
    EXPECT_EQ(b[3], t[10] * 4);
    ASSERT_EQ(s.BuildMonochrome(), VQ_OK);
    ASSERT_EQ(s.UnpackThumbnail1(plane.data(), g, 0, 16, 8), VQ_OK);
    EXPECT_EQ(g[0], t[10]);
    EXPECT_EQ(s.UnpackThumbnail1(plane.data(), g, 0, 16, 0), VQ_ERR_BAD_ARGUMENT);
}

} // namespace
