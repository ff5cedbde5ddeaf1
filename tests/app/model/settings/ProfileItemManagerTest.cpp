#include "ProfileItemManager.h"
#include "WindowPlacementProfile.h"

#include "ExportSizeOptions.h"
#include "FakeShell.h"
#include "StaticProfileTable.h"

#include <gtest/gtest.h>

namespace {

struct ItemRow {
    int item;
    const char* name;  // null: the item without a name
    ProfileItemKind kind;
    int defaultInt;
};

using K = ProfileItemKind;

// Every item: value name as stored, kind, and what an integer read of an
// absent value gives.
const ItemRow kTable[] = {
    {0, "JPEGImageQuality", K::Integer, 0}, {1, "JPEGImageSize", K::Integer, 0}, {2, "JPEG Open With", K::Integer, 0},
    {3, "JPEG Resolution", K::Integer, 0}, {4, "JPEG Units", K::Integer, 0},
    {5, "LastFileOpenDialogPath", K::String, 0}, {6, "LastFileSaveAsDialogPath", K::String, 0},
    {7, "Image quality option", K::Integer, 0}, {8, "Last Thumbnail Sort Order", K::Integer, 0},
    {9, "LastThumbnailViewSize", K::Integer, 0}, {10, "Review Render Mode", K::Integer, 0},
    {11, "Save As Basename", K::String, 0}, {12, "Save As Num Digits", K::Integer, 0},
    {13, "Save As Start From", K::Integer, 0}, {14, "Save As File Type", K::Integer, 0},
    {15, "Send Files To Path", K::String, 0}, {16, "Thumbnail Info State", K::Integer, 0},
    {17, "TIFF 10-12 Bit", K::Integer, 0}, {18, nullptr, K::None, 0}, {19, "TIFF Open With", K::Integer, 0},
    {20, "TIFF Render GPS", K::Integer, 0}, {21, "TIFF Resolution", K::Integer, 0}, {22, "TIFF Units", K::Integer, 0},
    {23, "ToolBarFrameSide", K::Integer, 0}, {24, "ToolBarIsFloating", K::Integer, 0},
    {25, "ToolBarPosition", K::Rectangle, 0}, {26, "TIFF Output Mode", K::Integer, -1},
    {27, "the directory images are going to be sent", K::String, 0}, {28, "Crop Mode", K::Integer, 0},
    {29, "Constrained Crop Height X 10000", K::Integer, 10000},
    {30, "Constrained Crop Width X 10000", K::Integer, 10000},
    {31, "RGB Working Space Output Mode", K::Integer, -1}, {32, "RGB Working Space Name", K::String, 0},
    {33, "Embed RGB Working Space Profile in TIFF Files", K::Integer, 1},
    {34, "Embed RGB Working Space Profile in JPEG Files", K::Integer, 0},
    {35, "Contact Sheet Printing Size", K::Integer, 0}, {36, "CloseupPosition", K::Rectangle, 0},
    {37, "Allow Docking", K::Integer, 1}, {38, "Exposure and Tone Preview", K::Integer, 0},
    {39, "Color Balance Preview", K::Integer, 0}, {40, "Sharpening Preview", K::Integer, 0},
    {41, "White Point Preview", K::Integer, 0}, {42, "Exposure Compensation Preview", K::Integer, 0},
    {43, "Noise Reduction Preview", K::Integer, 0}, {44, "Noise Reduction With Radius Preview", K::Integer, 0},
    {45, "Image Info Panel Height", K::Integer, 533}, {46, "Image Info Panel Width", K::Integer, 225},
    {47, "Paste Special Preview", K::Integer, 0}, {48, "Paste Special Crop", K::Integer, 0},
    {49, "Paste Special Rotate", K::Integer, 0}, {50, "Paste Special Exposure Comp", K::Integer, 0},
    {51, "Paste Special Tone", K::Integer, 0}, {52, "Paste Special Balance and Lighting", K::Integer, 0},
    {53, "Paste Special Lens Optimization", K::Integer, 0}, {54, "Paste Special Look", K::Integer, 0},
    {55, "Paste Special Noise Reduction", K::Integer, 0}, {56, "Paste Special Sharpening", K::Integer, 0},
    {57, "Paste Special IPTC", K::Integer, 0}, {58, "Paste Special Tagging", K::Integer, 0},
    {59, "Language", K::String, 0}, {60, "Lens Optimization Preview", K::Integer, 0},
    {61, "print width units", K::String, 0}, {62, "print height units", K::String, 0},
    {63, "resize enable", K::Integer, 0}, {64, "resize mode", K::Integer, 0}, {65, "resize percent", K::Integer, 0},
    {66, "resize pixel width", K::Real, 0}, {67, "resize pixel height", K::Real, 0},
    {68, "maintain proportions", K::Integer, 0},
};

TEST(ProfileItemManager, EveryItemHasItsNameKindAndDefault) {
    ASSERT_EQ(std::size(kTable), size_t(PI_ITEM_COUNT));
    FakeDisplay display({0, 0, 1600, 1200}, {0, 0, 1600, 1150});
    for (const ItemRow& row : kTable) {
        SCOPED_TRACE(row.item);
        FakeProfileStore store;
        ProfileItemManager pm;
        std::string section = "unchanged", name = "unchanged";
        pm.KeyOfItem(row.item, section, name);
        if (!row.name) {
            EXPECT_EQ(section, "unchanged");
            EXPECT_EQ(name, "unchanged");
        } else {
            EXPECT_EQ(section, "Last Used");
            EXPECT_EQ(name, row.name);
        }

        int i = 12345;
        pm.GetInt(row.item, i);
        EXPECT_EQ(i, row.kind == K::Integer ? row.defaultInt : 0);

        // Each accessor of another kind leaves the store untouched.
        store.reads.clear();
        if (row.kind != K::Integer) {
            pm.GetInt(row.item, i);
            pm.SetInt(row.item, 7);
        }
        if (row.kind != K::String) {
            std::string s = "x";
            pm.GetString(row.item, s);
            EXPECT_EQ(s, "");
            pm.SetString(row.item, "text");
        }
        if (row.kind != K::Rectangle) {
            IntRect r{1, 2, 3, 4};
            pm.GetRect(row.item, r);
            EXPECT_TRUE(r.IsAllZero());
            pm.SetRect(row.item, 1, 2, 3, 4);
        }
        if (row.kind != K::Real) {
            double d = 5.5;
            pm.GetDouble(row.item, d);
            EXPECT_EQ(d, 5.5);
            pm.SetDouble(row.item, 1.25);
        }
        EXPECT_TRUE(store.reads.empty());
        EXPECT_TRUE(store.writes.empty());

        // The accessor of its own kind writes under its name.
        switch (row.kind) {
        case K::Integer: pm.SetInt(row.item, -17); break;
        case K::String: pm.SetString(row.item, "a b"); break;
        case K::Rectangle: pm.SetRect(row.item, -1, 2, 300, 4000); break;
        case K::Real: pm.SetDouble(row.item, 2.5); break;
        case K::None: break;
        }
        if (row.name) {
            ASSERT_EQ(store.writes.size(), 1u);
            EXPECT_EQ(store.writes[0], FakeProfileStore::Key("Last Used", row.name));
        } else {
            EXPECT_TRUE(store.writes.empty());
        }
    }
}

TEST(ProfileItemManager, NumbersOutsideTheTableReadNothingAndWriteNothing) {
    FakeProfileStore store;
    ProfileItemManager pm;
    for (int item : {-1, 69, 1000}) {
        int i = 3;
        std::string s = "x";
        pm.GetInt(item, i);
        pm.GetString(item, s);
        pm.SetInt(item, 1);
        pm.SetString(item, "a");
        pm.SetRect(item, 1, 2, 3, 4);
        pm.SetDouble(item, 1.0);
        EXPECT_EQ(i, 0);
        EXPECT_EQ(s, "");
    }
    EXPECT_TRUE(store.writes.empty());
    EXPECT_TRUE(store.values.empty());
}

TEST(ProfileItemManager, StoredFormsOfRectanglesAndReals) {
    FakeProfileStore store;
    ProfileItemManager pm;
    pm.SetRect(PI_TOOLBAR_POSITION, 10, 20, 300, 60);
    pm.SetDouble(PI_RESIZE_PIXEL_WIDTH, 1280.5);
    pm.SetDouble(PI_RESIZE_PIXEL_HEIGHT, 3.5);
    EXPECT_EQ(store.Value("ToolBarPosition"), "10 20 300 60");
    EXPECT_EQ(store.Value("resize pixel width"), "1280.500");
    EXPECT_EQ(store.Value("resize pixel height"), " 3.500");

    IntRect r;
    pm.GetRect(PI_TOOLBAR_POSITION, r);
    EXPECT_EQ(r, (IntRect{10, 20, 300, 60}));
    double d = 0;
    pm.GetDouble(PI_RESIZE_PIXEL_HEIGHT, d);
    EXPECT_EQ(d, 3.5);
}

TEST(ProfileItemManager, UnreadableValuesGiveTheDefaults) {
    FakeDisplay display({0, 0, 1600, 1200}, {0, 0, 1600, 1150});
    FakeProfileStore store;
    store.Set("ToolBarPosition", "10 20 99999999999 40");
    store.Set("resize pixel width", "wide");
    store.Set("Image Info Panel Height", "tall");
    ProfileItemManager pm;
    IntRect r{1, 1, 1, 1};
    pm.GetRect(PI_TOOLBAR_POSITION, r);
    EXPECT_TRUE(r.IsAllZero());
    store.Set("ToolBarPosition", "10 20 x 40");
    pm.GetRect(PI_TOOLBAR_POSITION, r);
    EXPECT_TRUE(r.IsAllZero());
    store.Set("ToolBarPosition", " -5\t6 7  8");
    pm.GetRect(PI_TOOLBAR_POSITION, r);
    EXPECT_EQ(r, (IntRect{-5, 6, 7, 8}));
    double d = 7.0;
    pm.GetDouble(PI_RESIZE_PIXEL_WIDTH, d);
    EXPECT_EQ(d, 7.0);
    int i = 0;
    pm.GetInt(PI_IMAGE_INFO_HEIGHT, i);
    EXPECT_EQ(i, 533);
}

TEST(ProfileItemManager, CloseupPositionOfFourZerosIsPlacedFromTheWorkAreaWidth) {
    FakeDisplay display({0, 0, 1600, 1200}, {0, 0, 1550, 1150});
    FakeProfileStore store;
    ProfileItemManager pm;
    IntRect r;
    for (const char* stored : {"0 0 0 0", "", "garbage"}) {
        store.Set("CloseupPosition", stored);
        pm.GetRect(PI_CLOSEUP_POSITION, r);
        EXPECT_EQ(r, (IntRect{1550 - 325, 150, 1550 - 62, 437})) << stored;
    }
    store.Set("CloseupPosition", "5 6 7 8");
    pm.GetRect(PI_CLOSEUP_POSITION, r);
    EXPECT_EQ(r, (IntRect{5, 6, 7, 8}));
    // The toolbar's rectangle has no computed default.
    store.Set("ToolBarPosition", "0 0 0 0");
    pm.GetRect(PI_TOOLBAR_POSITION, r);
    EXPECT_TRUE(r.IsAllZero());
}

TEST(ProfileItemManager, NamedTextDefaults) {
    FakeProfileStore store;
    ProfileItemManager pm;
    std::string s;
    pm.GetString(PI_LANGUAGE, s);
    EXPECT_EQ(s, "English");
    pm.GetString(PI_PRINT_WIDTH_UNITS, s);
    EXPECT_EQ(s, "inches");
    pm.GetString(PI_PRINT_HEIGHT_UNITS, s);
    EXPECT_EQ(s, "inches");
    store.Set("Language", "French");
    pm.GetString(PI_LANGUAGE, s);
    EXPECT_EQ(s, "French");
    pm.GetString(PI_SAVE_AS_BASENAME, s);
    EXPECT_EQ(s, "");
}

TEST(ProfileItemManager, WorkingSpaceNameFallsBackToTheDisplayProfile) {
    FakeProfileStore store;
    ProfileItemManager pm;
    std::string s;
    pm.GetString(PI_WORKING_SPACE_NAME, s);
    EXPECT_EQ(s, "ORVEX sRGB Display");
    store.Set("RGB Working Space Name", "Nobody's Profile");
    pm.GetString(PI_WORKING_SPACE_NAME, s);
    EXPECT_EQ(s, "ORVEX sRGB Display");
    const std::string proPhoto = NimbalCore::StaticProfileTable::Description(NimbalCore::StaticProfileTable::kProPhotoRGB);
    ASSERT_FALSE(proPhoto.empty());
    store.Set("RGB Working Space Name", proPhoto);
    pm.GetString(PI_WORKING_SPACE_NAME, s);
    EXPECT_EQ(s, proPhoto);
}

TEST(ProfileItemManager, ExportSizeRecordInAndOut) {
    FakeProfileStore store;
    ProfileItemManager pm;
    NimbalCore::ExportSizeOptions read;
    pm.GetExportSizeSettings(read);
    bool enabled = true, keep = true;
    int32_t mode = 9, units = 9, percent = 0, resolution = 0;
    double width = 0, height = 0;
    read.Get(&enabled, &keep, &mode, &units, &percent, &resolution, &width, &height);
    EXPECT_FALSE(enabled);
    EXPECT_FALSE(keep);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(units, 0);
    EXPECT_EQ(percent, 100);
    EXPECT_EQ(resolution, 100);
    EXPECT_EQ(width, 640.0);
    EXPECT_EQ(height, 480.0);

    NimbalCore::ExportSizeOptions written(true, true, 2, 1, 150, 300, 1280.5, 960.0);
    pm.SetExportSizeSettings(written);
    const std::vector<std::string> order = {"resize enable", "maintain proportions", "resize mode", "TIFF Units",
                                            "resize percent", "TIFF Resolution", "resize pixel width",
                                            "resize pixel height"};
    ASSERT_EQ(store.writes.size(), order.size());
    for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(store.writes[i].second, order[i]);
    EXPECT_EQ(store.Value("resize pixel width"), "1280.500");

    NimbalCore::ExportSizeOptions again;
    pm.GetExportSizeSettings(again);
    again.Get(&enabled, &keep, &mode, &units, &percent, &resolution, &width, &height);
    EXPECT_TRUE(enabled);
    EXPECT_TRUE(keep);
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(units, 1);
    EXPECT_EQ(percent, 150);
    EXPECT_EQ(resolution, 300);
    EXPECT_EQ(width, 1280.5);
    EXPECT_EQ(height, 960.0);
}

TEST(ProfileItemManager, SizesNoRecordCanHoldReadAsAbsent) {
    FakeProfileStore store;
    ProfileItemManager pm;
    for (const char* stored : {"inf", "nan", "1e30", "-1e12"}) {
        store.Set("resize pixel width", stored);
        store.Set("resize pixel height", stored);
        double d = 5.0;
        pm.GetDouble(PI_RESIZE_PIXEL_WIDTH, d);
        if (std::string(stored) == "inf" || std::string(stored) == "nan") {
            EXPECT_EQ(d, 5.0) << stored;
        }
        NimbalCore::ExportSizeOptions options;
        pm.GetExportSizeSettings(options);
        EXPECT_EQ(options.pixelWidth, 640) << stored;
        EXPECT_EQ(options.pixelHeight, 480) << stored;
    }
}

class FakeWindow : public WindowPlacementTarget {
public:
    WindowPlacement GetPlacement() override { return current; }
    void SetPlacement(const WindowPlacement& p) override {
        current = p;
        ++applied;
    }
    WindowPlacement current;
    int applied = 0;
};

TEST(WindowPlacementProfile, SavesTenValuesAndRestoresThem) {
    FakeDisplay display({0, 0, 1600, 1200}, {0, 0, 1600, 1150});
    FakeProfileStore store;
    FakeWindow window;
    window.current.showCmd = WindowPlacement::kShowMinimized;
    window.current.flags = 2;
    window.current.minX = -1;
    window.current.minY = -2;
    window.current.maxX = 3;
    window.current.maxY = 4;
    window.current.normal = {100, 50, 900, 650};
    WindowPlacementProfile().SaveFrom("MainFrame Position", window);
    const std::vector<std::string> names = {"wp.showCmd", "wp.flags", "wp.ptMinPosition.x", "wp.ptMinPosition.y",
                                            "wp.ptMaxPosition.x", "wp.ptMaxPosition.y", "wp.left", "wp.right",
                                            "wp.top", "wp.bottom"};
    ASSERT_EQ(store.writes.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(store.writes[i], FakeProfileStore::Key("MainFrame Position", names[i]));
    EXPECT_EQ(store.values[FakeProfileStore::Key("MainFrame Position", "wp.right")], "900");

    FakeWindow restored;
    WindowPlacementProfile profile;
    EXPECT_TRUE(profile.RestoreTo("MainFrame Position", restored));
    EXPECT_EQ(restored.applied, 1);
    EXPECT_EQ(restored.current.showCmd, WindowPlacement::kShowNormal);  // minimised comes back normal
    EXPECT_EQ(restored.current.normal, (IntRect{100, 50, 900, 650}));
    EXPECT_EQ(restored.current.minX, -1);
    EXPECT_EQ(restored.current.length, 44);
}

TEST(WindowPlacementProfile, PlacementOffThePrimaryScreenIsNotApplied) {
    FakeDisplay display({0, 0, 1600, 1200}, {0, 0, 1600, 1150});
    FakeProfileStore store;
    struct Case {
        IntRect normal;
        bool applied;
    } cases[] = {
        {{1600, 0, 2400, 600}, false},   // a second monitor to the right
        {{-900, 100, -1, 700}, false},   // one to the left
        {{1599, 1199, 2000, 1500}, true}, // one pixel on the screen
        {{0, 0, 0, 0}, false},           // nothing saved
    };
    for (const Case& c : cases) {
        store.values.clear();
        FakeWindow saved;
        saved.current.showCmd = WindowPlacement::kShowNormal;
        saved.current.normal = c.normal;
        WindowPlacementProfile().SaveFrom("Review Position", saved);
        FakeWindow target;
        EXPECT_EQ(WindowPlacementProfile().RestoreTo("Review Position", target), c.applied);
        EXPECT_EQ(target.applied, c.applied ? 1 : 0);
    }
}

} // namespace
