#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "CurveTable.h"
#include "SdkCurveSet.h"
#include "ToneCurveGenerator.h"

using namespace lumora;

TEST(CurveTables, AttachChecksTheTable) {
    std::vector<uint16_t> t(256);
    for (int32_t bad : {0, 3, -2}) {
        TableBase table;
        EXPECT_EQ(table.Attach(t.data(), bad, 4095), VQ_ERR_BAD_TABLE) << bad;
        EXPECT_EQ(table.attached, 0);
    }
    TableBase table;
    EXPECT_EQ(table.Attach(nullptr, 256, 4095), VQ_ERR_BAD_TABLE);
    EXPECT_EQ(table.Attach(t.data(), 256, 4095), VQ_OK);
    EXPECT_TRUE(table.IsValid());
    EXPECT_EQ(table.length, 256);
}

TEST(CurveTables, Gamma) {
    std::vector<uint16_t> t(4, 0xEEEE);
    CurveTable curve;
    EXPECT_EQ(curve.BuildGamma(2.0), VQ_OK); // nothing attached: nothing written
    ASSERT_EQ(curve.Attach(t.data(), 4, 4095), VQ_OK);
    ASSERT_EQ(curve.BuildGamma(2.0), VQ_OK);
    EXPECT_EQ(t, (std::vector<uint16_t>{0, 2364, 3344, 4095}));
    CurveTable detached;
    detached.entries = t.data(); // a table that was never attached
    EXPECT_EQ(detached.BuildGamma(2.0), VQ_ERR_NO_TABLE);
}

TEST(CurveTables, LogLogCurveThroughFourKnots) {
    std::vector<uint16_t> t(4096, 0xEEEE);
    using G = ToneCurveGenerator;
    ASSERT_EQ(G::BuildLogCurve(t.data(), 4096, 4095, G::Knot(100, 100), G::Knot(10, 1), 0,
                               G::Knot(1000, 2000), G::Knot(4000, 4095)),
              VQ_OK);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(t[i], 0) << i;
    EXPECT_NEAR(t[10], 1, 1);
    EXPECT_NEAR(t[100], 100, 1);
    // Between the knots (100, 100) and (1000, 2000) the curve is a straight line
    // in the log-log plane, of slope log 20 = 1.30103: 100 (x / 100)^1.30103.
    const std::pair<int, int> line[] = {{150, 169}, {300, 418}, {500, 812}, {999, 1997}};
    for (const auto& [x, y] : line) EXPECT_NEAR(t[x], y, 1) << x;
    EXPECT_NEAR(t[1000], 2000, 1);
    EXPECT_NEAR(t[3999], 4095, 2);
    for (int i = 4000; i < 4096; ++i) EXPECT_EQ(t[i], 4095) << i;
    for (int i = 11; i < 4096; ++i) EXPECT_GE(t[i], t[i - 1]) << i;

    ToneCurveGenerator none;
    EXPECT_EQ(none.Generate(), VQ_ERR_NO_TABLE);
}

TEST(CurveTables, LogCurveStaysInsideItsTable) {
    // Knots beyond the table length (from a damaged file) write nothing past it.
    std::vector<uint16_t> t(64 + 8, 0xEEEE);
    using G = ToneCurveGenerator;
    ASSERT_EQ(G::BuildLogCurve(t.data(), 64, 4095, G::Knot(100, 100), G::Knot(10, 1), 0,
                               G::Knot(1000, 2000), G::Knot(4000, 4095)),
              VQ_OK);
    for (int i = 64; i < 72; ++i) EXPECT_EQ(t[i], 0xEEEE);
    // A knot at zero has no logarithm; the table is still filled with numbers.
    std::vector<uint16_t> z(16, 0xEEEE);
    ASSERT_EQ(G::BuildLogCurve(z.data(), 16, 4095, G::Knot(0, 0), G::Knot(0, 0), 0,
                               G::Knot(8, 100), G::Knot(12, 200)),
              VQ_OK);
    for (uint16_t v : z) EXPECT_NE(v, 0xEEEE);
}

