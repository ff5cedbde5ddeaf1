#include "RawImage.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "ByteView.h"
#include "CurveTable.h"
#include "FixedMatrix.h"
#include "LutStage.h"
#include "RawContainer.h"
#include "RawModelDefaults.h"
#include "RawTiffReader.h"
#include "SdkCamera.h"
#include "SdkCurveSet.h"
#include "SdkRenderer.h"
#include "SdkUtilities.h"
#include "SharpenStage.h"

#include "ColorTransformStage.h"
#include "RawEngine.h"
#include "StoredSettingsRecord.h"

namespace lumora::vq {

using lumora::ByteOrder;
using lumora::ByteView;
using lumora::SdkRenderer;

namespace {

// Nine rationals from the reader's eighteen words.
void ToRationals(const uint32_t* words, RationalValue* out) {
    for (int i = 0; i < 9; ++i) {
        out[i].numerator = int32_t(words[2 * i]);
        out[i].denominator = int32_t(words[2 * i + 1]);
    }
}

bool DenominatorsSet(const uint32_t* words, int pairs) {
    for (int i = 0; i < pairs; ++i)
        if (words[2 * i + 1] == 0) return false;
    return true;
}

// Half away from zero.
int16_t RoundOffset(double v) { return int16_t(std::lround(v)); }

constexpr uint32_t kColourFlags = 0x1BF8u;
constexpr int32_t kPrecisionFactor = 8;

} // namespace

RawImage::RawImage(const CameraRecord* record, DriverSettings* settings) : SdkImageBase(record, settings) {
    info_.whiteBalanceFileStatus = int32_t(VQ_ERR_WB_FILE_UNSUPPORTED_RAW);
    exposureAvailable_ = 1;
    hidden_[0] = {&leftMargin_, 4};
    hidden_[1] = {&topMargin_, 4};
    hidden_[2] = {&value1007_, 4};
    hidden_[3] = {&value1008_, 4};
    hidden_[4] = {nullptr, 0};
    hidden_[5] = {&linearisationCount_, 4};
    hidden_[6] = {&value1022_, 4};
    hidden_[7] = {&value1023_, 4};
    hidden_[8] = {values1033_, sizeof values1033_};
    hidden_[9] = {&hiddenWord9_, 4};
    hidden_[18] = {&settingsWord_, 4};
}

RawImage::~RawImage() {
    // The renderer frees the offset tables it was handed.
    renderer_.reset();
    rowOffsets_ = columnOffsets_ = nullptr;
}

// ---------------------------------------------------------------------------
// Parameters.

template <typename T>
VqStatus RawImage::SetParameter(uint32_t id, const T& value) {
    return SetParameterBytes(id, &value, sizeof value);
}

VqStatus RawImage::SetParameterBytes(uint32_t id, const void* value, size_t size) {
    if (!renderer_) return VQ_ERR_PROCESS_NO_MEMORY;
    return SetRendererParameter(id, value, size);
}

VqStatus RawImage::CopyFromHeader(const uint8_t* header, uint32_t length, uint64_t offset, void* out,
                                  uint64_t count) const {
    const ByteView view(header, length);
    return view.copy(offset, out, count) ? VqStatus(0) : VqStatus(VQ_ERR_BAD_FILE);
}

// ---------------------------------------------------------------------------
// Opening.

VqStatus RawImage::CreateEngine() {
    if (renderer_) return 0;
    renderer_.reset(new (std::nothrow) lumora::RawEngine());
    return renderer_ ? 0 : VQ_ERR_PROCESS_NO_MEMORY;
}

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

    if ((status = reader.ReadIfd(view, subIfdOffsets_[1], ifd, nullptr, nullptr, false))) return status;
    entryCounts_[2] = ifd.entryCount;
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

    SetRawClassFlag();
    return 0;
}

VqStatus RawImage::CheckMainIfd(const RawIfdRecord& ifd) {
    const bool ok = ifd.descriptionCount != 0 && ifd.modelCount != 0 && ifd.model2Count != 0 && ifd.width != 0 &&
                    ifd.height != 0 && ifd.subIfdCount >= 2 && ifd.subIfds[0] != 0 && ifd.subIfds[1] != 0 &&
                    ifd.privateIfd != 0 && ifd.exposureIndex != 0.0f && ifd.samplesPerPixel < 4;
    return ok ? 0 : VQ_ERR_BAD_FILE;
}

