// Version-3 raw files through the public interface: what the open makes of the
// private directory (chroma settings, bad columns, thumbnail tables, looks,
// the measured balance) and what reaches the engine's parameters.
#include "RawImageFixture.h"

#include <cmath>

#include "BadColumnRecord.h"
#include "ChromaSettings.h"
#include "RawImageV3.h"
#include "VqOutputTypes.h"

using namespace rawimagetest;
using lumora::BadColumnRecord;
using lumora::ChromaSettings;
using lumora::vq::RawImageV3;

namespace {

constexpr uint32_t Version(uint32_t major, uint32_t minor) { return major << 24 | minor << 16; }

class RawImageV3Test : public RawImageTest {
protected:
    static ZyrSampleOptions V3(const std::string& model = "ZYNM11") {
        ZyrSampleOptions o = Options(model);
        o.version = Version(3, 0);
        return o;
    }
    RawImageV3* V3Image() const { return dynamic_cast<RawImageV3*>(image_); }
    float Exposure() {
        VqExposureRecord r{};
        EXPECT_EQ(VqGetExtension(&info_, VQ_EXT_EXPOSURE, &r), 0u);
        return r.stops;
    }
    static void Drop(ZyrWriter& w, const ZyrSample::Ifds& d, uint16_t tag) { w.Remove(d.privateIfd, tag); }
};

TEST_F(RawImageV3Test, VersionsAndRequiredTagsDecideTheOpen) {
    struct Row {
        const char* what;
        uint32_t version;
        uint16_t dropped; // 0: nothing
        uint32_t status;
    };
    const Row rows[] = {
        {"3.0 without 2301, 2330, 2331", Version(3, 0), 0, 0},
        {"3.9", Version(3, 9), 0, 0},
        {"4.0", Version(4, 0), 0, VQ_ERR_VERSION_NOT_FOR_CLASS},
        {"no output curve 2305", Version(3, 0), 2305, VQ_ERR_BAD_FILE},
        // Without the table every type but raw would be linearised through
        // nothing and render white.
        {"no thumbnail source table 2317", Version(3, 0), 2317, VQ_ERR_BAD_FILE},
    };
    for (const Row& r : rows) {
        ZyrSampleOptions o = V3();
        o.version = r.version;
        const uint32_t status = Open(o, [&](ZyrWriter& w, const ZyrSample::Ifds& d) {
            if (r.dropped) Drop(w, d, r.dropped);
        });
        EXPECT_EQ(status, r.status) << r.what;
        if (status == 0) {
            EXPECT_NE(V3Image(), nullptr) << r.what;
        }
    }
}

TEST_F(RawImageV3Test, ChromaSettingsComeFromTheFileOrTheModel) {
    struct Row {
        const char* model;
        int32_t layout; // -1: tags 3692/3693 absent
        ChromaSettings expected;
        bool flag;
    };
    const Row rows[] = {
        {"ZYNM21", -1, {64, 1, 0, 0, 0, 2}, true},
        {"ZYNM11", -1, {64, 0, 0, 0, 0, 2}, true},
        {"ZYNM11", 1, {80, 1, 0, 0, 0, 1}, true},
        {"ZYNM19", -1, {0, 0, 0, 0, 0, 0}, false},
    };
    for (const Row& r : rows) {
        ZyrSampleOptions o = V3(r.model);
        o.chromaLayout = r.layout;
        o.chromaSensitivity = 80;
        ASSERT_EQ(Open(o), 0u) << r.model;
        const ChromaSettings& c = V3Image()->chromaSettings();
        EXPECT_EQ(c.sensitivity, r.expected.sensitivity) << r.model;
        EXPECT_EQ(c.layout, r.expected.layout) << r.model;
        EXPECT_EQ(c.fileSwitch, r.expected.fileSwitch) << r.model;
        EXPECT_EQ((info_.flags & RawImageV3::kChromaSettingsFlag) != 0, r.flag) << r.model;
        // The engine reads the image's own record.
        EXPECT_EQ(Param<const void*>(lumora::RP_CHROMA_SETTINGS), &c);
    }
}

TEST_F(RawImageV3Test, ChromaLevelFollowsTheFilterSettingIntoItsOwnWord) {
    ASSERT_EQ(Open(V3("ZYNM21")), 0u);
    ASSERT_EQ(VqSetExtension(&info_, VQ_EXT_CHROMA_FILTER, reinterpret_cast<void*>(uintptr_t(0)), 0, 0, 0, 0), 0u);
    const ChromaSettings& c = V3Image()->chromaSettings();
    EXPECT_EQ(c.level, 0);
    // A refused level leaves the word as the level stands; the other words are
    // never touched.
    EXPECT_EQ(VqSetExtension(&info_, VQ_EXT_CHROMA_FILTER, reinterpret_cast<void*>(uintptr_t(50)), 0, 0, 0, 0),
              VQ_ERR_VALUE_OUT_OF_RANGE);
    EXPECT_EQ(c.level, 0);
    EXPECT_EQ(c.sensitivity, 64);
    EXPECT_EQ(c.layout, 1);
}

TEST_F(RawImageV3Test, BadColumnsAndTheirThresholds) {
    struct Row {
        const char* what;
        const char* model;
        uint16_t level;
        int32_t enabled;
        int16_t count;
        int16_t thresholds[5];
    };
    // The files say ISO 100: the lowest code of each built-in table is the
    // nearest.
    const Row rows[] = {
        {"B1 of model 11", "ZYNM11", 3, 1, 2, {200, 300, 500, 200, 50}},
        {"level 0 lists nothing", "ZYNM11", 0, 0, 0, {200, 300, 500, 200, 50}},
        {"model 13 has no thresholds", "ZYNM13", 3, 0, 2, {0, 0, 0, 0, 0}},
        {"B5 of model 21", "ZYNM21", 3, 1, 2, {200, 300, 500, 200, 50}},
    };
    for (const Row& r : rows) {
        ZyrSampleOptions o = V3(r.model);
        o.badColumns = {20, 21};
        o.badColumnLevel = r.level;
        ASSERT_EQ(Open(o), 0u) << r.what;
        const BadColumnRecord& b = V3Image()->badColumns();
        EXPECT_EQ(b.enabled, r.enabled) << r.what;
        EXPECT_EQ(b.count, r.count) << r.what;
        EXPECT_EQ(b.level, int16_t(r.level)) << r.what;
        for (int i = 0; i < 5; ++i) EXPECT_EQ(b.thresholds[i], r.thresholds[i]) << r.what << " T" << i + 1;
        if (b.count == 2) {
            // Columns and the unread word in host order.
            uint16_t column = 0, word = 0;
            std::memcpy(&column, b.entries + 16 + 2, 2);
            std::memcpy(&word, b.entries + 6, 2);
            EXPECT_EQ(column, 21) << r.what;
            EXPECT_EQ(word, 0x1234) << r.what;
        }
        EXPECT_EQ(Param<const void*>(lumora::RP_BAD_COLUMNS), &b) << r.what;
    }
}

TEST_F(RawImageV3Test, FileThresholdTableIsChosenBySensitivityAndBrokenListsAreRefused) {
    ZyrSampleOptions o = V3();
    o.badColumns = {30};
    // Two codes: ISO 100 and ISO 400; the file says 100.
    const std::vector<uint16_t> table = {2, 140, 146, 11, 12, 13, 14, 15, 21, 22, 23, 24, 25};
    ASSERT_EQ(Open(o, [&](ZyrWriter& w, const ZyrSample::Ifds& d) { w.Shorts(d.privateIfd, 2570, table); }), 0u);
    const BadColumnRecord& b = V3Image()->badColumns();
    EXPECT_EQ(b.enabled, 1);
    EXPECT_EQ(std::vector<int16_t>(b.thresholds, b.thresholds + 5), (std::vector<int16_t>{11, 12, 13, 14, 15}));

    // More entries counted than tag 2311 holds: refused, nothing read past it.
    EXPECT_EQ(Open(o, [&](ZyrWriter& w, const ZyrSample::Ifds& d) {
                  Replace(w, d.privateIfd, 2310, [&] { w.Shorts(d.privateIfd, 2310, {2}); });
              }),
              VQ_ERR_BAD_FILE);
    // Entries outside the head.
    EXPECT_EQ(Open(o, [&](ZyrWriter& w, const ZyrSample::Ifds& d) {
                  Replace(w, d.privateIfd, 2311, [&] { w.RawEntry(d.privateIfd, 2311, 7, 16, 0x7FFFFF00); });
              }),
              VQ_ERR_BAD_FILE);
}

TEST_F(RawImageV3Test, HiddenPropertyFifteenIsTheConcealmentSwitch) {
    ZyrSampleOptions o = V3();
    o.badColumns = {20};
    ASSERT_EQ(Open(o), 0u);
    uint32_t word = 7;
    ASSERT_EQ(VqGetHidden(&info_, 15, &word), 0u);
    EXPECT_EQ(word, 1u);
    word = 0;
    ASSERT_EQ(VqSetHidden(&info_, 15, &word), 0u);
    EXPECT_EQ(V3Image()->badColumns().enabled, 0);
}

TEST_F(RawImageV3Test, MeasuredBalanceSetsTheStoredMatrixAndItsExposure) {
    struct Row {
        uint16_t measured;
        int32_t reference;
        float exposure;
    };
    const Row rows[] = {
        {1000, 700, 1.0f},   // 300 / 301 rounds to 1.0
        {1000, 100, 2.0f},   // 3.0 limited
        {700, 1000, -1.0f},  // rounds away from zero
        {1000, 985, 0.0f},   // 0.05 stays below the first tenth
        {1000, 3000, -2.0f}, // limited
    };
    for (const Row& r : rows) {
        ZyrSampleOptions o = V3();
        o.measuredBalance = true;
        o.measured3110 = r.measured;
        o.measured3122 = r.reference;
        ASSERT_EQ(Open(o), 0u) << r.measured << " " << r.reference;
        EXPECT_NE(info_.flags & RawImageV3::kMeasuredBalanceFlag, 0u);
        ASSERT_EQ(SetBalance(1, 5, 0, 0, 0, 0), 0u) << r.measured << " " << r.reference;
        EXPECT_NEAR(Exposure(), r.exposure, 1e-6) << r.measured << " " << r.reference;
        // The stored matrix itself, denominators and all.
        const RationalValue* m = Matrix(lumora::RP_COLOR_MATRIX);
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(m[i].numerator, i % 4 == 0 ? 1 : 0) << i;
            EXPECT_EQ(m[i].denominator, 2) << i;
        }
        EXPECT_EQ(V3Image()->balanceState().preset, 5);
    }
}

