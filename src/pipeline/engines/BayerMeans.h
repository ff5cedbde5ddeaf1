#pragma once
// Mean red, green and blue of an area of the colour-filter pattern (cells of
// green, red over blue, green).
#include <cstdint>

#include "VqStatus.h"

namespace lumora {

// rows 0 .. rows-1 of the plane (row r at sample r * stride), columns
// firstColumn .. firstColumn + columns - 1. An area of fewer than four samples
// has no mean and answers VQ_ERR_RECT_TOO_SMALL.
VqStatus BayerMeans(const uint16_t* plane, int32_t stride, int32_t rows, int32_t firstColumn,
                    int32_t columns, double* red, double* green, double* blue);
// The same means, each truncated toward zero to 16 bits.
VqStatus BayerMeans(const uint16_t* plane, int32_t stride, int32_t rows, int32_t firstColumn,
                    int32_t columns, uint16_t* red, uint16_t* green, uint16_t* blue);

} // namespace lumora
