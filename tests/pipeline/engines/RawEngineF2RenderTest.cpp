#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "RawEngineF2.h"
#include "RawEngineFixture.h"
#include "WorkerPool.h"

using namespace lumora;
using namespace lumora::test;

namespace {

constexpr int kW = 64, kH = 48;

// A family-2 engine over a busy mosaic: identity transfer tables and matrices,
// the old files' tone levels, a shifted table that undoes the raise to 16 bits.
struct F2RenderEngine {
    RawEngineF2 engine;
    MemoryImage image;
    EngineSetup setup;
    std::vector<uint16_t> curveA, curveB, shifted, finalTable;
    CurveState state{};

    explicit F2RenderEngine(int32_t model, bool mosaicFilter = false) {
        EngineOptions o;
        o.mosaicFilter = mosaicFilter;
        setup.Configure(engine, image, PlainFile(BusySensor(kW, kH, 7)), kW, kH, o);
        SetParameter(engine, RP_DATA_FORMAT, int32_t(2));
        SetParameter(engine, RP_MODEL_ID, model);
        curveA.resize(4096);
        curveB.resize(4096);
        shifted.resize(65536);
        finalTable.resize(4096);
        for (int i = 0; i < 4096; ++i) curveA[size_t(i)] = curveB[size_t(i)] = finalTable[size_t(i)] = uint16_t(i);
        for (int i = 0; i < 65536; ++i) shifted[size_t(i)] = uint16_t(i >> 4);
        SetParameter(engine, RP_F2_CURVE_A, curveA.data());
        SetParameter(engine, RP_F2_CURVE_A_SIZE, int32_t(4096));
        SetParameter(engine, RP_F2_CURVE_B, curveB.data());
        SetParameter(engine, RP_F2_CURVE_B_SIZE, int32_t(4096));
        SetParameter(engine, RP_SHIFTED_TABLE, shifted.data());
        SetParameter(engine, RP_SHIFTED_TABLE_SIZE, int32_t(shifted.size()));
        SetParameter(engine, RP_FINAL_TABLE, finalTable.data());
        SetParameter(engine, RP_FINAL_TABLE_SIZE, int32_t(finalTable.size()));
        SetParameter(engine, RP_DIRECTION_THRESHOLD_H, int32_t(640));
        SetParameter(engine, RP_DIRECTION_THRESHOLD_V, int32_t(640));
        std::memcpy(engine.Parameter(RP_COLOR_MATRIX_2), engine.Parameter(RP_COLOR_MATRIX), sizeof(RationalValue) * 9);
        std::memcpy(engine.Parameter(RP_COLOR_MATRIX_3), engine.Parameter(RP_COLOR_MATRIX), sizeof(RationalValue) * 9);
        state.midLevel = 2568;
        state.whiteLevel = 3612;
        state.toneStale = state.curvesStale = state.thumbCurvesStale = 1;
        void* record = &state;
        SetParameter(engine, RP_CURVE_STATE, record);
    }
    uint32_t WholeBytes(uint32_t type) {
        int32_t bytes = 0, channels = 0;
        engine.GetOutputFormat(type, &bytes, &channels);
        return uint32_t(bytes * channels * kW * kH);
    }
};

std::vector<uint8_t> Pixel(const std::vector<uint8_t>& b, int width, int r, int c, int size) {
    const size_t at = (size_t(r) * size_t(width) + size_t(c)) * size_t(size);
    return std::vector<uint8_t>(b.begin() + long(at), b.begin() + long(at + size_t(size)));
}

} // namespace

TEST(RawEngineF2Render, BothDriversRenderEveryOutputType) {
    for (int32_t model : {13, 18})
        for (bool filter : {false, true}) {
            F2RenderEngine t(model, filter);
            for (uint32_t type : {0u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 13u, 14u, 2u, 3u}) {
                const Rendered r = Render(t.engine, type, t.WholeBytes(type));
                ASSERT_EQ(r.status, VQ_OK) << model << " " << filter << " type " << type;
                ASSERT_EQ(r.bytes.size(), t.WholeBytes(type));
                if (type != 0) {
                    size_t untouched = 0;
                    for (uint8_t b : r.bytes) untouched += b == 0xAB;
                    EXPECT_LT(untouched, r.bytes.size() / 4) << model << " type " << type;
                }
            }
            for (uint32_t type : {1u, 15u, 17u, 21u})
                EXPECT_EQ(Render(t.engine, type, 1 << 20).status, VQ_ERR_BAD_IMAGE_TYPE) << type;
        }
}

