#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "OcmsImageRecord.h"
#include "RawEngineFixture.h"
#include "VqOutputTypes.h"

using namespace lumora;
using namespace lumora::test;

namespace {

constexpr int kW = 48, kH = 40;

int32_t BytesPerPixel(RawEngine& e, uint32_t type) {
    int32_t b = 0, c = 0;
    e.GetOutputFormat(type, &b, &c);
    return b * c;
}

uint16_t Get16(const std::vector<uint8_t>& v, size_t at) { return uint16_t(v[at] | v[at + 1] << 8); }

// The linear table: gain × i × top ÷ 4095, rounded, limited to top.
struct Engine {
    RawEngine engine;
    MemoryImage image;
    EngineSetup setup;
    Engine(const RawFile& f, int w, int h, const EngineOptions& o) { setup.Configure(engine, image, f, w, h, o); }
    uint32_t WholeBytes(uint32_t type, int w = kW, int h = kH) {
        return uint32_t(BytesPerPixel(engine, type) * w * h);
    }
};

} // namespace

// A flat field of red 500, green 1000 and blue 250 with the balance triple
// (500, 1000, 500): the gains are 2, 1 and 2, so the balanced colours are 1000,
// 1000 and 500; identity matrices and tone curve, an output curve of i × 16.
TEST(RawEngineRender, FlatFieldGivesTheHandComputedValueInEveryType) {
    const Sensor sensor = FlatSensor(kW, kH, 500, 1000, 250);
    EngineOptions o;
    o.balance[0] = 500;
    o.balance[1] = 1000;
    o.balance[2] = 500;
    Engine t(PlainFile(sensor), kW, kH, o);
    const uint16_t R = 1000 * 16, G = 1000 * 16, B = 500 * 16;
    // The linear table spreads 0..4095 over 0..65535: 1000 x 65535 / 4095 =
    // 16003.66 and 500 x 65535 / 4095 = 8001.83, rounded.
    const uint16_t lr = 16004, lb = 8002;
    auto hi = [](uint16_t v) { return uint8_t(v >> 8); };
    struct Case {
        uint32_t type;
        std::vector<uint16_t> pixel; // samples of one pixel, as written
        bool bytes;                  // 8-bit samples
    };
    const Case cases[] = {
        {2, {hi(R)}, true},
        {3, {R}, false},
        {4, {hi(R), hi(G), hi(B)}, true},
        {5, {0, hi(R), hi(G), hi(B)}, true},
        {6, {R, G, B}, false},
        {7, {0, R, G, B}, false},
        {8, {hi(B), hi(G), hi(R)}, true},
        {9, {hi(B), hi(G), hi(R), 0}, true},
        {10, {B, G, R}, false},
        {11, {B, G, R, 0}, false},
        {12, {hi(lr), hi(lr), hi(lb)}, true},
        {13, {lr, lr, lb}, false},
        {14, {uint16_t(lr >> 4), uint16_t(lr >> 4), uint16_t(lb >> 4)}, false},
    };
    for (const Case& c : cases) {
        const Rendered r = Render(t.engine, c.type, t.WholeBytes(c.type));
        ASSERT_EQ(r.status, VQ_OK) << "type " << c.type;
        const size_t step = c.bytes ? 1 : 2;
        const size_t pixelBytes = c.pixel.size() * step;
        ASSERT_EQ(r.bytes.size(), pixelBytes * kW * kH);
        for (size_t p = 0; p < size_t(kW) * kH; ++p)
            for (size_t k = 0; k < c.pixel.size(); ++k) {
                const size_t at = p * pixelBytes + k * step;
                const uint16_t v = c.bytes ? r.bytes[at] : Get16(r.bytes, at);
                ASSERT_EQ(v, c.pixel[k]) << "type " << c.type << " pixel " << p << " sample " << k;
            }
    }
    // Type 0 is the corrected mosaic itself, 16 bits a sample.
    const Rendered raw = Render(t.engine, 0, t.WholeBytes(0));
    ASSERT_EQ(raw.status, VQ_OK);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            ASSERT_EQ(Get16(raw.bytes, 2 * (size_t(y) * kW + x)), FlatSensor(kW, kH, 500, 1000, 250).at(y, x));
}

// Sub-sampled, the flat field keeps its hand-computed colours (red and blue in
// their places) and the picture shrinks by the factor; a grey file likewise.
TEST(RawEngineRender, FlatFieldAtEverySubsample) {
    EngineOptions o;
    o.balance[0] = 500;
    o.balance[1] = 1000;
    o.balance[2] = 500;
    Engine colour(PlainFile(FlatSensor(kW, kH, 500, 1000, 250)), kW, kH, o);
    o.colour = false;
    Engine grey(PlainFile(FlatSensor(kW, kH, 700, 700, 700)), kW, kH, o);
    for (int16_t sub : {int16_t(2), int16_t(4)}) {
        SetParameter(colour.engine, RP_SUBSAMPLE, sub);
        SetParameter(grey.engine, RP_SUBSAMPLE, sub);
        const size_t pixels = size_t(kW / sub) * size_t(kH / sub);
        const Rendered c = Render(colour.engine, 6, colour.WholeBytes(6) / uint32_t(sub * sub));
        ASSERT_EQ(c.status, VQ_OK) << sub;
        ASSERT_EQ(c.bytes.size(), pixels * 6);
        for (size_t p = 0; p < pixels; ++p) {
            ASSERT_EQ(Get16(c.bytes, 6 * p), 1000 * 16) << sub << " " << p;
            ASSERT_EQ(Get16(c.bytes, 6 * p + 2), 1000 * 16) << sub << " " << p;
            ASSERT_EQ(Get16(c.bytes, 6 * p + 4), 500 * 16) << sub << " " << p;
        }
        const Rendered g = Render(grey.engine, 3, grey.WholeBytes(3) / uint32_t(sub * sub));
        ASSERT_EQ(g.status, VQ_OK) << sub;
        ASSERT_EQ(g.bytes.size(), pixels * 2);
        for (size_t p = 0; p < pixels; ++p) ASSERT_EQ(Get16(g.bytes, 2 * p), 700 * 16) << sub << " " << p;
    }
}

