#include "OutputOptionsPresenter.h"
#include "WorkingSpaceOutputMode.h"

#include "ColorEngine.h"
#include "FakeShell.h"
#include "ProfileItemManager.h"

#include <algorithm>
#include "StaticProfileTable.h"

#include <gtest/gtest.h>

namespace {

std::string ProPhoto() {
    NimbalCore::ColorEngine::Instance(0, 1);
    return NimbalCore::StaticProfileTable::Description(NimbalCore::StaticProfileTable::kProPhotoRGB);
}

TEST(WorkingSpaceOutputMode, MigratesTheOlderSettingOnce) {
    struct Row {
        const char* old;  // null: absent
        int mode;
        std::string name; // item 32 afterwards ("<absent>": untouched)
        std::string stored31;
    } rows[] = {
        {nullptr, 1, "ORVEX sRGB Display", "1"},
        {"0", 1, "ORVEX sRGB Display", "1"},
        {"1", 1, ProPhoto(), "1"},
        {"2", 0, "<absent>", "0"},
        {"5", -1, "<absent>", "-1"},
    };
    ASSERT_FALSE(ProPhoto().empty());
    for (const Row& r : rows) {
        SCOPED_TRACE(r.old ? r.old : "absent");
        FakeProfileStore store;
        if (r.old) store.Set("TIFF Output Mode", r.old);
        int mode = 99;
        GetWorkingSpaceOutputMode(mode);
        EXPECT_EQ(mode, r.mode);
        EXPECT_EQ(store.Value("RGB Working Space Name"), r.name);
        EXPECT_EQ(store.Value("RGB Working Space Output Mode"), r.stored31);
        if (r.mode != -1) {
            // The second call answers from item 31 and writes nothing.
            store.writes.clear();
            GetWorkingSpaceOutputMode(mode);
            EXPECT_EQ(mode, r.mode);
            EXPECT_TRUE(store.writes.empty());
        }
    }
}

TEST(WorkingSpaceOutputMode, MigratedProPhotoNameIsReadBack) {
    FakeProfileStore store;
    store.Set("TIFF Output Mode", "1");
    int mode = 0;
    GetWorkingSpaceOutputMode(mode);
    std::string name;
    ProfileItemManager().GetString(PI_WORKING_SPACE_NAME, name);
    EXPECT_EQ(name, ProPhoto());
    EXPECT_NE(name, "ORVEX sRGB Display");
}

class OutputOptionsTest : public ::testing::Test {
protected:
    void Open(int format = kFormatAll) {
        presenter.SetInitialFormat(format);
        presenter.InitDialog();
    }
    std::string Text(int id) { return view.controls[id].text; }
    void Type(int id, const std::string& text) { view.controls[id].text = text; }