TEST_F(RawImageV3Test, MeasuredBalanceThatCannotBeUsedIsRefused) {
    struct Row {
        const char* what;
        int32_t reference;
        uint16_t measured;
    };
    for (const Row& r : {Row{"3122 = 0", 0, 1000}, Row{"3122 < 0", -5, 1000}, Row{"3110 = 0", 700, 0}}) {
        ZyrSampleOptions o = V3();
        o.measuredBalance = true;
        o.measured3110 = r.measured;
        o.measured3122 = r.reference;
        ASSERT_EQ(Open(o), 0u) << r.what;
        EXPECT_EQ(info_.flags & RawImageV3::kMeasuredBalanceFlag, 0u) << r.what;
        const VqWhiteBalanceMode before = V3Image()->balanceState();
        EXPECT_EQ(SetBalance(1, 5, 0, 0, 0, 0), VQ_ERR_MATRIX_NOT_AVAILABLE) << r.what;
        EXPECT_EQ(V3Image()->balanceState().preset, before.preset) << r.what;
        EXPECT_EQ(V3Image()->balanceState().mode, before.mode) << r.what;
    }
}

TEST_F(RawImageV3Test, CameraPresetOfAnUnusableMeasuredBalance) {
    ZyrSampleOptions o = V3();
    o.cameraPreset = 5;
    // The file still opens, with preset 0; the camera's preset is refused.
    ASSERT_EQ(Open(o), 0u);
    EXPECT_EQ(V3Image()->balanceState().preset, 0);
    EXPECT_EQ(SetBalance(1, 4, 0, 0, 0, 0), VQ_ERR_MATRIX_NOT_AVAILABLE);
    EXPECT_EQ(SetBalance(1, 1, 0, 0, 0, 0), 0u);
    // With the measurement, preset 4 is the measured balance.
    o.measuredBalance = true;
    ASSERT_EQ(Open(o), 0u);
    EXPECT_EQ(SetBalance(1, 4, 0, 0, 0, 0), 0u);
}

