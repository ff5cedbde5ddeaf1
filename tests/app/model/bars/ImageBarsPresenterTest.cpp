// The three image bars without windows: the Image Controls bar's sliders,
// lists and texts for an image's settings, the Image Info bar's sounds,
// camera lines, annotation and size, and the Output Histogram's own
// reference to the rendering, its recompute on a working-space change and
// its curve geometry.
#include "CapabilityImage.h"
#include "ColorEngine.h"
#include "ImageInfoPresenter.h"
#include "ImagePool.h"
#include "ImageSettingsPresenter.h"
#include "OutputHistogramPresenter.h"
#include "ProfileItem.h"
#include "ProfileItemManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using NimbalCore::ImageProcessParam;
using NimbalCore::ImageRef;
using NimbalCore::ImageRendering;

// An image whose bar-relevant answers a test sets.
class BarsImage : public CapabilityImage {
public:
    void GetExposureCompensationRange(float* low, float* high) override {
        *low = exposureLow;
        *high = exposureHigh;
    }
    void GetBalanceKelvinRange(int kind, uint16_t* low, uint16_t* standard, uint16_t* high) override {
        kelvinKinds.push_back(kind);
        *low = kelvinLow;
        *standard = 5000;
        *high = kelvinHigh;
    }
    bool CanAdjustWhitePoint() override { return whitePoint; }
    bool CanAdjustWhitePointForBalanceType(int) override { return whitePoint; }
    bool CanAdjustColorBalance() override { return colorBalance; }
    bool CanAdjustTone() override { return tone; }
    bool CanOptimizeLens() override { return lens; }
    std::vector<NimbalCore::FilePathSpec>* GetSounds() override { return &soundFiles; }
    std::string GetImageInfoText() override { return infoText; }
    int GetMaxAnnotationLength() override { return maxAnnotation; }

    float exposureLow = -2.0f, exposureHigh = 2.0f;
    uint16_t kelvinLow = 2000, kelvinHigh = 7500;
    std::vector<int> kelvinKinds;
    bool whitePoint = true, colorBalance = true, tone = true, lens = true;
    std::vector<NimbalCore::FilePathSpec> soundFiles;
    std::string infoText;
    int maxAnnotation = 255;
};

ImageSettingsPresenter::State BarsUpdate(BarsImage& image, const ImageProcessParam& params,
                                         ImageSettingsPresenter::WhitePointSlider slider = {}) {
    ImageSettingsPresenter::BalanceItemState items[4];
    ImageSettingsPresenter::BalanceItems(params, items);
    return ImageSettingsPresenter::Update(image, params, slider, &items);
}

TEST(ImageControlsBar, ExposureSliderAndTexts) {
    struct Case {
        float low, high, exposure;
        int position, minimum, maximum, ticks;
        std::string value, minimumText, maximumText;
    };
    for (const Case& c : {Case{-2.0f, 2.0f, 0.0f, 0, -20, 20, 5, "0.0 EV", "-2.0", "+2.0"},
                          Case{-2.0f, 2.0f, 0.5f, 5, -20, 20, 5, "+0.5 EV", "-2.0", "+2.0"},
                          Case{-2.0f, 2.0f, -1.0f, -10, -20, 20, 5, "-1.0 EV", "-2.0", "+2.0"},
                          Case{-2.5f, 2.5f, -0.25f, -3, -20, 20, 6, "", "-2.5", "+2.5"},
                          Case{0.0f, 3.0f, 1.0f, 10, 0, 30, 3, "+1.0 EV", "0.0", "+3.0"}}) {
        SCOPED_TRACE(c.exposure);
        BarsImage image;
        image.exposureLow = c.low;
        image.exposureHigh = c.high;
        ImageProcessParam params;
        params.exposureCompensation = c.exposure;
        const auto s = BarsUpdate(image, params).exposure;
        EXPECT_TRUE(s.enabled);
        EXPECT_EQ(s.position, c.position);
        EXPECT_EQ(s.minimum, c.minimum);
        EXPECT_EQ(s.maximum, c.maximum);
        EXPECT_EQ(s.tickFrequency, c.ticks);
        if (!c.value.empty()) {
            EXPECT_EQ(s.valueText, c.value);
        }
        EXPECT_EQ(s.minimumText, c.minimumText);
        EXPECT_EQ(s.maximumText, c.maximumText);
    }
    // An image without exposure adjustment: "0.0", slider at 0 and off,
    // the range labels as they were.
    BarsImage fixed;
    fixed.adjustExposure = false;
    ImageProcessParam params;
    params.exposureCompensation = 1.0f;
    const auto s = BarsUpdate(fixed, params).exposure;
    EXPECT_FALSE(s.enabled);
    EXPECT_EQ(s.position, 0);
    EXPECT_EQ(s.valueText, "0.0");
    EXPECT_FALSE(s.minimumText.has_value());
    EXPECT_FALSE(s.minimum.has_value());
    // The dragged slider's texts.
    EXPECT_EQ(ImageSettingsPresenter::ExposurePositionText(0), "0.0 EV");
    EXPECT_EQ(ImageSettingsPresenter::ExposurePositionText(-7), "-0.7 EV");
    EXPECT_EQ(ImageSettingsPresenter::ExposurePositionText(15), "+1.5 EV");
}

