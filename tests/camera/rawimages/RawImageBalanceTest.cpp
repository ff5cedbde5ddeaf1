// White balance, looks and exposure of raw images, set through the extension
// calls and checked where the engine reads them.
#include "RawImageFixture.h"

#include <cmath>

#include "RawModelDefaults.h"
#include "RendererParameterId.h"

using namespace rawimagetest;

namespace {

using D = ZyrSample::Ifds;

std::vector<uint16_t> EngineTriple(const lumora::SdkRenderer* r) {
    const uint16_t* t = static_cast<const uint16_t*>(r->Parameter(lumora::RP_WHITE_BALANCE));
    return {t[0], t[1], t[2]};
}

struct CustomCase {
    uint16_t r, g, b;
    uint32_t status;
};

class CustomTriples : public RawImageTest, public ::testing::WithParamInterface<CustomCase> {};

TEST_P(CustomTriples, AreCheckedAndReachTheEngine) {
    const CustomCase& c = GetParam();
    ASSERT_EQ(Open(Options(), DistinctPresets), 0u);
    ASSERT_EQ(SetBalance(1, 2, 0, 0, 0, 0), 0u);
    const VqWhiteBalanceMode before = image_->balanceState();

    EXPECT_EQ(SetBalance(1, 0, 1, c.r, c.g, c.b), c.status);
    VqWhiteBalanceMode got{};
    ASSERT_EQ(VqGetExtension(&info_, VQ_EXT_WHITE_BALANCE, &got), 0u);
    if (c.status != 0) {
        EXPECT_EQ(std::memcmp(&image_->balanceState(), &before, sizeof before), 0) << "a refusal changes nothing";
        return;
    }
    const bool zero = c.r == 0 && c.g == 0 && c.b == 0;
    // The caller's (0, 0, 0) is kept as (1, 1, 1) and answered as (0, 0, 0).
    const std::vector<uint16_t> held = zero ? std::vector<uint16_t>{1, 1, 1} : std::vector<uint16_t>{c.r, c.g, c.b};
    EXPECT_EQ(EngineTriple(image_->renderer()), held);
    EXPECT_EQ(Param<int32_t>(lumora::RP_BALANCE_IS_LINEAR), 1);
    const int32_t* state = static_cast<const int32_t*>(image_->renderer()->Parameter(lumora::RP_BALANCE_STATE));
    EXPECT_EQ(state[0], 1);
    EXPECT_EQ(state[2], 1);
    EXPECT_EQ(got.mode, 1);
    EXPECT_EQ(got.kind, 1);
    EXPECT_EQ(got.r, c.r);
    EXPECT_EQ(got.g, c.g);
    EXPECT_EQ(got.b, c.b);
}

INSTANTIATE_TEST_SUITE_P(Balance, CustomTriples,
                         ::testing::Values(CustomCase{0, 0, 0, 0}, CustomCase{32767, 1, 1, 0},
                                           CustomCase{200, 100, 300, 0},
                                           CustomCase{0, 5, 0, VQ_ERR_BAD_CUSTOM_BALANCE},
                                           CustomCase{100, 0, 100, VQ_ERR_BAD_CUSTOM_BALANCE},
                                           CustomCase{32768, 1, 1, VQ_ERR_BAD_CUSTOM_BALANCE}));

struct PresetCase {
    const char* name;
    uint16_t cameraPreset;
    int32_t mode, preset, kind;
    uint32_t status;
    int32_t matrix;        // preset matrix expected as RP_COLOR_MATRIX (look 0)
    int32_t triple;        // balance triple expected in RP_WHITE_BALANCE
    int32_t balanceIndex;  // balance matrix chosen
    int32_t statePreset;
};

class Presets : public RawImageTest, public ::testing::WithParamInterface<PresetCase> {};

TEST_P(Presets, ChooseMatrixTripleAndBalanceMatrix) {
    const PresetCase& c = GetParam();
    ZyrSampleOptions o = Options();
    o.cameraPreset = c.cameraPreset;
    ASSERT_EQ(Open(o,
                   [](ZyrWriter& w, const D& d) {
                       DistinctPresets(w, d);
                       // The camera's own preset matrix is the same as preset 2's.
                       Replace(w, d.privateIfd, 2024, [&] { w.Rationals(d.privateIfd, 2024, PresetMatrix(2)); });
                   }),
              0u);
    EXPECT_EQ(SetBalance(c.mode, c.preset, c.kind, 0, 0, 0), c.status);
    if (c.status != 0) return;
    const RationalValue* m = Matrix(lumora::RP_COLOR_MATRIX);
    const auto want = PresetMatrix(uint32_t(c.matrix == 4 ? 2 : c.matrix));
    for (int i = 0; i < 9; ++i) EXPECT_EQ(uint32_t(m[i].numerator), want[size_t(i)].first) << i;
    EXPECT_EQ(Matrix(lumora::RP_COLOR_MATRIX_2)[0].numerator, 1024) << "preset 0's matrix";
    const std::vector<uint16_t> triple = {TripleValue(uint32_t(c.triple), 0), TripleValue(uint32_t(c.triple), 1),
                                          TripleValue(uint32_t(c.triple), 2)};
    EXPECT_EQ(EngineTriple(image_->renderer()), triple);
    EXPECT_EQ(Param<int32_t>(lumora::RP_BALANCE_IS_LINEAR), 0);
    EXPECT_EQ(image_->balanceIndex(), c.balanceIndex);
    // The sample writes balance matrix k with the diagonal 1024 + 16 * (10 + k).
    EXPECT_EQ(image_->currentBalanceMatrix()[0].numerator, 1024 + 16 * (10 + c.balanceIndex));
    EXPECT_EQ(image_->balanceState().preset, c.statePreset);
    // Extension 30 answers the preset whose matrix is in use.
    EXPECT_EQ(BalancePreset(), c.matrix);
}

// At open the default balance takes the camera's own preset (tag 1020), and
// extension 30 answers it from the start.
TEST_F(RawImageTest, BalancePresetExtensionAnswersTheCameraPresetAtOpen) {
    for (uint16_t camera : {uint16_t(1), uint16_t(3), uint16_t(0)}) {
        ZyrSampleOptions o = Options();
        o.cameraPreset = camera;
        ASSERT_EQ(Open(o, DistinctPresets), 0u) << camera;
        EXPECT_EQ(BalancePreset(), int32_t(camera));
        ASSERT_EQ(SetBalance(1, 2, 0, 0, 0, 0), 0u);
        EXPECT_EQ(BalancePreset(), 2) << camera;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Balance, Presets,
    ::testing::Values(PresetCase{"Daylight", 0, 1, 0, 0, 0, 0, 0, 0, 0},
                      PresetCase{"Tungsten", 0, 1, 1, 0, 0, 1, 1, 1, 1},
                      PresetCase{"Fluorescent", 0, 1, 2, 0, 0, 2, 2, 2, 2},
                      PresetCase{"Flash", 0, 1, 3, 0, 0, 3, 3, 3, 3},
                      PresetCase{"KeepModeAndKind", 0, 2, 3, 2, 0, 3, 3, 3, 3},
                      PresetCase{"CameraChoseTwo", 2, 1, 4, 0, 0, 2, 2, 2, 4},
                      // Camera preset 4: its matrix (tag 2024) equals preset 2's.
                      PresetCase{"CameraChoseItsOwn", 4, 1, 4, 0, 0, 4, 4, 2, 4},
                      PresetCase{"MeasuredWithoutMatrix", 0, 1, 5, 0, VQ_ERR_MATRIX_NOT_AVAILABLE, 0, 0, 0, 0},
                      PresetCase{"PresetSix", 0, 1, 6, 0, VQ_ERR_BAD_BALANCE_KIND, 0, 0, 0, 0},
                      PresetCase{"PresetNegative", 0, 1, -1, 0, VQ_ERR_BAD_BALANCE_KIND, 0, 0, 0, 0},
                      PresetCase{"ModeThree", 0, 3, 0, 0, VQ_ERR_BAD_BALANCE_MODE, 0, 0, 0, 0},
                      PresetCase{"KindThree", 0, 1, 0, 3, VQ_ERR_BAD_BALANCE_MODE, 0, 0, 0, 0},
                      PresetCase{"BalanceOffOnColour", 0, 0, 0, 0, VQ_ERR_BAD_BALANCE_MODE, 0, 0, 0, 0}),
    [](const ::testing::TestParamInfo<PresetCase>& i) { return std::string(i.param.name); });

TEST_F(RawImageTest, MeasuredBalanceNeedsItsMatrixAndACustomTriple) {
    ASSERT_EQ(Open(Options(),
                   [](ZyrWriter& w, const D& d) {
                       DistinctPresets(w, d);
                       Replace(w, d.privateIfd, 2025, [&] { w.Rationals(d.privateIfd, 2025, PresetMatrix(3)); });
                       w.Longs(d.privateIfd, 3122, {5});
                       w.Longs(d.privateIfd, 3125, {1});
                   }),
              0u);
    // The file's presets give no triple for the measured balance.
    EXPECT_EQ(SetBalance(1, 5, 0, 0, 0, 0), VQ_ERR_BAD_STAGE_MODE);
    ASSERT_EQ(SetBalance(1, 5, 1, 300, 200, 100), 0u);
    EXPECT_EQ(image_->balanceState().preset, 5);
    EXPECT_EQ(image_->balanceIndex(), 3) << "tag 2025 matches preset 3's matrix";
    EXPECT_EQ(Matrix(lumora::RP_COLOR_MATRIX)[0].numerator, int32_t(PresetMatrix(3)[0].first));
    EXPECT_EQ(EngineTriple(image_->renderer()), (std::vector<uint16_t>{300, 200, 100}));
}

// The measured balance also needs a measurement count above zero; the count
// is signed, so a negative one counts as none.
TEST_F(RawImageTest, MeasuredBalanceNeedsAPositiveMeasurementCount) {
    for (const uint32_t count : {1u, 0u, 0xFFFFFFFBu, 0x80000000u}) {
        ASSERT_EQ(Open(Options(),
                       [count](ZyrWriter& w, const D& d) {
                           Replace(w, d.privateIfd, 2025, [&] { w.Rationals(d.privateIfd, 2025, PresetMatrix(0)); });
                           w.Longs(d.privateIfd, 3122, {count});
                           w.Longs(d.privateIfd, 3125, {1});
                       }),
                  0u);
        const uint32_t want = int32_t(count) > 0 ? 0u : uint32_t(VQ_ERR_MATRIX_NOT_AVAILABLE);
        EXPECT_EQ(SetBalance(1, 5, 1, 300, 200, 100), want) << std::hex << count;
    }
}

TEST_F(RawImageTest, MonochromeFilesAcceptEveryStateAndAnswerItOff) {
    ASSERT_EQ(Open(Options("ZYNM20")), 0u);
    EXPECT_EQ(SetBalance(1, 0, 1, 0, 5, 0), 0u);
    EXPECT_EQ(SetBalance(0, 3, 0, 0, 0, 0), 0u);
    VqWhiteBalanceMode got{};
    ASSERT_EQ(VqGetExtension(&info_, VQ_EXT_WHITE_BALANCE, &got), 0u);
    EXPECT_EQ(got.mode, 0);
    EXPECT_EQ(got.kind, 0);
}

TEST_F(RawImageTest, LooksSwitchToneCurveAndMatrix) {
    ASSERT_EQ(Open(Options()), 0u);
    ASSERT_EQ(VqSetExtension(&info_, VQ_EXT_LOOK_SET, reinterpret_cast<void*>(uintptr_t(1)), 0, 0, 0, 0), 0u);
    EXPECT_EQ(Param<int32_t>(lumora::RP_LOOK), 1);
    EXPECT_EQ(Table<uint16_t>(lumora::RP_TONE_CURVE), image_->toneCurve(1).data());
    EXPECT_EQ(Param<int32_t>(lumora::RP_TONE_CURVE_SIZE), 4096);
    // Preset 0 is the identity; tag 2340 has 1.1 on the diagonal and -0.1 at
    // the far corners, over 100.
    const RationalValue* m = Matrix(lumora::RP_COLOR_MATRIX);
    EXPECT_EQ(m[0].numerator, 110);
    EXPECT_EQ(m[0].denominator, 100);
    EXPECT_EQ(m[2].numerator, -10);
    EXPECT_EQ(m[4].numerator, 100);
    int32_t look = -1;
    ASSERT_EQ(VqGetExtension(&info_, VQ_EXT_LOOK_SET, &look), 0u);
    EXPECT_EQ(look, 1);

    EXPECT_EQ(VqSetExtension(&info_, VQ_EXT_LOOK_SET, reinterpret_cast<void*>(uintptr_t(2)), 0, 0, 0, 0),
              VQ_ERR_NAME_NOT_FOUND);
    ASSERT_EQ(VqGetExtension(&info_, VQ_EXT_LOOK_SET, &look), 0u);
    EXPECT_EQ(look, 1);

    ASSERT_EQ(VqSetExtension(&info_, VQ_EXT_LOOK_SET, nullptr, 0, 0, 0, 0), 0u);
    EXPECT_EQ(Param<int32_t>(lumora::RP_LOOK), 0);
    EXPECT_EQ(Table<uint16_t>(lumora::RP_TONE_CURVE), image_->toneCurve(0).data());
    EXPECT_EQ(Matrix(lumora::RP_COLOR_MATRIX)[0].numerator, 1);
}

TEST_F(RawImageTest, LookWithoutAValidMatrixUsesTheIdentity) {
    ASSERT_EQ(Open(Options(), [](ZyrWriter& w, const D& d) { w.Remove(d.privateIfd, 2340); }), 0u);
    ASSERT_EQ(VqSetExtension(&info_, VQ_EXT_LOOK_SET, reinterpret_cast<void*>(uintptr_t(1)), 0, 0, 0, 0), 0u);
    const RationalValue* m = Matrix(lumora::RP_COLOR_MATRIX);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(m[i].numerator, i % 4 == 0 ? 100 : 0) << i;
        EXPECT_EQ(m[i].denominator, 100) << i;
    }
}

struct GainCase {
    const char* name;
    std::pair<uint32_t, uint32_t> stored;  // tag 2200
    std::pair<uint32_t, uint32_t> scale;   // tag 2306
    uint32_t status;
    double gain;
};

class LinearGain : public RawImageTest, public ::testing::WithParamInterface<GainCase> {};

TEST_P(LinearGain, ForTheCameraRgbTypes) {
    const GainCase& c = GetParam();
    ASSERT_EQ(Open(Options(),
                   [&](ZyrWriter& w, const D& d) {
                       Replace(w, d.privateIfd, 2200, [&] { w.Rationals(d.privateIfd, 2200, {c.stored}); });
                       Replace(w, d.privateIfd, 2306, [&] { w.Rationals(d.privateIfd, 2306, {c.scale}); });
                   }),
              0u);
    ASSERT_EQ(SetBalance(1, 0, 0, 0, 0, 0), 0u);
    EXPECT_EQ(Param<float>(lumora::RP_LINEAR_GAIN), 0.0f) << "not computed for the other types";
    EXPECT_EQ(image_->PrepareSpecialType(VQ_TYPE_CAMERA_RGB8), c.status);
    EXPECT_NEAR(Param<float>(lumora::RP_LINEAR_GAIN), c.gain, 1e-4);
    double direct = -1;
    EXPECT_EQ(image_->ComputeLinearGain(&direct, 0), c.status);
    EXPECT_NEAR(direct, c.gain, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(
    Balance, LinearGain,
    ::testing::Values(GainCase{"StoredGain", {12, 10}, {100, 1}, 0, 1.2},
                      // 0.4 with a scale of 100: 4095^(40/4095).
                      GainCase{"EncodedGain", {4, 10}, {100, 1}, 0, 1.08463729},
                      GainCase{"Zero", {0, 1}, {100, 1}, VQ_ERR_LINEAR_GAIN_ZERO, 0},
                      GainCase{"ScaleBelowHalf", {12, 10}, {4, 10}, VQ_ERR_LINEAR_GAIN_SCALE, 0},
                      GainCase{"EncodedWithSmallScale", {4, 10}, {50, 1}, VQ_ERR_LINEAR_GAIN_SCALE, 0},
                      GainCase{"TooHigh", {25, 10}, {100, 1}, VQ_ERR_LINEAR_GAIN_HIGH, 0}),
    [](const ::testing::TestParamInfo<GainCase>& i) { return std::string(i.param.name); });

// Row offsets: a ramp from -3 to 3 over the 48 rows. Column offsets over 200
// columns: 1 for the first 100, 3 after.
struct OffsetCase {
    const char* name;
    float stops;
    std::vector<std::pair<uint32_t, int16_t>> rows;     // index, entry
    std::vector<std::pair<uint32_t, int16_t>> columns;  // index, entry
};

class OffsetTables : public RawImageTest, public ::testing::WithParamInterface<OffsetCase> {};

TEST_P(OffsetTables, FollowTheExposure) {
    const OffsetCase& c = GetParam();
    ASSERT_EQ(Open(Options(),
                   [](ZyrWriter& w, const D& d) {
                       std::vector<uint16_t> rows(48, 0);
                       rows.front() = uint16_t(-3);
                       rows.back() = 3;
                       w.Shorts(d.privateIfd, 1040, rows, 8);
                       std::vector<uint16_t> columns(200);
                       for (uint32_t i = 0; i < 200; ++i) columns[i] = i < 100 ? 1 : 3;
                       w.Shorts(d.privateIfd, 1039, columns, 8);
                   }),
              0u);
    ASSERT_EQ(SetExposure(c.stops), 0u);
    EXPECT_EQ(Param<int32_t>(lumora::RP_OFFSET_TABLE_SIZE), 48);
    const int16_t* rows = Table<int16_t>(lumora::RP_ROW_OFFSETS);
    const int16_t* columns = Table<int16_t>(lumora::RP_COLUMN_OFFSETS);
    ASSERT_NE(rows, nullptr);
    ASSERT_NE(columns, nullptr);
    for (const auto& [i, v] : c.rows) EXPECT_EQ(rows[i], v) << "row " << i;
    for (const auto& [i, v] : c.columns) EXPECT_EQ(columns[i], v) << "column " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Exposure, OffsetTables,
    ::testing::Values(
        // 8 x (-3 + i / 8); the 128-column window at 64 holds 100 ones and 28
        // threes (11.5 rounds away from zero), at 100 half of each, at 135 29 ones.
        OffsetCase{"NoExposure",
                   0.0f,
                   {{0, -24}, {4, -20}, {47, 23}},
                   {{0, 8}, {63, 8}, {64, 12}, {100, 16}, {135, 20}, {136, 24}, {199, 24}}},
        OffsetCase{"OneStopUp", 1.0f, {{0, -48}, {1, -46}, {47, 46}}, {{0, 16}, {64, 23}, {100, 32}, {199, 48}}},
        // Halves round away from zero on both sides of it.
        OffsetCase{"OneStopDown", -1.0f, {{0, -12}, {1, -12}, {3, -11}, {47, 12}}, {{0, 4}, {64, 6}, {199, 12}}}),
    [](const ::testing::TestParamInfo<OffsetCase>& i) { return std::string(i.param.name); });

TEST_F(RawImageTest, WithoutOffsetTagsTheTablesAreZeroAndOff) {
    ASSERT_EQ(Open(Options()), 0u);
    EXPECT_EQ(Param<int32_t>(lumora::RP_OFFSET_TABLE_SIZE), 0);
    const int16_t* rows = Table<int16_t>(lumora::RP_ROW_OFFSETS);
    const int16_t* columns = Table<int16_t>(lumora::RP_COLUMN_OFFSETS);
    ASSERT_NE(rows, nullptr);
    ASSERT_NE(columns, nullptr);
    EXPECT_EQ(rows[47], 0);
    EXPECT_EQ(columns[63], 0) << "one entry per sensor column";
}

TEST_F(RawImageTest, ExposureScalesLinearisationAndThumbnailTables) {
    ASSERT_EQ(Open(Options()), 0u);
    const uint16_t* curve = lumora::vq::RawModelDefaults::LinearisationCurve();
    const uint16_t* fileThumb = Table<uint16_t>(lumora::RP_THUMB_TABLE);
    ASSERT_NE(fileThumb, nullptr);
    const std::vector<uint16_t> file = ZyrSample::ThumbTable();
    EXPECT_EQ(fileThumb[100], file[100]) << "the file's own table, unscaled";
    EXPECT_EQ(Param<int32_t>(lumora::RP_THUMB_TABLE_SIZE), int32_t(file.size()));
    EXPECT_EQ(Table<uint16_t>(lumora::RP_UNPACK_TABLE)[100], curve[100]);
    EXPECT_EQ(Table<uint16_t>(lumora::RP_UNPACK_TABLE)[215], 215);

    ASSERT_EQ(SetExposure(1.0f), 0u);
    EXPECT_DOUBLE_EQ(image_->gain(), 2.0);
    const uint16_t* unpack = Table<uint16_t>(lumora::RP_UNPACK_TABLE);
    EXPECT_EQ(unpack[100], 200);
    EXPECT_EQ(unpack[4095], 4095) << "limited to the file table's last entry";
    EXPECT_EQ(Param<uint16_t>(lumora::RP_LINEAR_MAX), 4095);
    const uint16_t* thumb = Table<uint16_t>(lumora::RP_THUMB_TABLE);
    EXPECT_NE(thumb, fileThumb);
    EXPECT_EQ(thumb[50], file[50] * 2);
    EXPECT_EQ(thumb[200], 4095) << "limited to the file table's last entry";
    VqExposureRecord record{};
    ASSERT_EQ(VqGetExtension(&info_, VQ_EXT_EXPOSURE, &record), 0u);
    EXPECT_EQ(record.stops, 1.0f);
    EXPECT_EQ(record.available, 1);

    EXPECT_EQ(SetExposure(2.5f), VQ_ERR_VALUE_OUT_OF_RANGE);
    EXPECT_EQ(image_->exposure(), 1.0);

    ASSERT_EQ(SetExposure(0.0f), 0u);
    EXPECT_EQ(Table<uint16_t>(lumora::RP_THUMB_TABLE), fileThumb);
}

TEST_F(RawImageTest, BaseSensitivityByModelAndPresetClass) {
    // Tags 2320 + k hold (100, 50 (k + 1)); the ISO is 100.
    struct Row {
        const char* model;
        int32_t preset;
        double gain;
    };
    for (const Row& r : {Row{"ZYNM11", 0, 1.0}, Row{"ZYNM14", 0, 2.0}, Row{"ZYNM14", 1, 1.0},
                         Row{"ZYNM17", 2, 100.0 / 150.0}, Row{"ZYNM14", 3, 0.5}}) {
        ASSERT_EQ(Open(Options(r.model)), 0u) << r.model;
        ASSERT_EQ(SetBalance(1, r.preset, 0, 0, 0, 0), 0u);
        EXPECT_DOUBLE_EQ(image_->gain(), r.gain) << r.model << " preset " << r.preset;
    }
}

TEST_F(RawImageTest, MissingExposureIndexTakesTheBaseSensitivity) {
    ASSERT_EQ(Open(Options(), [](ZyrWriter& w, const D& d) { w.Remove(d.main, 37397); }), 0u);
    EXPECT_DOUBLE_EQ(image_->gain(), 1.0);
    EXPECT_EQ(Table<uint16_t>(lumora::RP_UNPACK_TABLE)[1000],
              lumora::vq::RawModelDefaults::LinearisationCurve()[1000]);
}

} // namespace
