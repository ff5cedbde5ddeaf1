#include "SdkImageBase.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <optional>

#include "ByteView.h"
#include "ColorTransformStage.h"
#include "DirectoryEntry.h"
#include "DriverSettings.h"
#include "FixedMatrix.h"
#include "GpsText.h"
#include "OcmsSession.h"
#include "SdkRenderer.h"
#include "ImageClassFactory.h"
#include "RawContainer.h"
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

VqStatus SdkImageBase::ParseHeader(const uint8_t* header, uint32_t length) {
    headerLength_ = length;
    if (VqStatus status = CreateRenderer()) return status;
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

    SetInfoText(description_, ifd.description, SdkTextLength(ifd.description, ifd.descriptionCount, 512),
                &info_.description, &info_.descriptionLength);
    if (ifd.dateTime[0]) SdkParseDateText(ifd.dateTime, info_.date);
    TakeGpsText();
    SetInfoText(software_, ifd.software, SdkTextLength(ifd.software, ifd.softwareCount, 20), &info_.software,
                &info_.softwareLength);
    const uint32_t modelLength = SdkTextLength(ifd.model, ifd.modelCount, 16);
    SetInfoText(model_, ifd.model, modelLength, &info_.model, &info_.modelLength);
    SetInfoText(model2_, ifd.model2, SdkTextLength(ifd.model2, ifd.model2Count, 20), &info_.model2,
                &info_.model2Length);
    if (modelLength == 0) return VQ_ERR_BAD_FILE;
    status = TakeModel();
    if (status) return status;

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
    info_.colourSpace = SdkFourCC(colour ? "sRGB" : "GRAY");
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
    savedMargins_[0] = marginTop_;
    savedMargins_[1] = marginLeft_;
    savedMargins_[2] = marginBottom_;
    savedMargins_[3] = marginRight_;
    sensorGroup_ = ColorTransformStage::SensorSizeClass(int32_t(std::min<uint32_t>(fullWidth_, INT32_MAX)),
                                                        int32_t(std::min<uint32_t>(fullHeight_, INT32_MAX)));

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
    status = HandSensorLayoutToRenderer();
    if (status) return status;

    SetRawClassFlag();
    return 0;
}

VqStatus SdkImageBase::TakeModel() {
    const ModelRow* row = nullptr;
    int32_t modelId = 0;
    const int32_t family = SdkLookUpModel(model_.c_str(), &row, &modelId);
    if (family == kFamilyUnknown) return VQ_ERR_BAD_FILE;
    info_.modelFamily = family;
    info_.modelId = modelId;
    return 0;
}

void SdkImageBase::SetRawClassFlag() {
    const CameraRecord* cam = camera_ ? &camera_->record() : nullptr;
    if (cam && cam->cameraType == 3 && cam->cameraKind == 1)
        info_.flags &= ~uint32_t(VQ_IMAGE_RAW_CLASS);
    else
        info_.flags |= VQ_IMAGE_RAW_CLASS;
}

void SdkImageBase::TakeGpsText() {
    const std::string text(description_.c_str());
    std::string lines;
    if (std::optional<std::string> formatted = GpsText::Format(text)) {
        size_t at = text.find('$');
        if (at == std::string::npos) at = text.find("PLGR");
        // The readable lines may be longer than the sentence they replace: the
        // field grows to hold them, up to the description's 512 bytes.
        const size_t needed = std::min<size_t>(at + formatted->size() + 1, 512);
        if (description_.size() < needed) description_.resize(needed, '\0');
        GpsText::Replace(description_.data(), description_.size(), *formatted);
        info_.description = description_.data();
        info_.descriptionLength = uint32_t(description_.size());
        lines = std::move(*formatted);
    } else {
        const size_t lat = text.find("Lat:");
        if (lat == std::string::npos) return;
        const size_t utc = text.find("UTC:");
        lines = text.substr(utc != std::string::npos && utc < lat ? utc : lat);
    }
    extraData_ = GpsText::BuildDateText(info_.date, lines);
    extraData_.push_back('\0');
    info_.extraData = extraData_.data();
    info_.extraDataLength = uint32_t(extraData_.size());
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
    return RawContainer::HeaderLength(ByteView(tiff, available), *out);
}

