#pragma once
// Strength levels of a sharpening filter: finding the tabulated levels
// around a requested strength, and the kernel of a strength between two.
#include "FpRecords.h"
#include "FpStatus.h"

namespace kestra {

FpStatus FpFindLevel(Handle list, double strength, int32_t& index, double& fraction);
// A new one-level table (handed back locked) holding the kernels of level
// index + fraction.
FpStatus FpInterpolateKernel(const FpKernelTable& table, FpKernelTable*& out, int32_t index, double fraction);
// Prepares a filter's kernels for a strength: a tabulated level when the
// strength lies within 0.01 of one, else an interpolated current kernel
// (level 0 of it). The level index is always one the kernels hold.
FpStatus FpSetLevel(Handle filter, double strength, int32_t reserved, int32_t& levelIndex);

} // namespace kestra