// Type 0 shows the corrections alone: the sample raised by 8, row and column
// offsets added, then the gain of its tile and colour with unit 8.
TEST(RawEngineRender, OffsetsAndGainMapFollowTheFixedPointArithmetic) {
    Sensor sensor = BusySensor(kW, kH, 7);
    EngineOptions o;
    o.offsets = true;
    o.gainMap = true;
    Engine t(PlainFile(sensor), kW, kH, o);
    const Rendered r = Render(t.engine, 0, t.WholeBytes(0));
    ASSERT_EQ(r.status, VQ_OK);
    const int16_t* rows = *static_cast<int16_t**>(t.engine.Parameter(RP_ROW_OFFSETS));
    const int16_t* cols = *static_cast<int16_t**>(t.engine.Parameter(RP_COLUMN_OFFSETS));
    const int tiles = int(t.setup.gainMap.size() / 4), tilesPerRow = (kW + 15) / 16;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            int32_t v = sensor.at(y, x) * 8 + rows[y] + cols[x];
            v = std::clamp(v, 0, 4095 * 8);
            const int plane = (y % 2 == 0) ? (x % 2 ? 0 : 1) : (x % 2 ? 3 : 2);
            const uint32_t gain = t.setup.gainMap[size_t(plane) * tiles + (y / 16) * tilesPerRow + x / 16];
            const int32_t expected = std::min<int32_t>(4095, int32_t((gain * uint32_t(v) + 512) >> 10));
            ASSERT_EQ(Get16(r.bytes, 2 * (size_t(y) * kW + x)), expected) << y << "," << x;
        }
}

// A file without a gain map (or without offsets) keeps the sensor's scale: the
// samples are only divided back by the factor they were raised by.
TEST(RawEngineRender, FilesWithoutGainMapOrOffsetsAreNotDarkened) {
    Sensor sensor = BusySensor(kW, kH, 9);
    for (bool offsets : {false, true}) {
        EngineOptions o;
        o.offsets = offsets;
        Engine t(PlainFile(sensor), kW, kH, o);
        const Rendered r = Render(t.engine, 0, t.WholeBytes(0));
        ASSERT_EQ(r.status, VQ_OK);
        const int16_t* rows = offsets ? *static_cast<int16_t**>(t.engine.Parameter(RP_ROW_OFFSETS)) : nullptr;
        const int16_t* cols = offsets ? *static_cast<int16_t**>(t.engine.Parameter(RP_COLUMN_OFFSETS)) : nullptr;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                int32_t expected = sensor.at(y, x);
                if (offsets) expected = (std::clamp(expected * 8 + rows[y] + cols[x], 0, 4095 * 8) + 1) >> 3;
                ASSERT_EQ(Get16(r.bytes, 2 * (size_t(y) * kW + x)), expected) << offsets << " " << y << "," << x;
            }
    }
}

TEST(RawEngineRender, EveryOutputTypeSucceedsOrIsRefused) {
    const Sensor sensor = FlatSensor(kW, kH, 500, 1000, 250);
    for (bool colour : {true, false}) {
        EngineOptions o;
        o.colour = colour;
        Engine t(PlainFile(sensor), kW, kH, o);
        for (uint32_t type = 0; type <= 22; ++type) {
            bool accepted = type == 0 || (type >= 2 && type <= 14);
            if (!colour) accepted = type == 0 || type == 2 || type == 3 || type == 15 || type == 16;
            if (!colour && type >= 4 && type <= 14) continue; // the image refuses these for grey files
            const uint32_t bytes = std::max<uint32_t>(t.WholeBytes(type), 1);
            const Rendered r = Render(t.engine, type, bytes);
            EXPECT_EQ(r.status, accepted ? VQ_OK : VQ_ERR_BAD_IMAGE_TYPE) << colour << " type " << type;
        }
    }
}

TEST(RawEngineRender, MonochromeLinearTypesUseTheLinearGain) {
    const Sensor sensor = FlatSensor(kW, kH, 900, 900, 900);
    EngineOptions o;
    o.colour = false;
    o.linearGain = 1.5f;
    Engine t(PlainFile(sensor), kW, kH, o);
    Rendered r = Render(t.engine, 16, t.WholeBytes(16));
    ASSERT_EQ(r.status, VQ_OK);
    // 1.5 x 900 x 65535 / 4095 = 21604.95, rounded.
    EXPECT_EQ(Get16(r.bytes, 0), 21605);
    EXPECT_EQ(Get16(r.bytes, r.bytes.size() - 2), 21605);
    r = Render(t.engine, 15, t.WholeBytes(15));
    ASSERT_EQ(r.status, VQ_OK);
    EXPECT_EQ(r.bytes[7], 21605 >> 8);
    // Grey types go through the tone and output curves instead.
    r = Render(t.engine, 3, t.WholeBytes(3));
    ASSERT_EQ(r.status, VQ_OK);
    EXPECT_EQ(Get16(r.bytes, 10), 900 * 16);

    SetParameter(t.engine, RP_LINEAR_GAIN, 0.0f);
    EXPECT_EQ(Render(t.engine, 16, t.WholeBytes(16)).status, VQ_ERR_LINEAR_GAIN_LOW);
    EXPECT_EQ(Render(t.engine, 3, t.WholeBytes(3)).status, VQ_OK);
}

// The same sensor data, plain and lossless-JPEG coded, renders to the same bytes
// in every type, subsample and rotation, through every stage.
TEST(RawEngineRender, PlainAndLosslessJpegDataRenderIdentically) {
    const Sensor sensor = BusySensor(kW, kH, 3);
    EngineOptions o;
    o.offsets = true;
    o.gainMap = true;
    o.sharpen = true;
    o.mosaicFilter = true;
    o.demosaicThreshold = 100;
    o.identityCurves = false;
    o.balance[0] = 700;
    o.balance[2] = 500;
    Engine plain(PlainFile(sensor), kW, kH, o);
    Engine coded(LosslessFile(sensor, 12, 131), kW, kH, o); // odd offset: decoded in a side buffer
    for (int16_t sub : {int16_t(1), int16_t(2)}) {
        SetParameter(plain.engine, RP_SUBSAMPLE, sub);
        SetParameter(coded.engine, RP_SUBSAMPLE, sub);
        for (float rotation : {0.0f, 90.0f, 180.0f, 270.0f}) {
            SetParameter(plain.engine, RP_ROTATION, rotation);
            SetParameter(coded.engine, RP_ROTATION, rotation);
            for (uint32_t type = 0; type <= 14; ++type) {
                if (type == 1 || (type == 0 && sub != 1)) continue;
                const uint32_t bytes = plain.WholeBytes(type) / uint32_t(sub * sub);
                const Rendered a = Render(plain.engine, type, bytes);
                const Rendered b = Render(coded.engine, type, bytes);
                ASSERT_EQ(a.status, VQ_OK) << type << " " << sub << " " << rotation;
                ASSERT_EQ(b.status, VQ_OK) << type << " " << sub << " " << rotation;
                ASSERT_EQ(a.bytes, b.bytes) << type << " " << sub << " " << rotation;
            }
        }
    }
}