VqStatus SdkImageBase::ReadHeaderLengthFromSubIfd(const uint8_t* tiff, uint32_t length, uint32_t* out) {
    return RawContainer::HeaderLengthFromSubIfd(ByteView(tiff, length), *out, fileSize_, tiffOffset_);
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

VqStatus SdkImageBase::SetRendererParameter(uint32_t id, const void* value, size_t bytes) {
    if (!renderer_) return VQ_ERR_NOT_SUPPORTED;
    void* cell = renderer_->Parameter(id);
    if (!cell) return VQ_ERR_BAD_ARGUMENT;
    std::memcpy(cell, value, bytes);
    return renderer_->ParameterChanged(id);
}

VqStatus SdkImageBase::CreateRenderer() {
    if (renderer_) return 0;
    renderer_.reset(new (std::nothrow) lumora::SdkRenderer());
    if (!renderer_) return VQ_ERR_PROCESS_NO_MEMORY;
    const uint8_t** cell = &imageData_;
    return SetRendererParameter(lumora::RP_IMAGE_DATA, &cell, sizeof cell);
}

VqStatus SdkImageBase::HandSensorLayoutToRenderer() {
    if (!renderer_) return 0;
    const int32_t colour = info_.isColour ? 1 : 0;
    lumora::RendererImage* self = this;
    OcmsImageRecord* cms = &colour_;
    const int32_t rawWidth = int32_t(dataWidth_), rawHeight = int32_t(dataHeight_);
    const int32_t dataOffset = int32_t(dataOffset_), dataSize = int32_t(dataBytes_);
    // Offsets and sizes the renderer keeps as signed 32-bit words: a file that
    // cannot be described in them is refused here rather than wrapped.
    if (dataOffset_ > uint32_t(INT32_MAX) || dataBytes_ > uint32_t(INT32_MAX) || dataWidth_ > uint32_t(INT32_MAX) ||
        dataHeight_ > uint32_t(INT32_MAX))
        return VQ_ERR_BAD_FILE;
    struct Cell {
        uint32_t id;
        const void* value;
        size_t bytes;
    };
    const Cell cells[] = {
        {lumora::RP_IS_COLOR, &colour, sizeof colour},
        {lumora::RP_SENSOR_GROUP, &sensorGroup_, sizeof sensorGroup_},
        {lumora::RP_IMAGE, &self, sizeof self},
        {lumora::RP_OUTPUT_WINDOW, &outputWindow_, sizeof outputWindow_},
        {lumora::RP_RAW_WIDTH, &rawWidth, sizeof rawWidth},
        {lumora::RP_RAW_HEIGHT, &rawHeight, sizeof rawHeight},
        {lumora::RP_PROCESSING_DIRECTORY, processingDirectory_, sizeof processingDirectory_},
        {lumora::RP_DATA_OFFSET, &dataOffset, sizeof dataOffset},
        {lumora::RP_DATA_SIZE, &dataSize, sizeof dataSize},
        {lumora::RP_CMS_TRANSFORM, &cms, sizeof cms},
    };
    for (const Cell& c : cells)
        if (VqStatus status = SetRendererParameter(c.id, c.value, c.bytes)) return status;
    return 0;
}

float SdkImageBase::Rotation() const {
    if (!renderer_) return 0.0f;
    float rotation = 0.0f;
    std::memcpy(&rotation, renderer_->Parameter(lumora::RP_ROTATION), sizeof rotation);
    return rotation;
}

int64_t SdkImageBase::ActiveWidth() const { return int64_t(fullWidth_) - marginLeft_ - marginRight_; }
int64_t SdkImageBase::ActiveHeight() const { return int64_t(fullHeight_) - marginTop_ - marginBottom_; }

VqStatus SdkImageBase::ActiveArea(int32_t fullWidth, int32_t fullHeight, int32_t top, int32_t left, int32_t bottom,
                                  int32_t right, SdkRect* out) {
    if (int16_t(top) < 0 || int16_t(left) < 0 || int16_t(bottom) < 0 || int16_t(right) < 0)
        return VQ_ERR_BAD_FILE;
    if (out)
        *out = {int16_t(left), int16_t(top), int16_t(fullWidth - right - left), int16_t(fullHeight - bottom - top)};
    return 0;
}

uint32_t SdkImageBase::MapTypeForMonochrome(uint32_t type) const {
    if (info_.isColour) return type;
    switch (type) {
    case VQ_TYPE_GRAY8: case VQ_TYPE_GRAY16: case VQ_TYPE_MONO8: case VQ_TYPE_MONO16: return type;
    case VQ_TYPE_RGB16: case VQ_TYPE_XRGB16: case VQ_TYPE_BGR16: case VQ_TYPE_BGRX16: return VQ_TYPE_GRAY16;
    case VQ_TYPE_CAMERA_RGB8: return VQ_TYPE_MONO8;
    case VQ_TYPE_CAMERA_RGB12: return VQ_TYPE_MONO16;
    default: return VQ_TYPE_GRAY8;
    }
}

VqStatus SdkImageBase::PrepareSpecialType(uint32_t) { return 0; }

VqStatus SdkImageBase::UpdateColorMatrices(int32_t, uint32_t type) {
    RationalValue matrix[9];
    std::memcpy(matrix, colourMatrices_[0], sizeof matrix);
    VqStatus status = 0;
    // Grey output of a colour file takes the colour result through the grey
    // block. A class that never filled that block gets the luminance of the
    // colour result (Rec. 709 weights, every row alike, summing to one), never a
    // block without denominators.
    static const RationalValue kLuminance[9] = {{871, 4096}, {2929, 4096}, {296, 4096},
                                                {871, 4096}, {2929, 4096}, {296, 4096},
                                                {871, 4096}, {2929, 4096}, {296, 4096}};
    const RationalValue* grey = FixedMatrix::AllDenominatorsSet(colourMatrices_[1]) ? colourMatrices_[1] : kLuminance;
    if (info_.isColour && (type == VQ_TYPE_GRAY8 || type == VQ_TYPE_GRAY16) &&
        FixedMatrix::AllDenominatorsSet(colourMatrices_[0])) {
        // The product keeps the smaller of the two denominators: a colour block
        // in coarse units (an identity in wholes) is first put in 4096ths, or
        // the luminance weights would round to 0, 1 and 0.
        RationalValue colour[9];
        std::memcpy(colour, colourMatrices_[0], sizeof colour);
        for (RationalValue& v : colour) {
            const double widened = double(v.numerator) * 4096.0 / (v.denominator ? v.denominator : 1);
            if (v.denominator > 0 && v.denominator < 4096 && std::fabs(widened) < 2.0e9) {
                v.numerator = int32_t(std::lround(widened));
                v.denominator = 4096;
            }
        }
        status = FixedMatrix::MultiplyRationals(grey, colour, matrix, 3);
    }
    if (status) return status;
    return SetRendererParameter(lumora::RP_COLOR_MATRICES, matrix, sizeof matrix);
}

VqStatus SdkImageBase::SetImageType(uint32_t type, int32_t force) {
    const bool accepted = info_.isColour
                              ? !(type == 1 || type == VQ_TYPE_MONO8 || type == VQ_TYPE_MONO16 || type > VQ_TYPE_MONO16)
                              : (type == VQ_TYPE_GRAY8 || type == VQ_TYPE_GRAY16 || type == VQ_TYPE_MONO8 ||
                                 type == VQ_TYPE_MONO16);
    if (!accepted) return VQ_ERR_BAD_IMAGE_TYPE;
    const bool special = type >= VQ_TYPE_CAMERA_RGB8 && type <= VQ_TYPE_MONO16;
    if (special && force == 0 && typeLocked_) return VQ_ERR_TYPE_LOCKED;

    // Checks that can still refuse run before anything changes, so a refused
    // type leaves the image as it was.
    int32_t channels = 0, bytes = 0;
    if (VqStatus status = OutputFormat(type, &channels, &bytes)) return status;

    const uint32_t previous = info_.outputType;
    const int32_t margins[4] = {marginTop_, marginLeft_, marginBottom_, marginRight_};
    const SdkRect window = outputWindow_;
    if (type != VQ_TYPE_RAW) {
        marginTop_ = savedMargins_[0];
        marginLeft_ = savedMargins_[1];
        marginBottom_ = savedMargins_[2];
        marginRight_ = savedMargins_[3];
    } else {
        marginTop_ = marginLeft_ = marginBottom_ = marginRight_ = 0;
    }
    if (previous == VQ_TYPE_RAW || type == VQ_TYPE_RAW)
        outputWindow_ = {int16_t(marginLeft_), int16_t(marginTop_), int16_t(ActiveWidth()), int16_t(ActiveHeight())};

    VqStatus status = special ? PrepareSpecialType(type) : 0;
    if (status == 0) status = UpdateColorMatrices(info_.isColour, type);
    if (status == 0 && renderer_) {
        const int32_t cell = int32_t(type);
        status = SetRendererParameter(lumora::RP_OUTPUT_TYPE, &cell, sizeof cell);
    }
    if (status) {
        marginTop_ = margins[0];
        marginLeft_ = margins[1];
        marginBottom_ = margins[2];
        marginRight_ = margins[3];
        outputWindow_ = window;
        return status;
    }
    info_.outputType = type;
    uint32_t space = info_.colourSpace;
    OnImageTypeChanged(type, &space, &info_.geometry.channels);
    return 0;
}

VqStatus SdkImageBase::GetImageType(uint32_t* out) {
    if (out) *out = info_.outputType;
    return 0;
}

VqStatus SdkImageBase::SetRotation(float degrees) {
    const float whole = std::trunc(degrees);
    if (!(whole == 0.0f || whole == 90.0f || whole == 180.0f || whole == 270.0f || whole == -90.0f ||
          whole == -180.0f || whole == -270.0f))
        return VQ_ERR_BAD_ROTATION;
    const float value = degrees < 0.0f ? degrees + 360.0f : degrees;
    if (VqStatus status = SetRendererParameter(lumora::RP_ROTATION, &value, sizeof value)) return status;
    return 0;
}

VqStatus SdkImageBase::GetRotation(float* out) {
    if (out) *out = Rotation();
    return 0;
}

VqStatus SdkImageBase::SetWhiteBalancePreset(int32_t preset) {
    whiteBalancePreset_ = preset;
    return 0;
}

VqStatus SdkImageBase::SetWhiteBalance(uint32_t type, const uint16_t* triple) {
    uint16_t values[3] = {whiteBalance_[0], whiteBalance_[1], whiteBalance_[2]};
    int32_t preset = 0;
    if (type == VQ_WB_CUSTOM) {
        if (!triple) return VQ_ERR_NULL_OUTPUT;
        std::memcpy(values, triple, sizeof values);
    } else {
        if (type < VQ_WB_DAYLIGHT || type > VQ_WB_NONE) return VQ_ERR_BAD_WHITE_BALANCE_TYPE;
        preset = type == VQ_WB_NONE ? 0 : int32_t(type) - 1;
        if (settings_ && sensorGroup_ >= 0 && sensorGroup_ < kSensorGroupCount) {
            const SensorGroupSettings& group = settings_->Group(SensorGroup(sensorGroup_));
            const int16_t* source = type == VQ_WB_DAYLIGHT      ? group.daylight
                                    : type == VQ_WB_TUNGSTEN    ? group.tungsten
                                    : type == VQ_WB_FLUORESCENT ? group.fluorescent
                                    : type == VQ_WB_FLASH       ? group.flash
                                                                : group.none;
            for (int i = 0; i < 3; ++i) values[i] = uint16_t(source[i]);
        }
    }
    whiteBalanceType_ = type;
    std::memcpy(whiteBalance_, values, sizeof values);
    VqStatus status = 0;
    if (renderer_) status = SetRendererParameter(lumora::RP_WHITE_BALANCE, values, sizeof values);
    if (status == 0) SetWhiteBalancePreset(preset);
    return status;
}

VqStatus SdkImageBase::GetWhiteBalance(uint32_t* type, uint16_t* triple) {
    if (type) *type = whiteBalanceType_;
    if (triple) std::memcpy(triple, whiteBalance_, sizeof whiteBalance_);
    return 0;
}

VqStatus SdkImageBase::CalculateWhiteBalance(const SdkRect* area, uint16_t* out) {
    if (!area || !out) return VQ_ERR_NULL_OUTPUT;
    if (!renderer_) return VQ_ERR_NOT_SUPPORTED;
    lumora::SensorGeometry geometry;
    geometry.width = int32_t(fullWidth_);
    geometry.height = int32_t(fullHeight_);
    geometry.topMargin = marginTop_;
    geometry.leftMargin = marginLeft_;
    geometry.bottomMargin = marginBottom_;
    geometry.rightMargin = marginRight_;
    // Sampling from the sensor data; the thumbnail source is chosen through a
    // hidden property this class does not hold.
    return renderer_->SampleWhiteBalance(area, out, 0, &geometry);
}

VqStatus SdkImageBase::SetDescription(ImageInfoRecord*, uint32_t, const char*) { return VQ_ERR_NOT_SUPPORTED; }

VqStatus SdkImageBase::SetSubSample(int16_t factor) {
    if (factor < 1 || factor > 32) return VQ_ERR_BAD_SUBSAMPLE;
    if (factor != 1 && factor % 2 != 0) return VQ_ERR_ODD_SUBSAMPLE;
    return SetRendererParameter(lumora::RP_SUBSAMPLE, &factor, sizeof factor);
}

VqStatus SdkImageBase::GetSubSample(int16_t* out) {
    if (out) {
        *out = 1;
        if (renderer_) std::memcpy(out, renderer_->Parameter(lumora::RP_SUBSAMPLE), sizeof *out);
    }
    return 0;
}

VqStatus SdkImageBase::SetPadBytes(uint8_t pad) { return SetRendererParameter(lumora::RP_PAD_BYTES, &pad, 1); }

VqStatus SdkImageBase::GetPadBytes(uint8_t* out) {
    if (out) {
        *out = 0;
        if (renderer_) std::memcpy(out, renderer_->Parameter(lumora::RP_PAD_BYTES), 1);
    }
    return 0;
}

VqStatus SdkImageBase::ValidateRectangle(const SdkRect* rect, int32_t width, int32_t height) {
    if (!rect) return VQ_ERR_NULL_OUTPUT;
    const int32_t x = rect->x, y = rect->y, w = rect->width, h = rect->height;
    if (x < 0 || y < 0 || w < 0 || h < 0) return VQ_ERR_RECT_NEGATIVE;
    if (w < 8 || h < 8) return VQ_ERR_RECT_TOO_SMALL;
    if (x >= width || y >= height) return VQ_ERR_RECT_ORIGIN_OUTSIDE;
    if (int64_t(x) + w > width || int64_t(y) + h > height) return VQ_ERR_RECT_OUTSIDE;
    if ((x | y | w | h) & 1) return VQ_ERR_RECT_MISALIGNED;
    return 0;
}

VqStatus SdkImageBase::OutputRectToSensor(SdkRect* rect) {
    if (!rect) return VQ_ERR_NULL_OUTPUT;
    const float rotation = Rotation();
    const int whole = int(rotation);
    const bool swap = whole == 90 || whole == 270;
    const int64_t width = swap ? ActiveHeight() : ActiveWidth();
    const int64_t height = swap ? ActiveWidth() : ActiveHeight();
    if (width < 0 || height < 0 || width > INT16_MAX || height > INT16_MAX) return VQ_ERR_BAD_FILE;
    if (VqStatus status = ValidateRectangle(rect, int32_t(width), int32_t(height))) return status;
    int16_t r[4] = {rect->x, rect->y, rect->width, rect->height};
    if (VqStatus status = SdkRotateRect(r, int16_t(width), int16_t(height), -rotation)) return status;
    // Inside the active area, so the sum stays within 16 bits.
    rect->x = int16_t(r[0] + marginLeft_);
    rect->y = int16_t(r[1] + marginTop_);
    rect->width = r[2];
    rect->height = r[3];
    return 0;
}

VqStatus SdkImageBase::SensorRectToOutput(SdkRect* rect) {
    if (!rect) return VQ_ERR_NULL_OUTPUT;
    const int64_t width = ActiveWidth(), height = ActiveHeight();
    if (width < 0 || height < 0 || width > INT16_MAX || height > INT16_MAX) return VQ_ERR_BAD_FILE;
    int16_t r[4] = {int16_t(rect->x - marginLeft_), int16_t(rect->y - marginTop_), rect->width, rect->height};
    if (VqStatus status = SdkRotateRect(r, int16_t(width), int16_t(height), Rotation())) return status;
    *rect = {r[0], r[1], r[2], r[3]};
    return 0;
}

VqStatus SdkImageBase::ToSensorDataRect(SdkRect* rect) {
    if (!rect) return VQ_ERR_NULL_OUTPUT;
    rect->x = int16_t(rect->x - marginLeft_);
    rect->y = int16_t(rect->y - marginTop_);
    return 0;
}

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
    if (renderer_) return renderer_->GetOutputFormat(type, bytesPerSample, channels);
    if (type > VQ_TYPE_LAB16 || kChannels[type] == 0) return VQ_ERR_BAD_IMAGE_TYPE;
    *channels = kChannels[type];
    *bytesPerSample = kBytes[type];
    return 0;
}

