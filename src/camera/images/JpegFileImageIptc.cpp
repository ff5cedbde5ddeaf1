// Saving the IPTC record of a camera JPEG file into its APP13 block.
#include "JpegFileImage.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "FileReplacement.h"
#include "FolderCamera.h"
#include "SdkCamera.h"
#include "SdkFile.h"
#include "SdkPhotoshopBlock.h"
#include "SdkRenderer.h"

namespace lumora::vq {

VqStatus JpegFileImage::SaveIptc(uint32_t length) {
    auto* folder = dynamic_cast<FolderCamera*>(camera_);
    if (!folder || name_.empty() || tiffOffset_ < 10) return VQ_ERR_IPTC_NOT_WRITABLE;
    uint32_t size = 0;
    uint16_t date = 0, time = 0;
    if (VqStatus status = camera_->GetEntryFacts(imageIndex_, &size, &date, &time)) return status;
    std::vector<uint8_t> old, block, fresh;
    try {
        old.assign(size, 0);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_PROCESS_NO_MEMORY;
    }
    if (VqStatus status = camera_->ReadImageBytes(imageIndex_, size, old.data(), 0, 0, 0)) return status;

    // The new block replaces the old one, or goes in front of APP1.
    const uint64_t at = jpeg_.app13Position ? jpeg_.app13Position : tiffOffset_ - 10;
    const uint64_t resume = jpeg_.app13Position ? uint64_t(jpeg_.app13Position) + jpeg_.app13Length : at;
    if (resume > size || at > resume) return VQ_ERR_BAD_FILE;
    const uint32_t resolution[2] = {uint32_t(resolution_.value), uint32_t(resolution_.unit)};
    if (VqStatus status = SdkBuildPhotoshopBlock(iptc_.data(), length, resolution, 0, &block)) return status;
    try {
        fresh.reserve(size_t(at) + block.size() + (size - resume));
        fresh.insert(fresh.end(), old.begin(), old.begin() + long(at));
        fresh.insert(fresh.end(), block.begin(), block.end());
        fresh.insert(fresh.end(), old.begin() + long(resume), old.end());
    } catch (const std::bad_alloc&) {
        return VQ_ERR_PROCESS_NO_MEMORY;
    }

    if (fresh.size() > uint64_t(INT32_MAX)) return VQ_ERR_BAD_FILE;
    std::string path = folder->folderPath();
    if (!path.empty() && path.back() != '/') path += '/';
    path += name_;
    // Written whole beside the file and renamed over it: a failure at any
    // step leaves the file as it was and nothing beside it.
    VqStatus status = FileReplacement::Replace(path.c_str(), fresh.data(), fresh.size());
    if (status) return status;

    // Everything behind the block moved: the places addressed in the file follow
    // it (positions relative to the TIFF base stay, the scan finds the base again).
    const int64_t delta = int64_t(fresh.size()) - int64_t(size);
    const uint32_t newSize = uint32_t(fresh.size());
    camera_->SetEntrySize(imageIndex_, newSize);
    fileSize_ = newSize;
    if ((status = ScanJpegMarkers(fresh.data(), newSize, 1))) return status;
    auto moved = [delta](uint32_t& offset) {
        if (offset) offset = uint32_t(int64_t(offset) + delta);
    };
    moved(rawDataOffset_);
    moved(descriptionOffset_);
    moved(storedSettingsOffset_);
    moved(cameraValues_.cameraSettingWordPosition);
    dataOffset_ = rawDataOffset_;
    reservedGeometryWord_ = rawDataOffset_ + rawByteCount_;
    info_.geometry.reserved = int32_t(reservedGeometryWord_);
    iptcOffset_ = jpeg_.app13Data;
    if (renderer_) renderer_->FreeCache();
    return HandSensorLayoutToRenderer();
}

} // namespace lumora::vq
