#pragma once
// A folder camera over a folder, registered in the camera table as an outside
// program would have to do it (the interface has no export that opens one).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "CameraHandleMap.h"
#include "DriverState.h"
#include "FolderScanCamera.h"
#include "ImageHandleMap.h"

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
