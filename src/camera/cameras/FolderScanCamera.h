#pragma once
// A folder camera that fills its list from the file system.
#include "FolderCamera.h"

namespace lumora::vq {

class FolderScanCamera : public FolderCamera {
public:
    FolderScanCamera() = default;
    ~FolderScanCamera() override = default;

    // True once the camera has a folder.
    bool IsOpen() const override;
    VqStatus ScanFolder(const char* extension, uint32_t kind, RecordArray* list) override;

    // Fills an entry's stamps, size and attributes from the file system; 0 or
    // the Win32 error of the look-up.
    static VqStatus ReadFileFacts(const char* path, DirectoryEntry& entry);
};

} // namespace lumora::vq
