#pragma once
// Scalar references of the full-resolution demosaicers: one sample at a time,
// written for clarity. The fast classes must match them bit for bit.
#include <cstdint>
#include <vector>

namespace lumora::reference {

uint16_t AdaptiveInterpolate(const int16_t* contextAbove, const int16_t* strip, const int16_t* contextBelow,
                             int16_t* planeG, int16_t* planeEven, int16_t* planeOdd, int rows, int width,
                             int mode);

uint16_t ThresholdInterpolate(const int16_t* contextAbove, const int16_t* strip, const int16_t* contextBelow,
                              int16_t* planeG, int16_t* planeEven, int16_t* planeOdd, int rows, int width,
                              int mode, int32_t threshold);

// columnTerms carries the running vertical terms from call to call, as the
// demosaicer object does.
uint16_t DirectionMapInterpolate(const int16_t* contextAbove, const int16_t* strip,
                                 const int16_t* contextBelow, int16_t* planeG, int16_t* planeEven,
                                 int16_t* planeOdd, int rows, int width, int mode, int32_t thresholdH,
                                 int32_t thresholdV, std::vector<int32_t>& columnTerms);

} // namespace lumora::reference
