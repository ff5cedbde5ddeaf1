#include "CurveTable.h"

#include <cmath>

#include "CurveValue.h"

namespace lumora {

VqStatus CurveTable::BuildGamma(double gamma) {
    if (!IsValid()) return VQ_ERR_NO_TABLE;
    if (!entries || length < 2) return VQ_OK;
    const double last = double(length - 1);
    for (int32_t i = 0; i < length; ++i)
        entries[i] = CurveValue(std::pow(i / last, 1.0 / gamma) * top);
    return VQ_OK;
}

} // namespace lumora
