#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "BayerMeans.h"
#include "InterpolateLut.h"
#include "LutStage.h"

using namespace lumora;

namespace {

std::vector<uint16_t> identityPlus(uint32_t n, uint16_t add) {
    std::vector<uint16_t> t(n);
    for (uint32_t i = 0; i < n; ++i) t[i] = uint16_t(i + add);
    return t;
}

} // namespace

TEST(LutStageTables, BuildLinearSpreadsEvenly) {
    LutStage lut;
    lut.size = 4096;
    std::vector<uint16_t> t(4096);
    ASSERT_EQ(lut.BuildLinear(t.data(), 65535, 1.0f), VQ_OK);
    EXPECT_EQ(lut.table, t.data());
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[2048], 32776);
    EXPECT_EQ(t[4095], 65535);
    // A gain above one saturates at the top.
    ASSERT_EQ(lut.BuildLinear(t.data(), 4095, 2.0f), VQ_OK);
    EXPECT_EQ(t[1000], 2000);
    EXPECT_EQ(t[3000], 4095);
}

TEST(LutStageTables, ApplicationClampsAndFollowsTheMode) {
    LutStage lut;
    auto table = identityPlus(4096, 1);
    lut.table = table.data();
    lut.size = 4096;
    lut.width = 4;
    lut.height = 1;
    std::vector<int16_t> a = {-5, 0, 5000, 4095};
    ASSERT_EQ(lut.ApplyOne(a.data()), VQ_OK);
    EXPECT_EQ(a, (std::vector<int16_t>{1, 1, 4096, 4096}));

    std::vector<int16_t> x = {1, 2, 3, 4}, y = x, z = x;
    lut.mode = 1;
    ASSERT_EQ(lut.Apply(x.data(), y.data(), z.data()), VQ_OK);
    EXPECT_EQ(x, (std::vector<int16_t>{1, 2, 3, 4}));
    EXPECT_EQ(y, (std::vector<int16_t>{2, 3, 4, 5}));
    EXPECT_EQ(z, x);
    lut.mode = 2;
    ASSERT_EQ(lut.Apply(nullptr, nullptr, nullptr), VQ_OK);
    EXPECT_EQ(lut.ApplyOne(nullptr), VQ_ERR_NULL_PLANES); // checked before the mode
    lut.mode = 0;
    // Planes are taken as they are reached: the third goes first.
    std::vector<int16_t> c = {0, 0, 0, 0};
    EXPECT_EQ(lut.Apply(nullptr, y.data(), c.data()), VQ_ERR_NULL_PLANES);
    EXPECT_EQ(c, (std::vector<int16_t>{1, 1, 1, 1}));
    auto other = identityPlus(4096, 100);
    std::vector<int16_t> p = {1, 1, 1, 1}, q = p, r = p;
    ASSERT_EQ(lut.ApplyLuts3(p.data(), q.data(), r.data(), table.data(), other.data(), table.data()), VQ_OK);
    EXPECT_EQ(q[0], 101);
    EXPECT_EQ(r[0], 2);
    lut.size = 0; // an empty table is no table
    EXPECT_EQ(lut.ApplyOne(p.data()), VQ_ERR_NULL_PLANES);
}

TEST(LutStageTables, FastTableKernelMatchesReference) {
    std::mt19937 rng(3);
    for (uint32_t size : {1u, 4096u, 65536u}) {
        auto table = identityPlus(size, 7);
        std::vector<int16_t> a(1001);
        for (auto& v : a) v = int16_t(rng());
        auto b = a;
        LutStage::ApplyTable(a.data(), a.size(), table.data(), size);
        LutStage::ApplyTableReference(b.data(), b.size(), table.data(), size);
        EXPECT_EQ(a, b) << size;
    }
}

TEST(LutStageTables, KnotTables) {
    uint16_t* t = nullptr;
    int32_t size = 0;
    const int16_t up[] = {0, 0, 10, 5};
    ASSERT_EQ(LutStage::BuildFromKnots(2, up, &t, &size), VQ_OK);
    ASSERT_EQ(size, 11);
    EXPECT_EQ(std::vector<uint16_t>(t, t + 11), (std::vector<uint16_t>{0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5}));
    delete[] t;
    const int16_t down[] = {0, 0, 10, -5};
    ASSERT_EQ(LutStage::BuildFromKnots(2, down, &t, &size), VQ_OK);
    EXPECT_EQ(int16_t(t[1]), -1);
    EXPECT_EQ(int16_t(t[3]), -2);
    EXPECT_EQ(int16_t(t[10]), -5);
    delete[] t;
    const int16_t same[] = {0, 0, 5, 3, 5, 9};
    EXPECT_EQ(LutStage::BuildFromKnots(3, same, &t, &size), VQ_ERR_BAD_NUMBER);
    EXPECT_EQ(t, nullptr);
    // Knots out of order stay inside the table the last knot sizes.
    const int16_t wild[] = {0, 0, 100, 100, 20, 20};
    ASSERT_EQ(LutStage::BuildFromKnots(3, wild, &t, &size), VQ_OK);
    EXPECT_EQ(size, 21);
    EXPECT_EQ(t[20], 20);
    delete[] t;
    const int16_t negative[] = {-4, 0};
    EXPECT_EQ(LutStage::BuildFromKnots(1, negative, &t, &size), VQ_ERR_BAD_NUMBER);
}

