#include "SdkImageBase.h"

#include <cstring>

#include "DirectoryEntry.h"
#include "SdkCamera.h"
#include "SdkRenderer.h"
#include "SdkSoundList.h"

namespace lumora::vq {

SdkImageBase::SdkImageBase(const CameraRecord* record, DriverSettings* settings) : SdkImage(record, settings) {
    std::memset(&info_, 0, sizeof info_);
    info_.outputType = VQ_TYPE_RGB8;
    info_.imageIndex = -1;
    info_.dataBytes = 12;
    info_.isColour = 1;
    info_.modelFamily = kFamilyUnknown;
    info_.modelId = 0;
    info_.fileKind = kFileRawTiff;
    info_.whiteBalanceFileStatus = int32_t(VQ_ERR_WB_FILE_UNSUPPORTED);
    std::memset(processingDirectory_, 0, sizeof processingDirectory_);
    colour_.info = &info_;
    // A single-file camera (or a kind-0 caller) processes next to the file.
    if (record && (record->cameraKind == 0 || record->cameraKind == VQ_CAMERA_KIND_FILE)) {
        std::memcpy(processingDirectory_, record->folder, sizeof processingDirectory_);
        processingDirectory_[sizeof processingDirectory_ - 1] = 0;
    }
}

SdkImageBase::~SdkImageBase() {
    camera_ = nullptr;
    delete soundList_;
    soundList_ = nullptr;
}

bool SdkImageBase::IsValid() const { return camera_ != nullptr; }
int32_t SdkImageBase::GetObjectSize() { return kObjectSize; }


VqStatus SdkImageBase::Open(int32_t index, ImageInfoRecord* info, const uint8_t* header, uint32_t length,
                            const DirectoryEntry* entry) {
    imageIndex_ = index;
    info_.imageIndex = index;
    if (camera_) {
        char* name = nullptr;
        if (camera_->GetImageName(index, &name) == 0 && name) {
            name_ = name;
            info_.name = name_.data();
        }
        delete[] name;
    }
    VqStatus status = ParseHeader(header, length);
    if (status) return status;
    if (entry) info_.flags = (info_.flags & ~1u) | (entry->attributes & 1u);

    if (camera_ && camera_->record().cameraKind == VQ_CAMERA_KIND_FILE) {
        info_.soundInfo = 0;
    } else {
        if (!camera_) return VQ_ERR_BAD_HANDLE;
        soundList_ = camera_->CreateAttachmentList("wav", index);
        if (!soundList_) return VQ_ERR_BAD_HANDLE;
        int16_t count = 0;
        soundList_->GetSoundCount(&count);
        info_.soundInfo = uint16_t(count);
        if (count == 0) {
            delete soundList_;
            soundList_ = nullptr;
        }
    }
    if (info) {
        info_.handle = info->handle;
        std::memcpy(info, &info_, sizeof info_);
    }
    return 0;
}

VqStatus SdkImageBase::SetProcessingDirectory(VqPathRecord path) {
    std::memcpy(processingDirectory_, path.path, sizeof processingDirectory_);
    processingDirectory_[sizeof processingDirectory_ - 1] = 0;
    // Sensor group 2 finds its calibration files there: the renderer learns
    // the folder at once, not only at the next render.
    if (sensorGroup_ == 2 && renderer_)
        (void)SetRendererParameter(lumora::RP_PROCESSING_DIRECTORY, processingDirectory_,
                                   sizeof processingDirectory_);
    return 0;
}

VqStatus SdkImageBase::GetProcessingDirectory(char* out) {
    if (!out) return VQ_ERR_NULL_OUTPUT;
    std::memcpy(out, processingDirectory_, sizeof processingDirectory_);
    return 0;
}


VqStatus SdkImageBase::GetSoundInfo(int32_t index, SoundInfoRecord* out) {
    if (!soundList_) return VQ_ERR_BAD_HANDLE;
    return soundList_->GetSoundInfo(index, out);
}

VqStatus SdkImageBase::GetSound(SoundInfoRecord* info, void* buffer) {
    if (!soundList_) return VQ_ERR_BAD_HANDLE;
    return soundList_->ReadSound(info, buffer);
}

void SdkImageBase::SetImageIndex(int32_t index) { imageIndex_ = index; }
int32_t SdkImageBase::GetImageIndex() { return imageIndex_; }

VqStatus SdkImageBase::ReadFileBytes(void* destination, uint64_t fileOffset, uint32_t byteCount, uint32_t flags) {
    if (!camera_) return VQ_ERR_BAD_HANDLE;
    if (!destination) return VQ_ERR_NULL_OUTPUT;
    if (fileOffset > uint64_t(INT32_MAX)) return VQ_ERR_BAD_FILE;
    return camera_->ReadImageBytes(imageIndex_, byteCount, destination, 0, int32_t(fileOffset), flags);
}

VqStatus SdkImageBase::LoadCache(void* buffer, int32_t steps, int32_t* done) {
    if (!renderer_) return VQ_ERR_NOT_SUPPORTED;
    if (steps < 0) return VQ_ERR_BAD_ARGUMENT;
    return renderer_->LoadCache(static_cast<uint8_t*>(buffer), uint32_t(steps), done, 1);
}

VqStatus SdkImageBase::CleanupCache() {
    if (renderer_) renderer_->FreeCache();
    return 0;
}

VqStatus SdkImageBase::ResetCacheState() {
    if (renderer_) renderer_->ResetCacheState();
    return 0;
}

VqStatus SdkImageBase::DecompressCache(void* scratch) {
    if (!renderer_) return VQ_ERR_NOT_SUPPORTED;
    return renderer_->DecodeCache(scratch, 1, 1, 0);
}

VqStatus SdkImageBase::SetName(const char* name) {
    if (!name) return VQ_ERR_BAD_HANDLE;
    try {
        name_ = name;
    } catch (const std::bad_alloc&) {
        return VQ_ERR_NO_MEMORY;
    }
    info_.name = name_.data();
    return 0;
}

void SdkImageBase::GetInfo(ImageInfoRecord* out) const {
    if (out) std::memcpy(out, &info_, sizeof info_);
}

void SdkImageBase::SetHandle(int32_t handle) { info_.handle = handle; }

VqStatus SdkImageBase::WriteWhiteBalanceFile(VqPathRecord, void*) { return VQ_ERR_WB_FILE_UNSUPPORTED; }

int32_t SdkImageBase::GetCompatibilityFlag() { return compatibility_; }

VqStatus SdkImageBase::SetColourFlags() {
    info_.flags = info_.isColour ? 0x1B00u : 0x1900u;
    return 0;
}

void SdkImageBase::SetInfoText(std::string& store, const char* text, uint32_t length, char** field,
                               uint32_t* lengthField) {
    store.assign(text ? text : "", text ? length : 0);
    store.push_back('\0');  // the stored length counts the terminator
    *field = store.data();
    *lengthField = uint32_t(store.size());
}

} // namespace lumora::vq