    FakeProfileStore store;
    FakeMessageBoxes boxes;
    FakeDialogView view;
    OutputOptionsPresenter presenter{view};
};

TEST_F(OutputOptionsTest, OpensWithTheStoredValues) {
    store.Set("TIFF Resolution", "300");
    store.Set("resize pixel height", "1000");
    store.Set("resize pixel width", "800");
    store.Set("resize enable", "1");
    store.Set("resize mode", "7");
    store.Set("TIFF 10-12 Bit", "1");
    store.Set("JPEGImageQuality", "2");
    store.Set("LastFileSaveAsDialogPath", "/data/out");
    Open();
    EXPECT_EQ(Text(kOptResolution), "300");
    EXPECT_EQ(Text(kOptPixelHeight), "1000");
    EXPECT_EQ(Text(kOptPrintHeight), "3.333");
    EXPECT_EQ(Text(kOptPrintWidth), "2.666");
    EXPECT_EQ(presenter.aspectRatio, 0.8);
    EXPECT_EQ(view.controls[kOptModePercent].check, 1);  // an unknown mode shows as percent
    EXPECT_EQ(view.controls[kOpt16Bit].check, 1);
    EXPECT_EQ(view.controls[kOptJpegGood].check, 1);
    EXPECT_EQ(Text(kOptSendToFolder), "/data/out");
    EXPECT_EQ(view.controls[kOptUnits].list, (std::vector<std::string>{"pixels/in", "pixels/cm"}));
    EXPECT_TRUE(view.controls[kOptInchLabelWidth].shown);
    EXPECT_FALSE(view.controls[kOptCmLabelHeight].shown);
    // Item 26 absent: migrated to the rendered mode.
    EXPECT_EQ(view.controls[kOptRenderToWorkingSpace].check, 1);
    // Opening wrote only the migration.
    for (const auto& key : store.writes)
        EXPECT_TRUE(key.second == "RGB Working Space Name" || key.second == "RGB Working Space Output Mode");
}

TEST_F(OutputOptionsTest, ZeroResolutionShowsAs300AndUnknownModeShowsNoSelection) {
    store.Set("RGB Working Space Output Mode", "-1");
    store.Set("TIFF Output Mode", "5");
    store.Set("TIFF Units", "1");
    Open();
    EXPECT_EQ(Text(kOptResolution), "100");  // the size record's 0 means 100
    EXPECT_EQ(view.controls[kOptLinearMode].check, 0);
    EXPECT_EQ(view.controls[kOptRenderToWorkingSpace].check, 0);
    EXPECT_EQ(store.Value("RGB Working Space Output Mode"), "-1");
    EXPECT_EQ(view.controls[kOptUnits].selection, 1);
    EXPECT_TRUE(view.controls[kOptCmLabelWidth].shown);
    EXPECT_FALSE(view.controls[kOptInchLabelHeight].shown);
}

TEST_F(OutputOptionsTest, SizeFieldsFollowEachOther) {
    store.Set("TIFF Resolution", "300");
    store.Set("resize pixel height", "1000");
    store.Set("resize pixel width", "800");
    Open();
    EXPECT_EQ(Text(kOptPrintHeight), "3.333");
    view.controls[kOptMaintainProportions].check = 1;
    Type(kOptPixelHeight, "1200");
    presenter.PixelHeightChanged();
    EXPECT_EQ(Text(kOptPixelWidth), "960");
    EXPECT_EQ(Text(kOptPrintWidth), "3.2");
    EXPECT_EQ(Text(kOptPrintHeight), "4");
    EXPECT_TRUE(presenter.validateRanges);

    view.controls[kOptMaintainProportions].check = 0;
    Type(kOptPrintHeight, "10.0");
    presenter.PrintHeightChanged();
    EXPECT_EQ(Text(kOptPixelHeight), "3000");
    EXPECT_EQ(Text(kOptPixelWidth), "960");

    Type(kOptResolution, "100");
    presenter.ResolutionChanged();
    EXPECT_EQ(Text(kOptPrintHeight), "30");
    EXPECT_EQ(Text(kOptPrintWidth), "9.6");

    // Values out of range are taken while typing; a field that is no number
    // asks for one and keeps its value.
    Type(kOptPixelWidth, "20");
    presenter.PixelWidthChanged();
    EXPECT_EQ(Text(kOptPrintWidth), "0.2");
    EXPECT_TRUE(boxes.shown.empty());
    Type(kOptPixelWidth, "abc");
    presenter.PixelWidthChanged();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0], "Please enter an integer.");
    EXPECT_EQ(Text(kOptPixelWidth), "20");
}

TEST_F(OutputOptionsTest, ZeroResolutionWhileTypingGivesNoInfinity) {
    Open();
    view.controls[kOptMaintainProportions].check = 1;
    Type(kOptResolution, "0");
    presenter.ResolutionChanged();
    EXPECT_EQ(Text(kOptPrintWidth), "0");
    Type(kOptPixelWidth, "0");
    Type(kOptPixelHeight, "0");
    presenter.MaintainProportionsClicked();  // no proportion from zeros
    EXPECT_NE(presenter.aspectRatio, 0.0);
    Type(kOptPrintWidth, "1e300");
    presenter.PrintWidthChanged();
    EXPECT_EQ(Text(kOptPixelWidth), "0");
}

