#pragma once
// What the raw image classes fall back on per camera model when a file leaves
// something out: generation thresholds, the demosaic threshold and sharpening
// level, the built-in tone curves, colour-curve tables and linearisation curve.
// Tables are built once and shared; callers copy what they keep.
#include <cstdint>
#include <vector>

namespace lumora::vq {

class RawModelDefaults {
public:
    static constexpr int kModelCount = 23;
    static constexpr uint32_t kCurveEntries = 4096;

    // Private tag 3200 below this marks the file old (built-in sharpening and
    // demosaic threshold are used).
    static uint32_t FileGenerationThreshold(int32_t modelId);
    // Private tag 3604 below this means the file's colour curves are ignored.
    static uint32_t ColourTableThreshold(int32_t modelId);
    static uint16_t DemosaicThreshold(int32_t modelId);
    static int32_t SharpeningLevel(int32_t modelId);

    // The model's 4096-entry tone curve (12-bit in, 12-bit out), or null for a
    // model that has none.
    static const uint16_t* ToneCurve(int32_t modelId);
    // The model's colour-curve table in the form of private tag 3601 (count,
    // film-speed codes, one 15-word record per code), or null.
    static const std::vector<int16_t>* ColourCurves(int32_t modelId);
    // Linearisation curve of 4096 entries, monotonic from 0 to 4095, the first
    // 216 equal to their index.
    static const uint16_t* LinearisationCurve();
};

} // namespace lumora::vq
