// The checks of a parameter set, click balance, rectangles under rotation,
// kelvin ranges and the noise-level tables of raw images of the newest models.
#include "ProTestSupport.h"

#include "ImageRef.h"
#include "NbErrorCodes.h"
#include "YlmErrp.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

namespace {

using namespace NimbalCore;
using P = ImageProcessParam;

class ProImageChecks : public ::testing::Test {
protected:
    ProImage* Open(ZproSpec spec, int kind = ProImage::Wren4) {
        protest::Pool();
        image_ = new ProImage(FilePathSpec(protest::WriteFile(folder_, "f" + std::to_string(n_++) + ".zyr", spec)),
                              kind);
        ref_ = ImageRef(image_);
        EXPECT_EQ(image_->Open(), 0);
        return image_;
    }
    lumora::test::TempFolder folder_;
    ProImage* image_ = nullptr;
    ImageRef ref_;
    int n_ = 0;
};

TEST_F(ProImageChecks, RectanglesUnderRotation) {
    ProImage* image = Open(protest::Spec(2048, 100, 60));
    struct Case {
        NbRect src;
        float angle;
        int code;
        NbRect expected;
    };
    const Case cases[] = {
        {NbRect(10, 5, 29, 14), 0, 0, NbRect(10, 5, 29, 14)},
        {NbRect(10, 5, 29, 14), 90, 0, NbRect(45, 10, 54, 29)},
        {NbRect(10, 5, 29, 14), 180, 0, NbRect(70, 45, 89, 54)},
        {NbRect(10, 5, 29, 14), 270, 0, NbRect(5, 70, 14, 89)},
        {NbRect(10, 5, 29, 14), 45, P::RotationNotQuarter, NbRect(0, 0, 0, 0)},
        {NbRect(10, 5, 29, 14), 90.5f, P::RotationNotWhole, NbRect(0, 0, 0, 0)},
        {NbRect(93, 5, 99, 14), 0, P::CropOutside, NbRect(0, 0, 0, 0)},   // left edge W - 7
        {NbRect(92, 5, 99, 14), 0, 0, NbRect(92, 5, 99, 14)},             // left edge W - 8
        {NbRect(10, 5, 100, 14), 0, P::CropOutside, NbRect(0, 0, 0, 0)},
        {NbRect(-4, 5, 29, 14), 0, P::CropOutside, NbRect(0, 0, 0, 0)},   // negative edge
        {NbRect(30, 5, 10, 14), 0, P::CropOutside, NbRect(0, 0, 0, 0)},   // right before left
        {NbRect(10, 20, 29, 14), 0, P::CropOutside, NbRect(0, 0, 0, 0)},  // bottom above top
    };
    for (const Case& c : cases) {
        NbRect out(1, 1, 1, 1);
        EXPECT_EQ(image->MapRectBetweenRotations(c.src, c.angle, &out, 0), c.code)
            << c.src.left << "," << c.src.top << " at " << c.angle;
        EXPECT_EQ(out, c.expected) << c.src.left << "," << c.src.top << " at " << c.angle;
    }
}

TEST_F(ProImageChecks, ValidationCases) {
    struct Case {
        const char* what;
        std::function<void(ZproSpec&)> file;
        std::function<void(P&)> change;
        int code;
    };
    auto none = [](ZproSpec&) {};
    const Case cases[] = {
        {"the file's own set", none, [](P&) {}, 0},
        {"click balance of another camera", none,
         [](P& p) {
             p.balanceType = 6;
             p.balanceSource = "someone else";
         },
         P::BalanceFromOtherCamera},
        {"lighting index outside the seven triples", none,
         [](P& p) {
             p.lightingIndex = 9;
         },
         P::ColorBalanceOutOfLimits},
        {"fine tuning outside the limits", none, [](P& p) { p.fineTuneBalance[p.lightingIndex][0] = 11; },
         P::ColorBalanceOutOfLimits},
        {"exposure beyond the range", none, [](P& p) { p.exposureCompensation = 2.5f; }, P::ExposureOutOfRange},
        {"exposure not a number", none, [](P& p) { p.exposureCompensation = std::numeric_limits<float>::quiet_NaN(); }, P::ExposureOutOfRange},
        {"crop refused by the rotation", none, [](P& p) { p.rotation = 45; }, P::RotationNotQuarter},
        {"crop with a negative edge", none, [](P& p) { p.crop = NbRect(-1, 0, 10, 10); }, P::CropOutside},
        {"noise mode the driver lacks", none, [](P& p) { p.noiseReductionMode = 6; }, P::NoiseModeUnsupported},
        {"preset whose triple is (1, 1, 1)",
         [](ZproSpec& s) {
             s.Drop(321);
             s.Set(301, ZproValue::Ints(17, {1, 1, 1}));
         },
         [](P& p) {
             p.balanceType = 1;
             p.lighting = p.lightingIndex = 1;
         },
         P::BalanceTypeRejected},
        {"preset whose triple is (0, 0, 0)",
         [](ZproSpec& s) {
             s.Drop(321);
             s.Set(303, ZproValue::Ints(17, {0, 0, 0}));
         },
         [](P& p) {
             p.balanceType = 2;
             p.lighting = p.lightingIndex = 2;
         },
         P::BalanceTypeRejected},
        {"no lens optimisation: -1 passes", [](ZproSpec& s) { s.Drop(1970); },
         [](P& p) { p.lensOptimization = -1; }, 0},
        {"no lens optimisation: 0 is refused", [](ZproSpec& s) { s.Drop(1970); },
         [](P& p) { p.lensOptimization = 0; }, P::CannotOptimizeLens},
        {"lens optimisation above its range", none, [](P& p) { p.lensOptimization = 11; },
         P::LensOptimizationOutOfRange},
    };
    for (const Case& c : cases) {
        ZproSpec spec = protest::Spec(2048, 100, 60);
        c.file(spec);
        ProImage* image = Open(spec);
        P p = *image->GetProcessParams();
        c.change(p);
        EXPECT_EQ(image->ValidateProcessParams(p), c.code) << c.what;
    }
}

TEST_F(ProImageChecks, ClickBalanceAnswers) {
    ZproSpec spec = protest::Spec(2048, 64, 64);
    // Left half saturated, right half dark, a grey strip between.
    spec.samples.resize(size_t(64) * 64 * 3);
    for (uint32_t y = 0; y < 64; ++y)
        for (uint32_t x = 0; x < 64; ++x)
            for (int c = 0; c < 3; ++c)
                spec.samples[(size_t(y) * 64 + x) * 3 + c] =
                    x < 20 ? 4095 : x >= 44 ? 3 : uint16_t(c == 0 ? 1000 : c == 1 ? 2000 : 500);
    ProImage* image = Open(spec);
    uint16_t a = 0, b = 0, c = 0;
    auto code = [&](int x, int y) {
        try {
            image->CalculateClickBalance(x, y, &a, &b, &c);
            return 0;
        } catch (const YlmErrp& e) {
            return e.GetCode();
        }
    };
    image->SetClosable(true);
    EXPECT_EQ(code(64, 10), NbErrClickPointOutside);
    EXPECT_EQ(code(-1, 10), NbErrClickPointOutside);
    EXPECT_EQ(code(4, 10), NbErrClickPointSaturated);
    EXPECT_EQ(code(60, 10), NbErrClickPointTooDark);
    EXPECT_TRUE(image->IsClosable());
    ASSERT_EQ(code(32, 32), 0);
    EXPECT_EQ(a, 2000);
    EXPECT_EQ(b, 1000);
    EXPECT_EQ(c, 4000);
    ProImage* mono = Open(protest::Spec(2048, 64, 64, true));
    try {
        uint16_t x, y, z;
        mono->CalculateClickBalance(10, 10, &x, &y, &z);
        ADD_FAILURE() << "monochrome balanced";
    } catch (const YlmErrp& e) {
        EXPECT_EQ(e.GetCode(), NbErrClickBalanceNeedsColor);
    }
}

TEST_F(ProImageChecks, ClickKelvinRangeIsFilledWithoutWrapping) {
    struct Case {
        int nominal;
        uint16_t low, standard, high;
    };
    for (const Case& c : {Case{5000, 3000, 5000, 7000}, Case{1200, 0, 1200, 3200}, Case{0, 0, 0, 2000}}) {
        ZproSpec spec = protest::Spec(2048);
        spec.Set(328, ZproValue::Ints(17, {0, 0, 0}));
        spec.Set(321, ZproValue::Ints(17, {0, c.nominal, 0}));
        spec.Set(322, ZproValue::Ints(17, {0, 0, 65535}));
        ProImage* image = Open(spec);
        uint16_t low = 1, standard = 1, high = 1;
        image->GetBalanceKelvinRange(6, &low, &standard, &high);
        EXPECT_EQ(low, c.low) << c.nominal;
        EXPECT_EQ(standard, c.standard) << c.nominal;
        EXPECT_EQ(high, c.high) << c.nominal;
        EXPECT_LE(low, high);
    }
}

TEST(ProImageNoise, LevelTables) {
    lumora::test::TempFolder folder;
    ProImage image(FilePathSpec(folder.file("none.zyr")), ProImage::Wren4);
    struct Case {
        int mode, percent, level;
    };
    const Case toLevel[] = {{4, 0, 1},  {4, 17, 1}, {4, 18, 2},  {4, -3, 2},  {4, 84, 4},  {4, 101, 1},
                            {5, 61, 6}, {5, 62, 7}, {5, -1, 2},  {5, 100, 10}, {5, 101, 1}, {7, 24, 2},
                            {7, 25, 4}, {7, -5, 4}, {7, 101, 6}, {3, 50, 1},  {3, -7, 1}};
    for (const Case& c : toLevel) EXPECT_EQ(image.PercentToNoiseLevel(c.mode, c.percent), c.level) << c.mode << "/" << c.percent;
    const Case toPercent[] = {{4, 34, 2}, {4, 5, 9}, {5, 67, 7}, {5, 95, 10}, {7, 50, 4}, {7, 0, 1}, {7, 100, 6}, {2, 5, 3}};
    for (const Case& c : toPercent) EXPECT_EQ(image.NoiseLevelToPercent(c.mode, c.level), c.percent) << c.mode << "/" << c.level;
}

TEST(ProImageSounds, SoundBelongsByCharactersTwoThreeAndFiveToEight) {
    lumora::test::TempFolder folder;
    ProImage image(FilePathSpec(folder.file("AB12CDEF.zyr")), ProImage::Wren4);
    EXPECT_TRUE(image.BelongsToImage(FilePathSpec(folder.file("xb1xcdef.wav"))));
    EXPECT_FALSE(image.BelongsToImage(FilePathSpec(folder.file("xc1xcdef.wav"))));
    EXPECT_FALSE(image.BelongsToImage(FilePathSpec("/elsewhere/AB12CDEF.wav")));
    ProImage shortName(FilePathSpec(folder.file("A12.zyr")), ProImage::Wren4);
    EXPECT_FALSE(shortName.BelongsToImage(FilePathSpec(folder.file("A12.wav"))));
}

} // namespace

