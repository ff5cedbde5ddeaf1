#pragma once
// The renderer frame shared by every processing engine: the parameter table the
// image writes through, the raw-data cache, the strip geometry and the output-type
// tables. The pipeline operations are virtual; engines replace them.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "ClipRecord.h"
#include "OcmsImageRecord.h"
#include "RationalValue.h"
#include "RendererParameterId.h"
#include "SensorGeometry.h"
#include "StripBufferSizes.h"
#include "StripPlan.h"
#include "VqApi.h"
#include "VqImageBuffer.h"
#include "VqRect.h"
#include "VqStatus.h"

namespace lumora {

class LutStage;
class RawUnpackStage;
class RendererImage;
class ShadingStage;

// Stage modes of the default pipeline for one output type.
struct PipelineModes {
    int32_t unpackMode = 0;
    int32_t shadingMode = 0;
    int32_t passThrough = 0;
    int32_t demosaicMode = 0;
    int32_t transformMode = 2;
    int32_t subsampled = 1;
    int32_t lutMode = 0;
};

class SdkRenderer {
public:
    static constexpr uint32_t kCacheStepBytes = 65536;

    // Text cells (model name, calibration file): up to 256 bytes and a length.
    struct NamedText {
        char text[256];
        int32_t length;
    };

    SdkRenderer();
    virtual ~SdkRenderer();
    SdkRenderer(const SdkRenderer&) = delete;
    SdkRenderer& operator=(const SdkRenderer&) = delete;

    // The storage cell of a parameter id, or null for an unknown id.
    void* Parameter(uint32_t id) const { return id < RP_PARAMETER_COUNT ? parameters_[id] : nullptr; }
    // The bytes the cell of a parameter id holds, or 0 for an unknown id. A value
    // is set whole: callers refuse one of any other size.
    size_t ParameterSize(uint32_t id) const { return id < RP_PARAMETER_COUNT ? parameterSizes_[id] : 0; }
    void* const* ParameterTable() const { return parameters_; }

    virtual VqStatus PrepareStages();
    virtual VqStatus GetOutputFormat(uint32_t type, int32_t* bytesPerSample, int32_t* channels);
    virtual VqStatus GetStripBufferSizes(StripBufferSizes* sizes, int16_t width, uint32_t height,
                                         int16_t subsample, int32_t bytesPerSample);
    virtual VqStatus RenderImage(const ImageBufferRecord* buffer, const ProgressRecord* progress);
    virtual VqStatus RenderThumbnail(void* buffer);
    virtual VqStatus ParameterChanged(uint32_t id);
    virtual VqStatus IsGreyPatch(const uint16_t* triple, int32_t* outClass, int16_t threshold,
                                 float factor);
    // Mean red, green and blue of an area in image coordinates, from the sensor
    // data or, with fromThumbnail set, from the stored thumbnail.
    virtual VqStatus SampleWhiteBalance(const SdkRect* area, uint16_t* outRgb, int32_t fromThumbnail,
                                        const SensorGeometry* geometry);
    virtual VqStatus DecodeCache(void* scratch, int32_t swapBytes, int32_t shiftTo12Bits,
                                 int32_t expand8To16);
    virtual VqStatus ConfigureOutput(uint32_t bufferBytes, int32_t x, int32_t y, int32_t width,
                                     int32_t height, StripPlan* plan, float rotation,
                                     uint8_t padBytes, uint32_t type);
    virtual VqStatus SourceRectForRotation(int32_t stripIndex, StripPlan plan, int32_t x, int32_t y,
                                           int32_t width, int32_t height, SdkRect* rect,
                                           float rotation, const ClipRecord* clip);
    virtual VqStatus FitStripHeight(int16_t subsample, uint32_t* stripSize, uint32_t total);

    VqStatus LoadCache(uint8_t* buffer, uint32_t stepCount, int32_t* done, uint32_t bytesPerSample);
    // True when DecodeCache writes the sensor area of the cache itself (and
    // clears what it does not reach), so loading need not clear it first.
    virtual bool DecodeWritesSensor() const { return false; }
    void FreeCache();
    VqStatus ResetCacheState();
    VqStatus ConfigurePipeline(uint32_t type, int32_t isColour, PipelineModes* modes,
                               int16_t subsample, int32_t look);
    uint32_t MapColorManagedType(uint32_t type) const;
    VqStatus PrepareLinearLut(LutStage& lut, int32_t lutMode);
    VqStatus CopyWindow(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* destination,
                        uint32_t bytesPerSample, uint32_t outBytesPerSample, uint32_t dataOffset,
                        ClipRecord* clip);

    // Cache state, for the image and the engines.
    const uint8_t* Cache() const { return cache_; }
    uint64_t CacheBytes() const { return cacheBytes_; }
    uint32_t LoadedBytes() const { return loadedBytes_; }
    int32_t CacheDecoded() const { return cacheDecoded_; }
    // Bytes the cache must hold: the file up to the end of the raw data, and at
    // least the whole sensor after the data offset; 0 for impossible geometry.
    uint64_t RequiredCacheBytes(uint32_t bytesPerSample) const;
    // Memory of an owned cache (freed with FreeCacheBytes). Large caches are
    // asked for in huge pages: a whole file read into small pages spends more
    // time taking page faults than copying.
    static uint8_t* AllocateCacheBytes(uint64_t bytes);
    static void FreeCacheBytes(uint8_t* cache);

