// The single-file camera: what it makes of a path, its one entry, reading and
// writing that file; and the image it opens.
#include "FileCamera.h"
#include "SdkFile.h"
#include "SdkImageBase.h"
#include "VqSession.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace lumora::vq;

TEST(FileCamera, OpenFileSplitsThePathAndListsTheFile) {
    lumora::test::TempFolder dir;
    WriteFile(dir, "x.tif", {1, 2, 3, 4, 5});
    struct Case {
        std::string path;
        uint32_t status;
    };
    const Case cases[] = {
        {"", VQ_ERR_BAD_IMAGE_PATH},
        {"x.tif", VQ_ERR_BAD_IMAGE_PATH},
        {dir.path().string() + "/", VQ_ERR_BAD_IMAGE_PATH},
        {(dir.path() / "missing" / "x.tif").string(), 3},
        {(dir.path() / "y.tif").string(), 2},
    };
    for (const Case& c : cases) {
        FileCamera camera;
        ImageInfoRecord info = EmptyRecord();
        EXPECT_EQ(camera.OpenFile(&camera.record(), c.path.c_str(), &info), c.status) << c.path;
        EXPECT_EQ(FolderCamera::Count(camera.imageList()), 0u) << c.path;
        EXPECT_EQ(info.imageIndex, 0) << c.path;
        camera.Close();
    }

    FileCamera camera;
    EXPECT_EQ(camera.record().cameraKind, VQ_CAMERA_KIND_FILE);
    ImageInfoRecord info = EmptyRecord();
    const std::string path = (dir.path() / "x.tif").string();
    ASSERT_EQ(camera.OpenFile(&camera.record(), path.c_str(), &info), 0u);
    EXPECT_EQ(std::string(camera.record().folder), dir.path().string() + "/");
    EXPECT_EQ(std::string(camera.folderPath()), dir.path().string() + "/");
    EXPECT_TRUE(camera.IsOpen());
    EXPECT_EQ(info.imageIndex, 1);
    ASSERT_EQ(FolderCamera::Count(camera.imageList()), 1u);
    DirectoryEntry e;
    ASSERT_TRUE(FolderCamera::GetAt(camera.imageList(), 1, e));
    EXPECT_STREQ(e.name, "x.tif");
    EXPECT_EQ(e.kind, 0u);
    EXPECT_EQ(e.size, 5u);
    EXPECT_EQ(e.present, 1);
    EXPECT_EQ(e.createdDate, e.writtenDate);
    EXPECT_EQ(e.createdTime, e.writtenTime);
    EXPECT_EQ(camera.GetMemoryUsage(), 1068 + 328);
    camera.Close();
}

TEST(FileCamera, ReadsKeepTheFileOpenUnlessToldNotTo) {
    lumora::test::TempFolder dir;
    WriteFile(dir, "x.tif", {10, 11, 12, 13, 14, 15});
    FileCamera camera;
    ImageInfoRecord info = EmptyRecord();
    ASSERT_EQ(camera.OpenFile(&camera.record(), (dir.path() / "x.tif").c_str(), &info), 0u);
    uint8_t buffer[4] = {};
    ASSERT_EQ(camera.ReadImageBytes(0, 2, buffer, 0, 3, 0), 0u);
    EXPECT_EQ(buffer[0], 13);
    DirectoryEntry e;
    ASSERT_TRUE(FolderCamera::GetAt(camera.imageList(), 1, e));
    SdkFile* kept = e.file;
    ASSERT_NE(kept, nullptr);
    ASSERT_EQ(camera.ReadImageBytes(0, 2, buffer, 0, 0, 0), 0u);
    EXPECT_EQ(buffer[1], 11);
    ASSERT_TRUE(FolderCamera::GetAt(camera.imageList(), 1, e));
    EXPECT_EQ(e.file, kept);

    // Past the end: the read fails, the rest is zeros and the file is let go.
    std::memset(buffer, 0x77, sizeof buffer);
    EXPECT_EQ(camera.ReadImageBytes(0, 4, buffer, 0, 4, 0), 38u);
    EXPECT_EQ(buffer[0], 14);
    EXPECT_EQ(buffer[2], 0);
    ASSERT_TRUE(FolderCamera::GetAt(camera.imageList(), 1, e));
    EXPECT_EQ(e.file, nullptr);

    camera.setCloseFilesAfterRead(1);
    ASSERT_EQ(camera.ReadImageBytes(0, 1, buffer, 0, 5, 0), 0u);
    EXPECT_EQ(buffer[0], 15);
    ASSERT_TRUE(FolderCamera::GetAt(camera.imageList(), 1, e));
    EXPECT_EQ(e.file, nullptr);
    EXPECT_EQ(camera.ReadImageBytes(1, 1, buffer, 0, 0, 0), VQ_ERR_ENTRY_NOT_FOUND);
    camera.Close();
}

