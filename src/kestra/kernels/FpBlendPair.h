#pragma once
// The blend pair {a, b} of a stored kernel k: the full kernel is
// a * k / 2^f plus b at the centre tap. Expanding and splitting convert
// between the two forms.
#include <cstdint>

namespace kestra {

void FpExpandKernel(const int16_t* stored, int32_t n, const int16_t* pair, int32_t f, int16_t* out);
// out may be the same array as full.
void FpSplitKernel(const int16_t* full, int32_t n, int32_t f, int16_t* out, int16_t* pair);
// The lowest and highest response of a symmetric kernel over its periods.
void FpResponseRange(const int16_t* taps, int32_t n, int16_t& lowest, int16_t& highest);

} // namespace kestra
