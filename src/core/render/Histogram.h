#pragma once
// Red, green, blue and luminance histograms of an image, taken from a
// thumbnail-sized render, and the tone curve the levels dialog draws: the
// image's linear values through its exposure table and colour transform,
// over a level axis in stops.
#include "ColorTransform.h"
#include "YlmMutex.h"
#include "YlmRefCount.h"
#include "YlmRefPtr.h"

#include <cstdint>

namespace NimbalCore {

class ImageRendering;
class PixelArray;

class Histogram : public YlmRefCount<YlmMutex> {
public:
    static constexpr int kBins = 256;
    static constexpr int kSteps = 4096;

    Histogram() = default;
    virtual ~Histogram() = default;

    virtual void AccumulateBins(PixelArray& array);
    virtual void Compute(ImageRendering* rendering);
    virtual void AccumulateBins16(PixelArray& array, ImageRendering* rendering);
    virtual void ComputeForLevels(ImageRendering* rendering);

    // The shadow index on the 256-step axis; 1707 when the image cannot
    // give its exposure table (the curves of the last call stay).
    int ConstructToneCurve(ImageRendering* rendering);
    int LevelToIndex(float value) const;
    int ValueToBin(float stops) const;
    float BinToValue(int bin) const;
    void UpdatePeaks();
    static void Smooth(const uint32_t* source, uint32_t* destination, int count, const int* kernel, int kernelLength);

    void SetLevelAxis(float lower, float upper, int32_t scale);

    const uint32_t* RedBins() const { return redBins_; }
    const uint32_t* GreenBins() const { return greenBins_; }
    const uint32_t* BlueBins() const { return blueBins_; }
    const uint32_t* LumaBins() const { return lumaBins_; }
    const uint16_t* ToneCurve() const { return toneCurve_; }
    const uint16_t* DisplayCurve() const { return displayCurve_; }
    uint32_t GetPixelCount() const { return pixelCount_; }
    uint32_t GetRedPeak() const { return redPeak_; }
    uint32_t GetGreenPeak() const { return greenPeak_; }
    uint32_t GetBluePeak() const { return bluePeak_; }
    uint32_t GetLumaPeak() const { return lumaPeak_; }
    uint16_t GetCurvePeak() const { return curvePeak_; }
    int32_t GetCurveEnd() const { return curveEnd_; }
    int32_t GetShadowIndex() const { return shadowIndex_; }
    float GetLowerLevel() const { return lowerLevel_; }
    float GetUpperLevel() const { return upperLevel_; }
    int32_t GetHighlightIndex() const { return highlightIndex_; }

private:
    void Clear();

    uint32_t redBins_[kBins] = {};
    uint32_t greenBins_[kBins] = {};
    uint32_t blueBins_[kBins] = {};
    uint32_t lumaBins_[kBins] = {};
    int32_t exposureIndex_[kSteps] = {};
    uint16_t displayCurve_[kBins] = {};
    uint16_t exposureTable_[kSteps] = {};
    uint16_t lumaCurve_[kSteps] = {};
    uint16_t toneCurve_[kSteps] = {};
    uint32_t pixelCount_ = 0;
    uint32_t redPeak_ = 0, greenPeak_ = 0, bluePeak_ = 0, lumaPeak_ = 0;
    uint16_t curvePeak_ = 0;
    int32_t curveEnd_ = 0;
    float lowerLevel_ = 0.0f;
    float upperLevel_ = 0.0f;
    int32_t levelScale_ = 0;
    float levelStep_ = 0.0f;
    int32_t shadowIndex_ = 0;
    int32_t highlightIndex_ = 0;
    YlmRefPtr<ColorTransform> transform_;
};

} // namespace NimbalCore
