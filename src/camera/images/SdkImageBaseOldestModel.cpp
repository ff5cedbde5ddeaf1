// The head of a file of the oldest models, the class this base is itself:
// directories, model text, tables and the header length.
#include "SdkImageBase.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

#include "ByteView.h"
#include "ColorTransformStage.h"
#include "CurveTable.h"
#include "SdkRenderer.h"
#include "ToneCurveGenerator.h"
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
    SetIptcLocation(header, length, ifd.iptcOffset, ifd.iptcLength, ifd.iptcEntryOffset, ifd.sensingMethodEntry,
                    ifd.outOfOrder != 0);

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
    descriptionFieldOffset_ = ifd.descriptionOffset;
    descriptionFieldLength_ = ifd.descriptionCount;
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
    // The unpacking tables index the stored curve with every 8-bit code.
    if (!status && storedTable_.size() < 256) status = VQ_ERR_BAD_FILE;
    ifd0FirstStrip_ = ifd.stripOffsets[0];
    headerStripOffset_ = ifd.stripOffsets[0];
    headerStripBytes_ = ifd.stripByteCounts[0];
    subIfdOffsets_[0] = ifd.subIfdCount > 0 ? ifd.subIfds[0] : 0;
    subIfdOffsets_[1] = ifd.subIfdCount > 1 ? ifd.subIfds[1] : 0;
    privateIfdOffset_ = ifd.privateIfd;
    std::memset(storedBlock_, 0, sizeof storedBlock_);
    storedBlockOffset_ = ifd.storedSettings.offset;
    if (!status && ifd.storedSettings.offset != 0)
        status = ReadHeaderOrFile(view, ifd.storedSettings.offset, storedBlock_, kStoredBlockBytes);
    DecodeSettingsRecords(reinterpret_cast<const uint8_t*>(ifd.settingsText),
                          std::min<uint32_t>(ifd.settingsTextCount, kSettingsRecordsBytes));

    if (!status) status = reader.ReadIfd(view, subIfdOffsets_[0], ifd, nullptr, nullptr, false);
    const bool colour = ifd.samplesPerPixel == 3;
    info_.isColour = colour ? 1 : 0;
    info_.colourSpace = SdkFourCC(colour ? "sRGB" : "GRAY");
    if (colour)
        info_.flags |= VQ_IMAGE_COLOUR;
    else
        info_.flags &= ~uint32_t(VQ_IMAGE_COLOUR);
    if (!status) SetColourFlags();
    uint32_t thumbOffsets[3] = {headerStripOffset_, 0, 0}, thumbBytes[3] = {headerStripBytes_, 0, 0};
    if (colour) {
        for (int i = 0; i < 3; ++i) {
            planeOffsets_[i] = thumbOffsets[i] = ifd.stripOffsets[i];
            planeBytes_[i] = thumbBytes[i] = ifd.stripByteCounts[i];
        }
        planeWidth_ = ifd.width;
        planeHeight_ = ifd.height;
        ResolutionRecord resolution;
        if (!status) status = reader.ReadIfd(view, subIfdOffsets_[1], ifd, &resolution, nullptr, false);
        if (!status) LoadResolution(resolution);
    }
    if (status) return status;
    if ((status = LoadThumbnailPlanes(colour, thumbOffsets, thumbBytes))) return status;

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

    int32_t channels = 0, bytes = 0;
    status = OutputFormat(info_.outputType, &channels, &bytes);
    if (status) return status;
    info_.geometry.channels = channels;
    info_.geometry.bytesPerSample = bytes;
    info_.dataBytes = int32_t(dataBytes_);
    sensorGroup_ = ColorTransformStage::SensorSizeClass(int32_t(std::min<uint32_t>(fullWidth_, INT32_MAX)),
                                                        int32_t(std::min<uint32_t>(fullHeight_, INT32_MAX)));
    status = HandSensorLayoutToRenderer();
    if (status) return status;
    return FinishOldestModelSetUp(colour);
}

VqStatus SdkImageBase::ReadHeaderOrFile(const ByteView& view, uint32_t offset, uint8_t* out, uint32_t count) {
    if (view.copy(offset, out, count)) return 0;
    if (!camera_) return VQ_ERR_BAD_HANDLE;
    const uint64_t at = uint64_t(offset) + tiffOffset_;
    if (at + count > uint64_t(INT32_MAX) || (fileSize_ != 0 && at + count > fileSize_)) return VQ_ERR_BAD_FILE;
    return camera_->ReadImageBytes(imageIndex_, count, out, 0, int32_t(at), 0);
}

