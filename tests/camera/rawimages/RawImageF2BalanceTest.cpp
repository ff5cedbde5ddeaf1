// White balance of family-2 images: what the engine is handed is a neutral point
// the engine computes, and the checks and defaults of these files.
#include <gtest/gtest.h>

#include <cmath>

#include "RawEngineF2.h"
#include "RawImageF2.h"
#include "RawImageFixture.h"
#include "StoredSettingsRecord.h"

using namespace lumora::vq;
using namespace rawimagetest;
using namespace lumora;

namespace {

ZyrSampleOptions F2(const std::string& model, uint32_t version = 0x02000000) {
    ZyrSampleOptions o;
    o.model = model;
    o.version = version;
    return o;
}

std::vector<uint16_t> EngineTriple(const SdkRenderer* r) {
    const uint16_t* t = static_cast<const uint16_t*>(r->Parameter(RP_WHITE_BALANCE));
    return {t[0], t[1], t[2]};
}

std::vector<uint16_t> Rounded(const double v[3]) {
    return {uint16_t(std::lround(v[0])), uint16_t(std::lround(v[1])), uint16_t(std::lround(v[2]))};
}

// The 2120..2125 illuminant block as the file holds it.
std::vector<uint32_t> Illuminants() {
    std::vector<uint32_t> block;
    for (uint32_t k = 0; k < 5; ++k)
        for (uint32_t v : {2620 - 15 * k, 2568u, 2520 + 15 * k}) block.insert(block.end(), {v, 1});
    block.insert(block.end(), 6, 1);
    return block;
}

// A stored record of the given layout version holding a custom triple.
Tweak StoredCustom(uint8_t version, uint16_t r, uint16_t g, uint16_t b) {
    return [=](ZyrWriter& w, const ZyrSample::Ifds& d) {
        StoredSettingsRecord::ProcessBlock block;
        block.version = version;
        block.outputType = 4;
        block.balanceCode = 0;
        block.red = r, block.green = g, block.blue = b;
        std::vector<uint8_t> bytes(StoredSettingsRecord::kRecordBytes, 0);
        StoredSettingsRecord::EncodeProcessBlock(block, bytes.data());
        const uint32_t triple[3] = {0, 0, 0};
        StoredSettingsRecord::MakeSettingsBlock(0, triple, bytes.data() + StoredSettingsRecord::kProcessBytes);
        Replace(w, d.privateIfd, 1021, [&] { w.Bytes(d.privateIfd, 1021, 7, bytes); });
    };
}

} // namespace

// At open the engine gets the neutral point of the default preset 0 (computed
// from the file's illuminants), not a triple divided out of the tags.
TEST_F(RawImageTest, Family2OpenHandsTheEngineTheNeutralPointOfPresetZero) {
    for (const char* model : {"ZYNM13", "ZYNM18"})
        for (uint32_t version : {0x01000000u, 0x02000000u}) {
            ASSERT_EQ(Open(F2(model, version)), 0u) << model;
            auto* image = dynamic_cast<RawImageF2*>(image_);
            ASSERT_NE(image, nullptr);
            VqWhiteBalanceMode got{};
            ASSERT_EQ(VqGetExtension(&info_, VQ_EXT_WHITE_BALANCE, &got), 0u);
            EXPECT_EQ(got.mode, 1);
            EXPECT_EQ(got.preset, 0);
            EXPECT_EQ(got.kind, 0);
            double neutral[3];
            const std::vector<uint32_t> block = Illuminants();
            ASSERT_EQ(image->engine()->NeutralForIlluminant(0, block.data(), neutral), 0u);
            const std::vector<uint16_t> expected = Rounded(neutral);
            EXPECT_EQ(EngineTriple(image_->renderer()), expected) << model << " " << std::hex << version;
            EXPECT_EQ((std::vector<uint16_t>{got.r, got.g, got.b}), expected);
            // The tag triples are 2620/1 ...: divided out they would be out of the curves' range.
            EXPECT_NE(expected[0], 2620);
            double gains[3];
            EXPECT_EQ(image->engine()->BalanceFromNeutral(expected[0], expected[1], expected[2], gains), 0u);
            // The output type of a file without usable stored settings.
            EXPECT_EQ(info_.outputType, uint32_t(VQ_TYPE_RGB8));
        }
}

