#pragma once
// Clip block kept across the strips of one rendering: the extra row margin asked
// of SourceRectForRotation, and the window rows CopyWindow found outside the raw
// image.
#include <cstdint>

namespace lumora {

struct ClipRecord {
    int16_t extraRowMargin = 0;
    int16_t spare0 = 0;
    int32_t spare1[3] = {0, 0, 0};
    int32_t rowsAbove = 0; // window rows above the first raw row
    int32_t rowsBelow = 0; // window rows below the last raw row
    int32_t spare2[4] = {0, 0, 0, 0};
};

} // namespace lumora
