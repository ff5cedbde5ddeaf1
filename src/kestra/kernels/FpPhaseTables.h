#pragma once
// Where each output tap of a stretched kernel samples the input: the first
// input tap the resampling kernel covers, and the offset of the phase kernel
// that interpolates there.
#include "FpRecords.h"
#include "FpStatus.h"

namespace kestra {

constexpr int32_t kMaxStretchedTaps = 32767;
// A kernel size that a stretch or a size change cannot produce.
constexpr FpStatus FpBadKernelSize = 600;

struct FpPhaseTables {
    double scale;
    int32_t resamplerLevel;
    int32_t* positions;
    int32_t* phases;
    int32_t sourceLevel;
    int32_t length;
};

// The output taps of stretching n taps by s with a resampler of taps T, in
// 64 bits; false when they exceed kMaxStretchedTaps.
bool FpStretchedTaps(int32_t n, double s, int32_t resamplerTaps, int32_t& taps);
FpStatus FpBuildPhaseTables(FpPhaseTables& tables, const FpKernelSet& resampler, double s, int32_t n, int32_t& taps);
void FpFreePhaseTables(FpPhaseTables& tables);

} // namespace kestra