TEST(LutStageTables, Scaling) {
    std::vector<uint16_t> v = {3000, 100, 1};
    LutStage::ScaleByFactor(v.data(), 3, 1.0000004, 0);
    EXPECT_EQ(v, (std::vector<uint16_t>{3000, 100, 1}));
    LutStage::ScaleByFactor(v.data(), 3, 2.0, 4095);
    EXPECT_EQ(v, (std::vector<uint16_t>{4095, 200, 2}));
    std::vector<uint16_t> w = {1000};
    LutStage::ScaleByFactor(w.data(), 1, 1.2345678, 0); // cut to 1.234567
    EXPECT_EQ(w[0], 1235);
    std::vector<int32_t> out(3);
    const std::vector<uint16_t> in = {10, 1000, 0};
    LutStage::ScaleToInts(in.data(), out.data(), 3, 1.25, 1000);
    EXPECT_EQ(out, (std::vector<int32_t>{13, 1000, 0}));
}

// Both builds of the offset rows against the sum worked sample by sample:
// offsets over the whole 16-bit range (so sums wrap), with and without column
// offsets, widths that leave every remainder of a vector.
TEST(LutStageCorrections, EveryOffsetKernelMatchesThePlainSum) {
    using Kernel = LutStage::Kernel;
    std::mt19937 rng(9);
    std::uniform_int_distribution<int> any(-32768, 32767);
    for (Kernel kernel : {Kernel::Portable, Kernel::Avx2})
        for (int width : {1, 15, 16, 17, 40, 77})
            for (bool columns : {false, true})
                for (int32_t maximum : {4095, 32767, 65535}) {
                    SCOPED_TRACE(testing::Message() << (kernel == Kernel::Avx2 ? "AVX2 " : "portable ") << width
                                                    << " " << columns << " " << maximum);
                    const int height = 3, c0 = 2, r0 = 1;
                    std::vector<int16_t> p(size_t(width) * height), cols(size_t(width + c0)), rows(height + r0);
                    for (auto* v : {&p, &cols, &rows})
                        for (int16_t& x : *v) x = int16_t(any(rng));
                    std::vector<int16_t> want = p;
                    for (int r = 0; r < height; ++r)
                        for (int c = 0; c < width; ++c) {
                            int32_t sum = want[size_t(r) * width + c] + rows[size_t(r + r0)];
                            if (columns) sum += cols[size_t(c + c0)];
                            const int32_t v = int16_t(uint16_t(sum));
                            want[size_t(r) * width + c] = int16_t(std::clamp(v, 0, maximum));
                        }
                    LutStage lut;
                    lut.size = 8;
                    lut.width = uint16_t(width);
                    lut.height = uint16_t(height);
                    lut.UseKernel(kernel);
                    ASSERT_EQ(lut.AddOffsets16(p.data(), columns ? cols.data() : nullptr, rows.data(), maximum, c0, r0),
                              VQ_OK);
                    EXPECT_EQ(p, want);
                }
}

TEST(LutStageCorrections, OffsetsClampToRange) {
    LutStage lut;
    lut.size = 8;
    lut.width = 2;
    lut.height = 2;
    std::vector<int16_t> p = {10, 4000, 10, 4000};
    const int16_t rows[] = {0, 0, -20, 1000};
    const int16_t cols[] = {0, 0, 0, 0};
    ASSERT_EQ(lut.AddOffsets16(p.data(), cols, rows, 4095, 1, 2), VQ_OK);
    EXPECT_EQ(p, (std::vector<int16_t>{0, 3980, 1010, 4095}));
    EXPECT_EQ(lut.AddOffsets16(p.data(), cols, nullptr, 4095, 0, 0), VQ_ERR_NULL_PLANES);
    lut.size = 0;
    EXPECT_EQ(lut.AddOffsets16(nullptr, nullptr, nullptr, 4095, 0, 0), VQ_OK);

    lut.size = 4;
    lut.width = 3;
    lut.height = 1;
    std::vector<int32_t> q = {5, 100, 777};
    const int32_t rows32[] = {-10};
    const int32_t cols32[] = {0, 50, 0};
    ASSERT_EQ(lut.AddOffsets32(q.data(), cols32, rows32, 120, 0, 0, 1), VQ_OK);
    EXPECT_EQ(q, (std::vector<int32_t>{0, 120, 777})); // the skipped sample is kept
}

