#pragma once
// The colour transform's conversion with separate tone tables, eight pixels at
// a time with AVX2, for rows whose sums fit 32 bits. Callers check that the
// processor has AVX2 (ProcessorHasAvx2) before calling it.
#include <cstdint>

#include "ProcessorHasAvx2.h"

namespace lumora {

struct SeparateTonesKernel {
    const int32_t* first = nullptr; // 3 x 3, rounding half and shift below
    int32_t firstHalf = 0;
    uint32_t firstShift = 0;
    int32_t workingMaximum = 0;     // the tone tables' last index
    const int32_t* second = nullptr;
    int32_t secondHalf = 0;
    uint32_t secondShift = 0;
    int32_t lowest = 0, highest = 0; // the output table's index range
    const uint16_t* firstTone = nullptr;
    const uint16_t* middleTone = nullptr;
    const uint16_t* lastTone = nullptr;
    const uint16_t* output = nullptr;
};

// One row of `width` pixels of the three planes, in place.
void ConvertSeparateTonesAvx2(const SeparateTonesKernel& k, int16_t* p, int16_t* q, int16_t* r, int32_t width);

} // namespace lumora
