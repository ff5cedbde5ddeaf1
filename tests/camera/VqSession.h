#pragma once
// The camera interface opened for one test (without the FireWire manager) and
// closed again, and synthetic raw files written into a scratch folder.
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ScratchDir.h"
#include "Vq.h"
#include "ZyrSample.h"

class VqSession {
public:
    VqSession() {
        SdkVersionRecord version = VQ_SDK_VERSION_RECORD_INIT;
        const uint32_t s = VqOpenDriver(&version, VQ_OPEN_NO_FIREWIRE);
        EXPECT_TRUE(s == VQ_ERR_DEFAULTS_KEPT || s == VQ_ERR_PREFS_READ) << std::hex << s;
    }
    ~VqSession() { VqCloseDriver(); }
    VqSession(const VqSession&) = delete;
    VqSession& operator=(const VqSession&) = delete;

    static int32_t Memory() {
        int32_t m = -1;
        VqGetMemoryUsage(&m);
        return m;
    }
};

inline std::string WriteFile(const ScratchDir& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = (dir.path() / name).string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

inline ImageInfoRecord EmptyRecord() {
    ImageInfoRecord r;
    std::memset(&r, 0, sizeof r);
    return r;
}

#include "CameraHandleMap.h"
#include "DriverState.h"
#include "FolderScanCamera.h"
#include "ImageHandleMap.h"

// A folder camera over a folder, registered in the camera table as an outside
// program would have to do it (the interface has no export that opens one).
class RegisteredFolderCamera {
public:
    explicit RegisteredFolderCamera(const std::string& folder, uint32_t cameraType = 0) {
        std::memset(&record, 0, sizeof record);
        record.cameraType = cameraType;
        record.cameraKind = VQ_CAMERA_KIND_FOLDER;
        std::string path = folder;
        if (path.empty() || path.back() != '/') path += '/';
        std::snprintf(record.folder, sizeof record.folder, "%s", path.c_str());
        camera = new lumora::vq::FolderScanCamera;
        openStatus = camera->Open(&record);
        record.cameraId = lumora::vq::Driver().cameras->Add(camera);
        camera->record().cameraId = record.cameraId;
    }
    ~RegisteredFolderCamera() {
        camera->Close();
        if (lumora::vq::Driver().cameras) lumora::vq::Driver().cameras->Remove(record.cameraId);
        delete camera;
    }
    RegisteredFolderCamera(const RegisteredFolderCamera&) = delete;
    RegisteredFolderCamera& operator=(const RegisteredFolderCamera&) = delete;

    // Entry names in list order.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (uint32_t i = 1; i <= lumora::vq::FolderCamera::Count(camera->imageList()); ++i) {
            lumora::vq::DirectoryEntry e;
            if (lumora::vq::FolderCamera::GetAt(camera->imageList(), i, e)) names.push_back(e.name);
        }
        return names;
    }

    CameraRecord record;
    lumora::vq::FolderScanCamera* camera;
    uint32_t openStatus;
};
