// The colour engine on the generated profiles: start-up, the static profiles
// and the installation check, names and aliases, grey conversion, transforms
// and the luminance curve, profiles from ICC bytes.
#include "ColorEngine.h"
#include "ColorFolder.h"
#include "ColorProfile.h"
#include "ColorServices.h"
#include "EngineTestSupport.h"
#include "ImageProcessParam.h"
#include "NbErrorCodes.h"
#include "StaticProfileTable.h"
#include "YlmErrp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace NimbalCore;
using enginetest::CodeOf;
namespace fs = std::filesystem;

namespace {

PixelLayout Interleaved(void* base, int sampleType, int channels, int columns) {
    const int b = sampleType == PixelSample8 ? 1 : 2;
    PixelLayout l{};
    l.sampleType = sampleType;
    l.columns = columns;
    l.rows = 1;
    l.columnOffset = channels * b;
    l.rowOffset = columns * channels * b;
    l.channels = channels;
    for (int k = 0; k < channels && k < 3; ++k) l.base[k] = static_cast<uint8_t*>(base) + k * b;
    return l;
}

} // namespace

TEST(ColorEngineTest, StartsOnTheGeneratedProfiles) {
    ColorFolder folder({});
    ColorEngine* engine = ColorEngine::Instance(0, 1);
    EXPECT_EQ(engine->GetStartupStatus(), 0);
    EXPECT_TRUE(engine->GetMissingStaticProfiles().empty());
    EXPECT_EQ(engine->GetDirectoryCount(), 1);
    EXPECT_EQ(engine->GetWorkingSpaceName(), "ORVEX sRGB Display");
    EXPECT_EQ(StaticProfileTable::Description("ZynHeroncToneCurve.icm"), "Orvex Zyn Heronc Tone Curve");
    EXPECT_EQ(StaticProfileTable::DisplayDescription(), "ORVEX sRGB Display");

    const std::vector<std::string> gray = engine->GetGrayscaleLookList();
    ASSERT_GE(gray.size(), 2u);
    EXPECT_EQ(gray[0], "ORVEX ZYN PRODUCT GRAYSCALE LOOK");
    EXPECT_EQ(gray[1], "ORVEX ZYN PORTRAIT GRAYSCALE LOOK");
    const std::vector<std::string> looks = engine->GetLookList();
    EXPECT_EQ(looks.size(), 8u);
    EXPECT_TRUE(std::is_sorted(looks.begin(), looks.end(), ColorEngine::ProfileNameLess));

    // The core sees the engine through its interface.
    ASSERT_NE(ColorServices::Get(), nullptr);
    EXPECT_TRUE(ImageProcessParam::IsGrayscaleLook("ORVEX ZYN PORTRAIT GRAYSCALE LOOK"));
    EXPECT_FALSE(ImageProcessParam::IsGrayscaleLook("ORVEX ZYN PORTRAIT LOOK"));
    EXPECT_EQ(ColorServices::Get()->GetStaticProfileName("ZynWeddingLook.icm"), "ORVEX ZYN WEDDING LOOK");
}

TEST(ColorEngineTest, MissingStaticProfilesAreNamed) {
    {
        ColorFolder folder({"ZynPloverFlashSource.icm"});
        ColorEngine* engine = ColorEngine::Instance(0, 1);
        EXPECT_EQ(engine->GetMissingStaticProfiles(), (std::vector<std::string>{"ZynPloverFlashSource.icm"}));
        EXPECT_EQ(engine->GetStartupStatus(), NbErrProfileNotFound);
        EXPECT_EQ(CodeOf([&] { engine->LoadStaticProfile("ZynPloverFlashSource.icm"); }), NbErrProfileNotFound);
    }
    {
        ColorFolder folder({"ProPhotoRGB.icm"});
        EXPECT_EQ(ColorEngine::Instance(0, 1)->GetMissingStaticProfiles(),
                  (std::vector<std::string>{"ProPhotoRGB.icm", "ProPhotoRGB.icm"}));
    }
    {
        // Not checked, but needed when the engine starts.
        ColorFolder folder({"ZynRGB.icm"});
        ColorEngine* engine = ColorEngine::Instance(0, 1);
        EXPECT_TRUE(engine->GetMissingStaticProfiles().empty());
        EXPECT_EQ(engine->GetStartupStatus(), NbErrProfileNotFound);
    }
}

