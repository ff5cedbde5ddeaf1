#include "FolderPicker.h"
#include "FolderPickerPresenter.h"
#include "RenameValidation.h"
#include "SaveSelectedPresenter.h"

#include "FakeShell.h"
#include "LocalizedText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

class TempTree {
public:
    TempTree() {
        root = std::filesystem::temp_directory_path() / ("lumora-picker-" + std::to_string(::getpid()));
        std::filesystem::create_directories(root / "Photos");
        std::ofstream(root / "Photos" / "a.tif") << "x";
    }
    ~TempTree() { std::filesystem::remove_all(root); }
    std::filesystem::path root;
};

TEST(FolderPicker, TrackingAndButtonTexts) {
    TempTree tree;
    const std::string photos = (tree.root / "Photos").string();
    const std::string name40(40, 'n');
    struct Row {
        std::string selection;
        std::string folder;
        std::string saveText, openText;
        bool enabled;
    } rows[] = {
        {photos + "/a.tif", photos, "Save Files in \"Photos\"", "Open \"Photos\" as Contact Sheet", true},
        {photos, photos, "Save Files in \"Photos\"", "Open \"Photos\" as Contact Sheet", true},
        {"/", "/", "Save Files in \"/\"", "Open \"/\" as Contact Sheet", true},
        {"/missing-file.tif", "/", "Save Files in \"/\"", "Open \"/\" as Contact Sheet", true},
        {"/data/" + name40 + "/x.tif", "/data/" + name40, "Save Files in \"" + std::string(32, 'n') + "...\"",
         "Open \"" + std::string(32, 'n') + "...\" as Contact Sheet", true},
        {"/data/" + std::string(34, 'n') + ".d/x", "/data/" + std::string(34, 'n') + ".d",
         "Save Files in \"" + std::string(34, 'n') + ".d\"", "Open \"" + std::string(34, 'n') + ".d\" as Contact Sheet",
         true},
        {"", "", "Save Files in Folder", "Open Folder as Contact Sheet", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.selection);
        const std::string folder = TrackedFolder(r.selection);
        EXPECT_EQ(folder, r.folder);
        const FolderButtonState save = FolderButtonFor(FolderPickerKind::Save, folder);
        EXPECT_EQ(save.text, r.saveText);
        EXPECT_EQ(save.enabled, r.enabled);
        EXPECT_EQ(FolderButtonFor(FolderPickerKind::Browse, folder).text, r.saveText);
        EXPECT_EQ(FolderButtonFor(FolderPickerKind::Open, folder).text, r.openText);
    }
    // A long name of wide characters is cut by characters, not bytes.
    std::string wide;
    for (int i = 0; i < 40; ++i) wide += "é";
    std::string cut;
    for (int i = 0; i < 32; ++i) cut += "é";
    EXPECT_EQ(FolderButtonFor(FolderPickerKind::Save, "/x/" + wide).text, "Save Files in \"" + cut + "...\"");
}

TEST(FolderPicker, AcceptedFolders) {
    EXPECT_EQ(AcceptedFolder(FolderPickerKind::Save, "/data/Photos"), "/data/Photos");
    EXPECT_EQ(AcceptedFolder(FolderPickerKind::Browse, "/data/Photos/"), "/data/Photos");
    EXPECT_EQ(AcceptedFolder(FolderPickerKind::Browse, "/"), "/");  // the root stays a folder
    EXPECT_EQ(AcceptedFolder(FolderPickerKind::Open, "/data/Photos/"), "/data/Photos/");
}

TEST(FolderPicker, BrowseDialogAcceptsTheShownFolderAsItsCancel) {
    TempTree tree;
    FakeDialogView view;
    FolderPickerState::Of(FolderPickerKind::Browse).folderChosen = 1;
    FolderPickerPresenter p(FolderPickerKind::Browse, view);
    EXPECT_EQ(FolderPickerState::Of(FolderPickerKind::Browse).folderChosen, 0);
    p.InitDialog();
    EXPECT_FALSE(view.controls[kPickerOk].shown);
    EXPECT_FALSE(view.controls[kPickerFileNameEdit].shown);
    EXPECT_EQ(view.controls[kPickerFileTypeLabel].text, "Format:");
    p.SelectionChanged((tree.root / "Photos" / "a.tif").string());
    EXPECT_EQ(view.controls[kPickerSaveFolderButton].text, "Save Files in \"Photos\"");
    p.FolderButtonClicked();
    EXPECT_TRUE(view.ended);
    EXPECT_EQ(FolderPickerState::Of(FolderPickerKind::Browse).folderChosen, 1);
    EXPECT_EQ(FolderPickerState::Of(FolderPickerKind::Browse).folderPath, (tree.root / "Photos").string());
    // The open picker's state is its own.
    EXPECT_EQ(FolderPickerState::Of(FolderPickerKind::Open).folderChosen, 0);
}

