#pragma once
// Queries on a filter's level list: the count in attribute 30004 and the
// strictly decreasing level values in 30257 + i.
#include "FpRecords.h"
#include "FpStatus.h"

namespace kestra {

constexpr int32_t kAttrLevels = 30004;
constexpr int32_t kAttrLevelList = 30257;

// scale is a 16.16 fixed-point value.
FpStatus FpResamplerLevel(Handle list, int32_t scale, int32_t& index);
FpStatus FpSnapScale(Handle list, double& scale);
FpStatus FpSmallestLevel(Handle list, double& level);

} // namespace kestra