TEST_F(RawImageV3Test, KeepModeAndKindTakeTheCurrentState) {
    ASSERT_EQ(Open(V3()), 0u);
    ASSERT_EQ(SetBalance(1, 2, 1, 300, 400, 500), 0u);
    ASSERT_EQ(SetBalance(2, 0, 2, 1, 1, 1), 0u);
    const VqWhiteBalanceMode& s = V3Image()->balanceState();
    EXPECT_EQ(s.mode, 1);
    EXPECT_EQ(s.preset, 2);
    EXPECT_EQ(s.kind, 1);
    EXPECT_EQ((std::vector<uint16_t>{s.r, s.g, s.b}), (std::vector<uint16_t>{300, 400, 500}));
    EXPECT_EQ(SetBalance(1, 6, 0, 0, 0, 0), VQ_ERR_BAD_BALANCE_KIND);
    EXPECT_EQ(SetBalance(3, 0, 0, 0, 0, 0), VQ_ERR_BAD_BALANCE_MODE);
    EXPECT_EQ(SetBalance(1, 0, 1, 0, 40000, 1), VQ_ERR_BAD_CUSTOM_BALANCE);
}

TEST_F(RawImageV3Test, MonochromeFileKeepsItsBalance) {
    ZyrSampleOptions o = V3();
    o.colour = false;
    ASSERT_EQ(Open(o), 0u);
    const VqWhiteBalanceMode& s = V3Image()->balanceState();
    EXPECT_EQ(s.mode, 1);
    EXPECT_EQ(s.preset, 0);
    EXPECT_EQ(s.kind, 0);
    EXPECT_EQ((std::vector<uint16_t>{s.r, s.g, s.b}), (std::vector<uint16_t>{1, 1, 1}));
    EXPECT_EQ(info_.whiteBalanceFileStatus, int32_t(VQ_ERR_WB_FILE_MONO));
    EXPECT_EQ(info_.flags & ~RawImageV3::kChromaSettingsFlag, RawImageV3::kMonoFlags);
    EXPECT_EQ(SetBalance(1, 3, 1, 10, 20, 30), 0u);
    EXPECT_EQ(s.preset, 0);
    EXPECT_EQ(s.kind, 0);
}

