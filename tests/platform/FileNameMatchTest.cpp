#include "FileNameMatch.h"
#include "TempFolder.h"
#include "Win32Error.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace lumora;

TEST(FileNameMatch, PatternsMatchWithoutRegardToCase) {
    const struct { const char* pattern; const char* name; bool match; } cases[] = {
        {"*.ZYR", "a.zyr", true},      {"*.zyr", "IMG_0001.ZYR", true}, {"*.ZYR", "a.zyr.bak", false},
        {"*.ZYR", "azyr", false},      {"IMG_????.ZYR", "img_0042.zyr", true}, {"IMG_????.ZYR", "img_042.zyr", false},
        {"*", "anything", true},       {"*.*", "noext", true},          {"*.*", "a.b", true},
        {"*.", "noext", true},         {"*.", "a.b", false},            {"a*b*c", "aXbYbZc", true},
        {"a*b*c", "aXbYbZ", false},    {"*.wav", "x.WAV", true},        {"", "", true},
        {"", "a", false},              {"**", "", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileNameMatch::matches(c.pattern, c.name), c.match) << c.pattern << " vs " << c.name;
    // A long name against many stars stays quick (no exponential back-tracking).
    EXPECT_FALSE(FileNameMatch::matches("*a*a*a*a*a*a*a*a*b", std::string(2000, 'a')));
}

TEST(FileNameMatch, ListsMatchingEntriesInNameOrder) {
    test::TempFolder dir;
    dir.write("b.ZYR", "");
    dir.write("A.zyr", "");
    dir.write("c.jpg", "");
    std::filesystem::create_directory(dir.file("D.ZYR"));
    uint32_t err = 99;
    const auto found = FileNameMatch::list(dir.path(), "*.ZYR", err);
    EXPECT_EQ(err, 0u);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].name, "A.zyr");
    EXPECT_EQ(found[1].name, "b.ZYR");
    EXPECT_EQ(found[2].name, "D.ZYR");
    EXPECT_FALSE(found[0].isDirectory);
    EXPECT_TRUE(found[2].isDirectory);

    EXPECT_TRUE(FileNameMatch::list(dir.path(), "*.tif", err).empty());
    EXPECT_EQ(err, win32::ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(FileNameMatch::list(dir.file("missing"), "*", err).empty());
    EXPECT_EQ(err, win32::ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(FileNameMatch::list(dir.file("c.jpg"), "*", err).empty());
    EXPECT_EQ(err, win32::ERROR_PATH_NOT_FOUND);

    EXPECT_EQ(FileNameMatch::findNoCase(dir.path(), "a.ZYR"), "A.zyr");
    EXPECT_EQ(FileNameMatch::findNoCase(dir.path(), "nothing"), "");
}