TEST(RawEngineRender, LowerPrecisionCodedDataIsRaisedToTwelveBits) {
    const Sensor sensor = BusySensor(kW, kH, 5, 4); // every sample a multiple of 4
    EngineOptions o;
    Engine plain(PlainFile(sensor), kW, kH, o);
    Engine coded(LosslessFile(sensor, 10), kW, kH, o);
    for (uint32_t type : {0u, 6u}) {
        const Rendered a = Render(plain.engine, type, plain.WholeBytes(type));
        const Rendered b = Render(coded.engine, type, coded.WholeBytes(type));
        ASSERT_EQ(a.status, VQ_OK);
        ASSERT_EQ(b.status, VQ_OK);
        EXPECT_EQ(a.bytes, b.bytes) << type;
    }
}

// Strip seams must not show: many strips through the strip callback give the
// same picture as one strip, with sharpening and its extra rows on.
TEST(RawEngineRender, StripsJoinWithoutSeams) {
    const Sensor sensor = BusySensor(kW, kH, 11);
    EngineOptions o;
    o.sharpen = true;
    o.offsets = true;
    o.gainMap = true;
    o.mosaicFilter = true;
    o.identityCurves = false;
    Engine t(PlainFile(sensor), kW, kH, o);
    for (float rotation : {0.0f, 90.0f, 180.0f, 270.0f}) {
        SetParameter(t.engine, RP_ROTATION, rotation);
        const Rendered whole = Render(t.engine, 6, t.WholeBytes(6));
        const uint32_t rowBytes = uint32_t((rotation == 0.0f || rotation == 180.0f ? kW : kH) * 6);
        const Rendered strips = Render(t.engine, 6, t.WholeBytes(6), rowBytes * 8);
        ASSERT_EQ(whole.status, VQ_OK);
        ASSERT_EQ(strips.status, VQ_OK);
        EXPECT_GT(strips.strips, 1);
        EXPECT_EQ(whole.bytes, strips.bytes) << rotation;
    }
}

TEST(RawEngineRender, RotationTurnsThePicture) {
    const Sensor sensor = BusySensor(kW, kH, 13);
    EngineOptions o;
    o.identityCurves = false;
    Engine t(PlainFile(sensor), kW, kH, o);
    const Rendered upright = Render(t.engine, 13, t.WholeBytes(13));
    ASSERT_EQ(upright.status, VQ_OK);
    auto px = [](const std::vector<uint8_t>& v, int w, int row, int col) {
        return std::vector<uint8_t>(v.begin() + (size_t(row) * w + col) * 6, v.begin() + (size_t(row) * w + col + 1) * 6);
    };
    for (float rotation : {90.0f, 180.0f, 270.0f}) {
        SetParameter(t.engine, RP_ROTATION, rotation);
        const Rendered turned = Render(t.engine, 13, t.WholeBytes(13));
        ASSERT_EQ(turned.status, VQ_OK);
        for (int r = 0; r < kH; ++r)
            for (int c = 0; c < kW; ++c) {
                std::vector<uint8_t> got;
                if (rotation == 90.0f) got = px(turned.bytes, kH, c, kH - 1 - r);
                else if (rotation == 180.0f) got = px(turned.bytes, kW, kH - 1 - r, kW - 1 - c);
                else got = px(turned.bytes, kH, kW - 1 - c, r);
                ASSERT_EQ(got, px(upright.bytes, kW, r, c)) << rotation << " " << r << "," << c;
            }
    }
}

TEST(RawEngineRender, TenProgressStepsForOneStripAndCancelWritesNothing) {
    Engine t(PlainFile(FlatSensor(kW, kH, 500, 1000, 250)), kW, kH, EngineOptions{});
    static std::vector<std::pair<int32_t, int32_t>> calls;
    static int stopAt;
    calls.clear();
    stopAt = -1;
    ProgressRecord progress{[](int32_t state, int32_t percent, int32_t, int32_t) -> int32_t {
                                calls.emplace_back(state, percent);
                                return int(calls.size()) == stopAt ? 0 : 1;
                            },
                            0};
    Rendered r = Render(t.engine, 4, t.WholeBytes(4), 0, &progress);
    ASSERT_EQ(r.status, VQ_OK);
    ASSERT_EQ(calls.size(), 11u);
    EXPECT_EQ(calls.front(), std::make_pair(0, 0));
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(calls[i], std::make_pair(i == 10 ? 2 : 1, i * 10));

    calls.clear();
    stopAt = 1; // cancelled at the start call
    EXPECT_EQ(Render(t.engine, 4, t.WholeBytes(4), 0, &progress).status, VQ_ERR_CANCELLED);

    // A zero answer at any step before the output stage's own leaves the
    // caller's buffer as it was, whether the strip is worked whole or, from
    // 128 rows up, in several pieces (and an odd last piece).
    for (int rows : {kH, 60, 128, 150, 178}) {
        Engine tall(PlainFile(FlatSensor(kW, rows, 500, 1000, 250)), kW, rows, EngineOptions{});
        for (int stop = 2; stop <= 10; ++stop) { // the start call, then steps 1 to 9
            calls.clear();
            stopAt = stop;
            r = Render(tall.engine, 4, tall.WholeBytes(4, kW, rows), 0, &progress);
            EXPECT_EQ(r.status, VQ_ERR_CANCELLED) << rows << " rows, call " << stop;
            EXPECT_EQ(calls.size(), size_t(stop)) << rows << " rows, call " << stop;
            const auto written = std::count_if(r.bytes.begin(), r.bytes.end(), [](uint8_t b) { return b != 0xAB; });
            EXPECT_EQ(written, 0) << rows << " rows, call " << stop;
        }
        // Past the output stage the strip is there, though not handed on.
        calls.clear();
        stopAt = 11;
        r = Render(tall.engine, 4, tall.WholeBytes(4, kW, rows), 0, &progress);
        EXPECT_EQ(r.status, VQ_ERR_CANCELLED) << rows;
        EXPECT_EQ(Render(tall.engine, 4, tall.WholeBytes(4, kW, rows)).bytes, r.bytes) << rows;
    }
}

