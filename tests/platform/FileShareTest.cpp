#include "FileShare.h"
#include "FileTimes.h"
#include "TempFolder.h"
#include "Win32Error.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace lumora;
using FS = FileShare;

namespace {
int openFile(const std::string& p, uint32_t access, uint32_t share, FS::Creation c, uint32_t& err) {
    return FS::open(p, access, share, c, err);
}
} // namespace

TEST(FileShare, CreationDispositionsAndTheirErrors) {
    test::TempFolder dir;
    const std::string existing = dir.write("x.bin", "12345");
    uint32_t err = 0;
    EXPECT_EQ(openFile(existing, FS::Write, FS::ShareRead, FS::Creation::CreateNew, err), -1);
    EXPECT_EQ(err, win32::ERROR_FILE_EXISTS);
    EXPECT_EQ(openFile(dir.file("none"), FS::Read, FS::ShareRead, FS::Creation::OpenExisting, err), -1);
    EXPECT_EQ(err, win32::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(openFile(dir.file("nodir/x"), FS::Write, FS::ShareRead, FS::Creation::CreateNew, err), -1);
    EXPECT_EQ(err, win32::ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(openFile(dir.path(), FS::Read, FS::ShareRead, FS::Creation::OpenExisting, err), -1);
    EXPECT_EQ(err, win32::ERROR_ACCESS_DENIED);

    int fd = openFile(existing, FS::Write, FS::ShareRead, FS::Creation::OpenAlways, err);
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_EQ(std::filesystem::file_size(existing), 5u) << "OpenAlways keeps the bytes";
    fd = openFile(existing, FS::Write, FS::ShareRead, FS::Creation::CreateAlways, err);
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_EQ(std::filesystem::file_size(existing), 0u);
}

TEST(FileShare, ClashingOpensAreSharingViolations) {
    test::TempFolder dir;
    const std::string p = dir.write("x.bin", "12345");
    uint32_t err = 0;
    const int r1 = openFile(p, FS::Read, FS::ShareRead, FS::Creation::OpenExisting, err);
    const int r2 = openFile(p, FS::Read, FS::ShareRead, FS::Creation::OpenExisting, err);
    ASSERT_GE(r1, 0);
    ASSERT_GE(r2, 0) << "readers that share reading get along";
    // A writer while readers hold the file; CreateAlways must not cut it.
    EXPECT_EQ(openFile(p, FS::Write, FS::ShareRead, FS::Creation::CreateAlways, err), -1);
    EXPECT_EQ(err, win32::ERROR_SHARING_VIOLATION);
    EXPECT_EQ(std::filesystem::file_size(p), 5u);
    // A reader that shares nothing cannot come in either.
    EXPECT_EQ(openFile(p, FS::Read, FS::ShareNone, FS::Creation::OpenExisting, err), -1);
    EXPECT_EQ(err, win32::ERROR_SHARING_VIOLATION);
    close(r1);
    close(r2);

    const int w = openFile(p, FS::Write, FS::ShareRead, FS::Creation::OpenExisting, err);
    ASSERT_GE(w, 0);
    EXPECT_EQ(openFile(p, FS::Read, FS::ShareRead, FS::Creation::OpenExisting, err), -1);
    EXPECT_EQ(err, win32::ERROR_SHARING_VIOLATION);
    close(w);
    const int again = openFile(p, FS::Read, FS::ShareNone, FS::Creation::OpenExisting, err);
    EXPECT_GE(again, 0) << "closing releases the share lock";
    close(again);
}

TEST(FileTimes, CreationTimeIsBirthOrModification) {
    test::TempFolder dir;
    const std::string p = dir.write("t.bin", "x");
    FileTimes::Times t;
    uint32_t err = 1;
    ASSERT_TRUE(FileTimes::get(p, t, err));
    EXPECT_EQ(err, 0u);
    const time_t now = time(nullptr);
    EXPECT_LE(std::llabs(int64_t(t.creation.tv_sec) - int64_t(now)), 60);
    if (!t.creationIsBirth) {
        EXPECT_EQ(t.creation.tv_sec, t.lastWrite.tv_sec);
    }

    uint32_t e2 = 0;
    const int fd = FileShare::open(p, FS::Write, FS::ShareRead, FS::Creation::OpenExisting, e2);
    ASSERT_GE(fd, 0);
    timespec stamp{};
    stamp.tv_sec = 983404800; // 2001-03-01 00:00:00 UTC
    ASSERT_TRUE(FileTimes::set(fd, stamp, stamp, err));
    ASSERT_TRUE(FileTimes::get(fd, t, err));
    EXPECT_EQ(t.lastWrite.tv_sec, 983404800);
    close(fd);

    EXPECT_FALSE(FileTimes::get(dir.file("nodir/x"), t, err));
    EXPECT_EQ(err, win32::ERROR_PATH_NOT_FOUND);
}
