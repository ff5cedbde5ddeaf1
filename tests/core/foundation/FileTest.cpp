#include "CoreTestSupport.h"
#include "File.h"
#include "FileShare.h"
#include "NbErrorCodes.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace NimbalCore;
using coretest::CodeOf;
using coretest::ReadAll;

TEST(FileTest, ModeStrings) {
    const char* expected[] = {"r", "w", "a", "r+", "w+", "a+", "rb", "wb", "ab", "r+b", "w+b", "a+b"};
    for (int m = 0; m < 12; ++m) EXPECT_STREQ(File::GetModeString(m), expected[m]);
    EXPECT_STREQ(File::GetModeString(12), " ");
    EXPECT_STREQ(File::GetModeString(-1), " ");
}

TEST(FileTest, ReadWriteSeekAndTheirCodes) {
    lumora::test::TempFolder tmp;
    File f(FilePathSpec(tmp.file("data.bin")));
    char buf[8] = {};
    EXPECT_EQ(CodeOf([&] { f.Read(buf, 1, 1); }), NbErrFileNotOpen);
    EXPECT_EQ(CodeOf([&] { f.Write(buf, 1, 1); }), NbErrFileNotOpen);
    EXPECT_EQ(CodeOf([&] { f.Seek(0, 0); }), NbErrFileNotOpen);
    EXPECT_EQ(CodeOf([&] { f.Open(File::ReadBinary); }), NbErrFileOpenFailed); // not there yet
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(CodeOf([&] { f.Open(42); }), NbErrFileOpenFailed);

    f.Open(File::WriteUpdateBinary);
    f.Open(File::ReadBinary); // already open: nothing
    EXPECT_EQ(f.Write("abcdef", 1, 6), 6u);
    EXPECT_EQ(f.GetPosition(), 6);
    f.Seek(-2, 2);
    EXPECT_EQ(f.GetPosition(), 4);
    f.Seek(1, 0);
    f.Seek(1, 1);
    EXPECT_EQ(f.ReadExactly(buf, 2, 2), 2u);
    EXPECT_EQ(std::string(buf, 4), "cdef");
    EXPECT_FALSE(f.IsEOF());
    EXPECT_EQ(f.Read(buf, 1, 4), 0u);
    EXPECT_TRUE(f.IsEOF());
    f.Seek(4, 0);
    EXPECT_EQ(CodeOf([&] { f.ReadExactly(buf, 1, 3); }), NbErrFileReadFailed);
    EXPECT_EQ(CodeOf([&] { f.Seek(-100, 0); }), NbErrFileSeekFailed);
    f.Close();
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.GetSize(), 6);
    EXPECT_EQ(File(FilePathSpec(tmp.file("none"))).GetSize(), -1);

    File ro(FilePathSpec(tmp.file("data.bin")));
    ro.Open(File::ReadBinary);
    EXPECT_EQ(CodeOf([&] { ro.Write("x", 1, 1); }), NbErrFileWriteFailed);

    // Reads at a position leave the stream where it was.
    ro.Seek(1, 0);
    EXPECT_EQ(ro.ReadExactlyAt(3, buf, 3), 3u);
    EXPECT_EQ(std::string(buf, 3), "def");
    EXPECT_EQ(ro.GetPosition(), 1);
    EXPECT_EQ(ro.ReadExactly(buf, 1, 1), 1u);
    EXPECT_EQ(buf[0], 'b');
    EXPECT_EQ(CodeOf([&] { ro.ReadExactlyAt(4, buf, 3); }), NbErrFileReadFailed); // past the end
    EXPECT_EQ(CodeOf([&] { ro.ReadExactlyAt(-1, buf, 1); }), NbErrFileReadFailed);
    ro.Close();
    EXPECT_EQ(CodeOf([&] { ro.ReadExactlyAt(0, buf, 1); }), NbErrFileNotOpen);
}