TEST_F(RawImageTest, Family2PresetsGiveTheirIlluminantsAndTheSampledNeutral) {
    ASSERT_EQ(Open(F2("ZYNM13")), 0u);
    auto* image = dynamic_cast<RawImageF2*>(image_);
    const std::vector<uint32_t> block = Illuminants();
    for (int32_t preset : {1, 3, 0}) {
        ASSERT_EQ(SetBalance(1, preset, 0, 0, 0, 0), 0u) << preset;
        double neutral[3];
        ASSERT_EQ(image->engine()->NeutralForIlluminant(preset, block.data(), neutral), 0u);
        EXPECT_EQ(EngineTriple(image_->renderer()), Rounded(neutral)) << preset;
        EXPECT_EQ(image->presetIndex(), preset);
        EXPECT_EQ(BalancePreset(), preset);
    }
    ASSERT_EQ(SetBalance(1, 5, 0, 0, 0, 0), 0u);
    double sampled[3];
    ASSERT_EQ(image->engine()->GetNeutralPoint(sampled), 0u);
    EXPECT_EQ(EngineTriple(image_->renderer()), Rounded(sampled));
    // Preset 5 uses the matrices of preset 0.
    EXPECT_EQ(image->presetIndex(), 0);
    EXPECT_EQ(BalancePreset(), 0);
    // A custom triple is a neutral point handed on as it is.
    ASSERT_EQ(SetBalance(1, 0, 1, 300, 310, 320), 0u);
    EXPECT_EQ(EngineTriple(image_->renderer()), (std::vector<uint16_t>{300, 310, 320}));
    EXPECT_EQ(Param<int32_t>(RP_BALANCE_IS_LINEAR), 1);
}

TEST_F(RawImageTest, Family2BalanceChecks) {
    struct Case {
        int32_t mode, preset, kind;
        uint16_t r, g, b;
        uint32_t type; // output type set first
        bool sampled;  // tag 3122 above 0
        uint32_t status;
    };
    const Case cases[] = {
        {1, 4, 0, 0, 0, 0, 4, true, VQ_ERR_BAD_BALANCE_KIND},   // no camera choice in these files
        {1, 6, 0, 0, 0, 0, 4, true, VQ_ERR_BAD_BALANCE_KIND},
        {1, -1, 0, 0, 0, 0, 4, true, VQ_ERR_BAD_BALANCE_KIND},
        {1, 3, 0, 0, 0, 0, 4, true, 0},
        {1, 0, 1, 0, 0, 0, 4, true, VQ_ERR_BAD_CUSTOM_BALANCE}, // (0, 0, 0) is not widened here
        {1, 0, 1, 1, 0, 1, 4, true, VQ_ERR_BAD_CUSTOM_BALANCE},
        {1, 0, 1, 32767, 1, 1, 4, true, 0},
        {3, 0, 0, 0, 0, 0, 4, true, VQ_ERR_BAD_BALANCE_MODE},
        {1, 5, 0, 0, 0, 0, 13, true, VQ_ERR_TYPE_LOCKED},
        {1, 5, 1, 300, 300, 300, 4, true, VQ_ERR_BAD_BALANCE_MODE},
        {1, 5, 0, 0, 0, 0, 4, false, VQ_ERR_MATRIX_NOT_AVAILABLE},
        {1, 5, 0, 0, 0, 0, 4, true, 0},
    };
    for (const Case& c : cases) {
        const Tweak noSample = [](ZyrWriter& w, const ZyrSample::Ifds& d) {
            Replace(w, d.privateIfd, 3122, [&] { w.Longs(d.privateIfd, 3122, {0}, 9); });
        };
        ASSERT_EQ(Open(F2("ZYNM18"), c.sampled ? Tweak{} : noSample), 0u);
        if (c.type != 4) {
            ASSERT_EQ(VqSetImageType(&info_, c.type), 0u);
        }
        const VqWhiteBalanceMode before = image_->balanceState();
        EXPECT_EQ(SetBalance(c.mode, c.preset, c.kind, c.r, c.g, c.b), c.status)
            << c.mode << " " << c.preset << " " << c.kind << " " << c.r << " type " << c.type;
        if (c.status) {
            EXPECT_EQ(std::memcmp(&image_->balanceState(), &before, sizeof before), 0);
        }
    }
}

