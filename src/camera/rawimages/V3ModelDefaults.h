#pragma once
// What the version-3 image class falls back on per camera model: the colour-table
// threshold, the built-in colour curves, the default chroma-filter settings and
// the concealment thresholds of bad columns. Model ids below 11 have none.
#include <cstdint>
#include <vector>

namespace lumora::vq {

class V3ModelDefaults {
public:
    // Words of a concealment row: T1..T5.
    static constexpr int kThresholds = 5;

    static uint32_t ColourTableThreshold(int32_t modelId);
    // A table in the form of private tag 3601, or null.
    static const std::vector<int16_t>* ColourCurves(int32_t modelId);
    // Sensitivity and layout of the default chroma settings; false for a model
    // without them.
    static bool ChromaDefaults(int32_t modelId, int32_t* sensitivity, int32_t* layout);
    // A table in the form of private tag 2570 (count n, n film-speed codes, n rows
    // of T1..T5), or null.
    static const std::vector<int16_t>* ConcealmentTable(int32_t modelId);
};

} // namespace lumora::vq
