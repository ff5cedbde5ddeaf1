// A folder camera over a scratch folder: its list order, what a poll notices,
// and images whose files went away.
#include "SdkImageBase.h"
#include "SdkUtilities.h"
#include "RegisteredFolderCamera.h"
#include "TestFiles.h"
#include "VqSession.h"
#include "ZyrCameraFile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <functional>
#include <filesystem>

using namespace lumora::vq;
namespace fs = std::filesystem;

namespace {

// Sets a file's last-write time to a clock time of the test day.
void Stamp(const fs::path& file, int hour, int minute = 0) { lumora::test::StampOnTestDay(file, hour, minute); }

std::vector<uint8_t> OldestModelFile() {
    ZyrSampleOptions o;
    o.model = "ZYNM07";
    return ZyrSample::Make(o);
}

VqPollRecord Poll(CameraRecord& record, uint32_t expectedStatus = 0) {
    VqPollRecord poll;
    std::memset(&poll, 0x55, sizeof poll);
    EXPECT_EQ(VqPollImages(&record, &poll), expectedStatus);
    return poll;
}

} // namespace

TEST(FolderCamera, ListsByWrittenStampThenNameAndFollowsTheFolderOnPoll) {
    lumora::test::TempFolder dir;
    const fs::path d = dir.path();
    WriteFile(dir, "a.jpg", OldestModelFile());
    WriteFile(dir, "C.tif", OldestModelFile());
    WriteFile(dir, "b.tif", OldestModelFile());
    WriteFile(dir, "notes.txt", {1, 2, 3});
    Stamp(d / "a.jpg", 10);
    Stamp(d / "b.tif", 9);
    Stamp(d / "C.tif", 9);

    VqSession session;
    RegisteredFolderCamera folder(d.string());
    ASSERT_EQ(folder.openStatus, 0u);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"b.tif", "C.tif", "a.jpg"}));
    char name[256];
    ASSERT_EQ(VqGetImageName(&folder.record, 2, name), 0u);
    EXPECT_STREQ(name, "a.jpg");
    EXPECT_EQ(VqGetImageName(&folder.record, 3, name), VQ_ERR_ENTRY_NOT_FOUND);
    EXPECT_STREQ(name, "");

    VqPollRecord poll = Poll(folder.record);
    EXPECT_EQ(poll.imageCount, 3);
    EXPECT_EQ(poll.changed, 0);
    for (int32_t w : poll.unused1) EXPECT_EQ(w, -1);
    for (int32_t w : poll.unused2) EXPECT_EQ(w, 0);

    struct Step {
        const char* what;
        std::function<void()> change;
        std::vector<std::string> names;
    };
    const Step steps[] = {
        {"added", [&] { WriteFile(dir, "d.tif", {1}), Stamp(d / "d.tif", 8); },
         {"d.tif", "b.tif", "C.tif", "a.jpg"}},
        {"renamed", [&] { fs::rename(d / "b.tif", d / "e.tif"); }, {"d.tif", "C.tif", "e.tif", "a.jpg"}},
        {"rewritten", [&] { Stamp(d / "a.jpg", 10, 30); }, {"d.tif", "C.tif", "e.tif", "a.jpg"}},
        {"removed", [&] { fs::remove(d / "d.tif"); }, {"C.tif", "e.tif", "a.jpg"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        poll = Poll(folder.record);
        EXPECT_EQ(poll.changed, 1);
        EXPECT_EQ(poll.imageCount, int32_t(step.names.size()));
        EXPECT_EQ(folder.Names(), step.names);
        poll = Poll(folder.record);
        EXPECT_EQ(poll.changed, 0);
    }
}

TEST(FolderCamera, AnOpenImageWhoseFileVanishedStaysClosable) {
    lumora::test::TempFolder dir;
    const fs::path d = dir.path();
    WriteFile(dir, "x.tif", OldestModelFile());
    WriteFile(dir, "y.tif", OldestModelFile());
    Stamp(d / "x.tif", 9);
    Stamp(d / "y.tif", 10);

    VqSession session;
    RegisteredFolderCamera folder(d.string());
    ASSERT_EQ(folder.openStatus, 0u);
    const int32_t base = VqSession::Memory();
    ImageInfoRecord x = EmptyRecord(), y = EmptyRecord();
    ASSERT_EQ(VqOpenImage(&folder.record, -1, "Y.TIF", &x), 0u);
    ASSERT_EQ(VqOpenImage(&folder.record, 0, nullptr, &y), 0u);
    EXPECT_STREQ(x.name, "y.tif");
    EXPECT_STREQ(y.name, "x.tif");
    EXPECT_EQ(VqSession::Memory(), base + 2 * 4108);

    // y.tif goes: its open image moves to the orphans and x.tif's image
    // follows its entry to its new place.
    fs::remove(d / "y.tif");
    VqPollRecord poll = Poll(folder.record);
    EXPECT_EQ(poll.changed, 1);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"x.tif"});
    EXPECT_EQ(FolderCamera::Count(folder.camera->orphanList()), 1u);
    EXPECT_EQ(folder.camera->GetMemoryUsage(), 1068 + 2 * 328);
    EXPECT_EQ(VqSession::Memory(), base + 2 * 4108);  // one entry fewer, one orphan more
    EXPECT_EQ(VqCloseImage(&x), 0u);
    DirectoryEntry orphan;
    ASSERT_TRUE(FolderCamera::GetAt(folder.camera->orphanList(), 1, orphan));
    EXPECT_EQ(orphan.image, nullptr);
    EXPECT_EQ(orphan.file, nullptr);

    // Now every file goes: the scan fails, the list empties, and the image
    // still open is kept where closing it finds it.
    fs::remove(d / "x.tif");
    poll = Poll(folder.record, 2);
    EXPECT_EQ(poll.imageCount, 1);
    EXPECT_EQ(poll.changed, 0);
    EXPECT_EQ(FolderCamera::Count(folder.camera->imageList()), 0u);
    auto heldBy = [&](const char* name) -> const SdkImage* {
        for (uint32_t i = 1; i <= FolderCamera::Count(folder.camera->orphanList()); ++i) {
            DirectoryEntry e;
            if (FolderCamera::GetAt(folder.camera->orphanList(), i, e) && std::string(e.name) == name && e.image)
                return e.image;
        }
        return nullptr;
    };
    EXPECT_EQ(heldBy("x.tif"), Driver().images->Find(y.handle));
    EXPECT_EQ(VqCloseImage(&y), 0u);
    EXPECT_EQ(heldBy("x.tif"), nullptr);
}

