#include <gtest/gtest.h>

#include <vector>

#include "F2ToneTable.h"
#include "KnotCurve.h"

using namespace lumora;

namespace {

constexpr int32_t kDomain = 3613;

// Index of the sampling input equal to x when 0 ... 3612 is sampled with 3613
// inputs: 1806 is taken twice, so inputs above it sit one place further on.
int32_t SampleIndex(int32_t x) { return x <= 1806 ? x : x + 1; }

std::vector<uint16_t> Ramp(uint32_t n) {
    std::vector<uint16_t> t(n);
    for (uint32_t i = 0; i < n; ++i) t[i] = uint16_t(i);
    return t;
}

CurveState OldFileLevels() {
    CurveState s{};
    s.blackLevel = 0;
    s.midLevel = 2568;
    s.whiteLevel = 3612;
    return s;
}

} // namespace

TEST(KnotCurve, SamplingClampsAtBothEndsAndRoundsBetweenKnots) {
    const int32_t x[3] = {10, 20, 30};
    const int32_t y[3] = {100, 200, 100};
    const int32_t in[7] = {0, 10, 15, 20, 25, 30, 40};
    int32_t out[7] = {};
    SampleLinear(x, y, 3, in, out, 7);
    // The rounding half is added before a division that truncates toward zero, so
    // a falling segment comes out one high, even at its end knot.
    const int32_t want[7] = {100, 100, 150, 200, 151, 101, 100};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(out[i], want[i]) << i;
}

TEST(KnotCurve, RangeSamplingTakesTheMiddleInputTwice) {
    const int32_t x[2] = {0, 3612};
    const int32_t y[2] = {0, 3612};
    std::vector<int32_t> out(kDomain);
    ASSERT_EQ(SampleLinearRange(x, y, 2, 0, 3612, kDomain, out.data()), 0u);
    for (int32_t i = 0; i < kDomain; ++i) ASSERT_EQ(out[size_t(i)], i <= 1806 ? i : i - 1) << i;
    EXPECT_EQ(SampleLinearRange(x, y, 2, 10, 9, 5, out.data()), VQ_ERR_BAD_SAMPLE);
    EXPECT_EQ(SampleLinearRange(x, y, 2, 0, 9, 0, out.data()), VQ_ERR_BAD_SAMPLE);
}

TEST(KnotCurve, KnotsFromLevels) {
    struct Case {
        int32_t a, b, c, d, e, f, g;
        VqStatus status;
        int32_t x[5], y[5];
    };
    const Case cases[] = {
        {0, 2568, 3612, 2568, 300, 1, 3613, 0, {0, 2268, 2568, 2868, 3612}, {0, 2268, 2568, 2868, 3612}},
        {0, 2568, 3612, 2568, 240, 1, 3613, 0, {0, 2328, 2568, 2808, 3612}, {0, 2328, 2568, 2808, 3612}},
        // b above c: moved to c - 200 = 3412, the knots are still written.
        {0, 4000, 3612, 2568, 300, 1, 3613, VQ_ERR_BAD_SAMPLE,
         {0, 3112, 3412, 3512, 3612}, {0, 2268, 2568, 2868, 3612}},
        // b below a: moved to a + 200 = 300.
        {100, 50, 3612, 1000, 10, 2, 3613, VQ_ERR_BAD_SAMPLE, {100, 290, 300, 310, 3612}, {0, 980, 1000, 1020, 3612}},
    };
    for (const Case& k : cases) {
        int32_t x[5], y[5];
        EXPECT_EQ(KnotsFromLevels(k.a, k.b, k.c, k.d, k.e, k.f, k.g, x, y), k.status) << k.b;
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(x[i], k.x[i]) << k.b << " x" << i;
            EXPECT_EQ(y[i], k.y[i]) << k.b << " y" << i;
        }
    }
}

TEST(KnotCurve, DefaultLevelsGiveIdentityCurves) {
    std::vector<int32_t> c1(kDomain), c2(kDomain);
    ASSERT_EQ(NineKnotCurve(0, 2568, 3612, 2568, 300, 1, kDomain, c1.data()), 0u);
    ASSERT_EQ(SevenKnotCurve(2568, 300, 1, kDomain, c2.data()), 0u);
    for (int32_t j = 0; j < kDomain; ++j) {
        const int32_t want = j <= 1806 ? j : j - 1;
        ASSERT_EQ(c1[size_t(j)], want) << j;
        ASSERT_EQ(c2[size_t(j)], want) << j;
    }
}

TEST(KnotCurve, RaisedMiddleLevelHoldsTheSlope) {
    std::vector<int32_t> c1(kDomain);
    ASSERT_EQ(NineKnotCurve(0, 3000, 3612, 2568, 300, 1, kDomain, c1.data()), 0u);
    const int32_t K[9] = {0, 1350, 2700, 2850, 3000, 3150, 3300, 3456, 3612};
    const int32_t V[9] = {0, 1134, 2275, 2419, 2568, 2723, 2911, 3240, 3612};
    // The last knot lies beyond the last input (3611).
    for (int i = 0; i < 8; ++i) EXPECT_EQ(c1[size_t(SampleIndex(K[i]))], V[i]) << "knot " << i;
    for (int32_t j = 1; j < kDomain; ++j) ASSERT_LE(c1[size_t(j)] - c1[size_t(j - 1)], 10) << j;
}