TEST(LutStageCorrections, ColourTablesOnThePattern) {
    LutStage lut;
    lut.size = 100;
    lut.width = 3; // odd sizes: nothing outside the plane is touched
    lut.height = 3;
    auto red = identityPlus(100, 1000), green = identityPlus(100, 2000), blue = identityPlus(100, 3000);
    std::vector<int16_t> p = {1, 2, 3, 4, 5, 6, -7, 200, 9, 0x7777};
    ASSERT_EQ(lut.CfaApply(p.data(), red.data(), green.data(), blue.data()), VQ_OK);
    EXPECT_EQ(p, (std::vector<int16_t>{2001, 1002, 2003, 3004, 2005, 3006, 2000, 1099, 2009, 0x7777}));
    std::vector<int16_t> u = {-1, 5};
    lut.width = 2;
    lut.height = 1;
    ASSERT_EQ(lut.CfaApplyUnsigned(u.data(), red.data(), green.data(), blue.data()), VQ_OK);
    EXPECT_EQ(u, (std::vector<int16_t>{2099, 1005})); // 0xFFFF is large, not negative
    EXPECT_EQ(lut.CfaApply(u.data(), red.data(), nullptr, blue.data()), VQ_ERR_NULL_PLANES);
}

TEST(LutStageCorrections, GainMapSingleTile) {
    LutStage lut;
    lut.width = 2;
    lut.height = 2;
    lut.size = 1;
    // red, green even, blue, green odd
    std::vector<uint16_t> gains = {8192, 4096, 2048, 16384};
    lut.table = gains.data();
    std::vector<int16_t> p = {800, 800, 800, 800};
    ASSERT_EQ(lut.GainMap16(p.data(), 0, 0, 4095, 16, 16, 16, 256), VQ_OK);
    // green even 4096 -> 100, red 8192 -> 200, blue 2048 -> 50, green odd -> 400
    EXPECT_EQ(p, (std::vector<int16_t>{100, 200, 50, 400}));
    lut.size = 0;
    std::vector<int16_t> q = {800, 32767, 0, 7};
    ASSERT_EQ(lut.GainMap16(q.data(), 0, 0, 3000, 0, 0, 0, 3), VQ_OK);
    EXPECT_EQ(q, (std::vector<int16_t>{100, 3000, 0, 1}));
    lut.size = 1;
    EXPECT_EQ(lut.GainMap16(q.data(), 0, 0, 4095, 0, 16, 16, 256), VQ_ERR_BAD_STAGE_MODE);
    EXPECT_EQ(lut.GainMap16(q.data(), 0, 0, 4095, 16, 16, 16, 3000), VQ_ERR_BAD_FILE);
    lut.table = nullptr;
    EXPECT_EQ(lut.GainMap16(q.data(), 0, 0, 4095, 16, 16, 16, 256), VQ_ERR_NULL_PLANES);
}

