// Opening a raw file: the four directories of its head, each checked before
// anything is taken from it.
#include "RawImage.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "ByteView.h"
#include "ColorTransformStage.h"
#include "RawContainer.h"
#include "RawEngine.h"
#include "RawIfdRecord.h"
#include "RawModelDefaults.h"
#include "RawTiffReader.h"
#include "SdkCamera.h"
#include "SdkRenderer.h"
#include "SdkUtilities.h"

namespace lumora::vq {

using lumora::ByteView;

namespace {

bool DenominatorsSet(const uint32_t* words, int pairs) {
    for (int i = 0; i < pairs; ++i)
        if (words[2 * i + 1] == 0) return false;
    return true;
}

} // namespace

VqStatus RawImage::ParseHeader(const uint8_t* header, uint32_t length) {
    headerLength_ = length;
    VqStatus status = CreateEngine();
    if (status) return status;
    if ((status = SetParameter<lumora::RendererImage*>(RP_IMAGE, static_cast<lumora::RendererImage*>(this))))
        return status;
    if ((status = SetParameter<void*>(RP_BAD_COLUMNS, &badColumnWord_))) return status;
    if ((status = SetParameter<const uint8_t**>(RP_IMAGE_DATA, &imageData_))) return status;

    const ByteView view(header, length);
    RawTiffReader reader;
    reader.Clear();
    uint32_t first = 0;
    if ((status = reader.ReadHeader(view, first))) return status;
    ifd0Offset_ = first;
    // The record is large; one on the heap serves all four directories.
    std::unique_ptr<RawIfdRecord> record(new (std::nothrow) RawIfdRecord());
    if (!record) return VQ_ERR_FILE_NO_MEMORY;
    RawIfdRecord& ifd = *record;

    if ((status = reader.ReadIfd(view, first, ifd, nullptr, nullptr, false))) return status;
    entryCounts_[0] = ifd.entryCount;
    bigEndian_ = reader.bigEndian() ? 1 : 0;
    if ((status = CheckMainIfd(ifd))) return status;
    subIfdOffsets_[0] = ifd.subIfds[0];
    subIfdOffsets_[1] = ifd.subIfds[1];
    privateIfdOffset_ = ifd.privateIfd;
    if ((status = ReadMainIfd(header, ifd))) return status;
    if ((status = SetParameter<int32_t>(RP_DATA_FORMAT, info_.modelFamily))) return status;

    if ((status = reader.ReadIfd(view, subIfdOffsets_[0], ifd, nullptr, nullptr, false))) return status;
    entryCounts_[1] = ifd.entryCount;
    if ((status = CheckThumbnailIfd(ifd))) return status;
    if ((status = ReadThumbnailIfd(header, ifd, length))) return status;

    ResolutionRecord resolution;
    if ((status = reader.ReadIfd(view, subIfdOffsets_[1], ifd, &resolution, nullptr, false))) return status;
    entryCounts_[2] = ifd.entryCount;
    LoadResolution(resolution);
    if ((status = CheckRawIfd(ifd))) return status;
    if ((status = ReadRawIfd(header, reader, ifd, length))) return status;

    if ((status = reader.ReadIfd(view, privateIfdOffset_, ifd, nullptr, &looks_, false))) return status;
    entryCounts_[3] = ifd.entryCount;
    if ((status = CheckVersionWord(ifd.fileVersion))) return status;
    newFormat_ = RawContainer::VersionMajor(ifd.fileVersion) == 2;
    oldFile_ = ifd.fileGeneration < RawModelDefaults::FileGenerationThreshold(info_.modelId);
    oldColourTables_ = ifd.colourTableGeneration < GetModelThreshold();

    if ((status = CheckPrivateIfd(ifd))) return status;
    if ((status = SetUpFromPrivateIfd(header, reader, ifd, length))) return status;

    if ((status = renderer_->PrepareStages())) return status;
    const uint32_t geometry[9] = {rawDataOffset_,      rawWidth_,          rawHeight_,
                                  rawByteCount_,       uint32_t(topMargin_), uint32_t(leftMargin_),
                                  uint32_t(bottomMargin_), uint32_t(rightMargin_), bytesPerSample_};
    std::memcpy(savedGeometry_, geometry, sizeof geometry);
    if ((status = ApplyExposure())) return status;
    RestoreFilters();

    SetRawClassFlag();
    return 0;
}

VqStatus RawImage::CheckMainIfd(const RawIfdRecord& ifd) {
    const bool ok = ifd.descriptionCount != 0 && ifd.modelCount != 0 && ifd.model2Count != 0 && ifd.width != 0 &&
                    ifd.height != 0 && ifd.subIfdCount >= 2 && ifd.subIfds[0] != 0 && ifd.subIfds[1] != 0 &&
                    ifd.privateIfd != 0 && ifd.exposureIndex != 0.0f && ifd.samplesPerPixel < 4;
    return ok ? 0 : VQ_ERR_BAD_FILE;
}

VqStatus RawImage::ReadMainIfd(const uint8_t* header, const RawIfdRecord& ifd) {
    ifd0FirstStrip_ = ifd.stripOffsets[0];
    headerStripOffset_ = ifd.stripOffsets[0];
    headerStripBytes_ = ifd.stripByteCounts[0];
    descriptionOffset_ = ifd.descriptionOffset;
    descriptionField_ = ifd.descriptionCount;
    try {
        // The description keeps its whole field, padding included: its length
        // is the field's, as after a rewrite in place.
        const uint32_t field = std::min<uint32_t>(ifd.descriptionCount, 512);
        const uint32_t text = field != 0 && ifd.description[field - 1] == '\0' ? field - 1 : field;
        SetInfoText(description_, ifd.description, text, &info_.description, &info_.descriptionLength);
        SetInfoText(software_, ifd.software, SdkTextLength(ifd.software, ifd.softwareCount, 20), &info_.software,
                    &info_.softwareLength);
        SetInfoText(model_, ifd.model, SdkTextLength(ifd.model, ifd.modelCount, 16), &info_.model,
                    &info_.modelLength);
        SetInfoText(model2_, ifd.model2, SdkTextLength(ifd.model2, ifd.model2Count, 20), &info_.model2,
                    &info_.model2Length);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_FILE_NO_MEMORY;
    }
    if (ifd.modelCount == 0 || model_.size() <= 1) return VQ_ERR_BAD_FILE;

    if (VqStatus status = TakeModel()) return status;

    info_.imageIndex = int32_t(ifd.imageNumber);
    fullWidth_ = ifd.width;
    fullHeight_ = ifd.height;
    storedWidth_ = ifd.width;
    storedHeight_ = ifd.height;
    if (ifd.dateTime[0]) SdkParseDateText(ifd.dateTime, info_.date);

    const bool colour = ifd.samplesPerPixel == 3 && info_.modelId != 19 && info_.modelId != 20;
    info_.isColour = colour ? 1 : 0;
    info_.colourSpace = SdkFourCC(colour ? "sRGB" : "GRAY");
    SetColourFlags();

    CameraValues& v = cameraValues_;
    v.exposureTime[0] = ifd.exposureTime[0];
    v.exposureTime[1] = ifd.exposureTime[1];
    v.fNumber = ifd.fNumber;
    v.exposureProgram = ifd.exposureProgram;
    v.exposureBias = ifd.exposureBias;
    v.subjectDistance = ifd.subjectDistance;
    v.meteringMode = ifd.meteringMode;
    v.flash = ifd.flash;
    v.focalLength = ifd.focalLength;
    v.exposureIndex = ifd.exposureIndex;
    if (VqStatus status = SetParameter<int32_t>(RP_IS_COLOR, info_.isColour)) return status;
    return SetIptcLocation(header, headerLength_, ifd.iptcOffset, ifd.iptcLength, ifd.iptcEntryOffset,
                           ifd.sensingMethodEntry, ifd.outOfOrder != 0);
}

VqStatus RawImage::CheckThumbnailIfd(const RawIfdRecord& ifd) {
    return ifd.stripOffsets[0] != 0 && ifd.stripByteCounts[0] != 0 ? 0 : VQ_ERR_BAD_FILE;
}

VqStatus RawImage::ReadThumbnailIfd(const uint8_t* header, const RawIfdRecord& ifd, uint32_t length) {
    const uint32_t offset = ifd.stripOffsets[0];
    const uint32_t count = ifd.stripByteCounts[0];
    if (uint64_t(offset) + count > length) return VQ_ERR_BAD_FILE;
    try {
        thumbnailBytes_.assign(count, 0);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_PROCESS_NO_MEMORY;
    }
    VqStatus status = CopyFromHeader(header, length, offset, thumbnailBytes_.data(), count);
    if (status) return status;
    const int32_t info[8] = {0, 0, int32_t(offset), int32_t(count), 0, 0, int32_t(ifd.width), int32_t(ifd.height)};
    std::memcpy(thumbnailInfo_, info, sizeof info);
    if ((status = SetParameterBytes(RP_THUMBNAIL_INFO, thumbnailInfo_, sizeof thumbnailInfo_))) return status;
    return SetParameter<const uint8_t*>(RP_THUMBNAIL_DATA, thumbnailBytes_.data());
}

VqStatus RawImage::GetThumbnail(void* destination) {
    // Callers size the destination from the stored picture's size in the
    // record; a thumbnail of any other size would leave part of it unwritten
    // or run past it.
    if (thumbnailInfo_[6] <= 0 || thumbnailInfo_[7] <= 0 || uint32_t(thumbnailInfo_[6]) != storedWidth_ ||
        uint32_t(thumbnailInfo_[7]) != storedHeight_)
        return VQ_ERR_BAD_FILE;
    return SdkImageBase::GetThumbnail(destination);
}

VqStatus RawImage::CheckRawIfd(const RawIfdRecord& ifd) {
    const bool ok = ifd.grayResponseCurve.count != 0 && ifd.grayResponseCurve.offset != 0 && ifd.width != 0 &&
                    ifd.height != 0 && ifd.stripOffsets[0] != 0 && ifd.stripByteCounts[0] != 0 &&
                    ifd.width <= kMaxRawSide && ifd.height <= kMaxRawSide && ifd.stripByteCounts[0] <= kMaxRawBytes &&
                    // The scaled table is copied from the built-in curve, which
                    // has no more entries than this.
                    ifd.grayResponseCurve.count <= kMaxLinearisationEntries;
    return ok ? 0 : VQ_ERR_BAD_FILE;
}

VqStatus RawImage::ReadRawIfd(const uint8_t* header, const RawTiffReader& reader, const RawIfdRecord& ifd,
                              uint32_t length) {
    VqStatus status = ReadShortTable(2, imageIndex_, ifd.grayResponseCurve.offset, ifd.grayResponseCurve.count,
                                     linearisation_, reader, header, length);
    if (status) return status;
    linearisationCount_ = uint32_t(linearisation_.size());
    hidden_[4] = {linearisation_.data(), uint32_t(linearisation_.size() * 2)};

    rawWidth_ = ifd.width;
    rawHeight_ = ifd.height;
    rawDataOffset_ = ifd.stripOffsets[0];
    rawByteCount_ = ifd.stripByteCounts[0];
    bytesPerSample_ = ifd.bitsPerSample[0] < 9 ? 1 : 2;
    if ((status = SetParameter<int32_t>(RP_CACHE_SAMPLE_BYTES, int32_t(bytesPerSample_)))) return status;
    info_.geometry.activeWidth = int32_t(rawWidth_);
    info_.geometry.activeHeight = int32_t(rawHeight_);
    info_.geometry.reserved = int32_t(rawByteCount_);
    reservedGeometryWord_ = rawByteCount_;
    dataOffset_ = rawDataOffset_;
    dataWidth_ = rawWidth_;
    dataHeight_ = rawHeight_;
    dataBytes_ = rawByteCount_;
    bytesPerStoredSample_ = bytesPerSample_;
    fullWidth_ = rawWidth_;
    fullHeight_ = rawHeight_;
    sensorGroup_ = ColorTransformStage::SensorSizeClass(int32_t(rawWidth_), int32_t(rawHeight_));
    if ((status = HandSensorLayoutToRenderer())) return status;

    // The first two bytes of the sensor data tell a lossless-JPEG stream (its
    // start-of-image marker) from plain samples.
    uint8_t head[4] = {};
    const ByteView view(header, length);
    if (!view.copy(rawDataOffset_, head, sizeof head)) {
        if (!camera_) return VQ_ERR_BAD_HANDLE;
        const uint64_t at = uint64_t(rawDataOffset_) + tiffOffset_;
        if (at > uint64_t(INT32_MAX)) return VQ_ERR_BAD_FILE;
        if ((status = camera_->ReadImageBytes(imageIndex_, sizeof head, head, 0, int32_t(at), 0))) return status;
    }
    const int32_t compressed = ifd.compression != 1 && RawContainer::IsJpegStart(ByteView(head, sizeof head)) ? 1 : 0;

    if ((status = SetParameter<int32_t>(RP_DATA_COMPRESSED, compressed))) return status;
    if ((status = SetParameter<int32_t>(RP_DATA_SIZE, int32_t(rawByteCount_)))) return status;
    if ((status = SetParameter<uint16_t*>(RP_UNPACK_TABLE, linearisation_.data()))) return status;
    if ((status = SetParameter<int32_t>(RP_UNPACK_TABLE_SIZE, int32_t(linearisation_.size())))) return status;
    if ((status = SetParameter<uint16_t>(RP_LINEAR_MAX, linearisation_.back()))) return status;
    if ((status = SetParameter<int32_t>(RP_RAW_WIDTH, int32_t(rawWidth_)))) return status;
    if ((status = SetParameter<int32_t>(RP_RAW_HEIGHT, int32_t(rawHeight_)))) return status;
    return SetParameter<int32_t>(RP_DATA_OFFSET, int32_t(rawDataOffset_));
}

VqStatus RawImage::CheckVersionWord(uint32_t version) {
    return RawContainer::VersionMajor(version) >= 3 ? VQ_ERR_VERSION_NOT_FOR_CLASS : 0;
}

bool RawImage::PrivateTagsPresent(const RawIfdRecord& ifd) const {
    return ifd.toneCurve0.count != 0 && ifd.toneCurve0.offset != 0 && ifd.outputCurve.count != 0 &&
           ifd.outputCurve.offset != 0 && ifd.greyTestValue != 0 && ifd.greyTestRatio[0] != 0 &&
           ifd.greyTestRatio[1] != 0 && ifd.activeWidth != 0 && ifd.activeHeight != 0;
}

bool RawImage::PrivateLimitsHold(const RawIfdRecord& ifd) {
    return ifd.rendererPrivate < 3 && ifd.cameraPreset < 6 && ifd.hiddenValue2 < 1000 && ifd.hiddenValue3 < 1000 &&
           ifd.leftMargin <= kMaxRawSide && ifd.topMargin <= kMaxRawSide && ifd.activeWidth <= kMaxRawSide &&
           ifd.activeHeight <= kMaxRawSide;
}

bool RawImage::PrivateMatricesComplete(const RawIfdRecord& ifd) {
    for (int i = 0; i < 5; ++i)
        if (!DenominatorsSet(ifd.presetMatrices[i], 9) || !DenominatorsSet(ifd.balanceTriples[i], 3)) return false;
    return DenominatorsSet(ifd.colorMatrices, 9);
}

VqStatus RawImage::CheckPrivateIfd(const RawIfdRecord& ifd) {
    if (!PrivateTagsPresent(ifd) || !PrivateLimitsHold(ifd)) return VQ_ERR_BAD_FILE;

    // The offset tables are indexed by sensor row and column, and the column
    // smoothing reads 64 values at either end.
    if (ifd.rowOffsets.count != 0 && ifd.rowOffsets.count < rawHeight_) return VQ_ERR_BAD_FILE;
    if (ifd.columnOffsets.count != 0 &&
        (ifd.columnOffsets.count < rawWidth_ || ifd.columnOffsets.count < kMinColumnOffsets))
        return VQ_ERR_BAD_FILE;

    const uint32_t tw = ifd.gainTileWidth, th = ifd.gainTileHeight, g = ifd.gainMap.count;
    if (g != 0) {
        if (tw == 0 || th == 0) return VQ_ERR_GAIN_MAP_SHORT;
        const uint64_t active = uint64_t(ifd.activeHeight / th) * (ifd.activeWidth / tw) * 3;
        if (g < active) return VQ_ERR_GAIN_MAP_SHORT;
        // The engine reads four planes of one gain per tile over the whole
        // sensor; three planes are widened to four at set-up.
        const uint64_t tiles = (uint64_t(rawWidth_) + tw - 1) / tw * ((uint64_t(rawHeight_) + th - 1) / th);
        if (g / tiles != 3 && g < tiles * 4) return VQ_ERR_GAIN_MAP_SHORT;
    }
    return PrivateMatricesComplete(ifd) ? 0 : VQ_ERR_BAD_FILE;
}

} // namespace lumora::vq