namespace {

using namespace NimbalCore;

TEST(ProImageProfiles, LightingProfilesByModelCode) {
    lumora::test::TempFolder folder;
    protest::Pool();
    struct Case {
        int32_t model;
        int kind;
        int lighting;
        const char* name;  // without a colour engine the file name stands for the profile
    };
    const Case cases[] = {
        {1824, ProImage::Wren3, 1, "ZynAukCTungstenSource.icm"},
        {1825, ProImage::Wren3, 0, "ZynAukCDaylightSource.icm"},
        {1889, ProImage::Wren3, 3, "ZynKeelxDaylightSource.icm"},
        {2049, ProImage::Wren4, 2, "ZynHeronnFluorescent.icm"},
        {16385, ProImage::Plover, 3, "ZynDrosselFlashSource.icm"},
        {2048, ProImage::Wren4, 4, nullptr},
        {2048, ProImage::Wren4, -1, nullptr},
    };
    for (const Case& c : cases) {
        ImageRef ref(new ProImage(FilePathSpec(protest::WriteFile(folder, std::to_string(c.model) + ".zyr",
                                                                  protest::Spec(c.model))),
                                  c.kind));
        ASSERT_EQ(ref->Open(), 0);
        if (c.name) {
            EXPECT_EQ(ref->GetLightingProfileID(c.lighting), c.name) << c.model;
        } else {
            try {
                ref->GetLightingProfileID(c.lighting);
                ADD_FAILURE() << c.model << " lighting " << c.lighting;
            } catch (const YlmErrp& e) {
                EXPECT_EQ(e.GetCode(), NbErrInvalidValue);
            }
        }
    }
}

TEST(ProImageTone, ExposureTableComesFromTheDriverForTheGivenLevels) {
    lumora::test::TempFolder folder;
    protest::Pool();
    ImageRef ref(new ProImage(FilePathSpec(protest::WriteFile(folder, "t.zyr", protest::Spec(2050))), ProImage::Wren4));
    ASSERT_EQ(ref->Open(), 0);
    ASSERT_TRUE(ref->CanAdjustTone());
    std::vector<uint16_t> table(4096, 7);
    ASSERT_TRUE(ref->ComputeExposureTableFromLevels(0.25f, 0.5f, 0.75f, int(table.size() * 2), table.data()));
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[1000], 0);
    EXPECT_NEAR(table[2048], 2048, 1);
    EXPECT_EQ(table[3100], 4095);
    // A buffer the table does not fit fails and changes nothing.
    std::vector<uint16_t> small(16, 7);
    EXPECT_FALSE(ref->ComputeExposureTableFromLevels(0.25f, 0.5f, 0.75f, 32, small.data()));
    EXPECT_EQ(small[0], 7);
    // Other levels, another table.
    std::vector<uint16_t> other(4096, 7);
    ASSERT_TRUE(ref->ComputeExposureTableFromLevels(0.0f, 0.5f, 1.0f, int(other.size() * 2), other.data()));
    EXPECT_EQ(other[1000], 1000);
}

} // namespace

