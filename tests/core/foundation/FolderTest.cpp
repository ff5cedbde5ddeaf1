#include "CoreTestSupport.h"
#include "FileShare.h"
#include "Folder.h"
#include "NbErrorCodes.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace NimbalCore;
using coretest::CodeOf;

namespace {

std::vector<std::string> Names(const std::vector<FilePathSpec>& list) {
    std::vector<std::string> names;
    for (const FilePathSpec& p : list) names.push_back(p.GetFileName());
    return names;
}

bool LeasesWork(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    const bool ok = fcntl(fd, F_SETLEASE, F_RDLCK) == 0;
    if (ok) fcntl(fd, F_SETLEASE, F_UNLCK);
    close(fd);
    return ok;
}

// A child process that holds a file open for writing until released.
class Writer {
public:
    explicit Writer(const std::string& path) {
        if (pipe(ready_) != 0 || pipe(release_) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            const int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0644);
            char c = fd >= 0 ? 'y' : 'n';
            (void)!write(ready_[1], &c, 1);
            (void)!read(release_[0], &c, 1);
            _exit(0);
        }
        char c = 0;
        ok_ = read(ready_[0], &c, 1) == 1 && c == 'y';
    }
    void Release() {
        if (pid_ <= 0) return;
        (void)!write(release_[1], "x", 1);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }
    ~Writer() {
        Release();
        for (int fd : {ready_[0], ready_[1], release_[0], release_[1]}) close(fd);
    }
    bool ok() const { return ok_; }

private:
    int ready_[2] = {-1, -1}, release_[2] = {-1, -1};
    pid_t pid_ = -1;
    bool ok_ = false;
};

} // namespace

TEST(FolderTest, ListsEverythingSorted) {
    lumora::test::TempFolder tmp;
    for (const char* name : {"b.zyr", "A.zyr", "c.JPG", ".hidden", "a.tif"}) tmp.write(name, "x");
    mkdir(tmp.file("Sub").c_str(), 0755);
    const std::vector<std::string> expected = {".hidden", "a.tif", "A.zyr", "b.zyr", "c.JPG", "Sub"};
    EXPECT_EQ(Names(Folder(FilePathSpec(tmp.path())).FolderList()), expected);
    EXPECT_EQ(Names(Folder(FilePathSpec(tmp.path().string() + "/")).FolderList()), expected);
    EXPECT_EQ(Folder(FilePathSpec(tmp.path().string() + "/")).FolderList()[0].GetPath(), tmp.file(".hidden"));
    EXPECT_EQ(CodeOf([&] { Folder(FilePathSpec(tmp.file("gone"))).FolderList(); }), NbErrFolderListFailed);
    EXPECT_EQ(CodeOf([&] { Folder(FilePathSpec(tmp.file("gone"))).FolderDate(); }), NbErrFolderListFailed);
    EXPECT_EQ(CodeOf([&] { Folder(FilePathSpec(tmp.file("gone"))).BuildFileList(); }), NbErrPathStatFailed);
    EXPECT_EQ(CodeOf([&] { Folder(FilePathSpec(tmp.file("b.zyr"))).BuildFileList(); }), NbErrNotAFolder);
    EXPECT_EQ(CodeOf([&] { Folder(FilePathSpec(tmp.file("b.zyr"))).IsModified(); }), NbErrNotAFolder);
    std::vector<FilePathSpec> a, r;
    EXPECT_EQ(CodeOf([&] { Folder(FilePathSpec(tmp.file("gone"))).GetChanges(a, r); }), NbErrPathStatFailed);
}

TEST(FolderTest, ReportsAddedAndRemovedOnce) {
    lumora::test::TempFolder tmp;
    tmp.write("one.zyr", "1");
    tmp.write("two.zyr", "2");
    Folder folder{FilePathSpec(tmp.path())};
    folder.BuildFileList();
    EXPECT_EQ(folder.GetDate().tv_sec, Folder(FilePathSpec(tmp.path())).FolderDate().tv_sec);
    EXPECT_FALSE(folder.IsModified());
    std::vector<FilePathSpec> added{FilePathSpec("stale")}, removed{FilePathSpec("stale")};
    EXPECT_FALSE(folder.GetChanges(added, removed));
    EXPECT_TRUE(added.empty());
    EXPECT_TRUE(removed.empty());

    tmp.write("three.zyr", "3");
    tmp.write("Four.zyr", "4");
    unlink(tmp.file("one.zyr").c_str());
    EXPECT_TRUE(folder.IsModified());
    EXPECT_TRUE(folder.GetChanges(added, removed));
    EXPECT_EQ(Names(added), (std::vector<std::string>{"Four.zyr", "three.zyr"}));
    EXPECT_EQ(Names(removed), (std::vector<std::string>{"one.zyr"}));
    EXPECT_FALSE(folder.IsModified());
    EXPECT_EQ(Names(folder.GetFileList()), (std::vector<std::string>{"Four.zyr", "three.zyr", "two.zyr"}));

    // An unchanged folder reports nothing, however often it is scanned.
    for (int i = 0; i < 100; ++i) {
        ASSERT_FALSE(folder.GetChanges(added, removed)) << "scan " << i;
        ASSERT_TRUE(added.empty() && removed.empty());
    }
}

