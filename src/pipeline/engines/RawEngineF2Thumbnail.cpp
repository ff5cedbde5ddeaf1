// The family-2 engine's stored thumbnail and white-balance sample. The thumbnail
// is already demosaiced RGB: it takes the balance curves, the colour transform
// and the final table, nothing of the sensor path.
#include "RawEngineF2.h"

#include <algorithm>

#include "BayerMeans.h"
#include "ColorTransformStage.h"
#include "EngineBlock.h"
#include "InterpolateLut.h"
#include "LutStage.h"
#include "MatrixApplier.h"
#include "OutputStage.h"
#include "VqOutputTypes.h"

namespace lumora {

using engine::Allocate;
using engine::Block;

VqStatus RawEngineF2::PrepareF2Transform(ColorTransformStage& transform, const F2ProcessingModes& modes,
                                         int32_t skipColumns) {
    transform.mode = modes.transformMode;
    transform.leftSkip = transform.rightSkip = skipColumns;
    std::copy(colorMatrix_, colorMatrix_ + 9, transform.firstMatrix);
    std::copy(colorMatrices_, colorMatrices_ + 9, transform.secondMatrix);
    transform.workingMaximum = 4095;
    transform.subsampled = modes.transformFlag;
    transform.firstTone = transform.middleTone = transform.lastTone = ToneTable();
    transform.outputTable = outputCurve_;
    transform.outputSize = outputCurveSize_;
    transform.transformRecord = nullptr;
    return transform.Prepare();
}

VqStatus RawEngineF2::RenderThumbnail(void* buffer) {
    if (!buffer) return VQ_ERR_NULL_OUTPUT;
    uint32_t type = 0;
    if (VqStatus st = WorkingType(&type)) return st;
    const uint32_t packType = uint32_t(outputType_);
    int32_t bytesPerSample = 0, channels = 0;
    if (VqStatus st = GetOutputFormat(packType, &bytesPerSample, &channels)) return st;
    if (type == VQ_TYPE_RAW) return VQ_ERR_BAD_IMAGE_TYPE;
    F2ProcessingModes modes;
    if (VqStatus st = GetF2ProcessingModes(type, isColor_, 2, cameraRgbMode_, cfaTableSize_, &modes)) return st;

    if (modes.finalMode == 0) {
        if (VqStatus st = EnsureFinalRamp()) return st;
    }
    const uint32_t shiftedSize = shiftedTable_ && shiftedTableSize_ > 0 ? uint32_t(shiftedTableSize_) : 0;
    if (VqStatus st = BuildBalanceCurves(CurveSet::Thumbnail, shiftedTable_, shiftedSize)) return st;
    if (VqStatus st = BuildToneTable()) return st;

    // The samples are raised by the shift stage below, in its own mode.
    int32_t width = 0, height = 0;
    uint64_t n = 0;
    Block<int16_t> planes[3];
    if (VqStatus st = ThumbnailPlanes(0, &width, &height, &n, planes)) return st;

    LutStage stage;
    stage.width = uint16_t(width);
    stage.height = uint16_t(height);
    stage.mode = modes.shiftMode;
    for (int c = 0; c < 3; ++c)
        if (VqStatus st = stage.ShiftLeft(planes[c].get(), 4)) return st;

    stage.mode = modes.curveMode;
    stage.size = uint32_t(kCurveEntries);
    if (modes.curveMode != 2) {
        if (VqStatus st = stage.ApplyLuts3(planes[0].get(), planes[1].get(), planes[2].get(),
                                           BalanceCurve(CurveSet::Thumbnail, 0), BalanceCurve(CurveSet::Thumbnail, 1),
                                           BalanceCurve(CurveSet::Thumbnail, 2)))
            return st;
    }

    ColorTransformStage transform;
    transform.width = uint16_t(width);
    transform.height = uint16_t(height);
    VqStatus status = PrepareF2Transform(transform, modes, 0);
    if (status == VQ_OK) status = transform.Run(planes[0].get(), planes[1].get(), planes[2].get(), nullptr);

    if (status == VQ_OK && modes.finalMode != 2) {
        // The ramp has RP_FINAL_TABLE_SIZE entries: indexes stay inside it.
        stage.mode = modes.finalMode;
        stage.size = finalRampSize_;
        status = stage.ApplyLuts3(planes[0].get(), planes[1].get(), planes[2].get(), linearLut_, linearLut_,
                                  linearLut_);
    }
    if (status == VQ_OK) {
        OutputStage output;
        status = output.Init(packType, rotation_, 0, 0, padBytes_, width, height, bytesPerSample, channels);
        auto u = [](const Block<int16_t>& p) { return reinterpret_cast<const uint16_t*>(p.get()); };
        if (status == VQ_OK)
            status = isColor_ ? output.Pack(u(planes[0]), u(planes[1]), u(planes[2]), nullptr,
                                            static_cast<uint8_t*>(buffer))
                              : output.Pack(u(planes[1]), u(planes[1]), u(planes[1]), nullptr,
                                            static_cast<uint8_t*>(buffer));
    }
    transform.Release();
    return status;
}

VqStatus RawEngineF2::SampleWhiteBalance(const SdkRect* area, uint16_t* outRgb, int32_t, const SensorGeometry*) {
    if (!area || !outRgb) return VQ_ERR_NULL_OUTPUT;
    // The matrix is only checked: a colour matrix that cannot be applied makes
    // the sample meaningless.
    VqStatus status = VQ_OK;
    const MatrixApplier check(&status, colorMatrix_, 3, 3, 32767, -32768);
    if (status) return status;
    if (VqStatus st = GetOutputFormat(uint32_t(outputType_), nullptr, nullptr)) return st;

    const SdkRect r = *area;
    Block<int16_t> samples;
    if (VqStatus st = ReadSensorArea(r, samples)) return st;

    const size_t count = size_t(r.width) * size_t(r.height);
    const int64_t saturated = int64_t(unpackTableSize_) - 3;
    for (size_t i = 0; i < count; ++i)
        if (int64_t(uint16_t(samples[i])) >= saturated) return VQ_ERR_SAMPLE_SATURATED;
    LutStage stage;
    stage.width = uint16_t(r.width);
    stage.height = uint16_t(r.height);
    stage.mode = 0;
    if (VqStatus st = stage.ShiftLeft(samples.get(), 4)) return st;

    double means[3] = {};
    if (VqStatus st = BayerMeans(reinterpret_cast<const uint16_t*>(samples.get()), r.width, r.height, 0, r.width,
                                 &means[0], &means[1], &means[2]))
        return st;
    if (!shiftedTable_ || shiftedTableSize_ <= 0) return VQ_ERR_BAD_TABLE;
    double out[3] = {};
    InterpolateLut3(shiftedTable_, means, out, shiftedTableSize_ - 1);
    for (int c = 0; c < 3; ++c) outRgb[c] = uint16_t(std::clamp(out[c] + 0.5, 0.0, 65535.0));
    return VQ_OK;
}

} // namespace lumora
