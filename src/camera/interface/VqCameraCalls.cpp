// The exported camera calls: opening, closing and renaming images, and the
// calls that hand one operation to a camera.
#include <cstring>
#include <new>

#include "CameraHandleMap.h"
#include "DriverState.h"
#include "FileCamera.h"
#include "ImageHandleMap.h"
#include "SdkCamera.h"
#include "SdkImage.h"
#include "VqCall.h"
#include "VqCamera.h"

using lumora::vq::DirectoryEntry;
using lumora::vq::Driver;
using lumora::vq::DriverState;
using lumora::vq::FileCamera;
using lumora::vq::FolderCamera;
using lumora::vq::SdkCamera;
using lumora::vq::SdkImage;
using lumora::vq::VqCall;

namespace {

using Needs = VqCall::CameraNeeds;

template <class Op>
uint32_t Camera(CameraRecord* record, Needs needs, Op&& op) {
    return VqCall::Guarded([&] { return VqCall::CameraCall(record, needs, op); });
}

template <class Op>
uint32_t DriverCamera(CameraRecord* record, Op&& op) {
    if (uint32_t s = VqCall::FireWireCheck()) return s;
    return Camera(record, Needs::Open, op);
}

// Registers a new image and gives it its handle; answers the handle (0 for none).
int32_t Register(SdkImage* image, ImageInfoRecord* info) {
    const int32_t handle = Driver().images->Add(image);
    info->handle = handle;
    if (image && handle) image->SetHandle(handle);
    return handle;
}

void DropCamera(DriverState& state, SdkCamera* camera, int32_t id) {
    camera->Close();
    state.cameras->Remove(id);
    delete camera;
}

} // namespace