TEST(ImageControlsBar, WhitePointRepaintsAtTheRightPlaceOverANewRange) {
    BarsImage image;
    ImageProcessParam params;
    params.whitePoint = 5000;
    params.balanceType = 0;
    params.lighting = 2;
    auto s = BarsUpdate(image, params).whitePoint;
    EXPECT_TRUE(s.enabled);
    EXPECT_EQ(s.position, 50);
    EXPECT_EQ(s.minimum, 20);
    EXPECT_EQ(s.maximum, 75);
    EXPECT_EQ(s.valueText, "5000\u00b0 K");
    EXPECT_EQ(s.minimumText, "2000\u00b0 K");
    // A preset balance asks the range of its lighting.
    EXPECT_EQ(image.kelvinKinds, std::vector<int>{2});
    // The range of the start-up slider: nothing to repaint.
    EXPECT_FALSE(s.nudge.has_value());
    // The same white point over another range: the slider, already at 50,
    // is moved away first so that it repaints at its new place.
    image.kelvinLow = 2500;
    image.kelvinHigh = 5000;
    s = BarsUpdate(image, params, {20, 75, 50}).whitePoint;
    EXPECT_EQ(s.maximum, 50);
    EXPECT_EQ(s.nudge, 49);
    EXPECT_EQ(s.position, 50);
    image.kelvinHigh = 9000;
    EXPECT_EQ(BarsUpdate(image, params, {20, 75, 50}).whitePoint.nudge, 51);
    image.kelvinHigh = 5000;
    // The same range: no nudge.
    s = BarsUpdate(image, params, {25, 50, 50}).whitePoint;
    EXPECT_FALSE(s.nudge.has_value());
    // A balance type that has no white point: empty text, slider off.
    image.whitePoint = false;
    s = BarsUpdate(image, params).whitePoint;
    EXPECT_FALSE(s.enabled);
    EXPECT_EQ(s.valueText, "");
    EXPECT_EQ(ImageSettingsPresenter::WhitePointPositionText(65), "6500\u00b0 K");
}