TEST(FileTest, DeleteAttributesAndSpace) {
    lumora::test::TempFolder tmp;
    const std::string path = tmp.write("a.zyr", "abc");
    File f{FilePathSpec(path)};
    EXPECT_TRUE(f.HasFreeSpace(1));
    EXPECT_FALSE(f.HasFreeSpace(~uint64_t(0)));
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    f.MakeWritable();
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IWUSR);
    EXPECT_FALSE(f.IsReadOnly());
    EXPECT_TRUE(File(FilePathSpec(tmp.file("missing"))).IsReadOnly());
    EXPECT_EQ(CodeOf([&] { File(FilePathSpec(tmp.file("missing"))).MakeWritable(); }), NbErrGetAttributesFailed);
    f.Open(File::ReadBinary);
    f.Delete(); // closes first
    EXPECT_FALSE(f.IsOpen());
    EXPECT_FALSE(FilePathSpec(path).Exists());
    EXPECT_EQ(CodeOf([&] { f.Delete(); }), NbErrFileDeleteFailed);
}

TEST(FileTest, CopyKeepsAnExistingTargetWhenAsked) {
    lumora::test::TempFolder tmp;
    const std::string src = tmp.write("src.zyr", "source bytes");
    const std::string dst = tmp.write("dst.zyr", "target bytes");
    File f{FilePathSpec(src)};
    EXPECT_EQ(CodeOf([&] { f.Copy(FilePathSpec(dst), true); }), NbErrFileCopyFailed);
    EXPECT_EQ(ReadAll(dst), "target bytes");
    File copy = f.Copy(FilePathSpec(dst), false);
    EXPECT_FALSE(copy.IsOpen());
    EXPECT_EQ(copy.GetPathSpec()->GetPath(), dst);
    EXPECT_EQ(ReadAll(dst), "source bytes");
    f.Copy(FilePathSpec(tmp.file("new.zyr")), true);
    EXPECT_EQ(ReadAll(tmp.file("new.zyr")), "source bytes");
    // Onto itself (another letter case is another file here) nothing is cut.
    EXPECT_EQ(CodeOf([&] { f.Copy(FilePathSpec(src), false); }), NbErrFileCopyFailed);
    EXPECT_EQ(ReadAll(src), "source bytes");
    EXPECT_EQ(CodeOf([&] { File(FilePathSpec(tmp.file("missing"))).Copy(FilePathSpec(tmp.file("m2")), false); }),
              NbErrFileCopyFailed);
    EXPECT_FALSE(FilePathSpec(tmp.file("m2")).Exists());
}

TEST(FileTest, RenameStaysInItsFolderAndNeverReplaces) {
    lumora::test::TempFolder tmp;
    mkdir(tmp.file("sub").c_str(), 0755);
    const std::string a = tmp.write("a.zyr", "AAAA");
    const std::string b = tmp.write("b.zyr", "BBBB");
    File f{FilePathSpec(a)};
    EXPECT_EQ(CodeOf([&] { f.Rename(FilePathSpec(tmp.file("sub/a.zyr"))); }), NbErrRenameFailed);
    EXPECT_EQ(CodeOf([&] { f.Rename(FilePathSpec(b)); }), NbErrRenameTargetExists);
    EXPECT_EQ(ReadAll(a), "AAAA");
    EXPECT_EQ(ReadAll(b), "BBBB");
    f.Open(File::ReadBinary);
    EXPECT_EQ(CodeOf([&] { f.Rename(FilePathSpec(tmp.file("c.zyr"))); }), NbErrRenameWhileOpen);
    f.Close();
    f.Rename(FilePathSpec(tmp.file("c.zyr")));
    EXPECT_EQ(f.GetPathSpec()->GetPath(), tmp.file("c.zyr"));
    EXPECT_EQ(ReadAll(tmp.file("c.zyr")), "AAAA");
    EXPECT_FALSE(FilePathSpec(a).Exists());
    // Only the letter case changes.
    f.Rename(FilePathSpec(tmp.file("C.ZYR")));
    EXPECT_EQ(ReadAll(tmp.file("C.ZYR")), "AAAA");
    EXPECT_EQ(CodeOf([&] { File(FilePathSpec(tmp.file("gone"))).Rename(FilePathSpec(tmp.file("g2"))); }),
              NbErrRenameFailed);
}

