#include "BalanceUIState.h"
#include "CapabilityImage.h"
#include "FakeKeys.h"
#include "FakeMenu.h"
#include "FakeShell.h"
#include "FrenchTable.h"
#include "ImageContextMenu.h"
#include "ImageRendering.h"

#include <gtest/gtest.h>

namespace {

using NimbalCore::ImageProcessParam;

TEST(BalanceUIState, EachTypeForEachItem) {
    using Fn = void (*)(const ImageProcessParam*, bool&, bool&);
    const Fn fns[] = {GetPresetBalanceUIState, GetCustomBalanceUIState, GetAutoBalanceUIState, GetClickBalanceUIState};
    // Per balance type: (enable, check) of Preset, Custom, Auto, Click with
    // every triple set; E enabled, C checked and enabled, - disabled.
    struct Case {
        int type;
        const char* withTriples;
        const char* withoutTriples;
    } cases[] = {
        {-1, "EEEE", "E---"}, {0, "CEEE", "C---"}, {3, "CEEE", "C---"}, {4, "ECEE", "EC--"},
        {5, "EECE", "E-C-"},  {6, "EEEC", "E--C"}, {7, "----", "----"}, {8, "EEEE", "E---"},
    };
    for (const Case& c : cases) {
        for (bool triples : {true, false}) {
            ImageProcessParam p;
            p.balanceType = c.type;
            if (triples) {
                p.customBalance[0] = 1;
                p.autoBalance[1] = 1;
                p.clickBalance[2] = 1;
            }
            const char* expected = triples ? c.withTriples : c.withoutTriples;
            for (int i = 0; i < 4; ++i) {
                bool enable = true, check = true;
                fns[i](&p, enable, check);
                SCOPED_TRACE(testing::Message() << "type " << c.type << " item " << i << " triples " << triples);
                EXPECT_EQ(enable, expected[i] != '-');
                EXPECT_EQ(check, expected[i] == 'C');
            }
        }
    }
    for (Fn fn : fns) {
        bool enable = true, check = true;
        fn(nullptr, enable, check);
        EXPECT_FALSE(enable);
        EXPECT_FALSE(check);
    }
}

// The two context menus: the contact sheet's (194) has the tools, the
// preview's (195) lacks Close-Up and the tag items; both have a Look
// submenu that starts with its placeholder.
constexpr int kTools[] = {32847, 32848, 32846, 33178, 33177};
constexpr int kBalance[] = {32812, 32814, 32815, 32816};
constexpr int kLighting[] = {32787, 32788, 32789, 32790};

FakeMenu ContactSheetMenu() {
    std::vector<FakeMenu::Entry> e;
    for (int c : {32847, 32848, 32846, 33178, 33177, 32806, 33131, 33187, 32812, 32816, 32814, 32815, 33152, 32787,
                  32788, 32789, 32790, 33183, 33197})
        e.push_back({c, true, {}});
    e.push_back({0, true, {45000}});  // Look
    for (int c : {33150, 33149, 33110, 33111, 33112, 33113, 33114, 33115, 33116, 33117, 33118, 32807, 32803, 32866,
                  33196, 33108})
        e.push_back({c, true, {}});
    return FakeMenu(e);
}

FakeMenu PreviewMenu() {
    std::vector<FakeMenu::Entry> e;
    e.push_back({0, true, {32847, 32848, 32846, 33177}});  // Tools submenu
    for (int c : {32806, 33131, 33187, 32812, 32816, 32814, 32815, 33152, 32787, 32788, 32789, 32790}) e.push_back({c, true, {}});
    e.push_back({0, true, {45000, 45001}});  // Look, with a stale entry
    for (int c : {33110, 33111, 33112, 33113, 33114, 33115, 33116, 33117, 33118, 32866, 33108}) e.push_back({c, true, {}});
    return FakeMenu(e);
}

class ContextMenu : public ::testing::TestWithParam<int> {
protected:
    FakeMenu Menu() const { return GetParam() == 194 ? ContactSheetMenu() : PreviewMenu(); }
    NimbalCore::ImageRendering Rendering(const ImageProcessParam& p) {
        return NimbalCore::ImageRendering(NimbalCore::ImageRef(image), p);
    }

