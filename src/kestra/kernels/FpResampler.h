#pragma once
// A resampling filter prepared to stretch kernels by a scale s: its level for
// a step of 1/s, a kernel adjusted to s when no level matches it closely, and
// the phase tables of the stretch.
#include "FpPhaseTables.h"
#include "FpRecords.h"
#include "FpStatus.h"

namespace kestra {

struct FpResampler {
    FpKernelSet* set = nullptr;   // locked while prepared
    Handle previousCurrent = 0;   // the filter's own current kernel, put back afterwards
    FpPhaseTables tables{};
};

// Adjusts level k of the resampler to s; adjusted stays null when the level
// is close enough (or k is 0).
FpStatus FpResampleKernels(Handle list, const FpKernelSet& set, double s, int32_t k, FpKernelTable*& adjusted);
FpStatus FpBuildResampler(Handle resamplingFilter, double s, int32_t taps, int32_t& newTaps, FpResampler& resampler);
// Drops the adjusted kernel, gives the filter its own current kernel back,
// unlocks the set and frees the tables. Safe after a failed build.
void FpReleaseResampler(FpResampler& resampler);

} // namespace kestra
