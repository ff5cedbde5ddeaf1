// What a raw image hands its engine from the private directory: gain map,
// curves, colour curves, sharpening data, settings data.
#include "RawImageFixture.h"

#include "RawModelDefaults.h"
#include "RendererParameterId.h"
#include "SharpenStage.h"

using namespace rawimagetest;
using lumora::vq::RawModelDefaults;

namespace {

using D = ZyrSample::Ifds;

TEST_F(RawImageTest, GainMapOfThreePlanesGetsTheGreenAgainAsFourth) {
    ZyrSampleOptions o = Options();
    o.gainMap = true;  // 16 x 16 tiles: 4 x 3 of them
    ASSERT_EQ(Open(o), 0u);
    const std::vector<uint8_t> planes = ZyrSample::GainPlanes(12);
    EXPECT_EQ(Param<int32_t>(lumora::RP_GAIN_MAP_SIZE), 12);
    EXPECT_EQ(Param<int32_t>(lumora::RP_GAIN_TILE_WIDTH), 16);
    EXPECT_EQ(Param<int32_t>(lumora::RP_GAIN_TILE_HEIGHT), 16);
    const uint16_t* map = Table<uint16_t>(lumora::RP_GAIN_MAP);
    ASSERT_NE(map, nullptr);
    ASSERT_EQ(image_->gainMap().size(), 48u);
    for (uint32_t i = 0; i < 36; ++i) EXPECT_EQ(map[i], planes[i]) << i;
    for (uint32_t i = 0; i < 12; ++i) EXPECT_EQ(map[36 + i], planes[12 + i]) << "fourth plane, tile " << i;
}

TEST_F(RawImageTest, GainMapOfFourPlanesIsTakenAsRead) {
    std::vector<uint8_t> values(48);
    for (uint32_t i = 0; i < 48; ++i) values[i] = uint8_t(i * 3);
    ASSERT_EQ(Open(Options(),
                   [&](ZyrWriter& w, const D& d) {
                       w.Longs(d.privateIfd, 2402, {16});
                       w.Longs(d.privateIfd, 2403, {16});
                       w.Bytes(d.privateIfd, 2408, 1, values);
                   }),
              0u);
    const uint16_t* map = Table<uint16_t>(lumora::RP_GAIN_MAP);
    ASSERT_NE(map, nullptr);
    for (uint32_t i = 0; i < 48; ++i) EXPECT_EQ(map[i], values[i]);
}

TEST_F(RawImageTest, GainMapThatCannotBeReadLeavesNoSize) {
    ASSERT_EQ(Open(Options(),
                   [](ZyrWriter& w, const D& d) {
                       w.Longs(d.privateIfd, 2402, {16});
                       w.Longs(d.privateIfd, 2403, {16});
                       w.RawEntry(d.privateIfd, 2404, 1, 36, 0x7FFFFFF0);  // past the end of the file
                   }),
              0u);
    EXPECT_EQ(Param<int32_t>(lumora::RP_GAIN_MAP_SIZE), 0);
    EXPECT_EQ(Table<uint16_t>(lumora::RP_GAIN_MAP), nullptr);
}

TEST_F(RawImageTest, SecondToneCurveFromTheFileOrTheModel) {
    struct Row {
        const char* model;
        bool fileCurve;
    };
    for (const Row& r : {Row{"ZYNM11", true}, Row{"ZYNM11", false}, Row{"ZYNM17", false}, Row{"ZYNM19", false}}) {
        ZyrSampleOptions o = Options(r.model);
        o.toneCurve1 = r.fileCurve;
        ASSERT_EQ(Open(o), 0u) << r.model;
        const std::vector<uint16_t>& curve = image_->toneCurve(1);
        ASSERT_EQ(curve.size(), 4096u) << r.model;
        const uint16_t* builtIn = RawModelDefaults::ToneCurve(info_.modelId);
        if (r.fileCurve) {
            EXPECT_EQ(curve, ZyrSample::Ramp(4096, 3000));
        } else if (builtIn) {
            EXPECT_TRUE(std::equal(curve.begin(), curve.end(), builtIn)) << r.model;
            EXPECT_EQ(curve.front(), 0);
            EXPECT_EQ(curve.back(), 4095);
            EXPECT_TRUE(std::is_sorted(curve.begin(), curve.end()));
        } else {
            // A model without a curve of its own: the second look follows the first.
            EXPECT_EQ(curve, image_->toneCurve(0)) << r.model;
        }
    }
}

TEST_F(RawImageTest, SharpeningAndDemosaicThresholdOfNewAndOldFiles) {
    struct Row {
        uint32_t generation;  // model 11 files below 7 are old
        uint16_t threshold3662;
        bool old;
        uint16_t threshold;
    };
    for (const Row& r : {Row{16, 250, false, 250}, Row{16, 0, false, 100}, Row{6, 250, true, 100}}) {
        ZyrSampleOptions o = Options();
        o.fileGeneration = r.generation;
        o.demosaicThreshold = r.threshold3662;
        ASSERT_EQ(Open(o), 0u);
        EXPECT_EQ(image_->oldFile(), r.old);
        EXPECT_EQ(Param<uint16_t>(lumora::RP_DEMOSAIC_THRESHOLD), r.threshold) << r.generation;
        const int16_t* kernel = static_cast<const int16_t*>(image_->renderer()->Parameter(lumora::RP_SHARPEN_KERNEL));
        int32_t values[5];
        for (int i = 0; i < 5; ++i) values[i] = Param<int32_t>(lumora::RP_SHARPEN_1 + uint32_t(i));
        if (r.old) {
            int16_t block[28] = {};
            int32_t p[5] = {};
            lumora::SharpenStage::GetPresetParameters(block, &p[0], &p[1], &p[2], &p[3], &p[4], 11);
            EXPECT_TRUE(std::equal(block, block + 28, kernel));
            EXPECT_TRUE(std::equal(p, p + 5, values));
        } else {
            EXPECT_EQ(kernel[0], 8);
            EXPECT_EQ(kernel[2], 32);
            EXPECT_EQ(kernel[3], -1);
            EXPECT_EQ(kernel[3 + 12], 24) << "the kernel's centre";
            const int32_t want[5] = {12, 40, 300, 256, 1024};  // 2356 and 2357 are 0 in the file
            EXPECT_TRUE(std::equal(want, want + 5, values));
        }
    }
}

// Every render hands the engine the image's sharpening-allowed word again, so
// the word itself must say allowed, not only the parameter set at open.
TEST_F(RawImageTest, SharpeningStaysAllowedWhenRendering) {
    ASSERT_EQ(Open(Options()), 0u);
    uint32_t allowed = 0;
    ASSERT_EQ(VqGetExtension(&info_, VQ_EXT_PARAM_70, &allowed), 0u);
    EXPECT_EQ(allowed, 1u);
    ImageBufferRecord buffer{};
    EXPECT_EQ(VqGetImage(&info_, &buffer, nullptr), VQ_ERR_NULL_OUTPUT) << "no buffer: stops after the hand-over";
    EXPECT_EQ(Param<int32_t>(lumora::RP_SHARPEN_ALLOWED), 1);

    // The caller may withdraw it; the next render hands that on.
    ASSERT_EQ(VqSetExtension(&info_, VQ_EXT_PARAM_70, nullptr, 0, 0, 0, 0), 0u);
    EXPECT_EQ(VqGetImage(&info_, &buffer, nullptr), VQ_ERR_NULL_OUTPUT);
    EXPECT_EQ(Param<int32_t>(lumora::RP_SHARPEN_ALLOWED), 0);
}

TEST_F(RawImageTest, SettingsDataAndShortExtraDataReachTheRecord) {
    ZyrSampleOptions o = Options();
    o.settingsData = true;
    ASSERT_EQ(Open(o), 0u);
    EXPECT_EQ(std::string(static_cast<const char*>(info_.settingsData), info_.settingsDataLength), "SETTINGS-109");
    EXPECT_EQ(std::string(static_cast<const char*>(info_.extraData), info_.extraDataLength), "XYZ")
        << "three bytes in the entry's own value word";

    // Settings data that short sits in the value word too, in either byte order;
    // read as an offset it would point at unrelated bytes or past the head.
    for (lumora::ByteOrder order : {lumora::ByteOrder::Big, lumora::ByteOrder::Little}) {
        o.order = order;
        ASSERT_EQ(Open(o,
                       [](ZyrWriter& w, const ZyrSample::Ifds& d) {
                           Replace(w, d.privateIfd, 1009, [&] { w.Bytes(d.privateIfd, 1009, 7, {'A', 'B', 'C'}); });
                       }),
                  0u);
        EXPECT_EQ(std::string(static_cast<const char*>(info_.settingsData), info_.settingsDataLength), "ABC");
    }
}

TEST_F(RawImageTest, ColourCurvesFromTheFileTheKnotsOrTheModel) {
    struct Row {
        const char* name;
        int tag;
        uint32_t exposureIndex;
        uint32_t colourTableGeneration;
        uint16_t red0, red4095, green2048;
    };
    // Curve sets: ISO 100 red 10..50, ISO 400 red 20..60. Knots: red 10..40,
    // green 6 at 0, 20 at 2048. The model's own table starts at 8.
    const Row rows[] = {{"CurveSetForIso100", 3601, 100, 16, 10, 50, 15},
                        {"CurveSetForIso400", 3601, 400, 16, 20, 60, 0},
                        {"KnotLists", 3602, 100, 16, 10, 40, 20},
                        {"OldColourTables", 3601, 100, 1, 8, 32, 0}};
    for (const Row& r : rows) {
        ZyrSampleOptions o = Options();
        o.colourCurves = r.tag;
        o.colourTableGeneration = r.colourTableGeneration;
        ASSERT_EQ(Open(o,
                       [&](ZyrWriter& w, const D& d) {
                           Replace(w, d.main, 37397, [&] { w.Rationals(d.main, 37397, {{r.exposureIndex, 1}}); });
                       }),
                  0u)
            << r.name;
        const uint16_t* red = Table<uint16_t>(lumora::RP_CFA_TABLE_1);
        const uint16_t* green = Table<uint16_t>(lumora::RP_CFA_TABLE_2);
        ASSERT_NE(red, nullptr) << r.name;
        ASSERT_NE(green, nullptr) << r.name;
        EXPECT_NE(Table<uint16_t>(lumora::RP_CFA_TABLE_3), nullptr);
        EXPECT_EQ(red[0], r.red0) << r.name;
        EXPECT_EQ(red[4095], r.red4095) << r.name;
        if (r.green2048) {
            EXPECT_EQ(green[2048], r.green2048) << r.name;
        }
        EXPECT_EQ(Param<uint16_t>(lumora::RP_CFA_TABLE_SIZE), 0) << "the filter stays off until asked for";
    }
}

TEST_F(RawImageTest, KnotListsOfDifferentLengthsAreRefused) {
    std::vector<uint16_t> knots = ZyrSample::KnotLists();
    knots.back() = 44;
    knots[knots.size() - 2] = 2000;  // blue ends at 2000, red at 4095
    ASSERT_EQ(Open(Options(),
                   [&](ZyrWriter& w, const D& d) {
                       std::vector<uint8_t> bytes;
                       for (uint16_t v : knots) w.Put16(bytes, v);
                       w.RawData(d.privateIfd, 3602, 7, uint32_t(bytes.size()), bytes);
                   }),
              VQ_ERR_BAD_FILE);
}

TEST_F(RawImageTest, MonochromeFilesGetNoColourCurves) {
    ZyrSampleOptions o = Options("ZYNM20");
    o.colourCurves = 3601;
    ASSERT_EQ(Open(o), 0u);
    EXPECT_EQ(Table<uint16_t>(lumora::RP_CFA_TABLE_1), nullptr);
}

} // namespace