TEST(RenameValidation, DigitsForCountInIntegers) {
    struct Row {
        long long n;
        int digits;
    } rows[] = {{-5, 0}, {0, 0}, {1, 0}, {2, 1}, {10, 1}, {11, 2}, {21, 2}, {100, 2}, {107, 3},
                {2147483647LL + 20, 10}};
    for (const Row& r : rows) EXPECT_EQ(DigitsForCount(r.n), r.digits) << r.n;
}

struct RenameRow {
    const char* baseName;
    const char* digits;
    const char* start;
    int images;
    std::vector<int> messages;
    int focus;
};

TEST(RenameValidation, Cases) {
    const RenameRow rows[] = {
        {"Trip", "2", "95", 12, {62064}, 1065},
        {"Set*", "1", "1", 1, {60045}, 1064},
        {"a:b", "1", "1", 20, {60017, 62064}, 1064},
        {"a*b*", "3", "1", 5, {60044}, 1064},
        {"   ", "1", "1", 1, {60034}, 1064},
        {"Trip", "1x", "1", 1, {60018}, 1065},
        {"Trip", "12", "1", 1, {60019}, 1065},
        {"Trip", "2", "1a", 1, {60020}, 1066},
        {"Trip", "2", "1234567890", 1, {60021, 60035}, 1066},
        {"Trip", "2", "100", 1, {60035}, 1066},
        {"Trip", "3", "0", 12, {}, 0},
        {"Trip", "2", "-5", 12, {60020}, 1066},
        {"Trip", "2", "5", 0, {}, 0},
        {"Trip*", "3", "1", 12, {}, 0},
        {"", "3", "1", 12, {}, 0},
    };
    for (const RenameRow& r : rows) {
        SCOPED_TRACE(std::string(r.baseName) + "/" + r.digits + "/" + r.start + "/" + std::to_string(r.images));
        const RenameCheck c = CheckRenameSetup(r.baseName, r.digits, r.start, r.images, 1, 1);
        std::string expected;
        for (int id : r.messages) expected += LoadTranslatedString(id);
        EXPECT_EQ(c.message, expected);
        EXPECT_EQ(c.ok, r.messages.empty());
        EXPECT_EQ(c.focusId, r.focus);
    }
    const std::string tooLong(244, 'x');
    const RenameCheck c = CheckRenameSetup(tooLong, "1", "1", 1, 1, 1);
    EXPECT_EQ(c.message, LoadTranslatedString(60016));
    EXPECT_EQ(CheckRenameSetup(std::string(243, 'x'), "1", "1", 1, 1, 1).message, "");
}

TEST(RenameValidation, NumbersThatDoNotReadKeepTheirValues) {
    const RenameCheck c = CheckRenameSetup("a", "", "x", 1, 4, 7);
    EXPECT_EQ(c.numDigits, 4);
    EXPECT_EQ(c.startFrom, 7);
    const RenameCheck huge = CheckRenameSetup("a", "99999999999999999999", "3", 1, 4, 7);
    EXPECT_EQ(huge.numDigits, 2147483647);
    EXPECT_EQ(huge.message, LoadTranslatedString(60019));
}

class SaveSelectedTest : public ::testing::Test {
protected:
    void SetUp() override {
        SaveSelectedState::Get() = SaveSelectedState{};
    }
    FakeProfileStore store;
    FakeMessageBoxes boxes;
    FakeDialogView view;
};

TEST_F(SaveSelectedTest, ConstructionLoadsTheSettings) {
    store.Set("Save As Basename", "Trip");
    store.Set("Save As Num Digits", "0");
    store.Set("Save As Start From", "40");
    store.Set("TIFF Open With", "1");
    store.Set("Send Files To Path", "/usr/bin/gimp");
    SaveSelectedState::Get().renameFiles = 1;
    FolderPickerState::Of(FolderPickerKind::Save).folderChosen = 1;
    SaveSelectedPresenter p(view);
    const SaveSelectedState& s = SaveSelectedState::Get();
    EXPECT_EQ(s.baseName, "Trip");
    EXPECT_EQ(s.numDigits, 1);
    EXPECT_EQ(s.startFrom, 40);
    EXPECT_EQ(s.openWith, 1);
    EXPECT_EQ(s.renameFiles, 0);
    EXPECT_EQ(FolderPickerState::Of(FolderPickerKind::Save).folderChosen, 0);
    FakeLauncher launcher("/usr/bin/other");
    p.InitDialog();
    EXPECT_EQ(view.controls[kSaveOpenWithBox].text, "Open With \"gimp\"");
    EXPECT_EQ(view.controls[kSaveOpenWithBox].check, 1);
    EXPECT_TRUE(launcher.asked.empty());
    EXPECT_EQ(view.controls[kRenameDigitsEdit].text, "1");
    EXPECT_EQ(view.controls[kRenameStartEdit].text, "40");
    EXPECT_FALSE(view.controls[kRenameBaseNameEdit].enabled);
}

