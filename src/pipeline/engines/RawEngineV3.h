#pragma once
// Processing engine of the version-3 raw files. Keeps the raw engine's cache,
// decoding, thumbnail, balance sampling, modes and formats; renders each strip
// its own way: strips cut from the cache with zeros outside the image,
// linearisation, offsets and gain map in 32 bits, the mosaic noise filter after
// the gain map, concealment of listed bad columns, and the chroma filter after
// demosaicing, with the margins both filters need. RawEngineV3.cpp holds the
// rendering, RawEngineV3Conceal.cpp the concealment.
#include <cstdint>

#include "BadColumnRecord.h"
#include "RawEngine.h"

namespace lumora {

class RawEngineV3 : public RawEngine {
public:
    // Words of the margins record one rendering keeps.
    enum Margin : int {
        kSharpenRows = 0,
        kSharpenColumns,
        kChromaRows,
        kChromaColumns,
        kFillAbove,
        kFillBelow,
        kFillLeft,
        kFillRight,
        kTotalColumns,
        kTotalRows,
        kMarginWords
    };
    using Margins = int32_t[kMarginWords];

    static constexpr int32_t kSharpenMargin = 2;
    static constexpr int32_t kMaximum = 4095;

    RawEngineV3() = default;
    ~RawEngineV3() override = default;

    VqStatus RenderImage(const ImageBufferRecord* buffer, const ProgressRecord* progress) override;
    VqStatus ParameterChanged(uint32_t id) override;
    VqStatus ConcealBadColumns(int16_t* strip, int32_t x, int32_t y, int32_t width, int32_t height,
                               const void* record) override;
    VqStatus PrepareSample(const SdkRect& rect, int16_t* samples, int32_t factor) override;

    // The sensor rectangle of a strip, widened by the margins record's totals.
    using SdkRenderer::SourceRectForRotation;
    VqStatus SourceRectForRotation(int32_t stripIndex, const StripPlan& plan, int32_t x, int32_t y, SdkRect* rect,
                                   float rotation, const Margins& margins) const;
    // Sets the margins record's totals and sizes the strip buffers for them.
    VqStatus GetMarginedBufferSizes(StripBufferSizes* sizes, const StripPlan& plan, Margins& margins,
                                    int16_t subsample);
    // Copies the strip rectangle from the cache, zeros where it lies outside the
    // sensor; the fill counts go into the margins record.
    VqStatus CopyStripWithFill(const SdkRect& rect, int16_t* strip, Margins& margins) const;
    // Whether another active entry lies right next to entry `index`, and on which
    // side (0 left, 1 right).
    static bool FindAdjacentBadColumn(int32_t count, int32_t index, int32_t level, const uint8_t* entries,
                                      int32_t* side);
    // Concealment of the listed columns of a strip (colour: green sites, then red
    // and blue; monochrome: every row).
    static VqStatus ConcealColumns(int16_t* strip, int32_t x, int32_t width, int32_t height, bool colour,
                                   const BadColumnRecord& record);

private:
    struct Job;
    VqStatus SetUp(Job& job, const ProgressRecord* progress);
    VqStatus ChooseStages(Job& job);
    VqStatus GatherMargins(Job& job);
    VqStatus PrepareColour(Job& job);
    VqStatus LoadSensor(Job& job);
    VqStatus AllocateBuffers(Job& job);
    VqStatus RenderStrip(Job& job, int32_t index);
    // A strip through every stage into job.out; reported, with the progress
    // of a strip worked in place (job.goOn false once cancelled). *bytes is
    // what it delivers; *read is set once its sensor copy succeeded.
    VqStatus WorkStrip(Job& job, int32_t index, bool report, uint64_t* bytes, bool* read);
    // Lanes for strips worked ahead of their delivery on the worker pool.
    void SetUpLanes(Job& job);
    VqStatus SetUpLane(const Job& job, Job& lane);
    VqStatus CorrectInside(Job& job, int32_t x, int32_t y, int32_t w, int32_t h);
};

} // namespace lumora
