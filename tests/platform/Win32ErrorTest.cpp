#include "TempFolder.h"
#include "Win32Error.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace lumora;

TEST(Win32Error, ErrnoTable) {
    const struct { int err; uint32_t win; } cases[] = {
        {0, 0}, {ENOENT, 2}, {ENOTDIR, 3}, {EACCES, 5}, {EPERM, 5}, {EISDIR, 5}, {EEXIST, 80},
        {EINVAL, 87}, {ENOSPC, 112}, {ENOMEM, 8}, {EBADF, 6}, {ENAMETOOLONG, 206}, {EMFILE, 4},
        {ETXTBSY, 32}, {EXDEV, 17}, {ENOTEMPTY, 145},
    };
    for (const auto& c : cases) EXPECT_EQ(win32::fromErrno(c.err), c.win) << "errno " << c.err;
    // An errno without a counterpart must still be a failure.
    EXPECT_EQ(win32::fromErrno(EPROTO), win32::ERROR_GEN_FAILURE);
}

TEST(Win32Error, MissingFileAndMissingFolderDiffer) {
    test::TempFolder dir;
    EXPECT_EQ(win32::fromErrnoForPath(ENOENT, dir.file("none.zyr")), win32::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(win32::fromErrnoForPath(ENOENT, dir.file("nodir/none.zyr")), win32::ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(win32::fromErrnoForPath(EACCES, dir.file("nodir/none.zyr")), win32::ERROR_ACCESS_DENIED);
}
