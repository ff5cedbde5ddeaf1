#include "CoreTestSupport.h"
#include "FilePathSpec.h"
#include "NbErrorCodes.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace NimbalCore;
using coretest::CodeOf;

TEST(FilePathSpecTest, NormalisesOneTrailingSlash) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"/", "/"}, {"/photos/", "/photos"}, {"/photos//", "/photos/"}, {"/photos", "/photos"}, {"a/", "a"}, {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(FilePathSpec(c.in).GetPath(), c.out) << c.in;
    EXPECT_EQ(FilePathSpec().GetCreationTime(), 0);
    EXPECT_EQ(FilePathSpec("/no/such/file").GetCreationTime(), 0);
}

TEST(FilePathSpecTest, NamesExtensionsAndFolders) {
    struct Case {
        const char* path;
        const char* name;
        const char* extension;
        const char* folder;
    } cases[] = {
        {"/shoot/IMG_0001.ZYR", "IMG_0001.ZYR", ".ZYR", "/shoot"},
        {"/shoot/README", "README", "", "/shoot"},
        {"/shoot/archive.tar.gz", "archive.tar.gz", ".gz", "/shoot"},
        {"/a.b/name", "name", "", "/a.b"},
        {"/top.jpg", "top.jpg", ".jpg", "/"},
        {"relative.tif", "relative.tif", ".tif", ""},
        {"/", "", "", "/"},
    };
    for (const Case& c : cases) {
        const FilePathSpec p(c.path);
        EXPECT_EQ(p.GetFileName(), c.name) << c.path;
        EXPECT_EQ(p.GetExtension(), c.extension) << c.path;
        EXPECT_EQ(p.GetFolder().GetPath(), c.folder) << c.path;
    }
    EXPECT_EQ(FilePathSpec("/x/Café.zyr").GetFileNameW(), u"Café.zyr");
    EXPECT_EQ(FilePathSpec("/x/bad\xff.zyr").GetFileNameW(), u"");
}

TEST(FilePathSpecTest, SameFileAndOrderAreBlindToCase) {
    EXPECT_TRUE(FilePathSpec("/Shoot/IMG.zyr").IsSameFile(FilePathSpec("/shoot/img.ZYR")));
    EXPECT_FALSE(FilePathSpec("/shoot/a/../img.zyr").IsSameFile(FilePathSpec("/shoot/img.zyr")));
    EXPECT_TRUE(FilePathSpec("/a/apple") < FilePathSpec("/a/Banana"));
    EXPECT_FALSE(FilePathSpec("/a/APPLE") < FilePathSpec("/a/apple"));
    EXPECT_FALSE(FilePathSpec("/a/apple") < FilePathSpec("/a/APPLE"));
}

TEST(FilePathSpecTest, FolderReadOnlyAndExistence) {
    lumora::test::TempFolder tmp;
    const std::string file = tmp.write("shot.zyr", "raw");
    const FilePathSpec folder(tmp.path().string() + "/");
    EXPECT_TRUE(folder.IsFolder());
    EXPECT_FALSE(FilePathSpec(file).IsFolder());
    EXPECT_TRUE(FilePathSpec(file).Exists());
    EXPECT_NE(FilePathSpec(file).GetCreationTime(), 0);
    EXPECT_EQ(CodeOf([&] { FilePathSpec(tmp.file("gone")).IsFolder(); }), NbErrPathStatFailed);
    EXPECT_EQ(CodeOf([&] { FilePathSpec(tmp.file("gone")).IsReadOnly(); }), NbErrPathStatFailed);
    EXPECT_FALSE(FilePathSpec(tmp.file("gone")).Exists());

    EXPECT_FALSE(FilePathSpec(file).IsReadOnly());
    ASSERT_EQ(chmod(file.c_str(), 0444), 0);
    EXPECT_TRUE(FilePathSpec(file).IsReadOnly()); // the owner-write bit, whoever asks
}

TEST(FilePathSpecTest, ReadOnlyMountAnswersWithoutTheFile) {
    // A read-only mount plays the part of a disc: read-only even for a name
    // that is not there.
    std::string readOnly;
    for (const char* point : {"/sys", "/proc/sys", "/usr", "/boot"}) {
        struct statvfs vfs;
        if (statvfs(point, &vfs) == 0 && (vfs.f_flag & ST_RDONLY)) {
            readOnly = point;
            break;
        }
    }
    if (readOnly.empty()) GTEST_SKIP() << "no read-only mount on this machine";
    EXPECT_TRUE(FilePathSpec(readOnly + "/no-such-file").IsReadOnly()) << readOnly;
}

TEST(FilePathSpecTest, UpdateTimeFillsAMissingTime) {
    lumora::test::TempFolder tmp;
    FilePathSpec later(tmp.file("later.zyr"));
    EXPECT_EQ(later.GetCreationTime(), 0);
    tmp.write("later.zyr", "x");
    later.UpdateTime();
    EXPECT_NE(later.GetCreationTime(), 0);
}

TEST(FilePathSpecTest, AppendChecksLengthThenFolder) {
    lumora::test::TempFolder tmp;
    tmp.write("file.txt", "x");
    FilePathSpec folder(tmp.path());
    folder.Append("file.txt");
    EXPECT_EQ(folder.GetPath(), tmp.path().string() + "/file.txt");

    FilePathSpec root("/");
    root.Append("tmp");
    EXPECT_EQ(root.GetPath(), "/tmp");

    EXPECT_EQ(CodeOf([&] { FilePathSpec(tmp.file("gone")).Append("x"); }), NbErrPathStatFailed);
    EXPECT_EQ(CodeOf([&] { FilePathSpec(tmp.file("file.txt")).Append("x"); }), NbErrNotAFolder);
    const std::string longFolder = "/" + std::string(254, 'd'); // 255 characters, not there at all
    EXPECT_EQ(CodeOf([&] { FilePathSpec(longFolder).Append("0123456789"); }), NbErrPathTooLong);
    const std::string fits = tmp.path();
    FilePathSpec exact(fits);
    EXPECT_EQ(CodeOf([&] { exact.Append(std::string(FilePathSpec::kMaxPath - fits.size(), 'n')); }), 0);

    FilePathSpec wide(tmp.path());
    wide.AppendW(u"Caf\u00e9.zyr");
    EXPECT_EQ(wide.GetFileName(), "Café.zyr");
}

TEST(FilePathSpecTest, VolumesAreFileSystems) {
    lumora::test::TempFolder tmp;
    const FilePathSpec a(tmp.write("a", "1"));
    const FilePathSpec b(tmp.file("not-yet"));
    EXPECT_FALSE(a.GetVolumeName().empty());
    EXPECT_TRUE(a.IsSameVolume(b));
    EXPECT_TRUE(a.IsSameVolume(FilePathSpec(tmp.path())));
    if (FilePathSpec("/proc").Exists()) {
        EXPECT_FALSE(a.IsSameVolume(FilePathSpec("/proc/self")));
    }
}

TEST(FilePathSpecTest, TempFolderEndsWithSlash) {
    const std::string t = GetTempFolderPath();
    ASSERT_FALSE(t.empty());
    EXPECT_EQ(t.back(), '/');
    EXPECT_TRUE(FilePathSpec(t).IsFolder());
}
