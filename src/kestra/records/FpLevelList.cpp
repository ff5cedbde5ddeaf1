#include "FpLevelList.h"

#include "FpAttributeList.h"
#include "PsfConversions.h"

#include <cmath>

namespace kestra {

namespace {
FpStatus levelCount(Handle list, int32_t& levels) {
    if (FpGetLongById(list, kAttrLevels, levels) != FpOk || levels < 1) return FpBadLevel;
    return FpOk;
}
FpStatus level(Handle list, int32_t i, double& value) {
    return FpGetDoubleById(list, kAttrLevelList + i, value) == FpOk ? FpOk : FpBadLevel;
}
} // namespace

FpStatus FpResamplerLevel(Handle list, int32_t scale, int32_t& index) {
    index = 0;
    int32_t levels;
    if (levelCount(list, levels) != FpOk) return FpBadLevel;
    const double a = std::fabs(PsfFromFixed16(scale));
    double first;
    if (level(list, 0, first) != FpOk) return FpBadLevel;
    if (first * a <= 1.0) return FpOk;
    for (int32_t i = 1; i < levels; ++i) {
        double v;
        if (level(list, i, v) != FpOk) return FpBadLevel;
        if (v <= 1.0 / a) {
            index = i;
            return FpOk;
        }
    }
    index = levels - 1;
    return FpOk;
}

FpStatus FpSmallestLevel(Handle list, double& value) {
    int32_t levels;
    if (levelCount(list, levels) != FpOk) return FpBadLevel;
    return level(list, levels - 1, value);
}

FpStatus FpSnapScale(Handle list, double& scale) {
    double smallest;
    const FpStatus s = FpSmallestLevel(list, smallest);
    if (s != FpOk) return s;
    const double magnitude = std::fabs(scale);
    if (magnitude < 0.01 && magnitude < smallest) {
        scale = smallest;
        return FpOk;
    }
    int32_t index;
    const FpStatus r = FpResamplerLevel(list, PsfToFixed16(1.0 / scale), index);
    if (r != FpOk) return r;
    return level(list, index, scale);
}

} // namespace kestra
