#include "RoundToDecimals.h"

#include <cmath>
#include <cstdint>

namespace NimbalCore {

float RoundToDecimals(float value, unsigned decimals) {
    const float factor = static_cast<float>(std::pow(10.0, static_cast<double>(decimals)));
    if (value == 0) return value;
    const double scaled = std::floor(static_cast<double>(value * factor) + 0.5);
    // Beyond the 32-bit range (or not a number) the value has no decimals to
    // round at this factor; it is answered as it is.
    if (!(scaled >= -2147483648.0 && scaled <= 2147483647.0)) return value;
    return static_cast<float>(static_cast<int32_t>(scaled)) / factor;
}

} // namespace NimbalCore
