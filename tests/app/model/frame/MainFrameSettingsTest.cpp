#include "FakeShell.h"
#include "FrenchTable.h"
#include "MainFrameLayout.h"
#include "MainFrameState.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(MainFrameLayout, DockBarsAndFloatingPositions) {
    const std::pair<DockSide, int> sides[] = {
        {DockSide::kTop, 59419}, {DockSide::kLeft, 59420}, {DockSide::kRight, 59421}, {DockSide::kBottom, 59422},
        {DockSide::kNone, 0}};
    for (const auto& [side, id] : sides) {
        EXPECT_EQ(DockBarIdOf(side), id);
        EXPECT_EQ(DockSideOf(id), side);
    }
    EXPECT_EQ(DockSideOf(59423), DockSide::kNone);

    const FloatingBarPositions at = FloatingBarPositionsFor(1600);
    EXPECT_EQ(at.imageInfo, (IntPoint{1300, 100}));
    EXPECT_EQ(at.imageControls, (IntPoint{1325, 125}));
    EXPECT_EQ(at.outputHistogram, (IntPoint{1350, 150}));

    EXPECT_EQ(StatusIndicators(), (std::vector<int>{0, 59149, 59145, 59144, 59143}));
    EXPECT_EQ(ClearedStatusPanes(), (std::vector<int>{59144, 59143, 59145, 59149}));
}

TEST(MainFrameSettings, CloseWritesItsItems) {
    FakeProfileStore store;
    FakeDisplay display({0, 0, 1600, 1200}, {0, 0, 1600, 1170});
    MainFrameState state;
    state.LoadSettings();
    state.sortOrder = 2;
    state.thumbnailSize = 1;
    state.slideInfoState = 1;
    state.crop.SetCropMode(3);
    state.crop.SetCustomRatio(1.5f, 2.0f);
    // What the frame's close does with the model's parts.
    store.writes.clear();
    state.SaveSettings();
    SaveToolbarDocking({false, DockSide::kLeft, {0, 40, 30, 400}});
    SaveCloseUpCascadeOrigin(LoadCloseUpCascadeOrigin());

    std::set<std::string> written;
    for (const auto& [section, name] : store.writes) {
        EXPECT_EQ(section, "Last Used");
        written.insert(name);
    }
    EXPECT_EQ(written, (std::set<std::string>{"Last Thumbnail Sort Order", "LastThumbnailViewSize",
                                              "Thumbnail Info State", "ToolBarFrameSide", "ToolBarIsFloating",
                                              "ToolBarPosition", "Crop Mode", "Constrained Crop Height X 10000",
                                              "Constrained Crop Width X 10000", "CloseupPosition"}));
    EXPECT_EQ(store.Value("ToolBarFrameSide"), "59420");
    EXPECT_EQ(store.Value("ToolBarIsFloating"), "0");
    EXPECT_EQ(store.Value("ToolBarPosition"), "0 40 30 400");
    EXPECT_EQ(store.Value("Crop Mode"), "3");
    // The close-up origin of a first run at width w: w - 325, 150, w - 61, 438.
    EXPECT_EQ(store.Value("CloseupPosition"), "1275 150 1539 438");

    // A restart reads them back.
    MainFrameState again;
    again.LoadSettings();
    EXPECT_EQ(again.sortOrder, 2);
    EXPECT_EQ(again.thumbnailSize, 1);
    EXPECT_EQ(again.slideInfoState, 1);
    EXPECT_EQ(again.crop.GetCropMode(), 3);
    EXPECT_EQ(again.crop.GetCustomHeightPart(), 1.5f);
    const ToolbarDocking docking = LoadToolbarDocking();
    EXPECT_FALSE(docking.floating);
    EXPECT_EQ(docking.side, DockSide::kLeft);
    EXPECT_EQ(docking.rect, (IntRect{0, 40, 30, 400}));

    // A floating toolbar writes only that it floats.
    store.writes.clear();
    SaveToolbarDocking({true, DockSide::kTop, {1, 2, 3, 4}});
    ASSERT_EQ(store.writes.size(), 1u);
    EXPECT_EQ(store.writes[0].second, "ToolBarIsFloating");
}

