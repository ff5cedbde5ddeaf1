#include "CropGeometry.h"

#include "FakeKeys.h"
#include "FakeShell.h"
#include "LocalizedText.h"
#include "StringIds.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

namespace {

TEST(CropGeometry, EffectiveModeUnderShiftAndCtrl) {
    struct Case {
        int stored;
        bool shift, ctrl;
        int effective;
    } cases[] = {
        {0, false, false, 0}, {2, false, false, 2}, {8, false, false, 8},
        // Shift keeps the current rectangle's aspect when cropping freely.
        {0, true, false, 9}, {2, true, false, 2}, {8, true, false, 8}, {0, true, true, 9}, {3, true, true, 3},
        // Ctrl toggles free and constrained cropping.
        {0, false, true, 8}, {2, false, true, 0}, {8, false, true, 0},
    };
    FakeKeys keys;
    CropGeometry crop;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "stored " << c.stored << " shift " << c.shift << " ctrl " << c.ctrl);
        EXPECT_EQ(CropGeometry::EffectiveCropMode(c.stored, c.shift, c.ctrl), c.effective);
        crop.SetCropMode(c.stored);
        keys.shift = c.shift;
        keys.ctrl = c.ctrl;
        EXPECT_EQ(crop.GetEffectiveCropMode(), c.effective);
    }
}

TEST(CropGeometry, ModesOutsideTheTableAreFreeform) {
    CropGeometry crop;
    for (int mode : {-1, 9, 10, 1000}) {
        crop.SetCropMode(3);
        crop.SetCropMode(mode);
        EXPECT_EQ(crop.GetCropMode(), 0) << mode;
    }
    crop.SetCropMode(8);
    EXPECT_EQ(crop.GetCropMode(), 8);
}

TEST(CropGeometry, AspectOfEachMode) {
    CropGeometry crop;
    crop.SetCustomRatio(1.5f, 2.0f);
    struct Case {
        int mode;
        float h, w;
    } cases[] = {{0, 1, 1}, {1, 1, 1}, {2, 2, 3}, {3, 3, 2}, {4, 4, 5}, {5, 5, 4}, {6, 5, 7}, {7, 7, 5}, {8, 1.5f, 2}};
    for (const Case& c : cases) {
        float h = -1, w = -1;
        crop.GetCropAspectOf(c.mode, h, w);
        EXPECT_EQ(h, c.h) << c.mode;
        EXPECT_EQ(w, c.w) << c.mode;
    }

    // Mode 9: nothing measured yet leaves both as they were.
    float h = -1, w = -1;
    crop.GetCropAspectOf(9, h, w);
    EXPECT_EQ(h, -1);
    EXPECT_EQ(w, -1);
    // A size is kept only when both parts are positive.
    crop.SetCurrentCropAspect(0, 300);
    crop.SetCurrentCropAspect(200, -1);
    EXPECT_EQ(crop.GetEditedHeight(), 0);
    crop.SetCurrentCropAspect(200, 300);
    crop.GetCropAspectOf(9, h, w);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(w, 1.5f);
    crop.SetCurrentCropAspect(300, 200);
    crop.GetCropAspectOf(9, h, w);
    EXPECT_EQ(h, 1.5f);
    EXPECT_EQ(w, 1);
}

// Bounds (0, 0)-(999, 799) inclusive; the crop being edited is 300 x 200 at
// (100, 100): the proportions of 2 X 3 Landscape.
struct DragCase {
    const char* what;
    int mode;
    int handle;
    IntPoint anchor, grab, mouse;
    IntRect crop;            // expected
    int handleAfter;
    IntPoint mouseAfter;
};

void RunDrag(const CropGeometry& geometry, const DragCase& c) {
    SCOPED_TRACE(c.what);
    const IntRect bounds{0, 0, 999, 799};
    IntRect crop{100, 100, 400, 300};
    int handle = c.handle;
    IntPoint mouse = c.mouse;
    geometry.ComputeCropRectForMode(c.mode, bounds, c.anchor, c.grab, handle, crop, mouse);
    EXPECT_EQ(crop, c.crop);
    EXPECT_EQ(handle, c.handleAfter);
    EXPECT_EQ(mouse, c.mouseAfter);
}

