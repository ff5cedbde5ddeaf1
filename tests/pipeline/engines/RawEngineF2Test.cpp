#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "EngineTestSupport.h"
#include "RawEngineF2.h"
#include "VqOutputTypes.h"

using namespace lumora;

namespace {

using lumora::test::SetParameter;

constexpr RationalValue kIdentity[9] = {{4096, 4096}, {0, 4096}, {0, 4096},    {0, 4096}, {4096, 4096},
                                        {0, 4096},    {0, 4096}, {0, 4096}, {4096, 4096}};

std::vector<uint16_t> Ramp(uint32_t n) {
    std::vector<uint16_t> t(n);
    for (uint32_t i = 0; i < n; ++i) t[i] = uint16_t(i);
    return t;
}

// An engine with identity transfer tables and matrices, the old files' levels
// and the given neutral point.
struct F2Engine {
    RawEngineF2 engine;
    std::vector<uint16_t> curveA = Ramp(4096), curveB = Ramp(4096), tone = Ramp(4096);
    CurveState state{};

    F2Engine(int32_t model, uint16_t r, uint16_t g, uint16_t b) {
        state.midLevel = 2568;
        state.whiteLevel = 3612;
        state.curvesStale = state.thumbCurvesStale = state.toneStale = 1;
        SetParameter(engine, RP_MODEL_ID, model);
        SetParameter(engine, RP_F2_CURVE_A, curveA.data());
        SetParameter(engine, RP_F2_CURVE_A_SIZE, int32_t(curveA.size()));
        SetParameter(engine, RP_F2_CURVE_B, curveB.data());
        SetParameter(engine, RP_F2_CURVE_B_SIZE, int32_t(curveB.size()));
        SetParameter(engine, RP_TONE_CURVE, tone.data());
        SetParameter(engine, RP_TONE_CURVE_SIZE, int32_t(tone.size()));
        std::memcpy(engine.Parameter(RP_COLOR_MATRIX), kIdentity, sizeof kIdentity);
        std::memcpy(engine.Parameter(RP_COLOR_MATRIX_2), kIdentity, sizeof kIdentity);
        std::memcpy(engine.Parameter(RP_COLOR_MATRIX_3), kIdentity, sizeof kIdentity);
        void* record = &state;
        SetParameter(engine, RP_CURVE_STATE, record);
        const uint16_t neutral[3] = {r, g, b};
        std::memcpy(engine.Parameter(RP_WHITE_BALANCE), neutral, sizeof neutral);
    }
};

} // namespace

TEST(RawEngineF2, OutputFormats) {
    RawEngineF2 e;
    struct Case {
        uint32_t type;
        int32_t bytes, channels;
    };
    const Case cases[] = {{0, 2, 1},  {3, 2, 1},  {2, 1, 1},  {4, 1, 3},  {8, 1, 3},  {12, 1, 3}, {5, 1, 4},
                          {9, 1, 4},  {6, 2, 3},  {10, 2, 3}, {13, 2, 3}, {14, 2, 3}, {7, 2, 4},  {11, 2, 4},
                          {1, 0, 0},  {15, 0, 0}, {20, 0, 0}, {21, 0, 0}};
    for (const Case& c : cases) {
        int32_t bytes = -1, channels = -1;
        EXPECT_EQ(e.GetOutputFormat(c.type, &bytes, &channels), c.bytes ? 0u : VQ_ERR_BAD_IMAGE_TYPE) << c.type;
        EXPECT_EQ(bytes, c.bytes) << c.type;
        EXPECT_EQ(channels, c.channels) << c.type;
    }
}

TEST(RawEngineF2, ProcessingModes) {
    RawEngineF2 e;
    struct Case {
        uint32_t type;
        int32_t cfaSize;
        VqStatus status;
        int32_t modes[11];
    };
    const Case cases[] = {
        {0, 16, 0, {2, 1, 1, 2, 2, 2, 1, 2, 2, 1, 2}},
        {4, 16, 0, {0, 0, 1, 0, 1, 3, 1, 2, 1, 2, 1}},
        {11, 0, 0, {0, 0, 1, 0, 2, 3, 1, 2, 1, 2, 1}},
        {12, 16, 0, {0, 0, 1, 0, 1, 2, 1, 0, 1, 2, 1}},
        {14, 0, 0, {0, 0, 1, 0, 2, 2, 1, 0, 1, 2, 1}},
        {2, 16, VQ_ERR_BAD_IMAGE_TYPE, {2, 0, 0, 0, 0, 2, 1, 2, 1, 2, 1}},
        {15, 16, VQ_ERR_BAD_IMAGE_TYPE, {2, 0, 0, 0, 0, 2, 1, 2, 1, 2, 1}},
    };
    for (const Case& c : cases) {
        F2ProcessingModes m;
        EXPECT_EQ(e.GetF2ProcessingModes(c.type, 1, 2, 0, c.cfaSize, &m), c.status) << c.type;
        const int32_t got[11] = {m.outMode,       m.demosaicPassThrough, m.demosaicMode, m.curveMode,
                                 m.cfaMode,       m.transformMode,       m.transformFlag, m.finalMode,
                                 m.shiftMode,     m.unpackMode,          m.tableMode};
        for (int i = 0; i < 11; ++i) EXPECT_EQ(got[i], c.modes[i]) << c.type << " mode " << i + 1;
    }
}