TEST(ImageControlsBar, BalanceLightingAndLookLists) {
    BarsImage image;
    image.illuminants = {0, 2};
    image.looks = {"Standard", "Portrait"};
    ImageProcessParam params;
    params.balanceType = 7;
    params.lightingIndex = 6;
    auto s = BarsUpdate(image, params);
    EXPECT_FALSE(s.balance.enabled);
    EXPECT_EQ(s.balance.selection, 0);
    EXPECT_EQ(s.balance.items.at(0).text, "Preset");
    EXPECT_FALSE(s.lighting.enabled);
    EXPECT_EQ(s.lighting.items.at(0).text, "Daylight");
    EXPECT_FALSE(s.look.enabled);

    params.balanceType = 0;
    params.lightingIndex = 2;
    params.lookName = "Portrait";
    s = BarsUpdate(image, params);
    EXPECT_TRUE(s.balance.enabled);
    EXPECT_TRUE(s.lighting.enabled);
    EXPECT_EQ(s.lighting.selection, 2);
    std::vector<bool> enabled;
    for (const auto& item : s.lighting.items) enabled.push_back(item.enabled);
    EXPECT_EQ(enabled, (std::vector<bool>{true, false, true, false}));
    EXPECT_TRUE(s.look.enabled);
    EXPECT_EQ(s.look.items.size(), 2u);
    EXPECT_EQ(s.look.selection, 1);
    EXPECT_EQ(s.look.tooltip, "Portrait");
    // Without a main window the balance list is left empty.
    const auto none = ImageSettingsPresenter::Update(image, params, {}, nullptr);
    EXPECT_TRUE(none.balance.items.empty());
    EXPECT_EQ(ImageSettingsPresenter::BalanceCommand(1), 32816);
    EXPECT_EQ(ImageSettingsPresenter::LightingCommand(3), 32790);
    EXPECT_EQ(ImageSettingsPresenter::LookCommand(2), 45002);
}

TEST(ImageControlsBar, NoiseRowsByType) {
    struct Case {
        int type;
        std::vector<int> modes;
        std::string name, rowALabel, rowAValue, rowBLabel, rowBValue;
        bool rowA, rowB;
    };
    for (const Case& c : {Case{3, {1, 2, 3}, "Advanced with Moire Reduction", "Threshold:", "40%", "", "0", true, false},
                          Case{2, {1, 2, 3}, "Advanced", "Threshold:", "40%", "", "0", false, false},
                          Case{6, {1, 6}, "Expert", "", "", "Strength:", "70%", false, true},
                          Case{0, {1}, "None", "", "", "Strength:", "", false, false},
                          Case{4, {1, 4, 5}, "Advanced", "Strength:", "40%", "Radius:", "25", true, true}}) {
        SCOPED_TRACE(c.type);
        BarsImage image;
        image.noiseModes = c.modes;
        ImageProcessParam params;
        params.noiseReductionMode = c.type;
        params.noiseReductionStrength = 40;
        params.noiseReductionThreshold = 25;
        params.basicNoiseReductionStrength = 70;
        const auto noise = BarsUpdate(image, params).noise;
        EXPECT_EQ(noise.typeName, c.name);
        EXPECT_EQ(noise.rowAShown, c.rowA);
        EXPECT_EQ(noise.rowBShown, c.rowB);
        EXPECT_EQ(noise.rowALabel, c.rowALabel);
        EXPECT_EQ(noise.rowAValue, c.rowAValue);
        EXPECT_EQ(noise.rowBLabel, c.rowBLabel);
        EXPECT_EQ(noise.rowBValue, c.rowBValue);
    }
    EXPECT_EQ(ImageSettingsPresenter::NoiseTypeName(9), "");
}

TEST(ImageControlsBar, SharpeningColourToneAndLensTexts) {
    BarsImage image;
    ImageProcessParam params;
    params.sharpenAmount = 0;
    params.sharpenRadius = 12;
    params.lightingIndex = 1;
    params.fineTuneBalance[1][0] = uint16_t(int16_t(-12));
    params.fineTuneBalance[1][2] = 30;
    params.levels[0] = -1.25f;
    params.levels[1] = -0.04f;
    params.levels[2] = 2.0f;
    params.lensOptimization = 60;
    auto t = BarsUpdate(image, params).texts;
    EXPECT_EQ(t.sharpenAmount, "OFF");
    EXPECT_EQ(t.sharpenRadius, "");
    EXPECT_EQ(t.sharpenThreshold, "");
    EXPECT_EQ(t.red, "-12");
    EXPECT_EQ(t.green, "0");
    EXPECT_EQ(t.blue, "30");
    EXPECT_EQ(t.shadow, "-1.2");
    EXPECT_EQ(t.midtone, "0.0");
    EXPECT_EQ(t.highlight, "2.0");
    EXPECT_EQ(t.lens, "60");
    params.sharpenAmount = 5;
    params.sharpenThreshold = 3;
    t = BarsUpdate(image, params).texts;
    EXPECT_EQ(t.sharpenAmount, "5");
    EXPECT_EQ(t.sharpenRadius, "1.2");
    EXPECT_EQ(t.sharpenThreshold, "3");
    // What the image cannot do stays empty.
    image.sharpen = image.colorBalance = image.tone = image.lens = false;
    t = BarsUpdate(image, params).texts;
    EXPECT_EQ(t.sharpenAmount + t.red + t.shadow + t.lens, "");
}