VqStatus SdkImageBase::GetGeometry(ImageGeometry* g) {
    if (!g) return VQ_ERR_NULL_OUTPUT;
    int32_t channels = 0, bytes = 0;
    VqStatus status = OutputFormat(info_.outputType, &channels, &bytes);
    OnImageTypeChanged(info_.outputType, nullptr, nullptr);
    if (status) return status;
    const float rotation = Rotation();
    int16_t subsample = 1;
    uint8_t pad8 = 0;
    GetSubSample(&subsample);
    GetPadBytes(&pad8);
    const int64_t pad = pad8;
    const int64_t s = subsample > 0 ? subsample : 1;
    const int64_t p = int64_t(channels) * bytes;
    g->channels = channels;
    g->bytesPerSample = bytes;
    info_.geometry.channels = channels;
    info_.geometry.bytesPerSample = bytes;

    // The record's sizes are 32-bit words: products of sizes from a file wrap
    // as such words do, computed without overflow.
    auto to32 = [](uint64_t v) { return int32_t(uint32_t(v)); };
    auto u = [](int64_t v) { return uint64_t(v); };
    const int64_t activeW = ActiveWidth();
    const int64_t activeH = ActiveHeight();
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
            // height or leaves a last strip of at least 6 rows. A window lower
            // than 6 rows has no such height: the search stops at 6 at once.
            int64_t t = 6;
            while (oh >= 6 && oh % t >= 1 && oh % t <= 5) t += 2;
            g->stripBytes = to32(row * u(t));
        }
        info_.geometry.outputWidth = g->outputWidth;
        info_.geometry.outputHeight = g->outputHeight;
        info_.geometry.stripBytes = g->stripBytes;
        info_.geometry.outputBytes = g->outputBytes;
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