TEST(CurveTables, FilmCurves) {
    std::vector<uint16_t> t(10000, 0xEEEE);
    int32_t length = 0;
    ASSERT_EQ(ToneCurveGenerator::BuildFilmCurve(0, t.data(), 4096, 4096, &length), VQ_OK);
    EXPECT_EQ(length, 4096);
    EXPECT_EQ(t[0], 0);
    EXPECT_NEAR(t[4095], 4095, 8);
    for (int i = 1; i < 4096; ++i) EXPECT_GE(t[i], t[i - 1]) << i;

    ASSERT_EQ(ToneCurveGenerator::BuildFilmCurve(0, t.data(), 10000, 10000, &length), VQ_OK);
    EXPECT_EQ(length, 9600);
    for (int i = 9600; i < 10000; ++i) EXPECT_EQ(t[i], 4095) << i;

    std::vector<uint16_t> a(6000), b(6000);
    int32_t la = 0, lb = 0;
    ASSERT_EQ(ToneCurveGenerator::BuildFilmCurve(7, a.data(), 6000, 10000, &la), VQ_OK);
    ASSERT_EQ(ToneCurveGenerator::BuildFilmCurve(1, b.data(), 6000, 10000, &lb), VQ_OK);
    EXPECT_EQ(la, 5600);
    EXPECT_EQ(a, b);
    ASSERT_EQ(ToneCurveGenerator::BuildFilmCurve(2, a.data(), 6000, 10000, &la), VQ_OK);
    EXPECT_EQ(la, 6800);

    // A limit above the table's count never writes past the table.
    std::vector<uint16_t> small(100 + 4, 0xEEEE);
    ASSERT_EQ(ToneCurveGenerator::BuildFilmCurve(0, small.data(), 100, 10000, &length), VQ_OK);
    EXPECT_EQ(small[100], 0xEEEE);
    EXPECT_EQ(ToneCurveGenerator::BuildFilmCurve(0, nullptr, 100, 100, &length), VQ_ERR_NO_TABLE);
}

namespace {

// Sets of codes 136 (40), 140 (100) and 144 (250); set k has red knots
// (0, k) .. (10, 10 + k) and green and blue alike.
std::vector<int16_t> curveSets(std::vector<int16_t> codes, int16_t blueLastX = 10) {
    std::vector<int16_t> t;
    t.push_back(int16_t(codes.size()));
    for (int16_t c : codes) t.push_back(c);
    for (size_t k = 0; k < codes.size(); ++k) {
        const int16_t v = int16_t(k);
        const std::vector<int16_t> rec = {0, 0, 0, 0, v, 10, int16_t(10 + v), 0, v, 10,
                                          int16_t(20 + v), 0, v, blueLastX, int16_t(30 + v)};
        t.insert(t.end(), rec.begin(), rec.end());
    }
    return t;
}

} // namespace

TEST(CurveSets, ChoosesTheNearestSpeed) {
    const auto t = curveSets({136, 140, 144});
    struct Case { uint32_t speed; int32_t index; uint16_t code; };
    for (const Case& c : {Case{160, 1, 140}, Case{175, 2, 144}, Case{250, 2, 144}, Case{40, 0, 136},
                          Case{6, 0, 136}, Case{100000, 2, 144}}) {
        int32_t index = -1;
        uint16_t code = 0;
        ASSERT_TRUE(SdkFindCurveSet(t.data(), c.speed, &index, &code, t.size())) << c.speed;
        EXPECT_EQ(index, c.index) << c.speed;
        EXPECT_EQ(code, c.code) << c.speed;
    }
    int32_t index = 0;
    auto unknownLast = curveSets({136, 140, 99});
    EXPECT_FALSE(SdkFindCurveSet(unknownLast.data(), 100, &index, nullptr, unknownLast.size()));
    auto unknownMiddle = curveSets({136, 99, 144});
    ASSERT_TRUE(SdkFindCurveSet(unknownMiddle.data(), 100, &index, nullptr, unknownMiddle.size()));
    EXPECT_EQ(index, 0);
    EXPECT_FALSE(SdkFindCurveSet(t.data(), 100, &index, nullptr, 3)); // codes cut off
}

TEST(CurveSets, BuildsTheThreeTables) {
    const auto t = curveSets({136, 140, 144});
    uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    int32_t length = 0;
    ASSERT_EQ(SdkBuildCurveSetLuts(100, &r, &g, &b, &length, t.data(), t.size()), VQ_OK);
    EXPECT_EQ(length, 11);
    EXPECT_EQ(r[0], 1);
    EXPECT_EQ(r[10], 11);
    EXPECT_EQ(g[10], 21);
    EXPECT_EQ(b[10], 31);
    delete[] r;
    delete[] g;
    delete[] b;

    auto tooMany = curveSets({136, 140, 144});
    tooMany[0] = 41;
    EXPECT_EQ(SdkBuildCurveSetLuts(100, &r, &g, &b, &length, tooMany.data(), tooMany.size()), VQ_ERR_BAD_FILE);
    const auto uneven = curveSets({136, 140, 144}, 12);
    EXPECT_EQ(SdkBuildCurveSetLuts(100, &r, &g, &b, &length, uneven.data(), uneven.size()), VQ_ERR_BAD_FILE);
    EXPECT_EQ(r, nullptr);
    EXPECT_EQ(b, nullptr);
    // Records cut off by the end of the stored table.
    EXPECT_EQ(SdkBuildCurveSetLuts(100, &r, &g, &b, &length, t.data(), t.size() - 1), VQ_ERR_BAD_FILE);
}