// Records of layout 2 and older keep a neutral point, which is made a balance
// triple at open; layout 3 keeps the triple itself.
TEST_F(RawImageTest, Family2StoredNeutralOfOlderRecordsIsConverted) {
    ASSERT_EQ(Open(F2("ZYNM18"), StoredCustom(3, 300, 310, 320)), 0u);
    EXPECT_EQ(image_->balanceState().kind, 1);
    EXPECT_EQ(EngineTriple(image_->renderer()), (std::vector<uint16_t>{300, 310, 320}));

    ASSERT_EQ(Open(F2("ZYNM18"), StoredCustom(2, 300, 310, 320)), 0u);
    auto* image = dynamic_cast<RawImageF2*>(image_);
    // The conversion runs under look 1 and preset 0.
    ASSERT_EQ(image->SetLookMatrixF2(1, 0), 0u);
    uint16_t converted[3] = {};
    ASSERT_EQ(image->engine()->NeutralToBalanceTriple(300, 310, 320, converted), 0u);
    ASSERT_NE(converted[0], 300);
    EXPECT_EQ(image_->balanceState().kind, 1);
    EXPECT_EQ(EngineTriple(image_->renderer()), (std::vector<uint16_t>(converted, converted + 3)));

    // The stored "no custom triple" mark gives kind 0 (preset 0's neutral).
    ASSERT_EQ(Open(F2("ZYNM18"), StoredCustom(3, 0x7FFF, 0x7FFF, 0x7FFF)), 0u);
    EXPECT_EQ(image_->balanceState().kind, 0);
}

TEST_F(RawImageTest, Family2WhiteBalanceFileStatusAndDirectionThresholds) {
    struct Case {
        const char* model;
        uint32_t version;
        uint16_t threshold;
        uint32_t wbStatus;
        int32_t expectedThreshold;
    };
    const Case cases[] = {
        {"ZYNM13", 0x02000000, 0, VQ_ERR_WB_FILE_UNSUPPORTED, 640},
        {"ZYNM18", 0x02000000, 0, VQ_ERR_WB_FILE_UNSUPPORTED_RAW, 640},
        {"ZYNM18", 0x02000000, 500, VQ_ERR_WB_FILE_UNSUPPORTED_RAW, 500},
        {"ZYNM13", 0x01000000, 500, VQ_ERR_WB_FILE_UNSUPPORTED, 640},
    };
    for (const Case& c : cases) {
        ZyrSampleOptions o = F2(c.model, c.version);
        o.f2DirectionThreshold = c.threshold;
        ASSERT_EQ(Open(o), 0u) << c.model;
        EXPECT_EQ(uint32_t(info_.whiteBalanceFileStatus), c.wbStatus) << c.model;
        EXPECT_EQ(Param<int32_t>(RP_DIRECTION_THRESHOLD_H), c.expectedThreshold) << c.model << " " << c.threshold;
        EXPECT_EQ(Param<int32_t>(RP_DIRECTION_THRESHOLD_V), c.expectedThreshold);
        VqPathRecord path{};
        EXPECT_EQ(image_->WriteWhiteBalanceFile(path, nullptr), c.wbStatus);
    }
}
