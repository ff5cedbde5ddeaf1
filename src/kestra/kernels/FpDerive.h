#pragma once
// New sharpening filters derived from existing ones: stretched by a scale
// with a resampling filter, or with another kernel size. The sources stay as
// they were; a failure frees everything the derivation made.
#include "FpRecords.h"
#include "FpStatus.h"

namespace kestra {

constexpr FpStatus FpScaleTooSmall = 505;

FpStatus FpScaleSharpeningFilter(Handle filter, double s, Handle resampler, Handle& out);
FpStatus FpResetKernelSize(Handle filter, int32_t size, Handle& out);

} // namespace kestra
