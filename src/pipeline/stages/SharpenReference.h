#pragma once
// Scalar reference of the sharpen stage's detail and correction, one sample at a
// time with the 25 taps of the kernel. The fast stage must match it bit for bit.
#include <cstdint>

namespace lumora::reference {

struct SharpenParameters {
    int width, height, mode;
    const int16_t* kernelBlock;   // three level divisors, then 25 taps
    int32_t divisor, gain, coreLow, coreHigh, linearEnd, cutoff;
    int16_t maximum;
};

uint32_t Sharpen(int16_t* plane1, int16_t* plane2, int16_t* plane3, const SharpenParameters& p);

} // namespace lumora::reference