VqStatus SdkImageBase::GetThumbnail(void* destination) {
    if (!renderer_) return VQ_ERR_NOT_SUPPORTED;
    if (VqStatus status = HandRenderRequest()) return status;
    return renderer_->RenderThumbnail(destination);
}

VqStatus SdkImageBase::GetImage(ImageBufferRecord* buffer, ProgressRecord* progress) {
    if (!renderer_) return VQ_ERR_NOT_SUPPORTED;
    if (VqStatus status = HandRenderRequest()) return status;
    return renderer_->RenderImage(buffer, progress);
}

VqStatus SdkImageBase::HandRenderRequest() {
    const int32_t type = int32_t(info_.outputType);
    OcmsImageRecord* cms = &colour_;
    struct Cell {
        uint32_t id;
        const void* value;
        size_t bytes;
    };
    const Cell cells[] = {
        {lumora::RP_OUTPUT_TYPE, &type, sizeof type},
        {lumora::RP_OUTPUT_WINDOW, &outputWindow_, sizeof outputWindow_},
        {lumora::RP_PROCESSING_DIRECTORY, processingDirectory_, sizeof processingDirectory_},
        {lumora::RP_CMS_TRANSFORM, &cms, sizeof cms},
        {lumora::RP_SHARPEN_ALLOWED, &extension44_, sizeof extension44_},
    };
    for (const Cell& c : cells)
        if (VqStatus status = SetRendererParameter(c.id, c.value, c.bytes)) return status;
    return 0;
}

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