TEST(RawEngineRender, StripCallbackAnsweringNullStopsAfterOneStrip) {
    Engine t(PlainFile(FlatSensor(kW, kH, 500, 1000, 250)), kW, kH, EngineOptions{});
    SetParameter(t.engine, RP_OUTPUT_TYPE, int32_t(4));
    static int strips;
    strips = 0;
    std::vector<uint8_t> buffer(kW * 3 * 14, 0xAB); // 14 rows: strips of 14, 14 and 12
    ImageBufferRecord rec{buffer.data(), uint32_t(buffer.size()), 0,
                          [](void*, uint32_t, int32_t) -> void* {
                              ++strips;
                              return nullptr;
                          }};
    EXPECT_EQ(t.engine.RenderImage(&rec, nullptr), VQ_ERR_BAD_HANDLE);
    EXPECT_EQ(strips, 1);
    EXPECT_EQ(buffer[0], 500 * 16 >> 8);
}

TEST(RawEngineRender, BalanceTablesAreKeptForTheSameTripleAndAZeroIsRefused) {
    Engine t(PlainFile(FlatSensor(kW, kH, 500, 1000, 250)), kW, kH, EngineOptions{});
    ASSERT_EQ(Render(t.engine, 4, t.WholeBytes(4)).status, VQ_OK);
    ASSERT_EQ(Render(t.engine, 6, t.WholeBytes(6)).status, VQ_OK);
    EXPECT_EQ(t.engine.BalanceBuildCount(), 1u);
    const uint16_t changed[3] = {1000, 1000, 900};
    SetParameter(t.engine, RP_WHITE_BALANCE, changed);
    ASSERT_EQ(Render(t.engine, 4, t.WholeBytes(4)).status, VQ_OK);
    EXPECT_EQ(t.engine.BalanceBuildCount(), 2u);
    EXPECT_EQ(t.engine.BalanceTable(2)[900], 1000);

    // The same triple under another linearisation or another tone-curve length
    // needs other tables: reusing the old ones would balance with stale gains.
    for (int i = 0; i < 4096; ++i) t.setup.unpack[i] = uint16_t(i < 900 ? i : 900 + (i - 900) / 2);
    SetParameter(t.engine, RP_BALANCE_IS_LINEAR, int32_t(1));
    ASSERT_EQ(Render(t.engine, 4, t.WholeBytes(4)).status, VQ_OK);
    SetParameter(t.engine, RP_BALANCE_IS_LINEAR, int32_t(0));
    ASSERT_EQ(Render(t.engine, 4, t.WholeBytes(4)).status, VQ_OK);
    EXPECT_EQ(t.engine.BalanceBuildCount(), 4u);
    // Linearised, 1000 reads 950 against 900: the blue gain is 950 / 900.
    EXPECT_EQ(t.engine.BalanceTable(2)[900], 950);
    SetParameter(t.engine, RP_TONE_CURVE_SIZE, int32_t(2048));
    ASSERT_EQ(Render(t.engine, 4, t.WholeBytes(4)).status, VQ_OK);
    EXPECT_EQ(t.engine.BalanceBuildCount(), 5u);
    EXPECT_EQ(t.engine.BalanceTable(2)[900], 475);  // 950 x 2047 / 4095 = 474.88
    SetParameter(t.engine, RP_TONE_CURVE_SIZE, int32_t(4096));

    const uint16_t zero[3] = {1000, 0, 1000};
    SetParameter(t.engine, RP_WHITE_BALANCE, zero);
    const Rendered r = Render(t.engine, 4, t.WholeBytes(4), uint32_t(kW * 3 * 8));
    EXPECT_EQ(r.status, VQ_ERR_BAD_CUSTOM_BALANCE);
    EXPECT_EQ(r.strips, 0);
}

// A linearisation table that reaches 16 bits must not index the 4096-entry
// balance tables past their end: its samples stop at the last entry.
TEST(RawEngineRender, BalanceStageStaysInsideItsTables) {
    Engine t(PlainFile(FlatSensor(kW, kH, 4000, 4000, 4000)), kW, kH, EngineOptions{});
    for (int i = 0; i < 4096; ++i) t.setup.unpack[i] = uint16_t(std::min(32767, i * 8));
    const Rendered r = Render(t.engine, 6, t.WholeBytes(6));
    ASSERT_EQ(r.status, VQ_OK);
    EXPECT_EQ(Get16(r.bytes, 0), 4095 * 16);
}

TEST(RawEngineRender, CameraRgbTypeWithColourManagementIsRefusedBeforeReading) {
    Engine t(PlainFile(FlatSensor(kW, kH, 500, 1000, 250)), kW, kH, EngineOptions{});
    OcmsImageRecord cms;
    cms.mode = 2;
    OcmsImageRecord* p = &cms;
    SetParameter(t.engine, RP_CMS_TRANSFORM, p);
    EXPECT_EQ(Render(t.engine, 12, t.WholeBytes(12)).status, VQ_ERR_OCMS_TYPE_CONFLICT);
    EXPECT_EQ(t.image.reads, 0);
    EXPECT_EQ(t.engine.CacheBytes(), 0u);
}