    FakeProfileStore store;
    FakeKeys keys;
    CapabilityImage* image = new CapabilityImage;
    NimbalCore::ImageRef hold{image};
    MainFrameState frame;
};

TEST_P(ContextMenu, BalanceTypeOutsideTheTableDisablesAndChecksNone) {
    ImageProcessParam p;
    p.balanceType = 9;
    p.clickBalance[0] = p.customBalance[0] = p.autoBalance[0] = 1;
    FakeMenu menu = Menu();
    auto rendering = Rendering(p);
    PrepareImageContextMenu(&menu, &rendering, frame);
    for (int c : kBalance) {
        EXPECT_FALSE(menu.At(c).enabled) << c;
        EXPECT_FALSE(menu.At(c).checked) << c;
    }
    // Within the table: the type's item is checked, the others enabled by
    // their triples.
    p.balanceType = 4;
    p.autoBalance[0] = 0;
    menu = Menu();
    rendering = Rendering(p);
    PrepareImageContextMenu(&menu, &rendering, frame);
    EXPECT_TRUE(menu.At(32814).checked);
    EXPECT_TRUE(menu.At(32812).enabled);
    EXPECT_TRUE(menu.At(32816).enabled);
    EXPECT_FALSE(menu.At(32815).enabled);
}

TEST_P(ContextMenu, OneIlluminantDisablesTheLightingItems) {
    ImageProcessParam p;
    p.lighting = 0;
    image->illuminants = {0};
    FakeMenu menu = Menu();
    auto rendering = Rendering(p);
    PrepareImageContextMenu(&menu, &rendering, frame);
    for (int c : kLighting) EXPECT_FALSE(menu.At(c).enabled) << c;
    EXPECT_TRUE(menu.At(32787).checked);

    image->illuminants = {0, 2};
    menu = Menu();
    PrepareImageContextMenu(&menu, &rendering, frame);
    EXPECT_TRUE(menu.At(32787).enabled);
    EXPECT_FALSE(menu.At(32788).enabled);
    EXPECT_TRUE(menu.At(32789).enabled);
    EXPECT_FALSE(menu.At(32790).enabled);
}

TEST_P(ContextMenu, UnknownCurrentToolBecomesSelect) {
    frame.currentTool = 0;
    FakeMenu menu = Menu();
    auto rendering = Rendering(ImageProcessParam());
    PrepareImageContextMenu(&menu, &rendering, frame);
    EXPECT_EQ(frame.currentTool, MainFrameState::kToolSelect);
    for (int c : kTools) {
        if (!menu.Has(c)) continue;
        EXPECT_EQ(menu.At(c).checked, c == 32847) << c;
    }
    // Click balance follows the image.
    image->clickBalance = false;
    frame.currentTool = MainFrameState::kToolCrop;
    menu = Menu();
    PrepareImageContextMenu(&menu, &rendering, frame);
    EXPECT_FALSE(menu.At(32846).enabled);
    EXPECT_TRUE(menu.At(32848).checked);
    EXPECT_FALSE(menu.At(32847).checked);
}

TEST_P(ContextMenu, CtrlOnFreeformChecksOther) {
    frame.crop.SetCropMode(CropGeometry::kFreeform);
    frame.crop.SetCustomRatio(2.0f, 1.5f);  // height 2, width 1.5
    FakeMenu menu = Menu();
    auto rendering = Rendering(ImageProcessParam());
    PrepareImageContextMenu(&menu, &rendering, frame);
    EXPECT_TRUE(menu.At(33110).checked);
    EXPECT_FALSE(menu.At(33118).checked);

    keys.ctrl = true;
    menu = Menu();
    PrepareImageContextMenu(&menu, &rendering, frame);
    for (int c = 33110; c <= 33117; ++c) EXPECT_FALSE(menu.At(c).checked) << c;
    EXPECT_TRUE(menu.At(33118).checked);
    EXPECT_EQ(menu.At(33118).label, "&Other (1.50 X 2.00)...");

    // Shift on Freeform keeps the current aspect, which no item stands for.
    keys.ctrl = false;
    keys.shift = true;
    menu = Menu();
    PrepareImageContextMenu(&menu, &rendering, frame);
    for (int c = 33110; c <= 33118; ++c) EXPECT_FALSE(menu.At(c).checked) << c;
}

TEST_P(ContextMenu, LookSubmenuIsRebuiltOrDisabled) {
    ImageProcessParam p;
    p.lookName = "Portrait";
    image->looks = {"Standard", "Portrait", "Vivid"};
    FrenchTable french({{"Vivid", "Vif"}, {"Standard", "Standard"}});
    ASSERT_TRUE(french.ok());
    FakeMenu menu = Menu();
    auto rendering = Rendering(p);
    PrepareImageContextMenu(&menu, &rendering, frame);
    const int at = menu.FindSubmenuStartingWith(45000);
    ASSERT_GE(at, 0);
    EXPECT_EQ(menu.entries[size_t(at)].submenu, (std::vector<int>{45000, 45001, 45002}));
    EXPECT_EQ(menu.At(45000).label, "Standard");
    EXPECT_FALSE(menu.At(45000).checked);
    EXPECT_TRUE(menu.At(45001).checked);
    EXPECT_FALSE(menu.At(45002).checked);
    EXPECT_EQ(menu.At(45002).label, "Vif");
    EXPECT_TRUE(menu.entries[size_t(at)].enabled);

    image->changeLook = false;
    menu = Menu();
    const int look = menu.FindSubmenuStartingWith(45000);
    PrepareImageContextMenu(&menu, &rendering, frame);
    EXPECT_TRUE(menu.entries[size_t(look)].submenu.empty());
    EXPECT_FALSE(menu.entries[size_t(look)].enabled);
}

TEST_P(ContextMenu, CopiedSettingsAndSendTo) {
    FakeMenu menu = Menu();
    auto rendering = Rendering(ImageProcessParam());
    PrepareImageContextMenu(&menu, &rendering, frame);
    EXPECT_FALSE(menu.At(32866).enabled);
    EXPECT_FALSE(menu.At(33108).enabled);

    frame.settingsCopied = 1;
    store.Set("Send Files To Path", "/usr/bin/gimp-2.10");
    menu = Menu();
    PrepareImageContextMenu(&menu, &rendering, frame);
    EXPECT_TRUE(menu.At(32866).enabled);
    EXPECT_TRUE(menu.At(33108).enabled);
    EXPECT_EQ(menu.At(33108).label, "S&end To: gimp-2.10\tCtrl+L");
}

TEST_P(ContextMenu, NothingWithoutAMenuOrAnImage) {
    FakeMenu menu = Menu();
    const FakeMenu before = menu;
    PrepareImageContextMenu(&menu, nullptr, frame);
    NimbalCore::ImageRendering empty{NimbalCore::ImageRef(), ImageProcessParam()};
    PrepareImageContextMenu(&menu, &empty, frame);
    auto rendering = Rendering(ImageProcessParam());
    PrepareImageContextMenu(nullptr, &rendering, frame);
    for (const auto& [command, item] : before.items) {
        EXPECT_EQ(menu.At(command).enabled, item.enabled);
        EXPECT_EQ(menu.At(command).checked, item.checked);
    }
}

INSTANTIATE_TEST_SUITE_P(Menus, ContextMenu, ::testing::Values(194, 195));

} // namespace