VqStatus SdkImageBase::LoadThumbnailPlanes(bool colour, const uint32_t (&offsets)[3], const uint32_t (&bytes)[3]) {
    // The planes lie one after another from the first plane's offset; their
    // total is counted in 64 bits and checked against the file.
    const uint64_t total = colour ? uint64_t(bytes[0]) + bytes[1] + bytes[2] : uint64_t(bytes[0]);
    const uint64_t at = uint64_t(offsets[0]) + tiffOffset_;
    if (total == 0 || total > UINT32_MAX / 2 || (fileSize_ != 0 && at + total > fileSize_) ||
        at + total > uint64_t(INT32_MAX))
        return VQ_ERR_BAD_FILE;
    // Nothing is reserved for planes that cannot be read.
    if (!camera_) return VQ_ERR_BAD_HANDLE;
    try {
        thumbnailPlanes_.assign(size_t(total), 0);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_PROCESS_NO_MEMORY;
    }
    if (VqStatus status =
            camera_->ReadImageBytes(imageIndex_, uint32_t(total), thumbnailPlanes_.data(), 0, int32_t(at), 0))
        return status;
    thumbnailMonoWords_[0] = int32_t(headerStripOffset_);
    thumbnailMonoWords_[1] = int32_t(headerStripBytes_);
    for (int i = 0; i < 3; ++i) {
        thumbnailInfoWords_[2 * i] = colour ? int32_t(offsets[i]) : 0;
        thumbnailInfoWords_[2 * i + 1] = colour ? int32_t(bytes[i]) : 0;
    }
    thumbnailInfoWords_[6] = int32_t(planeWidth_);
    thumbnailInfoWords_[7] = int32_t(planeHeight_);
    return 0;
}

VqStatus SdkImageBase::BuildOldestModelCurves(bool colour) {
    const SensorGroupSettings* group = GroupSettings();
    if (!group) return VQ_ERR_BAD_FILE;
    const uint16_t last = storedTable_.back();
    int32_t maximum = group->sStop[0];
    if (last <= 4095)
        maximum = 4095;
    else if (last < maximum)
        maximum = last;
    maximumValue_ = uint16_t(std::clamp(maximum, 1, 0xFFFF));
    SetColorMatrixFromShorts(group->hiSatMatrix);
    for (int i = 0; i < 9; ++i) colourMatrices_[0][i] = {group->rgbMatrix[i], 32};
    SetRendererParameter(lumora::RP_COLOR_MATRICES, colourMatrices_[0], sizeof colourMatrices_[0]);
    const double gamma = colour ? group->color[0] : group->mono[0];

    using lumora::ToneCurveGenerator;
    try {
        logCurve_.assign(kToneCurveEntries, 0);
        filmCurve_.assign(kToneCurveEntries, 0);
        gammaTable_.assign(kGammaEntries, 0);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_PROCESS_NO_MEMORY;
    }
    const int32_t length = std::min<int32_t>(maximumValue_, kToneCurveEntries);
    VqStatus status = ToneCurveGenerator::BuildLogCurve(
        logCurve_.data(), length, group->sStop[1], ToneCurveGenerator::Knot(group->tStart[0], group->tStart[1]),
        ToneCurveGenerator::Knot(group->tStop[0], group->tStop[1]),
        ToneCurveGenerator::Knot(group->cCenter[0], group->cCenter[1]),
        ToneCurveGenerator::Knot(group->sStart[0], group->sStart[1]),
        ToneCurveGenerator::Knot(group->sStop[0], group->sStop[1]));
    if (status) {
        logCurve_.clear();
        return status;
    }
    status = ToneCurveGenerator::BuildFilmCurve(sensorGroup_, filmCurve_.data(), kToneCurveEntries, length,
                                                &filmCurveLength_);
    if (status) return status;
    lumora::CurveTable gammaCurve;
    if ((status = gammaCurve.Attach(gammaTable_.data(), kGammaEntries, 0xFFFF))) return status;
    return gammaCurve.BuildGamma(gamma);
}