TEST(FileCamera, WritingKeepsTheRecordedStamp) {
    lumora::test::TempFolder dir;
    const std::string path = WriteFile(dir, "x.tif", {1, 2, 3, 4});
    const timespec old[2] = {{1715940000, 0}, {1715940000, 0}};  // 2024-05-17 10:00:00 UTC
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
    FileCamera camera;
    ImageInfoRecord info = EmptyRecord();
    ASSERT_EQ(camera.OpenFile(&camera.record(), path.c_str(), &info), 0u);
    uint8_t buffer[2];
    ASSERT_EQ(camera.ReadImageBytes(0, 2, buffer, 0, 0, 0), 0u);  // leaves the file open
    const uint8_t patch[2] = {9, 9};
    ASSERT_EQ(camera.WriteImageBytes(0, 2, patch, 1, 0), 0u);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1715940000);
    EXPECT_EQ(st.st_size, 4);
    uint8_t all[4];
    ASSERT_EQ(camera.ReadImageBytes(0, 4, all, 0, 0, 0), 0u);
    EXPECT_EQ(all[0], 1);
    EXPECT_EQ(all[1], 9);
    EXPECT_EQ(all[2], 9);
    EXPECT_EQ(all[3], 4);
    camera.Close();
}

TEST(FileCamera, ItsImageHasNoSoundsAndTheRecordIsTheImagesInfo) {
    lumora::test::TempFolder dir;
    ZyrSampleOptions o;
    o.model = "ZYNM06";
    const std::string path = WriteFile(dir, "x.zyr", ZyrSample::Make(o));
    WriteFile(dir, "x.wav", {1, 2});
    VqSession session;
    ImageInfoRecord info = EmptyRecord();
    ASSERT_EQ(VqOpenImageFile(path.c_str(), &info), 0u);
    EXPECT_EQ(info.soundInfo, 0);
    SdkImage* image = Driver().images->Find(info.handle);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->IsValid());
    ImageInfoRecord own = EmptyRecord();
    image->GetInfo(&own);
    EXPECT_EQ(own.handle, info.handle);
    EXPECT_EQ(std::memcmp(&own, &info, offsetof(ImageInfoRecord, geometry)), 0);
    EXPECT_EQ(own.modelId, info.modelId);
    EXPECT_EQ(own.flags, info.flags);
    EXPECT_EQ(image->GetObjectSize(), 4108);
    EXPECT_EQ(VqGetSoundInfo(&info, 0, nullptr), VQ_ERR_BAD_HANDLE);
    EXPECT_EQ(VqCloseImage(&info), 0u);
}

TEST(SdkImageBaseGeometry, TinyWindowsStillGiveAStripHeight) {
    struct Sized : SdkImageBase {
        Sized(int16_t height) : SdkImageBase(nullptr, nullptr) {
            fullWidth_ = 64;
            fullHeight_ = 48;
            outputWindow_ = {6, 6, 10, height};
        }
    };
    struct Case {
        int16_t height;
        int32_t rows;
    };
    // 6 rows unless a larger even height divides the window or leaves at
    // least 6 rows for the last strip.
    const Case cases[] = {{0, 6}, {1, 6}, {5, 6}, {6, 6}, {7, 8}, {12, 6}, {13, 14}, {22, 8}, {26, 10}};
    for (const Case& c : cases) {
        Sized image(c.height);
        ImageGeometry g{};
        EXPECT_EQ(image.GetGeometry(&g), 0u);
        EXPECT_EQ(g.outputHeight, c.height);
        EXPECT_EQ(g.stripBytes, 10 * 3 * c.rows) << c.height;
    }
}