TEST_F(OutputOptionsTest, MaintainProportionsTakesTheAspectAtTheClick) {
    Open();
    Type(kOptPixelWidth, "1500");
    Type(kOptPixelHeight, "1000");
    view.controls[kOptMaintainProportions].check = 1;
    presenter.MaintainProportionsClicked();
    EXPECT_EQ(presenter.aspectRatio, 1.5);
    Type(kOptPixelWidth, "3000");
    presenter.PixelWidthChanged();
    EXPECT_EQ(Text(kOptPixelHeight), "2000");
}

TEST_F(OutputOptionsTest, ResizeStatesEnableTheirControls) {
    Open();
    EXPECT_FALSE(view.controls[kOptPercent].enabled);
    EXPECT_FALSE(view.controls[kOptModeFill].enabled);
    EXPECT_TRUE(view.controls[kOptResolution].enabled);
    view.controls[kOptResizeEnable].check = 1;
    presenter.ResizeClicked();
    EXPECT_TRUE(view.controls[kOptPercent].enabled);
    EXPECT_TRUE(view.controls[kOptPercentLabel].enabled);
    EXPECT_TRUE(view.controls[kOptModeFill].enabled);
    for (int id : {kOptPixelWidth, kOptPixelHeight, kOptPrintWidth, kOptPrintHeight, kOptMaintainProportions,
                   kOptInchLabelWidth})
        EXPECT_FALSE(view.controls[id].enabled) << id;
    view.controls[kOptModePercent].check = 0;
    view.controls[kOptModeFill].check = 1;
    presenter.ResizeClicked();
    EXPECT_FALSE(view.controls[kOptPercent].enabled);
    for (int id : {kOptPixelWidth, kOptPixelHeight, kOptPrintWidth, kOptPrintHeight, kOptMaintainProportions,
                   kOptInchLabelWidth, kOptPixelsColumn})
        EXPECT_TRUE(view.controls[id].enabled) << id;
    EXPECT_TRUE(view.controls[kOptUnits].enabled);
}

TEST_F(OutputOptionsTest, FormatDisablesTheOtherGroups) {
    Open(kFormatJPEG);
    for (int id : {kOptTiffGroup, kOptLinearMode, kOpt16Bit, kOptRenderGps, kOptEmbedTiff, kOptSendToFolder,
                   kOptChooseFolder})
        EXPECT_FALSE(view.controls[id].enabled) << id;
    for (int id : {kOptJpegBest, kOptEmbedJpeg, kOptWorkingSpaceList, kOptResizeEnable, kOptResolution})
        EXPECT_TRUE(view.controls[id].enabled) << id;

    FakeDialogView tiffView;
    OutputOptionsPresenter tiff(tiffView);
    tiff.SetInitialFormat(kFormatTIFF);
    tiff.InitDialog();
    for (int id : {kOptJpegGroup, kOptJpegGood, kOptEmbedJpeg, kOptSendToGroup}) EXPECT_FALSE(tiffView.controls[id].enabled);
    EXPECT_TRUE(tiffView.controls[kOptLinearMode].enabled);
}

TEST_F(OutputOptionsTest, OutOfRangePercentStoresNothing) {
    Open();
    store.writes.clear();
    Type(kOptPercent, "5");
    EXPECT_FALSE(presenter.OnOK());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0], "Please enter an integer between 10 and 400.");
    EXPECT_EQ(view.focus, kOptPercent);
    EXPECT_TRUE(store.writes.empty());

    Type(kOptPercent, "100");
    Type(kOptPrintHeight, "0.05");
    EXPECT_FALSE(presenter.OnOK());
    EXPECT_EQ(boxes.shown.back(), "Please enter a number between 0.1 and 99.999.");
    EXPECT_TRUE(store.writes.empty());
}

