// The head of a file of the oldest models, the class this base is itself:
// directories, model text, tables and the header length.
#include "SdkImageBase.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "ByteView.h"
#include "ColorTransformStage.h"
#include "GpsText.h"
#include "RawContainer.h"
#include "RawIfdRecord.h"
#include "RawTiffReader.h"
#include "SdkCamera.h"
#include "SdkUtilities.h"

namespace lumora::vq {

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

} // namespace lumora::vq
