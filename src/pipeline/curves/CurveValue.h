#pragma once
// Rounding of a computed curve value into a 16-bit table entry.
#include <cmath>
#include <cstdint>

namespace lumora {

// floor(v + bias), kept inside the 16-bit range; a value that is not a number
// (a knot at zero, a degenerate slope) becomes 0 instead of undefined behaviour.
inline uint16_t CurveValue(double v, double bias = 0.5) {
    const double r = std::floor(v + bias);
    if (!(r > 0.0)) return 0;
    if (r >= 65535.0) return 65535;
    return uint16_t(r);
}

} // namespace lumora