// Strips of a few rows are worked ahead on the worker pool's lanes: both
// drivers hand on the same strips whatever the lanes (the strip callback
// gathers them on the calling thread only).
TEST(RawEngineF2Render, EveryLaneCountHandsOnTheSameStrips) {
    for (int32_t model : {13, 18}) {
        F2RenderEngine t(model, true);
        for (uint32_t type : {4u, 6u}) {
            const uint32_t stripBytes = t.WholeBytes(type) / kH * 6;
            lumora::WorkerPool::Shared().SetLanes(1);
            const Rendered one = Render(t.engine, type, t.WholeBytes(type), stripBytes);
            ASSERT_EQ(one.status, VQ_OK) << model << " type " << type;
            ASSERT_EQ(one.strips, kH / 6);
            for (unsigned lanes : {2u, 8u}) {
                lumora::WorkerPool::Shared().SetLanes(lanes);
                const Rendered many = Render(t.engine, type, t.WholeBytes(type), stripBytes);
                EXPECT_EQ(many.status, VQ_OK) << model << " type " << type << ", " << lanes << " lanes";
                EXPECT_EQ(many.strips, one.strips) << model << " type " << type << ", " << lanes << " lanes";
                EXPECT_EQ(many.bytes, one.bytes) << model << " type " << type << ", " << lanes << " lanes";
            }
        }
    }
    lumora::WorkerPool::Shared().SetLanes(lumora::ProcessorCount());
}

TEST(RawEngineF2Render, TablesAreBuiltOnceWhileTheRecordIsUnchanged) {
    F2RenderEngine t(18);
    ASSERT_EQ(Render(t.engine, 4, t.WholeBytes(4)).status, VQ_OK);
    ASSERT_EQ(Render(t.engine, 4, t.WholeBytes(4)).status, VQ_OK);
    EXPECT_EQ(t.engine.CurveBuildCount(), 1u);
    EXPECT_EQ(t.engine.ToneBuildCount(), 1u);
    // A neutral point with no light in a channel ends the rendering before any strip.
    const uint16_t dark[3] = {0, 1000, 1000};
    std::memcpy(t.engine.Parameter(RP_WHITE_BALANCE), dark, sizeof dark);
    t.state.curvesStale = 1;
    const Rendered r = Render(t.engine, 4, t.WholeBytes(4));
    EXPECT_EQ(r.status, VQ_ERR_BAD_SAMPLE);
    for (uint8_t b : r.bytes) ASSERT_EQ(b, 0xAB);
    EXPECT_EQ(t.state.curvesStale, 1);
}

// Pixels of a turned rendering that differ from the upright one turned.
int TurnedDifferences(const std::vector<uint8_t>& upright, const std::vector<uint8_t>& turned, float rotation) {
    int differing = 0;
    for (int r = 0; r < kH; ++r)
        for (int c = 0; c < kW; ++c) {
            const auto got = rotation == 180.0f ? Pixel(turned, kW, kH - 1 - r, kW - 1 - c, 3)
                                                : Pixel(turned, kH, kW - 1 - c, r, 3);
            differing += got != Pixel(upright, kW, r, c, 3);
        }
    return differing;
}

// In one strip a turned rendering is the upright one turned, for both drivers.
// A half turn in several strips makes the same strips in reverse order: the
// threshold demosaicer of model 18 sees each strip alone and gives the same
// picture; the direction map of model 13 carries its column terms from strip to
// strip in the order the strips are made, so there the turned rendering differs.
// (A quarter turn cuts the strips across the other way, which moves the strip
// edges; it is compared in one strip only.)
TEST(RawEngineF2Render, TurnedRenderingIsTheUprightOneTurned) {
    for (int32_t model : {18, 13}) {
        F2RenderEngine t(model);
        const uint32_t stripBytes = kW * 3 * 8; // a few rows at a time
        const Rendered upright = Render(t.engine, 4, t.WholeBytes(4));
        const Rendered uprightStrips = Render(t.engine, 4, t.WholeBytes(4), stripBytes);
        ASSERT_EQ(upright.status, VQ_OK);
        ASSERT_EQ(uprightStrips.status, VQ_OK);
        ASSERT_GT(uprightStrips.strips, 2);
        for (float rotation : {180.0f, 270.0f}) {
            SetParameter(t.engine, RP_ROTATION, rotation);
            const Rendered turned = Render(t.engine, 4, t.WholeBytes(4));
            ASSERT_EQ(turned.status, VQ_OK);
            EXPECT_EQ(TurnedDifferences(upright.bytes, turned.bytes, rotation), 0) << model << " " << rotation;
            if (rotation != 180.0f) continue;
            const Rendered turnedStrips = Render(t.engine, 4, t.WholeBytes(4), stripBytes);
            ASSERT_EQ(turnedStrips.status, VQ_OK);
            const int stripDifferences = TurnedDifferences(uprightStrips.bytes, turnedStrips.bytes, rotation);
            if (model == 18) {
                EXPECT_EQ(stripDifferences, 0) << rotation;
            } else {
                EXPECT_GT(stripDifferences, 0) << rotation;
            }
        }
        SetParameter(t.engine, RP_ROTATION, 0.0f);
    }
}

