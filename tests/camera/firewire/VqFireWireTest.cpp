// The camera interface with the FireWire manager in place: an image fetched
// from a tethered camera of the simulated bus, then listed and opened through
// the Vq camera calls, and a rename that passes the interface's checks.
#include <filesystem>
#include <fstream>

#include "FireWireTestBus.h"
#include "FolderScanCamera.h"
#include "RegisteredFolderCamera.h"
#include "RevAvazCameraManager.h"
#include "VqSession.h"

using namespace lumora::vq;
namespace fs = std::filesystem;

namespace {

class VqFireWire : public FireWireTestBus {};

std::vector<uint8_t> CameraFile() {
    ZyrSampleOptions o;
    o.model = "ZYNM07";
    return ZyrSample::Make(o);
}

TEST_F(VqFireWire, ImagesFromATetheredCameraAreListedOpenedAndReachTheRename) {
    const uint32_t id = bus->Plug();
    const std::vector<uint8_t> file = CameraFile();
    ASSERT_GT(file.size(), 0u);
    bus->PutFile(id, "CAM0001.TIF", file);

    SdkVersionRecord version = VQ_SDK_VERSION_RECORD_INIT;
    const uint32_t opened = VqOpenDriver(&version, 0);
    EXPECT_TRUE(opened == VQ_ERR_DEFAULTS_KEPT || opened == VQ_ERR_PREFS_READ) << std::hex << opened;
    RevAvazCameraManager* manager = Driver().fireWireManager;
    ASSERT_NE(manager, nullptr);
    ASSERT_EQ(manager->CountCameras(), 1);
    uint32_t handle = 0;
    ASSERT_EQ(manager->GetCamera(1, &handle), 0u);

    // Fetch the image from the camera into a folder.
    const uint16_t session = 3;
    ASSERT_EQ(manager->Open(handle, "CAM0001.TIF", session), 0u);
    std::vector<uint8_t> fetched(file.size());
    ASSERT_EQ(manager->Read(handle, fetched.data(), uint32_t(fetched.size()), session, 0), 0u);
    ASSERT_EQ(manager->Close(handle, session), 0u);
    EXPECT_EQ(fetched, file);
    lumora::test::TempFolder dir;
    WriteFile(dir, "CAM0001.TIF", fetched);

    {
        RegisteredFolderCamera folder(dir.path().string(), VQ_CAMERA_TYPE_RENAMABLE);
        ASSERT_EQ(folder.openStatus, 0u);
        char name[256];
        ASSERT_EQ(VqGetImageName(&folder.record, 0, name), 0u);
        EXPECT_STREQ(name, "CAM0001.TIF");
        ImageInfoRecord info = EmptyRecord();
        ASSERT_EQ(VqOpenImage(&folder.record, 0, nullptr, &info), 0u);
        // An open image is not renamed by index.
        EXPECT_EQ(VqRenameImage(&folder.record, nullptr, 0, nullptr, "TETHER01.TIF", 0), VQ_ERR_IMAGE_IS_OPEN);
        EXPECT_EQ(VqCloseImage(&info), 0u);
        // With the manager in place the rename reaches the camera; folder
        // cameras have no rename of their own and say so, leaving the file.
        EXPECT_EQ(VqRenameImage(&folder.record, nullptr, 0, nullptr, "TETHER01.TIF", 0), VQ_ERR_NOT_SUPPORTED);
        EXPECT_EQ(VqRenameImage(&folder.record, nullptr, -1, "CAM0001.TIF", "TETHER01.TIF", 0), VQ_ERR_NOT_SUPPORTED);
        EXPECT_TRUE(fs::exists(dir.path() / "CAM0001.TIF"));
        // With a manager the property calls reach the camera, which has none.
        EXPECT_EQ(VqGetProperty(&folder.record, 1, nullptr, nullptr), VQ_ERR_NOT_SUPPORTED);
    }

    EXPECT_EQ(VqCloseDriver(), 0u);
    EXPECT_EQ(Driver().fireWireManager, nullptr);
    EXPECT_EQ(bus->OpenDevices(), 0);
}

// No camera class of the interface renames; an outside program's camera that
// does shows the whole road of VqRenameImage with the manager in place: the
// camera is asked with the record's name, and the open image takes the new
// name into its record.
class RenamingFolderCamera : public FolderScanCamera {
public:
    VqStatus RenameImage(int32_t index, const char* oldName, const char* newName, uint32_t flag) override {
        asked.push_back({index, oldName ? oldName : "", newName ? newName : "", flag});
        const fs::path folder(folderPath());
        std::error_code ec;
        if (fs::exists(folder / newName)) return 80;
        fs::rename(folder / oldName, folder / newName, ec);
        return ec ? 2 : 0;
    }
    struct Request {
        int32_t index;
        std::string oldName, newName;
        uint32_t flag;
    };
    std::vector<Request> asked;
};

TEST_F(VqFireWire, AnOpenImageOnATetheredCameraIsRenamedThroughItsRecord) {
    const uint32_t id = bus->Plug();
    bus->PutFile(id, "CAM0002.TIF", CameraFile());
    SdkVersionRecord version = VQ_SDK_VERSION_RECORD_INIT;
    const uint32_t opened = VqOpenDriver(&version, 0);
    EXPECT_TRUE(opened == VQ_ERR_DEFAULTS_KEPT || opened == VQ_ERR_PREFS_READ) << std::hex << opened;
    RevAvazCameraManager* manager = Driver().fireWireManager;
    ASSERT_NE(manager, nullptr);
    uint32_t handle = 0;
    ASSERT_EQ(manager->GetCamera(1, &handle), 0u);
    const uint16_t session = 4;
    ASSERT_EQ(manager->Open(handle, "CAM0002.TIF", session), 0u);
    std::vector<uint8_t> fetched(CameraFile().size());
    ASSERT_EQ(manager->Read(handle, fetched.data(), uint32_t(fetched.size()), session, 0), 0u);
    ASSERT_EQ(manager->Close(handle, session), 0u);
    lumora::test::TempFolder dir;
    WriteFile(dir, "CAM0002.TIF", fetched);
    WriteFile(dir, "TAKEN.TIF", fetched);

    CameraRecord record;
    std::memset(&record, 0, sizeof record);
    record.cameraType = VQ_CAMERA_TYPE_RENAMABLE;
    record.cameraKind = VQ_CAMERA_KIND_FOLDER;
    std::snprintf(record.folder, sizeof record.folder, "%s/", dir.path().c_str());
    auto* camera = new RenamingFolderCamera;
    ASSERT_EQ(camera->Open(&record), 0u);
    record.cameraId = Driver().cameras->Add(camera);
    camera->record().cameraId = record.cameraId;

    ImageInfoRecord info = EmptyRecord();
    ASSERT_EQ(VqOpenImage(&record, -1, "CAM0002.TIF", &info), 0u);
    // A record without a handle names no image.
    ImageInfoRecord none = EmptyRecord();
    EXPECT_EQ(VqRenameImage(&record, &none, -1, nullptr, "X.TIF", 0), VQ_ERR_NO_IMAGE_HANDLE);
    // The camera's refusal is answered and the image keeps its name.
    EXPECT_EQ(VqRenameImage(&record, &info, -1, nullptr, "TAKEN.TIF", 0), 80u);
    EXPECT_STREQ(info.name, "CAM0002.TIF");
    ASSERT_EQ(VqRenameImage(&record, &info, -1, nullptr, "TETHER02.TIF", 0), 0u);
    ASSERT_EQ(camera->asked.size(), 2u);
    EXPECT_EQ(camera->asked[1].index, -1);
    EXPECT_EQ(camera->asked[1].oldName, "CAM0002.TIF");
    EXPECT_EQ(camera->asked[1].newName, "TETHER02.TIF");
    EXPECT_EQ(camera->asked[1].flag, 0u);
    EXPECT_TRUE(fs::exists(dir.path() / "TETHER02.TIF"));
    EXPECT_FALSE(fs::exists(dir.path() / "CAM0002.TIF"));
    // The image and the caller's record carry the new name.
    EXPECT_STREQ(info.name, "TETHER02.TIF");
    // Any later image call copies the image's own record out again.
    uint32_t type = 0;
    EXPECT_EQ(VqGetImageType(&info, &type), 0u);
    EXPECT_STREQ(info.name, "TETHER02.TIF");
    EXPECT_EQ(VqCloseImage(&info), 0u);

    camera->Close();
    Driver().cameras->Remove(record.cameraId);
    delete camera;
    EXPECT_EQ(VqCloseDriver(), 0u);
}

TEST(VqFireWireWithoutBus, OpensWithoutTheManager) {
    lumora::test::TempFolder empty;
    const char* before = std::getenv("LUMORA_PROGRAM_DIR");
    const std::string saved = before ? before : "";
    setenv("LUMORA_PROGRAM_DIR", empty.path().c_str(), 1);
    SdkVersionRecord version = VQ_SDK_VERSION_RECORD_INIT;
    EXPECT_EQ(VqOpenDriver(&version, 0), VQ_ERR_FW_NO_SETUP_LIBRARY);
    EXPECT_EQ(Driver().fireWireManager, nullptr);
    CameraRecord record;
    std::memset(&record, 0, sizeof record);
    record.cameraId = 1;
    EXPECT_EQ(VqGetProperty(&record, 1, nullptr, nullptr), VQ_ERR_NO_FIREWIRE_MANAGER);
    EXPECT_EQ(VqCloseDriver(), 0u);
    if (before) setenv("LUMORA_PROGRAM_DIR", saved.c_str(), 1);
    else unsetenv("LUMORA_PROGRAM_DIR");
}

} // namespace
