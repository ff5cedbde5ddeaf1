// The exported camera calls against a camera whose operations answer a status
// the test chooses: each call's checks and the operation it hands on to.
#include "SdkCamera.h"
#include "VqSession.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace lumora::vq;

namespace {

class ScriptedCamera : public SdkCamera {
public:
    bool open = true;
    uint32_t answer = 0;
    std::vector<std::string> log;
    uint8_t lastFlags = 0xEE;
    std::string name;  // what GetImageName hands out

    VqStatus Op(const char* what) {
        log.push_back(what);
        return answer;
    }
    bool IsOpen() const override { return open; }
    VqStatus PollImages(VqPollRecord* poll) override {
        EXPECT_EQ(poll->imageCount, 0);  // zeroed before the camera sees it
        return Op("PollImages");
    }
    VqStatus FormatDisk(void*) override { return Op("FormatDisk"); }
    VqStatus RecoverDisk() override { return Op("RecoverDisk"); }
    VqStatus CaptureImage() override { return Op("CaptureImage"); }
    VqStatus DeleteImage(int32_t, const char*) override { return Op("DeleteImage"); }
    VqStatus CopyImageToFolder(int32_t, const VqPathRecord*, const char*, uint8_t flags, void*) override {
        lastFlags = flags;
        return Op("CopyImageToFolder");
    }
    VqStatus BackUpFileToFolder(VqPathRecord, CameraRecord*, uint32_t) override { return Op("BackUpFileToFolder"); }
    VqStatus LoadFirmware(VqPathRecord, CameraRecord*, uint32_t) override { return Op("LoadFirmware"); }
    VqStatus LoadImageFile(VqPathRecord, CameraRecord*, uint32_t) override { return Op("LoadImageFile"); }
    VqStatus GetImageName(int32_t, char** out) override {
        if (!name.empty()) {
            *out = new char[name.size() + 1];
            std::memcpy(*out, name.c_str(), name.size() + 1);
        }
        return Op("GetImageName");
    }
    VqStatus GetPropertyList(void*, void*) override { return Op("GetPropertyList"); }
    VqStatus GetProperty(uint32_t, void*, void*) override { return Op("GetProperty"); }
    VqStatus SetProperty(uint32_t, void*, void*) override { return Op("SetProperty"); }
    VqStatus FindFirstProperty(void*) override { return Op("FindFirstProperty"); }
    VqStatus FindNextProperty(void*) override { return Op("FindNextProperty"); }
    VqStatus GetPropertyByName(void*) override { return Op("GetPropertyByName"); }
    VqStatus GetFolderList(void*, void*, void*) override { return Op("GetFolderList"); }
    VqStatus FindFirstFolder(void*, void*) override { return Op("FindFirstFolder"); }
    VqStatus FindNextFolder(void*) override { return Op("FindNextFolder"); }
    VqStatus ModifyFolder(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) override {
        return Op("ModifyFolder");
    }
};

enum class Needs { Nothing, Open, Driver };

struct Row {
    const char* name;
    std::function<uint32_t(CameraRecord*)> call;
    const char* op;  // null: the call does nothing but its checks
    Needs needs;
};

} // namespace

