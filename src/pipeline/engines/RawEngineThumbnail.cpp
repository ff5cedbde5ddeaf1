// The stored thumbnail through the colour path of the raw engine.
#include "RawEngine.h"

#include <algorithm>

#include "ColorTransformStage.h"
#include "EngineBlock.h"
#include "LutStage.h"
#include "OutputStage.h"
#include "VqOutputTypes.h"

namespace lumora {

using engine::Allocate;
using engine::Block;
using engine::IsFourChannel;

VqStatus RawEngine::RenderThumbnail(void* buffer) {
    if (!buffer) return VQ_ERR_NULL_OUTPUT;
    const uint16_t* table = thumbTableOn_ ? thumbTable_ : unpackTable_;
    const int32_t tableSize = thumbTableOn_ ? thumbTableSize_ : unpackTableSize_;
    const uint32_t tableShift = thumbTableOn_ ? 0 : 4;
    const int32_t linearise = (thumbTableOn_ == 0 && balanceIsLinear_ == 0) ? 1 : 0;

    uint32_t type = uint32_t(outputType_);
    if (isColor_ && (type == VQ_TYPE_GRAY8 || type == VQ_TYPE_GRAY16)) type = VQ_TYPE_RGB8;
    if (VqStatus st = GetOutputFormat(type, nullptr, nullptr)) return st;
    const uint32_t packType = MapColorManagedType(uint32_t(outputType_));
    int32_t bytesPerSample = 0, channels = 0;
    if (VqStatus st = GetOutputFormat(packType, &bytesPerSample, &channels)) return st;
    ProcessingModes modes;
    if (VqStatus st = GetProcessingModes(type, isColor_, 2, cameraRgbMode_, &modes)) return st;
    if (type == VQ_TYPE_RAW) return VQ_ERR_BAD_IMAGE_TYPE;

    LutStage balanceStage;
    const uint32_t toneMaximum = uint32_t(std::clamp(toneCurveSize_ - 1, 0, 65535));
    if (VqStatus st = BuildBalanceTables(balanceStage, whiteBalance_[0], whiteBalance_[1], whiteBalance_[2],
                                         toneMaximum, linearise))
        return st;

    const int32_t byteCount = thumbnailInfo_[3];
    const int32_t width = thumbnailInfo_[6], height = thumbnailInfo_[7];
    if (byteCount <= 0 || width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF || !thumbnailData_)
        return VQ_ERR_BAD_FILE;
    // Callers size the destination from the whole stored image.
    if (width > rawWidth_ || height > rawHeight_) return VQ_ERR_BAD_FILE;
    const uint64_t n = uint64_t(byteCount) / 3;
    const uint64_t pixels = uint64_t(width) * uint64_t(height);
    // The stored bytes must hold every pixel the size names.
    if (pixels > n) return VQ_ERR_BAD_FILE;
    Block<int16_t> planes[3] = {Allocate<int16_t>(n), Allocate<int16_t>(n), Allocate<int16_t>(n)};
    if (!planes[0] || !planes[1] || !planes[2]) return VQ_ERR_PROCESS_NO_MEMORY;
    Block<int16_t> fourth;
    if (IsFourChannel(packType)) {
        fourth = Allocate<int16_t>(n);
        if (!fourth) return VQ_ERR_PROCESS_NO_MEMORY;
    }

    LutStage linearStage;
    linearStage.mode = modes.linearMode;
    if (modes.linearMode != 2) {
        linearStage.size = kLinearTableSize;
        if (VqStatus st = FillLinearTable(65535, linearGain_)) return st;
        linearStage.table = linearLut_;
    }

    for (uint64_t i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c)
            planes[c][i] = int16_t(uint16_t(uint32_t(thumbnailData_[3 * i + c]) << tableShift));

    LutStage lookup;
    lookup.width = uint16_t(width);
    lookup.height = uint16_t(height);
    lookup.mode = modes.unpackMode;
    lookup.table = const_cast<uint16_t*>(table);
    lookup.size = tableSize > 0 ? uint32_t(tableSize) : 0;
    if (VqStatus st = lookup.Apply(planes[0].get(), planes[1].get(), planes[2].get())) return st;

    balanceStage.width = uint16_t(width);
    balanceStage.height = uint16_t(height);
    balanceStage.mode = modes.balanceMode;
    // The balance tables have 4096 entries whatever the tone curve's length.
    balanceStage.size = std::min<uint32_t>(uint32_t(std::max(toneCurveSize_, 0)), kBalanceTableSize);
    if (VqStatus st = balanceStage.ApplyLuts3(planes[0].get(), planes[1].get(), planes[2].get(), BalanceTable(0),
                                              BalanceTable(1), BalanceTable(2)))
        return st;

    linearStage.width = uint16_t(width);
    linearStage.height = uint16_t(height);
    if (VqStatus st = linearStage.Apply(planes[0].get(), planes[1].get(), planes[2].get())) return st;

    ColorTransformStage transform;
    transform.width = uint16_t(width);
    transform.height = uint16_t(height);
    transform.mode = modes.transformMode;
    transform.leftSkip = transform.rightSkip = 0;
    std::copy(colorMatrix_, colorMatrix_ + 9, transform.firstMatrix);
    std::copy(colorMatrices_, colorMatrices_ + 9, transform.secondMatrix);
    transform.workingMaximum = toneCurveSize_ - 1;
    transform.subsampled = modes.transformFlag;
    transform.firstTone = transform.middleTone = transform.lastTone = toneCurve_;
    transform.outputTable = outputCurve_;
    transform.outputSize = outputCurveSize_;
    transform.transformRecord = cmsTransform_;
    VqStatus status = transform.Prepare();
    if (status == VQ_OK) status = transform.Run(planes[0].get(), planes[1].get(), planes[2].get(), fourth.get());
    if (status == VQ_OK) {
        OutputStage output;
        status = output.Init(packType, rotation_, 0, 0, padBytes_, width, height, bytesPerSample, channels);
        auto u = [](const Block<int16_t>& p) { return reinterpret_cast<const uint16_t*>(p.get()); };
        if (status == VQ_OK)
            status = isColor_ ? output.Pack(u(planes[0]), u(planes[1]), u(planes[2]), fourth ? u(fourth) : nullptr,
                                            static_cast<uint8_t*>(buffer))
                              : output.Pack(u(planes[1]), u(planes[1]), u(planes[1]), nullptr,
                                            static_cast<uint8_t*>(buffer));
    }
    transform.Release();
    return status;
}

} // namespace lumora
