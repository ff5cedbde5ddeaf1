#pragma once
// Linear interpolation between the entries of a 16-bit table.
#include <cstdint>

namespace lumora {

// table[last] beyond the end; 0 for a null table or an x that is not >= 0.
double InterpolateLut(const uint16_t* table, double x, int32_t last);
void InterpolateLut3(const uint16_t* table, const double in[3], double out[3], int32_t last);

} // namespace lumora