TEST(FolderCamera, OpenImageChecks) {
    lumora::test::TempFolder dir;
    WriteFile(dir, "x.tif", OldestModelFile());
    VqSession session;
    RegisteredFolderCamera folder(dir.path().string());
    ImageInfoRecord info = EmptyRecord();
    EXPECT_EQ(VqOpenImage(&folder.record, 0, "x.tif", &info), VQ_ERR_NAME_AND_INDEX);
    EXPECT_EQ(VqOpenImage(&folder.record, -1, nullptr, &info), VQ_ERR_NAME_REQUIRED);
    EXPECT_EQ(VqOpenImage(&folder.record, 0, nullptr, nullptr), VQ_ERR_NULL_INFO_RECORD);
    // An index below -1 is no name-or-index mistake: the camera answers it.
    EXPECT_EQ(VqOpenImage(&folder.record, -2, nullptr, &info), VQ_ERR_ENTRY_NOT_FOUND);
    EXPECT_EQ(VqOpenImage(&folder.record, 5, nullptr, &info), VQ_ERR_ENTRY_NOT_FOUND);
    CameraRecord noId = folder.record;
    noId.cameraId = 0;
    EXPECT_EQ(VqOpenImage(&noId, 0, nullptr, &info), VQ_ERR_NO_CAMERA_ID);
    EXPECT_EQ(info.handle, 0);
    EXPECT_EQ(Driver().images->Count(), 0u);
}