TEST(VqCameraCalls, EachCallsChecksAndOperation) {
    VqSession session;  // opened without the FireWire manager
    ScriptedCamera camera;
    CameraRecord record{};
    record.cameraId = Driver().cameras->Add(&camera);
    VqPollRecord poll;
    VqPathRecord path{};
    char name[256];
    int word = 0;
    const std::vector<Row> rows = {
        {"VqPollImages", [&](CameraRecord* r) { return VqPollImages(r, &poll); }, "PollImages", Needs::Open},
        {"VqFormatCameraDisk", [&](CameraRecord* r) { return VqFormatCameraDisk(r); }, "FormatDisk", Needs::Nothing},
        {"VqFormatCameraDiskWithProgressCB", [&](CameraRecord* r) { return VqFormatCameraDiskWithProgressCB(r, &word); },
         "FormatDisk", Needs::Nothing},
        {"VqRecoverCameraDisk", [&](CameraRecord* r) { return VqRecoverCameraDisk(r); }, "RecoverDisk", Needs::Nothing},
        {"VqCaptureImage", [&](CameraRecord* r) { return VqCaptureImage(r); }, "CaptureImage", Needs::Nothing},
        {"VqDeleteImage", [&](CameraRecord* r) { return VqDeleteImage(r, 0, nullptr); }, "DeleteImage", Needs::Nothing},
        {"VqCopyImageToFolder", [&](CameraRecord* r) { return VqCopyImageToFolder(r, 0, &path, nullptr, 1); },
         "CopyImageToFolder", Needs::Nothing},
        {"VqCopyImageToFolderWithProgressCB",
         [&](CameraRecord* r) { return VqCopyImageToFolderWithProgressCB(r, 0, &path, nullptr, 1, &word); },
         "CopyImageToFolder", Needs::Nothing},
        {"VqGetDirEntries", [&](CameraRecord* r) { return VqGetDirEntries(r, 1, 2); }, nullptr, Needs::Open},
        {"VqGetWorkingDir", [&](CameraRecord* r) { return VqGetWorkingDir(r); }, nullptr, Needs::Open},
        {"VqSetWorkingDir", [&](CameraRecord* r) { return VqSetWorkingDir(r, "x"); }, nullptr, Needs::Open},
        {"VqLoadFirmware", [&](CameraRecord* r) { return VqLoadFirmware(r, path, 1); }, "LoadFirmware", Needs::Open},
        {"VqLoadImageFile", [&](CameraRecord* r) { return VqLoadImageFile(r, path, 1); }, "LoadImageFile",
         Needs::Open},
        {"VqBackUpFileToFolder", [&](CameraRecord* r) { return VqBackUpFileToFolder(r, 1, path); },
         "BackUpFileToFolder", Needs::Nothing},
        {"VqGetImageName", [&](CameraRecord* r) { return VqGetImageName(r, 0, name); }, "GetImageName", Needs::Open},
        {"VqGetPropertyList", [&](CameraRecord* r) { return VqGetPropertyList(r, &word, &word); }, "GetPropertyList",
         Needs::Driver},
        {"VqGetProperty", [&](CameraRecord* r) { return VqGetProperty(r, 1, &word, &word); }, "GetProperty",
         Needs::Driver},
        {"VqSetProperty", [&](CameraRecord* r) { return VqSetProperty(r, 1, &word, &word); }, "SetProperty",
         Needs::Driver},
        {"VqFindFirstProperty", [&](CameraRecord* r) { return VqFindFirstProperty(r, &word); }, "FindFirstProperty",
         Needs::Driver},
        {"VqFindNextProperty", [&](CameraRecord* r) { return VqFindNextProperty(r, &word); }, "FindNextProperty",
         Needs::Driver},
        {"VqGetPropertyStructByName", [&](CameraRecord* r) { return VqGetPropertyStructByName(r, &word); },
         "GetPropertyByName", Needs::Driver},
        {"VqGetFolderList", [&](CameraRecord* r) { return VqGetFolderList(r, &word, &word, &word); }, "GetFolderList",
         Needs::Open},
        {"VqFindFirstFolder", [&](CameraRecord* r) { return VqFindFirstFolder(r, &word, &word); }, "FindFirstFolder",
         Needs::Driver},
        {"VqFindNextFolder", [&](CameraRecord* r) { return VqFindNextFolder(r, &word); }, "FindNextFolder",
         Needs::Driver},
        {"VqModifyFolder", [&](CameraRecord* r) { return VqModifyFolder(r, 1, 2, 3, 4, 5, 6); }, "ModifyFolder",
         Needs::Driver},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        camera.log.clear();
        camera.open = true;
        if (row.needs == Needs::Driver) {
            // Every check waits behind the FireWire manager, which this
            // interface was opened without.
            EXPECT_EQ(row.call(nullptr), VQ_ERR_NO_FIREWIRE_MANAGER);
            EXPECT_EQ(row.call(&record), VQ_ERR_NO_FIREWIRE_MANAGER);
            EXPECT_TRUE(camera.log.empty());
            continue;
        }
        EXPECT_EQ(row.call(nullptr), VQ_ERR_BAD_HANDLE);
        CameraRecord noId = record;
        noId.cameraId = 0;
        EXPECT_EQ(row.call(&noId), VQ_ERR_NO_CAMERA_ID);
        CameraRecord unknown = record;
        unknown.cameraId = record.cameraId + 1000;
        EXPECT_EQ(row.call(&unknown), VQ_ERR_BAD_HANDLE);
        EXPECT_TRUE(camera.log.empty());

        for (uint32_t answer : {0u, 0x1234u}) {
            camera.answer = answer;
            camera.log.clear();
            EXPECT_EQ(row.call(&record), row.op ? answer : 0u);
            EXPECT_EQ(camera.log, row.op ? std::vector<std::string>{row.op} : std::vector<std::string>{});
        }
        camera.answer = 0;
        camera.open = false;
        camera.log.clear();
        const uint32_t closed = row.call(&record);
        if (row.needs == Needs::Open) {
            EXPECT_EQ(closed, VQ_ERR_CAMERA_NOT_OPEN);
            EXPECT_TRUE(camera.log.empty());
        } else {
            EXPECT_EQ(closed, 0u);
        }
    }
    Driver().cameras->Remove(record.cameraId);
}

