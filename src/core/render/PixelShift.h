#pragma once
// The shift copies of 16-bit samples into 8- or 16-bit ones, one contiguous
// run at a time, written as plain loops with constant shifts so that the
// compiler turns them into vector code (this file is built with -O3).
#include <cstdint>

namespace NimbalCore {

// d[j] := s[j] >> shift (shift 8 or 4).
void ShiftSamplesTo8(const uint16_t* s, uint8_t* d, int64_t n, int shift);
// d[j] := s[j] << shift (shift 0 or 4).
void ShiftSamplesTo16(const uint16_t* s, uint16_t* d, int64_t n, int shift);
// The first of every three samples: d[j] := s[3 j] >> shift, or << shift.
void ShiftFirstOfThreeTo8(const uint16_t* s, uint8_t* d, int64_t n, int shift);
void ShiftFirstOfThreeTo16(const uint16_t* s, uint16_t* d, int64_t n, int shift);

} // namespace NimbalCore
