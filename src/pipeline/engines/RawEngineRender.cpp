// A rendering of the raw engine: the set-up steps, then each strip through the
// stages in their order (RenderStrip lists them).
#include "RawEngine.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "AdaptiveDemosaicer.h"
#include "CfaTableStage.h"
#include "ColorTransformStage.h"
#include "EngineBlock.h"
#include "HalfSizeDemosaicer.h"
#include "LaneTransform.h"
#include "LutStage.h"
#include "MonoSubsampler.h"
#include "OutputStage.h"
#include "RenderProgress.h"
#include "SharpenStage.h"
#include "StripMirror.h"
#include "StripsAhead.h"
#include "ThresholdDemosaicer.h"
#include "VqOutputTypes.h"
#include "WorkerPool.h"

namespace lumora {

using engine::Allocate;
using engine::AllocatePlanes;
using engine::Block;
using engine::IsFourChannel;

namespace {

// Window lines in one piece of work, per subsample step.
constexpr int32_t kPieceLines = 64;
// Lines worked on each side of a piece, inside the caller's strip, so that the
// stages that look beyond a line see the same neighbours they would in the
// whole strip; only the caller's strip edges are edges.
constexpr int32_t kOverlapLines = 8;

void CopyBlock(int16_t* to, size_t toStride, const int16_t* from, size_t fromStride, size_t width,
               size_t rows) {
    for (size_t r = 0; r < rows; ++r)
        std::memcpy(to + r * toStride, from + r * fromStride, width * sizeof(int16_t));
}

} // namespace

// Everything one rendering keeps from its set-up to its last strip.
struct RawEngine::RenderJob {
    const ImageBufferRecord* record = nullptr;
    LutStage unpackStage, gainStage, balanceStage, offsetStage;
    ColorTransformStage transform;
    LutStage linearStage;
    SharpenStage sharpen;
    CfaTableStage cfa;
    std::unique_ptr<Demosaicer> demosaicer;
    Block<int16_t> raw, planes[3], fourth, work, wide;
    RenderProgress progress;
    OutputStage output;
    StripPlan plan{};
    ClipRecord clip;
    ProcessingModes modes;
    StripBufferSizes sizes;
    int64_t bufferWidth = 0, bufferRows = 0;
    int32_t goOn = 1;
    int32_t factor = 1, extra = 0, sharpenSwitch = 1, bytesPerSample = 0, channels = 0, filterRows = 0;
    uint32_t shift = 0, packType = 0;
    int32_t s = 1;
    SdkRect window{};
    // Set once the set-up has passed.
    uint16_t lastEntry = 0;
    bool single = false;
    uint8_t* out = nullptr;
    int32_t badColumnsOn = 0;
    // The engine's own pieces: a caller's strip is worked through in pieces of
    // `piece` rows (columns when the output turns by a quarter), the last piece
    // taking what is left, up to two pieces' worth. Zero works whole strips.
    int32_t piece = 0, overlap = 0;
    bool columns = false;
    // The pieces of a strip are worked on several threads, each on a lane of
    // its own: a job like this one with its own stages and buffers. A lane
    // knows the job it helps; the job owns its lanes.
    RenderJob* owner = nullptr;
    std::vector<std::unique_ptr<RenderJob>> lanes;
    // The colour-managed transform and the record's own matrix run on one
    // set of state for the whole rendering, one piece at a time.
    bool sharedTransform = false;
    std::mutex transformLock;
    // Several strips are worked at once, ahead of their delivery, rather
    // than the pieces of one strip.
    bool ahead = false;
};

// One strip on its way through the stages: the sensor rectangle read for it and
// how much of that lies outside the image.
struct RawEngine::StripWork {
    int32_t x = 0, y = 0, w = 0, h = 0; // the rectangle, margins included
    int32_t W = 0, H = 0;               // without the margins
    int32_t readW = 0, readH = 0;       // as read, with the mosaic filter's reach
    int16_t* read = nullptr;
    int32_t readTop = 0, readBottom = 0;
    int16_t* strip = nullptr;
    int32_t top = 0, bottom = 0, left = 0, right = 0; // rows and columns outside the image
    int16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    int32_t planeWidth = 0, planeRows = 0;
    // The piece of the caller's strip: its first window row (or column) and
    // how many it covers.
    int32_t pieceStart = 0, pieceLength = 0;
    // Output lines worked only as context for the piece's neighbours, before
    // and after the lines it packs.
    int32_t cutBefore = 0, cutAfter = 0;
};

VqStatus RawEngine::CheckRenderRequest(RenderJob& job) {
    Precision(&job.factor, &job.shift);
    if (VqStatus status = CheckPrecision(job.factor)) return status;
    if (job.s < 1 || job.s > 32) return VQ_ERR_BAD_SUBSAMPLE;
    if (job.s > 1 && job.s % 2) return VQ_ERR_ODD_SUBSAMPLE;
    return VQ_OK;
}

VqStatus RawEngine::WorkingType(uint32_t* type) {
    *type = uint32_t(outputType_);
    // The packer takes the grey from the colour result.
    if (isColor_ && (*type == VQ_TYPE_GRAY8 || *type == VQ_TYPE_GRAY16)) *type = VQ_TYPE_RGB8;
    return GetOutputFormat(*type, nullptr, nullptr);
}

VqStatus RawEngine::ChooseOutputAndModes(uint32_t* workType, uint32_t* packType, int32_t* bytesPerSample,
                                         int32_t* channels, ProcessingModes* modes) {
    if (VqStatus status = WorkingType(workType)) return status;
    *packType = MapColorManagedType(uint32_t(outputType_));
    if (VqStatus status = GetOutputFormat(*packType, bytesPerSample, channels)) return status;
    return GetProcessingModes(*workType, isColor_, 2, cameraRgbMode_, modes);
}

VqStatus RawEngine::MakeDemosaicer(std::unique_ptr<Demosaicer>& demosaicer, int32_t s, int32_t demosaicMode) const {
    if (isColor_ && s > 1) {
        demosaicer.reset(new (std::nothrow) HalfSizeDemosaicer);
        if (!demosaicer) return VQ_ERR_PROCESS_NO_MEMORY;
        return demosaicer->SetStep(s / 2);
    }
    if (!isColor_) {
        demosaicer.reset(new (std::nothrow) MonoSubsampler);
        if (!demosaicer) return VQ_ERR_PROCESS_NO_MEMORY;
        return demosaicer->SetStep(s / 2);
    }
    if (demosaicThreshold_ != 0) {
        demosaicer.reset(new (std::nothrow) ThresholdDemosaicer);
        if (demosaicer) demosaicer->SetThreshold(demosaicThreshold_);
    } else {
        demosaicer.reset(new (std::nothrow) AdaptiveDemosaicer);
    }
    if (!demosaicer) return VQ_ERR_PROCESS_NO_MEMORY;
    return demosaicer->SetMode(demosaicMode);
}

uint32_t RawEngine::ToneMaximum() const { return uint32_t(std::clamp(toneCurveSize_ - 1, 0, 65535)); }

VqStatus RawEngine::BuildRenderBalanceTables(LutStage& stage, uint32_t maximum) {
    const int32_t linearise = (thumbTableOn_ == 0 && balanceIsLinear_ == 0) ? 1 : 0;
    return BuildBalanceTables(stage, whiteBalance_[0], whiteBalance_[1], whiteBalance_[2], maximum, linearise);
}

VqStatus RawEngine::PrepareTransform(ColorTransformStage& transform, const ProcessingModes& modes,
                                     int32_t skipColumns) {
    transform.mode = modes.transformMode;
    transform.leftSkip = transform.rightSkip = skipColumns;
    std::copy(colorMatrix_, colorMatrix_ + 9, transform.firstMatrix);
    std::copy(colorMatrices_, colorMatrices_ + 9, transform.secondMatrix);
    transform.workingMaximum = toneCurveSize_ - 1;
    transform.subsampled = modes.transformFlag;
    transform.firstTone = transform.middleTone = transform.lastTone = toneCurve_;
    transform.outputTable = outputCurve_;
    transform.outputSize = outputCurveSize_;
    transform.transformRecord = cmsTransform_;
    return transform.Prepare();
}

void RawEngine::SetSharpening(SharpenStage& sharpen, int32_t sharpenSwitch) const {
    *static_cast<int32_t*>(sharpen.Parameter(2)) = sharpenSwitch;
    std::memcpy(sharpen.Parameter(3), sharpenKernel_, sizeof sharpenKernel_);
    *static_cast<int32_t*>(sharpen.Parameter(4)) = sharpenOn_;
    for (int i = 0; i < 5; ++i) *static_cast<int32_t*>(sharpen.Parameter(5 + i)) = sharpen_[i];
}

VqStatus RawEngine::PrepareLinearStage(LutStage& stage, int32_t mode, uint16_t top) {
    stage.mode = mode;
    if (mode == 2) return VQ_OK;
    stage.size = kLinearTableSize;
    if (VqStatus status = FillLinearTable(top, linearGain_)) return status;
    stage.table = linearLut_;
    return VQ_OK;
}

VqStatus RawEngine::ChooseFormatsAndModes(RenderJob& job) {
    uint32_t workType = 0;
    return ChooseOutputAndModes(&workType, &job.packType, &job.bytesPerSample, &job.channels, &job.modes);
}

VqStatus RawEngine::ChooseDemosaicer(RenderJob& job) {
    if (VqStatus status = MakeDemosaicer(job.demosaicer, job.s, job.modes.demosaicMode)) return status;
    // Sharpening at full size reads two more rows on each side of the strip.
    if (isColor_ && job.s <= 1 && sharpenOn_ != 0 && sharpenAllowed_ != 0) {
        job.extra = 2;
        job.sharpenSwitch = 0;
    }
    return VQ_OK;
}

VqStatus RawEngine::PlanStrips(RenderJob& job) {
    job.clip.extraRowMargin = int16_t(job.extra);
    const SdkRect& window = job.window;
    return ConfigureOutput(job.record->bufferBytes, window.x, window.y, window.width, window.height, &job.plan,
                           rotation_, padBytes_, job.packType);
}

VqStatus RawEngine::PrepareColourStages(RenderJob& job) {
    if (VqStatus status = BuildRenderBalanceTables(job.balanceStage, ToneMaximum())) return status;
    if (VqStatus status = PrepareTransform(job.transform, job.modes, job.plan.colMargin)) return status;
    SetSharpening(job.sharpen, job.sharpenSwitch);
    return PrepareLinearStage(job.linearStage, job.modes.linearMode, ColourManagementActive() ? 4095 : 65535);
}

VqStatus RawEngine::SizeStripBuffers(RenderJob& job) {
    job.bufferWidth = int64_t(job.plan.stripWidth) + 2 * job.plan.colMargin;
    job.bufferRows = int64_t(job.plan.stripSize) + 2 * (int64_t(job.plan.rowMargin) + job.extra);
    if (job.bufferWidth > INT16_MAX || job.bufferRows > INT16_MAX) return VQ_ERR_STRIP_TOO_SMALL;
    // However large the caller's buffer, the stages work on pieces of a few
    // dozen rows that stay in the cache; each piece reads its own context rows
    // from the sensor, as a strip of the caller's would. Pieces are whole
    // factors of the subsample and of the colour-filter pattern.
    job.columns = rotation_ == 90.0f || rotation_ == 270.0f;
    const int32_t along = job.columns ? job.plan.stripWidth : job.plan.stripSize;
    const int32_t piece = kPieceLines * std::max(job.s, 1);
    // Subsampled raw output takes its lines from where each strip starts, so
    // there the caller's strips are worked whole.
    const bool wholeStrips = outputType_ == VQ_TYPE_RAW && job.s > 1;
    job.piece = along >= 2 * piece && !wholeStrips ? piece : 0;
    job.overlap = kOverlapLines * std::max(job.s, 1);
    if (job.piece) {
        if (job.columns)
            job.bufferWidth = int64_t(2 * (job.piece + job.overlap)) + 2 * job.plan.colMargin;
        else
            job.bufferRows =
                int64_t(2 * (job.piece + job.overlap)) + 2 * (int64_t(job.plan.rowMargin) + job.extra);
    }
    return GetStripBufferSizes(&job.sizes, int16_t(job.bufferWidth), uint32_t(job.bufferRows), int16_t(job.s), 2);
}

VqStatus RawEngine::DecodeSensorData() {
    return dataFormat_ == 2 ? DecodeCache(nullptr, 0, 0, 0) : DecodeCache(nullptr, 1, 1, 0);
}

VqStatus RawEngine::LoadSensorData() {
    if (cacheSampleBytes_ != 1 && cacheSampleBytes_ != 2) return VQ_ERR_BAD_FILE;
    int32_t done = 0;
    if (VqStatus status = LoadCache(nullptr, 0, &done, uint32_t(cacheSampleBytes_))) return status;
    if (VqStatus status = DecodeSensorData()) return status;
    PublishImageData();
    return VQ_OK;
}

VqStatus RawEngine::AllocateStripBuffers(RenderJob& job) {
    // The mosaic filter reads two rows beyond each sample: the strip is read
    // with that many more rows, so its result does not depend on where the
    // strips happen to split the picture.
    job.filterRows = (cfaTableSize_ != 0 && cfaTable1_ && cfaTable2_ && cfaTable3_) ? 2 : 0;
    const StripBufferSizes& sizes = job.sizes;
    job.raw = Allocate<int16_t>(sizes.unpackedBytes / 2);
    job.work = Allocate<int16_t>(sizes.unpackedBytes / 2);
    if (job.filterRows) {
        job.wide = Allocate<int16_t>(uint64_t(job.bufferWidth + 2 * job.filterRows) *
                                     uint64_t(job.bufferRows + 2 * job.filterRows));
        if (!job.wide) job.raw.reset();
    }
    const bool failed =
        !job.raw || !job.work || !AllocatePlanes(sizes, job.planes, IsFourChannel(job.packType) ? &job.fourth : nullptr);
    if (failed) {
        job.raw.reset();
        job.work.reset();
        job.wide.reset();
        for (auto& p : job.planes) p.reset();
        job.fourth.reset();
        return VQ_ERR_PROCESS_NO_MEMORY;
    }
    // The raw strip buffer holds the largest strip; every strip fits it.
    return VQ_OK;
}

VqStatus RawEngine::SetUpRender(RenderJob& job, const ProgressRecord* progressRecord) {
    VqStatus status;
    if ((status = CheckRenderRequest(job))) return status;
    if ((status = ChooseFormatsAndModes(job))) return status;
    if ((status = ChooseDemosaicer(job))) return status;
    if ((status = PlanStrips(job))) return status;
    if ((status = PrepareColourStages(job))) return status;
    if ((status = SizeStripBuffers(job))) return status;
    if ((status = LoadSensorData())) return status;
    if ((status = AllocateStripBuffers(job))) return status;
    if (progressRecord) {
        job.progress.Init(progressRecord->userValue, progressRecord->callback,
                          job.plan.stripCount == 1 ? 10u : uint32_t(job.plan.stripCount), 0, 100);
        job.goOn = job.progress.Start();
    }
    return VQ_OK;
}

VqStatus RawEngine::ReadStrip(RenderJob& job, int32_t index, StripWork& sw) {
    SdkRect rect;
    const SdkRect& window = job.window;
    if (job.piece) {
        // The piece as a strip of its own: one line per strip index, the piece
        // the last of them, never turned round.
        StripPlan piecePlan = job.plan;
        if (job.columns) {
            piecePlan.stripWidth = 1;
            piecePlan.lastWidth = sw.pieceLength;
        } else {
            piecePlan.stripSize = 1;
            piecePlan.lastRows = sw.pieceLength;
        }
        piecePlan.stripCount = sw.pieceStart + 1;
        if (VqStatus status = SourceRectForRotation(sw.pieceStart, piecePlan, window.x, window.y, window.width,
                                                    window.height, &rect, job.columns ? 90.0f : 0.0f, &job.clip))
            return status;
    } else if (VqStatus status = SourceRectForRotation(index, job.plan, window.x, window.y, window.width,
                                                       window.height, &rect, rotation_, &job.clip)) {
        return status;
    }
    sw.x = rect.x, sw.y = rect.y, sw.w = rect.width, sw.h = rect.height;
    sw.W = sw.w - 2 * job.plan.colMargin, sw.H = sw.h - 2 * job.plan.rowMargin;
    // With the mosaic filter the rectangle is read with a border of its reach
    // (into `wide`) and cut back after filtering.
    const int32_t f = job.filterRows;
    sw.readW = sw.w + 2 * f, sw.readH = sw.h + 2 * f;
    sw.read = f ? job.wide.get() : job.raw.get();
    if (VqStatus status = CopyWindow(sw.x - f, sw.y - f, sw.readW, sw.readH, reinterpret_cast<uint8_t*>(sw.read),
                                     uint32_t(cacheSampleBytes_), 2, uint32_t(dataOffset_), &job.clip))
        return status;
    sw.readTop = std::clamp(job.clip.rowsAbove, 0, sw.readH);
    sw.readBottom = std::clamp(job.clip.rowsBelow, 0, sw.readH - sw.readTop);
    const int32_t readLeft = std::clamp(f - sw.x, 0, sw.readW);
    const int32_t readRight = std::clamp(int32_t(int64_t(sw.x) + sw.w + f - rawWidth_), 0, sw.readW - readLeft);
    engine::MirrorOutside(sw.read, sw.readW, sw.readH, sw.readTop, sw.readBottom, readLeft, readRight);
    return VQ_OK;
}

VqStatus RawEngine::LineariseStrip(RenderJob& job, StripWork& sw) {
    LutStage& unpack = job.unpackStage;
    unpack.width = uint16_t(sw.readW);
    unpack.height = uint16_t(sw.readH);
    unpack.mode = job.modes.unpackMode;
    unpack.table = unpackTable_;
    unpack.size = unpackTableSize_ > 0 ? uint32_t(unpackTableSize_) : 0;
    return unpack.ApplyOne(sw.read);
}

// Mosaic noise filter, then the samples are raised for the corrections.
VqStatus RawEngine::FilterMosaic(RenderJob& job, StripWork& sw) {
    CfaTableStage& cfa = job.cfa;
    cfa.width = uint16_t(sw.readW);
    cfa.height = uint16_t(sw.readH);
    cfa.size = cfaTableSize_;
    cfa.redTable = cfaTable1_;
    cfa.greenTable = cfaTable2_;
    cfa.blueTable = cfaTable3_;
    if (VqStatus status = cfa.Run(sw.read)) return status;
    const int32_t f = job.filterRows;
    const int32_t w = sw.w, h = sw.h;
    sw.strip = job.raw.get();
    if (f)
        CopyBlock(sw.strip, size_t(w), sw.read + size_t(f) * size_t(sw.readW) + size_t(f), size_t(sw.readW),
                  size_t(w), size_t(h));
    sw.top = std::max(sw.readTop - f, 0);
    sw.bottom = std::max(sw.readBottom - f, 0);
    sw.left = std::clamp(-sw.x, 0, w);
    sw.right = std::clamp(int32_t(int64_t(sw.x) + w - rawWidth_), 0, w - sw.left);
    job.unpackStage.width = uint16_t(w);
    job.unpackStage.height = uint16_t(h);
    return job.unpackStage.ShiftLeft(sw.strip, job.shift);
}

// Offsets and gain map work on the samples inside the image only; when the
// strip reaches past the image's sides they run on a packed copy of them.
VqStatus RawEngine::CorrectOffsets(RenderJob& job, StripWork& sw) {
    const int32_t w = sw.w;
    const int32_t insideRows = sw.h - sw.top - sw.bottom;
    const int32_t insideCols = w - sw.left - sw.right;
    const bool packed = sw.left > 0 || sw.right > 0;
    int16_t* region = sw.strip + size_t(sw.top) * w + sw.left;
    int16_t* target = region;
    if (insideRows > 0 && insideCols > 0 && packed) {
        CopyBlock(job.work.get(), size_t(insideCols), region, size_t(w), size_t(insideCols), size_t(insideRows));
        target = job.work.get();
    }
    const int32_t regionX = sw.x + sw.left, regionY = sw.y + sw.top;
    LutStage& offsets = job.offsetStage;
    offsets.width = uint16_t(std::max(insideCols, 0));
    offsets.height = uint16_t(std::max(insideRows, 0));
    offsets.mode = job.modes.offsetMode;
    offsets.size = offsetTableSize_ > 0 ? uint32_t(offsetTableSize_) : 0;
    if (offsets.mode != 2 && offsets.size != 0 && insideRows > 0 && int64_t(regionY) + insideRows > offsetTableSize_)
        return VQ_ERR_BAD_FILE; // the row offsets do not cover the image
    if (insideRows > 0 && insideCols > 0)
        return offsets.AddOffsets16(target, columnOffsets_, rowOffsets_, int32_t(job.lastEntry) * job.factor,
                                    regionX, regionY);
    return VQ_OK;
}

VqStatus RawEngine::ApplyGainMap(RenderJob& job, StripWork& sw) {
    const int32_t w = sw.w;
    const int32_t insideRows = sw.h - sw.top - sw.bottom;
    const int32_t insideCols = w - sw.left - sw.right;
    const bool packed = sw.left > 0 || sw.right > 0;
    int16_t* region = sw.strip + size_t(sw.top) * w + sw.left;
    // The offsets left a packed strip's samples in the work buffer.
    int16_t* target = insideRows > 0 && insideCols > 0 && packed ? job.work.get() : region;
    LutStage& gain = job.gainStage;
    gain.width = uint16_t(std::max(insideCols, 0));
    gain.height = uint16_t(std::max(insideRows, 0));
    gain.mode = job.modes.gainMapMode;
    if (insideRows > 0 && insideCols > 0) {
        if (VqStatus status =
                ApplyGainStage(gain, target, sw.x + sw.left, sw.y + sw.top, job.lastEntry, job.factor, job.shift))
            return status;
    }
    if (insideRows > 0 && insideCols > 0 && packed)
        CopyBlock(region, size_t(w), job.work.get(), size_t(insideCols), size_t(insideCols), size_t(insideRows));
    // Outside samples follow their corrected mirror images.
    engine::MirrorOutside(sw.strip, w, sw.h, sw.top, sw.bottom, sw.left, sw.right);
    return VQ_OK;
}

VqStatus RawEngine::ConcealStripColumns(RenderJob& job, StripWork& sw) {
    if (job.badColumnsOn != 0 && job.s == 1) return ConcealBadColumns(sw.strip, sw.x, sw.y, sw.w, sw.h, badColumns_);
    return VQ_OK;
}

// White balance on the mosaic. The tables have 4096 entries, so the clamp never
// lets a sample index past them.
VqStatus RawEngine::BalanceMosaic(RenderJob& job, StripWork& sw) {
    LutStage& balance = job.balanceStage;
    balance.width = uint16_t(sw.w);
    balance.height = uint16_t(sw.h);
    balance.mode = job.modes.balanceMode;
    balance.size = std::min<uint32_t>(uint32_t(job.lastEntry) + 1, kBalanceTableSize);
    return balance.CfaApply(sw.strip, BalanceTable(0), BalanceTable(1), BalanceTable(2));
}

VqStatus RawEngine::DemosaicStrip(RenderJob& job, StripWork& sw) {
    const int32_t w = sw.w, rowMargin = job.plan.rowMargin;
    int16_t* stripStart = sw.strip + size_t(rowMargin) * w;
    int16_t* above = rowMargin >= 3 ? sw.strip + size_t(rowMargin - 3) * w : stripStart;
    int16_t* below = sw.strip + size_t(rowMargin + sw.H) * w;
    job.demosaicer->Setup(above, stripStart, below, job.planes[0].get(), job.planes[1].get(), job.planes[2].get(),
                          int16_t(sw.H), int16_t(w), job.modes.demosaicPassThrough);
    int16_t *green = nullptr, *even = nullptr, *odd = nullptr;
    if (VqStatus status = job.demosaicer->Run(&green, &even, &odd)) return status;
    sw.red = even;
    sw.green = green;
    sw.blue = odd;
    return VQ_OK;
}

// Sharpening, the linear table and the colour transform on the demosaiced planes.
VqStatus RawEngine::FinishColour(RenderJob& job, StripWork& sw) {
    sw.planeWidth = sw.w / job.s, sw.planeRows = sw.H / job.s;
    *static_cast<uint16_t*>(job.sharpen.Parameter(0)) = uint16_t(sw.planeWidth);
    *static_cast<uint16_t*>(job.sharpen.Parameter(1)) = uint16_t(sw.planeRows);
    if (VqStatus status = job.sharpen.Apply(sw.red, sw.green, sw.blue)) return status;

    job.linearStage.width = uint16_t(sw.planeWidth);
    job.linearStage.height = uint16_t(sw.planeRows);
    if (VqStatus status = job.linearStage.Apply(sw.red, sw.green, sw.blue)) return status;

    return RunLaneTransform(job, uint16_t(sw.W / job.s), uint16_t(sw.planeRows), sw.red, sw.green, sw.blue,
                            job.fourth.get());
}

VqStatus RawEngine::PackStrip(RenderJob& job, StripWork& sw) {
    // A piece's context lines are rows of the planes, or their columns when the
    // strip runs across the output.
    const int32_t rowCut = job.columns ? 0 : sw.cutBefore, rowTrim = job.columns ? 0 : sw.cutAfter;
    const int32_t colCut = job.columns ? sw.cutBefore : 0, colTrim = job.columns ? sw.cutAfter : 0;
    const int32_t outRows = sw.planeRows - 2 * job.extra - rowCut - rowTrim;
    const size_t skipRows = size_t(job.extra + rowCut) * size_t(sw.planeWidth);
    if (VqStatus status = job.output.Init(job.packType, rotation_, job.plan.colMargin + colCut,
                                          job.plan.colMargin + colTrim, padBytes_, sw.W / job.s - colCut - colTrim,
                                          outRows, job.bytesPerSample, job.channels))
        return status;
    return job.output.Pack(reinterpret_cast<const uint16_t*>(sw.red + skipRows),
                           reinterpret_cast<const uint16_t*>(sw.green + skipRows),
                           reinterpret_cast<const uint16_t*>(sw.blue + skipRows),
                           job.fourth ? reinterpret_cast<const uint16_t*>(job.fourth.get() + skipRows) : nullptr,
                           job.out);
}

uint64_t RawEngine::StripBytes(const RenderJob& job, const StripWork& sw) const {
    return uint64_t(job.output.PadTotal()) + uint64_t((sw.H - 2 * job.extra) / job.s) * uint64_t(sw.W / job.s) *
                                                 uint64_t(job.bytesPerSample) * uint64_t(job.channels);
}

VqStatus RawEngine::DeliverStrip(RenderJob& job, StripWork& sw) {
    return PassStripOn(job.record, job.out, StripBytes(job, sw));
}

VqStatus RawEngine::RenderStrip(RenderJob& job, int32_t index) {
    StripWork whole;
    if (VqStatus status = WorkStrip(job, index, true, whole, nullptr)) return status;
    if (!job.goOn) return VQ_OK;
    return DeliverStrip(job, whole);
}

VqStatus RawEngine::WorkStrip(RenderJob& job, int32_t index, bool report, StripWork& whole, bool* read) {
    using Step = VqStatus (RawEngine::*)(RenderJob&, StripWork&);
    // The stages in their order. A single-strip rendering reports progress after
    // each; a longer one after reading each strip only.
    static constexpr Step kStages[] = {
        &RawEngine::LineariseStrip, &RawEngine::FilterMosaic,  &RawEngine::CorrectOffsets,
        &RawEngine::ApplyGainMap,   &RawEngine::ConcealStripColumns, &RawEngine::BalanceMosaic,
        &RawEngine::DemosaicStrip,  &RawEngine::FinishColour,  &RawEngine::PackStrip,
    };
    // Unreported, the strip is worked silently on a lane of its own and its
    // progress comes when it is delivered.
    auto step = [&job, report] { return !report || (job.goOn = job.progress.Step(0)) != 0; };
    if (!job.piece) {
        if (VqStatus status = ReadStrip(job, index, whole)) return status;
        if (read) *read = true;
        if (!step()) return VQ_OK;
        for (Step stage : kStages) {
            if (VqStatus status = (this->*stage)(job, whole)) return status;
            if (job.single && !step()) return VQ_OK;
        }
        return VQ_OK;
    }

    // The caller's strip in pieces. Turned by a half or three quarters, the
    // strips come from the far end and each strip's lines are packed in
    // reverse, so the pieces fill the strip's bytes from its end.
    const StripPlan& plan = job.plan;
    const bool reversed = rotation_ == 180.0f || rotation_ == 270.0f;
    const int32_t j = reversed ? plan.stripCount - 1 - index : index;
    const bool last = j == plan.stripCount - 1;
    const int32_t along = job.columns ? plan.stripWidth : plan.stripSize;
    const int32_t first = j * along;
    const int32_t count = job.columns ? (last ? plan.lastWidth : plan.stripWidth) : (last ? plan.lastRows : plan.stripSize);
    const int32_t across = job.columns ? plan.stripSize : plan.stripWidth;
    const uint64_t lineBytes =
        uint64_t(across / job.s) * uint64_t(job.bytesPerSample) * uint64_t(job.channels) + uint64_t(padBytes_);
    uint8_t* const base = job.out;
    struct Piece {
        int32_t done, length; // first line of the strip it packs, and how many
    };
    std::vector<Piece> pieces;
    for (int32_t done = 0; done < count;) {
        const int32_t length = count - done < 2 * job.piece ? count - done : job.piece;
        pieces.push_back({done, length});
        done += length;
    }
    auto place = [&](StripWork& sw, const Piece& p) {
        const int32_t from = std::max(p.done - job.overlap, 0), to = std::min(p.done + p.length + job.overlap, count);
        sw.pieceStart = first + from;
        sw.pieceLength = to - from;
        sw.cutBefore = (p.done - from) / job.s;
        sw.cutAfter = (to - p.done - p.length) / job.s;
    };
    auto packedAt = [&](const Piece& p) {
        const int32_t before = reversed ? count - p.done - p.length : p.done;
        return base + uint64_t(before / job.s) * lineBytes;
    };
    // One piece through every stage on one lane, its lines packed where they
    // belong in the caller's buffer.
    auto work = [&](RenderJob& lane, const Piece& p) -> VqStatus {
        StripWork sw;
        place(sw, p);
        if (VqStatus status = ReadStrip(lane, index, sw)) return status;
        for (Step stage : kStages) {
            if (stage == &RawEngine::PackStrip) lane.out = packedAt(p);
            const VqStatus status = (this->*stage)(lane, sw);
            lane.out = base;
            if (status) return status;
        }
        return VQ_OK;
    };

    size_t next = 0;
    {
        StripWork sw;
        place(sw, pieces[0]);
        if (VqStatus status = ReadStrip(job, index, sw)) return status;
        if (read) *read = true;
        if (!step()) return VQ_OK;
        if (job.single) {
            // A single-strip rendering reports each stage as the first piece
            // passes it, so that piece is worked here first, and a cancel
            // before packing leaves the caller's buffer untouched; the packing
            // is reported once every piece is packed.
            for (Step stage : kStages) {
                const bool packing = stage == &RawEngine::PackStrip;
                if (packing) job.out = packedAt(pieces[0]);
                const VqStatus status = (this->*stage)(job, sw);
                job.out = base;
                if (status) return status;
                if (!packing && !step()) return VQ_OK;
            }
            next = 1;
        }
    }
    // The other pieces on every lane. Each packs lines of its own, and the
    // first failure in the strip's order is the answer, as one thread working
    // the pieces in order would give.
    if (const size_t rest = pieces.size() - next) {
        std::vector<VqStatus> results(rest, VQ_OK);
        const unsigned lanes = report && !job.ahead ? unsigned(job.lanes.size()) + 1 : 1;
        WorkerPool::Shared().ForEach(rest, lanes, [&](size_t i, unsigned lane) {
            results[i] = work(lane == 0 ? job : *job.lanes[lane - 1], pieces[next + i]);
        });
        for (VqStatus status : results)
            if (status) return status;
    }
    if (job.single && !step()) return VQ_OK;
    // The strip as the caller gets it: its own size and padding.
    whole.W = job.columns ? count : plan.stripWidth;
    whole.H = (job.columns ? plan.stripSize : count) + 2 * job.extra;
    if (VqStatus status = job.output.Init(job.packType, rotation_, job.plan.colMargin, job.plan.colMargin, padBytes_,
                                          whole.W / job.s, (whole.H - 2 * job.extra) / job.s, job.bytesPerSample,
                                          job.channels))
        return status;
    return VQ_OK;
}

void RawEngine::SetUpLanes(RenderJob& job) {
    WorkerPool& pool = WorkerPool::Shared();
    const bool ahead = !job.single && job.plan.stripCount > 1 && job.record->bufferBytes <= StripsAhead::kMaxBufferBytes;
    unsigned wanted = 1;
    if (ahead)
        wanted = pool.LanesFor(size_t(job.plan.stripCount));
    else if (job.piece)
        wanted = pool.LanesFor(size_t((job.columns ? job.plan.stripWidth : job.plan.stripSize) / job.piece));
    if (wanted <= 1) return;
    job.ahead = ahead;
    job.sharedTransform = job.transform.RunsOneAtATime();
    for (unsigned i = 1; i < wanted; ++i) {
        // A lane that cannot be had leaves the work to the lanes there are.
        std::unique_ptr<RenderJob> lane(new (std::nothrow) RenderJob);
        if (!lane || SetUpLane(job, *lane) != VQ_OK) break;
        job.lanes.push_back(std::move(lane));
    }
}

bool RawEngine::RenderStripsAhead(RenderJob& job, VqStatus* result) {
    auto work = [this, &job](unsigned laneIndex, int32_t index, uint8_t* out) {
        return StripsAhead::OnLane(job, laneIndex, out, [&](RenderJob& lane) {
            StripWork whole;
            StripsAhead::Worked worked;
            worked.status = WorkStrip(lane, index, false, whole, &worked.read);
            worked.size = worked.status == VQ_OK ? StripBytes(lane, whole) : 0;
            return worked;
        });
    };
    auto passOn = [&job](uint64_t bytes) { return PassStripOn(job.record, job.out, bytes); };
    return StripsAhead::Run(job.plan.stripCount, unsigned(job.lanes.size()) + 1, job.record->bufferBytes,
                            uint32_t(padBytes_), job.progress, job.goOn, job.out, work, passOn, result);
}

VqStatus RawEngine::SetUpLane(const RenderJob& job, RenderJob& lane) {
    lane.owner = const_cast<RenderJob*>(&job);
    lane.record = job.record;
    lane.modes = job.modes;
    lane.plan = job.plan;
    lane.clip = job.clip;
    lane.sizes = job.sizes;
    lane.bufferWidth = job.bufferWidth;
    lane.bufferRows = job.bufferRows;
    lane.factor = job.factor;
    lane.extra = job.extra;
    lane.sharpenSwitch = job.sharpenSwitch;
    lane.bytesPerSample = job.bytesPerSample;
    lane.channels = job.channels;
    lane.shift = job.shift;
    lane.packType = job.packType;
    lane.s = job.s;
    lane.window = job.window;
    lane.lastEntry = job.lastEntry;
    lane.single = job.single;
    lane.out = job.out;
    lane.badColumnsOn = job.badColumnsOn;
    lane.piece = job.piece;
    lane.overlap = job.overlap;
    lane.columns = job.columns;
    // Stages of its own, set as the job's were; the tables they read are the
    // engine's, filled once by the job's set-up.
    if (VqStatus status = MakeDemosaicer(lane.demosaicer, job.s, job.modes.demosaicMode)) return status;
    SetSharpening(lane.sharpen, job.sharpenSwitch);
    lane.linearStage.mode = job.linearStage.mode;
    lane.linearStage.size = job.linearStage.size;
    lane.linearStage.table = job.linearStage.table;
    if (!job.sharedTransform)
        if (VqStatus status = PrepareTransform(lane.transform, job.modes, job.plan.colMargin)) return status;
    return AllocateStripBuffers(lane);
}

VqStatus RawEngine::RenderImage(const ImageBufferRecord* record, const ProgressRecord* progressRecord) {
    if (!record || !record->buffer) return VQ_ERR_NULL_OUTPUT;

    RenderJob job;
    job.record = record;
    job.s = subsample_;
    job.window = outputWindow_;
    VqStatus status = SetUpRender(job, progressRecord);

    job.lastEntry = LastUnpackEntry();
    job.single = job.plan.stripCount == 1;
    job.out = static_cast<uint8_t*>(record->buffer);
    // Only the record's first word is common to every image; the engine that
    // conceals reads the rest.
    if (badColumns_) std::memcpy(&job.badColumnsOn, badColumns_, sizeof job.badColumnsOn);
    if (status == VQ_OK) SetUpLanes(job);

    const bool workedAhead = status == VQ_OK && job.goOn && job.ahead && RenderStripsAhead(job, &status);
    if (!workedAhead)
        for (int32_t i = 0; status == VQ_OK && job.goOn && i < job.plan.stripCount; ++i) status = RenderStrip(job, i);

    job.transform.Release();
    if (status == VQ_OK && !job.goOn) status = VQ_ERR_CANCELLED;
    return status;
}

} // namespace lumora
