#pragma once
// A folder camera that fills its list from the file system.
#include <string>

#include "FolderCamera.h"

namespace lumora::vq {

class CopyProgress;
class FolderEnumerator;

class FolderScanCamera : public FolderCamera {
public:
    FolderScanCamera() = default;
    ~FolderScanCamera() override = default;

    // True once the camera has a folder.
    bool IsOpen() const override;
    VqStatus ScanFolder(const char* extension, uint32_t kind, RecordArray* list) override;
    // Copies through the file system, streaming only to report progress; a
    // non-zero flags byte copies the image's sounds as well.
    VqStatus CopyImageToFolder(int32_t index, const VqPathRecord* destination, const char* name, uint8_t flags,
                               void* progress) override;
    VqStatus CopyImageFileToFolder(int32_t index, const VqPathRecord* destination, const char* name,
                                   uint8_t flags) override;

    // Fills an entry's stamps, size and attributes from the file system; 0 or
    // the Win32 error of the look-up.
    static VqStatus ReadFileFacts(const char* path, DirectoryEntry& entry);

private:
    // The entry to copy, its source path and its target path.
    VqStatus CopySourceAndTarget(int32_t* index, const VqPathRecord* destination, const char* name,
                                 DirectoryEntry* entry, std::string* source, std::string* target);
    // Copies the listed sounds next to the destination.
    VqStatus CopySounds(FolderEnumerator& sounds, const char* destination, CopyProgress* report, uint64_t done);
};

} // namespace lumora::vq