TEST(RawEngineF2, BalanceCurvesFromTheNeutralPoint) {
    // Model 18 takes the gains 4, 2, 1 straight from the neutral (100, 200, 400).
    F2Engine t(18, 100, 200, 400);
    ASSERT_EQ(t.engine.BuildBalanceCurves(RawEngineF2::CurveSet::Render, nullptr, 0), 0u);
    EXPECT_EQ(t.state.curvesStale, 0);
    const uint16_t* red = t.engine.BalanceCurve(RawEngineF2::CurveSet::Render, 0);
    const uint16_t* blue = t.engine.BalanceCurve(RawEngineF2::CurveSet::Render, 2);
    ASSERT_TRUE(red && blue);
    // Entry i = min(4092, floor(gain * i * 4092 / 4095 + 0.5)).
    EXPECT_EQ(red[100], 400);    // 4 * 100 * 4092 / 4095 = 399.71
    EXPECT_EQ(red[1023], 4089);  // 4089.0
    EXPECT_EQ(red[1024], 4092);
    EXPECT_EQ(blue[4095], 4092);
    EXPECT_EQ(blue[2000], 1999); // 1998.53

    // Kept while the record's flag is clear.
    ASSERT_EQ(t.engine.BuildBalanceCurves(RawEngineF2::CurveSet::Render, nullptr, 0), 0u);
    EXPECT_EQ(t.engine.CurveBuildCount(), 1u);

    // With a source table: its entries scaled by the gains.
    std::vector<uint16_t> source = Ramp(4096);
    ASSERT_EQ(t.engine.BuildBalanceCurves(RawEngineF2::CurveSet::Thumbnail, source.data(), 4096), 0u);
    EXPECT_EQ(t.engine.BalanceCurve(RawEngineF2::CurveSet::Thumbnail, 1)[1000], 2000);
    EXPECT_EQ(t.engine.BalanceCurve(RawEngineF2::CurveSet::Thumbnail, 0)[1000], 4000);
    EXPECT_EQ(t.engine.BalanceCurve(RawEngineF2::CurveSet::Thumbnail, 0)[2000], 4092);
}

TEST(RawEngineF2, BalanceCurveFailuresLeaveTheFlagSet) {
    {
        F2Engine t(18, 0, 200, 400); // no gain for a channel without light
        EXPECT_EQ(t.engine.BuildBalanceCurves(RawEngineF2::CurveSet::Render, nullptr, 0), VQ_ERR_BAD_SAMPLE);
        EXPECT_EQ(t.state.curvesStale, 1);
        EXPECT_EQ(t.engine.BalanceCurve(RawEngineF2::CurveSet::Render, 0), nullptr);
    }
    {
        // The source table is read 4096 entries deep.
        F2Engine t(13, 1000, 1000, 1000);
        std::vector<uint16_t> source = Ramp(1024);
        EXPECT_EQ(t.engine.BuildBalanceCurves(RawEngineF2::CurveSet::Thumbnail, source.data(), 1024),
                  VQ_ERR_BAD_SAMPLE);
        EXPECT_EQ(t.state.thumbCurvesStale, 1);
    }
}

TEST(RawEngineF2, ToneTableFollowsTheRecord) {
    F2Engine t(13, 1000, 1000, 1000);
    ASSERT_EQ(t.engine.BuildToneTable(), 0u);
    ASSERT_NE(t.engine.ToneTable(), nullptr);
    EXPECT_EQ(t.engine.ToneTable()[1807], 1806);
    EXPECT_EQ(t.engine.ToneTable()[4000], 3610);
    ASSERT_EQ(t.engine.BuildToneTable(), 0u);
    EXPECT_EQ(t.engine.ToneBuildCount(), 1u);
    t.state.toneStale = 1;
    ASSERT_EQ(t.engine.BuildToneTable(), 0u);
    EXPECT_EQ(t.engine.ToneBuildCount(), 2u);
}