TEST(FolderCamera, AFolderWithoutImagesAnswersFileNotFound) {
    lumora::test::TempFolder dir;
    WriteFile(dir, "notes.txt", {1});
    VqSession session;
    {
        RegisteredFolderCamera folder(dir.path().string());
        EXPECT_EQ(folder.openStatus, 2u);
    }
    WriteFile(dir, "only.JPG", {1});
    RegisteredFolderCamera folder(dir.path().string());
    EXPECT_EQ(folder.openStatus, 0u);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"only.JPG"});
}

TEST(FolderCamera, EntriesByNameOrIndex) {
    lumora::test::TempFolder dir;
    WriteFile(dir, "a.tif", {1});
    WriteFile(dir, "b.tif", {2, 2});
    const timespec stamp[2] = {{1715940000, 0}, {1715940000, 0}};
    for (const char* name : {"a.tif", "b.tif"})
        ASSERT_EQ(::utimensat(AT_FDCWD, (dir.path() / name).c_str(), stamp, 0), 0);
    VqSession session;
    RegisteredFolderCamera folder(dir.path().string());
    DirectoryEntry e;
    int32_t index = -1;
    ASSERT_EQ(folder.camera->FindEntry(&folder.record, &index, "B.TIF", &e), 0u);
    EXPECT_EQ(index, 1);
    EXPECT_STREQ(e.name, "b.tif");
    index = 5;
    EXPECT_EQ(folder.camera->FindEntry(&folder.record, &index, nullptr, &e), VQ_ERR_ENTRY_NOT_FOUND);
    EXPECT_EQ(e.kind, 4u);
    EXPECT_EQ(e.name[0], 0);
    index = -1;
    EXPECT_EQ(folder.camera->FindEntry(&folder.record, &index, nullptr, &e), VQ_ERR_NAME_REQUIRED);
    index = 0;
    EXPECT_EQ(folder.camera->FindEntry(&folder.record, &index, "a.tif", &e), VQ_ERR_NAME_AND_INDEX);

    uint32_t size = 0;
    uint16_t date = 0, time = 0;
    ASSERT_EQ(folder.camera->GetEntryFactsByName("A.tif", &size, &date, &time), 0u);
    EXPECT_EQ(size, 1u);
    EXPECT_EQ(date, uint16_t((2024 - 1980) << 9 | 5 << 5 | 17));
    EXPECT_EQ(time, uint16_t(10 << 11));
    EXPECT_EQ(folder.camera->GetEntryFacts(1, &size, &date, &time), 0u);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(folder.camera->GetEntryFacts(2, &size, &date, &time), VQ_ERR_ENTRY_NOT_FOUND);
    EXPECT_EQ(folder.camera->GetEntryFactsByName(nullptr, &size, &date, &time), VQ_ERR_NULL_NAME);
}

