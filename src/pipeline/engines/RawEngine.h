#pragma once
// Processing engine of the raw files of families 1 and 3: decodes the cached
// sensor data (plain 16-bit or lossless JPEG) and runs each strip through
// linearisation, the mosaic noise filter, offsets, gain map, white balance,
// demosaicing, sharpening, the linear table, the colour transform and output
// packing. Also renders the stored thumbnail through the same colour path and
// measures the white balance of an area. RawEngine.cpp holds the formats, modes,
// tables and the cache decode; RawEngineRender.cpp the rendering step by step;
// RawEngineThumbnail.cpp and RawEngineSample.cpp the thumbnail and the sampling.
#include <cstdint>
#include <memory>

#include "EngineBlock.h"
#include "ProcessingModes.h"
#include "SdkRenderer.h"

class ColorTransformStage;

namespace lumora {

class Demosaicer;
class LutStage;
class SharpenStage;

class RawEngine : public SdkRenderer {
public:
    static constexpr uint32_t kBalanceTableSize = 4096;
    static constexpr uint32_t kLinearTableSize = 4096;

    RawEngine() = default;
    ~RawEngine() override = default;

    VqStatus PrepareStages() override;
    VqStatus GetOutputFormat(uint32_t type, int32_t* bytesPerSample, int32_t* channels) override;
    VqStatus RenderImage(const ImageBufferRecord* buffer, const ProgressRecord* progress) override;
    VqStatus RenderThumbnail(void* buffer) override;
    VqStatus ParameterChanged(uint32_t id) override;
    // Classes a balance triple: 1 when the blue-red spread is below the threshold,
    // else 0 or 2 by the green-magenta spread scaled by the factor.
    VqStatus IsGreyPatch(const uint16_t* triple, int32_t* outClass, int16_t threshold,
                         float factor) override;
    VqStatus SampleWhiteBalance(const SdkRect* area, uint16_t* outRgb, int32_t fromThumbnail,
                                const SensorGeometry* geometry) override;
    VqStatus DecodeCache(void* scratch, int32_t swapBytes, int32_t shiftTo12Bits,
                         int32_t expand8To16) override;
    bool DecodeWritesSensor() const override { return dataCompressed_ != 0; }

    virtual VqStatus GetProcessingModes(uint32_t type, int32_t isColour, int32_t constant,
                                        int32_t cameraRgbMode, ProcessingModes* modes);
    // Gains that bring the triple to its largest value; with linearise the triple
    // first goes through the linearisation table.
    virtual VqStatus BalanceGains(uint16_t red, uint16_t green, uint16_t blue, float* gains,
                                  int32_t linearise);
    // Conceals the image's bad columns in a strip; `record` is what RP_BAD_COLUMNS
    // points to, whose first word switches concealment on. Nothing to do here.
    virtual VqStatus ConcealBadColumns(int16_t* strip, int32_t x, int32_t y, int32_t width,
                                       int32_t height, const void* record);
    // The first corrections of the rendering (linearisation, precision, offsets,
    // gain map) on a sensor rectangle of 16-bit samples.
    virtual VqStatus PrepareSample(const SdkRect& rect, int16_t* samples, int32_t factor);

    // Fills the three white-balance tables for the triple, or keeps them when
    // they were built for the same triple, maximum and linearisation.
    VqStatus BuildBalanceTables(LutStage& stage, uint16_t red, uint16_t green, uint16_t blue,
                                uint32_t maximum, int32_t linearise);

    // The kept tables, for callers that inspect them.
    const uint16_t* BalanceTable(int i) const {
        return i >= 0 && i < 3 ? static_cast<const uint16_t*>(ownedBuffers_[i]) : nullptr;
    }
    const uint16_t* LinearTable() const { return linearLut_; }
    uint32_t BalanceBuildCount() const { return balanceBuilds_; }

protected:
    // Precision of the corrections: the factor samples are raised by before the
    // offsets and the shift that raises them.
    void Precision(int32_t* factor, uint32_t* shift) const;
    VqStatus CheckPrecision(int32_t factor) const;
    // Brings raised samples back to sensor precision: the gain map when the file
    // has one, else a plain division by the factor.
    VqStatus ApplyGainStage(LutStage& stage, int16_t* plane, int32_t firstColumn, int32_t firstRow,
                            int32_t maximum, int32_t factor, uint32_t shift);
    VqStatus FillLinearTable(uint16_t top, float gain);
    // Grows an owned cache, keeping the loaded bytes; the caller writes or
    // clears everything past them.
    VqStatus EnsureCacheBytes(uint64_t required);
    uint16_t LastUnpackEntry() const;
    void PublishImageData();