TEST(ColorEngineTest, NamesMatchThroughCaseAndAliases) {
    ColorFolder folder({}, {"ExcludedGrayscale.icm"});
    ColorEngine* engine = ColorEngine::Instance(0, 1);
    struct Case {
        const char* asked;
        const char* found; // null: none
    } cases[] = {
        {"ORVEX ZYN PRODUCT LOOK", "ORVEX ZYN PRODUCT LOOK"},
        {"orvex zyn product look", "ORVEX ZYN PRODUCT LOOK"},
        {"ORVEX PROFESSIONAL PRODUCT", "ORVEX ZYN PRODUCT LOOK"},
        {"Zelt Look Product", "ORVEX ZYN PRODUCT LOOK"},
        {"ORVEX PROFESSIONAL PORTRAIT REDUCED SAT.", "ORVEX ZYN PORTRAIT REDUCED LOOK"},
        {"ORVEX PROFESSIONAL PORTRAIT REDUCED LOOK", nullptr},
        {"PROPHOTO RGB", "ORVEX PROPHOTO RGB"},
        {"Orvex Professional Grayscale", nullptr},
        {"Nothing at all", nullptr},
    };
    for (const Case& c : cases) {
        YlmRefPtr<ColorSpaceDesc> found = engine->FindProfileOrAlias(c.asked);
        if (!c.found) {
            EXPECT_FALSE(found) << c.asked;
        } else {
            ASSERT_TRUE(found) << c.asked;
            EXPECT_EQ(found->Name(), c.found) << c.asked;
        }
    }
    EXPECT_FALSE(engine->FindProfile("orvex zyn product look"));
    EXPECT_FALSE(engine->ProfileNamesMatch("ZELT LOOK PRODUCT", "ORVEX PROFESSIONAL PRODUCT"));
    EXPECT_TRUE(engine->ProfileNamesMatch("ZELT LOOK PRODUCT", "ORVEX ZYN PRODUCT LOOK"));
}

TEST(ColorEngineTest, AHigherVersionOfALookWinsItsStaticName) {
    ColorFolder folder({}, {"ProductLookV2.icm", "ProductLookV3.icm"});
    ColorEngine* engine = ColorEngine::Instance(0, 1);
    EXPECT_EQ(engine->GetStartupStatus(), 0);
    EXPECT_EQ(StaticProfileTable::Description("ZynProductLook.icm"), "ORVEX PROFESSIONAL PRODUCT");
    YlmRefPtr<ColorSpaceDesc> found = engine->FindProfile("ORVEX PROFESSIONAL PRODUCT");
    ASSERT_TRUE(found);
    EXPECT_EQ(static_cast<ColorProfile*>(found.Get())->Version(), 3);
    EXPECT_FALSE(engine->FindProfile("ORVEX ZYN PRODUCT LOOK"));
}

TEST(ColorEngineTest, GreyWeightsAndDepths) {
    struct Case {
        int fromType, toType;
        uint16_t r, g, b;
        uint16_t gray;
    } cases[] = {
        {PixelSample8, PixelSample8, 255, 255, 255, 255},       {PixelSample8, PixelSample8, 100, 150, 200, 140},
        {PixelSample8, PixelSample8, 1, 1, 1, 0},               {PixelSample16, PixelSample16, 65535, 65535, 65535, 65534},
        {PixelSample8, PixelSample16, 255, 255, 255, 65280},    {PixelSample16, PixelSample8, 65535, 0, 0, 76},
        {PixelSample12in16, PixelSample16, 4095, 4095, 4095, 65520}, {PixelSample8, PixelSample12in16, 255, 255, 255, 4080},
    };
    for (const Case& c : cases) {
        uint8_t src8[3] = {uint8_t(c.r), uint8_t(c.g), uint8_t(c.b)};
        uint16_t src16[3] = {c.r, c.g, c.b};
        void* src = c.fromType == PixelSample8 ? static_cast<void*>(src8) : static_cast<void*>(src16);
        uint16_t out16 = 0;
        uint8_t out8 = 0;
        void* dst = c.toType == PixelSample8 ? static_cast<void*>(&out8) : static_cast<void*>(&out16);
        ColorEngine::RGBColorToGrayscale(Interleaved(src, c.fromType, 3, 1), Interleaved(dst, c.toType, 1, 1), false);
        EXPECT_EQ(c.toType == PixelSample8 ? out8 : out16, c.gray) << c.r << " " << c.g << " " << c.b;
    }
    uint8_t rgb[3] = {10, 20, 30}, gray = 7;
    ColorEngine::RGBColorToGrayscale(Interleaved(rgb, PixelSample8, 3, 1), Interleaved(&gray, PixelSample8, 1, 1), true);
    EXPECT_EQ(gray, 10);
    gray = 7;
    EXPECT_EQ(CodeOf([&] {
                  ColorEngine::RGBColorToGrayscale(Interleaved(rgb, PixelSample8, 3, 1),
                                                   Interleaved(&gray, PixelSample8, 1, 2), false);
              }),
              NbErrColorEvaluateFailed);
    EXPECT_EQ(CodeOf([&] {
                  ColorEngine::RGBColorToGrayscale(Interleaved(rgb, PixelSample8, 3, 1),
                                                   Interleaved(&gray, 3, 1, 1), false);
              }),
              NbErrColorEvaluateFailed);
    EXPECT_EQ(gray, 7);
}