    // The long-lived stages of the base pipeline, once PrepareStages made them.
    const RawUnpackStage* UnpackStage() const { return unpackStage_.get(); }
    const RawUnpackStage* SampleStage() const { return sampleStage_.get(); }
    const ShadingStage* Shading() const { return shadingStage_.get(); }

protected:
    bool ColourManagementActive() const;
    // Hands a finished strip of `bytes` to the caller's strip callback, whose
    // answer is the buffer of the next strip (null stops the rendering). Without
    // a callback the strips go on into the same buffer.
    static VqStatus PassStripOn(const ImageBufferRecord* record, uint8_t*& out, uint64_t bytes);
    VqStatus ConfigureUnpackStages();
    VqStatus CreateShadingStage();
    VqStatus SetShadingPolynomial();
    VqStatus SetShadingCalibration();

    void* parameters_[RP_PARAMETER_COUNT];
    size_t parameterSizes_[RP_PARAMETER_COUNT] = {};

    // Parameter cells.
    int32_t isColor_ = 0;
    int32_t sensorGroup_ = 0;
    RendererImage* image_ = nullptr;
    int16_t subsample_ = 1;
    int32_t outputType_ = 0;
    float rotation_ = 0.0f;
    uint8_t padBytes_ = 0;
    SdkRect outputWindow_ = {0, 0, 0, 0};
    uint16_t sampleBalance_[3] = {0, 0, 0};
    uint16_t whiteBalance_[3] = {0, 0, 0};
    uint16_t monoBalance_[3] = {0, 0, 0};
    uint16_t unpackOffset_ = 0;
    uint16_t* unpackTable_ = nullptr;
    int32_t rawWidth_ = 0;
    int32_t rawHeight_ = 0;
    int32_t shadingPoly1_[5] = {};
    int32_t shadingPoly2_[5] = {};
    char processingDirectory_[VQ_PATH_BYTES] = {};
    NamedText modelName_ = {};
    NamedText calibrationFile_ = {};
    int32_t thumbnailMono_[2] = {};
    int32_t thumbnailInfo_[8] = {};
    int32_t dataOffset_ = 0;
    RationalValue colorMatrix_[9] = {};
    RationalValue colorMatrix2_[9] = {};
    RationalValue colorMatrix3_[9] = {};
    RationalValue colorMatrices_[9] = {};
    uint16_t* toneCurve_ = nullptr;
    int32_t dataSize_ = 0;
    int32_t dataCompressed_ = 0;
    uint16_t maxValue_ = 0;
    int32_t private1018_ = 0;
    int32_t cameraPreset_ = 0;
    int32_t unpackTableSize_ = 0;
    int32_t linearLimit_ = 0;
    int32_t* linearTable32_ = nullptr;
    int32_t toneCurveSize_ = 0;
    uint16_t* outputCurve_ = nullptr;
    int32_t outputCurveSize_ = 0;
    int32_t f2CurveASize_ = 0;
    uint16_t* f2CurveA_ = nullptr;
    int32_t f2CurveBSize_ = 0;
    uint16_t* f2CurveB_ = nullptr;
    int32_t offsetTableSize_ = 0;
    int16_t* rowOffsets_ = nullptr;     // owned (freed with std::free)
    int32_t* rowOffsets32_ = nullptr;   // owned
    int16_t* columnOffsets_ = nullptr;  // owned
    int32_t* columnOffsets32_ = nullptr; // owned
    int32_t precisionFactor_ = 0;
    int32_t look_ = 0;
    int32_t thumbTableOn_ = 0;
    int32_t gainTileWidth_ = 0;
    int32_t gainTileHeight_ = 0;
    int32_t gainMapSize_ = 0;
    uint16_t* gainMap_ = nullptr;
    int32_t thumbTableSize_ = 0;
    uint16_t* thumbTable_ = nullptr;
    float linearGain_ = 0.0f;
    const uint8_t* thumbnailData_ = nullptr;
    int32_t balanceIsLinear_ = 0;
    int32_t balanceState_[5] = {};
    int32_t directionThresholdH_ = 0;
    int32_t directionThresholdV_ = 0;
    uint8_t sharpenKernel_[56] = {};
    int32_t sharpenOn_ = 0;
    int32_t sharpen_[5] = {};
    int32_t sharpenAllowed_ = 0;
    OcmsImageRecord* cmsTransform_ = nullptr;
    uint16_t cfaTableSize_ = 0;
    uint16_t* cfaTable1_ = nullptr;
    uint16_t* cfaTable2_ = nullptr;
    uint16_t* cfaTable3_ = nullptr;
    uint16_t* byteTable_ = nullptr;
    int32_t byteTableSize_ = 0;
    int32_t cameraRgbMode_ = 0;
    uint16_t demosaicThreshold_ = 0;
    void* curveState_ = nullptr;
    uint16_t* shiftedTable_ = nullptr;
    int32_t shiftedTableSize_ = 0;
    uint16_t* finalTable_ = nullptr;
    int32_t finalTableSize_ = 0;
    const float* sensitivityPairs_ = nullptr;
    int32_t modelId_ = 0;
    uint16_t linearMax_ = 0;
    void* badColumns_ = nullptr;
    int32_t cacheSampleBytes_ = 0;
    int32_t dataFormat_ = 0;
    const uint8_t** imageData_ = nullptr;
    void* chromaSettings_ = nullptr;

    // Raw-data cache: the file from offset 0 to the end of the raw data.
    uint8_t* cache_ = nullptr;
    int32_t cacheOwned_ = 0;
    uint32_t loadedBytes_ = 0;
    int32_t cacheDecoded_ = 0;
    uint64_t cacheBytes_ = 0;

    // Stages of the base pipeline; the engines make none.
    std::unique_ptr<RawUnpackStage> unpackStage_;
    std::unique_ptr<RawUnpackStage> sampleStage_;
    std::unique_ptr<ShadingStage> shadingStage_;

    uint16_t* linearLut_ = nullptr; // owned
    void* ownedBuffers_[10] = {};   // engine buffers, freed with std::free
    int32_t engineWords_[3] = {-1, -1, -1};
};

} // namespace lumora