TEST(FolderTest, LetterCaseRenamesAreNoChange) {
    lumora::test::TempFolder tmp;
    tmp.write("shot.zyr", "1");
    Folder folder{FilePathSpec(tmp.path())};
    folder.BuildFileList();
    ASSERT_EQ(rename(tmp.file("shot.zyr").c_str(), tmp.file("SHOT.ZYR").c_str()), 0);
    std::vector<FilePathSpec> added, removed;
    folder.GetChanges(added, removed);
    EXPECT_TRUE(added.empty());
    EXPECT_TRUE(removed.empty());
    // A second name that differs only in case counts as the same file.
    tmp.write("shot.zyr", "2");
    folder.GetChanges(added, removed);
    EXPECT_TRUE(added.empty());
    EXPECT_TRUE(removed.empty());
    EXPECT_FALSE(folder.GetChanges(added, removed));
}

TEST(FolderTest, FilesBeingWrittenWaitUntilClosed) {
    lumora::test::TempFolder tmp;
    Folder folder{FilePathSpec(tmp.path())};
    folder.BuildFileList();
    const std::string probe = tmp.write("probe", "x");
    const bool leases = LeasesWork(probe);
    unlink(probe.c_str());
    std::vector<FilePathSpec> added, removed;
    folder.GetChanges(added, removed);

    tmp.write("a-copying.zyr", "partial");
    tmp.write("b-done.zyr", "whole");
    uint32_t error = 0;
    // One file held by an exclusive open of ours, one by another writer.
    const int fd = lumora::FileShare::open(tmp.file("a-copying.zyr"), lumora::FileShare::Write,
                                           lumora::FileShare::ShareNone, lumora::FileShare::Creation::OpenExisting,
                                           error);
    ASSERT_GE(fd, 0);
    Writer writer(tmp.file("c-writing.zyr"));
    ASSERT_TRUE(writer.ok());
    folder.GetChanges(added, removed);
    if (leases) {
        EXPECT_EQ(Names(added), (std::vector<std::string>{"b-done.zyr"}));
    } else {
        EXPECT_EQ(Names(added), (std::vector<std::string>{"b-done.zyr", "c-writing.zyr"}));
    }
    folder.GetChanges(added, removed);
    EXPECT_TRUE(added.empty());

    // A file the program itself has open as an image is not held back.
    Folder::SetPooledTest([](const FilePathSpec& p) { return p.GetFileName() == "a-copying.zyr"; });
    folder.GetChanges(added, removed);
    Folder::SetPooledTest(nullptr);
    EXPECT_EQ(Names(added), (std::vector<std::string>{"a-copying.zyr"}));

    close(fd);
    writer.Release();
    folder.GetChanges(added, removed);
    if (leases) {
        EXPECT_EQ(Names(added), (std::vector<std::string>{"c-writing.zyr"}));
    }
    EXPECT_TRUE(removed.empty());
    EXPECT_FALSE(folder.GetChanges(added, removed));
}

TEST(FolderTest, CreateAndRemove) {
    lumora::test::TempFolder tmp;
    Folder made{FilePathSpec(tmp.file("new"))};
    EXPECT_TRUE(made.Create());
    EXPECT_TRUE(made.Create()); // already there
    EXPECT_TRUE(made.Remove());
    EXPECT_FALSE(made.Remove());
    EXPECT_FALSE(Folder(FilePathSpec(tmp.file("no/such/parent"))).Create());
    EXPECT_EQ(CodeOf([] { Folder().Create(); }), NbErrFolderNoPath);
    EXPECT_EQ(CodeOf([] { Folder().Remove(); }), NbErrFolderNoPath);
    Folder f;
    EXPECT_EQ(f.GetOption(), 1);
    f.SetOption(0);
    EXPECT_EQ(f.GetOption(), 0);
}
