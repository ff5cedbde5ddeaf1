// A rendering of the family-2 engine: the set-up steps, then each strip through
// the stages in their order (RenderF2Strip lists them). The second driver
// differs in its demosaicer, its balance-curve source and its third table.
#include "RawEngineF2.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "CfaTableStage.h"
#include "ClipRecord.h"
#include "ColorTransformStage.h"
#include "DirectionMapDemosaicer.h"
#include "EngineBlock.h"
#include "HalfSizeDemosaicer.h"
#include "LaneTransform.h"
#include "LutStage.h"
#include "MonoSubsampler.h"
#include "OutputStage.h"
#include "RenderProgress.h"
#include "SharpenStage.h"
#include "StripBufferSizes.h"
#include "StripMirror.h"
#include "StripPlan.h"
#include "StripsAhead.h"
#include "ThresholdDemosaicer.h"
#include "VqOutputTypes.h"
#include "WorkerPool.h"

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
    // Strips are worked ahead on several threads, each on a lane of its own:
    // a job like this one with its own stages and buffers. A lane knows the
    // job it helps; the job owns its lanes. The colour-managed transform
    // and the record's own matrix run on the job's, one strip at a time.
    F2Job* owner = nullptr;
    std::vector<std::unique_ptr<F2Job>> lanes;
    bool sharedTransform = false;
    std::mutex transformLock;
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

    // The demosaicer of the driver and the subsample step.
    auto makeDemosaicer = [&](F2Job& j) -> VqStatus {
        if (isColor_ && j.s > 1) j.demosaicer.reset(new (std::nothrow) HalfSizeDemosaicer);
        else if (!isColor_) j.demosaicer.reset(new (std::nothrow) MonoSubsampler);
        else if (second) j.demosaicer.reset(new (std::nothrow) DirectionMapDemosaicer);
        else j.demosaicer.reset(new (std::nothrow) ThresholdDemosaicer);
        if (!j.demosaicer) return VQ_ERR_PROCESS_NO_MEMORY;
        if (!isColor_ || j.s > 1) return j.demosaicer->SetStep(j.s / 2);
        if (second) {
            if (VqStatus st = j.demosaicer->SetMode(j.modes.demosaicMode)) return st;
            if (VqStatus st = j.demosaicer->SetHorizontalThreshold(directionThresholdH_)) return st;
            return j.demosaicer->SetVerticalThreshold(directionThresholdV_);
        }
        j.demosaicer->SetThreshold(demosaicThreshold_);
        return j.demosaicer->SetMode(j.modes.demosaicMode);
    };
    auto allocate = [](F2Job& j) -> VqStatus {
        j.raw = Allocate<int16_t>(j.sizes.unpackedBytes / 2);
        if (!j.raw || !engine::AllocatePlanes(j.sizes, j.planes, nullptr)) return VQ_ERR_PROCESS_NO_MEMORY;
        return VQ_OK;
    };

    auto setUp = [&]() -> VqStatus {
        if (job.s < 1 || job.s > 32) return VQ_ERR_BAD_SUBSAMPLE;
        if (job.s > 1 && job.s % 2) return VQ_ERR_ODD_SUBSAMPLE;
        uint32_t type = 0;
        if (VqStatus st = WorkingType(&type)) return st;
        job.packType = uint32_t(outputType_);
        if (VqStatus st = GetOutputFormat(job.packType, &job.bytesPerSample, &job.channels)) return st;
        if (VqStatus st = GetF2ProcessingModes(type, isColor_, 2, cameraRgbMode_, cfaTableSize_, &job.modes))
            return st;

        if (VqStatus st = makeDemosaicer(job)) return st;
        if (isColor_ && job.s <= 1 && sharpenOn_ != 0) job.extra = 2, job.sharpenSwitch = 0;

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

        return allocate(job);
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

    // One strip through the stages into j.out; reported, with the progress of
    // a strip worked in place (goOn false once cancelled), else silently on
    // a lane. *bytes is what it delivers; *read is set once its sensor copy
    // succeeded.
    auto workStrip = [&](F2Job& j, int32_t index, bool report, uint64_t* bytes, bool* read) -> VqStatus {
        auto step = [&]() { return !report || (j.goOn = j.progress.Step(0)) != 0; };
        auto singleStep = [&]() { return !j.single || step(); };
        F2Strip sw;
        SdkRect rect;
        if (VqStatus st = SourceRectForRotation(index, j.plan, outputWindow_.x, outputWindow_.y,
                                                outputWindow_.width, outputWindow_.height, &rect, rotation_,
                                                &j.clip))
            return st;
        sw.x = rect.x, sw.y = rect.y, sw.w = rect.width, sw.h = rect.height;
        sw.W = sw.w - 2 * j.plan.colMargin, sw.H = sw.h - 2 * j.plan.rowMargin;
        int16_t* raw = j.raw.get();
        if (VqStatus st = CopyWindow(sw.x, sw.y, sw.w, sw.h, reinterpret_cast<uint8_t*>(raw),
                                     uint32_t(cacheSampleBytes_), 2, uint32_t(dataOffset_), &j.clip))
            return st;
        const int32_t top = std::clamp(j.clip.rowsAbove, 0, sw.h);
        const int32_t bottom = std::clamp(j.clip.rowsBelow, 0, sw.h - top);
        const int32_t left = std::clamp(-sw.x, 0, sw.w);
        const int32_t right = std::clamp(int32_t(int64_t(sw.x) + sw.w - rawWidth_), 0, sw.w - left);
        engine::MirrorOutside(raw, sw.w, sw.h, top, bottom, left, right);
        if (read) *read = true;
        if (!step()) return VQ_OK;

        auto sized = [&](LutStage& stage, int32_t mode, uint16_t* table, uint32_t size) {
            stage.width = uint16_t(sw.w);
            stage.height = uint16_t(sw.h);
            stage.mode = mode;
            stage.table = table;
            stage.size = size;
        };
        // Linearisation, the raise to 16 bits, the second table.
        sized(j.unpack, j.modes.unpackMode, unpackTable_, unpackSize);
        if (VqStatus st = j.unpack.ApplyOne(raw)) return st;
        sized(j.shift, j.modes.shiftMode, nullptr, 0);
        if (VqStatus st = j.shift.ShiftLeft(raw, 4)) return st;
        sized(j.secondTable, second ? j.modes.cfaMode : j.modes.tableMode, shiftedTable_, shiftedSize);
        if (VqStatus st = j.secondTable.ApplyOne(raw)) return st;
        if (!singleStep()) return VQ_OK;

        if (filter) {
            j.cfa.width = uint16_t(sw.w);
            j.cfa.height = uint16_t(sw.h);
            j.cfa.size = cfaTableSize_;
            j.cfa.redTable = cfaTable1_;
            j.cfa.greenTable = cfaTable2_;
            j.cfa.blueTable = cfaTable3_;
            if (VqStatus st = j.cfa.Run(raw)) return st;
            if (!singleStep()) return VQ_OK;
        }
        if (second) {
            sized(j.thirdTable, j.modes.cfaMode, finalTable_, finalSize);
            if (VqStatus st = j.thirdTable.ApplyOne(raw)) return st;
            if (!singleStep()) return VQ_OK;
        }

        const int32_t rowMargin = j.plan.rowMargin;
        int16_t* stripStart = raw + size_t(rowMargin) * size_t(sw.w);
        int16_t* above = rowMargin >= 3 ? raw + size_t(rowMargin - 3) * size_t(sw.w) : stripStart;
        int16_t* below = raw + size_t(rowMargin + sw.H) * size_t(sw.w);
        j.demosaicer->Setup(above, stripStart, below, j.planes[0].get(), j.planes[1].get(),
                              j.planes[2].get(), int16_t(sw.H), int16_t(sw.w), j.modes.demosaicPassThrough);
        int16_t *green = nullptr, *even = nullptr, *odd = nullptr;
        if (VqStatus st = j.demosaicer->Run(&green, &even, &odd)) return st;
        sw.red = even, sw.green = green, sw.blue = odd;
        if (!singleStep()) return VQ_OK;

        const int32_t planeWidth = sw.w / j.s, planeRows = sw.H / j.s;
        *static_cast<uint16_t*>(j.sharpen.Parameter(0)) = uint16_t(planeWidth);
        *static_cast<uint16_t*>(j.sharpen.Parameter(1)) = uint16_t(planeRows);
        if (VqStatus st = j.sharpen.Apply(sw.red, sw.green, sw.blue)) return st;

        auto planeStage = [&](LutStage& stage, int32_t mode, uint32_t size) {
            stage.width = uint16_t(planeWidth);
            stage.height = uint16_t(planeRows);
            stage.mode = mode;
            stage.size = size;
        };
        planeStage(j.curves, j.modes.curveMode, shiftedSize);
        if (j.modes.curveMode != 2) {
            // The curves have 4096 entries whatever the shifted table's count.
            j.curves.size = uint32_t(kCurveEntries);
            if (VqStatus st = j.curves.ApplyLuts3(sw.red, sw.green, sw.blue, BalanceCurve(CurveSet::Render, 0),
                                                    BalanceCurve(CurveSet::Render, 1),
                                                    BalanceCurve(CurveSet::Render, 2)))
                return st;
        }
        if (!singleStep()) return VQ_OK;

        if (VqStatus st = RunLaneTransform(j, uint16_t(sw.W / j.s), uint16_t(planeRows), sw.red, sw.green, sw.blue,
                                           nullptr))
            return st;
        if (!singleStep()) return VQ_OK;

        planeStage(j.finalTable, j.modes.finalMode, j.finalTable.size);
        if (j.modes.finalMode != 2) {
            if (VqStatus st = j.finalTable.ApplyLuts3(sw.red, sw.green, sw.blue, linearLut_, linearLut_, linearLut_))
                return st;
        }

        const int32_t outRows = planeRows - 2 * j.extra;
        const size_t skipRows = size_t(j.extra) * size_t(planeWidth);
        if (VqStatus st = j.output.Init(j.packType, rotation_, j.plan.colMargin, j.plan.colMargin, padBytes_,
                                          sw.W / j.s, outRows, j.bytesPerSample, j.channels))
            return st;
        if (VqStatus st = j.output.Pack(reinterpret_cast<const uint16_t*>(sw.red + skipRows),
                                          reinterpret_cast<const uint16_t*>(sw.green + skipRows),
                                          reinterpret_cast<const uint16_t*>(sw.blue + skipRows), nullptr, j.out))
            return st;
        if (!singleStep()) return VQ_OK;

        *bytes = uint64_t(j.output.PadTotal()) + uint64_t(std::max(outRows, 0)) * uint64_t(sw.W / j.s) *
                                                     uint64_t(j.bytesPerSample) * uint64_t(j.channels);
        return VQ_OK;
    };

    auto renderStrip = [&](int32_t index) -> VqStatus {
        uint64_t bytes = 0;
        if (VqStatus st = workStrip(job, index, true, &bytes, nullptr)) return st;
        if (!job.goOn) return VQ_OK;
        return PassStripOn(record, job.out, bytes);
    };

    // Lanes for strips worked ahead on the worker pool, set as the job's
    // stages were; the tables they read are the engine's, filled once above.
    auto setUpLane = [&](F2Job& lane) -> VqStatus {
        lane.owner = &job;
        lane.record = job.record;
        lane.second = job.second;
        lane.modes = job.modes;
        lane.plan = job.plan;
        lane.clip = job.clip;
        lane.sizes = job.sizes;
        lane.packType = job.packType;
        lane.bytesPerSample = job.bytesPerSample;
        lane.channels = job.channels;
        lane.extra = job.extra;
        lane.sharpenSwitch = job.sharpenSwitch;
        lane.s = job.s;
        lane.single = job.single;
        lane.out = job.out;
        lane.finalTable.mode = job.finalTable.mode;
        lane.finalTable.size = job.finalTable.size;
        if (VqStatus st = makeDemosaicer(lane)) return st;
        SetSharpening(lane.sharpen, job.sharpenSwitch);
        if (!job.sharedTransform)
            if (VqStatus st = PrepareF2Transform(lane.transform, job.modes, job.plan.colMargin)) return st;
        return allocate(lane);
    };
    if (status == VQ_OK && job.goOn && !job.single && job.plan.stripCount > 1 &&
        record->bufferBytes <= StripsAhead::kMaxBufferBytes) {
        const unsigned wanted = WorkerPool::Shared().LanesFor(size_t(job.plan.stripCount));
        job.sharedTransform = job.transform.RunsOneAtATime();
        for (unsigned i = 1; i < wanted; ++i) {
            // A lane that cannot be had leaves the work to the lanes there are.
            std::unique_ptr<F2Job> lane(new (std::nothrow) F2Job);
            if (!lane || setUpLane(*lane) != VQ_OK) break;
            job.lanes.push_back(std::move(lane));
        }
    }
    auto work = [&](unsigned laneIndex, int32_t index, uint8_t* out) {
        return StripsAhead::OnLane(job, laneIndex, out, [&](F2Job& lane) {
            StripsAhead::Worked worked;
            worked.status = workStrip(lane, index, false, &worked.size, &worked.read);
            if (worked.status) worked.size = 0;
            return worked;
        });
    };
    auto passOn = [&](uint64_t bytes) { return PassStripOn(record, job.out, bytes); };
    const bool workedAhead = status == VQ_OK && job.goOn && !job.lanes.empty() &&
                             StripsAhead::Run(job.plan.stripCount, unsigned(job.lanes.size()) + 1,
                                              record->bufferBytes, uint32_t(padBytes_), job.progress, job.goOn,
                                              job.out, work, passOn, &status);
    if (!workedAhead)
        for (int32_t i = 0; status == VQ_OK && job.goOn && i < job.plan.stripCount; ++i) status = renderStrip(i);
    if (status == VQ_OK && !job.goOn) status = VQ_ERR_CANCELLED;
    return status;
}

} // namespace lumora
