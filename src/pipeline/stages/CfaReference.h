#pragma once
// Scalar reference of the mosaic noise filter, one sample at a time from a full
// copy of the plane. The fast stage must match it bit for bit.
#include <cstdint>

namespace lumora::reference {

uint32_t CfaFilter(int16_t* plane, int width, int height, int size, const uint16_t* red, const uint16_t* green,
                   const uint16_t* blue);

} // namespace lumora::reference
