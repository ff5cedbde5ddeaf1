#pragma once
// A colour transform, shared by counted references. The colour engine makes
// them (one profile's, or a chain's combined); the core runs them over strips.
#include "PixelLayout.h"
#include "YlmMutex.h"
#include "YlmRefCount.h"

#include <cstdint>

namespace NimbalCore {

class ColorTransform : public YlmRefCount<YlmMutex> {
public:
    static constexpr int kCurveSteps = 4096;

    ColorTransform() = default;
    virtual ~ColorTransform() = default;

    // 1731 when the library cannot say.
    virtual void GetChannels(int32_t* inChannels, int32_t* outChannels) = 0;
    // Converts the pixels before it returns; 1727 on failure.
    virtual void Evaluate(const PixelLayout& source, const PixelLayout& destination) = 0;
    // A 4096-step grey ramp through the transform, each step's luminance
    // (299 R + 587 G + 114 B) / 1000.
    void ComputeLuminanceCurve(uint16_t curve[kCurveSteps]);
};

} // namespace NimbalCore
