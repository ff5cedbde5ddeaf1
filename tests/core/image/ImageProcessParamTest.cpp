// Process parameters: defaults, bounded setters, group copies, the equality
// tests and what each ignores, click balance and the sharpening check.
#include "FakeColorServices.h"
#include "ImageProcessParam.h"

#include <gtest/gtest.h>

#include <functional>

using namespace NimbalCore;
using coretest::ScopedFakeColor;

TEST(ImageProcessParamTest, DefaultsAreTheDocumentedOnes) {
    const ImageProcessParam p;
    EXPECT_EQ(p.sharpenMode, 1);
    EXPECT_EQ(p.sharpenAmount, 67);
    EXPECT_EQ(p.lensOptimization, -1);
    EXPECT_EQ(p.sharpenRadius + p.sharpenThreshold + p.noiseReductionMode + p.noiseReductionStrength +
                  p.noiseReductionThreshold + p.basicNoiseReductionStrength + p.lighting + p.lightingIndex +
                  p.colorMode + p.balanceType + p.whitePoint + p.outputSpaceMode,
              0);
    EXPECT_EQ(p.exposureCompensation, 0.0f);
    EXPECT_EQ(p.rotation, 0.0f);
    EXPECT_TRUE(p.lookName.empty() && p.workingSpaceName.empty() && p.balanceSource.empty());
    EXPECT_TRUE(p.crop.IsNull());
    EXPECT_FALSE(p.levelsEnabled);
    for (int t = 0; t < 7; ++t)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(p.fineTuneBalance[t][c], 0);
}

TEST(ImageProcessParamTest, NoiseSettersKeepValuesWithinZeroToHundred) {
    struct Case {
        int value;
        int expected;
    } cases[] = {{101, 42}, {-1, 42}, {0, 0}, {100, 100}, {55, 55}};
    using Setter = void (ImageProcessParam::*)(int);
    using Member = int32_t ImageProcessParam::*;
    const std::pair<Setter, Member> setters[] = {
        {&ImageProcessParam::SetNoiseReductionStrength, &ImageProcessParam::noiseReductionStrength},
        {&ImageProcessParam::SetNoiseReductionThreshold, &ImageProcessParam::noiseReductionThreshold},
        {&ImageProcessParam::SetBasicNoiseReductionStrength, &ImageProcessParam::basicNoiseReductionStrength}};
    for (const auto& [setter, member] : setters)
        for (const Case& c : cases) {
            ImageProcessParam p;
            p.*member = 42;
            (p.*setter)(c.value);
            EXPECT_EQ(p.*member, c.expected) << c.value;
        }
    ImageProcessParam p;
    p.SetNoiseReductionMode(-7);
    EXPECT_EQ(p.noiseReductionMode, -7);
}

TEST(ImageProcessParamTest, ClickBalanceNamesTheWhitePointOnlyForZeroKZero) {
    ImageProcessParam p;
    p.SetClickBalance(0, 5000, 0);
    EXPECT_EQ(p.whitePoint, 5000);
    ImageProcessParam q;
    q.SetClickBalance(1, 5000, 0);
    EXPECT_EQ(q.whitePoint, 0);
    EXPECT_EQ(q.clickBalance[0], 1);
    EXPECT_EQ(q.clickBalance[1], 5000);
}

TEST(ImageProcessParamTest, CustomBalanceBecomesClickBalance) {
    ImageProcessParam p;
    p.balanceType = 4;
    p.customBalance[1] = 4800;
    EXPECT_TRUE(ImageProcessParam::ConvertCustomBalanceToClickBalance(p));
    EXPECT_EQ(p.balanceType, 6);
    EXPECT_EQ(p.clickBalance[1], 4800);
    EXPECT_EQ(p.whitePoint, 4800);
    EXPECT_EQ(p.customBalance[0] + p.customBalance[1] + p.customBalance[2], 0);

    ImageProcessParam q;
    q.balanceType = 5;
    q.customBalance[1] = 4800;
    const ImageProcessParam before = q;
    EXPECT_FALSE(ImageProcessParam::ConvertCustomBalanceToClickBalance(q));
    EXPECT_TRUE(q == before);
    EXPECT_EQ(q.customBalance[1], 4800);
}

TEST(ImageProcessParamTest, CopyGroupsCopiesOnlyTheNamedGroups) {
    ScopedFakeColor color;
    ImageProcessParam source;
    source.crop = NbRect(1, 2, 3, 4);
    source.rotation = 90;
    source.exposureCompensation = 1.5f;
    source.levels[1] = 0.5f;
    source.referenceLevels[2] = 0.9f;
    source.levelsEnabled = true;
    source.lighting = 2;
    source.lightingIndex = 2;
    source.fineTuneBalance[6][2] = 9;
    source.balanceSource = "SN1";
    source.noiseReductionStrength = 30;
    source.sharpenAmount = 5;
    source.lensOptimization = 3;
    source.workingSpaceName = "WS";
    source.outputSpaceMode = 1;

    ImageProcessParam nothing;
    nothing.CopyGroups(source, {8, 9, 11, -1});
    EXPECT_TRUE(nothing == ImageProcessParam());

    ImageProcessParam all;
    all.CopyGroups(source, {0, 1, 2, 3, 4, 5, 6, 7, 10});
    EXPECT_EQ(all.crop, source.crop);
    EXPECT_EQ(all.rotation, 90);
    EXPECT_EQ(all.exposureCompensation, 1.5f);
    EXPECT_EQ(all.levels[1], 0.5f);
    EXPECT_EQ(all.referenceLevels[2], 0.9f);
    EXPECT_TRUE(all.levelsEnabled);
    EXPECT_EQ(all.lighting, 2);
    EXPECT_EQ(all.fineTuneBalance[6][2], 9);
    EXPECT_EQ(all.balanceSource, "SN1");
    EXPECT_EQ(all.noiseReductionStrength, 30);
    EXPECT_EQ(all.sharpenAmount, 5);
    EXPECT_EQ(all.lensOptimization, 3);
    // Belong to no group: only a whole copy carries them.
    EXPECT_EQ(all.workingSpaceName, "");
    EXPECT_EQ(all.outputSpaceMode, 0);
}