TEST_F(OutputOptionsTest, UnlistedWorkingSpaceIsReplacedAtOpening) {
    // A registered profile that is no output space: a look.
    const std::vector<std::string> looks = NimbalCore::ColorEngine::Instance(0, 1)->GetLookList();
    ASSERT_FALSE(looks.empty());
    store.Set("RGB Working Space Output Mode", "1");
    store.Set("RGB Working Space Name", looks[0]);
    Open();
    EXPECT_EQ(store.Value("RGB Working Space Name"), "ORVEX sRGB Display");
    const auto& list = view.controls[kOptWorkingSpaceList];
    ASSERT_GE(list.selection, 0);
    EXPECT_EQ(list.list[size_t(list.selection)], "ORVEX sRGB Display");
}

TEST_F(OutputOptionsTest, UnknownWorkingSpaceReadsAsTheDisplayProfile) {
    store.Set("RGB Working Space Output Mode", "1");
    store.Set("RGB Working Space Name", "Nobody's Profile");
    Open();
    const auto& list = view.controls[kOptWorkingSpaceList];
    ASSERT_GE(list.selection, 0);
    EXPECT_EQ(list.list[size_t(list.selection)], "ORVEX sRGB Display");
}

TEST_F(OutputOptionsTest, OkStoresEverythingAndSetsTheWorkingSpace) {
    store.Set("RGB Working Space Output Mode", "1");
    Open();
    const auto& list = view.controls[kOptWorkingSpaceList].list;
    const auto proPhoto = std::find(list.begin(), list.end(), ProPhoto());
    ASSERT_NE(proPhoto, list.end());
    view.controls[kOptWorkingSpaceList].selection = int(proPhoto - list.begin());
    view.controls[kOptResizeEnable].check = 1;
    view.controls[kOptModePercent].check = 0;
    view.controls[kOptModeFitTrim].check = 1;
    view.controls[kOptUnits].selection = 1;
    Type(kOptResolution, "120");
    Type(kOptPixelWidth, "1280");
    Type(kOptPixelHeight, "960");
    Type(kOptPercent, "150");
    view.controls[kOptLinearMode].check = 1;
    view.controls[kOptRenderToWorkingSpace].check = 0;
    view.controls[kOptEmbedJpeg].check = 1;
    view.controls[kOptJpegBest].check = 0;
    view.controls[kOptJpegBetter].check = 1;
    ASSERT_TRUE(presenter.OnOK());
    EXPECT_EQ(store.Value("RGB Working Space Name"), ProPhoto());
    EXPECT_EQ(store.Value("RGB Working Space Output Mode"), "0");
    EXPECT_EQ(store.Value("resize enable"), "1");
    EXPECT_EQ(store.Value("resize mode"), "2");
    EXPECT_EQ(store.Value("TIFF Units"), "1");
    EXPECT_EQ(store.Value("TIFF Resolution"), "120");
    EXPECT_EQ(store.Value("resize percent"), "150");
    EXPECT_EQ(store.Value("resize pixel width"), "1280.000");
    EXPECT_EQ(store.Value("resize pixel height"), "960.000");
    EXPECT_EQ(store.Value("Embed RGB Working Space Profile in JPEG Files"), "1");
    EXPECT_EQ(store.Value("JPEGImageQuality"), "1");
    EXPECT_EQ(NimbalCore::ColorEngine::Instance(0, 1)->GetWorkingSpaceName(), ProPhoto());
    NimbalCore::ColorEngine::Instance(0, 1)->SetWorkingSpaceName("ORVEX sRGB Display");
}

TEST_F(OutputOptionsTest, ChooseTakesTheFolderThePickerGives) {
    store.Set("the directory images are going to be sent", "/data/send");
    std::string started;
    presenter.SetFolderChooser([&](const std::string& start, std::string& chosen) {
        started = start;
        chosen = "/data/other";
        return true;
    });
    Open();
    presenter.ChooseClicked();
    EXPECT_EQ(started, "/data/send");
    EXPECT_EQ(Text(kOptSendToFolder), "/data/other");
    EXPECT_EQ(store.Value("the directory images are going to be sent"), "/data/send");  // stored only on OK
}

} // namespace
