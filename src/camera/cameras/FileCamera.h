#pragma once
// The camera that stands for one image file: a folder camera whose list holds
// exactly that file.
#include "FolderScanCamera.h"

namespace lumora::vq {

class FileCamera : public FolderScanCamera {
public:
    FileCamera();
    ~FileCamera() override = default;

    // Splits the path at its last '/', keeps the folder (with the '/') in the
    // record and lists the file as the camera's one entry.
    VqStatus OpenFile(CameraRecord* record, const char* path, ImageInfoRecord* info);
};

} // namespace lumora::vq