TEST(ImageProcessParamTest, CopyingTheLookRecomputesTheColourMode) {
    ScopedFakeColor color;
    struct Case {
        const char* look;
        int sourceMode;
        int expected;
    } cases[] = {{"PRODUCT GRAY", 1, 2}, {"X B&W", 0, 2}, {"PRODUCT", 2, 0}, {"PRODUCT", 1, 0},
                 {"product gray", 2, 0}, {"PRODUCT GRA", 2, 0}};
    for (const Case& c : cases) {
        ImageProcessParam source;
        source.lookName = c.look;
        source.colorMode = c.sourceMode;
        ImageProcessParam target;
        target.CopyGroups(source, {5});
        EXPECT_EQ(target.colorMode, c.expected) << c.look;
        EXPECT_EQ(target.lookName, c.look);
    }
}

TEST(ImageProcessParamTest, EachEqualityTestIgnoresWhatItShould) {
    using Change = std::function<void(ImageProcessParam&)>;
    enum { Full, ExCrop, ExCropNames, ExSharpNoise, ExSharpNoiseSpace };
    struct Case {
        const char* what;
        Change change;
        bool equal[5]; // under each test, in the order above
    } cases[] = {
        {"reference levels", [](ImageProcessParam& p) { p.referenceLevels[0] = 1; }, {1, 1, 1, 1, 1}},
        {"other fine-tune triple", [](ImageProcessParam& p) { p.fineTuneBalance[5][0] = 1; }, {1, 1, 1, 1, 1}},
        {"current fine-tune triple", [](ImageProcessParam& p) { p.fineTuneBalance[0][0] = 1; }, {0, 0, 0, 0, 0}},
        {"crop", [](ImageProcessParam& p) { p.crop.right = 5; }, {0, 1, 1, 1, 0}},
        {"balance source", [](ImageProcessParam& p) { p.balanceSource = "x"; }, {0, 0, 1, 0, 0}},
        {"output space mode", [](ImageProcessParam& p) { p.outputSpaceMode = 1; }, {0, 0, 1, 0, 1}},
        {"working space", [](ImageProcessParam& p) { p.workingSpaceName = "x"; }, {0, 0, 1, 1, 1}},
        {"sharpening", [](ImageProcessParam& p) { p.sharpenRadius = 3; }, {0, 0, 0, 1, 1}},
        {"noise", [](ImageProcessParam& p) { p.noiseReductionThreshold = 3; }, {0, 0, 0, 1, 1}},
        {"exposure", [](ImageProcessParam& p) { p.exposureCompensation = 0.5f; }, {0, 0, 0, 0, 0}},
        {"levels", [](ImageProcessParam& p) { p.levels[2] = 1; }, {0, 0, 0, 0, 0}},
        {"lens", [](ImageProcessParam& p) { p.lensOptimization = 2; }, {0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        ImageProcessParam a, b;
        c.change(b);
        const bool got[5] = {a == b, a.EqualsExceptCrop(b), a.EqualsExceptCropAndNames(b),
                             a.EqualsExceptSharpenAndNoise(b), a.EqualsExceptSharpenNoiseAndSpace(b)};
        for (int t = 0; t < 5; ++t) EXPECT_EQ(got[t], c.equal[t]) << c.what << " under test " << t;
    }
}

TEST(ImageProcessParamTest, AnIndexOutsideTheSevenTriplesComparesNoTriple) {
    for (int index : {-1, 7, 1000000, -2147483647}) {
        ImageProcessParam a, b;
        a.lightingIndex = b.lightingIndex = index;
        b.fineTuneBalance[0][0] = 3;
        b.fineTuneBalance[6][2] = 3;
        EXPECT_TRUE(a == b) << index;
        EXPECT_TRUE(a.EqualsExceptCrop(b)) << index;
    }
}

TEST(ImageProcessParamTest, SharpenSettingsOutsideTheirRangesTakeTheDefaults) {
    const int32_t defaults[3] = {3, 10, 2};
    struct Case {
        int32_t in[3];
        bool kept;
    } cases[] = {{{0, 0, 0}, true}, {{20, 100, 255}, true}, {{21, 0, 0}, false},
                 {{0, 101, 0}, false}, {{0, 0, 256}, false}, {{-1, 5, 5}, false}};
    for (const Case& c : cases) {
        int32_t t[3] = {c.in[0], c.in[1], c.in[2]};
        ImageProcessParam::CheckSharpenSettings(t, defaults);
        const int32_t* expected = c.kept ? c.in : defaults;
        EXPECT_EQ(t[0], expected[0]);
        EXPECT_EQ(t[1], expected[1]);
        EXPECT_EQ(t[2], expected[2]);
    }
}

TEST(ImageProcessParamTest, LevelsAreKeptToOneDecimal) {
    EXPECT_FLOAT_EQ(ImageProcessParam::RoundLevel(0.0f), 0.0f);
    EXPECT_FLOAT_EQ(ImageProcessParam::RoundLevel(0.44f), 0.4f);
    EXPECT_FLOAT_EQ(ImageProcessParam::RoundLevel(0.46f), 0.5f);
    EXPECT_FLOAT_EQ(ImageProcessParam::RoundLevel(-0.44f), -0.4f);
    EXPECT_FLOAT_EQ(ImageProcessParam::RoundLevel(2.96f), 3.0f);
}