TEST(ImageControlsBar, CropItemsAndTheirSelection) {
    const std::vector<std::string> items = ImageSettingsPresenter::CropItems();
    ASSERT_EQ(items.size(), 9u);
    EXPECT_EQ(items.front(), "Freeform");
    EXPECT_EQ(items[2], "2 X 3 Landscape");
    EXPECT_EQ(items.back(), "Other...");
    EXPECT_EQ(ImageSettingsPresenter::CropSelection(8), 8);
    EXPECT_EQ(ImageSettingsPresenter::CropSelection(3), 3);
    EXPECT_EQ(ImageSettingsPresenter::CropSelection(0), 0);
    EXPECT_EQ(ImageSettingsPresenter::CropSelection(9), 0);
}

TEST(ImageInfoBar, SoundsCameraLinesAndAnnotation) {
    BarsImage image;
    auto s = ImageInfoPresenter::Update(image);
    EXPECT_FALSE(s.soundsEnabled);
    EXPECT_EQ(s.playState, ImageInfoPresenter::kButtonIndeterminate);
    image.soundFiles = {NimbalCore::FilePathSpec("/photos/a.wav")};
    s = ImageInfoPresenter::Update(image);
    EXPECT_EQ(s.sounds, std::vector<std::string>{"a.wav"});
    EXPECT_EQ(s.soundSelection, 0);
    EXPECT_TRUE(s.soundsEnabled);
    EXPECT_EQ(s.playState, ImageInfoPresenter::kButtonEnabled);
    EXPECT_EQ(s.stopState, ImageInfoPresenter::kButtonIndeterminate);
    image.soundFiles = {NimbalCore::FilePathSpec("/photos/a.wav"), NimbalCore::FilePathSpec("/photos/b.wav"),
                        NimbalCore::FilePathSpec("/photos/c.wav")};
    s = ImageInfoPresenter::Update(image);
    EXPECT_EQ(s.sounds, (std::vector<std::string>{"a.wav", "b.wav", "c.wav", "All sounds"}));
    EXPECT_EQ(s.soundSelection, 3);

    EXPECT_EQ(ImageInfoPresenter::CameraLines("ISO 100\n1/250\nf/8\n"),
              (std::vector<std::string>{"ISO 100", "1/250", "f/8"}));
    EXPECT_EQ(ImageInfoPresenter::CameraLines("ISO 100\n1/250\nf/8"), (std::vector<std::string>{"ISO 100", "1/250"}));
    EXPECT_TRUE(ImageInfoPresenter::CameraLines("").empty());

    image.annotationText = "harbour at dawn";
    image.maxAnnotation = 0;
    s = ImageInfoPresenter::Update(image);
    EXPECT_EQ(s.annotation, "harbour at dawn");
    EXPECT_FALSE(s.annotationEnabled);

    std::string same = "harbour", longer(600, 'x');
    EXPECT_FALSE(ImageInfoPresenter::ShouldCommit(same, "harbour"));
    EXPECT_TRUE(ImageInfoPresenter::ShouldCommit(longer, "harbour"));
    EXPECT_EQ(longer.size(), ImageInfoPresenter::kAnnotationLimit);
}

