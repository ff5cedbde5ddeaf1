#include "SdkDebugOutput.h"
#include "SdkFile.h"
#include "TempFolder.h"
#include "VqStatus.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

using lumora::test::TempFolder;

namespace {

// Catches the debugger lines for one test.
struct DebugLines {
    std::vector<std::string> lines;
    SdkDebugSink old;
    DebugLines() {
        old = SdkSetDebugSink([](const char* t, void* c) { static_cast<DebugLines*>(c)->lines.push_back(t); }, this);
    }
    ~DebugLines() { SdkSetDebugSink(old, nullptr); }
};

std::string readAll(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(SdkFile, OpenModesAndTheirErrors) {
    TempFolder dir;
    const std::string existing = dir.write("old.bin", "0123456789");
    DebugLines debug;
    SdkFile f;

    EXPECT_EQ(f.Open(existing.c_str(), SdkFile::kCreateNew), 80u);
    EXPECT_EQ(f.handle(), -1);
    ASSERT_EQ(debug.lines.size(), 1u);
    EXPECT_EQ(debug.lines[0], "File open failed with error 80\n");

    EXPECT_EQ(f.Open(dir.file("missing.bin").c_str(), SdkFile::kRead), 2u);
    EXPECT_EQ(f.Open(dir.file("nodir/x.bin").c_str(), SdkFile::kRead), 3u);
    EXPECT_EQ(f.Open(dir.file("nodir/x.bin").c_str(), SdkFile::kCreateAlways), 3u);
    EXPECT_EQ(f.Open(dir.path().c_str(), SdkFile::kRead), 5u);
    EXPECT_EQ(debug.lines.size(), 5u);

    // Mode 2 keeps the content and writes from the start.
    ASSERT_EQ(f.Open(existing.c_str(), SdkFile::kOpenAlways), 0u);
    EXPECT_EQ(f.Write("ab", 2), 0u);
    f.Close();
    EXPECT_EQ(readAll(existing), "ab23456789");
    // Any other mode replaces the file.
    ASSERT_EQ(f.Open(existing.c_str(), 7), 0u);
    EXPECT_EQ(f.Write("Z", 1), 0u);
    f.Close();
    EXPECT_EQ(readAll(existing), "Z");
    // Mode 1 makes a new file.
    ASSERT_EQ(f.Open(dir.file("new.bin").c_str(), SdkFile::kCreateNew), 0u);
    f.Close();
    EXPECT_TRUE(std::filesystem::exists(dir.file("new.bin")));

    // Create: overwrite flag or not.
    EXPECT_EQ(f.Create(existing.c_str(), 0), 80u);
    EXPECT_EQ(f.Create(existing.c_str(), 1), 0u);
    f.Close();
    EXPECT_EQ(readAll(existing), "");
    EXPECT_EQ(debug.lines.size(), 5u) << "Create sends no debugger line";
}

TEST(SdkFile, WritingCountsAndSeekingSetsThePosition) {
    TempFolder dir;
    SdkFile f;
    ASSERT_EQ(f.Open(dir.file("w.bin").c_str(), SdkFile::kCreateNew), 0u);
    char data[100];
    for (int i = 0; i < 100; ++i) data[i] = char(i);
    EXPECT_EQ(f.Write(data, 100), 0u);
    EXPECT_EQ(f.position(), 100u);
    EXPECT_EQ(f.Seek(10, 0), 0u);
    EXPECT_EQ(f.position(), 10u);
    EXPECT_EQ(f.Seek(5, 1), 0u);
    EXPECT_EQ(f.position(), 15u);
    EXPECT_EQ(f.Seek(-4, 2), 0u);
    EXPECT_EQ(f.position(), 96u);
    EXPECT_EQ(f.Seek(-200, 1), 131u);
    EXPECT_EQ(f.position(), 0xFFFFFFFFu);
    uint32_t size = 0;
    EXPECT_EQ(f.GetSize(&size), 0u);
    EXPECT_EQ(size, 100u);
    EXPECT_EQ(f.Flush(), 0u);
    EXPECT_EQ(f.Close(), 0u);
    EXPECT_EQ(f.position(), 0u);
    EXPECT_EQ(f.handle(), -1);
    EXPECT_EQ(f.Close(), 0u) << "closing twice is harmless";

    // Reading a write-only file, or a closed one, is an error, not success.
    char buf[4];
    EXPECT_NE(f.Read(buf, 4), 0u);
}

TEST(SdkFile, ShortReadsAreReported) {
    TempFolder dir;
    const std::string p = dir.write("s.bin", "abcdef");
    SdkFile f;
    ASSERT_EQ(f.Open(p.c_str(), SdkFile::kRead), 0u);
    char buf[10];
    std::memset(buf, 'X', sizeof buf);
    EXPECT_EQ(f.Read(buf, 4), 0u);
    EXPECT_EQ(std::string(buf, 4), "abcd");
    EXPECT_EQ(f.Read(buf, 10), 38u) << "only two bytes were left";
    EXPECT_EQ(std::string(buf, 2), "ef");
    for (int i = 2; i < 10; ++i) EXPECT_EQ(buf[i], 0) << "the rest is cleared, not stale";

    ASSERT_EQ(f.Seek(0, 0), 0u);
    uint32_t got = 99;
    EXPECT_EQ(f.ReadAvailable(buf, 10, &got), 0u);
    EXPECT_EQ(got, 6u);
    EXPECT_EQ(f.Read(buf, 0), 0u);
    f.Close();
}

TEST(SdkFile, SharingAndCopies) {
    TempFolder dir;
    const std::string p = dir.write("shared.bin", "data");
    SdkFile reader;
    ASSERT_EQ(reader.Open(p.c_str(), SdkFile::kRead), 0u);
    SdkFile writer;
    EXPECT_EQ(writer.Open(p.c_str(), SdkFile::kOpenAlways), 32u);
    SdkFile other;
    EXPECT_EQ(other.Open(p.c_str(), SdkFile::kRead), 0u) << "readers share";

    // A copy has its own descriptor: closing one leaves the other usable.
    SdkFile copy(reader);
    EXPECT_NE(copy.handle(), reader.handle());
    EXPECT_EQ(copy.position(), 0u);
    reader.Close();
    char buf[4];
    EXPECT_EQ(copy.Read(buf, 4), 0u);
    EXPECT_EQ(std::string(buf, 4), "data");
    copy.Close();
    other.Close();
    EXPECT_EQ(writer.Open(p.c_str(), SdkFile::kOpenAlways), 0u) << "all readers gone";
    // Opening again on an open object lets go of the first file.
    EXPECT_EQ(writer.Open(dir.file("second.bin").c_str(), SdkFile::kCreateNew), 0u);
    EXPECT_EQ(reader.Open(p.c_str(), SdkFile::kRead), 0u);
}

TEST(SdkFile, PathHelpers) {
    SdkFile folder("/a");
    EXPECT_STREQ(folder.path(), "/a/");
    SdkFile same("/a/");
    EXPECT_STREQ(same.path(), "/a/");
    SdkFile empty("");
    EXPECT_STREQ(empty.path(), "");

    char out[SdkFile::kPathSize];
    SdkFile j;
    j.SetFolderPath("/a");
    EXPECT_EQ(j.JoinPath(out, "x"), 0u);
    EXPECT_STREQ(out, "/a/x");
    j.SetFolderPath("/a/");
    EXPECT_EQ(j.JoinPath(out, "x"), 0u);
    EXPECT_STREQ(out, "/a/x");
    const std::string longName(300, 'n');
    EXPECT_EQ(j.JoinPath(out, longName.c_str()), 206u);
    EXPECT_STREQ(out, "");

    char path[SdkFile::kPathSize] = "/a/b.TIF";
    char* name = SdkFile::ExtractFileName(path, "tif");
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "b.TIF");
    EXPECT_STREQ(path, "/a/b.TIF");
    delete[] name;
    char noDot[SdkFile::kPathSize] = "/a/tif";
    EXPECT_EQ(SdkFile::ExtractFileName(noDot, "tif"), nullptr);
    char leadingDot[SdkFile::kPathSize] = "/a/.tif";
    EXPECT_EQ(SdkFile::ExtractFileName(leadingDot, "tif"), nullptr) << "the name must not start with it";
    name = SdkFile::ExtractFileName(path, nullptr);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "b.TIF");
    EXPECT_STREQ(path, "/a");
    delete[] name;
    char bare[8] = "b.TIF";
    name = SdkFile::ExtractFileName(bare, nullptr);
    EXPECT_STREQ(name, "b.TIF");
    EXPECT_STREQ(bare, "");
    delete[] name;

