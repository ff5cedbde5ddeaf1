#pragma once
#include <cstdint>

namespace NimbalCore {

// Bytes of one value of a TIFF field type; 0 for a type we do not know.
// FLOAT counts 8 because the builder stores every FLOAT as a RATIONAL.
uint32_t TiffTypeSize(uint16_t type);

} // namespace NimbalCore
