#pragma once
// Byte counts of the working buffers of one strip.
#include <cstdint>

namespace lumora {

struct StripBufferSizes {
    uint32_t windowBytes = 0;
    uint32_t unpackedBytes = 0;
    uint32_t firstPlaneBytes = 0;
    uint32_t secondPlaneBytes = 0;
    uint32_t thirdPlaneBytes = 0;
};

} // namespace lumora
