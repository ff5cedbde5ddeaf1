#pragma once
// Small integer curve tools: piecewise-linear sampling through knots, and the
// two contrast curves the family-2 tone table is composed of. All arithmetic is
// 32-bit integer with truncating division, as the tables are matched bit for bit.
#include <cstdint>

#include "VqStatus.h"

namespace lumora {

// Samples the n knots (x ascending) at each input, taken in ascending order.
// Inputs below the first knot give the first value, above the last the last.
void SampleLinear(const int32_t* x, const int32_t* y, int32_t n, const int32_t* inputs, int32_t* outputs,
                  int32_t count);

// Samples count evenly spread inputs from low to high (rounded to the nearest).
// VQ_ERR_BAD_SAMPLE for high < low, count <= 0 or fewer than two knots.
VqStatus SampleLinearRange(const int32_t* x, const int32_t* y, int32_t n, int32_t low, int32_t high,
                           int32_t count, int32_t* out);

// Five knots through (a, 0), (b, d), (c, g - 1) with shoulders set by e and f.
// Levels out of order answer VQ_ERR_BAD_SAMPLE, yet the knots are still written
// with b moved 200 inside the range.
VqStatus KnotsFromLevels(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f, int32_t g, int32_t x[5],
                         int32_t y[5]);

// Contrast curve of count entries through nine smoothed knots moving level b to d
// between the ends a and c.
VqStatus NineKnotCurve(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f, int32_t count,
                       int32_t* out);

// Contrast curve of count entries around the middle level a with shoulder width
// b and strength c.
VqStatus SevenKnotCurve(int32_t a, int32_t b, int32_t c, int32_t count, int32_t* out);

} // namespace lumora
