// A file replaced whole: the new bytes under the old name with the old
// permissions, or, on failure, the old file untouched and nothing left beside it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

#include "FileReplacement.h"
#include "TempFolder.h"
#include "Win32Error.h"

namespace {

namespace fs = std::filesystem;
using lumora::vq::FileReplacement;

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

size_t Entries(const fs::path& folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) ++n;
    return n;
}

TEST(FileReplacement, NewBytesKeepTheFilesPermissions) {
    lumora::test::TempFolder dir;
    const std::string path = dir.file("a.zyr");
    std::ofstream(path) << "old";
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const std::string bytes = "a longer new content";
    ASSERT_EQ(FileReplacement::Replace(path.c_str(), reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
              0u);
    EXPECT_EQ(Contents(path), bytes);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Entries(dir.path()), 1u);
}

TEST(FileReplacement, FailuresLeaveEverythingAsItWas) {
    lumora::test::TempFolder dir;
    const uint8_t bytes[] = {1, 2, 3};
    // No such file: nothing is made.
    EXPECT_EQ(FileReplacement::Replace(dir.file("missing.zyr").c_str(), bytes, sizeof bytes),
              lumora::win32::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Entries(dir.path()), 0u);
    // A folder is not a file to replace.
    fs::create_directory(dir.path() / "sub");
    EXPECT_NE(FileReplacement::Replace(dir.file("sub").c_str(), bytes, sizeof bytes), 0u);
    EXPECT_TRUE(fs::is_directory(dir.path() / "sub"));
    EXPECT_EQ(Entries(dir.path()), 1u);
}

} // namespace