TEST(RawEngineModes, ProcessingModesByType) {
    RawEngine e;
    struct Row {
        uint32_t type;
        int32_t colour;
        VqStatus status;
        ProcessingModes m;
    };
    const Row rows[] = {
        {0, 1, VQ_OK, {2, 1, 1, 1, 2, 1, 2, 1, 1, 2}},
        {3, 0, VQ_OK, {1, 0, 0, 1, 1, 0, 2, 0, 1, 2}},
        {7, 1, VQ_OK, {0, 0, 1, 0, 3, 1, 0, 0, 0, 2}},
        {13, 1, VQ_OK, {0, 0, 1, 0, 2, 1, 0, 0, 0, 0}},
        {16, 0, VQ_OK, {1, 0, 0, 1, 2, 0, 2, 0, 1, 1}},
        {3, 1, VQ_ERR_BAD_IMAGE_TYPE, {}},
        {15, 1, VQ_ERR_BAD_IMAGE_TYPE, {}},
        {18, 1, VQ_ERR_BAD_IMAGE_TYPE, {}},
    };
    for (const Row& r : rows) {
        ProcessingModes m;
        EXPECT_EQ(e.GetProcessingModes(r.type, r.colour, 2, 0, &m), r.status) << r.type;
        EXPECT_EQ(std::memcmp(&m, &r.m, sizeof m), 0) << r.type;
    }
    ProcessingModes m;
    EXPECT_EQ(e.GetProcessingModes(12, 1, 2, 1, &m), VQ_OK);
    EXPECT_EQ(m.transformMode, 5);
    EXPECT_EQ(m.linearMode, 2);
}

TEST(RawEngineCache, DecodeWaitsForTheWholeDataAndRunsOnce) {
    const Sensor sensor = FlatSensor(kW, kH, 500, 1000, 250);
    const RawFile file = PlainFile(sensor, 70000); // data starts past the first 64 KB step
    Engine t(file, kW, kH, EngineOptions{});
    int32_t done = 0;
    ASSERT_EQ(t.engine.LoadCache(nullptr, 1, &done, 2), VQ_OK);
    EXPECT_EQ(done, 0);
    EXPECT_EQ(t.engine.DecodeCache(nullptr, 1, 1, 0), VQ_ERR_CACHE_INCOMPLETE);
    while (!done) ASSERT_EQ(t.engine.LoadCache(nullptr, 1, &done, 2), VQ_OK);
    ASSERT_EQ(t.engine.DecodeCache(nullptr, 1, 1, 0), VQ_OK);
    ASSERT_EQ(t.engine.DecodeCache(nullptr, 1, 1, 0), VQ_OK);
    uint16_t first;
    std::memcpy(&first, t.engine.Cache() + file.dataOffset, 2);
    EXPECT_EQ(first, 1000); // swapped and shifted once, not twice
}

TEST(RawEngineCache, DamagedCodedDataIsReportedAndNotMarkedDecoded) {
    const Sensor sensor = BusySensor(kW, kH, 17);
    RawFile file = LosslessFile(sensor);
    file.bytes[file.dataOffset + 3] ^= 0xFF; // inside the first marker segment
    Engine t(file, kW, kH, EngineOptions{});
    const Rendered r = Render(t.engine, 6, t.WholeBytes(6));
    EXPECT_EQ(r.status, VQ_ERR_LJPEG_FORMAT);
    EXPECT_EQ(t.engine.CacheDecoded(), 0);
    // A stream whose frame is not the sensor's size is refused.
    Engine small(LosslessFile(BusySensor(kW - 2, kH, 1)), kW, kH, EngineOptions{});
    EXPECT_EQ(Render(small.engine, 6, small.WholeBytes(6)).status, VQ_ERR_LJPEG_FORMAT);
}

namespace {

// Leaves freed blocks of n bytes full of a pattern, so a cache allocated next
// that is not cleared shows it instead of the zeros a fresh page would give.
void DirtyTheHeap(size_t n) {
    for (int i = 0; i < 4; ++i) {
        uint8_t* p = new uint8_t[n];
        std::memset(p, 0xA5, n);
        delete[] p;
    }
}

bool SensorAreaIsBlack(const RawEngine& e, const RawFile& f, size_t from) {
    const uint8_t* c = e.Cache() + f.dataOffset;
    for (size_t i = from; i < size_t(kW) * kH * 2; ++i)
        if (c[i] != 0) return false;
    return true;
}

} // namespace