TEST_F(RawImageV3Test, CameraRgbTypesTakeTheLinearGainWithHeadroom) {
    ASSERT_EQ(Open(V3()), 0u);
    EXPECT_EQ(Param<float>(lumora::RP_LINEAR_GAIN), 0.0f);
    ASSERT_EQ(VqSetImageType(&info_, VQ_TYPE_CAMERA_RGB16), 0u);
    // Preset 0's stored gain is 1.0.
    EXPECT_FLOAT_EQ(Param<float>(lumora::RP_LINEAR_GAIN), 1.17f);
}

TEST_F(RawImageV3Test, LooksComeFromTheFile) {
    ZyrSampleOptions o = V3();
    ASSERT_EQ(Open(o), 0u);
    int32_t count = 0;
    ASSERT_EQ(VqGetExtension(&info_, VQ_EXT_LOOK_COUNT, &count), 0u);
    EXPECT_EQ(count, 1);
    // The look's own curve is the tone curve.
    EXPECT_EQ(Param<int32_t>(lumora::RP_TONE_CURVE_SIZE), 4096);
    EXPECT_EQ(Param<uint16_t>(lumora::RP_MAX_VALUE), 4095);
    EXPECT_EQ(Table<uint16_t>(lumora::RP_TONE_CURVE)[2048], uint16_t(std::lround(4095.0 * std::pow(2048 / 4095.0, 0.9))));
    // A look that is not in the file.
    EXPECT_EQ(VqSetExtension(&info_, VQ_EXT_LOOK_SET, reinterpret_cast<void*>(uintptr_t(1)), 0, 0, 0, 0),
              VQ_ERR_NAME_NOT_FOUND);

    // An identity look matrix leaves the preset matrix as it is stored.
    ASSERT_EQ(Open(o, [&](ZyrWriter& w, const ZyrSample::Ifds& d) {
                  DistinctPresets(w, d);
                  Replace(w, d.privateIfd, 3670, [&] {
                      w.Rationals(d.privateIfd, 3670,
                                  {{1, 1}, {0, 1}, {0, 1}, {0, 1}, {1, 1}, {0, 1}, {0, 1}, {0, 1}, {1, 1}});
                  });
              }),
              0u);
    ASSERT_EQ(SetBalance(1, 2, 0, 0, 0, 0), 0u);
    const RationalValue* m = Matrix(lumora::RP_COLOR_MATRIX);
    const auto expected = PresetMatrix(2);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(uint32_t(m[i].numerator), expected[size_t(i)].first) << i;
        EXPECT_EQ(uint32_t(m[i].denominator), expected[size_t(i)].second) << i;
    }
}