    EXPECT_EQ(SdkFile::NameIfExtension("/a/b.ZYR", "zyr", nullptr), VQ_ERR_BAD_HANDLE);
    EXPECT_EQ(SdkFile::NameIfExtension("/a/b.ZYR", "zyr", out), 0u);
    EXPECT_STREQ(out, "b.ZYR");
    EXPECT_EQ(SdkFile::NameIfExtension("/a/b.ZYR.wav", "zyr", out), 0u);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(SdkFile::NameIfExtension("/a/zyr", "zyr", out), 0u);
    EXPECT_STREQ(out, "");

    char strip1[SdkFile::kPathSize] = "/a.b/c";
    SdkStripFileName(strip1);
    EXPECT_STREQ(strip1, "/a.b");
    char strip2[SdkFile::kPathSize] = "/a/b/c";
    SdkStripFileName(strip2);
    EXPECT_STREQ(strip2, "/a/b/c");
}

TEST(SdkFile, DirectoriesAndDeletion) {
    TempFolder dir;
    uint32_t isDir = 7;
    EXPECT_EQ(SdkIsDirectory(dir.path().c_str(), &isDir), 0u);
    EXPECT_EQ(isDir, 1u);
    const std::string p = dir.write("f.bin", "x");
    EXPECT_EQ(SdkIsDirectory(p.c_str(), &isDir), 0u);
    EXPECT_EQ(isDir, 0u);
    EXPECT_EQ(SdkIsDirectory(dir.file("none").c_str(), &isDir), 2u);
    EXPECT_EQ(isDir, 0u);

    const std::string folder = dir.path().string() + "/";
    EXPECT_EQ(SdkFile::DeleteFile(folder.c_str(), "f.bin"), 0u);
    EXPECT_FALSE(std::filesystem::exists(p));
    EXPECT_EQ(SdkFile::DeleteFile(folder.c_str(), "f.bin"), 2u);
    EXPECT_EQ(SdkFile::DeleteFile((folder + "nodir/").c_str(), "f.bin"), 3u);
}