// The cache is not cleared ahead of the bytes read or decoded into it: what
// neither reaches must still read as black, whatever memory it was given.
TEST(RawEngineCache, SensorAreaTheDataDoesNotReachReadsAsBlack) {
    const Sensor sensor = BusySensor(kW, kH, 17);
    const size_t cacheBytes = 128 + size_t(kW) * kH * 2;

    // Plain data that stops halfway through the sensor.
    RawFile half = PlainFile(sensor);
    half.dataSize /= 2;
    half.bytes.resize(half.dataOffset + half.dataSize);
    Engine plain(half, kW, kH, EngineOptions{});
    int32_t done = 0;
    DirtyTheHeap(cacheBytes);
    ASSERT_EQ(plain.engine.LoadCache(nullptr, 0, &done, 2), VQ_OK);
    ASSERT_EQ(plain.engine.DecodeCache(nullptr, 1, 1, 0), VQ_OK);
    EXPECT_TRUE(SensorAreaIsBlack(plain.engine, half, half.dataSize));

    // Coded data that fails halfway through its scan: nothing it wrote, and
    // none of the coded bytes it was decoded over, is left as pixels.
    RawFile coded = LosslessFile(sensor);
    const auto begin = coded.bytes.begin() + coded.dataOffset;
    const uint8_t scanMarker[] = {0xFF, 0xDA};
    const auto sos = std::search(begin, coded.bytes.end(), std::begin(scanMarker), std::end(scanMarker));
    ASSERT_NE(sos, coded.bytes.end());
    const size_t middle = size_t(sos - coded.bytes.begin()) + (coded.bytes.end() - sos) / 2;
    for (size_t i = 0; i < 8; i += 2) { // sixteen one-bits and more: no code at all
        coded.bytes[middle + i] = 0xFF;
        coded.bytes[middle + i + 1] = 0x00;
    }
    Engine broken(coded, kW, kH, EngineOptions{});
    DirtyTheHeap(cacheBytes);
    ASSERT_EQ(broken.engine.LoadCache(nullptr, 0, &done, 2), VQ_OK);
    EXPECT_EQ(broken.engine.DecodeCache(nullptr, 0, 0, 0), VQ_ERR_LJPEG_FORMAT);
    EXPECT_EQ(broken.engine.CacheDecoded(), 0);
    EXPECT_TRUE(SensorAreaIsBlack(broken.engine, coded, 0));
    // The coded bytes are gone from the cache: it asks to be loaded again, and
    // another try reads them from the file, not the cleared area.
    EXPECT_EQ(broken.engine.DecodeCache(nullptr, 0, 0, 0), VQ_ERR_CACHE_INCOMPLETE);
    ASSERT_EQ(broken.engine.LoadCache(nullptr, 0, &done, 2), VQ_OK);
    EXPECT_EQ(std::memcmp(broken.engine.Cache(), coded.bytes.data(), coded.bytes.size()), 0);
    EXPECT_EQ(broken.engine.DecodeCache(nullptr, 0, 0, 0), VQ_ERR_LJPEG_FORMAT);

    // A good stream decodes to the sensor's samples both in an owned cache and
    // in one the caller lent, which keeps its place.
    Engine owned(LosslessFile(sensor), kW, kH, EngineOptions{});
    Engine lent(LosslessFile(sensor), kW, kH, EngineOptions{});
    std::vector<uint8_t> lentBytes(cacheBytes, 0xA5);
    DirtyTheHeap(cacheBytes);
    ASSERT_EQ(owned.engine.LoadCache(nullptr, 0, &done, 2), VQ_OK);
    ASSERT_EQ(lent.engine.LoadCache(lentBytes.data(), 0, &done, 2), VQ_OK);
    for (Engine* e : {&owned, &lent}) {
        ASSERT_EQ(e->engine.DecodeCache(nullptr, 0, 0, 0), VQ_OK);
        EXPECT_EQ(std::memcmp(e->engine.Cache(), coded.bytes.data(), coded.dataOffset), 0); // the header stays
        EXPECT_EQ(std::memcmp(e->engine.Cache() + coded.dataOffset, sensor.samples.data(), size_t(kW) * kH * 2), 0);
    }
    EXPECT_EQ(lent.engine.Cache(), lentBytes.data());

    // A good stream after a dirty heap renders as the plain data does.
    Engine good(LosslessFile(sensor), kW, kH, EngineOptions{});
    Engine same(PlainFile(sensor), kW, kH, EngineOptions{});
    DirtyTheHeap(cacheBytes);
    const Rendered a = Render(good.engine, 6, good.WholeBytes(6));
    const Rendered b = Render(same.engine, 6, same.WholeBytes(6));
    ASSERT_EQ(a.status, VQ_OK);
    EXPECT_EQ(a.bytes, b.bytes);
}

TEST(RawEngineSample, GreyPatchClasses) {
    RawEngine e;
    struct Case {
        uint16_t rgb[3];
        int16_t threshold;
        float factor;
        VqStatus status;
        int32_t cls;
    };
    const Case cases[] = {
        {{100, 100, 100}, 1, 1.0f, VQ_OK, 1},
        {{100, 100, 100}, 0, 1.0f, VQ_OK, 2},
        {{100, 100, 100}, -5, 1.0f, VQ_OK, 2},
        {{100, 100, 300}, 100, 1.0f, VQ_OK, 0},   // a = 600, b = 0
        {{100, 400, 300}, 100, 1.0f, VQ_OK, 2},   // a = 375, b = 500
        {{0, 0, 0}, 100, 1.0f, VQ_ERR_BAD_SAMPLE, -1}, // black: no class at all
    };
    for (const Case& c : cases) {
        int32_t cls = 99;
        EXPECT_EQ(e.IsGreyPatch(c.rgb, &cls, c.threshold, c.factor), c.status);
        EXPECT_EQ(cls, c.cls) << c.rgb[0] << "," << c.rgb[1] << "," << c.rgb[2];
    }
}

TEST(RawEngineSample, SensorAreaMeansAndSaturation) {
    Sensor sensor = FlatSensor(kW, kH, 500, 1000, 250);
    sensor.at(10, 11) = 600; // one red site of the area differs
    for (bool offsets : {false, true}) {
        EngineOptions o;
        o.offsets = offsets;
        Engine t(PlainFile(sensor), kW, kH, o);
        if (offsets) // offsets of zero: the raised precision must come back exactly
            for (int r = 0; r < kH; ++r) (*static_cast<int16_t**>(t.engine.Parameter(RP_ROW_OFFSETS)))[r] = 0;
        if (offsets) std::free(std::exchange(*static_cast<int16_t**>(t.engine.Parameter(RP_COLUMN_OFFSETS)), nullptr));
        const SdkRect area{8, 8, 8, 8};
        uint16_t rgb[3] = {};
        ASSERT_EQ(t.engine.SampleWhiteBalance(&area, rgb, 0, nullptr), VQ_OK);
        EXPECT_EQ(rgb[0], (500 * 15 + 600) / 16);
        EXPECT_EQ(rgb[1], 1000);
        EXPECT_EQ(rgb[2], 250);
        EXPECT_EQ(t.engine.CacheDecoded(), 1); // kept for the renders that follow
    }
    Sensor bright = FlatSensor(kW, kH, 500, 3000, 250);
    Engine t(PlainFile(bright), kW, kH, EngineOptions{});
    const SdkRect area{8, 8, 8, 8};
    uint16_t rgb[3] = {7, 7, 7};
    EXPECT_EQ(t.engine.SampleWhiteBalance(&area, rgb, 0, nullptr), VQ_ERR_SAMPLE_SATURATED);
    EXPECT_EQ(rgb[0], 7);
    const SdkRect outside{44, 8, 8, 8};
    EXPECT_EQ(t.engine.SampleWhiteBalance(&outside, rgb, 0, nullptr), VQ_ERR_RECT_OUTSIDE);
}