TEST(ColorEngineTest, TransformsOfChainsAndTheLuminanceCurve) {
    ColorFolder folder({});
    ColorEngine* engine = ColorEngine::Instance(0, 1);
    const std::string srgb = StaticProfileTable::Description(StaticProfileTable::kSRGB);
    YlmRefPtr<ColorTransform> same = engine->GetTransform({{srgb, 1, {}}, {srgb, 2, {}}}, 0);
    ASSERT_TRUE(same);
    int32_t in = 0, out = 0;
    same->GetChannels(&in, &out);
    EXPECT_EQ(in, 3);
    EXPECT_EQ(out, 3);
    uint16_t curve[ColorTransform::kCurveSteps];
    same->ComputeLuminanceCurve(curve);
    int worst = 0;
    for (int i = 0; i < ColorTransform::kCurveSteps; ++i) worst = std::max(worst, std::abs(int(curve[i]) - i));
    EXPECT_LE(worst, 1);

    // Through a look: a different, still rising curve.
    YlmRefPtr<ColorTransform> chain =
        engine->GetTransform({{StaticProfileTable::Description(StaticProfileTable::kZynRGB), 1, {}}, {srgb, 2, {}}}, 0);
    ASSERT_TRUE(chain);
    EXPECT_EQ(CodeOf([&] { engine->GetTransform({{"No such profile", 1, {}}, {srgb, 2, {}}}, 0); }),
              NbErrColorEngineInitFailed);

    // Pixels through the transform, 8-bit in and out.
    uint8_t pixels[6] = {0, 0, 0, 255, 128, 10}, result[6] = {};
    same->Evaluate(Interleaved(pixels, PixelSample8, 3, 2), Interleaved(result, PixelSample8, 3, 2));
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(result[i], pixels[i], 1) << i;
    // A layout the library cannot use.
    EXPECT_EQ(CodeOf([&] {
                  same->Evaluate(Interleaved(pixels, PixelSample8, 3, 2), Interleaved(result, PixelSample8, 3, 1));
              }),
              NbErrColorEvaluateFailed);
}

TEST(ColorEngineTest, ProfilesFromIccBytes) {
    ColorFolder folder({});
    ColorEngine::Instance(0, 1);
    std::ifstream file(std::string(LUMORA_TEST_COLOR_FOLDER) + "/ORVEX_sRGB.icm", std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    YlmRefPtr<ColorProfile> profile(new ColorProfile(bytes.data(), uint32_t(bytes.size())));
    EXPECT_EQ(profile->Name(), "ORVEX sRGB Display");
    ASSERT_EQ(profile->Size(), bytes.size());
    std::vector<uint8_t> copy(profile->Size());
    EXPECT_EQ(profile->CopyToBuffer(uint32_t(copy.size()), copy.data()), 0);
    EXPECT_EQ(copy, bytes);
    std::vector<uint8_t> small(16);
    EXPECT_EQ(CodeOf([&] { profile->CopyToBuffer(16, small.data()); }), NbErrColorProfileFailed);
    EXPECT_EQ(CodeOf([] { ColorProfile p(nullptr, 10); }), NbErrColorProfileFailed);
    EXPECT_EQ(CodeOf([&] { ColorProfile p(bytes.data(), 100); }), NbErrColorProfileFailed);

    std::ifstream none(std::string(LUMORA_TEST_PROFILES) + "/NoDescription.icm", std::ios::binary);
    const std::vector<uint8_t> noDesc{std::istreambuf_iterator<char>(none), {}};
    EXPECT_EQ(YlmRefPtr<ColorProfile>(new ColorProfile(noDesc.data(), uint32_t(noDesc.size())))->Name(),
              "No description tag");
    std::ifstream spaced(std::string(LUMORA_TEST_PROFILES) + "/SpacedLook.icm", std::ios::binary);
    const std::vector<uint8_t> spacedBytes{std::istreambuf_iterator<char>(spaced), {}};
    YlmRefPtr<ColorProfile> spacedProfile(new ColorProfile(spacedBytes.data(), uint32_t(spacedBytes.size())));
    EXPECT_EQ(spacedProfile->Name(), " Orvex Spaced Look");
    EXPECT_EQ(spacedProfile->Version(), 7);
}