TEST(MainFrameSettings, QualityAndDocking) {
    FakeProfileStore store;
    MainFrameState state;
    store.Set("Image quality option", "5");
    store.Set("Allow Docking", "0");
    state.LoadSettings();
    EXPECT_EQ(state.quality, 0);  // only 1 is Better
    EXPECT_EQ(state.dockingAllowed, 0);
    store.writes.clear();
    state.SetQuality(0);
    EXPECT_TRUE(store.writes.empty());
    state.SetQuality(1);
    EXPECT_EQ(store.Value("Image quality option"), "1");
    EXPECT_EQ(state.quality, 1);

    // The docking setting changes the bars only when it changes.
    EXPECT_FALSE(state.ApplyDockingSetting(0));
    store.Set("Allow Docking", "1");
    EXPECT_TRUE(state.ApplyDockingSetting(1));
    EXPECT_EQ(state.dockingAllowed, 1);
    EXPECT_FALSE(state.ApplyDockingSetting(1));
}

class FakeFrame : public WindowPlacementTarget {
public:
    WindowPlacement GetPlacement() override { return placement; }
    void SetPlacement(const WindowPlacement& p) override {
        placement = p;
        ++sets;
    }
    WindowPlacement placement;
    int sets = 0;
};

TEST(MainFrameSettings, PlacementComesBackNormalAndOnScreen) {
    FakeProfileStore store;
    FakeDisplay display({0, 0, 1600, 1200}, {0, 0, 1600, 1170});
    FakeFrame frame;
    frame.placement.showCmd = WindowPlacement::kShowMinimized;
    frame.placement.normal = {100, 80, 1100, 880};
    SaveMainFramePlacement(frame);
    EXPECT_EQ((store.values[{"MainFrame Position", "wp.showCmd"}]), "2");

    FakeFrame restored;
    EXPECT_TRUE(RestoreMainFramePlacement(restored));
    EXPECT_EQ(restored.placement.showCmd, WindowPlacement::kShowNormal);
    EXPECT_EQ(restored.placement.normal, (IntRect{100, 80, 1100, 880}));

    // A placement wholly off the screen is ignored.
    store.values[{"MainFrame Position", "wp.left"}] = "3000";
    store.values[{"MainFrame Position", "wp.right"}] = "4000";
    FakeFrame offScreen;
    EXPECT_FALSE(RestoreMainFramePlacement(offScreen));
    EXPECT_EQ(offScreen.sets, 0);
}

TEST(MainFrameLayout, ToolTipsTranslatedAndCut) {
    EXPECT_EQ(CutToolTip(std::string(100, 'a')), std::string(79, 'a'));
    std::string accents;
    for (int i = 0; i < 100; ++i) accents += "\xC3\xA9";
    EXPECT_EQ(CutToolTip(accents), accents.substr(0, 158));
    EXPECT_EQ(CutToolTip("short"), "short");

    FrenchTable french({{"Selection Tool", "Outil de s\xC3\xA9lection"},
                        {"Tag", std::string(40, 'x') + std::string(60, 'y')}});
    ASSERT_TRUE(french.ok());
    std::string tip;
    EXPECT_TRUE(TranslatedToolTip(32847, tip));
    EXPECT_EQ(tip, "Outil de s\xC3\xA9lection");
    EXPECT_TRUE(TranslatedToolTip(32855, tip));
    EXPECT_EQ(tip, std::string(40, 'x') + std::string(39, 'y'));
    // No translation: the toolkit's own tooltip stays.
    tip = "unchanged";
    EXPECT_FALSE(TranslatedToolTip(32856, tip));
    EXPECT_EQ(tip, "unchanged");

    // A button shows the translation, else the string's own tooltip; the
    // main toolbar's commands have theirs.
    EXPECT_EQ(ToolTipFor(32847), "Outil de s\xC3\xA9lection");
    EXPECT_EQ(ToolTipFor(32856), "Untag");
    EXPECT_EQ(ToolTipFor(57601), "Open");
    EXPECT_EQ(ToolTipFor(33109), "Preferences");
    EXPECT_EQ(ToolTipFor(57664), "About");
}

} // namespace