TEST(CropGeometry, EveryHandleInFreeform) {
    const DragCase cases[] = {
        {"left edge", 0, 0, {}, {}, {50, 500}, {50, 100, 400, 300}, 0, {50, 500}},
        {"left edge past the right edge", 0, 0, {}, {}, {450, 200}, {400, 100, 450, 300}, 1, {450, 200}},
        {"right edge", 0, 1, {}, {}, {500, 0}, {100, 100, 500, 300}, 1, {500, 0}},
        {"right edge past the left edge", 0, 1, {}, {}, {40, 0}, {40, 100, 100, 300}, 0, {40, 0}},
        {"top edge", 0, 2, {}, {}, {0, 50}, {100, 50, 400, 300}, 2, {0, 50}},
        {"top edge past the bottom", 0, 2, {}, {}, {0, 350}, {100, 300, 400, 350}, 3, {0, 350}},
        {"bottom edge", 0, 3, {}, {}, {0, 350}, {100, 100, 400, 350}, 3, {0, 350}},
        {"bottom edge past the top", 0, 3, {}, {}, {0, 20}, {100, 20, 400, 100}, 2, {0, 20}},
        {"corner 4 outside the image", 0, 4, {100, 100}, {}, {1200, 900}, {100, 100, 999, 799}, 4, {999, 799}},
        {"corner 5", 0, 5, {400, 100}, {}, {-30, 250}, {0, 100, 400, 250}, 5, {0, 250}},
        {"corner 6", 0, 6, {100, 300}, {}, {350, 20}, {100, 20, 350, 300}, 6, {350, 20}},
        {"corner 7", 0, 7, {400, 300}, {}, {150, 150}, {150, 150, 400, 300}, 7, {150, 150}},
        {"move is not clipped", 0, 8, {}, {10, 10}, {-50, -50}, {-60, -60, 240, 140}, 8, {0, 0}},
        {"new rectangle", 0, 9, {500, 500}, {}, {300, 200}, {300, 200, 500, 500}, 9, {300, 200}},
    };
    CropGeometry geometry;
    for (const DragCase& c : cases) RunDrag(geometry, c);
}

TEST(CropGeometry, EveryHandleIn2x3Landscape) {
    const DragCase cases[] = {
        // The width drives: 350 wide gives 233 high, centred on the old height.
        {"left edge", 2, 0, {}, {}, {50, 150}, {50, 84, 400, 317}, 0, {50, 333}},
        {"left edge past the right edge", 2, 0, {}, {}, {600, 200}, {400, 134, 600, 267}, 1, {600, 233}},
        {"right edge", 2, 1, {}, {}, {550, 120}, {100, 50, 550, 350}, 1, {550, 400}},
        // The height drives: 250 high gives 375 wide, centred on the old width.
        {"top edge", 2, 2, {}, {}, {200, 50}, {63, 50, 438, 300}, 2, {475, 50}},
        {"bottom edge", 2, 3, {}, {}, {300, 400}, {25, 100, 475, 400}, 3, {550, 400}},
        // 300 pixels to the right of the anchor: 200 high.
        {"corner 300 right", 2, 4, {100, 100}, {}, {400, 100}, {100, 100, 400, 300}, 4, {400, 300}},
        {"corner 5", 2, 5, {100, 100}, {}, {400, 100}, {100, 100, 400, 300}, 5, {400, 300}},
        {"corner 6", 2, 6, {100, 100}, {}, {400, 100}, {100, 100, 400, 300}, 6, {400, 300}},
        {"corner 7", 2, 7, {100, 100}, {}, {400, 100}, {100, 100, 400, 300}, 7, {400, 300}},
        // Dragged outside: the height meets the bottom, the width follows,
        // and the rectangle ends inside the image.
        {"corner outside", 2, 4, {100, 600}, {}, {900, 650}, {100, 600, 399, 799}, 4, {399, 1133}},
        {"corner far right", 2, 4, {100, 100}, {}, {1500, 150}, {100, 100, 999, 699}, 4, {999, 699}},
        {"move is not clipped", 2, 8, {}, {10, 10}, {-50, -50}, {-60, -60, 240, 140}, 8, {0, 0}},
        {"new rectangle up and left", 2, 9, {500, 500}, {}, {300, 200}, {300, 367, 500, 500}, 9, {300, 367}},
    };
    CropGeometry geometry;
    for (const DragCase& c : cases) RunDrag(geometry, c);
}

TEST(CropGeometry, KeepingAnUnmeasuredAspectCropsFreely) {
    // Shift on Freeform before any crop was edited: there is no aspect to
    // keep, so the drag is free instead of dividing by nothing.
    CropGeometry geometry;
    RunDrag(geometry, {"corner", 9, 4, {100, 100}, {}, {400, 150}, {100, 100, 400, 150}, 4, {400, 150}});
    RunDrag(geometry, {"left edge", 9, 0, {}, {}, {50, 500}, {50, 100, 400, 300}, 0, {50, 500}});
    // A custom ratio with a zero part is as free.
    geometry.SetCustomRatio(0, 2);
    RunDrag(geometry, {"custom 0 : 2", 8, 4, {100, 100}, {}, {400, 150}, {100, 100, 400, 150}, 4, {400, 150}});

    // Once a crop was edited its aspect is kept.
    geometry.SetCurrentCropAspect(200, 300);
    RunDrag(geometry, {"measured", 9, 4, {100, 100}, {}, {400, 100}, {100, 100, 400, 300}, 4, {400, 300}});
}

