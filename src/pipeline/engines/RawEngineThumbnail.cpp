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

VqStatus RawEngine::ThumbnailPlanes(uint32_t shift, int32_t* width, int32_t* height, uint64_t* count,
                                    Block<int16_t> (&planes)[3]) const {
    const int32_t byteCount = thumbnailInfo_[3];
    const int32_t w = thumbnailInfo_[6], h = thumbnailInfo_[7];
    if (byteCount <= 0 || w <= 0 || h <= 0 || w > 0xFFFF || h > 0xFFFF || !thumbnailData_) return VQ_ERR_BAD_FILE;
    // Callers size the destination from the whole stored image.
    if (w > rawWidth_ || h > rawHeight_) return VQ_ERR_BAD_FILE;
    const uint64_t n = uint64_t(byteCount) / 3;
    // The stored bytes must hold every pixel the size names.
    if (uint64_t(w) * uint64_t(h) > n) return VQ_ERR_BAD_FILE;
    for (Block<int16_t>& plane : planes) plane = Allocate<int16_t>(n);
    if (!planes[0] || !planes[1] || !planes[2]) return VQ_ERR_PROCESS_NO_MEMORY;
    for (uint64_t i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c) planes[c][i] = int16_t(uint16_t(uint32_t(thumbnailData_[3 * i + c]) << shift));
    *width = w;
    *height = h;
    *count = n;
    return VQ_OK;
}

VqStatus RawEngine::RenderThumbnail(void* buffer) {
    if (!buffer) return VQ_ERR_NULL_OUTPUT;
    const uint16_t* table = thumbTableOn_ ? thumbTable_ : unpackTable_;
    const int32_t tableSize = thumbTableOn_ ? thumbTableSize_ : unpackTableSize_;
    const uint32_t tableShift = thumbTableOn_ ? 0 : 4;

    uint32_t type = 0, packType = 0;
    int32_t bytesPerSample = 0, channels = 0;
    ProcessingModes modes;
    if (VqStatus st = ChooseOutputAndModes(&type, &packType, &bytesPerSample, &channels, &modes)) return st;
    if (type == VQ_TYPE_RAW) return VQ_ERR_BAD_IMAGE_TYPE;

    LutStage balanceStage;
    if (VqStatus st = BuildRenderBalanceTables(balanceStage, ToneMaximum())) return st;

    int32_t width = 0, height = 0;
    uint64_t n = 0;
    Block<int16_t> planes[3];
    if (VqStatus st = ThumbnailPlanes(tableShift, &width, &height, &n, planes)) return st;
    Block<int16_t> fourth;
    if (IsFourChannel(packType)) {
        fourth = Allocate<int16_t>(n);
        if (!fourth) return VQ_ERR_PROCESS_NO_MEMORY;
    }

    LutStage linearStage;
    if (VqStatus st = PrepareLinearStage(linearStage, modes.linearMode, 65535)) return st;

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
    VqStatus status = PrepareTransform(transform, modes, 0);
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