TEST(KnotCurve, CoincidingKnotsAreRefused) {
    std::vector<int32_t> out(kDomain);
    // Black and middle level equal: the first knots coincide.
    EXPECT_EQ(NineKnotCurve(0, 0, 3612, 0, 300, 1, kDomain, out.data()), VQ_ERR_BAD_SAMPLE);
    // A shoulder of width 0 puts the seven-knot curve's middle knots on one place.
    EXPECT_EQ(SevenKnotCurve(2568, 0, 1, kDomain, out.data()), VQ_ERR_BAD_SAMPLE);
}

class F2ToneTableTest : public ::testing::Test {
protected:
    std::vector<uint16_t> curveA = Ramp(4096), curveB = Ramp(4096), tone = Ramp(4096);
    F2TransferTables Tables() const { return {curveA.data(), uint32_t(curveA.size()), curveB.data(),
                                              uint32_t(curveB.size())}; }
};

TEST_F(F2ToneTableTest, OldFileLevelsThroughIdentityTables) {
    CurveState s = OldFileLevels();
    F2ToneTable table;
    ASSERT_EQ(table.Build(s, Tables(), tone.data(), 4096, 0), 0u);
    const uint16_t* t = table.Table();
    ASSERT_NE(t, nullptr);
    for (int32_t k = 0; k < 4096; ++k) {
        const int32_t want = k <= 1806 ? k : k == 1807 ? 1806 : k <= 3612 ? k - 2 : 3610;
        ASSERT_EQ(t[k], want) << k;
    }
    EXPECT_EQ(s.toneStale, 0);
}

TEST_F(F2ToneTableTest, RebuiltOnlyWhenStale) {
    CurveState s = OldFileLevels();
    F2ToneTable table;
    ASSERT_EQ(table.Build(s, Tables(), tone.data(), 4096, 0), 0u);
    ASSERT_EQ(table.Build(s, Tables(), tone.data(), 4096, 0), 0u);
    EXPECT_EQ(table.BuildCount(), 1u);
    // Sampled balance: the middle level comes from the sampled level.
    s.sampledLevel = 3000;
    s.toneStale = 1;
    ASSERT_EQ(table.Build(s, Tables(), tone.data(), 4096, 5), 0u);
    EXPECT_EQ(table.BuildCount(), 2u);
    // Entry 2701 samples the input 2700, the knot where C1 gives 2275; C2 then
    // takes one off as every curve above the middle input does.
    EXPECT_EQ(table.Table()[2701], 2274);
}

TEST_F(F2ToneTableTest, FailuresKeepTheTableAndTheStaleFlag) {
    CurveState s = OldFileLevels();
    F2ToneTable table;
    ASSERT_EQ(table.Build(s, Tables(), tone.data(), 4096, 0), 0u);
    const std::vector<uint16_t> before(table.Table(), table.Table() + 4096);

    CurveState bad = s;
    bad.midLevel = 3700; // above the white level
    bad.toneStale = 1;
    EXPECT_EQ(table.Build(bad, Tables(), tone.data(), 4096, 0), VQ_ERR_BAD_SAMPLE);
    EXPECT_EQ(bad.toneStale, 1);
    EXPECT_EQ(std::vector<uint16_t>(table.Table(), table.Table() + 4096), before);

    // Tables whose values or sizes would index outside each other are refused.
    struct Case {
        const char* what;
        uint32_t aSize, bSize, toneSize;
        uint16_t aValue;
        VqStatus status;
    };
    const Case cases[] = {
        {"curve A short", 4000, 4096, 4096, 0, VQ_ERR_BAD_SAMPLE},
        {"curve B empty", 4096, 0, 4096, 0, VQ_ERR_BAD_SAMPLE},
        {"tone curve short", 4096, 4096, 1024, 0, VQ_ERR_BAD_SAMPLE},
        {"curve A value 4096", 4096, 4096, 4096, 4096, VQ_ERR_BAD_SAMPLE},
    };
    for (const Case& c : cases) {
        std::vector<uint16_t> a = curveA;
        if (c.aValue) a[100] = c.aValue;
        CurveState st = s;
        st.toneStale = 1;
        const F2TransferTables tables{a.data(), c.aSize, curveB.data(), c.bSize};
        EXPECT_EQ(table.Build(st, tables, tone.data(), c.toneSize, 0), c.status) << c.what;
        EXPECT_EQ(st.toneStale, 1) << c.what;
    }
    CurveState st = s;
    EXPECT_EQ(table.Build(st, Tables(), nullptr, 4096, 0), VQ_ERR_BAD_HANDLE);
    EXPECT_EQ(std::vector<uint16_t>(table.Table(), table.Table() + 4096), before);
}

TEST_F(F2ToneTableTest, ShortCurveBGivesItsLastEntryBeyondTheEnd) {
    CurveState s = OldFileLevels();
    curveB = Ramp(3000);
    F2ToneTable table;
    ASSERT_EQ(table.Build(s, Tables(), tone.data(), 4096, 0), 0u);
    EXPECT_EQ(table.Table()[4095], 2999);
    EXPECT_EQ(table.Table()[1000], 1000);
}