namespace {

TEST_F(RawImageTest, EveryOptionalTagTogetherInBothByteOrders) {
    for (lumora::ByteOrder order : {lumora::ByteOrder::Big, lumora::ByteOrder::Little}) {
        ZyrSampleOptions o = Options("ZYNM16");
        o.order = order;
        o.ljpegSensor = true;
        o.rowOffsets = o.columnOffsets = true;
        o.gainMap = true;
        o.colourCurves = 3601;
        o.toneCurve1 = true;
        o.settingsData = true;
        o.cameraPreset = 2;
        ASSERT_EQ(Open(o), 0u);
        EXPECT_EQ(Param<int32_t>(lumora::RP_DATA_COMPRESSED), 1);
        EXPECT_EQ(Param<int32_t>(lumora::RP_OFFSET_TABLE_SIZE), 48);
        EXPECT_EQ(Table<int16_t>(lumora::RP_ROW_OFFSETS)[0], 8 * -3);
        EXPECT_EQ(Param<int32_t>(lumora::RP_GAIN_MAP_SIZE), 12);
        EXPECT_NE(Table<uint16_t>(lumora::RP_CFA_TABLE_1), nullptr);
        EXPECT_EQ(Param<int32_t>(lumora::RP_CAMERA_PRESET), 2);
        EXPECT_EQ(image_->presetIndex(), 2) << "the default balance follows the camera's preset";
        EXPECT_EQ(image_->toneCurve(1), ZyrSample::Ramp(4096, 3000));
        EXPECT_EQ(std::string(static_cast<const char*>(info_.extraData), info_.extraDataLength), "XYZ")
            << "inline data keeps the file's byte order";
    }
}

} // namespace

namespace {

TEST_F(RawImageTest, CameraPresetBeyondTheFourIsTakenAsTheFirst) {
    ZyrSampleOptions o = Options();
    o.cameraPreset = 5;
    ASSERT_EQ(Open(o), 0u);
    EXPECT_EQ(Param<int32_t>(lumora::RP_CAMERA_PRESET), 0);
    EXPECT_EQ(image_->cameraValues().cameraPreset, 0);
}

} // namespace
