// Processing set-up: what the private directory hands the engine (tables,
// matrices, curves, sharpening) once the directories have passed their checks.
#include "RawImage.h"

#include <algorithm>
#include <cstring>

#include "ByteView.h"
#include "CurveTable.h"
#include "LutStage.h"
#include "RawEngine.h"
#include "RawIfdRecord.h"
#include "RawModelDefaults.h"
#include "RawTiffReader.h"
#include "SdkCamera.h"
#include "SdkCurveSet.h"
#include "SdkRenderer.h"
#include "SharpenStage.h"

namespace lumora::vq {

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

constexpr int32_t kPrecisionFactor = 8;

} // namespace

void RawImage::TakePrivateCameraValues(const RawIfdRecord& ifd, uint32_t positionBase) {
    CameraValues& v = cameraValues_;
    v.cameraSettingWord = ifd.cameraSettingWord;
    v.cameraSettingWordPosition = ifd.cameraSettingWordPosition ? positionBase + ifd.cameraSettingWordPosition : 0;
    v.settingsData = ifd.settingsData;
    v.cameraSettingA = ifd.cameraSettingA;
    v.cameraSettingRatio = ifd.cameraSettingRatio;
    v.cameraSettingB = ifd.cameraSettingB;
    v.cameraSettingC = ifd.cameraSettingC;
    v.extraData = ifd.extraData;
    v.cameraPreset = ifd.cameraPreset;
}

VqStatus RawImage::SetUpFromPrivateIfd(const uint8_t* header, const RawTiffReader& reader, const RawIfdRecord& ifd,
                                       uint32_t length) {
    TakePrivateCameraValues(ifd, 0);
    ClampCameraPreset(&cameraValues_.cameraPreset);

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
    cameraRgbGainScale_ = ifd.cameraRgbGainScale;
    private2318_ = ifd.private2318;
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
        hiddenValue2_ = ifd.hiddenValue2;
        hiddenValue3_ = ifd.hiddenValue3;
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
        std::memcpy(hiddenFloats_, ifd.hiddenFloats, sizeof hiddenFloats_);
        storedSettingsOffset_ = ifd.storedSettings.offset;
        if (storedSettingsOffset_ != 0)
            status = CopyFromHeader(header, length, storedSettingsOffset_, storedSettings_, kStoredSettingsBytes);
        if (!status) status = ApplyStoredSettings(storedSettingsOffset_ != 0, &state);
    }
    if (!status) {
        hiddenValue6_ = ifd.hiddenValue6;
        hiddenValue7_ = ifd.hiddenValue7;
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
        status = SetParameter<int32_t>(RP_PRIVATE_1018, int32_t(int16_t(ifd.rendererPrivate)));
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
        block.curveFlag = ifd.curveFlag ? 1 : 0;
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
    balanceTriple0Word_ = ifd.balanceTriple0Word;
    return status ? status : again;
}

VqStatus RawImage::BuildProcessingTables(const uint8_t* header, const RawTiffReader& reader, const RawIfdRecord& ifd,
                                         uint32_t length) {
    greyTestValue_ = ifd.greyTestValue;
    greyTestRatio_ = ifd.greyTestRatio[1] ? float(ifd.greyTestRatio[0]) / float(ifd.greyTestRatio[1]) : 0.0f;

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

    if (!oldColourTables_ && ifd.colourCurveSets.count != 0) {
        std::vector<uint16_t> words;
        status = ReadShortTable(2, imageIndex_, ifd.colourCurveSets.offset, ifd.colourCurveSets.count / 2, words,
                                reader, header, length);
        if (!status) {
            std::vector<int16_t> table(words.begin(), words.end());
            status = lumora::SdkBuildCurveSetLuts(speed, &tables[0], &tables[1], &tables[2], &count, table.data(),
                                                  table.size());
        }
    } else if (oldColourTables_ || ifd.colourKnotLists.offset == 0) {
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
        status = readAt(ifd.colourKnotLists.offset, 3, knotCounts);
        uint64_t offset = uint64_t(ifd.colourKnotLists.offset) + 6;
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
    // The chroma filter can be switched on wherever the file has its tables.
    chromaAvailable_ = uint16_t(std::clamp<int32_t>(count, 0, 0xFFFF));
    if ((status = SetParameter<uint16_t*>(RP_CFA_TABLE_1, colourCurves_[0].get()))) return status;
    if ((status = SetParameter<uint16_t*>(RP_CFA_TABLE_2, colourCurves_[1].get()))) return status;
    if ((status = SetParameter<uint16_t*>(RP_CFA_TABLE_3, colourCurves_[2].get()))) return status;
    return SetParameter<uint16_t>(RP_CFA_TABLE_SIZE, useTables ? uint16_t(count) : uint16_t(0));
}

void RawImage::SetUpToneParameters(const RawIfdRecord& ifd) {
    sharpenSelect_ = ifd.sharpenSelect;
    sharpenSecondMode_ = ifd.sharpenSelect != 0 ? 1 : 0;
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
    const uint32_t* triple = rangeTriples_[sharpenSelect_ != 0 ? 2 : 0];
    std::memcpy(settingsTriple_, triple, sizeof settingsTriple_);
    std::memcpy(triple43_, triple, sizeof triple43_);
}

VqStatus RawImage::FinishSetUp() { return 0; }

void RawImage::CurveBlockHook(const CurveBlock&, const uint32_t*) {}

uint32_t RawImage::GetModelThreshold() { return RawModelDefaults::ColourTableThreshold(info_.modelId); }

const std::vector<int16_t>* RawImage::GetDefaultColourCurves() {
    return RawModelDefaults::ColourCurves(info_.modelId);
}

} // namespace lumora::vq