namespace {

using namespace NimbalCore;

TEST(ProImageClickBalance, PointIsTurnedIntoTheNativeFrameAndSnappedToEvenSquares) {
    // Saturated everywhere but one grey 16 x 16 square at a corner.
    auto file = [](uint32_t squareX, uint32_t squareY) {
        ZproSpec spec = protest::Spec(2048, 64, 48);
        spec.samples.assign(size_t(64) * 48 * 3, 4095);
        for (uint32_t y = squareY; y < squareY + 16; ++y)
            for (uint32_t x = squareX; x < squareX + 16; ++x)
                for (int c = 0; c < 3; ++c) spec.samples[(size_t(y) * 64 + x) * 3 + c] = 1000;
        return spec;
    };
    struct Case {
        const char* what;
        uint32_t squareX, squareY;
        float rotation;
        int x, y;
    };
    const Case cases[] = {
        {"(3, 3) upright samples the square at (0, 0)", 0, 0, 0, 3, 3},
        {"(0, 0) turned 180 samples the square at (W - 16, H - 16)", 48, 32, 180, 0, 0},
        {"(0, 0) turned 90 samples the bottom-left square", 0, 32, 90, 0, 0},
        {"(0, 0) turned 270 samples the top-right square", 48, 0, 270, 0, 0},
    };
    lumora::test::TempFolder folder;
    protest::Pool();
    int n = 0;
    for (const Case& c : cases) {
        ImageRef ref(new ProImage(
            FilePathSpec(protest::WriteFile(folder, "k" + std::to_string(n++) + ".zyr", file(c.squareX, c.squareY))),
            ProImage::Wren4));
        ASSERT_EQ(ref->Open(), 0);
        ref->GetProcessParams()->rotation = c.rotation;
        uint16_t a = 0, b = 0, d = 0;
        EXPECT_NO_THROW(ref->CalculateClickBalance(c.x, c.y, &a, &b, &d)) << c.what;
        EXPECT_EQ(b, 1000) << c.what;
    }
}

} // namespace