TEST(VqCameraCalls, ArgumentsHandedOn) {
    VqSession session;
    ScriptedCamera camera;
    CameraRecord record{};
    record.cameraId = Driver().cameras->Add(&camera);
    VqPathRecord path{};
    for (int32_t overwrite : {0, 1, 2, -1}) {
        ASSERT_EQ(VqCopyImageToFolder(&record, 0, &path, nullptr, overwrite), 0u);
        EXPECT_EQ(camera.lastFlags, overwrite == 1 ? 1 : 0) << overwrite;
    }
    // Names are cut to 255 characters and always terminated.
    char name[256];
    std::memset(name, 'x', sizeof name);
    camera.name = std::string(300, 'n');
    ASSERT_EQ(VqGetImageName(&record, 0, name), 0u);
    EXPECT_EQ(std::string(name), std::string(255, 'n'));
    camera.name.clear();
    std::memset(name, 'x', sizeof name);
    ASSERT_EQ(VqGetImageName(&record, 0, name), 0u);
    EXPECT_STREQ(name, "");
    std::memset(name, 'x', sizeof name);
    CameraRecord noId{};
    EXPECT_EQ(VqGetImageName(&noId, 0, name), VQ_ERR_NO_CAMERA_ID);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(VqGetImageName(&record, 0, nullptr), VQ_ERR_NULL_OUTPUT);
    EXPECT_EQ(VqPollImages(&record, nullptr), VQ_ERR_NULL_OUTPUT);
    Driver().cameras->Remove(record.cameraId);
}

TEST(VqCameraCalls, RenameChecks) {
    lumora::test::TempFolder dir;
    CameraRecord none{};
    ImageInfoRecord info = EmptyRecord();
    // Closed interface: the camera cannot be found.
    EXPECT_EQ(VqRenameImage(&none, nullptr, 0, nullptr, "b", 0), VQ_ERR_NO_CAMERA_ID);

    VqSession session;
    ScriptedCamera camera;
    CameraRecord record{};
    record.cameraType = VQ_CAMERA_TYPE_RENAMABLE;
    record.cameraKind = VQ_CAMERA_KIND_FOLDER;
    record.cameraId = Driver().cameras->Add(&camera);
    struct Case {
        const char* what;
        CameraRecord record;
        ImageInfoRecord* info;
        int32_t index;
        const char* name;
        uint32_t flag;
        uint32_t status;
    };
    CameraRecord file = record;
    file.cameraKind = VQ_CAMERA_KIND_FILE;
    CameraRecord plain = record;
    plain.cameraType = 0;
    CameraRecord noId = record;
    noId.cameraId = 0;
    const Case cases[] = {
        {"no camera id", noId, nullptr, 0, nullptr, 0, VQ_ERR_NO_CAMERA_ID},
        {"single-file camera", file, nullptr, 0, nullptr, 0, VQ_ERR_CAMERA_NOT_OPEN},
        {"camera type not renamable", plain, nullptr, 0, nullptr, 0, VQ_ERR_CAMERA_NOT_OPEN},
        {"flag before the driver", record, nullptr, 0, nullptr, 1, VQ_ERR_BAD_ARGUMENT},
        {"neither index nor name", record, nullptr, -1, nullptr, 0, VQ_ERR_NAME_REQUIRED},
        {"index and name", record, nullptr, 0, "a", 0, VQ_ERR_NAME_AND_INDEX},
        {"record and index", record, &info, 0, nullptr, 0, VQ_ERR_NAME_AND_INDEX},
        {"index below -1", record, nullptr, -2, nullptr, 0, VQ_ERR_NAME_AND_INDEX},
        {"by index, no manager", record, nullptr, 0, nullptr, 0, VQ_ERR_NO_FIREWIRE_MANAGER},
        {"by name, no manager", record, nullptr, -1, "a", 0, VQ_ERR_NO_FIREWIRE_MANAGER},
        {"by record, no manager", record, &info, -1, nullptr, 0, VQ_ERR_NO_FIREWIRE_MANAGER},
    };
    for (const Case& c : cases) {
        CameraRecord r = c.record;
        EXPECT_EQ(VqRenameImage(&r, c.info, c.index, c.name, "new", c.flag), c.status) << c.what;
    }
    EXPECT_TRUE(camera.log.empty());
    Driver().cameras->Remove(record.cameraId);
}
