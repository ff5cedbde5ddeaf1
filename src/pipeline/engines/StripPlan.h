#pragma once
// How one rendering divides the output window into strips.
#include <cstdint>

namespace lumora {

struct StripPlan {
    int32_t rowMargin = 0;
    int32_t colMargin = 0;
    int32_t stripSize = 0;  // window rows in each strip
    int32_t stripWidth = 0; // window columns in each strip
    int32_t stripCount = 0;
    int32_t lastRows = 0;   // rows of the last strip
    int32_t lastWidth = 0;  // columns of the last strip
};

} // namespace lumora