// The sample goes through the corrections at the precision the render uses: the
// offsets, kept in raised units, move it by what they move the rendered mosaic.
TEST(RawEngineSample, OffsetsMoveTheSampleAsTheyMoveTheRender) {
    EngineOptions o;
    o.offsets = true; // no gain map: the raised samples are only divided back
    Engine t(PlainFile(FlatSensor(kW, kH, 500, 1000, 250)), kW, kH, o);
    int16_t* rows = *static_cast<int16_t**>(t.engine.Parameter(RP_ROW_OFFSETS));
    for (int r = 0; r < kH; ++r) rows[r] = 16; // two sensor units at a factor of 8
    std::free(std::exchange(*static_cast<int16_t**>(t.engine.Parameter(RP_COLUMN_OFFSETS)), nullptr));
    const Rendered raw = Render(t.engine, 0, t.WholeBytes(0));
    ASSERT_EQ(raw.status, VQ_OK);
    EXPECT_EQ(Get16(raw.bytes, 2 * (8 * kW + 9)), 502); // (500 × 8 + 16 + 1) >> 3
    const SdkRect area{8, 8, 8, 8};
    uint16_t rgb[3] = {};
    ASSERT_EQ(t.engine.SampleWhiteBalance(&area, rgb, 0, nullptr), VQ_OK);
    EXPECT_EQ(rgb[0], 502);
    EXPECT_EQ(rgb[1], 1002);
    EXPECT_EQ(rgb[2], 252);
}

namespace {

// A thumbnail of one colour, and a file that holds it at offset 16.
struct Thumbnail : SolidThumbnail {
    Thumbnail(int w, int h, uint8_t r, uint8_t g, uint8_t b) : SolidThumbnail(w, h, r, g, b) { info[2] = 16; }
    void Attach(Engine& t) {
        std::copy(bytes.begin(), bytes.end(), t.image.file.begin() + 16);
        SolidThumbnail::Attach(t.engine);
    }
};

} // namespace

TEST(RawEngineSample, ThumbnailAreaIsScaledAndKeptInside) {
    Engine t(PlainFile(FlatSensor(kW, kH, 500, 1000, 250), 512), kW, kH, EngineOptions{});
    Thumbnail thumb(12, 10, 20, 40, 10);
    thumb.bytes[(9 * 12 + 11) * 3] = 30; // the bottom-right pixel's red
    thumb.Attach(t);
    SensorGeometry g;
    g.width = kW;
    g.height = kH;
    uint16_t rgb[3] = {};
    // Scale 4: the area (8, 8, 8, 8) is thumbnail (2, 2, 2, 2); values are shifted by 4
    // and go through the identity table.
    SdkRect area{8, 8, 8, 8};
    ASSERT_EQ(t.engine.SampleWhiteBalance(&area, rgb, 1, &g), VQ_OK);
    EXPECT_EQ(rgb[0], 20 * 16);
    EXPECT_EQ(rgb[1], 40 * 16);
    EXPECT_EQ(rgb[2], 10 * 16);
    // At the right and bottom edges the area moves in to end on the last pixel.
    area = {44, 36, 8, 8};
    ASSERT_EQ(t.engine.SampleWhiteBalance(&area, rgb, 1, &g), VQ_OK);
    EXPECT_EQ(rgb[0], (20 * 3 + 30) * 16 / 4);
    // A tiny area still takes one pixel.
    area = {0, 0, 1, 1};
    ASSERT_EQ(t.engine.SampleWhiteBalance(&area, rgb, 1, &g), VQ_OK);
    EXPECT_EQ(rgb[1], 40 * 16);
    // A scale that is no whole number: N = min(48 / 10, 40 / 9) = 4.44, and the
    // area (20, 12, 10, 6) rounds to the thumbnail's (5, 3, 2, 1).
    Thumbnail ramp(10, 9, 0, 0, 0);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 10; ++x) ramp.bytes[size_t(y * 10 + x) * 3] = uint8_t(x + 10 * y + 1);
    ramp.Attach(t);
    area = {20, 12, 10, 6};
    ASSERT_EQ(t.engine.SampleWhiteBalance(&area, rgb, 1, &g), VQ_OK);
    EXPECT_EQ(rgb[0], (36 + 37) * 16 / 2);
    // Saturated after the table.
    Thumbnail white(12, 10, 255, 255, 255);
    white.Attach(t);
    t.setup.unpack[255 * 16] = 4095;
    area = {8, 8, 8, 8};
    EXPECT_EQ(t.engine.SampleWhiteBalance(&area, rgb, 1, &g), VQ_ERR_SAMPLE_SATURATED);
}

TEST(RawEngineThumbnail, RendersThroughTheColourPath) {
    EngineOptions o;
    o.balance[0] = 500;
    o.balance[1] = 1000;
    o.balance[2] = 500;
    Engine t(PlainFile(FlatSensor(kW, kH, 500, 1000, 250), 512), kW, kH, o);
    Thumbnail thumb(12, 10, 31, 62, 16); // × 16: 496, 992, 256
    thumb.Attach(t);
    SetParameter(t.engine, RP_OUTPUT_TYPE, int32_t(6));
    std::vector<uint8_t> out(12 * 10 * 6, 0);
    ASSERT_EQ(t.engine.RenderThumbnail(out.data()), VQ_OK);
    EXPECT_EQ(Get16(out, 0), 496 * 2 * 16);
    EXPECT_EQ(Get16(out, 2), 992 * 16);
    EXPECT_EQ(Get16(out, 4), 256 * 2 * 16);
    SetParameter(t.engine, RP_OUTPUT_TYPE, int32_t(0));
    EXPECT_EQ(t.engine.RenderThumbnail(out.data()), VQ_ERR_BAD_IMAGE_TYPE);

    // A grey file repeats its green plane in every channel.
    EngineOptions mono;
    mono.colour = false;
    Engine m(PlainFile(FlatSensor(kW, kH, 500, 500, 500), 512), kW, kH, mono);
    thumb.Attach(m);
    SetParameter(m.engine, RP_OUTPUT_TYPE, int32_t(3));
    std::vector<uint8_t> grey(12 * 10 * 2, 0);
    ASSERT_EQ(m.engine.RenderThumbnail(grey.data()), VQ_OK);
    EXPECT_EQ(Get16(grey, 0), 992 * 16);
}

