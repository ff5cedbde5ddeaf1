#pragma once
// The print-resolution tags of a directory (282, 283, 296), as the reader
// delivers them when a caller asks for them.
#include <cstdint>

struct ResolutionRecord {
    uint32_t xOffset = 0;        // value word of 282: offset of the rational
    uint32_t xNumerator = 0;
    uint32_t xDenominator = 0;
    uint32_t yOffset = 0;        // value word of 283
    uint32_t yNumerator = 0;
    uint32_t yDenominator = 0;
    uint32_t unitPresent = 0;    // 296 was seen
    uint16_t unit = 0;           // 296 value
    uint32_t unitPosition = 0;   // file position of the 296 value (entry offset + 8)
};
