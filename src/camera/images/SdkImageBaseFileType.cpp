// Which kind of file a head of bytes is, which model wrote it, and the image
// class made for it.
#include "SdkImageBase.h"

#include <cstring>

#include "ByteView.h"
#include "DirectoryEntry.h"
#include "ImageClassFactory.h"
#include "RawContainer.h"
#include "RawIfdRecord.h"
#include "RawTiffReader.h"
#include "SdkCamera.h"
#include "SdkUtilities.h"
#include "Win32Error.h"

namespace lumora::vq {

VqStatus SdkImageBase::ReadFileIdentity(const uint8_t* tiff, uint32_t length, int32_t* family, const ModelRow** row,
                                        int32_t* modelId, uint32_t* version, int32_t* fileKind) {
    *family = kFamilyUnknown;
    *modelId = 0;
    *version = 0;
    const ByteView view(tiff, length);
    RawTiffReader reader;
    reader.Clear();
    uint32_t first = 0;
    VqStatus status = reader.ReadHeader(view, first);
    if (status) return status;
    if (first >= length) return 0;  // the caller reads more of the file
    RawIfdRecord ifd{};
    status = reader.ReadIfd(view, first, ifd, nullptr, nullptr, false);
    if (status) return status;
    bigEndian_ = reader.bigEndian() ? 1 : 0;
    if (ifd.modelCount > 0) {
        char model[17] = {};
        std::memcpy(model, ifd.model, SdkTextLength(ifd.model, ifd.modelCount, 16));
        *family = SdkLookUpModel(model, row, modelId);
    }
    *fileKind = RawContainer::RecogniseKind(*fileKind, ifd.width, *modelId);
    const uint32_t privateIfd = ifd.privateIfd;
    status = reader.ReadIfd(view, privateIfd, ifd, nullptr, nullptr, false);
    if (status == 0) {
        *version = ifd.fileVersion;
        return 0;
    }
    if (status == VQ_ERR_READ_PAST_BUFFER) return 0;
    return *fileKind != kFileRawTiff ? VQ_ERR_NOT_JPEG_STREAM : VQ_ERR_BAD_FILE;
}

VqStatus SdkImageBase::CreateFromFile(int32_t index, int32_t fileKind, ImageInfoRecord* info, uint32_t,
                                      DriverSettings* settings, const CameraRecord* record, SdkImage** out,
                                      const ModelRow** row, DirectoryEntry* entry) {
    int32_t family = kFamilyUnknown;
    int32_t modelId = 0;
    uint32_t version = 0;
    *out = nullptr;
    if (!camera_) return VQ_ERR_BAD_HANDLE;
    fileSize_ = entry ? entry->size : 0;

    VqStatus status = 0;
    std::vector<uint8_t> buffer;
    uint32_t length = kHeadSize;
    SdkImageBase* image = nullptr;
    const uint8_t* tiff = nullptr;

    // A buffer is always zero-filled first: a file shorter than what is asked
    // for leaves zeros behind its end, never stale memory.
    auto readHead = [&](uint32_t bytes) -> VqStatus {
        try {
            buffer.assign(bytes, 0);
        } catch (const std::bad_alloc&) {
            return VQ_ERR_FILE_NO_MEMORY;
        }
        const VqStatus read = camera_->ReadImageBytes(index, bytes, buffer.data(), 0, 0, 0);
        // A file shorter than the head is read whole; the rest stays zeros.
        return read == win32::ERROR_HANDLE_EOF ? 0 : read;
    };

    status = readHead(kHeadSize);
    tiffOffset_ = 0;
    if (status == 0) {
        const VqStatus jpeg = ScanJpegMarkers(buffer.data(), kHeadSize, 0);
        if (jpeg == 0 && fileKind != kFileCameraJpeg) {
            fileKind = kFileCameraJpeg;
            if (entry) entry->kind = kFileCameraJpeg;
            camera_->SetEntryKind(index, kFileCameraJpeg);
        } else if (jpeg != 0 && fileKind == kFileCameraJpeg) {
            status = VQ_ERR_NOT_JPEG_STREAM;
        }
    }
    if (status == 0) {
        tiff = buffer.data() + tiffOffset_;
        status = ReadFileIdentity(tiff, kHeadSize - tiffOffset_, &family, row, &modelId, &version, &fileKind);
        if (status == VQ_ERR_READ_PAST_BUFFER) {
            family = kFamilyUnknown;
            status = 0;
        } else if (status == VQ_ERR_NOT_TIFF) {
            status = fileKind == kFileCameraJpeg ? VQ_ERR_NOT_JPEG_STREAM : VQ_ERR_NOT_TIFF;
        }
    }
    if (status == 0 && family != kFamilyOldest) {
        uint32_t headerLength = 0;
        status = GetHeaderLength(tiff, kHeadSize - tiffOffset_, &headerLength);
        if (status == 0 && headerLength == 0) {
            status = readHead(kHeadSize);
            if (status == 0) {
                tiff = buffer.data() + tiffOffset_;
                status = ReadFileIdentity(tiff, kHeadSize - tiffOffset_, &family, row, &modelId, &version, &fileKind);
            }
            if (status == 0) {
                if (family >= kFamilyRaw1 && family <= kFamilyRaw3)
                    status = ReadHeaderLengthFromSubIfd(tiff, kHeadSize - tiffOffset_, &headerLength);
                else
                    status = VQ_ERR_BAD_FILE;
            }
        }
        if (status == 0) {
            length = headerLength + 4 + tiffOffset_;
            status = readHead(length);
            if (status == 0) {
                tiff = buffer.data() + tiffOffset_;
                status = ReadFileIdentity(tiff, length - tiffOffset_, &family, row, &modelId, &version, &fileKind);
            }
        }
    }
    if (status == 0) {
        ImageClass cls = ImageClass::SdkImageBase;
        status = ImageClassFactory::Choose(family, fileKind, version, &cls);
        if (status == 0) image = ImageClassFactory::Create(cls, record, settings, &status);
        if (image) {
            *out = image;
            if (family == kFamilyOldest) length = kHeadSize;
            image->info_.fileKind = fileKind;
            if (fileKind == kFileCameraJpeg) status = image->ScanJpegMarkers(buffer.data(), length, 1);
            if (status == 0) {
                image->tiffOffset_ = tiffOffset_;
                image->fileSize_ = fileSize_;
                if (info) info->modelFamily = family;
                status = image->Open(index, info, tiff, length - tiffOffset_, entry);
            }
        }
    }
    if (status == VQ_ERR_READ_PAST_BUFFER) status = VQ_ERR_BAD_FILE;
    if (status && fileKind == kFileCameraJpeg) status = SdkMapFileError(status);
    return status;
}

} // namespace lumora::vq