namespace {

// A chart of 6 x 4 patches, 16 x 16 samples each: the top rows colours, the
// bottom row a neutral ramp. Scene colours are linear; the sensor sees them
// through channel sensitivities 0.5, 1 and 0.6, which the balance undoes.
struct Chart {
    static constexpr int kPatch = 16, kColumns = 6, kRows = 4;
    static constexpr double kResponse[3] = {0.5, 1.0, 0.6};
    static const double kScene[kRows][kColumns][3];
    static Sensor Mosaic() {
        Sensor s{kColumns * kPatch, kRows * kPatch, std::vector<uint16_t>(size_t(kColumns * kPatch) * kRows * kPatch)};
        for (int r = 0; r < s.height; ++r)
            for (int c = 0; c < s.width; ++c) {
                const int channel = (r % 2 == 0) ? (c % 2 ? 0 : 1) : (c % 2 ? 1 : 2);
                const double v = kScene[r / kPatch][c / kPatch][channel] * kResponse[channel];
                s.at(r, c) = uint16_t(std::lround(v * 4000.0));
            }
        return s;
    }
};

const double Chart::kScene[4][6][3] = {
    {{0.60, 0.08, 0.08}, {0.08, 0.50, 0.08}, {0.08, 0.10, 0.60}, {0.08, 0.45, 0.55}, {0.55, 0.08, 0.50}, {0.60, 0.55, 0.06}},
    {{0.60, 0.30, 0.05}, {0.20, 0.12, 0.45}, {0.30, 0.45, 0.12}, {0.45, 0.25, 0.30}, {0.10, 0.30, 0.40}, {0.50, 0.40, 0.25}},
    {{0.35, 0.20, 0.15}, {0.15, 0.25, 0.35}, {0.25, 0.30, 0.10}, {0.40, 0.10, 0.20}, {0.12, 0.35, 0.30}, {0.45, 0.35, 0.10}},
    {{0.90, 0.90, 0.90}, {0.59, 0.59, 0.59}, {0.36, 0.36, 0.36}, {0.19, 0.19, 0.19}, {0.09, 0.09, 0.09}, {0.03, 0.03, 0.03}},
};

} // namespace

// A rendered chart keeps its neutrals neutral and its colours where and what they
// are. With LUMORA_CHART_PPM set the picture is written there for a person to see.
TEST(RawEngineChart, NeutralsStayNeutralAndColoursKeepTheirOrder) {
    const Sensor chart = Chart::Mosaic();
    EngineOptions o;
    o.identityCurves = false;
    o.sharpen = true;
    for (int i = 0; i < 3; ++i) o.balance[i] = uint16_t(std::lround(Chart::kResponse[i] * 2000.0));
    Engine t(PlainFile(chart), chart.width, chart.height, o);
    const Rendered r = Render(t.engine, 4, t.WholeBytes(4, chart.width, chart.height));
    ASSERT_EQ(r.status, VQ_OK);
    if (const char* path = std::getenv("LUMORA_CHART_PPM")) {
        if (FILE* f = std::fopen(path, "wb")) {
            std::fprintf(f, "P6\n%d %d\n255\n", chart.width, chart.height);
            std::fwrite(r.bytes.data(), 1, r.bytes.size(), f);
            std::fclose(f);
        }
    }
    // Patch means over the inner 8 x 8 pixels.
    auto mean = [&](int row, int col, int channel) {
        double sum = 0;
        for (int y = 4; y < 12; ++y)
            for (int x = 4; x < 12; ++x)
                sum += r.bytes[(size_t(row * Chart::kPatch + y) * chart.width + col * Chart::kPatch + x) * 3 + channel];
        return sum / 64.0;
    };
    double previous = 256;
    for (int col = 0; col < Chart::kColumns; ++col) {
        const double R = mean(3, col, 0), G = mean(3, col, 1), B = mean(3, col, 2);
        EXPECT_NEAR(R, G, 1.5) << "neutral " << col;
        EXPECT_NEAR(B, G, 1.5) << "neutral " << col;
        EXPECT_LT(G, previous) << "the ramp darkens from left to right";
        previous = G;
    }
    // Every colour patch keeps the order of its scene channels.
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < Chart::kColumns; ++col) {
            const double* scene = Chart::kScene[row][col];
            const double out[3] = {mean(row, col, 0), mean(row, col, 1), mean(row, col, 2)};
            for (int a = 0; a < 3; ++a) {
                for (int b = 0; b < 3; ++b) {
                    if (scene[a] > scene[b] + 0.04) {
                        EXPECT_GT(out[a], out[b]) << "patch " << row << "," << col << " channels " << a << ">" << b;
                    }
                }
            }
        }
}

// Windows that reach past the sensor, tiny windows and a thumbnail size its
// bytes do not hold are answered without reading or writing outside anything.
TEST(RawEngineRender, WindowsPastTheSensorAndShortThumbnailsAreSafe) {
    const Sensor sensor = BusySensor(kW, kH, 21);
    EngineOptions o;
    o.offsets = true;
    o.gainMap = true;
    o.sharpen = true;
    o.mosaicFilter = true;
    Engine t(PlainFile(sensor, 512), kW, kH, o);
    const SdkRect windows[] = {{int16_t(kW - 8), int16_t(kH - 8), 16, 16}, {-8, -8, 16, 16}, {0, 0, 8, 8}};
    for (const SdkRect& w : windows) {
        SetParameter(t.engine, RP_OUTPUT_WINDOW, w);
        const Rendered r = Render(t.engine, 6, uint32_t(w.width * w.height * 6));
        EXPECT_TRUE(r.status == VQ_OK || r.status == VQ_ERR_BAD_FILE) << w.x << "," << w.y << ": " << r.status;
    }
    Thumbnail thumb(12, 10, 1, 2, 3);
    thumb.info[3] = 12 * 10 * 3 - 3; // one pixel short
    thumb.Attach(t);
    SetParameter(t.engine, RP_OUTPUT_TYPE, int32_t(6));
    std::vector<uint8_t> out(12 * 10 * 6);
    EXPECT_EQ(t.engine.RenderThumbnail(out.data()), VQ_ERR_BAD_FILE);
    SensorGeometry g;
    g.width = kW;
    g.height = kH;
    const SdkRect area{8, 8, 8, 8};
    uint16_t rgb[3];
    EXPECT_EQ(t.engine.SampleWhiteBalance(&area, rgb, 1, &g), VQ_ERR_BAD_FILE);
}