VqStatus SdkImageBase::OnImageTypeChanged(uint32_t type, uint32_t* colourSpace, int32_t* channels) {
    uint32_t space = 0;
    const uint32_t mode = colour_.mode;
    OcmsSession* session = OcmsSession::Existing();
    if (mode == 0 || mode == 1 || ((mode == 2 || mode == 3 || mode == 4) && !session)) {
        if (type == VQ_TYPE_RAW)
            space = info_.isColour ? SdkFourCC("BCFA") : SdkFourCC("GRAY");
        else if (type == VQ_TYPE_GRAY8 || type == VQ_TYPE_GRAY16 || type == VQ_TYPE_MONO8 || type == VQ_TYPE_MONO16)
            space = SdkFourCC("GRAY");
        else if (type >= VQ_TYPE_RGB8 && type <= VQ_TYPE_BGRX16)
            space = SdkFourCC("sRGB");
        else if (type >= VQ_TYPE_CAMERA_RGB8 && type <= VQ_TYPE_CAMERA_RGB12)
            space = SdkFourCC("cRGB");
    } else if (mode == 2 || mode == 3 || mode == 4) {
        const int32_t slot = mode == 2 ? 4 : mode == 3 ? 5 : 3;
        OcmsProfileInfo profile{};
        session->GetProfileInfo(&colour_, slot, nullptr, &profile, nullptr);
        space = uint32_t(profile.values[4]);
        colour_.channels = uint32_t(profile.values[5]);
        if (channels) *channels = profile.values[5];
    } else {
        if (colourSpace) *colourSpace = 0;
        return 0;
    }
    info_.colourSpace = space;
    colour_.colourSpace = space;
    if (colourSpace) *colourSpace = space;
    return 0;
}

