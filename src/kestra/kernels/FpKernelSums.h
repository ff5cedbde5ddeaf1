#pragma once
// Sums of a kernel's taps and their correction after rounding: the centre
// taps take the difference so the kernel stays (nearly) symmetric.
#include <cstdint>

namespace kestra {

int32_t FpKernelSum(const int16_t* taps, int32_t n);
// Moves the sum towards target by at most 4 on the centre taps; answers the
// sum before the correction.
int32_t FpFixKernelSum(int16_t* taps, int32_t n, int32_t target);
// Fits a stored kernel whose blend pair is pair so that the full kernel sums
// to target.
void FpFitKernelSum(const int16_t* pair, int16_t* taps, int32_t n, int32_t f, int32_t target);
// Spreads target - sum over the taps by the window (up to three passes), then
// up to 3 onto the centre taps.
void FpSpreadKernelSum(int16_t* taps, int32_t n, int32_t target, const int32_t* window, int32_t windowSum);

} // namespace kestra