TEST(SdkFile, CopyWithRetryCountsItsRetries) {
    TempFolder dir;
    const std::string src = dir.write("src.bin", "payload");
    SdkTakeCopyRetryCount();

    EXPECT_EQ(SdkFile::CopyFileWithRetry(src.c_str(), dir.file("nodir/dst.bin").c_str()), 3u);
    EXPECT_EQ(SdkTakeCopyRetryCount(), 21u);
    EXPECT_EQ(SdkTakeCopyRetryCount(), 0u);

    EXPECT_EQ(SdkFile::CopyFileWithRetry(src.c_str(), dir.file("dst.bin").c_str()), 0u);
    EXPECT_EQ(readAll(dir.file("dst.bin")), "payload");
    EXPECT_EQ(SdkFile::CopyFileWithRetry(src.c_str(), dir.file("dst.bin").c_str()), 80u);
    EXPECT_EQ(SdkFile::CopyFileWithRetry(dir.file("none").c_str(), dir.file("d2.bin").c_str()), 2u);
    EXPECT_FALSE(std::filesystem::exists(dir.file("d2.bin")));
    EXPECT_EQ(SdkTakeCopyRetryCount(), 0u);
}

TEST(SdkFile, TimesAndStamps) {
    TempFolder dir;
    SdkFile f;
    ASSERT_EQ(f.Open(dir.file("t.bin").c_str(), SdkFile::kCreateNew), 0u);
    const uint16_t date = uint16_t((2001 - 1980) * 512 + 3 * 32 + 1);
    const uint16_t time = uint16_t(12 * 2048 + 30 * 32 + 10 / 2);
    EXPECT_EQ(f.SetTimes(date, time), 0u);
    EXPECT_EQ(f.SetTimes(0, 0), 87u) << "day 0 is no date";
    f.Close();
    struct stat st;
    ASSERT_EQ(stat(dir.file("t.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 983449810); // 2001-03-01 12:30:10 UTC

    uint16_t d = 1, t = 1;
    timespec ts{};
    ts.tv_sec = 983449810;
    const uint64_t ft = SdkFile::FileTimeFromTimespec(ts);
    SdkFile::FileTimeToDos(uint32_t(ft), uint32_t(ft >> 32), &d, &t);
    EXPECT_EQ(d, date);
    EXPECT_EQ(t, time);
    SdkFile::FileTimeToDos(0, 0, &d, &t); // 1601: no DOS stamp
    EXPECT_EQ(d, 0);
    EXPECT_EQ(t, 0);

    // Copied files carry the unified stamp of the source as their write time.
    const std::string src = dir.file("t.bin");
    EXPECT_EQ(SdkFile::CopyFileWithRetry(src.c_str(), dir.file("c.bin").c_str()), 0u);
    ASSERT_EQ(stat(dir.file("c.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 983449810);
}
