#pragma once
// Processing engine of the raw files of model family 2: sensor samples through
// two or three tables, demosaicing, per-channel balance curves made from a
// neutral point, a colour transform whose channel tables are one composed tone
// table, and a final table. Model 13 renders through the second driver (the
// direction-map demosaicer and a third table), the other model through the
// first. RawEngineF2.cpp holds formats, modes and the tables, RawEngineF2Thumbnail.cpp
// the thumbnail and the balance sample; the white-balance
// computations live in NeutralBalance, the tone table in F2ToneTable.
#include <cstdint>
#include <vector>

#include "CurveState.h"
#include "F2ProcessingModes.h"
#include "F2ToneTable.h"
#include "NeutralBalance.h"
#include "RawEngine.h"

namespace lumora {

class RawEngineF2 : public RawEngine {
public:
    static constexpr int32_t kCurveEntries = 4096;
    static constexpr uint16_t kCurveTop = 4092;
    static constexpr int32_t kSecondDriverModel = 13;

    RawEngineF2() = default;
    ~RawEngineF2() override = default;

    VqStatus GetOutputFormat(uint32_t type, int32_t* bytesPerSample, int32_t* channels) override;
    VqStatus RenderImage(const ImageBufferRecord* buffer, const ProgressRecord* progress) override;
    // The stored RGB thumbnail through the balance curves, the colour transform
    // and the final table.
    VqStatus RenderThumbnail(void* buffer) override;
    // Mean camera values of an area of the sensor, through the shifted table.
    VqStatus SampleWhiteBalance(const SdkRect* area, uint16_t* outRgb, int32_t fromThumbnail,
                                const SensorGeometry* geometry) override;
    VqStatus DecodeCache(void* scratch, int32_t swapBytes, int32_t shiftTo12Bits, int32_t expand8To16) override;

    virtual VqStatus RenderFirstDriver(const ImageBufferRecord* buffer, const ProgressRecord* progress);
    virtual VqStatus RenderSecondDriver(const ImageBufferRecord* buffer, const ProgressRecord* progress);
    virtual VqStatus GetF2ProcessingModes(uint32_t type, int32_t isColour, int32_t constant, int32_t cameraRgbMode,
                                          int32_t cfaTableSize, F2ProcessingModes* modes);

    // White balance as a neutral point (the image calls these directly).
    VqStatus GetNeutralPoint(double out[3]) const;
    VqStatus BalanceFromNeutral(uint16_t red, uint16_t green, uint16_t blue, double gains[3]) const;
    VqStatus NeutralToBalanceTriple(uint16_t red, uint16_t green, uint16_t blue, uint16_t out[3]) const;
    VqStatus NeutralForIlluminant(int32_t index, const uint32_t* block, double out[3]) const;

    enum class CurveSet { Render, Thumbnail };
    // Per-channel balance curves of RP_WHITE_BALANCE, rebuilt when the curve
    // record's flag for the set says so. With a source table (which needs 4096
    // entries) the curves are the table scaled by the gains, else ramps.
    VqStatus BuildBalanceCurves(CurveSet set, const uint16_t* source, uint32_t sourceSize);
    VqStatus BuildToneTable();

    const uint16_t* BalanceCurve(CurveSet set, int i) const;
    const uint16_t* ToneTable() const { return toneTable_.Table(); }
    uint32_t ToneBuildCount() const { return toneTable_.BuildCount(); }
    uint32_t CurveBuildCount() const { return curveBuilds_; }

protected:
    NeutralBalanceInputs BalanceInputs() const;
    CurveState* Curves() const { return static_cast<CurveState*>(curveState_); }
    int32_t BalanceType() const { return balanceState_[1]; }
    // linearLut_ as a ramp of RP_FINAL_TABLE_SIZE entries up to 65535.
    VqStatus EnsureFinalRamp();
    // Family-2 sensor data is taken as it is stored.
    VqStatus DecodeSensorData() override;
    // The colour transform with the file's matrices and the composed tone
    // table, skipping `skipColumns` on each side.
    VqStatus PrepareF2Transform(ColorTransformStage& transform, const F2ProcessingModes& modes, int32_t skipColumns);

private:
    VqStatus RenderDriver(const ImageBufferRecord* buffer, const ProgressRecord* progress, bool second);

    std::vector<uint16_t> curves_[2][3];
    F2ToneTable toneTable_;
    uint32_t curveBuilds_ = 0;
    uint32_t finalRampSize_ = 0;
};

} // namespace lumora