TEST(LutStageCorrections, GainMapWalksTilesAndRefusesShortMaps) {
    // Image 12 wide, tiles 4 x 2: 3 tiles per row. Strip at column 2, row 1,
    // 8 x 4 samples: touches tile rows 0..2, tile columns 0..2.
    const int32_t tw = 4, th = 2, imageWidth = 12, c0 = 2, r0 = 1;
    const uint32_t tiles = 9;
    std::vector<uint16_t> gains(4 * tiles);
    for (uint32_t i = 0; i < gains.size(); ++i) gains[i] = uint16_t(128 + 16 * i);
    LutStage lut;
    lut.width = 8;
    lut.height = 4;
    lut.size = tiles;
    lut.table = gains.data();
    std::vector<int16_t> p(32);
    for (size_t i = 0; i < p.size(); ++i) p[i] = int16_t(1000 + 37 * i);
    auto want = p;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 8; ++c) {
            const uint32_t tile = uint32_t((r0 + r) / th) * 3 + uint32_t((c0 + c) / tw);
            const int plane = (r & 1) ? ((c & 1) ? 3 : 2) : ((c & 1) ? 0 : 1);
            const uint32_t g = gains[plane * tiles + tile];
            int32_t v = int16_t(uint16_t((g * uint32_t(want[r * 8 + c]) + 64) >> 7)); // unit 1
            want[r * 8 + c] = int16_t(v > 30000 ? 30000 : v);
        }
    ASSERT_EQ(lut.GainMap16(p.data(), c0, r0, 30000, tw, th, imageWidth, 1), VQ_OK);
    EXPECT_EQ(p, want);

    lut.size = 8; // one tile short of what the strip needs
    auto before = p;
    EXPECT_EQ(lut.GainMap16(p.data(), c0, r0, 30000, tw, th, imageWidth, 1), VQ_ERR_GAIN_MAP_SHORT);
    EXPECT_EQ(p, before);

    // A negative image width (damaged file) makes the lower tile rows index
    // before the map even though the first row is inside it.
    lut.size = tiles;
    EXPECT_EQ(lut.GainMap16(p.data(), 0, 0, 30000, tw, th, -8, 1), VQ_ERR_GAIN_MAP_SHORT);
    EXPECT_EQ(p, before);
}

TEST(LutStageCorrections, GainMap32IntoSixteenBitRows) {
    LutStage lut;
    lut.width = 2;
    lut.height = 2;
    lut.size = 0;
    const std::vector<int32_t> in = {800, 80000, 16, 3};
    std::vector<int16_t> out(2 * 3, -1);
    ASSERT_EQ(lut.GainMap32(in.data(), out.data(), 0, 0, 4095, 16, 16, 16, 8, 1), VQ_OK);
    EXPECT_EQ(out, (std::vector<int16_t>{100, 4095, -1, 2, 0, -1}));
    std::vector<uint16_t> gains = {256, 256, 256, 256};
    lut.size = 1;
    lut.table = gains.data();
    ASSERT_EQ(lut.GainMap32(in.data(), out.data(), 0, 0, 4095, 16, 16, 16, 1, 1), VQ_OK);
    EXPECT_EQ(out, (std::vector<int16_t>{1600, 4095, -1, 32, 6, -1}));
}

TEST(PlanePrimitives, BayerMeans) {
    // 4 x 4 samples of cells (100, 200 / 300, 100), stride 6 with two extra columns.
    std::vector<uint16_t> p(4 * 6, 9999);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            p[r * 6 + c + 2] = (r & 1) ? ((c & 1) ? 100 : 300) : ((c & 1) ? 200 : 100);
    double dr, dg, db;
    ASSERT_EQ(BayerMeans(p.data(), 6, 4, 2, 4, &dr, &dg, &db), VQ_OK);
    EXPECT_EQ(dr, 200.0);
    EXPECT_EQ(dg, 100.0);
    EXPECT_EQ(db, 300.0);
    for (int r = 0; r < 4; r += 2)
        for (int c = 0; c < 4; c += 2) {
            p[r * 6 + c + 3] = 201;
            p[(r + 1) * 6 + c + 3] = 101;
        }
    uint16_t r16, g16, b16;
    ASSERT_EQ(BayerMeans(p.data(), 6, 4, 2, 4, &r16, &g16, &b16), VQ_OK);
    EXPECT_EQ(r16, 201);
    EXPECT_EQ(g16, 100);
    EXPECT_EQ(b16, 300);
    EXPECT_EQ(BayerMeans(p.data(), 6, 1, 0, 2, &r16, &g16, &b16), VQ_ERR_RECT_TOO_SMALL);
}

TEST(PlanePrimitives, InterpolateLut) {
    const uint16_t t[] = {10, 20, 40};
    EXPECT_DOUBLE_EQ(InterpolateLut(t, 1.25, 2), 25.0);
    EXPECT_DOUBLE_EQ(InterpolateLut(t, 7.0, 2), 40.0);
    EXPECT_DOUBLE_EQ(InterpolateLut(t, -1.0, 2), 0.0);
    EXPECT_DOUBLE_EQ(InterpolateLut(t, std::nan(""), 2), 0.0);
    EXPECT_DOUBLE_EQ(InterpolateLut(nullptr, 1.0, 2), 0.0);
    const double in[3] = {0.5, 1.5, 2.0};
    double out[3];
    InterpolateLut3(t, in, out, 2);
    EXPECT_DOUBLE_EQ(out[0], 15.0);
    EXPECT_DOUBLE_EQ(out[1], 30.0);
    EXPECT_DOUBLE_EQ(out[2], 40.0);
}