TEST(RawEngineF2Render, ProgressOfOneStripEndsAtAHundred) {
    static std::vector<std::pair<int32_t, int32_t>> calls;
    ProgressRecord progress{[](int32_t state, int32_t percent, int32_t, int32_t) -> int32_t {
                                calls.emplace_back(state, percent);
                                return 1;
                            },
                            0};
    for (int32_t model : {13, 18})
        for (bool filter : {false, true}) {
            F2RenderEngine t(model, filter);
            calls.clear();
            ASSERT_EQ(Render(t.engine, 4, t.WholeBytes(4), 0, &progress).status, VQ_OK);
            ASSERT_FALSE(calls.empty());
            EXPECT_EQ(calls.back(), std::make_pair(2, 100)) << model << " " << filter;
        }
}

namespace {

uint16_t At16(const std::vector<uint8_t>& b, size_t sample) {
    uint16_t v;
    std::memcpy(&v, b.data() + 2 * sample, 2);
    return v;
}

} // namespace

TEST(RawEngineF2Thumbnail, GreyStaysGreyUnderAGreyNeutralAndFollowsTheBalance) {
    for (int32_t model : {13, 18}) {
        F2RenderEngine t(model);
        SolidThumbnail thumb(12, 10, 100, 100, 100);
        thumb.Attach(t.engine);
        SetParameter(t.engine, RP_OUTPUT_TYPE, int32_t(13));
        std::vector<uint8_t> out(12 * 10 * 6, 0xAB);
        ASSERT_EQ(t.engine.RenderThumbnail(out.data()), VQ_OK) << model;
        for (size_t p = 0; p < 120; ++p) {
            ASSERT_EQ(At16(out, 3 * p), At16(out, 3 * p + 1)) << model << " pixel " << p;
            ASSERT_EQ(At16(out, 3 * p + 2), At16(out, 3 * p + 1)) << model << " pixel " << p;
        }
        const uint16_t grey = At16(out, 0);
        // Less red in the neutral point: red is raised to match.
        const uint16_t neutral[3] = {600, 1000, 1000};
        std::memcpy(t.engine.Parameter(RP_WHITE_BALANCE), neutral, sizeof neutral);
        t.state.thumbCurvesStale = 1;
        ASSERT_EQ(t.engine.RenderThumbnail(out.data()), VQ_OK);
        EXPECT_GT(At16(out, 0), At16(out, 1)) << model;
        EXPECT_EQ(At16(out, 1), At16(out, 2)) << model;
        EXPECT_NE(At16(out, 0), grey);
        // The render's curves are another set: the thumbnail's change left them stale.
        EXPECT_EQ(t.state.curvesStale, 1);
        EXPECT_EQ(t.state.thumbCurvesStale, 0);
    }
}

TEST(RawEngineF2Thumbnail, TypesAndAShortFinalTable) {
    F2RenderEngine t(18);
    SolidThumbnail thumb(12, 10, 250, 250, 250);
    thumb.Attach(t.engine);
    std::vector<uint8_t> out(12 * 10 * 8, 0xAB);
    for (uint32_t type : {4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 13u, 14u, 2u}) {
        SetParameter(t.engine, RP_OUTPUT_TYPE, int32_t(type));
        EXPECT_EQ(t.engine.RenderThumbnail(out.data()), VQ_OK) << type;
    }
    SetParameter(t.engine, RP_OUTPUT_TYPE, int32_t(0));
    EXPECT_EQ(t.engine.RenderThumbnail(out.data()), VQ_ERR_BAD_IMAGE_TYPE);

    // The final ramp has as many entries as the final table: an index past its
    // end takes the last entry, none is read beyond it.
    for (int i = 0; i < 120; ++i) thumb.bytes[size_t(3 * i)] = uint8_t(2 * i);
    thumb.Attach(t.engine);
    SetParameter(t.engine, RP_OUTPUT_TYPE, int32_t(13));
    ASSERT_EQ(t.engine.RenderThumbnail(out.data()), VQ_OK);
    const std::vector<uint8_t> full(out.begin(), out.begin() + 12 * 10 * 6);
    SetParameter(t.engine, RP_FINAL_TABLE_SIZE, int32_t(64));
    ASSERT_EQ(t.engine.RenderThumbnail(out.data()), VQ_OK);
    int past = 0;
    for (size_t s = 0; s < 360; ++s) {
        const long before = std::lround(At16(full, s) * 4095.0 / 65535.0); // the index into the 4096 ramp
        const long expected = std::min(65535L, long(std::min(before, 63L) * 65535.0 / 63.0 + 0.5));
        ASSERT_EQ(At16(out, s), expected) << s;
        past += before > 63;
    }
    EXPECT_GT(past, 0);

    // A thumbnail that names more pixels than it holds is refused.
    thumb.info[3] = 12 * 9 * 3;
    thumb.Attach(t.engine);
    EXPECT_EQ(t.engine.RenderThumbnail(out.data()), VQ_ERR_BAD_FILE);
}