VqStatus SdkImageBase::SetColourMode(uint32_t mode) {
    colour_.lastStatus = 0;
    if (!info_.isColour && mode != 1) return VQ_ERR_OCMS_MONO_IMAGE;
    if (colour_.slots[3] == 0) return VQ_ERR_OCMS_NO_SOURCE_PROFILE;
    if (mode != 1 && info_.outputType >= VQ_TYPE_CAMERA_RGB8 && info_.outputType <= VQ_TYPE_CAMERA_RGB12)
        return VQ_ERR_OCMS_TYPE_CONFLICT;
    if (mode == 2 && colour_.slots[4] == 0) return VQ_ERR_OCMS_NO_OUTPUT_PROFILE;
    if (mode == 3 && colour_.slots[5] == 0) return VQ_ERR_OCMS_NO_OUTPUT_PROFILE2;
    colour_.mode = mode;
    return 0;
}

uint32_t SdkImageBase::GetColourMode() {
    colour_.lastStatus = 0;
    return colour_.mode;
}

VqStatus SdkImageBase::SetProfile(const char* name, int32_t slot, int32_t profileMode, void* info, void* header) {
    colour_.lastStatus = 0;
    if (!info_.isColour) return VQ_ERR_OCMS_MONO_IMAGE;
    OcmsSession* session = OcmsSession::Existing();
    if (!session) return VQ_ERR_OCMS_NOT_OPEN;
    uint32_t entry = 0;
    if (VqStatus status =
            session->LoadProfile(name, slot, profileMode, static_cast<OcmsProfileInfo*>(info), header, &entry))
        return status;
    colour_.slots[slot] = entry;
    // A prepared transform that was built over the replaced profile is no
    // longer the one asked for.
    if (slot == 3 || slot == 4) colour_.slots[1] = 0;
    if (slot == 3 || slot == 5 || slot == 6 || slot == 7) colour_.slots[2] = 0;
    return 0;
}

VqStatus SdkImageBase::GetProfileHandle(int32_t slot, uint32_t* out) {
    if (!out) return VQ_ERR_NULL_OUTPUT;
    *out = 0;
    if (slot < 0 || slot > 7) return VQ_ERR_OCMS_BAD_PROFILE_SLOT;
    *out = colour_.slots[slot];
    return 0;
}

uint32_t SdkImageBase::GetLastColourStatus() { return colour_.lastStatus; }
void SdkImageBase::SetLastColourStatus(uint32_t status) { colour_.lastStatus = status; }

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
    uint16_t first = 0;
    if (!RawContainer::IsJpegStart(view) || !view.u16(4, ByteOrder::Big, first) || uint64_t(first) + 6 > length)
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