TEST(ImageInfoBar, TheFloatingSizeStopsAtItsMinimum) {
    EXPECT_EQ(ImageInfoPresenter::LimitWidth(100), 225);
    EXPECT_EQ(ImageInfoPresenter::LimitHeight(300), 325);
    EXPECT_EQ(ImageInfoPresenter::LimitHeight(400), 400);
}

TEST(OutputHistogramBar, CurvesReachTheTopAboveOnePointFivePercent) {
    uint32_t counts[256] = {};
    counts[10] = 150; // 1.5 % of 10000
    counts[20] = 75;
    counts[30] = 400;
    const IntRect graph{0, 0, 255, 100};
    const auto points = OutputHistogramPresenter::Curve(counts, 400, 10000, graph);
    ASSERT_EQ(points.size(), 256u);
    EXPECT_EQ(OutputHistogramPresenter::CurveScale(400, 10000), 150u);
    EXPECT_EQ(points[10].top, 0);
    EXPECT_EQ(points[20].top, 50);
    EXPECT_EQ(points[30].top, 0);
    EXPECT_EQ(points[0].top, 100);
    EXPECT_EQ(points[255].x, 255);
    // Without pixels every bin is full height.
    EXPECT_EQ(OutputHistogramPresenter::Curve(counts, 400, 0, graph)[0].top, 0);
}

class OutputHistogramTest : public testing::Test {
protected:
    void TearDown() override { NimbalCore::ImagePool::DeleteInstance(); }
};

TEST_F(OutputHistogramTest, KeepsItsOwnRenderingUntilClearAndRecomputesOnAWorkingSpaceChange) {
    int repaints = 0;
    OutputHistogramPresenter bar([&] { ++repaints; });
    const int deletedBefore = coretest::FakeImage::deleted;
    {
        auto* image = new BarsImage;
        image->FillPattern();
        ImageProcessParam params;
        auto rendering = std::make_unique<ImageRendering>(ImageRef(image), params);
        ASSERT_TRUE(bar.Update(rendering.get(), rendering->GetProcessParamPtr()));
        EXPECT_NE(bar.GetHistogram(), nullptr);
        EXPECT_FALSE(bar.IsLuminanceOnly());
        // The document's rendering and its image reference go.
    }
    EXPECT_EQ(coretest::FakeImage::deleted, deletedBefore);
    const int computes = bar.GetComputeCount();
    NimbalCore::ColorEngine* engine = NimbalCore::ColorEngine::Instance(0, 1);
    const std::string before = engine->GetWorkingSpaceName();
    engine->SetWorkingSpaceName(before == "ORVEX sRGB Display" ? "ORVEX PROPHOTO RGB" : "ORVEX sRGB Display");
    EXPECT_EQ(bar.GetComputeCount(), computes + 1);
    EXPECT_EQ(repaints, 1);
    // Clear lets the image go; a later notice does nothing.
    bar.Clear();
    EXPECT_EQ(bar.GetHistogram(), nullptr);
    EXPECT_EQ(coretest::FakeImage::deleted, deletedBefore + 1);
    engine->SetWorkingSpaceName(before);
    EXPECT_EQ(bar.GetComputeCount(), computes + 1);
    EXPECT_EQ(repaints, 1);
}

TEST_F(OutputHistogramTest, AGreyLookShowsTheLuminanceOnlyAndNullsDoNothing) {
    OutputHistogramPresenter bar;
    auto* image = new BarsImage;
    ImageProcessParam params;
    params.colorMode = 2;
    ImageRendering rendering(ImageRef(image), params);
    EXPECT_FALSE(bar.Update(nullptr, &params));
    EXPECT_FALSE(bar.Update(&rendering, nullptr));
    EXPECT_FALSE(bar.HasRendering());
    ASSERT_TRUE(bar.Update(&rendering, &params));
    EXPECT_TRUE(bar.IsLuminanceOnly());
    params.colorMode = 0;
    ASSERT_TRUE(bar.Update(&rendering, &params));
    EXPECT_FALSE(bar.IsLuminanceOnly());
}

} // namespace
