#include "FileCamera.h"

#include <cstring>
#include <string>

#include "ModelTable.h"
#include "RecordArray.h"

namespace lumora::vq {

FileCamera::FileCamera() { record_.cameraKind = VQ_CAMERA_KIND_FILE; }

VqStatus FileCamera::OpenFile(CameraRecord* record, const char* path, ImageInfoRecord* info) {
    DirectoryEntry entry;
    std::memset(&entry, 0, sizeof entry);
    std::memset(folderPath_, 0, sizeof folderPath_);
    if (!path || path[0] == 0) return VQ_ERR_BAD_IMAGE_PATH;
    const size_t length = strnlen(path, sizeof folderPath_ - 1);
    std::memcpy(folderPath_, path, length);
    const char* slash = static_cast<const char*>(::memrchr(folderPath_, '/', length));
    // No folder, or no file name after the last '/': nothing to open.
    if (!slash || slash[1] == 0) return VQ_ERR_BAD_IMAGE_PATH;
    const size_t folderLength = size_t(slash - folderPath_) + 1;
    const size_t nameLength = length - folderLength;
    if (nameLength >= sizeof entry.name) return VQ_ERR_BAD_IMAGE_PATH;
    std::memcpy(entry.name, slash + 1, nameLength);
    std::memset(record->folder, 0, sizeof record->folder);
    std::memcpy(record->folder, folderPath_, folderLength);
    std::memcpy(folderPath_, record->folder, sizeof folderPath_);
    record_ = *record;

    const std::string full = std::string(record->folder) + entry.name;
    const VqStatus facts = ReadFileFacts(full.c_str(), entry);

    imageList_ = NewList();
    if (!imageList_) return VQ_ERR_NO_ENTRY_LIST;
    if (facts) return facts;
    if (info) info->imageIndex = 1;
    entry.kind = kFileRawTiff;
    Append(imageList_, entry);
    return 0;
}

} // namespace lumora::vq