VqStatus SdkImageBase::HandOldestModelParameters(bool colour) {
    const SensorGroupSettings* group = GroupSettings();
    const int32_t isColour = colour ? 1 : 0;
    lumora::RendererImage* self = this;
    const uint16_t zeros[3] = {0, 0, 0};
    uint16_t sample[3] = {0, 0, 0};
    if (group)
        for (int i = 0; i < 3; ++i) sample[i] = uint16_t(group->none[i]);
    uint16_t* table = storedTable_.data();
    const int32_t tableCount = int32_t(storedTable_.size());
    const int32_t rawWidth = int32_t(dataWidth_), rawHeight = int32_t(dataHeight_);
    lumora::SdkRenderer::NamedText model{};
    model.length = int32_t(std::min<size_t>(model2_.size(), sizeof model.text - 1));
    std::memcpy(model.text, model2_.data(), size_t(model.length));
    const int32_t dataOffset = int32_t(dataOffset_);
    uint16_t* logCurve = logCurve_.data();
    const int32_t toneSize = kToneCurveEntries;
    uint16_t* gamma = gammaTable_.data();
    const int32_t gammaSize = kGammaEntries;
    const uint8_t* thumbnail = thumbnailPlanes_.data();
    struct Cell {
        uint32_t id;
        const void* value;
        size_t bytes;
    };
    // In the order the renderer expects them: the stages it makes last read
    // what came before.
    const Cell cells[] = {
        {lumora::RP_IS_COLOR, &isColour, sizeof isColour},
        {lumora::RP_SENSOR_GROUP, &sensorGroup_, sizeof sensorGroup_},
        {lumora::RP_IMAGE, &self, sizeof self},
        {lumora::RP_OUTPUT_WINDOW, &outputWindow_, sizeof outputWindow_},
        {lumora::RP_SAMPLE_BALANCE, sample, sizeof sample},
        {lumora::RP_WHITE_BALANCE, whiteBalance_, sizeof whiteBalance_},
        {lumora::RP_MONO_BALANCE, zeros, sizeof zeros},
        {lumora::RP_UNPACK_OFFSET, &unpackOffsetCode_, sizeof unpackOffsetCode_},
        {lumora::RP_UNPACK_TABLE, &table, sizeof table},
        {lumora::RP_UNPACK_TABLE_SIZE, &tableCount, sizeof tableCount},
        {lumora::RP_RAW_WIDTH, &rawWidth, sizeof rawWidth},
        {lumora::RP_RAW_HEIGHT, &rawHeight, sizeof rawHeight},
        {lumora::RP_MAX_VALUE, &maximumValue_, sizeof maximumValue_},
        {lumora::RP_SHADING_POLY_1, shadingBlocks_[0], sizeof shadingBlocks_[0]},
        {lumora::RP_SHADING_POLY_2, shadingBlocks_[1], sizeof shadingBlocks_[1]},
        {lumora::RP_PROCESSING_DIRECTORY, processingDirectory_, sizeof processingDirectory_},
        {lumora::RP_MODEL_NAME, &model, sizeof model},
        {lumora::RP_THUMBNAIL_MONO, thumbnailMonoWords_, sizeof thumbnailMonoWords_},
        {lumora::RP_THUMBNAIL_INFO, thumbnailInfoWords_, sizeof thumbnailInfoWords_},
        {lumora::RP_DATA_OFFSET, &dataOffset, sizeof dataOffset},
        {lumora::RP_TONE_CURVE, &logCurve, sizeof logCurve},
        {lumora::RP_TONE_CURVE_SIZE, &toneSize, sizeof toneSize},
        {lumora::RP_OUTPUT_CURVE, &gamma, sizeof gamma},
        {lumora::RP_OUTPUT_CURVE_SIZE, &gammaSize, sizeof gammaSize},
        {lumora::RP_THUMBNAIL_DATA, &thumbnail, sizeof thumbnail},
    };
    for (const Cell& c : cells)
        if (VqStatus status = SetRendererParameter(c.id, c.value, c.bytes)) return status;
    return 0;
}

VqStatus SdkImageBase::FinishOldestModelSetUp(bool colour) {
    ApplyStoredSettings();
    if (sensorGroup_ == 2) unpackOffsetCode_ = 0;
    if (colour) {
        const uint16_t triple[3] = {whiteBalance_[0], whiteBalance_[1], whiteBalance_[2]};
        const uint32_t type = whiteBalanceType_ >= VQ_WB_DAYLIGHT && whiteBalanceType_ <= VQ_WB_NONE
                                  ? whiteBalanceType_
                                  : uint32_t(VQ_WB_CUSTOM);
        if (VqStatus status = SetWhiteBalance(type, triple)) return status;
    }
    if (VqStatus status = BuildOldestModelCurves(colour)) return status;
    if (VqStatus status = HandOldestModelParameters(colour)) return status;
    if (VqStatus status = renderer_->PrepareStages()) return status;
    const auto* calibration =
        static_cast<const lumora::SdkRenderer::NamedText*>(renderer_->Parameter(lumora::RP_CALIBRATION_FILE));
    if (calibration && calibration->length > 0) {
        const uint32_t n = uint32_t(std::min<int32_t>(calibration->length, int32_t(sizeof calibration->text) - 1));
        processingText_.assign(calibration->text, n);
        info_.processingData = processingText_.data();
        info_.processingDataLength = n;
    }
    SetLook(lookIndex_ == 1 ? 1 : 0);
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