TEST(FolderCamera, DeletingAndFolderFiles) {
    lumora::test::TempFolder dir;
    const fs::path d = dir.path();
    WriteFile(dir, "open.tif", OldestModelFile());
    WriteFile(dir, "gone.tif", {1});
    Stamp(d / "gone.tif", 8);
    Stamp(d / "open.tif", 9);
    VqSession session;
    RegisteredFolderCamera folder(d.string());
    ImageInfoRecord info = EmptyRecord();
    ASSERT_EQ(VqOpenImage(&folder.record, -1, "open.tif", &info), 0u);
    EXPECT_EQ(VqDeleteImage(&folder.record, 1, nullptr), VQ_ERR_IMAGE_IS_OPEN);
    EXPECT_EQ(VqDeleteImage(&folder.record, -1, "OPEN.TIF"), VQ_ERR_IMAGE_IS_OPEN);
    EXPECT_TRUE(fs::exists(d / "open.tif"));
    EXPECT_EQ(VqDeleteImage(&folder.record, 2, nullptr), VQ_ERR_ENTRY_NOT_FOUND);
    EXPECT_EQ(VqDeleteImage(&folder.record, -3, nullptr), VQ_ERR_ENTRY_NOT_FOUND);
    ASSERT_EQ(VqDeleteImage(&folder.record, 0, nullptr), 0u);
    EXPECT_FALSE(fs::exists(d / "gone.tif"));
    // The list changes at the next poll.
    EXPECT_EQ(FolderCamera::Count(folder.camera->imageList()), 2u);
    EXPECT_EQ(Poll(folder.record).imageCount, 1);

    // Side files take the first image's recorded stamp.
    const uint8_t bytes[3] = {7, 8, 9};
    ASSERT_EQ(folder.camera->WriteFolderFile("side.dat", 3, bytes, 0, 0), 0u);
    struct stat st {};
    ASSERT_EQ(::stat((d / "side.dat").c_str(), &st), 0);
    DirectoryEntry first;
    ASSERT_TRUE(FolderCamera::GetAt(folder.camera->imageList(), 1, first));
    time_t expected = 0;
    SdkDosToTime(first.createdDate, first.createdTime, &expected);
    EXPECT_EQ(st.st_mtime, expected);
    uint8_t back[2] = {};
    ASSERT_EQ(folder.camera->ReadFolderFile("side.dat", 2, back, 0, 1, 0), 0u);
    EXPECT_EQ(back[0], 8);
    EXPECT_EQ(back[1], 9);
    EXPECT_EQ(folder.camera->ReadFolderFile("none.dat", 2, back, 0, 0, 0), 2u);
    EXPECT_EQ(VqCloseImage(&info), 0u);
}

TEST(FolderCamera, MemoryUsageCountsEntriesAndOrphans) {
    lumora::test::TempFolder dir;
    for (const char* name : {"a.tif", "b.tif", "c.tif", "d.tif"}) WriteFile(dir, name, OldestModelFile());
    VqSession session;
    RegisteredFolderCamera folder(dir.path().string());
    EXPECT_EQ(folder.camera->GetMemoryUsage(), 1068 + 4 * 328);
    ImageInfoRecord info = EmptyRecord();
    ASSERT_EQ(VqOpenImage(&folder.record, -1, "d.tif", &info), 0u);
    fs::remove(dir.path() / "d.tif");
    Poll(folder.record);
    EXPECT_EQ(folder.camera->GetMemoryUsage(), 2380);  // three images and one orphan
    EXPECT_EQ(VqCloseImage(&info), 0u);
}

// A folder holding a camera JPEG and an RGB TIFF file: each opens through the
// folder camera as its own class and renders.
TEST(FolderCamera, OpensCameraJpegAndRgbTiffFiles) {
    lumora::test::TempFolder dir;
    ZyrCameraFileOptions jpeg;
    ZyrCameraFileOptions rgb;
    rgb.rgbTiff = true;
    rgb.width = 520;
    rgb.height = 6;
    WriteFile(dir, "camera.jpg", ZyrCameraFile::Make(jpeg));
    WriteFile(dir, "picture.tif", ZyrCameraFile::Make(rgb));
    VqSession session;
    RegisteredFolderCamera folder(dir.path().string());
    struct Case {
        const char* name;
        int32_t kind;
        uint32_t width, height;
    };
    for (const Case& c : {Case{"camera.jpg", kFileCameraJpeg, jpeg.width, jpeg.height},
                          Case{"picture.tif", kFileRgbTiff, rgb.width, rgb.height}}) {
        ImageInfoRecord info{};
        ASSERT_EQ(VqOpenImage(&folder.record, -1, c.name, &info), 0u) << c.name;
        EXPECT_EQ(info.fileKind, c.kind) << c.name;
        std::vector<uint8_t> out(size_t(c.width) * c.height * 3, 0xAB);
        ImageBufferRecord rec{};
        rec.buffer = out.data();
        rec.bufferBytes = uint32_t(out.size());
        EXPECT_EQ(VqGetImage(&info, &rec, nullptr), 0u) << c.name;
        EXPECT_EQ(VqCloseImage(&info), 0u);
    }
}
