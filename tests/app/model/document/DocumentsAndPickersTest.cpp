#include "DocumentTemplates.h"
#include "FakeMenu.h"
#include "FakeShell.h"
#include "OpenFileFilter.h"
#include "RecentFileList.h"
#include "SendToMenuItem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(DocumentTemplates, OrderStringsAndMatching) {
    const auto& t = DocumentTemplates();
    ASSERT_EQ(t.size(), 5u);
    const int ids[] = {130, 129, 148, 131, 140};
    for (size_t i = 0; i < t.size(); ++i) EXPECT_EQ(t[i].resourceId, ids[i]);
    const DocStringFields raw = SplitDocString(t[2].docString);
    EXPECT_EQ(raw.windowTitle, "");
    EXPECT_EQ(raw.docName, "Zyn Raw");
    EXPECT_EQ(raw.fileNewName, "Zyn Raw File");
    EXPECT_EQ(raw.filterName, "Zyn Raw Files (*.zyr)");
    EXPECT_EQ(raw.filterExt, ".zyr");
    EXPECT_EQ(raw.regFileTypeId, "ZynRawFile");
    EXPECT_EQ(raw.regFileTypeName, "Zyn Raw File");
    EXPECT_EQ(SplitDocString(t[4].docString).regFileTypeId, "Lumora");

    struct Case {
        const char* path;
        bool folder;
        int index;
    } cases[] = {
        {"/p/a.zyr", false, 2}, {"/p/A.ZYR", false, 2}, {"/p/b.Tif", false, 1}, {"/p/c.jpg", false, 3},
        {"/p/d.txt", false, -1}, {"/p/noext", false, -1}, {"/p/dir.jpg", true, 0}, {"/p/folder", true, 0},
        {"/p.tif/x", false, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(TemplateIndexForPath(c.path, c.folder), c.index) << c.path;
}

TEST(RecentFiles, ReplaceKeepsEightNewestFirst) {
    FakeProfileStore store;
    RecentFileList list;
    for (int i = 1; i <= 10; ++i) list.Add("/p/" + std::to_string(i));
    ASSERT_EQ(list.Entries().size(), 8u);
    EXPECT_EQ(list.Entries().front(), "/p/10");
    EXPECT_EQ(list.Entries().back(), "/p/3");
    list.Add("/p/5");  // moves up
    EXPECT_EQ(list.Entries()[0], "/p/5");
    EXPECT_EQ(list.Entries().size(), 8u);

    list.Replace("/p/7", "/p/seven");
    EXPECT_EQ(list.Entries()[0], "/p/seven");
    EXPECT_EQ(std::count(list.Entries().begin(), list.Entries().end(), "/p/7"), 0);
    EXPECT_EQ(list.Entries().size(), 8u);
    EXPECT_EQ((store.values[{"Recent File List", "File1"}]), "/p/seven");

    // Not listed, or listed in another case: nothing changes.
    const auto before = list.Entries();
    store.writes.clear();
    list.Replace("/p/missing", "/p/new");
    list.Replace("/P/5", "/p/new");
    EXPECT_EQ(list.Entries(), before);
    EXPECT_TRUE(store.writes.empty());

    RecentFileList again;
    again.Load();
    EXPECT_EQ(again.Entries(), list.Entries());
}

TEST(OpenPicker, FilterEntriesAndFolder) {
    FakeProfileStore store;
    const std::vector<FileFilterEntry> entries = OpenFilterEntries();
    EXPECT_EQ(entries, (std::vector<FileFilterEntry>{{"Zyn TIFF Files (*.tif)", "*.tif"},
                                                      {"Zyn Raw Files (*.zyr)", "*.zyr"},
                                                      {"Zyn JPEG Files (*.jpg)", "*.jpg"},
                                                      {"Zyn Image Files (*.zyr;*.tif;*.jpg)", "*.zyr;*.tif;*.jpg"},
                                                      {"All Files (*.*)", "*.*"}}));
    EXPECT_EQ(entries[kOpenFilterInitialIndex].pattern, "*.zyr;*.tif;*.jpg");
    EXPECT_EQ(OpenFilterWildcard().substr(0, 30), "Zyn TIFF Files (*.tif)|*.tif|Z");
    EXPECT_EQ(OpenDialogTitle(), "Open Zyn Lumora Contact Sheet or Image File");
    EXPECT_EQ(OpenDialogStartFolder(), "");
    RememberOpenFolder("/home/ann/shoot");
    EXPECT_EQ(OpenDialogStartFolder(), "/home/ann/shoot");
}

TEST(SendTo, ItemAndOpenWithProgram) {
    FakeProfileStore store;
    FakeMenu menu({{33108, true, {}}});
    UpdateSendToMenuItem(menu);
    EXPECT_FALSE(menu.At(33108).enabled);

    // A Linux program's name is shown whole.
    SetOpenWithProgram("/usr/bin/gimp-2.10", menu);
    EXPECT_EQ(store.Value("Send Files To Path"), "/usr/bin/gimp-2.10");
    EXPECT_TRUE(menu.At(33108).enabled);
    EXPECT_EQ(menu.At(33108).label, "S&end To: gimp-2.10\tCtrl+L");
    EXPECT_EQ(OpenWithStartFolder(), "/usr/bin");
    EXPECT_EQ(OpenWithFilter(), "Programs (*)|*||");

    // A path that ends in "/" has no name: enabled, label kept.
    FakeMenu other({{33108, true, {}}});
    other.SetLabel(33108, "as it was");
    store.Set("Send Files To Path", "/opt/");
    UpdateSendToMenuItem(other);
    EXPECT_TRUE(other.At(33108).enabled);
    EXPECT_EQ(other.At(33108).label, "as it was");
}

TEST(SendTo, OnlyRunnableFilesArePrograms) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("lumora-prog-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "editor") << "#!/bin/sh\n";
    std::ofstream(dir / "notes.txt") << "text\n";
    ::chmod((dir / "editor").c_str(), 0755);
    ::chmod((dir / "notes.txt").c_str(), 0644);
    EXPECT_TRUE(IsRunnableProgram((dir / "editor").string()));
    EXPECT_FALSE(IsRunnableProgram((dir / "notes.txt").string()));
    EXPECT_FALSE(IsRunnableProgram(dir.string()));
    EXPECT_FALSE(IsRunnableProgram((dir / "missing").string()));
    EXPECT_FALSE(IsRunnableProgram(""));
    fs::remove_all(dir);
}

} // namespace
