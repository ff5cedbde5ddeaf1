#include "PixelShift.h"

namespace NimbalCore {

namespace {

template <int Shift>
void Down(const uint16_t* __restrict s, uint8_t* __restrict d, int64_t n, int64_t step) {
    for (int64_t j = 0; j < n; ++j) d[j] = uint8_t(s[j * step] >> Shift);
}

template <int Shift>
void Up(const uint16_t* __restrict s, uint16_t* __restrict d, int64_t n, int64_t step) {
    for (int64_t j = 0; j < n; ++j) d[j] = uint16_t(s[j * step] << Shift);
}

} // namespace

void ShiftSamplesTo8(const uint16_t* s, uint8_t* d, int64_t n, int shift) {
    if (shift == 4) Down<4>(s, d, n, 1);
    else Down<8>(s, d, n, 1);
}

void ShiftSamplesTo16(const uint16_t* s, uint16_t* d, int64_t n, int shift) {
    if (shift == 4) Up<4>(s, d, n, 1);
    else Up<0>(s, d, n, 1);
}

void ShiftFirstOfThreeTo8(const uint16_t* s, uint8_t* d, int64_t n, int shift) {
    if (shift == 4) Down<4>(s, d, n, 3);
    else Down<8>(s, d, n, 3);
}

void ShiftFirstOfThreeTo16(const uint16_t* s, uint16_t* d, int64_t n, int shift) {
    if (shift == 4) Up<4>(s, d, n, 3);
    else Up<0>(s, d, n, 3);
}

} // namespace NimbalCore