VqStatus RawImage::ReadMainIfd(const uint8_t*, const RawIfdRecord& ifd) {
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
    return SetParameter<int32_t>(RP_IS_COLOR, info_.isColour);
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

VqStatus RawImage::CheckToneCurveTag(const RawIfdRecord& ifd) {
    return ifd.toneCurve0.count != 0 && ifd.toneCurve0.offset != 0 ? 0 : VQ_ERR_BAD_FILE;
}

VqStatus RawImage::CheckPrivateIfd(const RawIfdRecord& ifd) {
    VqStatus status = CheckToneCurveTag(ifd);
    if (status) return status;
    const bool required = ifd.outputCurve.count != 0 && ifd.outputCurve.offset != 0 && ifd.greyTest2330 != 0 &&
                          ifd.greyTest2331[0] != 0 && ifd.greyTest2331[1] != 0 && ifd.activeWidth != 0 &&
                          ifd.activeHeight != 0;
    const bool limits = ifd.value1018 < 3 && ifd.cameraPreset < 6 && ifd.value1007 < 1000 && ifd.value1008 < 1000 &&
                        ifd.leftMargin <= kMaxRawSide && ifd.topMargin <= kMaxRawSide &&
                        ifd.activeWidth <= kMaxRawSide && ifd.activeHeight <= kMaxRawSide;
    if (!required || !limits) return VQ_ERR_BAD_FILE;

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

    for (int i = 0; i < 5; ++i) {
        if (!DenominatorsSet(ifd.presetMatrices[i], 9)) return VQ_ERR_BAD_FILE;
        if (!DenominatorsSet(ifd.balanceTriples[i], 3)) return VQ_ERR_BAD_FILE;
    }
    if (!DenominatorsSet(ifd.colorMatrices, 9)) return VQ_ERR_BAD_FILE;
    return 0;
}

// ---------------------------------------------------------------------------
// Processing set-up.

VqStatus RawImage::SetUpFromPrivateIfd(const uint8_t* header, const RawTiffReader& reader, const RawIfdRecord& ifd,
                                       uint32_t length) {
    CameraValues& v = cameraValues_;
    v.setting1002 = ifd.setting1002;
    v.setting1002Position = ifd.setting1002Position;
    v.settingsData = ifd.settingsData;
    v.setting1010 = ifd.setting1010;
    v.setting1011 = ifd.setting1011;
    v.setting1012 = ifd.setting1012;
    v.setting1013 = ifd.setting1013;
    v.extraData = ifd.extraData;
    v.cameraPreset = ifd.cameraPreset;
    ClampCameraPreset(&v.cameraPreset);

    VqStatus status = 0;
    {
        std::string text;
        const uint32_t count = ifd.cameraText.count;
        if (count != 0) {
            try {
                text.assign(count, '\0');
            } catch (const std::bad_alloc&) {
                status = VQ_ERR_FILE_NO_MEMORY;
            }
            if (!status) status = CopyFromHeader(header, length, ifd.cameraText.offset, text.data(), count);
        }
        if (!status) {
            const size_t n = std::strlen(text.c_str());
            try {
                cameraText_.assign(text.c_str(), n);
                cameraText_.push_back('\0');
            } catch (const std::bad_alloc&) {
                status = VQ_ERR_FILE_NO_MEMORY;
            }
            info_.cameraText = cameraText_.data();
            info_.cameraTextLength = uint32_t(n);
        }
    }

    for (int i = 0; i < 5; ++i) presetGains_[i] = ifd.presetGains[i];
    presetGains_[5] = 0;
    gainScale2306_ = ifd.gainScale2306;
    value2318_ = ifd.value2318;
    if (!status) status = SetParameter<int32_t>(RP_THUMB_TABLE_ON, int32_t(ifd.thumbTableOn));

    if (!status) status = BuildProcessingTables(header, reader, ifd, length);
    if (!status) {
        const uint16_t threshold = ifd.demosaicThreshold != 0 && !oldFile_
                                       ? ifd.demosaicThreshold
                                       : RawModelDefaults::DemosaicThreshold(info_.modelId);
        status = SetParameter<uint16_t>(RP_DEMOSAIC_THRESHOLD, threshold);
    }
    if (!status && ifd.toneCurve0.count != 0)
        status = ReadShortTable(2, imageIndex_, ifd.toneCurve0.offset, ifd.toneCurve0.count, toneCurve0_, reader,
                                header, length);
    if (!status && toneCurve1_.empty()) {
        try {
            toneCurve1_ = toneCurve0_;
        } catch (const std::bad_alloc&) {
            status = VQ_ERR_PROCESS_NO_MEMORY;
        }
    }
    if (!status) {
        topMargin_ = int32_t(ifd.topMargin);
        leftMargin_ = int32_t(ifd.leftMargin);
        bottomMargin_ = int32_t(int64_t(rawHeight_) - ifd.activeHeight - ifd.topMargin);
        rightMargin_ = int32_t(int64_t(rawWidth_) - ifd.activeWidth - ifd.leftMargin);
        // An active area larger than the sensor leaves nothing to render.
        if (bottomMargin_ < 0 || rightMargin_ < 0) status = VQ_ERR_BAD_FILE;
        activeWidthTag_ = ifd.activeWidth;
        activeHeightTag_ = ifd.activeHeight;
        marginTop_ = savedMargins_[0] = topMargin_;
        marginLeft_ = savedMargins_[1] = leftMargin_;
        marginBottom_ = savedMargins_[2] = bottomMargin_;
        marginRight_ = savedMargins_[3] = rightMargin_;
        outputWindow_ = {int16_t(leftMargin_), int16_t(topMargin_), int16_t(ifd.activeWidth),
                         int16_t(ifd.activeHeight)};
        value1007_ = ifd.value1007;
        value1008_ = ifd.value1008;
    }
    if (!status) {
        for (int i = 0; i < 6; ++i) {
            ToRationals(ifd.presetMatrices[i], presetMatrices_[i]);
            ToRationals(ifd.balanceMatrices[i], balanceMatrices_[i]);
            ToRationals(ifd.lookAMatrices[i], lookAMatrices_[i]);
            ToRationals(ifd.lookBMatrices[i], lookBMatrices_[i]);
        }
        ToRationals(ifd.lookMatrix, lookMatrix_);
        ToRationals(ifd.colorMatrices, colorMatrices_);
        std::memcpy(colourMatrices_[0], colorMatrices_, sizeof colorMatrices_);
        status = SetParameterBytes(RP_COLOR_MATRICES, colorMatrices_, sizeof colorMatrices_);
    }
    if (!status) {
        int32_t bytes = 0, channels = 0;
        status = renderer_->GetOutputFormat(info_.outputType, &bytes, &channels);
        if (!status) {
            info_.geometry.channels = channels;
            info_.geometry.bytesPerSample = bytes;
        }
        info_.dataBytes = 0;
    }
    VqWhiteBalanceMode state{};
    if (!status) {
        std::memcpy(values1033_, ifd.values1033, sizeof values1033_);
        storedSettingsOffset_ = ifd.storedSettings.offset;
        if (storedSettingsOffset_ != 0)
            status = CopyFromHeader(header, length, storedSettingsOffset_, storedSettings_, kStoredSettingsBytes);
        if (!status) status = ApplyStoredSettings(storedSettingsOffset_ != 0, &state);
    }
    if (!status) {
        value1022_ = ifd.value1022;
        value1023_ = ifd.value1023;
        SdkRenderer::NamedText name{};
        const size_t n = std::min(std::strlen(model2_.c_str()), sizeof name.text);
        std::memcpy(name.text, model2_.data(), n);
        name.length = int32_t(n);
        status = SetParameter(RP_MODEL_NAME, name);
    }
    if (!status) status = SetParameter<int32_t>(RP_MODEL_ID, info_.modelId);
    if (!status) status = SetParameter(RP_OUTPUT_WINDOW, outputWindow_);
    const uint16_t zeros[3] = {0, 0, 0};
    if (!status) status = SetParameterBytes(RP_SAMPLE_BALANCE, zeros, sizeof zeros);
    if (!status) status = SetParameterBytes(RP_WHITE_BALANCE, zeros, sizeof zeros);
    if (!status) status = SetParameterBytes(RP_MONO_BALANCE, zeros, sizeof zeros);
    if (!status) status = SetParameter<uint16_t*>(RP_TONE_CURVE, toneCurve0_.empty() ? nullptr : toneCurve0_.data());
    if (!status) status = SetParameter<int32_t>(RP_TONE_CURVE_SIZE, int32_t(toneCurve0_.size()));
    if (!status) {
        std::memcpy(balanceTriples_, ifd.balanceTriples, sizeof balanceTriples_);
        status = SetParameter<int32_t>(RP_PRIVATE_1018, int32_t(int16_t(ifd.value1018)));
    }
    if (!status) {
        int32_t preset = ifd.cameraPreset;
        ClampCameraPreset(&preset);
        cameraPreset_ = uint32_t(preset);
        status = SetParameter<int32_t>(RP_CAMERA_PRESET, preset);
    }
    if (!status) {
        CurveBlock block{};
        std::memcpy(block.longs, ifd.curveLongs, sizeof block.longs);
        const uint16_t shorts[7] = {ifd.curveShorts[0],  ifd.curveShorts[1],  ifd.curveShorts[2], ifd.curveShorts2[0],
                                    ifd.curveShorts2[1], ifd.curveShorts2[3], ifd.curveShorts2[4]};
        std::memcpy(block.shorts, shorts, sizeof shorts);
        block.flag3125 = ifd.flag3125 ? 1 : 0;
        block.newFormat = newFormat_ ? 1 : 0;
        curveBlock_ = block;
        CurveBlockHook(curveBlock_, balanceTriples_[5]);
    }
    if (!status && (status = FinishSetUp()) == 0) {
        if (ValidateBalanceMode(state.mode, state.preset, state.kind, uint32_t(state.r) | uint32_t(state.g) << 16,
                                state.b))
            DefaultBalanceMode(&state);
        status = ApplyBalanceMode(state.mode, state.preset, state.kind, uint32_t(state.r) | uint32_t(state.g) << 16,
                                  state.b, 0, info_.outputType);
    }
    // The first n bytes of an entry's data: up to four bytes sit in the entry's
    // own value word, in file order; longer data must lie in the head, which is
    // checked before anything is allocated for it.
    auto tagData = [&](const RawTagRef& ref, uint32_t n, std::string& out) -> VqStatus {
        if (ref.count > 4 && !ByteView(header, length).contains(ref.offset, n)) return VQ_ERR_BAD_FILE;
        try {
            out.assign(n, '\0');
        } catch (const std::bad_alloc&) {
            return VQ_ERR_FILE_NO_MEMORY;
        }
        if (ref.count > 4) return CopyFromHeader(header, length, ref.offset, out.data(), n);
        for (uint32_t i = 0; i < n; ++i)
            out[i] = char(bigEndian_ ? uint8_t(ref.offset >> (24 - 8 * i)) : uint8_t(ref.offset >> (8 * i)));
        return 0;
    };
    if (!status && ifd.settingsData.offset != uint32_t(kRawAbsent)) {
        const uint32_t n = std::min(ifd.settingsData.count, kMaxSettingsData);
        std::string data;
        status = tagData(ifd.settingsData, n, data);
        if (!status) {
            settingsData_ = std::move(data);
            info_.settingsData = settingsData_.data();
            info_.settingsDataLength = n;
        }
    }
    if (!status && ifd.extraData.offset != uint32_t(kRawAbsent)) {
        const uint32_t n = ifd.extraData.count;
        std::string data;
        status = tagData(ifd.extraData, n, data);
        if (!status) {
            extraData_ = std::move(data);
            info_.extraData = extraData_.data();
            info_.extraDataLength = n;
        }
    }

    const VqStatus again = SetParameter<void*>(RP_BAD_COLUMNS, &badColumnWord_);
    value2120_ = ifd.value2120;
    return status ? status : again;
}

VqStatus RawImage::BuildProcessingTables(const uint8_t* header, const RawTiffReader& reader, const RawIfdRecord& ifd,
                                         uint32_t length) {
    greyTest2330_ = ifd.greyTest2330;
    greyTest2331_ = ifd.greyTest2331[1] ? float(ifd.greyTest2331[0]) / float(ifd.greyTest2331[1]) : 0.0f;

    // Any table that cannot be read stops the set-up: the engine would
    // otherwise index a table that is not there.
    VqStatus status = 0;
    if (ifd.rowOffsets.count != 0)
        status = ReadShortTable(2, imageIndex_, ifd.rowOffsets.offset, ifd.rowOffsets.count, rowOffsetsFile_, reader,
                                header, length);
    if (!status && ifd.columnOffsets.count != 0)
        status = ReadShortTable(2, imageIndex_, ifd.columnOffsets.offset, ifd.columnOffsets.count,
                                columnOffsetsFile_, reader, header, length);
    if (!status && ifd.thumbTable.count != 0)
        status = ReadShortTable(2, imageIndex_, ifd.thumbTable.offset, ifd.thumbTable.count, thumbTable_, reader,
                                header, length);

    gainMap_.clear();
    gainTiles_ = 0;
    gainTileWidth_ = ifd.gainTileWidth;
    gainTileHeight_ = ifd.gainTileHeight;
    if (!status && ifd.gainMap.count != 0 && gainTileWidth_ != 0 && gainTileHeight_ != 0) {
        const uint32_t g = ifd.gainMap.count;
        const uint64_t tiles = (uint64_t(rawWidth_) + gainTileWidth_ - 1) / gainTileWidth_ *
                               ((uint64_t(rawHeight_) + gainTileHeight_ - 1) / gainTileHeight_);
        std::vector<uint16_t> values;
        // A map that cannot be read is left out; the engine then runs without one.
        if (ReadShortTable(1, imageIndex_, ifd.gainMap.offset, g, values, reader, header, length) == 0) {
            try {
                if (g / tiles == 3) {
                    // Planes R, G, B and the green again for the second green
                    // of the 2x2 cell; values past the three planes are not
                    // part of any plane.
                    gainMap_.reserve(size_t(4 * tiles));
                    gainMap_.assign(values.begin(), values.begin() + ptrdiff_t(3 * tiles));
                    gainMap_.insert(gainMap_.end(), values.begin() + ptrdiff_t(tiles),
                                    values.begin() + ptrdiff_t(2 * tiles));
                } else {
                    gainMap_ = std::move(values);
                }
                gainTiles_ = int32_t(tiles);
            } catch (const std::bad_alloc&) {
                gainMap_.clear();
            }
        }
    }

    VqStatus outputStatus = 0;
    if (!status) {
        if (ifd.outputCurve.count != 0) {
            outputStatus = ReadShortTable(2, imageIndex_, ifd.outputCurve.offset, ifd.outputCurve.count, outputCurve_,
                                          reader, header, length);
        } else {
            try {
                outputCurve_.assign(RawModelDefaults::kCurveEntries, 0);
            } catch (const std::bad_alloc&) {
                outputStatus = VQ_ERR_PROCESS_NO_MEMORY;
            }
            if (!outputStatus) {
                lumora::CurveTable gamma;
                outputStatus = gamma.Attach(outputCurve_.data(), int32_t(outputCurve_.size()), 0xFFFF);
                if (!outputStatus) outputStatus = gamma.BuildGamma(1.8);
            }
        }
    }
    if (!status && !outputStatus) {
        if (ifd.toneCurve1.offset != 0 && ifd.toneCurve1.count != 0)
            status = ReadShortTable(2, imageIndex_, ifd.toneCurve1.offset, ifd.toneCurve1.count, toneCurve1_, reader,
                                    header, length);
        else
            status = LoadDefaultToneCurve();
    }
    // The colour curves are chosen by the picture's sensitivity.
    const float index = cameraValues_.exposureIndex;
    sensitivity_ = index > 0.0f && index < 2147483520.0f ? int32_t(index) : 0;
    if (!status && !outputStatus && info_.isColour) status = BuildColourCurves(header, reader, ifd, 0, 1, length);

    sharpeningAvailable_ = 1;
    // The base's word is what every render hands the engine again, and what
    // extension 44 answers.
    extension44_ = 1;
    SetUpToneParameters(ifd);

    std::memcpy(sensitivityPairs_, ifd.sensitivityPairs, sizeof sensitivityPairs_);
    VqStatus p = SetParameter<const float*>(RP_SENSITIVITY_PAIRS, &sensitivityPairs_[0][0]);
    if (!p) p = SetParameter<int32_t>(RP_GAIN_TILE_WIDTH, int32_t(gainTileWidth_));
    if (!p) p = SetParameter<int32_t>(RP_GAIN_TILE_HEIGHT, int32_t(gainTileHeight_));
    // A map that was not read leaves no size behind.
    if (!p) p = SetParameter<int32_t>(RP_GAIN_MAP_SIZE, gainMap_.empty() ? 0 : gainTiles_);
    if (!p) p = SetParameter<uint16_t*>(RP_GAIN_MAP, gainMap_.empty() ? nullptr : gainMap_.data());
    if (!p) p = SetParameter<int32_t>(RP_OFFSET_TABLE_SIZE, int32_t(ifd.rowOffsets.count));
    if (!p) p = SetParameter<int32_t>(RP_PRECISION_FACTOR, kPrecisionFactor);
    if (!p) p = SetParameter<int32_t>(RP_THUMB_TABLE_SIZE, int32_t(thumbTable_.size()));
    if (!p) p = SetParameter<uint16_t*>(RP_THUMB_TABLE, thumbTable_.empty() ? nullptr : thumbTable_.data());
    if (!p) p = SetParameter<uint16_t*>(RP_OUTPUT_CURVE, outputCurve_.empty() ? nullptr : outputCurve_.data());
    if (!p) p = SetParameter<int32_t>(RP_OUTPUT_CURVE_SIZE, int32_t(outputCurve_.size()));
    if (!p) p = SetParameter<uint32_t>(RP_SHARPEN_ALLOWED, extension44_);
    if (status) return status;
    if (outputStatus) return outputStatus;
    return p;
}

VqStatus RawImage::LoadDefaultToneCurve() {
    const uint16_t* curve = RawModelDefaults::ToneCurve(info_.modelId);
    try {
        if (curve) {
            toneCurve1_.assign(curve, curve + RawModelDefaults::kCurveEntries);
        } else {
            // Models without a built-in curve: the second look follows the
            // first, once that is read.
            toneCurve1_.clear();
        }
    } catch (const std::bad_alloc&) {
        return VQ_ERR_PROCESS_NO_MEMORY;
    }
    return 0;
}

VqStatus RawImage::BuildColourCurves(const uint8_t* header, const RawTiffReader& reader, const RawIfdRecord& ifd,
                                     int32_t useTables, int32_t multiplier, uint32_t length) {
    uint16_t* tables[3] = {nullptr, nullptr, nullptr};
    int32_t count = 0;
    VqStatus status = 0;
    const uint16_t speed = uint16_t(std::clamp<int32_t>(sensitivity_, 0, 0xFFFF));

    if (!oldColourTables_ && ifd.colourCurves3601.count != 0) {
        std::vector<uint16_t> words;
        status = ReadShortTable(2, imageIndex_, ifd.colourCurves3601.offset, ifd.colourCurves3601.count / 2, words,
                                reader, header, length);
        if (!status) {
            std::vector<int16_t> table(words.begin(), words.end());
            status = lumora::SdkBuildCurveSetLuts(speed, &tables[0], &tables[1], &tables[2], &count, table.data(),
                                                  table.size());
        }
    } else if (oldColourTables_ || ifd.colourCurves3602.offset == 0) {
        const std::vector<int16_t>* table = GetDefaultColourCurves();
        if (!table) return 0;  // nothing to filter with for this model
        status = lumora::SdkBuildCurveSetLuts(speed, &tables[0], &tables[1], &tables[2], &count, table->data(),
                                              table->size());
    } else {
        // Three knot counts, then each channel's (x, y) knots one after the other.
        const ByteView view(header, length);
        auto readAt = [&](uint64_t offset, uint32_t n, std::vector<uint16_t>& out) -> VqStatus {
            out.clear();
            std::vector<uint8_t> bytes(size_t(n) * 2);
            if (!view.copy(offset, bytes.data(), bytes.size())) {
                if (!camera_) return VQ_ERR_BAD_HANDLE;
                const uint64_t at = offset + tiffOffset_;
                if (at > uint64_t(INT32_MAX) || bytes.size() > kMaxHeaderLength) return VQ_ERR_BAD_FILE;
                const VqStatus s =
                    camera_->ReadImageBytes(imageIndex_, uint32_t(bytes.size()), bytes.data(), 0, int32_t(at), 0);
                if (s) return s;
            }
            const ByteView table(bytes.data(), bytes.size());
            out.resize(n);
            for (uint32_t i = 0; i < n; ++i) table.u16(uint64_t(i) * 2, reader.order(), out[i]);
            return 0;
        };
        std::vector<uint16_t> knotCounts;
        status = readAt(ifd.colourCurves3602.offset, 3, knotCounts);
        uint64_t offset = uint64_t(ifd.colourCurves3602.offset) + 6;
        int32_t sizes[3] = {0, 0, 0};
        for (int c = 0; c < 3 && !status; ++c) {
            const uint32_t k = knotCounts[size_t(c)];
            std::vector<uint16_t> knots;
            status = readAt(offset, 2 * k, knots);
            if (!status) {
                std::vector<int16_t> signedKnots(knots.begin(), knots.end());
                status = lumora::LutStage::BuildFromKnots(int32_t(k), signedKnots.data(), &tables[c], &sizes[c]);
            }
            offset += 4ull * k;
        }
        if (!status && (sizes[0] != sizes[1] || sizes[1] != sizes[2])) status = VQ_ERR_BAD_FILE;
        count = sizes[0];
    }
    if (status) {
        for (uint16_t* t : tables) delete[] t;
        return status;
    }

    if (multiplier != 1)
        for (uint16_t* t : tables)
            for (int32_t i = 0; i < count; ++i) t[i] = uint16_t(t[i] * multiplier);
    for (int c = 0; c < 3; ++c) colourCurves_[c].reset(tables[c]);
    colourCurveCount_ = count;
    if ((status = SetParameter<uint16_t*>(RP_CFA_TABLE_1, colourCurves_[0].get()))) return status;
    if ((status = SetParameter<uint16_t*>(RP_CFA_TABLE_2, colourCurves_[1].get()))) return status;
    if ((status = SetParameter<uint16_t*>(RP_CFA_TABLE_3, colourCurves_[2].get()))) return status;
    return SetParameter<uint16_t>(RP_CFA_TABLE_SIZE, useTables ? uint16_t(count) : uint16_t(0));
}

void RawImage::SetUpToneParameters(const RawIfdRecord& ifd) {
    value2350_ = ifd.sharpen2350;
    if (oldFile_) {
        int32_t v[5] = {};
        SharpenStage::GetPresetParameters(sharpenKernel_, &v[0], &v[1], &v[2], &v[3], &v[4], info_.modelId);
        std::memcpy(sharpenValues_, v, sizeof v);
    } else {
        const uint16_t four = ifd.sharpen4 ? ifd.sharpen4 : 256;
        const uint16_t five = ifd.sharpen5 ? ifd.sharpen5 : 1024;
        for (int i = 0; i < 3; ++i) sharpenKernel_[i] = int16_t(ifd.sharpenKernelHead[i]);
        for (int i = 0; i < 25; ++i) sharpenKernel_[3 + i] = ifd.sharpenKernel[i];
        const int32_t values[5] = {ifd.sharpen1, ifd.sharpen2, ifd.sharpen3, four, five};
        std::memcpy(sharpenValues_, values, sizeof values);
    }
    SetParameterBytes(RP_SHARPEN_KERNEL, sharpenKernel_, sizeof sharpenKernel_);
    for (int i = 0; i < 5; ++i) SetParameter<int32_t>(RP_SHARPEN_1 + uint32_t(i), sharpenValues_[i]);
    const uint32_t* triple = rangeTriples_[value2350_ != 0 ? 2 : 0];
    std::memcpy(settingsTriple_, triple, sizeof settingsTriple_);
    std::memcpy(triple43_, triple, sizeof triple43_);
}

VqStatus RawImage::FinishSetUp() { return 0; }

VqStatus RawImage::ApplyStoredSettings(bool present, VqWhiteBalanceMode* state) {
    using Record = StoredSettingsRecord;
    Record::ProcessBlock block;
    bool valid = present;
    if (present) {
        valid = Record::DecodeProcessBlock(storedSettings_, &block);
        ReadSettingsBlock(storedSettings_ + Record::kProcessBytes);
    }
    VqWhiteBalanceMode decoded{};
    if (valid) {
        uint32_t type = block.outputType;
        if (type > 16) valid = false;
        type = MapTypeForMonochrome(type);
        if (valid) {
            info_.outputType = type;
            SetParameter<int32_t>(RP_OUTPUT_TYPE, int32_t(type));
            uint32_t space = info_.colourSpace;
            SdkImageBase::OnImageTypeChanged(type, &space, &info_.geometry.channels);
            UpdateColorMatrices(info_.isColour, type);
            int32_t bytes = 0, channels = 0;
            if (renderer_ && renderer_->GetOutputFormat(type, &bytes, &channels) == 0) {
                info_.geometry.channels = channels;
                info_.geometry.bytesPerSample = bytes;
            }
        }
        const uint8_t version = block.version;
        if (version == 1) valid = DecodeStoredBalanceV1(block, &decoded) && valid;
        else if (version == 2 || version == 3) valid = DecodeStoredBalance(block, &decoded) && valid;
        else valid = false;

        uint32_t rotation = block.rotation;
        if (rotation >= 360) rotation = 0;
        SetParameter<float>(RP_ROTATION, float(rotation));
        ApplyStoredWindow(block);
        if (block.look <= 10) lookIndex_ = block.look;
        if (sharpeningAvailable_) {
            sharpenMode_ = block.sharpenMode;
            sharpenLevel_ = block.sharpenLevel;
        }
        double exposure = block.exposure * 0.0001;
        ClampExposure(&exposure);
        exposure_ = exposure;
        if (block.chroma <= 100) chromaLevel_ = block.chroma;
        if (valid && settingsTriple_[0] == 0xFFFFFFFFu) {
            const uint32_t* triple = RangeTriple(sharpeningAvailable_ ? block.sharpenLevel : sharpenLevel_);
            std::memcpy(settingsTriple_, triple, sizeof settingsTriple_);
        }
    }
    if (valid) {
        DeriveCustomFlag(&decoded);
        *state = decoded;
    } else {
        ResetDefaults(state);
    }
    if (valid) info_.flags |= VQ_IMAGE_SETTINGS_VALID;
    else info_.flags &= ~uint32_t(VQ_IMAGE_SETTINGS_VALID);
    return 0;
}

bool RawImage::DecodeStoredBalanceV1(const StoredSettingsRecord::ProcessBlock& block, VqWhiteBalanceMode* state) {
    const uint8_t code = block.balanceCode;
    const uint16_t r = block.red, g = block.green, b = block.blue;
    if (code > 8) return false;
    *state = {};
    state->mode = 1;
    switch (code) {
    case 5: {
        // A custom triple names the preset it looks like.
        const uint16_t triple[3] = {r, g, b};
        int32_t cls = 0;
        if (!renderer_ || renderer_->IsGreyPatch(triple, &cls, greyTest2330_, greyTest2331_) != 0) return false;
        if (cls < 0 || cls > 3) return false;
        state->preset = cls;
        state->r = r;
        state->g = g;
        state->b = b;
        state->kind = 0;
        return true;
    }
    case 1: case 2: case 3: case 4:
        state->kind = 0;
        state->preset = code - 1;
        return true;
    case 6:
        state->kind = 1;
        state->r = state->g = state->b = 1;
        state->preset = 4;
        return true;
    case 7:
        state->kind = 0;
        state->preset = 4;
        return true;
    default:
        return false;
    }
}

bool RawImage::DecodeStoredBalance(const StoredSettingsRecord::ProcessBlock& block, VqWhiteBalanceMode* state) {
    const uint8_t code = block.balanceCode;
    // Code 9 is what a save writes for a balance that is off (every grey file):
    // it is a valid record, not a damaged one.
    if (code > 9) return false;
    *state = {};
    if (code == 9) {
        state->mode = 0;
    } else {
        state->mode = 1;
        state->preset = code;
    }
    state->r = block.red;
    state->g = block.green;
    state->b = block.blue;
    return true;
}

void RawImage::ApplyStoredWindow(const StoredSettingsRecord::ProcessBlock& block) {
    int32_t x = block.windowX, y = block.windowY, w = block.windowWidth, h = block.windowHeight;
    const int32_t storedWidth = block.usableWidth, storedHeight = block.usableHeight, storedTop = block.topMargin,
                  storedLeft = block.leftMargin;
    const bool adjusted = AdjustStoredWindow(&x, &y, &w, &h, storedWidth, storedHeight, storedTop, storedLeft);
    const int32_t U = int32_t(rawWidth_) - rightMargin_ - leftMargin_;
    const int32_t V = int32_t(rawHeight_) - bottomMargin_ - topMargin_;
    const bool keep = adjusted && x >= leftMargin_ && x <= U && y >= topMargin_ && y <= V && w >= 8 && w <= U &&
                      h >= 8 && h <= V;
    outputWindow_ = keep ? SdkRect{int16_t(x), int16_t(y), int16_t(w), int16_t(h)}
                         : SdkRect{int16_t(leftMargin_), int16_t(topMargin_), int16_t(U), int16_t(V)};
}

bool RawImage::AdjustStoredWindow(int32_t*, int32_t*, int32_t*, int32_t*, int32_t, int32_t, int32_t, int32_t) {
    return true;
}

const uint32_t* RawImage::RangeTriple(int32_t level) const {
    if (level <= 15) return rangeTriples_[0];
    if (level <= 49) return rangeTriples_[1];
    if (level <= 82) return rangeTriples_[2];
    return rangeTriples_[3];
}

VqStatus RawImage::MakeSettingsBlock(uint8_t* out) const {
    return StoredSettingsRecord::MakeSettingsBlock(settingsWord_, settingsTriple_, out);
}

VqStatus RawImage::ReadSettingsBlock(const uint8_t* in) {
    bool hasTriple = false;
    uint32_t triple[3] = {};
    const VqStatus status = StoredSettingsRecord::ReadSettingsBlock(in, &settingsWord_, triple, &hasTriple);
    storedSettingsWord_ = settingsWord_;
    if (hasTriple) {
        std::memcpy(settingsTriple_, triple, sizeof triple);
        std::memcpy(storedTriple_, triple, sizeof triple);
    }
    return status;
}

VqStatus RawImage::SaveProcessParameters() {
    using Record = StoredSettingsRecord;
    Record::ProcessBlock b;
    b.version = Record::kVersion;
    b.outputType = uint8_t(info_.isColour ? info_.outputType : MapTypeForMonochrome(info_.outputType));
    VqWhiteBalanceMode balance{};
    GetBalanceMode(&balance, false);
    PrepareBalanceForStore(&balance);
    b.balanceCode = uint8_t(balance.preset);
    b.red = balance.r;
    b.green = balance.g;
    b.blue = balance.b;
    b.rotation = uint16_t(int32_t(Rotation()));
    b.windowX = uint16_t(outputWindow_.x);
    b.windowY = uint16_t(outputWindow_.y);
    b.windowWidth = uint16_t(outputWindow_.width);
    b.windowHeight = uint16_t(outputWindow_.height);
    b.usableWidth = uint16_t(int32_t(rawWidth_) - rightMargin_ - leftMargin_);
    b.usableHeight = uint16_t(int32_t(rawHeight_) - bottomMargin_ - topMargin_);
    b.topMargin = uint8_t(topMargin_);
    b.leftMargin = uint8_t(leftMargin_);
    b.look = uint8_t(lookIndex_);
    b.sharpenMode = sharpenMode_;
    b.sharpenLevel = sharpenLevel_;
    double exposure = exposure_;
    b.exposure = ClampExposure(&exposure) ? int16_t(exposure_ * 10000.0) : 0;
    b.chroma = chromaLevel_;
    uint8_t record[Record::kRecordBytes];
    Record::EncodeProcessBlock(b, record);

    const bool unchanged = std::memcmp(record, storedSettings_, Record::kProcessBytes) == 0 &&
                           std::memcmp(settingsTriple_, storedTriple_, sizeof storedTriple_) == 0 &&
                           settingsWord_ == storedSettingsWord_;
    if (unchanged) return 0;
    if (storedSettingsOffset_ == 0) return VQ_ERR_NO_SETTINGS_RECORD;
    if (VqStatus status = MakeSettingsBlock(record + Record::kProcessBytes)) return status;
    if (!camera_) return VQ_ERR_BAD_HANDLE;
    const VqStatus status =
        Record::WriteWithRetry(camera_, imageIndex_, record, Record::kRecordBytes, storedSettingsOffset_);
    if (status) return status;
    std::memcpy(storedSettings_, record, Record::kRecordBytes);
    storedSettingsWord_ = settingsWord_;
    std::memcpy(storedTriple_, settingsTriple_, sizeof storedTriple_);
    return 0;
}

void RawImage::CurveBlockHook(const CurveBlock&, const uint32_t*) {}

uint32_t RawImage::GetModelThreshold() { return RawModelDefaults::ColourTableThreshold(info_.modelId); }

const std::vector<int16_t>* RawImage::GetDefaultColourCurves() {
    return RawModelDefaults::ColourCurves(info_.modelId);
}

// ---------------------------------------------------------------------------
// White balance and looks.

VqStatus RawImage::ValidateBalanceMode(int32_t mode, int32_t preset, int32_t kind, uint32_t rg, uint16_t b) {
    if ((info_.flags & VQ_IMAGE_COLOUR) == 0) return 0;
    if (mode < 1 || mode > 2 || kind < 0 || kind > 2) return VQ_ERR_BAD_BALANCE_MODE;
    if (mode == 1) {
        if (preset < 0 || (preset > 4 && preset != 5)) return VQ_ERR_BAD_BALANCE_KIND;
        if (preset == 5 && curveBlock_.flag3125 == 0) return VQ_ERR_MATRIX_NOT_AVAILABLE;
    }
    if (kind == 1) {
        const uint32_t c[3] = {rg & 0xFFFFu, rg >> 16, b};
        const bool zero = c[0] == 0 && c[1] == 0 && c[2] == 0;
        bool inRange = true;
        for (uint32_t v : c) inRange = inRange && v >= 1 && v <= 32767;
        if (!zero && !inRange) return VQ_ERR_BAD_CUSTOM_BALANCE;
    }
    return 0;
}

VqStatus RawImage::ApplyBalanceMode(int32_t mode, int32_t preset, int32_t kind, uint32_t rg, uint16_t b,
                                    int32_t apply, uint32_t outputType) {
    VqStatus status = SetParameterBytes(RP_COLOR_MATRIX_2, presetMatrices_[0], sizeof presetMatrices_[0]);
    if (status) return status;
    std::fill(std::begin(dirty_), std::end(dirty_), 1);
    if (mode == 2) mode = currentMode_;
    if (kind == 2) kind = currentKind_;
    if ((status = ValidateBalanceMode(mode, preset, kind, rg, b))) return status;

    VqWhiteBalanceMode given{mode, preset, kind, uint16_t(rg & 0xFFFFu), uint16_t(rg >> 16), b, 0};
    if (apply) BalanceZeroToOne(&given);

    if (mode == 1) {
        state_.mode = 1;
        currentMode_ = 1;
        const RationalValue* chosen = nullptr;
        VqStatus remembered = 0;
        if (preset >= 0 && preset <= 3) {
            presetIndex_ = preset;
            state_.preset = preset;
            status = SetParameterBytes(RP_COLOR_MATRIX, presetMatrices_[preset], sizeof presetMatrices_[preset]);
            chosen = balanceMatrices_[preset];
        } else if (preset == 4) {
            const int32_t e = int32_t(cameraPreset_);
            presetIndex_ = e;
            state_.preset = 4;
            status = SetParameterBytes(RP_COLOR_MATRIX, presetMatrices_[e], sizeof presetMatrices_[e]);
            chosen = balanceMatrices_[e];
        } else if (preset == 5) {
            // Tag 3122 is a signed count: a negative one means no measurement.
            if (curveBlock_.flag3125 != 0 && int32_t(curveBlock_.longs[0]) > 0) {
                presetIndex_ = 0;
                state_.preset = 5;
                status = SetParameterBytes(RP_COLOR_MATRIX, presetMatrices_[0], sizeof presetMatrices_[0]);
                chosen = balanceMatrices_[0];
            } else {
                remembered = VQ_ERR_MATRIX_NOT_AVAILABLE;
            }
        }
        if (status) return status;
        if (chosen) std::memcpy(currentBalance_, chosen, sizeof currentBalance_);
        SetWhiteBalancePreset(preset);
        if ((status = SetParameter<float>(RP_LINEAR_GAIN, 0.0f))) return status;
        if (remembered) return remembered;
        if (outputType >= VQ_TYPE_CAMERA_RGB8 && outputType <= VQ_TYPE_CAMERA_RGB12) {
            double linearGain = 0;
            if ((status = ComputeLinearGain(&linearGain, 0))) return status;
            if ((status = SetParameter<float>(RP_LINEAR_GAIN, float(linearGain)))) return status;
        }
    } else if (mode == 0) {
        state_.mode = 0;
        currentMode_ = 0;
    }

    if ((status = SelectLook(lookIndex_))) return status;

    if (kind == 1) {
        state_.kind = 1;
        currentKind_ = 1;
        state_.r = given.r;
        state_.g = given.g;
        state_.b = given.b;
    } else {
        state_.kind = kind == 2 ? 2 : 0;
        int32_t index = 0;
        if ((status = ComputeBalance(state_.preset, &state_.r, &state_.g, &state_.b, &index))) return status;
        if (kind == 0) currentKind_ = 0;
    }

    const uint16_t triple[3] = {state_.r, state_.g, state_.b};
    if ((status = SetParameterBytes(RP_WHITE_BALANCE, triple, sizeof triple))) return status;
    if ((status = SetParameter<int32_t>(RP_BALANCE_IS_LINEAR, state_.kind))) return status;
    if ((status = SetParameterBytes(RP_BALANCE_STATE, &state_, sizeof state_))) return status;
    std::fill(std::begin(dirty_), std::end(dirty_), 1);
    return ApplyExposure();
}

void RawImage::GetBalanceMode(VqWhiteBalanceMode* out, bool oneToZero) {
    *out = state_;
    if (oneToZero) BalanceOneToZero(out);
    if ((info_.flags & VQ_IMAGE_COLOUR) == 0) {
        out->mode = 0;
        out->kind = 0;
    }
}

void RawImage::DefaultBalanceMode(VqWhiteBalanceMode* out) { *out = {1, 4, 0, 0, 0, 0, 0}; }

void RawImage::ResetDefaults(VqWhiteBalanceMode* out) {
    const bool colour = info_.isColour != 0;
    info_.outputType = colour ? VQ_TYPE_RGB8 : VQ_TYPE_GRAY8;
    info_.colourSpace = SdkFourCC(colour ? "sRGB" : "GRAY");
    SetParameter<int32_t>(RP_OUTPUT_TYPE, int32_t(info_.outputType));
    SetParameter<float>(RP_ROTATION, 0.0f);
    DefaultBalanceMode(out);
    lookIndex_ = 0;
}

VqStatus RawImage::ComputeBalance(int32_t preset, uint16_t* r, uint16_t* g, uint16_t* b, int32_t* index) {
    int32_t e = 0;
    if (preset >= 0 && preset <= 3)
        e = preset;
    else if (preset == 4)
        e = int32_t(cameraPreset_);
    else
        return VQ_ERR_BAD_STAGE_MODE;
    const uint32_t* t = balanceTriples_[e];
    if (t[1] == 0 || t[3] == 0 || t[5] == 0) return VQ_ERR_BAD_NUMBER;
    *r = uint16_t(t[0] / t[1]);
    *g = uint16_t(t[2] / t[3]);
    *b = uint16_t(t[4] / t[5]);
    *index = e;
    return 0;
}

VqStatus RawImage::SetWhiteBalancePreset(int32_t preset) {
    if (preset >= 0 && preset <= 3) {
        balanceIndex_ = balanceIndexCopy_ = presetIndex_ = preset;
    } else if (preset == 4) {
        if (VqStatus status = SelectCameraPreset()) return status;
    } else if (preset == 5) {
        int32_t index = 0;
        if (VqStatus status = FixedMatrix::FindStoredMatrix(presetMatrices_[0], presetMatrices_[5], &index))
            return status;
        balanceIndex_ = index;
        presetIndex_ = balanceIndexCopy_ = 5;
    } else {
        return VQ_ERR_BAD_BALANCE_KIND;
    }
    std::memcpy(currentBalance_, balanceMatrices_[balanceIndex_], sizeof currentBalance_);
    return 0;
}

VqStatus RawImage::SelectCameraPreset() {
    const int32_t c = int32_t(cameraPreset_);
    if (c >= 0 && c <= 3) {
        balanceIndex_ = balanceIndexCopy_ = presetIndex_ = c;
        return 0;
    }
    if (c == 4 || c == 5) {
        int32_t index = 0;
        if (VqStatus status = FixedMatrix::FindStoredMatrix(presetMatrices_[0], presetMatrices_[c], &index))
            return status;
        balanceIndex_ = index;
        balanceIndexCopy_ = presetIndex_ = c;
        return 0;
    }
    return VQ_ERR_BAD_BALANCE_KIND;
}

void RawImage::ClampCameraPreset(int32_t* value) {
    if (*value > 4 || *value < 0) *value = 0;
}

void RawImage::BalanceZeroToOne(VqWhiteBalanceMode* s) {
    if (s->kind == 1 && s->r == 0 && s->g == 0 && s->b == 0) s->r = s->g = s->b = 1;
}

void RawImage::BalanceOneToZero(VqWhiteBalanceMode* s) {
    if (s->kind != 0 && s->r == 1 && s->g == 1 && s->b == 1) s->r = s->g = s->b = 0;
}

void RawImage::PrepareBalanceForStore(VqWhiteBalanceMode* s) {
    if (s->mode == 0) s->preset = 9;
    if (s->kind == 0) s->r = s->g = s->b = 0x7FFF;
}

void RawImage::DeriveCustomFlag(VqWhiteBalanceMode* s) {
    s->kind = 1;
    if ((s->r == 0 && s->g == 0 && s->b == 0) || (s->r == 0x7FFF && s->g == 0x7FFF && s->b == 0x7FFF)) s->kind = 0;
}

VqStatus RawImage::PrepareSpecialType(uint32_t outputType) {
    VqWhiteBalanceMode s{};
    GetBalanceMode(&s, false);
    return ApplyBalanceMode(s.mode != 0 ? 1 : 0, s.preset, s.kind != 0 ? 1 : 0,
                            uint32_t(s.r) | uint32_t(s.g) << 16, s.b, 0, outputType);
}

VqStatus RawImage::ComputeLinearGain(double* out, int32_t index) {
    *out = 0;
    if (value2318_ == 0.0f) value2318_ = 371.0f;
    if (presetGains_[3] == 0.0f) presetGains_[3] = presetGains_[0];
    presetGains_[4] = presetGains_[0];
    for (int i = 0; i < 4; ++i) {
        // The first four and a half rationals, as the camera compares them.
        if (std::memcmp(presetMatrices_[i], presetMatrices_[4], 36) == 0) {
            presetGains_[4] = presetGains_[i];
            break;
        }
    }
    if (index < 0 || index > 4) return VQ_ERR_LINEAR_GAIN_ZERO;
    const double a = presetGains_[index];
    const double s = gainScale2306_;
    if (a == 0) return VQ_ERR_LINEAR_GAIN_ZERO;
    if (s < 0.5) return VQ_ERR_LINEAR_GAIN_SCALE;
    double gain = 0;
    if (a >= 0.5) {
        gain = a;
    } else if (s >= 100) {
        gain = std::pow(10.0, std::log10(4095.0) * s * a / 4095.0);
    } else {
        return VQ_ERR_LINEAR_GAIN_SCALE;
    }
    if (gain < 0.5) return VQ_ERR_LINEAR_GAIN_LOW;
    if (gain > 2.0) return VQ_ERR_LINEAR_GAIN_HIGH;
    *out = gain;
    return 0;
}

VqStatus RawImage::SelectLook(int32_t look) {
    std::fill(std::begin(dirty_), std::end(dirty_), 1);
    if (look != 0 && look != 1) return VQ_ERR_NAME_NOT_FOUND;
    const std::vector<uint16_t>& curve = look ? toneCurve1_ : toneCurve0_;
    VqStatus status = SetParameter<int32_t>(RP_LOOK, look);
    if (!status) status = SetParameter<uint16_t*>(RP_TONE_CURVE, curve.empty() ? nullptr : const_cast<uint16_t*>(curve.data()));
    if (!status) status = SetParameter<int32_t>(RP_TONE_CURVE_SIZE, int32_t(curve.size()));
    if (!status) status = SetLookMatrix(look);
    if (!status) lookIndex_ = look;
    return status;
}

VqStatus RawImage::SetLookMatrix(int32_t look) {
    if (presetIndex_ < 0 || presetIndex_ > 5) return VQ_ERR_BAD_BALANCE_KIND;
    const RationalValue* preset = presetMatrices_[presetIndex_];
    if (look == 0) return SetParameterBytes(RP_COLOR_MATRIX, preset, sizeof presetMatrices_[0]);
    if (look != 1) return VQ_ERR_NAME_NOT_FOUND;
    static const RationalValue kBuiltIn[9] = {{100, 100}, {0, 100},   {0, 100}, {0, 100},  {100, 100},
                                              {0, 100},   {0, 100},   {0, 100}, {100, 100}};
    const RationalValue* l = FixedMatrix::AllDenominatorsSet(lookMatrix_) ? lookMatrix_ : kBuiltIn;
    FixedMatrix matrix;
    matrix.SetFromRationals(l);
    if (!matrix.IsValid()) return VQ_ERR_BAD_NUMBER;
    RationalValue combined[9];
    if (VqStatus status = matrix.CombineWithRowTables(preset, combined, false)) return status;
    return SetParameterBytes(RP_COLOR_MATRIX, combined, sizeof combined);
}

// ---------------------------------------------------------------------------
// Exposure.

bool RawImage::ClampExposure(double* e) {
    if (*e >= -2.0 && *e <= 2.0) return true;
    if (*e >= -2.05 && *e < -2.0) {
        *e = -2.0;
        return true;
    }
    if (*e > 2.0 && *e <= 2.05) {
        *e = 2.0;
        return true;
    }
    *e = 0;
    return false;
}

VqStatus RawImage::ApplyExposure() {
    VqStatus status = 0;
    if (info_.outputType == VQ_TYPE_RAW) {
        if ((status = SetParameter<uint16_t*>(RP_UNPACK_TABLE, linearisation_.data()))) return status;
        if ((status = SetParameter<int32_t>(RP_UNPACK_TABLE_SIZE, int32_t(linearisation_.size())))) return status;
        if ((status = SetParameter<uint16_t>(RP_LINEAR_MAX, linearisation_.empty() ? 0 : linearisation_.back())))
            return status;
    }
    if ((status = UpdateExposure())) return status;
    if ((status = BuildLinearisationTable())) return status;
    if ((status = BuildThumbnailTable())) return status;
    return BuildOffsetTables(exposureFactor_);
}

VqStatus RawImage::UpdateExposure() {
    if (!ClampExposure(&exposure_)) exposure_ = 0;
    exposureFactor_ = exposureFactorCopy_ = std::pow(2.0, exposure_);
    const double base = GetBaseSensitivity();
    if (base <= 0) {
        exposure_ = 0;
        return VQ_ERR_BAD_NUMBER;
    }
    // A file that does not say its exposure index was taken at the base
    // sensitivity; a negative index would turn the tables upside down.
    const double sensitivity = sensitivity_ > 0 ? double(sensitivity_) : base;
    gain_ = sensitivity / base * exposureFactor_;
    return 0;
}

double RawImage::GetBaseSensitivity() {
    int cls = 0;
    if (state_.preset == 1)
        cls = 1;
    else if (state_.preset == 2)
        cls = 2;
    else if (state_.preset == 3 && sensitivityPairs_[3][0] != 0.0f && sensitivityPairs_[3][1] != 0.0f)
        cls = 3;
    const int32_t id = info_.modelId;
    const bool second = id == 14 || id == 15 || id == 17 || id == 19 || id == 20;
    return sensitivityPairs_[cls][second ? 1 : 0];
}

VqStatus RawImage::BuildLinearisationTable() {
    if (linearisation_.empty()) return VQ_ERR_BAD_FILE;
    const size_t n = std::min<size_t>(linearisation_.size(), kMaxLinearisationEntries);
    try {
        if (scaledLinearisation_.size() != n) scaledLinearisation_.assign(n, 0);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_NO_MEMORY;
    }
    const uint16_t* source = RawModelDefaults::LinearisationCurve();
    std::copy(source, source + n, scaledLinearisation_.begin());
    lumora::LutStage::ScaleByFactor(scaledLinearisation_.data(), uint32_t(n), gain_, linearisation_.back());
    VqStatus status = SetParameter<uint16_t*>(RP_UNPACK_TABLE, scaledLinearisation_.data());
    if (!status) status = SetParameter<uint16_t>(RP_LINEAR_MAX, scaledLinearisation_.back());
    return status;
}

VqStatus RawImage::BuildThumbnailTable() {
    if (exposure_ != 0 && !thumbTable_.empty()) {
        try {
            scaledThumbTable_ = thumbTable_;
        } catch (const std::bad_alloc&) {
            return VQ_ERR_NO_MEMORY;
        }
        lumora::LutStage::ScaleByFactor(scaledThumbTable_.data(), uint32_t(scaledThumbTable_.size()),
                                        exposureFactor_, linearisation_.empty() ? 0 : linearisation_.back());
        return SetParameter<uint16_t*>(RP_THUMB_TABLE, scaledThumbTable_.data());
    }
    scaledThumbTable_.clear();
    scaledThumbTable_.shrink_to_fit();
    return SetParameter<uint16_t*>(RP_THUMB_TABLE, thumbTable_.empty() ? nullptr : thumbTable_.data());
}

VqStatus RawImage::BuildOffsetTables(double x) {
    const uint32_t n = rowOffsetsFile_.empty() ? rawHeight_ : uint32_t(rowOffsetsFile_.size());
    if (!rowOffsets_) {
        rowOffsets_ = static_cast<int16_t*>(std::calloc(std::max<uint32_t>(n, 1), sizeof(int16_t)));
        if (!rowOffsets_) return VQ_ERR_NO_MEMORY;
        rowOffsetCount_ = n;
    }
    if (!rowOffsetsFile_.empty()) {
        const double f = int16_t(rowOffsetsFile_.front());
        const double l = int16_t(rowOffsetsFile_.back());
        for (uint32_t i = 0; i < n; ++i) rowOffsets_[i] = RoundOffset(8 * x * (f + i * (l - f) / n));
    }

    // Without a column table of its own the file gets one of zeros, so the
    // engine always has a column for every sensor column.
    const uint32_t m = columnOffsetsFile_.empty() ? rawWidth_ : uint32_t(columnOffsetsFile_.size());
    if (!columnOffsets_) {
        columnOffsets_ = static_cast<int16_t*>(std::calloc(std::max<uint32_t>(m, 1), sizeof(int16_t)));
        if (!columnOffsets_) return VQ_ERR_NO_MEMORY;
        columnOffsetCount_ = m;
    }
    if (!columnOffsetsFile_.empty() && m >= kMinColumnOffsets) {
        auto value = [&](uint32_t i) { return double(int16_t(columnOffsetsFile_[i])); };
        double a = 0, z = 0;
        for (uint32_t i = 0; i < 64; ++i) a += value(i);
        for (uint32_t i = m - 65; i <= m - 2; ++i) z += value(i);
        a /= 64;
        z /= 64;
        for (uint32_t j = 0; j <= 64; ++j) columnOffsets_[j] = RoundOffset(8 * x * a);
        for (uint32_t j = m - 65; j < m; ++j) columnOffsets_[j] = RoundOffset(8 * x * z);
        // A window of 128 columns around each j, slid one column at a time
        // (only reached when m >= 129). The sums are whole numbers, so the
        // running sum is exact.
        int64_t sum = 0;
        if (m >= 129)
            for (uint32_t k = 0; k < 128; ++k) sum += int16_t(columnOffsetsFile_[k]);
        for (uint32_t j = 64; j + 65 <= m && m >= 129; ++j) {
            if (j > 64) sum += int64_t(int16_t(columnOffsetsFile_[j + 63])) - int16_t(columnOffsetsFile_[j - 65]);
            columnOffsets_[j] = RoundOffset(8 * x * double(sum) / 128);
        }
    }

    VqStatus status = SetParameter<int32_t>(RP_OFFSET_TABLE_SIZE, int32_t(rowOffsetsFile_.size()));
    if (!status) status = SetParameter<int16_t*>(RP_ROW_OFFSETS, rowOffsets_);
    if (!status) status = SetParameter<int16_t*>(RP_COLUMN_OFFSETS, columnOffsets_);
    return status;
}

VqStatus RawImage::SetExposure(float stops) {
    if (!exposureAvailable_) return VQ_ERR_UNKNOWN_EXTENSION;
    if (!(stops >= -2.0f && stops <= 2.0f)) return VQ_ERR_VALUE_OUT_OF_RANGE;
    const double previous = exposure_;
    exposure_ = stops;
    VqStatus status = ApplyExposure();
    if (status) {
        exposure_ = previous;
        ApplyExposure();
    }
    return status;
}

VqStatus RawImage::SetCameraRgbMode(int32_t value) { return SetParameter<int32_t>(RP_CAMERA_RGB_MODE, value); }

// ---------------------------------------------------------------------------
// Image operations.

VqStatus RawImage::SetColourFlags() {
    // A monochrome file never reports itself as colour.
    info_.flags = info_.isColour ? kColourFlags : (kColourFlags & ~uint32_t(VQ_IMAGE_COLOUR));
    return 0;
}

VqStatus RawImage::SetWhiteBalance(uint32_t, const uint16_t*) { return VQ_ERR_NOT_FOR_THIS_KIND; }
VqStatus RawImage::GetWhiteBalance(uint32_t*, uint16_t*) { return VQ_ERR_NOT_FOR_THIS_KIND; }

VqStatus RawImage::WriteWhiteBalanceFile(VqPathRecord, void*) {
    info_.whiteBalanceFileStatus = int32_t(VQ_ERR_WB_FILE_UNSUPPORTED_RAW);
    return VQ_ERR_WB_FILE_UNSUPPORTED_RAW;
}

VqStatus RawImage::LoadCache(void* buffer, int32_t steps, int32_t* done) {
    if (!renderer_) return VQ_ERR_PROCESS_NO_MEMORY;
    return renderer_->LoadCache(static_cast<uint8_t*>(buffer), uint32_t(steps < 0 ? 0 : steps), done, 2);
}

VqStatus RawImage::GetHidden(uint32_t id, void* out) {
    if (SdkImageBase::GetHidden(id, out) == 0) return 0;
    if (id >= 20) return VQ_ERR_UNKNOWN_PROPERTY;
    if (!out) return VQ_ERR_BAD_HANDLE;
    if (id <= 9 || id == 18) {
        const HiddenEntry& e = hidden_[id];
        if (e.value && e.size) std::memcpy(out, e.value, e.size);
        return 0;
    }
    if (id == 15) {
        std::memcpy(out, &badColumnWord_, sizeof badColumnWord_);
        return 0;
    }
    return VQ_ERR_UNKNOWN_PROPERTY;
}

VqStatus RawImage::SetHidden(uint32_t id, void* value) {
    if (SdkImageBase::SetHidden(id, value) == 0) return 0;
    if (id >= 20) return VQ_ERR_UNKNOWN_PROPERTY;
    if (id == 9 || id == 18 || id == 15) {
        if (!value) return VQ_ERR_BAD_HANDLE;
        if (id == 15)
            std::memcpy(&badColumnWord_, value, sizeof badColumnWord_);
        else
            std::memcpy(hidden_[id].value, value, hidden_[id].size);
        return 0;
    }
    return VQ_ERR_PROPERTY_READ_ONLY;
}

namespace {

// A camera value is copied to the caller whether or not the file had it; an
// absent one is answered as such.
template <typename T>
VqStatus AnswerValue(void* out, T value, bool absent) {
    if (!out) return VQ_ERR_BAD_HANDLE;
    std::memcpy(out, &value, sizeof value);
    return absent ? VQ_ERR_VALUE_ABSENT : 0;
}

} // namespace

VqStatus RawImage::GetCameraValue(uint32_t id, void* out) {
    const CameraValues& v = cameraValues_;
    auto absent16 = [](int16_t x) { return x == int16_t(kRawAbsent); };
    auto absentF = [](float x) { return x == kRawAbsentFloat; };
    switch (id) {
    case 0: return AnswerValue<int32_t>(out, std::clamp(v.cameraPreset, 0, 4), false);
    case 1: return AnswerValue<int32_t>(out, 2, false);
    case 3: return AnswerValue<int32_t>(out, v.setting1002, v.setting1002 == kRawAbsent);
    case 4: return AnswerValue<float>(out, v.exposureIndex, absentF(v.exposureIndex));
    case 5: return AnswerValue<float>(out, v.fNumber, absentF(v.fNumber));
    case 6: {
        if (!out) return VQ_ERR_BAD_HANDLE;
        if (v.exposureTime[0] == kRawAbsent) cameraValues_.exposureTime[1] = 1;
        std::memcpy(out, cameraValues_.exposureTime, sizeof cameraValues_.exposureTime);
        return v.exposureTime[0] == kRawAbsent ? VQ_ERR_VALUE_ABSENT : 0;
    }
    case 7: return AnswerValue<float>(out, v.exposureBias, absentF(v.exposureBias));
    case 8: return AnswerValue<int32_t>(out, v.meteringMode, absent16(v.meteringMode));
    case 9: return AnswerValue<int16_t>(out, v.flash, absent16(v.flash));
    case 10: return AnswerValue<int16_t>(out, v.setting1010, absent16(v.setting1010));
    case 11: return AnswerValue<float>(out, v.setting1011, absentF(v.setting1011));
    case 12: return AnswerValue<int16_t>(out, v.setting1012, absent16(v.setting1012));
    case 13: return AnswerValue<int16_t>(out, v.setting1013, absent16(v.setting1013));
    case 14: return AnswerValue<float>(out, v.subjectDistance, absentF(v.subjectDistance));
    case 15: return AnswerValue<int16_t>(out, v.exposureProgram, absent16(v.exposureProgram));
    case 16: return AnswerValue<float>(out, v.focalLength, absentF(v.focalLength));
    case 17:
        return AnswerValue<int32_t>(out, int32_t(v.settingsData.count),
                                    v.settingsData.offset == uint32_t(kRawAbsent));
    case 18: {
        // The caller's value holds the address of its buffer.
        if (!out) return VQ_ERR_BAD_HANDLE;
        void* buffer = nullptr;
        std::memcpy(&buffer, out, sizeof buffer);
        if (!buffer) return VQ_ERR_BAD_HANDLE;
        if (settingsData_.empty()) return VQ_ERR_VALUE_ABSENT;
        std::memcpy(buffer, settingsData_.data(), settingsData_.size());
        return 0;
    }
    default: return VQ_ERR_UNKNOWN_EXTENSION;
    }
}

VqStatus RawImage::CalculateWhiteBalance(const SdkRect* area, uint16_t* out) {
    if (!area || !out) return VQ_ERR_NULL_OUTPUT;
    if (!renderer_) return VQ_ERR_NOT_SUPPORTED;
    lumora::SensorGeometry g;
    std::memcpy(&g, savedGeometry_, sizeof g);
    return renderer_->SampleWhiteBalance(area, out, int32_t(hiddenWord9_), &g);
}

VqStatus RawImage::SetDescription(ImageInfoRecord* record, uint32_t length, const char* text) {
    if (length > kDescriptionBytes) return VQ_ERR_DESCRIPTION_TOO_LONG;
    if (!text) return VQ_ERR_BAD_HANDLE;
    if (record && length == record->descriptionLength &&
        (length == 0 || (record->description && std::memcmp(record->description, text, length) == 0)))
        return 0;
    // The field is rewritten in place: a file whose field is shorter than the
    // usual 512 bytes takes no more than it has, so nothing after it is touched.
    const uint32_t field = std::min(descriptionField_, kDescriptionBytes);
    VqStatus status = 0;
    if (length > field || descriptionOffset_ == 0) {
        status = VQ_ERR_DESCRIPTION_TOO_LONG;
    } else {
        std::string buffer(field, '\0');
        std::memcpy(buffer.data(), text, length);
        status = StoredSettingsRecord::WriteWithRetry(camera_, imageIndex_, buffer.data(), field, descriptionOffset_);
        if (status == 0) {
            description_ = std::move(buffer);
            info_.description = description_.data();
            info_.descriptionLength = field;
        }
    }
    if (status != VQ_ERR_DESCRIPTION_TOO_LONG && record) {
        record->descriptionLength = info_.descriptionLength;
        record->description = info_.description;
        record->modelLength = info_.modelLength;
        record->model = info_.model;
        record->model2Length = info_.model2Length;
        record->model2 = info_.model2;
        record->processingDataLength = info_.processingDataLength;
        record->processingData = info_.processingData;
        record->softwareLength = info_.softwareLength;
        record->software = info_.software;
        record->settingsDataLength = info_.settingsDataLength;
        record->settingsData = info_.settingsData;
        record->extraDataLength = info_.extraDataLength;
        record->extraData = info_.extraData;
        record->cameraTextLength = info_.cameraTextLength;
        record->cameraText = info_.cameraText;
    }
    return status;
}

VqStatus RawImage::SetCameraSetting3(uint32_t value) {
    const int32_t current = cameraValues_.setting1002;
    // A file without the setting has no place to write it to.
    if (current == kRawAbsent || cameraValues_.setting1002Position == 0) return VQ_ERR_VALUE_ABSENT;
    // Only switching the setting on or off is written.
    if ((current == 0) == (value == 0)) return 0;
    // In the file's own byte order, where the reader will look for it.
    uint8_t bytes[4] = {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
    if (!bigEndian_) std::reverse(bytes, bytes + 4);
    const VqStatus status = StoredSettingsRecord::WriteWithRetry(camera_, imageIndex_, bytes, sizeof bytes,
                                                                 cameraValues_.setting1002Position);
    if (status == 0) cameraValues_.setting1002 = int32_t(value);
    return status;
}

VqStatus RawImage::GetExtension(uint32_t id, void* out) {
    if (id <= VQ_EXT_SETTING_BLOCK) return GetCameraValue(id, out);
    switch (id) {
    case VQ_EXT_SETTINGS_TRIPLE:
        if (!out) return VQ_ERR_BAD_HANDLE;
        std::memcpy(out, settingsTriple_, sizeof settingsTriple_);
        return 0;
    case VQ_EXT_RANGE_TRIPLE_1:
    case VQ_EXT_RANGE_TRIPLE_1 + 1:
    case VQ_EXT_RANGE_TRIPLE_3:
    case VQ_EXT_RANGE_TRIPLE_3 + 1:
        if (!out) return VQ_ERR_BAD_HANDLE;
        std::memcpy(out, rangeTriples_[id - VQ_EXT_RANGE_TRIPLE_1], sizeof rangeTriples_[0]);
        return 0;
    case VQ_EXT_TRIPLE_43:
        if (!out) return VQ_ERR_BAD_HANDLE;
        std::memcpy(out, triple43_, sizeof triple43_);
        return 0;
    case VQ_EXT_PARAM_70:
        if (!out) return VQ_ERR_BAD_HANDLE;
        std::memcpy(out, &extension44_, sizeof extension44_);
        return 0;
    case VQ_EXT_WHITE_BALANCE: {
        if (!out) return VQ_ERR_BAD_HANDLE;
        VqWhiteBalanceMode s{};
        GetBalanceMode(&s, true);
        std::memcpy(out, &s, sizeof s);
        return 0;
    }
    case VQ_EXT_LOOK:
    case VQ_EXT_LOOK_SET:
        if (!out) return VQ_ERR_BAD_HANDLE;
        std::memcpy(out, &lookIndex_, sizeof lookIndex_);
        return 0;
    case VQ_EXT_PARAM_78: {
        if (!out || !renderer_) return VQ_ERR_BAD_HANDLE;
        std::memcpy(out, renderer_->Parameter(RP_CAMERA_RGB_MODE), sizeof(int32_t));
        return 0;
    }
    case VQ_EXT_EXPOSURE: {
        if (!out) return VQ_ERR_BAD_HANDLE;
        const VqExposureRecord r{float(exposure_), exposureAvailable_, 0};
        std::memcpy(out, &r, sizeof r);
        return 0;
    }
    case VQ_EXT_LOOK_COUNT: {
        if (!out) return VQ_ERR_BAD_HANDLE;
        // The file's own looks; a colour file's look counts only with its matrix.
        const int32_t count = looks_.CountLooks(true, info_.isColour != 0);
        std::memcpy(out, &count, sizeof count);
        return 0;
    }
    case VQ_EXT_BALANCE_RATIOS: {
        if (!out) return VQ_ERR_BAD_HANDLE;
        // The measured balance (tag 2125) as whole ratios; a file without a
        // usable one has no such extension.
        const uint32_t* t = balanceTriples_[5];
        if (t[1] == 0 || t[3] == 0 || t[5] == 0) return VQ_ERR_UNKNOWN_EXTENSION;
        const uint16_t ratios[3] = {uint16_t(t[0] / t[1]), uint16_t(t[2] / t[3]), uint16_t(t[4] / t[5])};
        if (ratios[0] == 0 || ratios[1] == 0 || ratios[2] == 0) return VQ_ERR_UNKNOWN_EXTENSION;
        std::memcpy(out, ratios, sizeof ratios);
        return 0;
    }
    case VQ_EXT_SHARPENING:
    case VQ_EXT_CHROMA_FILTER:
    case VQ_EXT_IPTC:
    case VQ_EXT_LOOK_NAMES:
    case VQ_EXT_RESOLUTION:
    case VQ_EXT_BALANCE_PRESET:
    case VQ_EXT_FILE_DATE:
    case VQ_EXT_SDK_VERSION:
        return SdkImageBase::GetExtension(id, out);
    default:
        return VQ_ERR_UNKNOWN_EXTENSION;
    }
}

VqStatus RawImage::SetExtension(uint32_t id, void* data, uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4) {
    const uint32_t w0 = uint32_t(reinterpret_cast<uintptr_t>(data));
    switch (id) {
    case 3:
        return SetCameraSetting3(w0);
    case VQ_EXT_SETTINGS_TRIPLE:
        settingsTriple_[0] = w0;
        settingsTriple_[1] = w1;
        settingsTriple_[2] = w2;
        return 0;
    case VQ_EXT_PARAM_70:
        extension44_ = w0;
        return 0;
    case VQ_EXT_WHITE_BALANCE:
        return ApplyBalanceMode(int32_t(w0), int32_t(w1), int32_t(w2), w3, uint16_t(w4), 1, info_.outputType);
    case VQ_EXT_LOOK_SET:
        return SelectLook(int32_t(w0));
    case VQ_EXT_PARAM_78:
        return SetCameraRgbMode(int32_t(w0));
    case VQ_EXT_EXPOSURE: {
        float stops = 0;
        std::memcpy(&stops, &w0, sizeof stops);
        return SetExposure(stops);
    }
    case VQ_EXT_SHARPENING:
    case VQ_EXT_CHROMA_FILTER:
    case VQ_EXT_IPTC:
    case VQ_EXT_RESOLUTION:
        return SdkImageBase::SetExtension(id, data, w1, w2, w3, w4);
    default:
        return VQ_ERR_UNKNOWN_EXTENSION;
    }
}

} // namespace lumora::vq