extern "C" {

uint32_t VqOpenImage(CameraRecord* cameraRecord, int32_t index, const char* name, ImageInfoRecord* info) {
    return VqCall::Guarded([&]() -> uint32_t {
        DriverState& state = Driver();
        if (!state.settings) return VQ_ERR_BAD_HANDLE;
        if (!cameraRecord) return VQ_ERR_BAD_HANDLE;
        if (cameraRecord->cameraId == 0) return VQ_ERR_NO_CAMERA_ID;
        SdkCamera* camera = state.cameras ? state.cameras->Find(cameraRecord->cameraId) : nullptr;
        if (!camera || !state.images) return VQ_ERR_BAD_HANDLE;
        if (index == -1 && !name) return VQ_ERR_NAME_REQUIRED;
        if (index >= 0 && name) return VQ_ERR_NAME_AND_INDEX;
        if (!info) return VQ_ERR_NULL_INFO_RECORD;
        if (!camera->IsOpen()) return VQ_ERR_CAMERA_NOT_OPEN;

        SdkImage* image = nullptr;
        const uint32_t status = camera->OpenImage(index, name, state.settings, &image, cameraRecord, info);
        const int32_t handle = Register(image, info);
        if (status) {
            state.images->Remove(handle);
            delete image;
            return status;
        }
        state.ChangeMemory(image->GetObjectSize());
        return image->GetGeometry(&info->geometry);
    });
}

uint32_t VqOpenImageFile(const char* path, ImageInfoRecord* info) {
    return VqCall::Guarded([&]() -> uint32_t {
        DriverState& state = Driver();
        if (VqCall::OpenCallCheck()) return VQ_ERR_BAD_HANDLE;
        if (!info) return VQ_ERR_NULL_INFO_RECORD;
        FileCamera* camera = new (std::nothrow) FileCamera;
        if (!camera) return VQ_ERR_CAMERA_NOT_OPEN;
        const int32_t id = state.cameras->Add(camera);
        camera->record().cameraId = id;

        uint32_t status = camera->OpenFile(&camera->record(), path, info);
        if (status) {
            DropCamera(state, camera, id);
            return status == VQ_ERR_BAD_IMAGE_PATH ? VQ_ERR_BAD_IMAGE_PATH : VQ_ERR_CAMERA_NOT_OPEN;
        }
        state.ChangeMemory(FolderCamera::kObjectSize);

        SdkImage* image = nullptr;
        status = camera->OpenImage(info->imageIndex - 1, nullptr, state.settings, &image, &camera->record(), info);
        const int32_t handle = Register(image, info);
        if (status) {
            state.images->Remove(handle);
            delete image;
            DropCamera(state, camera, id);
            state.ChangeMemory(-FolderCamera::kObjectSize);
            return status;
        }
        state.ChangeMemory(image->GetObjectSize());
        return image->GetGeometry(&info->geometry);
    });
}

uint32_t VqCloseImage(ImageInfoRecord* info) {
    return VqCall::Guarded([&]() -> uint32_t {
        DriverState& state = Driver();
        if (!info) return VQ_ERR_NULL_IMAGE_RECORD;
        SdkImage* image = state.images ? state.images->Find(info->handle) : nullptr;
        if (!image) return VQ_ERR_BAD_HANDLE;
        state.images->Remove(info->handle);
        const int32_t size = image->GetObjectSize();
        SdkCamera* camera = image->camera();
        uint32_t status = 0;
        if (camera) {
            status = camera->CloseImage(image);
            // A single-file camera goes with its last open image: while another
            // image opened on it (after a poll) is open, closing the camera
            // would delete that image under its handle.
            if (camera->record().cameraKind == VQ_CAMERA_KIND_FILE && !state.images->AnyImageOf(camera)) {
                if (uint32_t s = camera->Close()) return s;
                if (state.cameras) state.cameras->Remove(camera->record().cameraId);
                delete camera;
                state.ChangeMemory(-FolderCamera::kObjectSize);
                status = 0;
            }
        } else {
            // An image whose camera is gone is no one's to release but ours.
            delete image;
        }
        state.ChangeMemory(-int64_t(size));
        std::memset(info, 0, sizeof *info);
        return status;
    });
}

uint32_t VqRenameImage(CameraRecord* cameraRecord, ImageInfoRecord* info, int32_t index, const char* name,
                       const char* newName, uint32_t flag) {
    return VqCall::Guarded([&]() -> uint32_t {
        DriverState& state = Driver();
        if (!cameraRecord || !state.cameras || cameraRecord->cameraId == 0) return VQ_ERR_NO_CAMERA_ID;
        SdkCamera* camera = state.cameras->Find(cameraRecord->cameraId);
        if (!camera) return VQ_ERR_NO_CAMERA_ID;
        if (!camera->IsOpen() || cameraRecord->cameraKind != VQ_CAMERA_KIND_FOLDER ||
            cameraRecord->cameraType != VQ_CAMERA_TYPE_RENAMABLE)
            return VQ_ERR_CAMERA_NOT_OPEN;
        if (flag != 0) return VQ_ERR_BAD_ARGUMENT;
        const bool byRecord = info && index == -1 && !name;
        const bool byName = !info && index == -1 && name;
        const bool byIndex = !info && index >= 0 && !name;
        if (!byRecord && !byName && !byIndex) {
            if (!info && index == -1 && !name) return VQ_ERR_NAME_REQUIRED;
            return VQ_ERR_NAME_AND_INDEX;
        }
        if (uint32_t s = VqCall::FireWireCheck()) return s;
        const char* oldName = name;
        if (byRecord) {
            if (info->handle == 0) return VQ_ERR_NO_IMAGE_HANDLE;
            oldName = info->name;
        } else {
            DirectoryEntry entry;
            std::memset(&entry, 0, sizeof entry);
            int32_t at = index;
            if (camera->FindEntry(cameraRecord, &at, name, &entry) == 0 && entry.image) return VQ_ERR_IMAGE_IS_OPEN;
        }
        const uint32_t status = camera->RenameImage(index, oldName, newName, 0);
        if (status) return status;
        if (byRecord) {
            SdkImage* image = state.images ? state.images->Find(info->handle) : nullptr;
            if (image && image->IsValid() && image->SetName(newName) == 0) (void)VqCall::RefreshRecord(*image, info);
        }
        return status;
    });
}

uint32_t VqPollImages(CameraRecord* record, VqPollRecord* poll) {
    return VqCall::Guarded([&]() -> uint32_t {
        SdkCamera* camera = nullptr;
        if (uint32_t s = VqCall::FindCamera(Driver().cameras, record, camera)) return s;
        if (!poll) return VQ_ERR_NULL_OUTPUT;
        if (!camera->IsOpen()) return VQ_ERR_CAMERA_NOT_OPEN;
        std::memset(poll, 0, sizeof *poll);
        const int32_t before = camera->GetMemoryUsage();
        const uint32_t status = camera->PollImages(poll);
        const int32_t after = camera->GetMemoryUsage();
        Driver().ChangeMemory(int64_t(after) - int64_t(before));
        return status;
    });
}

uint32_t VqFormatCameraDisk(CameraRecord* record) {
    return Camera(record, Needs::Anything, [&](SdkCamera& c) { return c.FormatDisk(nullptr); });
}

uint32_t VqFormatCameraDiskWithProgressCB(CameraRecord* record, void* progress) {
    return Camera(record, Needs::Anything, [&](SdkCamera& c) { return c.FormatDisk(progress); });
}

uint32_t VqRecoverCameraDisk(CameraRecord* record) {
    return Camera(record, Needs::Anything, [&](SdkCamera& c) { return c.RecoverDisk(); });
}

uint32_t VqCaptureImage(CameraRecord* record) {
    return Camera(record, Needs::Anything, [&](SdkCamera& c) { return c.CaptureImage(); });
}

uint32_t VqDeleteImage(CameraRecord* record, int32_t index, const char* name) {
    return Camera(record, Needs::Anything, [&](SdkCamera& c) { return c.DeleteImage(index, name); });
}

uint32_t VqCopyImageToFolder(CameraRecord* record, int32_t index, const VqPathRecord* destination, const char* newName,
                             int32_t overwrite) {
    return Camera(record, Needs::Anything, [&](SdkCamera& c) {
        return c.CopyImageToFolder(index, destination, newName, overwrite == 1 ? 1 : 0, nullptr);
    });
}

uint32_t VqCopyImageToFolderWithProgressCB(CameraRecord* record, int32_t index, const VqPathRecord* destination,
                                           const char* newName, int32_t overwrite, void* progress) {
    return Camera(record, Needs::Anything, [&](SdkCamera& c) {
        return c.CopyImageToFolder(index, destination, newName, overwrite == 1 ? 1 : 0, progress);
    });
}

uint32_t VqGetDirEntries(CameraRecord* record, ...) {
    return Camera(record, Needs::Open, [](SdkCamera&) { return 0u; });
}

uint32_t VqGetWorkingDir(CameraRecord* record, ...) {
    return Camera(record, Needs::Open, [](SdkCamera&) { return 0u; });
}

uint32_t VqSetWorkingDir(CameraRecord* record, ...) {
    return Camera(record, Needs::Open, [](SdkCamera&) { return 0u; });
}

uint32_t VqLoadFirmware(CameraRecord* record, VqPathRecord path, uint32_t word) {
    return Camera(record, Needs::Open, [&](SdkCamera& c) { return c.LoadFirmware(path, record, word); });
}

uint32_t VqLoadImageFile(CameraRecord* record, VqPathRecord path, uint32_t word) {
    return Camera(record, Needs::Open, [&](SdkCamera& c) { return c.LoadImageFile(path, record, word); });
}

uint32_t VqBackUpFileToFolder(CameraRecord* record, uint32_t word, VqPathRecord path) {
    return Camera(record, Needs::Anything, [&](SdkCamera& c) { return c.BackUpFileToFolder(path, record, word); });
}

uint32_t VqGetImageName(CameraRecord* record, int32_t index, char* out) {
    // Without a buffer there is nothing to answer into.
    if (!out) return VQ_ERR_NULL_OUTPUT;
    out[0] = 0;
    return Camera(record, Needs::Open, [&](SdkCamera& c) -> uint32_t {
        char* name = nullptr;
        const uint32_t status = c.GetImageName(index, &name);
        if (status == 0 && name) {
            std::strncpy(out, name, 255);
            out[255] = 0;
        }
        delete[] name;
        return status;
    });
}

uint32_t VqGetPropertyList(CameraRecord* record, void* a, void* b) {
    return DriverCamera(record, [&](SdkCamera& c) { return c.GetPropertyList(a, b); });
}

uint32_t VqGetProperty(CameraRecord* record, uint32_t property, void* a, void* b) {
    return DriverCamera(record, [&](SdkCamera& c) { return c.GetProperty(property, a, b); });
}

uint32_t VqSetProperty(CameraRecord* record, uint32_t property, void* a, void* b) {
    return DriverCamera(record, [&](SdkCamera& c) { return c.SetProperty(property, a, b); });
}

uint32_t VqFindFirstProperty(CameraRecord* record, void* out) {
    return DriverCamera(record, [&](SdkCamera& c) { return c.FindFirstProperty(out); });
}

uint32_t VqFindNextProperty(CameraRecord* record, void* out) {
    return DriverCamera(record, [&](SdkCamera& c) { return c.FindNextProperty(out); });
}

uint32_t VqGetPropertyStructByName(CameraRecord* record, void* r) {
    return DriverCamera(record, [&](SdkCamera& c) { return c.GetPropertyByName(r); });
}

uint32_t VqGetFolderList(CameraRecord* record, void* a, void* b, void* c) {
    return Camera(record, Needs::Open, [&](SdkCamera& cam) { return cam.GetFolderList(a, b, c); });
}

uint32_t VqFindFirstFolder(CameraRecord* record, void* a, void* b) {
    return DriverCamera(record, [&](SdkCamera& c) { return c.FindFirstFolder(a, b); });
}

uint32_t VqFindNextFolder(CameraRecord* record, void* a) {
    return DriverCamera(record, [&](SdkCamera& c) { return c.FindNextFolder(a); });
}

uint32_t VqModifyFolder(CameraRecord* record, uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4, uint32_t w5,
                        uint32_t w6) {
    return DriverCamera(record, [&](SdkCamera& c) { return c.ModifyFolder(w1, w2, w3, w4, w5, w6); });
}

} // extern "C"