TEST_F(RawImageV3Test, LinearisationFollowsTheOutputTypeAndExposure) {
    ZyrSampleOptions o = V3();
    o.tableLength = 1024;
    ASSERT_EQ(Open(o), 0u);
    RawImageV3* v3 = V3Image();
    // Sensitivity 100 over a base of 100: the limit is 4095 x 8.
    EXPECT_EQ(Param<int32_t>(lumora::RP_LINEAR_LIMIT), 4095 * 8);
    const std::vector<uint16_t> ramp = ZyrSample::Ramp(1024, 4095);
    const std::vector<uint16_t> file = ZyrSample::ThumbTable();
    const uint16_t* thumb = Table<uint16_t>(lumora::RP_THUMB_TABLE);
    EXPECT_EQ(thumb[50], file[50]);

    ASSERT_EQ(VqSetImageType(&info_, VQ_TYPE_RAW), 0u);
    EXPECT_DOUBLE_EQ(v3->gain(), 8.0);
    const int32_t* linear = Table<int32_t>(lumora::RP_LINEAR_TABLE_32);
    ASSERT_EQ(Param<int32_t>(lumora::RP_UNPACK_TABLE_SIZE), 1024);
    for (size_t i : {size_t(0), size_t(1), size_t(511), size_t(1023)}) EXPECT_EQ(linear[i], int32_t(ramp[i]) * 8) << i;

    // One stop up: every type but raw doubles its gain, the limit stays, and
    // the thumbnail table is a scaled copy.
    ASSERT_EQ(VqSetImageType(&info_, VQ_TYPE_RGB16), 0u);
    ASSERT_EQ(SetExposure(1.0f), 0u);
    EXPECT_DOUBLE_EQ(v3->gain(), 16.0);
    linear = Table<int32_t>(lumora::RP_LINEAR_TABLE_32);
    EXPECT_EQ(linear[100], int32_t(ramp[100]) * 16);
    EXPECT_EQ(linear[1023], 4095 * 8);
    EXPECT_NE(Table<uint16_t>(lumora::RP_THUMB_TABLE), thumb);
    EXPECT_EQ(Table<uint16_t>(lumora::RP_THUMB_TABLE)[50], file[50] * 2);
    EXPECT_EQ(thumb[50], file[50]);
}

TEST_F(RawImageV3Test, ColumnOffsetsOfAHundredValuesHaveNoMiddlePart) {
    ZyrSampleOptions o = V3();
    o.sensorWidth = 100;
    o.columnOffsets = true;
    o.rowOffsets = true;
    ASSERT_EQ(Open(o), 0u);
    const std::vector<int16_t> v = ZyrSample::ColumnOffsets(100);
    double a = 0, z = 0;
    for (int i = 0; i < 64; ++i) a += v[size_t(i)];
    for (int i = 35; i <= 98; ++i) z += v[size_t(i)];
    const int32_t head = int32_t(std::lround(a / 64 * 8)), tail = int32_t(std::lround(z / 64 * 8));
    ASSERT_NE(head, tail);
    const int32_t* columns = Table<int32_t>(lumora::RP_COLUMN_OFFSETS_32);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(columns[i], i <= 64 ? head : tail) << i;

    const std::vector<int16_t> r = ZyrSample::RowOffsets(o.sensorHeight);
    const int32_t* rows = Table<int32_t>(lumora::RP_ROW_OFFSETS_32);
    const double n = double(r.size()), k = 8;
    for (size_t i : {size_t(0), size_t(17), r.size() - 1})
        EXPECT_EQ(rows[i], int32_t(std::lround(double(i) * ((r.back() - r.front()) / n * k) + r.front() * k))) << i;
    EXPECT_EQ(Param<int32_t>(lumora::RP_OFFSET_TABLE_SIZE), int32_t(o.sensorHeight));
}

} // namespace
