#pragma once
// An image's list of sensor columns to conceal, as the engines read it through
// RP_BAD_COLUMNS. The first word is the on/off word callers can read and set.
#include <cstdint>

namespace lumora {

struct BadColumnRecord {
    int32_t enabled = 0;
    int16_t count = 0;
    int16_t level = 0;
    const uint8_t* entries = nullptr; // count entries of 16 bytes
    int16_t thresholds[5] = {};       // three of the single-column rule, two of the paired one
};

} // namespace lumora