TEST(FileTest, MoveNeverReplaces) {
    lumora::test::TempFolder tmp;
    mkdir(tmp.file("sub").c_str(), 0755);
    const std::string a = tmp.write("a.zyr", "AAAA");
    const std::string b = tmp.write("sub/b.zyr", "BBBB");
    File f{FilePathSpec(a)};
    EXPECT_EQ(CodeOf([&] { f.Move(FilePathSpec(tmp.file("A.ZYR"))); }), NbErrMoveOntoItself);
    EXPECT_EQ(CodeOf([&] { f.Move(FilePathSpec(b)); }), NbErrMoveTargetExists);
    EXPECT_EQ(ReadAll(b), "BBBB");
    EXPECT_EQ(ReadAll(a), "AAAA");
    f.Open(File::ReadBinary);
    EXPECT_EQ(CodeOf([&] { f.Move(FilePathSpec(tmp.file("sub/c.zyr"))); }), NbErrMoveWhileOpen);
    f.Close();
    f.Move(FilePathSpec(tmp.file("sub/c.zyr")));
    EXPECT_EQ(ReadAll(tmp.file("sub/c.zyr")), "AAAA");
    EXPECT_FALSE(FilePathSpec(a).Exists());
    EXPECT_EQ(CodeOf([&] { File(FilePathSpec(tmp.file("gone"))).Move(FilePathSpec(tmp.file("g2"))); }),
              NbErrMoveFailed);
}

TEST(FileTest, MoveAcrossFileSystemsKeepsTheBytes) {
    // /dev/shm is a file system of its own on most machines.
    lumora::test::TempFolder tmp;
    struct stat a, b;
    if (stat("/dev/shm", &b) != 0 || stat(tmp.path().c_str(), &a) != 0 || a.st_dev == b.st_dev ||
        access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "no second file system to move to";
    std::string other = "/dev/shm/lumora-move-XXXXXX";
    ASSERT_NE(mkdtemp(other.data()), nullptr);
    std::string bytes(300000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7);
    const std::string src = tmp.write("big.zyr", bytes);
    chmod(src.c_str(), 0640);
    const std::string taken = other + "/taken.zyr";
    coretest::WriteAll(taken, "keep me");
    File f{FilePathSpec(src)};
    EXPECT_EQ(CodeOf([&] { f.Move(FilePathSpec(taken)); }), NbErrMoveTargetExists);
    EXPECT_EQ(ReadAll(taken), "keep me");
    EXPECT_EQ(ReadAll(src), bytes);
    f.Move(FilePathSpec(other + "/big.zyr"));
    EXPECT_EQ(ReadAll(other + "/big.zyr"), bytes);
    EXPECT_FALSE(FilePathSpec(src).Exists());
    struct stat st;
    ASSERT_EQ(stat((other + "/big.zyr").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    std::filesystem::remove_all(other);
}

TEST(FileTest, InUseByAnExclusiveOpenOfOurs) {
    lumora::test::TempFolder tmp;
    const std::string path = tmp.write("held.zyr", "x");
    File f{FilePathSpec(path)};
    EXPECT_FALSE(f.IsInUse());
    uint32_t error = 0;
    const int fd = lumora::FileShare::open(path, lumora::FileShare::Read | lumora::FileShare::Write,
                                           lumora::FileShare::ShareNone, lumora::FileShare::Creation::OpenExisting,
                                           error);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(f.IsInUse());
    close(fd);
    EXPECT_FALSE(f.IsInUse());
    EXPECT_FALSE(File(FilePathSpec(tmp.file("missing"))).IsInUse());
}

TEST(FileTest, InUseWhileAnotherProcessWrites) {
    lumora::test::TempFolder tmp;
    const std::string path = tmp.write("copying.zyr", "half");
    File f{FilePathSpec(path)};
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int fd = open(path.c_str(), O_WRONLY | O_APPEND);
        char c = fd >= 0 ? 'y' : 'n';
        (void)!write(ready[1], &c, 1);
        (void)!read(release[0], &c, 1);
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    // Leases need to be permitted here (our own file on a file system that
    // keeps them); else the answer rests on the lock test alone.
    const int probe = open(path.c_str(), O_RDONLY);
    const bool leases = fcntl(probe, F_SETLEASE, F_RDLCK) == 0 || errno == EAGAIN;
    close(probe);
    if (leases) {
        EXPECT_TRUE(f.IsInUse());
    }
    (void)!write(release[1], "x", 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_FALSE(f.IsInUse());
    for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
    if (!leases) GTEST_SKIP() << "leases are not permitted here";
}
