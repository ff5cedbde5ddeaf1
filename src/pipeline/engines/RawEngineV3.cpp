// A rendering of the version-3 engine: the set-up, then every strip through
// the stages in their order (RenderStrip lists them).
#include "RawEngineV3.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "CfaTableStage.h"
#include "ChromaFilter.h"
#include "ChromaSettings.h"
#include "ColorTransformStage.h"
#include "Demosaicer.h"
#include "EngineBlock.h"
#include "IntOps.h"
#include "LaneTransform.h"
#include "LutStage.h"
#include "OutputStage.h"
#include "RenderProgress.h"
#include "SharpenStage.h"
#include "StripsAhead.h"
#include "WorkerPool.h"

namespace lumora {

using engine::Allocate;
using engine::AllocatePlanes;
using engine::Block;
using engine::IsFourChannel;

namespace {

// Stages after the strip copy; a single-strip rendering reports each.
constexpr uint32_t kStagesAfterCopy = 12;

} // namespace

struct RawEngineV3::Job {
    const ImageBufferRecord* record = nullptr;
    ProcessingModes modes;
    std::unique_ptr<Demosaicer> demosaicer;
    ChromaFilter chroma;
    ChromaSettings* settings = nullptr;
    LutStage balanceStage, linearStage;
    ColorTransformStage transform;
    SharpenStage sharpen;
    CfaTableStage cfa;
    OutputStage output;
    RenderProgress progress;
    StripPlan plan{};
    Margins margins = {};
    StripBufferSizes sizes;
    Block<int16_t> raw, planes[3], fourth;
    Block<int32_t> work;
    SdkRect window{};
    int32_t s = 1, sharpenSwitch = 1, bytesPerSample = 0, channels = 0, goOn = 1;
    uint32_t packType = 0, unit = 0;
    bool single = false;
    uint8_t* out = nullptr;
    // Strips are worked ahead on several threads, each on a lane of its own:
    // a job like this one with its own stages and buffers. A lane knows the
    // job it helps; the job owns its lanes. The colour-managed transform
    // and the record's own matrix run on the job's, one strip at a time.
    Job* owner = nullptr;
    std::vector<std::unique_ptr<Job>> lanes;
    bool sharedTransform = false;
    std::mutex transformLock;
};

VqStatus RawEngineV3::ParameterChanged(uint32_t) { return VQ_OK; }

VqStatus RawEngineV3::SourceRectForRotation(int32_t i, const StripPlan& plan, int32_t x, int32_t y, SdkRect* rect,
                                            float rotation, const Margins& m) const {
    if (!rect) return VQ_ERR_NULL_OUTPUT;
    const int32_t angle = int32_t(rotation);
    const bool rows = angle == 0 || angle == 180;
    if (!rows && angle != 90 && angle != 270) return VQ_ERR_BAD_ROTATION;
    if (angle == 180 || angle == 270) i = plan.stripCount - 1 - i;
    const bool last = i == plan.stripCount - 1;
    const int64_t tc = m[kTotalColumns], tr = m[kTotalRows];
    int64_t rx, ry, rw, rh;
    if (rows) {
        rx = int64_t(x) - tc;
        rw = int64_t(plan.stripWidth) + 2 * tc;
        ry = int64_t(y) + int64_t(i) * plan.stripSize - tr;
        rh = int64_t(last ? plan.lastRows : plan.stripSize) + 2 * tr;
    } else {
        ry = int64_t(y) - tr;
        rh = int64_t(plan.stripSize) + 2 * tr;
        rx = int64_t(x) + int64_t(i) * plan.stripWidth - tc;
        rw = int64_t(last ? plan.lastWidth : plan.stripWidth) + 2 * tc;
    }
    // The buffers were sized for these in 16 bits; anything else is refused.
    if (rw < 0 || rh < 0 || rw > INT16_MAX || rh > INT16_MAX || rx < INT16_MIN || rx > INT16_MAX ||
        ry < INT16_MIN || ry > INT16_MAX)
        return VQ_ERR_STRIP_TOO_SMALL;
    *rect = {int16_t(rx), int16_t(ry), int16_t(rw), int16_t(rh)};
    return VQ_OK;
}

VqStatus RawEngineV3::GetMarginedBufferSizes(StripBufferSizes* sizes, const StripPlan& plan, Margins& m,
                                             int16_t subsample) {
    m[kTotalColumns] = plan.colMargin + m[kChromaColumns] + m[kSharpenColumns];
    m[kTotalRows] = m[kChromaRows] + plan.rowMargin + m[kSharpenRows];
    const int64_t width = int64_t(plan.stripWidth) + 2 * int64_t(m[kTotalColumns]);
    const int64_t height = int64_t(plan.stripSize) + 2 * int64_t(m[kTotalRows]);
    if (width > INT16_MAX || height > INT16_MAX) return VQ_ERR_STRIP_TOO_SMALL;
    return GetStripBufferSizes(sizes, int16_t(width), uint32_t(height), subsample, 2);
}

VqStatus RawEngineV3::CopyStripWithFill(const SdkRect& r, int16_t* strip, Margins& m) const {
    const int64_t x0 = r.x, y0 = r.y, w = r.width, h = r.height;
    m[kFillAbove] = int32_t(std::clamp<int64_t>(-y0, 0, h));
    m[kFillBelow] = int32_t(std::clamp<int64_t>(y0 + h - rawHeight_, 0, h - m[kFillAbove]));
    m[kFillLeft] = int32_t(std::clamp<int64_t>(-x0, 0, w));
    m[kFillRight] = int32_t(std::clamp<int64_t>(x0 + w - rawWidth_, 0, w - m[kFillLeft]));
    if (!cache_) return VQ_OK;
    if (!strip) return VQ_ERR_NULL_PLANES;
    const uint32_t bytes = uint32_t(cacheSampleBytes_);
    const int64_t insideCols = w - m[kFillLeft] - m[kFillRight];
    for (int64_t row = 0; row < h; ++row) {
        int16_t* to = strip + row * w;
        const int64_t y = y0 + row;
        if (y < 0 || y >= rawHeight_ || insideCols <= 0) {
            std::fill(to, to + w, int16_t(0));
            continue;
        }
        std::fill(to, to + m[kFillLeft], int16_t(0));
        std::fill(to + w - m[kFillRight], to + w, int16_t(0));
        const int64_t first = x0 + m[kFillLeft];
        const uint8_t* from = cache_ + dataOffset_ + (uint64_t(y) * uint64_t(rawWidth_) + uint64_t(first)) * bytes;
        int16_t* dst = to + m[kFillLeft];
        if (bytes == 2) {
            std::memcpy(dst, from, size_t(insideCols) * 2);
        } else {
            for (int64_t c = 0; c < insideCols; ++c) dst[c] = int16_t(from[c]);
        }
    }
    return VQ_OK;
}

VqStatus RawEngineV3::ChooseStages(Job& job) {
    if (job.s < 1 || job.s > 32) return VQ_ERR_BAD_SUBSAMPLE;
    if (job.s > 1 && job.s % 2) return VQ_ERR_ODD_SUBSAMPLE;
    // The gain map brings the raised samples back by a shift.
    if (precisionFactor_ <= 0 || !intLog2(precisionFactor_, job.unit) || job.unit > 24) return VQ_ERR_BAD_FILE;

    uint32_t workType = 0;
    if (VqStatus status =
            ChooseOutputAndModes(&workType, &job.packType, &job.bytesPerSample, &job.channels, &job.modes))
        return status;
    return MakeDemosaicer(job.demosaicer, job.s, job.modes.demosaicMode);
}

VqStatus RawEngineV3::GatherMargins(Job& job) {
    Margins& m = job.margins;
    std::fill(std::begin(m), std::end(m), 0);
    // Sharpening reads two rows and columns beyond what it keeps.
    job.sharpenSwitch = 1;
    if (isColor_ && job.s <= 1 && sharpenOn_ != 0) {
        m[kSharpenRows] = m[kSharpenColumns] = kSharpenMargin;
        job.sharpenSwitch = 0;
    } else if (!isColor_ && sharpenOn_ != 0 && job.s == 1) {
        m[kSharpenRows] = m[kSharpenColumns] = kSharpenMargin;
        job.sharpenSwitch = 2;
    }
    job.settings = static_cast<ChromaSettings*>(chromaSettings_);
    if (!job.settings) return VQ_ERR_BAD_HANDLE;
    job.settings->renderSwitch = isColor_ != 0 && subsample_ == 1 ? 1 : 0;
    job.chroma.SetSettings(job.settings);
    return job.chroma.AddMargins(m);
}

VqStatus RawEngineV3::PrepareColour(Job& job) {
    // The balance tables stop at the linear maximum.
    if (VqStatus status =
            BuildRenderBalanceTables(job.balanceStage, std::min<uint32_t>(ToneMaximum(), uint32_t(linearMax_) + 1)))
        return status;
    if (VqStatus status = PrepareTransform(job.transform, job.modes, job.margins[kTotalColumns])) return status;
    SetSharpening(job.sharpen, job.sharpenSwitch);
    // Without colour management (or with the table's own mode 1) the linear
    // table reaches 16 bits; a managed transform takes 12.
    const bool wide = !ColourManagementActive() || job.modes.linearMode == 1;
    return PrepareLinearStage(job.linearStage, job.modes.linearMode, wide ? 0xFFFF : 0xFFF);
}

VqStatus RawEngineV3::LoadSensor(Job&) {
    if (rawWidth_ <= 0 || rawHeight_ <= 0 || dataOffset_ < 0) return VQ_ERR_BAD_FILE;
    if (VqStatus status = LoadSensorData()) return status;
    // Every strip copy trusts the whole sensor to be in the cache.
    const uint64_t sensor = uint64_t(rawWidth_) * uint64_t(rawHeight_) * uint64_t(cacheSampleBytes_);
    if (!cache_ || cacheBytes_ < uint64_t(dataOffset_) + sensor) return VQ_ERR_CACHE_INCOMPLETE;
    // The linearisation reads its table at every sample below its size.
    if (unpackTableSize_ > 0 && !linearTable32_) return VQ_ERR_BAD_FILE;
    return VQ_OK;
}

VqStatus RawEngineV3::AllocateBuffers(Job& job) {
    const StripBufferSizes& sizes = job.sizes;
    job.raw = Allocate<int16_t>(sizes.unpackedBytes / 2);
    job.work = Allocate<int32_t>(sizes.unpackedBytes / 2);
    const bool failed =
        !job.raw || !job.work || !AllocatePlanes(sizes, job.planes, IsFourChannel(job.packType) ? &job.fourth : nullptr);
    if (failed) {
        job.raw.reset();
        job.work.reset();
        for (auto& p : job.planes) p.reset();
        job.fourth.reset();
        return VQ_ERR_PROCESS_NO_MEMORY;
    }
    return VQ_OK;
}

VqStatus RawEngineV3::SetUp(Job& job, const ProgressRecord* progressRecord) {
    VqStatus status;
    if ((status = ChooseStages(job))) return status;
    if ((status = GatherMargins(job))) return status;
    const SdkRect& w = job.window;
    if ((status = ConfigureOutput(job.record->bufferBytes, w.x, w.y, w.width, w.height, &job.plan, rotation_,
                                  padBytes_, job.packType)))
        return status;
    if ((status = GetMarginedBufferSizes(&job.sizes, job.plan, job.margins, int16_t(job.s)))) return status;
    if ((status = PrepareColour(job))) return status;
    if ((status = LoadSensor(job))) return status;
    if ((status = AllocateBuffers(job))) return status;
    job.single = job.plan.stripCount == 1;
    if (progressRecord) {
        job.progress.Init(progressRecord->userValue, progressRecord->callback,
                          job.single ? 1 + kStagesAfterCopy : uint32_t(job.plan.stripCount), 0, 100);
        job.goOn = job.progress.Start();
    }
    return VQ_OK;
}

// Offsets and gain map on the part of the strip inside the image: the 32-bit
// linearised values are corrected and come back to 12 bits in the 16-bit strip.
VqStatus RawEngineV3::CorrectInside(Job& job, int32_t x, int32_t y, int32_t w, int32_t h) {
    const Margins& m = job.margins;
    const int32_t rows = h - m[kFillAbove] - m[kFillBelow];
    const int32_t cols = w - m[kFillLeft] - m[kFillRight];
    if (rows <= 0 || cols <= 0) return VQ_OK;
    const int32_t imageX = x + m[kFillLeft], imageY = y + m[kFillAbove];
    const size_t first = size_t(m[kFillAbove]) * size_t(w) + size_t(m[kFillLeft]);
    int32_t* values = job.work.get() + first;

    LutStage offsets;
    offsets.width = uint16_t(w);
    offsets.height = uint16_t(rows);
    offsets.mode = job.modes.offsetMode;
    offsets.size = offsetTableSize_ > 0 ? uint32_t(offsetTableSize_) : 0;
    if (offsets.mode != 2 && offsets.size != 0) {
        // The row table must cover every image row the strip holds.
        if (int64_t(imageY) + rows > offsetTableSize_) return VQ_ERR_BAD_FILE;
        if (VqStatus status = offsets.AddOffsets32(values, columnOffsets32_, rowOffsets32_, linearLimit_, imageX,
                                                   imageY, w - cols))
            return status;
    }

    LutStage gain;
    gain.width = uint16_t(cols);
    gain.height = 1;
    gain.mode = job.modes.gainMapMode;
    gain.table = gainMapSize_ != 0 ? gainMap_ : nullptr;
    gain.size = gain.table ? uint32_t(gainMapSize_) : 0;
    int16_t* out = job.raw.get() + first;
    for (int32_t r = 0; r < rows; ++r) {
        if (VqStatus status = gain.GainMap32(values + size_t(r) * size_t(w), out + size_t(r) * size_t(w), imageX,
                                             imageY + r, kMaximum, gainTileWidth_, gainTileHeight_, rawWidth_,
                                             precisionFactor_, 0))
            return status;
    }
    return VQ_OK;
}

VqStatus RawEngineV3::RenderStrip(Job& job, int32_t index) {
    uint64_t bytes = 0;
    if (VqStatus status = WorkStrip(job, index, true, &bytes, nullptr)) return status;
    if (!job.goOn) return VQ_OK;
    return PassStripOn(job.record, job.out, bytes);
}

VqStatus RawEngineV3::WorkStrip(Job& job, int32_t index, bool report, uint64_t* bytes, bool* read) {
    Margins& m = job.margins;
    SdkRect rect;
    if (VqStatus status =
            SourceRectForRotation(index, job.plan, job.window.x, job.window.y, &rect, rotation_, m))
        return status;
    const int32_t w = rect.width, h = rect.height, s = job.s;
    const int32_t W = w - 2 * m[kTotalColumns], H = h - 2 * m[kTotalRows];
    const int32_t sharpenRows = m[kSharpenRows], chromaRows = m[kChromaRows];
    const size_t samples = size_t(w) * size_t(h);
    int16_t* strip = job.raw.get();

    if (VqStatus status = CopyStripWithFill(rect, strip, m)) return status;
    if (read) *read = true;
    // Unreported, the strip is worked silently on a lane and its progress
    // comes when it is delivered.
    if (report && !(job.goOn = job.progress.Step(0))) return VQ_OK;
    auto stageDone = [&job, report]() { return !report || !job.single || (job.goOn = job.progress.Step(0)) != 0; };

    // Linearisation of every sample, fill included, into the 32-bit buffer.
    {
        int32_t* values = job.work.get();
        const uint32_t size = unpackTableSize_ > 0 ? uint32_t(unpackTableSize_) : 0;
        const int32_t limit = linearLimit_;
        if (job.modes.unpackMode == 2) {
            for (size_t i = 0; i < samples; ++i) values[i] = uint16_t(strip[i]);
        } else {
            for (size_t i = 0; i < samples; ++i) {
                const uint32_t v = uint16_t(strip[i]);
                values[i] = v < size ? std::min(linearTable32_[v], limit) : limit;
            }
        }
    }
    if (!stageDone()) return VQ_OK;
    if (VqStatus status = CorrectInside(job, rect.x, rect.y, w, h)) return status;
    if (!stageDone() || !stageDone()) return VQ_OK;

    CfaTableStage& cfa = job.cfa;
    cfa.width = uint16_t(w);
    cfa.height = uint16_t(h);
    cfa.size = cfaTableSize_;
    cfa.redTable = cfaTable1_;
    cfa.greenTable = cfaTable2_;
    cfa.blueTable = cfaTable3_;
    if (VqStatus status = cfa.Run(strip)) return status;
    if (!stageDone()) return VQ_OK;

    if (badColumns_ && s == 1) {
        if (VqStatus status = ConcealBadColumns(strip, rect.x, rect.y, w, h, badColumns_)) return status;
    }
    if (!stageDone()) return VQ_OK;

    LutStage& balance = job.balanceStage;
    balance.width = uint16_t(w);
    balance.height = uint16_t(h);
    balance.mode = job.modes.balanceMode;
    balance.size = kBalanceTableSize;
    if (VqStatus status = balance.CfaApply(strip, BalanceTable(0), BalanceTable(1), BalanceTable(2))) return status;
    if (!stageDone()) return VQ_OK;

    // Demosaicing keeps the plan's row margin as context and delivers the rows
    // the chroma filter and the sharpening read beyond the strip.
    const int32_t rowMargin = job.plan.rowMargin;
    const int32_t demosaicRows = H + 2 * (sharpenRows + chromaRows);
    int16_t* start = strip + size_t(rowMargin) * size_t(w);
    int16_t* above = rowMargin >= 3 ? strip + size_t(rowMargin - 3) * size_t(w) : start;
    int16_t* below = start + size_t(demosaicRows) * size_t(w);
    job.demosaicer->Setup(above, start, below, job.planes[0].get(), job.planes[1].get(), job.planes[2].get(),
                          int16_t(demosaicRows), int16_t(w), job.modes.demosaicPassThrough);
    int16_t *green = nullptr, *red = nullptr, *blue = nullptr;
    if (VqStatus status = job.demosaicer->Run(&green, &red, &blue)) return status;
    if (!stageDone()) return VQ_OK;

    const int32_t planeWidth = w / s, planeRows = demosaicRows / s;
    if (VqStatus status = job.chroma.Apply(red, green, blue, planeWidth, planeRows, job.plan.colMargin, rowMargin))
        return status;
    if (!stageDone()) return VQ_OK;

    const size_t chromaSkip = size_t(chromaRows / s) * size_t(planeWidth);
    auto at = [chromaSkip](int16_t* plane) { return plane ? plane + chromaSkip : nullptr; };
    *static_cast<uint16_t*>(job.sharpen.Parameter(0)) = uint16_t(planeWidth);
    *static_cast<uint16_t*>(job.sharpen.Parameter(1)) = uint16_t((H + 2 * sharpenRows) / s);
    if (VqStatus status = job.sharpen.Apply(at(red), at(green), at(blue))) return status;
    if (!stageDone()) return VQ_OK;

    job.linearStage.width = uint16_t(planeWidth);
    job.linearStage.height = uint16_t(planeRows);
    if (VqStatus status = job.linearStage.Apply(red, green, blue)) return status;
    if (!stageDone()) return VQ_OK;

    const size_t skip = size_t((sharpenRows + chromaRows) / s) * size_t(planeWidth);
    auto from = [skip](int16_t* plane) { return plane ? plane + skip : nullptr; };
    if (VqStatus status = RunLaneTransform(job, uint16_t(W / s), uint16_t(H / s), from(red), from(green), from(blue),
                                           job.fourth.get()))
        return status;
    if (!stageDone()) return VQ_OK;

    const int32_t totalColumns = m[kTotalColumns];
    if (VqStatus status = job.output.Init(job.packType, rotation_, totalColumns, totalColumns, padBytes_, W / s,
                                          H / s, job.bytesPerSample, job.channels))
        return status;
    if (VqStatus status = job.output.Pack(reinterpret_cast<const uint16_t*>(from(red)),
                                          reinterpret_cast<const uint16_t*>(from(green)),
                                          reinterpret_cast<const uint16_t*>(from(blue)),
                                          reinterpret_cast<const uint16_t*>(job.fourth.get()), job.out))
        return status;
    if (!stageDone()) return VQ_OK;

    *bytes = uint64_t(job.output.PadTotal()) +
             uint64_t(H / s) * uint64_t(W / s) * uint64_t(job.bytesPerSample) * uint64_t(job.channels);
    return VQ_OK;
}

void RawEngineV3::SetUpLanes(Job& job) {
    if (job.single || job.plan.stripCount < 2 || job.record->bufferBytes > StripsAhead::kMaxBufferBytes) return;
    const unsigned wanted = WorkerPool::Shared().LanesFor(size_t(job.plan.stripCount));
    job.sharedTransform = job.transform.RunsOneAtATime();
    for (unsigned i = 1; i < wanted; ++i) {
        // A lane that cannot be had leaves the work to the lanes there are.
        std::unique_ptr<Job> lane(new (std::nothrow) Job);
        if (!lane || SetUpLane(job, *lane) != VQ_OK) break;
        job.lanes.push_back(std::move(lane));
    }
}

VqStatus RawEngineV3::SetUpLane(const Job& job, Job& lane) {
    lane.owner = const_cast<Job*>(&job);
    lane.record = job.record;
    lane.modes = job.modes;
    lane.settings = job.settings;
    lane.plan = job.plan;
    std::copy(std::begin(job.margins), std::end(job.margins), std::begin(lane.margins));
    lane.sizes = job.sizes;
    lane.window = job.window;
    lane.s = job.s;
    lane.sharpenSwitch = job.sharpenSwitch;
    lane.bytesPerSample = job.bytesPerSample;
    lane.channels = job.channels;
    lane.packType = job.packType;
    lane.unit = job.unit;
    lane.single = job.single;
    lane.out = job.out;
    // Stages of its own, set as the job's were; the tables they read are the
    // engine's, filled once by the job's set-up.
    if (VqStatus status = MakeDemosaicer(lane.demosaicer, job.s, job.modes.demosaicMode)) return status;
    if (VqStatus status = lane.chroma.SetSettings(job.settings)) return status;
    SetSharpening(lane.sharpen, job.sharpenSwitch);
    lane.linearStage.mode = job.linearStage.mode;
    lane.linearStage.size = job.linearStage.size;
    lane.linearStage.table = job.linearStage.table;
    if (!job.sharedTransform)
        if (VqStatus status = PrepareTransform(lane.transform, job.modes, job.margins[kTotalColumns])) return status;
    return AllocateBuffers(lane);
}

VqStatus RawEngineV3::RenderImage(const ImageBufferRecord* record, const ProgressRecord* progressRecord) {
    if (!record || !record->buffer) return VQ_ERR_NULL_OUTPUT;
    Job job;
    job.record = record;
    job.s = subsample_;
    job.window = outputWindow_;
    job.out = static_cast<uint8_t*>(record->buffer);
    VqStatus status = SetUp(job, progressRecord);
    if (status == VQ_OK) SetUpLanes(job);
    auto work = [this, &job](unsigned laneIndex, int32_t index, uint8_t* out) {
        return StripsAhead::OnLane(job, laneIndex, out, [&](Job& lane) {
            StripsAhead::Worked worked;
            worked.status = WorkStrip(lane, index, false, &worked.size, &worked.read);
            if (worked.status) worked.size = 0;
            return worked;
        });
    };
    auto passOn = [&job](uint64_t bytes) { return PassStripOn(job.record, job.out, bytes); };
    const bool workedAhead = status == VQ_OK && job.goOn && !job.lanes.empty() &&
                             StripsAhead::Run(job.plan.stripCount, unsigned(job.lanes.size()) + 1,
                                              job.record->bufferBytes, uint32_t(padBytes_), job.progress, job.goOn,
                                              job.out, work, passOn, &status);
    if (!workedAhead)
        for (int32_t i = 0; status == VQ_OK && job.goOn && i < job.plan.stripCount; ++i) status = RenderStrip(job, i);
    job.transform.Release();
    if (status == VQ_OK && !job.goOn) status = VQ_ERR_CANCELLED;
    return status;
}

VqStatus RawEngineV3::PrepareSample(const SdkRect& rect, int16_t* samples, int32_t factor) {
    if (!samples) return VQ_ERR_NULL_PLANES;
    // The 32-bit table is always raised by the precision factor, offsets or
    // not: the samples come back by that factor.
    if (precisionFactor_ > 0) factor = precisionFactor_;
    if (rect.width <= 0 || rect.height <= 0) return VQ_ERR_BAD_ARGUMENT;
    if (unpackTableSize_ > 0 && !linearTable32_) return VQ_ERR_BAD_FILE;
    const size_t n = size_t(rect.width) * size_t(rect.height);
    Block<int32_t> values = Allocate<int32_t>(n);
    if (!values) return VQ_ERR_PROCESS_NO_MEMORY;
    std::fill(values.get(), values.get() + n, 0);
    const uint32_t size = unpackTableSize_ > 0 ? uint32_t(unpackTableSize_) : 0;
    for (size_t i = 0; i < n; ++i) {
        const uint32_t v = uint16_t(samples[i]);
        values[i] = v < size ? std::min(linearTable32_[v], linearLimit_) : linearLimit_;
    }
    LutStage stage;
    stage.width = uint16_t(rect.width);
    stage.height = uint16_t(rect.height);
    stage.mode = 1;
    stage.size = offsetTableSize_ > 0 ? uint32_t(offsetTableSize_) : 0;
    if (stage.size != 0) {
        if (int64_t(rect.y) + rect.height > offsetTableSize_) return VQ_ERR_BAD_FILE;
        if (VqStatus s = stage.AddOffsets32(values.get(), columnOffsets32_, rowOffsets32_, linearLimit_, rect.x,
                                            rect.y, 0))
            return s;
    }
    stage.table = gainMapSize_ != 0 ? gainMap_ : nullptr;
    stage.size = stage.table ? uint32_t(gainMapSize_) : 0;
    const int32_t maximum = factor > 0 ? linearLimit_ / factor : linearLimit_;
    return stage.GainMap32(values.get(), samples, rect.x, rect.y, maximum, gainTileWidth_, gainTileHeight_,
                           rawWidth_, factor, 0);
}

} // namespace lumora