    // Steps the renderings of this engine and of its version-3 successor take
    // alike, each of which the thumbnail shares too.
    //
    // The type the stages work in: a colour file's grey output is worked in
    // colour and made grey by the packer. Answers the output type's status.
    VqStatus WorkingType(uint32_t* type);
    // The working type, the type the output is packed in with its sample size
    // and channels, and the stage modes of the working type.
    VqStatus ChooseOutputAndModes(uint32_t* workType, uint32_t* packType, int32_t* bytesPerSample, int32_t* channels,
                                  ProcessingModes* modes);
    // The demosaicer of a subsample step: half size for subsampled colour,
    // subsampling for monochrome, else the threshold or the adaptive rule.
    VqStatus MakeDemosaicer(std::unique_ptr<Demosaicer>& demosaicer, int32_t subsample, int32_t demosaicMode) const;
    // The largest tone-curve entry, for the balance tables.
    uint32_t ToneMaximum() const;
    // The white-balance tables up to `maximum`, linearised unless the
    // thumbnail's own table is on or the balance was measured linear.
    VqStatus BuildRenderBalanceTables(LutStage& stage, uint32_t maximum);
    // The colour transform with the file's matrices, tone curve, output curve
    // and colour-management record, skipping `skipColumns` on each side.
    VqStatus PrepareTransform(ColorTransformStage& transform, const ProcessingModes& modes, int32_t skipColumns);
    // The sharpening kernel and levels of the file.
    void SetSharpening(SharpenStage& sharpen, int32_t sharpenSwitch) const;
    // The linear table stage in its mode; unless the mode passes the samples
    // through, the table is filled up to `top`.
    VqStatus PrepareLinearStage(LutStage& stage, int32_t mode, uint16_t top);
    // Loads the whole file into the cache and decodes its sensor data.
    VqStatus LoadSensorData();
    // Decodes the loaded sensor data as this engine's files store it: plain
    // data in the file's byte order and brought to 12 bits unless the data
    // format says it is already.
    virtual VqStatus DecodeSensorData();
    // A rectangle of the sensor as 16-bit samples, after the whole file is
    // loaded and decoded; a rectangle outside the sensor is refused.
    VqStatus ReadSensorArea(const SdkRect& area, engine::Block<int16_t>& samples);
    // The stored RGB thumbnail as three planes of its samples raised by
    // `shift`, once its size is checked against its bytes and the sensor;
    // `count` is the number of pixels the bytes hold.
    VqStatus ThumbnailPlanes(uint32_t shift, int32_t* width, int32_t* height, uint64_t* count,
                             engine::Block<int16_t> (&planes)[3]) const;

private:
    // A rendering reads as its steps: the set-up, then every strip through the
    // stages in their order (RenderStrip lists them).
    struct RenderJob;
    struct StripWork;
    VqStatus SetUpRender(RenderJob& job, const ProgressRecord* progress);
    VqStatus CheckRenderRequest(RenderJob& job);
    VqStatus ChooseFormatsAndModes(RenderJob& job);
    VqStatus ChooseDemosaicer(RenderJob& job);
    VqStatus PlanStrips(RenderJob& job);
    VqStatus PrepareColourStages(RenderJob& job);
    VqStatus SizeStripBuffers(RenderJob& job);
    VqStatus AllocateStripBuffers(RenderJob& job);
    // Lanes for the pieces of a strip, one per thread that works on them.
    void SetUpLanes(RenderJob& job);
    VqStatus SetUpLane(const RenderJob& job, RenderJob& lane);

    VqStatus RenderStrip(RenderJob& job, int32_t index);
    // A strip through every stage into job.out; reported, with the progress
    // of a strip worked in place (job.goOn false once cancelled); `read` is
    // set once its first sensor read succeeded. `whole` describes what is
    // delivered.
    VqStatus WorkStrip(RenderJob& job, int32_t index, bool report, StripWork& whole, bool* read);
    // Strips worked ahead on every lane and delivered in order; false when
    // their buffers could not be had and nothing was done.
    bool RenderStripsAhead(RenderJob& job, VqStatus* result);
    uint64_t StripBytes(const RenderJob& job, const StripWork& strip) const;
    VqStatus ReadStrip(RenderJob& job, int32_t index, StripWork& strip);
    VqStatus LineariseStrip(RenderJob& job, StripWork& strip);
    VqStatus FilterMosaic(RenderJob& job, StripWork& strip);
    VqStatus CorrectOffsets(RenderJob& job, StripWork& strip);
    VqStatus ApplyGainMap(RenderJob& job, StripWork& strip);
    VqStatus ConcealStripColumns(RenderJob& job, StripWork& strip);
    VqStatus BalanceMosaic(RenderJob& job, StripWork& strip);
    VqStatus DemosaicStrip(RenderJob& job, StripWork& strip);
    VqStatus FinishColour(RenderJob& job, StripWork& strip);
    VqStatus PackStrip(RenderJob& job, StripWork& strip);
    VqStatus DeliverStrip(RenderJob& job, StripWork& strip);

    uint32_t balanceMaximum_ = 0;
    int32_t balanceLinearised_ = -1;
    uint32_t balanceBuilds_ = 0;
};

} // namespace lumora