TEST(RawEngineF2Thumbnail, GreyFileRepeatsItsGreenPlane) {
    F2RenderEngine t(18);
    SetParameter(t.engine, RP_IS_COLOR, int32_t(0));
    SolidThumbnail thumb(12, 10, 10, 200, 30);
    thumb.Attach(t.engine);
    SetParameter(t.engine, RP_OUTPUT_TYPE, int32_t(13));
    std::vector<uint8_t> out(12 * 10 * 6, 0);
    ASSERT_EQ(t.engine.RenderThumbnail(out.data()), VQ_OK);
    EXPECT_EQ(At16(out, 0), At16(out, 1));
    EXPECT_EQ(At16(out, 2), At16(out, 1));
    // The same value as the green channel of a colour rendering with that green.
    F2RenderEngine c(18);
    SolidThumbnail greyThumb(12, 10, 200, 200, 200);
    greyThumb.Attach(c.engine);
    SetParameter(c.engine, RP_OUTPUT_TYPE, int32_t(13));
    std::vector<uint8_t> colour(12 * 10 * 6, 0);
    ASSERT_EQ(c.engine.RenderThumbnail(colour.data()), VQ_OK);
    EXPECT_EQ(At16(out, 1), At16(colour, 1));
}

namespace {

// A sensor file as family-2 engines read it: 12-bit samples in host order.
RawFile HostOrderFile(const Sensor& s, uint32_t headerBytes = 128) {
    RawFile f;
    f.bytes.assign(headerBytes, 0);
    f.dataOffset = headerBytes;
    for (uint16_t v : s.samples) {
        uint8_t b[2];
        std::memcpy(b, &v, 2);
        f.bytes.insert(f.bytes.end(), b, b + 2);
    }
    f.dataSize = uint32_t(f.bytes.size() - headerBytes);
    return f;
}

} // namespace

TEST(RawEngineF2Sample, MeansThroughTheShiftedTable) {
    F2RenderEngine t(18);
    Sensor flat = FlatSensor(kW, kH, 500, 1000, 250);
    t.setup.Configure(t.engine, t.image, HostOrderFile(flat), kW, kH, EngineOptions{});
    SetParameter(t.engine, RP_DATA_FORMAT, int32_t(2));
    // The shifted table undoes the raise by 16 and then doubles.
    for (size_t i = 0; i < t.shifted.size(); ++i) t.shifted[i] = uint16_t(std::min<size_t>(65535, (i >> 4) * 2));
    uint16_t rgb[3] = {};
    SdkRect area{8, 8, 8, 8};
    ASSERT_EQ(t.engine.SampleWhiteBalance(&area, rgb, 0, nullptr), VQ_OK);
    EXPECT_EQ(rgb[0], 1000);
    EXPECT_EQ(rgb[1], 2000);
    EXPECT_EQ(rgb[2], 500);

    // A sample at the top of the linearisation table is saturated.
    flat.at(9, 9) = 4093;
    t.setup.Configure(t.engine, t.image, HostOrderFile(flat), kW, kH, EngineOptions{});
    SetParameter(t.engine, RP_DATA_FORMAT, int32_t(2));
    t.engine.ResetCacheState();
    EXPECT_EQ(t.engine.SampleWhiteBalance(&area, rgb, 0, nullptr), VQ_ERR_SAMPLE_SATURATED);
    flat.at(9, 9) = 4092;
    t.setup.Configure(t.engine, t.image, HostOrderFile(flat), kW, kH, EngineOptions{});
    SetParameter(t.engine, RP_DATA_FORMAT, int32_t(2));
    t.engine.ResetCacheState();
    EXPECT_EQ(t.engine.SampleWhiteBalance(&area, rgb, 0, nullptr), VQ_OK);

    // Areas off the sensor are refused before anything is read.
    const SdkRect outside[] = {{-2, 0, 4, 4}, {60, 0, 8, 4}, {0, 46, 4, 4}, {0, 0, 0, 4}};
    for (const SdkRect& r : outside) EXPECT_NE(t.engine.SampleWhiteBalance(&r, rgb, 0, nullptr), VQ_OK);
}
