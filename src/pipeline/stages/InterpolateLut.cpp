#include "InterpolateLut.h"

#include <cmath>

namespace lumora {

double InterpolateLut(const uint16_t* table, double x, int32_t last) {
    if (!table || !(x >= 0.0) || last < 0) return 0.0;
    const double whole = std::floor(x);
    if (whole >= double(last)) return table[last];
    const int32_t i = int32_t(whole);
    return table[i] + (double(table[i + 1]) - double(table[i])) * (x - i);
}

void InterpolateLut3(const uint16_t* table, const double in[3], double out[3], int32_t last) {
    for (int k = 0; k < 3; ++k) out[k] = InterpolateLut(table, in[k], last);
}

} // namespace lumora
