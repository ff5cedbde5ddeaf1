// Deleted files go to the desktop's wastebasket with a note of where they
// came from, in a data home of the test's own; a file that cannot go stays
// and is named, and the others still go.
#include "GioTrash.h"
#include "TempFolder.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string TrashTestRead(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(GioTrash, FilesGoToTheWastebasketAndAMissingOneIsNamed) {
    lumora::test::TempFolder home, folder;
    ::setenv("XDG_DATA_HOME", home.path().c_str(), 1);
    // GLib reads the data home once per process.
    if (fs::path(g_get_user_data_dir()) != home.path()) GTEST_SKIP() << "the data home was read before this test";
    const std::string image = folder.write("IMG_0001.ZYR", "raw bytes");
    const std::string sound = folder.write("IMG_0001.WAV", "RIFF");
    const std::string missing = folder.file("IMG_0002.ZYR");

    const auto failed = GioTrash().MoveToTrash({image, missing, sound});

    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].path, missing);
    EXPECT_FALSE(failed[0].reason.empty());
    EXPECT_FALSE(fs::exists(image));
    EXPECT_FALSE(fs::exists(sound));
    const fs::path trash = home.path() / "Trash";
    EXPECT_EQ(TrashTestRead(trash / "files" / "IMG_0001.ZYR"), "raw bytes");
    EXPECT_TRUE(fs::exists(trash / "files" / "IMG_0001.WAV"));
    EXPECT_NE(TrashTestRead(trash / "info" / "IMG_0001.ZYR.trashinfo").find("Path=" + image), std::string::npos);
    EXPECT_TRUE(GioTrash().MoveToTrash({}).empty());
}

} // namespace