TEST_F(SaveSelectedTest, OpenWithCaptionFromTheDesktop) {
    {
        FakeLauncher launcher("/usr/bin/shotwell");
        SaveSelectedPresenter p(view);
        p.InitDialog();
        EXPECT_EQ(launcher.asked, std::vector<std::string>{"image/tiff"});
        EXPECT_EQ(view.controls[kSaveOpenWithBox].text, "Open With \"shotwell\"");
        EXPECT_TRUE(view.controls[kSaveOpenWithBox].enabled);
    }
    store.Set("TIFF Open With", "1");
    FakeDialogView other;
    FakeLauncher none("");
    SaveSelectedPresenter p(other);
    p.InitDialog();
    EXPECT_FALSE(other.controls[kSaveOpenWithBox].enabled);
    EXPECT_EQ(SaveSelectedState::Get().openWith, 0);
    // A later type change keeps the box disabled: there is nothing to open with.
    p.TypeChanged(kFileTypeJPEG);
    EXPECT_FALSE(other.controls[kSaveOpenWithBox].enabled);
    EXPECT_TRUE(other.controls[kSaveOptionsButton].enabled);
}

TEST_F(SaveSelectedTest, AsIsDisablesOpenWithAndOptionsOnlyOnATypeChange) {
    FakeLauncher launcher("/usr/bin/gimp");
    SaveSelectedState::Get().fileType = kFileTypeAsIs;
    SaveSelectedPresenter p(view);
    p.InitDialog();
    EXPECT_TRUE(view.controls[kSaveOpenWithBox].enabled);
    EXPECT_TRUE(view.controls[kSaveOptionsButton].enabled);
    view.controls[kSaveOpenWithBox].check = 1;
    p.OpenWithClicked();
    EXPECT_EQ(store.Value("TIFF Open With"), "1");
    p.TypeChanged(kFileTypeAsIs);
    EXPECT_FALSE(view.controls[kSaveOpenWithBox].enabled);
    EXPECT_EQ(view.controls[kSaveOpenWithBox].check, 0);
    EXPECT_FALSE(view.controls[kSaveOptionsButton].enabled);
    p.TypeChanged(kFileTypeTIFF);
    EXPECT_TRUE(view.controls[kSaveOpenWithBox].enabled);
    EXPECT_EQ(view.controls[kSaveOpenWithBox].check, 1);
    EXPECT_EQ(SaveSelectedState::Get().fileType, kFileTypeTIFF);
    int shown = 0;
    p.OptionsClicked([&](int type) { shown = type; });
    EXPECT_EQ(shown, kFileTypeTIFF);
}

TEST_F(SaveSelectedTest, RenameSetupIsCheckedBeforeTheFolderIsAccepted) {
    SaveSelectedState::Get().imageCount = 20;
    SaveSelectedPresenter p(view);
    p.InitDialog();
    p.SelectionChanged("/");
    view.controls[kRenameFilesBox].check = 1;
    p.RenameClicked();
    EXPECT_TRUE(view.controls[kRenameDigitsEdit].enabled);
    view.controls[kRenameBaseNameEdit].text = "a:b";
    view.controls[kRenameDigitsEdit].text = "1";
    view.controls[kRenameStartEdit].text = "1";
    p.FolderButtonClicked();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0], LoadTranslatedString(60017) + LoadTranslatedString(62064));
    EXPECT_EQ(view.focus, kRenameBaseNameEdit);
    EXPECT_FALSE(view.ended);
    EXPECT_TRUE(store.writes.empty());

    view.controls[kRenameBaseNameEdit].text = "  Trip*";
    view.controls[kRenameDigitsEdit].text = "3";
    p.FolderButtonClicked();
    EXPECT_TRUE(view.ended);
    EXPECT_EQ(store.Value("Save As Basename"), "Trip*");
    EXPECT_EQ(store.Value("Save As Num Digits"), "3");
    EXPECT_EQ(store.Value("Save As Start From"), "1");
    EXPECT_EQ(FolderPickerState::Of(FolderPickerKind::Save).folderPath, "/");
    EXPECT_EQ(FolderPickerState::Of(FolderPickerKind::Save).folderChosen, 1);
}

TEST_F(SaveSelectedTest, OneImageKeepsTheNumberFieldsDisabled) {
    SaveSelectedState::Get().imageCount = 1;
    SaveSelectedPresenter p(view);
    p.InitDialog();
    view.controls[kRenameFilesBox].check = 1;
    p.RenameClicked();
    EXPECT_TRUE(view.controls[kRenameBaseNameEdit].enabled);
    EXPECT_FALSE(view.controls[kRenameDigitsEdit].enabled);
    EXPECT_FALSE(view.controls[kRenameStartEdit].enabled);
    view.controls[kRenameFilesBox].check = 0;
    p.RenameClicked();
    EXPECT_FALSE(view.controls[kRenameBaseNameEdit].enabled);
    // Without renaming the folder is taken at once.
    p.FolderButtonClicked();
    EXPECT_TRUE(view.ended);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SaveSelectedTest, FileTypeFromTheSettings) {
    for (auto [stored, type] : std::vector<std::pair<const char*, int>>{{"2", 2}, {"3", 3}, {"0", 1}, {"4", 1}}) {
        store.Set("Save As File Type", stored);
        EXPECT_EQ(SaveSelectedPresenter::FileTypeFromSettings(), type);
    }
}

} // namespace
