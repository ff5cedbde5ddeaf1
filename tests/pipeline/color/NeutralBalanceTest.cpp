#include <gtest/gtest.h>

#include <vector>

#include "NeutralBalance.h"

using namespace lumora;

namespace {

constexpr RationalValue kIdentity[9] = {{4096, 4096}, {0, 4096}, {0, 4096},    {0, 4096}, {4096, 4096},
                                        {0, 4096},    {0, 4096}, {0, 4096}, {4096, 4096}};

std::vector<uint16_t> Ramp(uint32_t n) {
    std::vector<uint16_t> t(n);
    for (uint32_t i = 0; i < n; ++i) t[i] = uint16_t(i);
    return t;
}

class NeutralBalanceTest : public ::testing::Test {
protected:
    NeutralBalanceTest() { state.midLevel = 2568; }
    NeutralBalanceInputs Inputs(int32_t model = 13, int32_t type = 0, bool withState = true) const {
        NeutralBalanceInputs in;
        in.curveA = curveA.data();
        in.curveASize = uint32_t(curveA.size());
        in.curveB = curveB.data();
        in.curveBSize = uint32_t(curveB.size());
        in.matrix1 = in.matrix2 = in.matrix3 = kIdentity;
        in.curveState = withState ? &state : nullptr;
        in.balanceType = type;
        in.modelId = model;
        return in;
    }
    std::vector<uint16_t> curveA = Ramp(4096), curveB = Ramp(4096);
    CurveState state{};
};

} // namespace

TEST_F(NeutralBalanceTest, GainsFromNeutralThroughIdentityTables) {
    // (100, 200, 400): colour differences (-25, 150); back through the inverse
    // split with the mean 2568 they give 2568 - 546150/4096, 2568 - 136525/4096,
    // 2568 + 682650/4096.
    const double w[3] = {2568.0 - 546150.0 / 4096, 2568.0 - 136525.0 / 4096, 2568.0 + 682650.0 / 4096};
    struct Case {
        int32_t model, type;
        uint16_t r, g, b;
        double gains[3];
    };
    const Case cases[] = {
        {13, 0, 1000, 1000, 1000, {1.0, 1.0, 1.0}},
        {18, 0, 1000, 1000, 1000, {1.0, 1.0, 1.0}},
        {13, 0, 100, 200, 400, {2568 / w[0], 2568 / w[1], 2568 / w[2]}},
        {18, 5, 100, 200, 400, {2568 / w[0], 2568 / w[1], 2568 / w[2]}},
        {18, 0, 100, 200, 400, {4.0, 2.0, 1.0}},
    };
    for (const Case& c : cases) {
        const NeutralBalance balance(Inputs(c.model, c.type));
        double gains[3] = {};
        ASSERT_EQ(balance.BalanceFromNeutral(c.r, c.g, c.b, gains), 0u) << c.model << "/" << c.r;
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(gains[i], c.gains[i], 1e-3) << c.model << "/" << c.r << " " << i;
    }
}

TEST_F(NeutralBalanceTest, ChannelWithoutLightIsRefused) {
    // Curve B gives 0 below 2500: the red of (100, 200, 400) lands at 2434.66.
    for (uint32_t i = 0; i < 2500; ++i) curveB[i] = 0;
    double gains[3] = {};
    EXPECT_EQ(NeutralBalance(Inputs(13)).BalanceFromNeutral(100, 200, 400, gains), VQ_ERR_BAD_SAMPLE);
    // Model 18 takes its gains from the neutral itself, yet keeps the status.
    EXPECT_EQ(NeutralBalance(Inputs(18)).BalanceFromNeutral(100, 200, 400, gains), VQ_ERR_BAD_SAMPLE);
    EXPECT_DOUBLE_EQ(gains[0], 4.0);
    // A zero channel has no gain at all.
    curveB = Ramp(4096);
    EXPECT_EQ(NeutralBalance(Inputs(18)).BalanceFromNeutral(0, 200, 400, gains), VQ_ERR_BAD_SAMPLE);
}

