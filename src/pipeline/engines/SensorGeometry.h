#pragma once
// The sensor layout an image hands to white-balance sampling: nine words, of
// which the engine reads the full size and the four cut-off bands.
#include <cstdint>

namespace lumora {

struct SensorGeometry {
    int32_t word0 = 0;
    int32_t width = 0;        // full sensor width
    int32_t height = 0;       // full sensor height
    int32_t word3 = 0;
    int32_t topMargin = 0;    // rows cut off above the active area
    int32_t leftMargin = 0;   // columns cut off on the left
    int32_t bottomMargin = 0; // rows cut off below
    int32_t rightMargin = 0;  // columns cut off on the right
    int32_t word8 = 0;

    int64_t ActiveWidth() const { return int64_t(width) - leftMargin - rightMargin; }
    int64_t ActiveHeight() const { return int64_t(height) - topMargin - bottomMargin; }
};

} // namespace lumora

static_assert(sizeof(lumora::SensorGeometry) == 9 * sizeof(int32_t), "nine words, as images keep them");
