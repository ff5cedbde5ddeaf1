#include "SdkImageBase.h"

#include <algorithm>
#include <cstring>

#include "ByteView.h"
#include "DirectoryEntry.h"
#include "ImageClassFactory.h"
#include "RawIfdRecord.h"
#include "RawTiffReader.h"
#include "SdkUtilities.h"
#include "SdkCamera.h"
#include "SdkSoundList.h"
#include "Win32Error.h"

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

VqStatus SdkImageBase::GetExtension(uint32_t, void*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkImageBase::SetExtension(uint32_t, void*, uint32_t, uint32_t, uint32_t, uint32_t) {
    return VQ_ERR_NOT_SUPPORTED;
}
VqStatus SdkImageBase::GetHidden(uint32_t, void*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkImageBase::SetHidden(uint32_t, void*) { return VQ_ERR_NOT_SUPPORTED; }

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

namespace {

uint32_t FourCC(const char* text) {
    return uint32_t(uint8_t(text[0])) << 24 | uint32_t(uint8_t(text[1])) << 16 | uint32_t(uint8_t(text[2])) << 8 |
           uint8_t(text[3]);
}

// Length of a text the reader copied without a terminator into a field of max bytes.
uint32_t TextLength(const char* text, uint32_t count, uint32_t max) {
    const uint32_t n = std::min(count, max);
    const void* nul = std::memchr(text, 0, n);
    return nul ? uint32_t(static_cast<const char*>(nul) - text) : n;
}

} // namespace

VqStatus SdkImageBase::ParseHeader(const uint8_t* header, uint32_t length) {
    headerLength_ = length;
    marginTop_ = marginLeft_ = marginBottom_ = marginRight_ = 6;
    const ByteView view(header, length);
    RawTiffReader reader;
    reader.Clear();
    uint32_t first = 0;
    VqStatus status = reader.ReadHeader(view, first);
    if (status) return status;
    ifd0Offset_ = first;
    RawIfdRecord ifd{};
    status = reader.ReadIfd(view, first, ifd, nullptr, nullptr, false);
    if (status) return status;
    bigEndian_ = reader.bigEndian() ? 1 : 0;

    SetInfoText(description_, ifd.description, TextLength(ifd.description, ifd.descriptionCount, 512),
                &info_.description, &info_.descriptionLength);
    if (ifd.dateTime[0]) SdkParseDateText(ifd.dateTime, info_.date);
    SetInfoText(software_, ifd.software, TextLength(ifd.software, ifd.softwareCount, 20), &info_.software,
                &info_.softwareLength);
    const uint32_t modelLength = TextLength(ifd.model, ifd.modelCount, 16);
    SetInfoText(model_, ifd.model, modelLength, &info_.model, &info_.modelLength);
    SetInfoText(model2_, ifd.model2, TextLength(ifd.model2, ifd.model2Count, 20), &info_.model2,
                &info_.model2Length);
    if (modelLength == 0) return VQ_ERR_BAD_FILE;
    const ModelRow* row = nullptr;
    int32_t modelId = 0;
    const int32_t family = SdkLookUpModel(model_.c_str(), &row, &modelId);
    if (family == kFamilyUnknown) return VQ_ERR_BAD_FILE;
    info_.modelFamily = family;
    info_.modelId = modelId;

    // The oldest cameras write their frame number after the first character of
    // the description. The record shows it; the entry index stays as it is, or
    // the camera could no longer find this image's entry when it is closed.
    if (description_.size() > 1) {
        int32_t number = 0;
        for (size_t i = 1; i < description_.size() && description_[i] >= '0' && description_[i] <= '9'; ++i)
            number = int32_t(uint32_t(number) * 10u + uint32_t(description_[i] - '0'));
        info_.imageIndex = number;
    }
    fullWidth_ = ifd.width;
    fullHeight_ = ifd.height;

    status = ReadShortTable(2, imageIndex_, ifd.grayResponseCurve.offset, ifd.grayResponseCurve.count,
                            storedTable_, reader, header, length);
    ifd0FirstStrip_ = ifd.stripOffsets[0];
    headerStripOffset_ = ifd.stripOffsets[0];
    headerStripBytes_ = ifd.stripByteCounts[0];
    subIfdOffsets_[0] = ifd.subIfdCount > 0 ? ifd.subIfds[0] : 0;
    subIfdOffsets_[1] = ifd.subIfdCount > 1 ? ifd.subIfds[1] : 0;
    privateIfdOffset_ = ifd.privateIfd;

    if (!status) status = reader.ReadIfd(view, subIfdOffsets_[0], ifd, nullptr, nullptr, false);
    const bool colour = ifd.samplesPerPixel == 3;
    info_.isColour = colour ? 1 : 0;
    info_.colourSpace = FourCC(colour ? "sRGB" : "GRAY");
    if (colour)
        info_.flags |= VQ_IMAGE_COLOUR;
    else
        info_.flags &= ~uint32_t(VQ_IMAGE_COLOUR);
    if (!status) SetColourFlags();
    if (colour) {
        for (int i = 0; i < 3; ++i) {
            planeOffsets_[i] = ifd.stripOffsets[i];
            planeBytes_[i] = ifd.stripByteCounts[i];
        }
        planeWidth_ = ifd.width;
        planeHeight_ = ifd.height;
        if (!status) status = reader.ReadIfd(view, subIfdOffsets_[1], ifd, nullptr, nullptr, false);
    }
    if (status) return status;

    // The sensor data is the first strip of the last directory read.
    dataOffset_ = ifd.stripOffsets[0];
    dataWidth_ = ifd.width;
    dataHeight_ = ifd.height;
    dataBytes_ = ifd.stripByteCounts[0];
    bytesPerStoredSample_ = 1;
    fullWidth_ = dataWidth_;
    fullHeight_ = dataHeight_;
    outputWindow_ = {int16_t(marginLeft_), int16_t(marginTop_),
                     int16_t(int64_t(fullWidth_) - marginLeft_ - marginRight_),
                     int16_t(int64_t(fullHeight_) - marginTop_ - marginBottom_)};

    // Without a stored settings block in force the image starts at its defaults.
    info_.outputType = colour ? VQ_TYPE_RGB8 : VQ_TYPE_GRAY8;
    whiteBalanceType_ = VQ_WB_DAYLIGHT;
    whiteBalance_[0] = whiteBalance_[1] = whiteBalance_[2] = 240;
    info_.flags &= ~uint32_t(VQ_IMAGE_SETTINGS_VALID);

    int32_t channels = 0, bytes = 0;
    status = OutputFormat(info_.outputType, &channels, &bytes);
    if (status) return status;
    info_.geometry.channels = channels;
    info_.geometry.bytesPerSample = bytes;
    info_.dataBytes = int32_t(dataBytes_);

    const CameraRecord* cam = camera_ ? &camera_->record() : nullptr;
    if (cam && cam->cameraType == 3 && cam->cameraKind == 1)
        info_.flags &= ~uint32_t(VQ_IMAGE_RAW_CLASS);
    else
        info_.flags |= VQ_IMAGE_RAW_CLASS;
    return 0;
}

VqStatus SdkImageBase::ReadShortTable(uint32_t elementSize, int32_t index, uint32_t offset, uint32_t count,
                                      std::vector<uint16_t>& out, const RawTiffReader& reader,
                                      const uint8_t* header, uint32_t length) {
    out.clear();
    if (count == 0) return VQ_ERR_BAD_FILE;
    const uint64_t size = uint64_t(elementSize) * count;
    // A table no file of this kind could hold is refused before anything is
    // allocated for it.
    if (size > kMaxHeaderLength || (fileSize_ != 0 && uint64_t(offset) + tiffOffset_ + size > fileSize_))
        return VQ_ERR_BAD_FILE;
    std::vector<uint8_t> bytes;
    try {
        bytes.assign(size_t(size), 0);
        out.assign(count, 0);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_FILE_NO_MEMORY;
    }
    const ByteOrder order = reader.order();
    if (size <= 4) {
        // The values sit in the entry's own value word, in file order.
        uint8_t word[4];
        for (int i = 0; i < 4; ++i)
            word[i] = order == ByteOrder::Big ? uint8_t(offset >> (24 - 8 * i)) : uint8_t(offset >> (8 * i));
        std::memcpy(bytes.data(), word, size_t(size));
    } else {
        const ByteView view(header, length);
        if (!view.copy(offset, bytes.data(), size)) {
            if (!camera_) return VQ_ERR_BAD_HANDLE;
            const uint64_t at = uint64_t(offset) + tiffOffset_;
            if (at > uint64_t(INT32_MAX)) return VQ_ERR_BAD_FILE;
            const VqStatus status = camera_->ReadImageBytes(index, uint32_t(size), bytes.data(), 0, int32_t(at), 0);
            if (status) return status;
        }
    }
    const ByteView table(bytes.data(), bytes.size());
    for (uint32_t i = 0; i < count; ++i) {
        if (elementSize == 1) {
            out[i] = bytes[i];
        } else {
            table.u16(uint64_t(i) * 2, order, out[i]);
        }
    }
    return 0;
}

VqStatus SdkImageBase::GetHeaderLength(const uint8_t* tiff, uint32_t available, uint32_t* out) {
    *out = 0;
    const ByteView view(tiff, available);
    RawTiffReader reader;
    reader.Clear();
    uint32_t first = 0;
    VqStatus status = reader.ReadHeader(view, first);
    if (status) return status;
    uint32_t word = 0;
    if (!view.u32(8, reader.order(), word)) return VQ_ERR_READ_PAST_BUFFER;
    *out = std::min(word, kMaxHeaderLength);
    return 0;
}

VqStatus SdkImageBase::ReadHeaderLengthFromSubIfd(const uint8_t* tiff, uint32_t length, uint32_t* out) {
    *out = 0;
    const ByteView view(tiff, length);
    RawTiffReader reader;
    reader.Clear();
    uint32_t first = 0;
    VqStatus status = reader.ReadHeader(view, first);
    if (status) return status;
    if (first == 0) return VQ_ERR_BAD_FILE;
    RawIfdRecord ifd{};
    status = reader.ReadIfd(view, first, ifd, nullptr, nullptr, false);
    if (status) return status;
    const uint32_t second = ifd.subIfdCount > 1 ? ifd.subIfds[1] : 0;
    if (second == 0) return VQ_ERR_BAD_FILE;
    status = reader.ReadIfd(view, second, ifd, nullptr, nullptr, false);
    if (status) return status;
    // The sensor data starts where the header ends; an offset that is 0, past
    // the cap or past the end of the file cannot be a header length.
    const uint32_t offset = ifd.stripOffsets[0];
    if (offset == 0 || offset > kMaxHeaderLength || (fileSize_ != 0 && uint64_t(offset) + tiffOffset_ > fileSize_))
        return VQ_ERR_BAD_FILE;
    *out = offset;
    return 0;
}

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
        std::memcpy(model, ifd.model, TextLength(ifd.model, ifd.modelCount, 16));
        *family = SdkLookUpModel(model, row, modelId);
    }
    if (*fileKind == kFileRawTiff && ifd.width > 512 && *modelId != 0) *fileKind = kFileRgbTiff;
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

VqStatus SdkImageBase::SetProcessingDirectory(VqPathRecord path) {
    std::memcpy(processingDirectory_, path.path, sizeof processingDirectory_);
    processingDirectory_[sizeof processingDirectory_ - 1] = 0;
    return 0;
}

VqStatus SdkImageBase::GetProcessingDirectory(char* out) {
    if (!out) return VQ_ERR_NULL_OUTPUT;
    std::memcpy(out, processingDirectory_, sizeof processingDirectory_);
    return 0;
}

VqStatus SdkImageBase::SetImageType(uint32_t, int32_t) { return VQ_ERR_NOT_SUPPORTED; }

VqStatus SdkImageBase::GetImageType(uint32_t* out) {
    if (out) *out = info_.outputType;
    return 0;
}

VqStatus SdkImageBase::SetRotation(float) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkImageBase::GetRotation(float* out) {
    if (out) *out = 0.0f;
    return 0;
}
VqStatus SdkImageBase::SetWhiteBalance(uint32_t, const uint16_t*) { return VQ_ERR_NOT_SUPPORTED; }

VqStatus SdkImageBase::GetWhiteBalance(uint32_t* type, uint16_t* triple) {
    if (type) *type = whiteBalanceType_;
    if (triple) std::memcpy(triple, whiteBalance_, sizeof whiteBalance_);
    return 0;
}

VqStatus SdkImageBase::CalculateWhiteBalance(const SdkRect*, uint16_t*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkImageBase::SetDescription(ImageInfoRecord*, uint32_t, const char*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkImageBase::SetSubSample(int16_t) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkImageBase::GetSubSample(int16_t* out) {
    if (out) *out = 1;
    return 0;
}
VqStatus SdkImageBase::SetPadBytes(uint8_t) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkImageBase::GetPadBytes(uint8_t* out) {
    if (out) *out = 0;
    return 0;
}
VqStatus SdkImageBase::OutputRectToSensor(SdkRect*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkImageBase::SensorRectToOutput(SdkRect*) { return VQ_ERR_NOT_SUPPORTED; }

VqStatus SdkImageBase::SetOutputWindow(const SdkRect* window) {
    if (!window) return VQ_ERR_NULL_OUTPUT;
    outputWindow_ = *window;
    return 0;
}

VqStatus SdkImageBase::GetOutputWindow(SdkRect* out) {
    if (!out) return VQ_ERR_NULL_OUTPUT;
    *out = outputWindow_;
    return 0;
}

VqStatus SdkImageBase::OutputFormat(uint32_t type, int32_t* channels, int32_t* bytesPerSample) {
    static const int8_t kChannels[21] = {1, 0, 1, 1, 3, 4, 3, 4, 3, 4, 3, 4, 3, 3, 3, 1, 1, 4, 4, 3, 3};
    static const int8_t kBytes[21] = {1, 0, 1, 2, 1, 1, 2, 2, 1, 1, 2, 2, 1, 2, 2, 1, 2, 1, 2, 1, 2};
    if (type > VQ_TYPE_LAB16 || kChannels[type] == 0) return VQ_ERR_BAD_IMAGE_TYPE;
    *channels = kChannels[type];
    *bytesPerSample = kBytes[type];
    return 0;
}

VqStatus SdkImageBase::GetGeometry(ImageGeometry* g) {
    if (!g) return VQ_ERR_NULL_OUTPUT;
    int32_t channels = 0, bytes = 0;
    VqStatus status = OutputFormat(info_.outputType, &channels, &bytes);
    if (status) return status;
    // Rotation, subsample and pad bytes live in the renderer; without one they
    // stay at their starting values.
    float rotation = 0.0f;
    int16_t subsample = 1;
    uint8_t pad8 = 0;
    GetRotation(&rotation);
    GetSubSample(&subsample);
    GetPadBytes(&pad8);
    const int64_t pad = pad8;
    const int64_t s = subsample > 0 ? subsample : 1;
    const int64_t p = int64_t(channels) * bytes;
    g->channels = channels;
    g->bytesPerSample = bytes;

    // The record's sizes are 32-bit words: products of sizes from a file wrap
    // as such words do, computed without overflow.
    auto to32 = [](uint64_t v) { return int32_t(uint32_t(v)); };
    auto u = [](int64_t v) { return uint64_t(v); };
    const int64_t activeW = int64_t(fullWidth_) - marginLeft_ - marginRight_;
    const int64_t activeH = int64_t(fullHeight_) - marginTop_ - marginBottom_;
    const int rot = int(rotation);
    const bool swap = rot == 90 || rot == 270;
    if (rot == 0 || rot == 180 || swap) {
        const int64_t fw = swap ? fullHeight_ : fullWidth_, fh = swap ? fullWidth_ : fullHeight_;
        const int64_t ow = (swap ? outputWindow_.height : outputWindow_.width) / s;
        const int64_t oh = (swap ? outputWindow_.width : outputWindow_.height) / s;
        g->activeWidth = to32(u(swap ? activeH : activeW));
        g->activeHeight = to32(u(swap ? activeW : activeH));
        g->fullWidth = to32(u(fw));
        g->fullHeight = to32(u(fh));
        g->fullBytes = to32((u(fw) * u(p) + u(pad)) * u(fh));
        g->outputWidth = to32(u(ow));
        g->outputHeight = to32(u(oh));
        const uint64_t row = u(ow) * u(p) + u(pad);
        g->outputBytes = to32(row * u(oh));
        if (s > 1) {
            g->stripBytes = to32(row);
        } else {
            // The strip height is the first of 6, 8, 10, ... that divides the
            // height or leaves a last strip of at least 6 rows.
            int64_t t = 6;
            while (oh >= 6 && oh % t >= 1 && oh % t <= 5) t += 2;
            g->stripBytes = to32(row * u(t));
        }
    } else {
        status = VQ_ERR_BAD_ROTATION;
    }
    const uint64_t cache1 = uint64_t(dataOffset_) + uint64_t(dataWidth_) * dataHeight_ * bytesPerStoredSample_;
    const uint64_t cache2 = uint64_t(dataOffset_) + uint64_t(dataBytes_);
    g->cacheBytes = to32(std::max(cache1, cache2));
    g->reserved = int32_t(reservedGeometryWord_);
    const uint64_t k = info_.isColour ? 3 : 1;
    g->workBytes = to32((k * fullWidth_ + u(pad)) * 22);
    g->frameBytes = to32((k * fullWidth_ + u(pad)) * (uint64_t(fullHeight_) + 2));
    return status;
}

VqStatus SdkImageBase::GetThumbnail(ImageBufferRecord*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkImageBase::GetImage(ImageBufferRecord*, ProgressRecord*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkImageBase::SaveProcessParameters() { return VQ_ERR_NOT_SUPPORTED; }

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

VqStatus SdkImageBase::LoadCache(void*, int32_t, int32_t*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkImageBase::CleanupCache() { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkImageBase::DecompressCache(void*) { return VQ_ERR_NOT_SUPPORTED; }

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

VqStatus SdkImageBase::ScanJpegMarkers(const uint8_t* buffer, uint32_t length, int32_t readResources) {
    jpeg_ = JpegMarkers{};
    tiffOffset_ = 0;
    const ByteView view(buffer, length);
    uint8_t b0 = 0, b1 = 0;
    uint16_t first = 0;
    if (!view.u8(0, b0) || !view.u8(1, b1) || b0 != 0xFF || b1 != 0xD8 || !view.u16(4, ByteOrder::Big, first) ||
        uint64_t(first) + 6 > length)
        return VQ_ERR_NOT_JPEG_STREAM;

    uint64_t pos = 2;
    for (;;) {
        uint8_t ff = 0, marker = 0;
        uint16_t segLength = 0;
        if (!view.contains(pos, 4) || !view.u8(pos, ff) || ff != 0xFF) return VQ_ERR_NOT_JPEG_STREAM;
        view.u8(pos + 1, marker);
        view.u16(pos + 2, ByteOrder::Big, segLength);
        // Everything a segment says is looked for inside the segment itself.
        const uint64_t segEnd = std::min<uint64_t>(pos + 2 + uint64_t(segLength), length);
        const ByteView segment(buffer, segEnd);
        switch (marker) {
        case 0xE0:
            jpeg_.app0Position = uint32_t(pos);
            jpeg_.app0Length = segLength;
            if (segLength >= 7 && pos + segLength - 5 >= pos + 4) {
                segment.u8(pos + segLength - 5, jpeg_.app0Units);
                segment.u16(pos + segLength - 4, ByteOrder::Big, jpeg_.app0Density);
            }
            break;
        case 0xE1:
            if (pos + 10 > length) return VQ_ERR_READ_PAST_BUFFER;
            tiffOffset_ = uint32_t(pos + 10);
            return 0;
        case 0xE8:
            jpeg_.app8Position = uint32_t(pos);
            jpeg_.app8Length = segLength;
            break;
        case 0xED:
            if (readResources) {
                if (!view.contains(pos, 30)) return VQ_ERR_READ_PAST_BUFFER;
                jpeg_.app13Length = uint32_t(segLength) + 2;
                jpeg_.app13Position = uint32_t(pos);
                jpeg_.app13Data = uint32_t(pos + 30);
                view.u16(pos + 28, ByteOrder::Big, jpeg_.app13Value);
                // Resource blocks: "8BIM", id, even-padded Pascal name, size, data.
                uint64_t block = pos + 18;
                while (segment.contains(block, 12)) {
                    uint8_t tag[4] = {};
                    if (!segment.copy(block, tag, 4) || std::memcmp(tag, "8BIM", 4) != 0) break;
                    uint16_t id = 0;
                    uint8_t nameLength = 0;
                    segment.u16(block + 4, ByteOrder::Big, id);
                    segment.u8(block + 6, nameLength);
                    const uint64_t nameField = (uint64_t(nameLength) + 2) & ~uint64_t(1);
                    uint32_t size = 0;
                    if (!segment.u32(block + 6 + nameField, ByteOrder::Big, size)) break;
                    const uint64_t data = block + 6 + nameField + 4;
                    if (id == 0x03ED) {
                        if (segment.contains(data, size)) jpeg_.iptcResource = uint32_t(data);
                        break;
                    }
                    block = data + ((uint64_t(size) + 1) & ~uint64_t(1));
                }
            }
            break;
        default:
            break;
        }
        const uint64_t next = pos + uint64_t(segLength) + 2;
        if (!view.contains(next, 2)) return VQ_ERR_READ_PAST_BUFFER;
        pos = next;
    }
}

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