TEST_F(NeutralBalanceTest, NeutralToBalanceTriple) {
    uint16_t out[3] = {};
    ASSERT_EQ(NeutralBalance(Inputs(13, 0, false)).NeutralToBalanceTriple(68, 568, 1568, out), 0u);
    EXPECT_EQ(out[0], 2500);
    EXPECT_EQ(out[1], 2000);
    EXPECT_EQ(out[2], 1000);
    state.midLevel = 3000;
    ASSERT_EQ(NeutralBalance(Inputs(13)).NeutralToBalanceTriple(68, 568, 1568, out), 0u);
    EXPECT_EQ(out[0], 2932);
    EXPECT_EQ(out[2], 1432);
    // A singular matrix: the triple is still written, as zeros.
    const RationalValue zero[9] = {{0, 4096}, {0, 4096}, {0, 4096}, {0, 4096}, {0, 4096},
                                   {0, 4096}, {0, 4096}, {0, 4096}, {0, 4096}};
    NeutralBalanceInputs in = Inputs(13);
    in.matrix3 = zero;
    out[0] = out[1] = out[2] = 7;
    EXPECT_NE(NeutralBalance(in).NeutralToBalanceTriple(68, 568, 1568, out), 0u);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[2], 0);
}

TEST_F(NeutralBalanceTest, SampledNeutralPoint) {
    state.neutralA = 100;
    state.neutralB = 200;
    double out[3] = {};
    ASSERT_EQ(NeutralBalance(Inputs(13)).GetNeutralPoint(out), 0u);
    EXPECT_NEAR(out[0], 2568 + (273000.0 + 819200.0) / 4096, 1e-6);
    EXPECT_NEAR(out[1], 2568 - 546100.0 / 4096, 1e-6);
    EXPECT_NEAR(out[2], 2568 + (273000.0 - 819200.0) / 4096, 1e-6);
}

TEST_F(NeutralBalanceTest, NeutralForIlluminant) {
    // Group 0 (500, 500, 500) reference, group 2 (1000, 1200, 1400) / 1, the
    // other groups (2000 / 2 each).
    uint32_t block[36];
    for (int g = 0; g < 6; ++g)
        for (int i = 0; i < 3; ++i) {
            block[6 * g + 2 * i] = 2000;
            block[6 * g + 2 * i + 1] = 2;
        }
    for (int i = 0; i < 3; ++i) {
        block[2 * i] = 500;
        block[2 * i + 1] = 1;
        block[12 + 2 * i] = uint32_t(1000 + 200 * i);
        block[12 + 2 * i + 1] = 1;
    }
    double out[3] = {};
    // Model 13: both lights through their matrices, the difference about the middle level.
    ASSERT_EQ(NeutralBalance(Inputs(13)).NeutralForIlluminant(2, block, out), 0u);
    EXPECT_NEAR(out[0], 3068, 1e-9);
    EXPECT_NEAR(out[1], 3268, 1e-9);
    EXPECT_NEAR(out[2], 3468, 1e-9);
    // Other models: the reference's excess over its smallest channel (0 here) comes off.
    block[2] = 503; // reference (500, 503, 500): green excess 3
    ASSERT_EQ(NeutralBalance(Inputs(18)).NeutralForIlluminant(2, block, out), 0u);
    EXPECT_NEAR(out[0], 1000, 1e-9);
    EXPECT_NEAR(out[1], 1197, 1e-9);
    EXPECT_NEAR(out[2], 1400, 1e-9);

    block[3] = 0; // a zero denominator in the reference
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(NeutralBalance(Inputs(13)).NeutralForIlluminant(k, block, out), VQ_ERR_BAD_NUMBER) << k;
    block[3] = 1;
    EXPECT_EQ(NeutralBalance(Inputs(13)).NeutralForIlluminant(6, block, out), VQ_ERR_BAD_NUMBER);
    EXPECT_EQ(NeutralBalance(Inputs(13)).NeutralForIlluminant(-1, block, out), VQ_ERR_BAD_NUMBER);
}