TEST(CropGeometry, DragReadsTheKeys) {
    FakeKeys keys;
    CropGeometry geometry;
    geometry.SetCropMode(CropGeometry::kFreeform);
    geometry.SetCustomRatio(1, 1);
    const IntRect bounds{0, 0, 999, 799};
    IntRect crop{100, 100, 400, 300};
    int handle = 4;
    IntPoint mouse{400, 150};
    keys.ctrl = true;  // Freeform with Ctrl: the custom ratio, here square
    geometry.ComputeCropRect(bounds, {100, 100}, {}, handle, crop, mouse);
    EXPECT_EQ(crop, (IntRect{100, 100, 150, 150}));
}

TEST(CropGeometry, CustomRatioIsStoredTimes10000) {
    FakeProfileStore store;
    {
        CropGeometry crop;
        crop.SetCropMode(8);
        crop.SetCustomRatio(1.5f, 2.0f);
        crop.SaveSettings();
    }
    EXPECT_EQ(store.Value("Crop Mode"), "8");
    EXPECT_EQ(store.Value("Constrained Crop Height X 10000"), "15000");
    EXPECT_EQ(store.Value("Constrained Crop Width X 10000"), "20000");

    CropGeometry restored;
    restored.LoadSettings();
    EXPECT_EQ(restored.GetCropMode(), 8);
    EXPECT_EQ(restored.GetCustomHeightPart(), 1.5f);
    EXPECT_EQ(restored.GetCustomWidthPart(), 2.0f);

    // Rounded to the nearest stored unit; an unusable mode comes back free.
    EXPECT_EQ(CropGeometry::RatioToStored(1.23456f), 12346);
    EXPECT_EQ(CropGeometry::RatioToStored(1e30f), INT32_MAX);
    store.Set("Crop Mode", "12");
    restored.LoadSettings();
    EXPECT_EQ(restored.GetCropMode(), 0);
}

TEST(CropGeometry, CustomLabelInThePointLocale) {
    setenv("LC_ALL", "C", 1);
    CropGeometry crop;
    // Width first: a height part of 9 and a width part of 16 read 16 X 9.
    crop.SetCustomRatio(9.0f, 16.0f);
    EXPECT_EQ(crop.GetCustomCropLabel(IDS_CROP_OTHER_MENU), "&Other (16.00 X 9.00)...");
    EXPECT_EQ(crop.GetCustomCropLabel(IDS_CROP_OTHER_COMBO), "Other (16.00 X 9.00)...");
    crop.SetCustomRatio(2.999f, 0.125f);
    EXPECT_EQ(crop.GetCustomCropLabel(IDS_CROP_OTHER_COMBO), "Other (0.13 X 3.00)...");
    unsetenv("LC_ALL");
}

class CommaLocaleLabel : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("LC_ALL");
        had_ = old != nullptr;
        old_ = old ? old : "";
        setenv("LC_ALL", "fr_FR.UTF-8", 1);
        if (!std::setlocale(LC_NUMERIC, "")) GTEST_SKIP() << "no fr_FR.UTF-8 locale";
        std::setlocale(LC_NUMERIC, "C");
    }
    void TearDown() override {
        if (had_) setenv("LC_ALL", old_.c_str(), 1);
        else unsetenv("LC_ALL");
    }

private:
    bool had_ = false;
    std::string old_;
};

TEST_F(CommaLocaleLabel, UserSeparatorsAndTwoDecimals) {
    CropGeometry crop;
    crop.SetCustomRatio(2.0f, 1.5f);
    EXPECT_EQ(crop.GetCustomCropLabel(IDS_CROP_OTHER_MENU), "&Other (1,50 X 2,00)...");
    // Thousands are grouped the user's way (a narrow no-break space here).
    const std::string separator = ToUserNumberFormat("1000.0", 0).substr(1, ToUserNumberFormat("1000.0", 0).size() - 4);
    EXPECT_FALSE(separator.empty());
    crop.SetCustomRatio(9.999f, 12345.5f);
    EXPECT_EQ(crop.GetCustomCropLabel(IDS_CROP_OTHER_COMBO), "Other (12" + separator + "345,50 X 10,00)...");
}

TEST(UserNumberFormat, RoundsTheWrittenDigits) {
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(ToUserNumberFormat("0.12500", 2), "0.13");
    EXPECT_EQ(ToUserNumberFormat("9.99900", 2), "10.00");
    EXPECT_EQ(ToUserNumberFormat("-2.50000", 0), "-3");
    EXPECT_EQ(ToUserNumberFormat("1234567.00000", 2), "1234567.00");  // the C locale groups nothing
    EXPECT_EQ(ToUserNumberFormat("nan", 2), "nan");
    EXPECT_EQ(ToUserNumberFormat("1.2e5", 2), "1.2e5");
    unsetenv("LC_ALL");
}

} // namespace
