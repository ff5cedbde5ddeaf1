// A rendering of the family-2 engine: the set-up steps, then each strip through
// the stages in their order (RenderF2Strip lists them). The second driver
// differs in its demosaicer, its balance-curve source and its third table.
#include "RawEngineF2.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "CfaTableStage.h"
#include "ClipRecord.h"
#include "ColorTransformStage.h"
#include "DirectionMapDemosaicer.h"
#include "EngineBlock.h"
#include "HalfSizeDemosaicer.h"
#include "LutStage.h"
#include "MonoSubsampler.h"
#include "OutputStage.h"
#include "RenderProgress.h"
#include "SharpenStage.h"
#include "StripBufferSizes.h"
#include "StripMirror.h"
#include "StripPlan.h"
#include "ThresholdDemosaicer.h"
#include "VqOutputTypes.h"

namespace lumora {

using engine::Allocate;
using engine::Block;

namespace {

struct F2Job {
    const ImageBufferRecord* record = nullptr;
    bool second = false;
    LutStage unpack, shift, secondTable, thirdTable, curves, finalTable;
    CfaTableStage cfa;
    ColorTransformStage transform;
    SharpenStage sharpen;
    std::unique_ptr<Demosaicer> demosaicer;
    Block<int16_t> raw, planes[3];
    RenderProgress progress;
    OutputStage output;
    StripPlan plan{};
    ClipRecord clip;
    F2ProcessingModes modes;
    StripBufferSizes sizes{};
    uint32_t packType = 0;
    int32_t bytesPerSample = 0, channels = 0, extra = 0, sharpenSwitch = 1, s = 1;
    int32_t goOn = 1;
    bool single = false;
    uint8_t* out = nullptr;
};

struct F2Strip {
    int32_t x = 0, y = 0, w = 0, h = 0, W = 0, H = 0;
    int16_t *red = nullptr, *green = nullptr, *blue = nullptr;
};

} // namespace

// Everything the strips need, in the order the set-up makes it. The step count of
// the progress is the number of steps one strip really makes, so that a
// rendering of a single strip ends at 100.
VqStatus RawEngineF2::RenderDriver(const ImageBufferRecord* record, const ProgressRecord* progressRecord,
                                   bool second) {
    if (!record || !record->buffer) return VQ_ERR_NULL_OUTPUT;
    F2Job job;
    job.record = record;
    job.second = second;
    job.s = subsample_;
    job.out = static_cast<uint8_t*>(record->buffer);

    auto setUp = [&]() -> VqStatus {
        if (job.s < 1 || job.s > 32) return VQ_ERR_BAD_SUBSAMPLE;
        if (job.s > 1 && job.s % 2) return VQ_ERR_ODD_SUBSAMPLE;
        uint32_t type = 0;
        if (VqStatus st = WorkingType(&type)) return st;
        job.packType = uint32_t(outputType_);
        if (VqStatus st = GetOutputFormat(job.packType, &job.bytesPerSample, &job.channels)) return st;
        if (VqStatus st = GetF2ProcessingModes(type, isColor_, 2, cameraRgbMode_, cfaTableSize_, &job.modes))
            return st;

        // Demosaicer.
        if (isColor_ && job.s > 1) job.demosaicer.reset(new (std::nothrow) HalfSizeDemosaicer);
        else if (!isColor_) job.demosaicer.reset(new (std::nothrow) MonoSubsampler);
        else if (second) job.demosaicer.reset(new (std::nothrow) DirectionMapDemosaicer);
        else job.demosaicer.reset(new (std::nothrow) ThresholdDemosaicer);
        if (!job.demosaicer) return VQ_ERR_PROCESS_NO_MEMORY;
        if (!isColor_ || job.s > 1) {
            if (VqStatus st = job.demosaicer->SetStep(job.s / 2)) return st;
        } else {
            if (second) {
                if (VqStatus st = job.demosaicer->SetMode(job.modes.demosaicMode)) return st;
                if (VqStatus st = job.demosaicer->SetHorizontalThreshold(directionThresholdH_)) return st;
                if (VqStatus st = job.demosaicer->SetVerticalThreshold(directionThresholdV_)) return st;
            } else {
                job.demosaicer->SetThreshold(demosaicThreshold_);
                if (VqStatus st = job.demosaicer->SetMode(job.modes.demosaicMode)) return st;
            }
            if (sharpenOn_ != 0) job.extra = 2, job.sharpenSwitch = 0;
        }

        job.clip.extraRowMargin = int16_t(job.extra);
        if (VqStatus st = ConfigureOutput(record->bufferBytes, outputWindow_.x, outputWindow_.y, outputWindow_.width,
                                          outputWindow_.height, &job.plan, rotation_, padBytes_, job.packType))
            return st;

        job.finalTable.mode = job.modes.finalMode;
        if (job.modes.finalMode == 0) {
            if (VqStatus st = EnsureFinalRamp()) return st;
            job.finalTable.size = uint32_t(finalTableSize_);
        }
        const uint16_t* source = second ? shiftedTable_ : nullptr;
        const uint32_t sourceSize = second && shiftedTableSize_ > 0 ? uint32_t(shiftedTableSize_) : 0;
        if (job.modes.curveMode != 2) {
            if (VqStatus st = BuildBalanceCurves(CurveSet::Render, source, sourceSize)) return st;
        }
        if (VqStatus st = BuildToneTable()) return st;

        if (VqStatus st = PrepareF2Transform(job.transform, job.modes, job.plan.colMargin)) return st;
        SetSharpening(job.sharpen, job.sharpenSwitch);

        const int64_t bufferWidth = int64_t(job.plan.stripWidth) + 2 * job.plan.colMargin;
        const int64_t bufferRows = int64_t(job.plan.stripSize) + 2 * (int64_t(job.plan.rowMargin) + job.extra);
        if (bufferWidth > INT16_MAX || bufferRows > INT16_MAX) return VQ_ERR_STRIP_TOO_SMALL;
        if (VqStatus st = GetStripBufferSizes(&job.sizes, int16_t(bufferWidth), uint32_t(bufferRows), int16_t(job.s), 2))
            return st;
        if (cacheSampleBytes_ != 1 && cacheSampleBytes_ != 2) return VQ_ERR_BAD_FILE;
        int32_t done = 0;
        if (VqStatus st = LoadCache(nullptr, 0, &done, uint32_t(cacheSampleBytes_))) return st;
        if (VqStatus st = DecodeSensorData()) return st;

        job.raw = Allocate<int16_t>(job.sizes.unpackedBytes / 2);
        if (!job.raw || !engine::AllocatePlanes(job.sizes, job.planes, nullptr)) return VQ_ERR_PROCESS_NO_MEMORY;
        return VQ_OK;
    };
    VqStatus status = setUp();

    job.single = job.plan.stripCount == 1;
    const bool filter = job.modes.cfaMode != 2;
    const uint32_t singleSteps = 1u + 1u + (filter ? 1u : 0u) + (second ? 1u : 0u) + 4u;
    if (progressRecord) {
        job.progress.Init(progressRecord->userValue, progressRecord->callback,
                          job.single || job.plan.stripCount <= 0 ? singleSteps : uint32_t(job.plan.stripCount), 0,
                          100);
        job.goOn = job.progress.Start();
    }

    const uint32_t unpackSize = unpackTable_ && unpackTableSize_ > 0 ? uint32_t(unpackTableSize_) : 0;
    const uint32_t shiftedSize = shiftedTable_ && shiftedTableSize_ > 0 ? uint32_t(shiftedTableSize_) : 0;
    const uint32_t finalSize = finalTable_ && finalTableSize_ > 0 ? uint32_t(finalTableSize_) : 0;

    // One strip through the stages; false when it ends the rendering.
    auto step = [&]() { return job.goOn = job.progress.Step(0); };
    auto singleStep = [&]() { return !job.single || step(); };
    auto renderStrip = [&](int32_t index) -> VqStatus {
        F2Strip sw;
        SdkRect rect;
        if (VqStatus st = SourceRectForRotation(index, job.plan, outputWindow_.x, outputWindow_.y,
                                                outputWindow_.width, outputWindow_.height, &rect, rotation_,
                                                &job.clip))
            return st;
        sw.x = rect.x, sw.y = rect.y, sw.w = rect.width, sw.h = rect.height;
        sw.W = sw.w - 2 * job.plan.colMargin, sw.H = sw.h - 2 * job.plan.rowMargin;
        int16_t* raw = job.raw.get();
        if (VqStatus st = CopyWindow(sw.x, sw.y, sw.w, sw.h, reinterpret_cast<uint8_t*>(raw),
                                     uint32_t(cacheSampleBytes_), 2, uint32_t(dataOffset_), &job.clip))
            return st;
        const int32_t top = std::clamp(job.clip.rowsAbove, 0, sw.h);
        const int32_t bottom = std::clamp(job.clip.rowsBelow, 0, sw.h - top);
        const int32_t left = std::clamp(-sw.x, 0, sw.w);
        const int32_t right = std::clamp(int32_t(int64_t(sw.x) + sw.w - rawWidth_), 0, sw.w - left);
        engine::MirrorOutside(raw, sw.w, sw.h, top, bottom, left, right);
        if (!step()) return VQ_OK;

        auto sized = [&](LutStage& stage, int32_t mode, uint16_t* table, uint32_t size) {
            stage.width = uint16_t(sw.w);
            stage.height = uint16_t(sw.h);
            stage.mode = mode;
            stage.table = table;
            stage.size = size;
        };
        // Linearisation, the raise to 16 bits, the second table.
        sized(job.unpack, job.modes.unpackMode, unpackTable_, unpackSize);
        if (VqStatus st = job.unpack.ApplyOne(raw)) return st;
        sized(job.shift, job.modes.shiftMode, nullptr, 0);
        if (VqStatus st = job.shift.ShiftLeft(raw, 4)) return st;
        sized(job.secondTable, second ? job.modes.cfaMode : job.modes.tableMode, shiftedTable_, shiftedSize);
        if (VqStatus st = job.secondTable.ApplyOne(raw)) return st;
        if (!singleStep()) return VQ_OK;

        if (filter) {
            job.cfa.width = uint16_t(sw.w);
            job.cfa.height = uint16_t(sw.h);
            job.cfa.size = cfaTableSize_;
            job.cfa.redTable = cfaTable1_;
            job.cfa.greenTable = cfaTable2_;
            job.cfa.blueTable = cfaTable3_;
            if (VqStatus st = job.cfa.Run(raw)) return st;
            if (!singleStep()) return VQ_OK;
        }
        if (second) {
            sized(job.thirdTable, job.modes.cfaMode, finalTable_, finalSize);
            if (VqStatus st = job.thirdTable.ApplyOne(raw)) return st;
            if (!singleStep()) return VQ_OK;
        }

        const int32_t rowMargin = job.plan.rowMargin;
        int16_t* stripStart = raw + size_t(rowMargin) * size_t(sw.w);
        int16_t* above = rowMargin >= 3 ? raw + size_t(rowMargin - 3) * size_t(sw.w) : stripStart;
        int16_t* below = raw + size_t(rowMargin + sw.H) * size_t(sw.w);
        job.demosaicer->Setup(above, stripStart, below, job.planes[0].get(), job.planes[1].get(),
                              job.planes[2].get(), int16_t(sw.H), int16_t(sw.w), job.modes.demosaicPassThrough);
        int16_t *green = nullptr, *even = nullptr, *odd = nullptr;
        if (VqStatus st = job.demosaicer->Run(&green, &even, &odd)) return st;
        sw.red = even, sw.green = green, sw.blue = odd;
        if (!singleStep()) return VQ_OK;

        const int32_t planeWidth = sw.w / job.s, planeRows = sw.H / job.s;
        *static_cast<uint16_t*>(job.sharpen.Parameter(0)) = uint16_t(planeWidth);
        *static_cast<uint16_t*>(job.sharpen.Parameter(1)) = uint16_t(planeRows);
        if (VqStatus st = job.sharpen.Apply(sw.red, sw.green, sw.blue)) return st;

        auto planeStage = [&](LutStage& stage, int32_t mode, uint32_t size) {
            stage.width = uint16_t(planeWidth);
            stage.height = uint16_t(planeRows);
            stage.mode = mode;
            stage.size = size;
        };
        planeStage(job.curves, job.modes.curveMode, shiftedSize);
        if (job.modes.curveMode != 2) {
            // The curves have 4096 entries whatever the shifted table's count.
            job.curves.size = uint32_t(kCurveEntries);
            if (VqStatus st = job.curves.ApplyLuts3(sw.red, sw.green, sw.blue, BalanceCurve(CurveSet::Render, 0),
                                                    BalanceCurve(CurveSet::Render, 1),
                                                    BalanceCurve(CurveSet::Render, 2)))
                return st;
        }
        if (!singleStep()) return VQ_OK;

        job.transform.width = uint16_t(sw.W / job.s);
        job.transform.height = uint16_t(planeRows);
        if (VqStatus st = job.transform.Run(sw.red, sw.green, sw.blue, nullptr)) return st;
        if (!singleStep()) return VQ_OK;

        planeStage(job.finalTable, job.modes.finalMode, job.finalTable.size);
        if (job.modes.finalMode != 2) {
            if (VqStatus st = job.finalTable.ApplyLuts3(sw.red, sw.green, sw.blue, linearLut_, linearLut_, linearLut_))
                return st;
        }

        const int32_t outRows = planeRows - 2 * job.extra;
        const size_t skipRows = size_t(job.extra) * size_t(planeWidth);
        if (VqStatus st = job.output.Init(job.packType, rotation_, job.plan.colMargin, job.plan.colMargin, padBytes_,
                                          sw.W / job.s, outRows, job.bytesPerSample, job.channels))
            return st;
        if (VqStatus st = job.output.Pack(reinterpret_cast<const uint16_t*>(sw.red + skipRows),
                                          reinterpret_cast<const uint16_t*>(sw.green + skipRows),
                                          reinterpret_cast<const uint16_t*>(sw.blue + skipRows), nullptr, job.out))
            return st;
        if (!singleStep()) return VQ_OK;

        const uint64_t stripBytes = uint64_t(job.output.PadTotal()) + uint64_t(std::max(outRows, 0)) *
                                                                          uint64_t(sw.W / job.s) *
                                                                          uint64_t(job.bytesPerSample) *
                                                                          uint64_t(job.channels);
        return PassStripOn(record, job.out, stripBytes);
    };

    for (int32_t i = 0; status == VQ_OK && job.goOn && i < job.plan.stripCount; ++i) status = renderStrip(i);
    if (status == VQ_OK && !job.goOn) status = VQ_ERR_CANCELLED;
    return status;
}

} // namespace lumora
