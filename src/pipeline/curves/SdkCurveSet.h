#pragma once
// Per-speed curve sets stored in the newer raw files: a count, one film-speed code
// per set, then a 15-word record per set holding a two-knot red, green and blue
// curve. wordCount is the number of 16-bit words the caller actually holds.
#include <cstddef>
#include <cstdint>

#include "VqStatus.h"

namespace lumora {

// The speed a film-speed code stands for, or 0 for an unknown code.
uint32_t SdkFilmSpeedForCode(int32_t code);

// Chooses the set whose speed is nearest to speed (a tie takes the faster one).
bool SdkFindCurveSet(const int16_t* table, uint32_t speed, int32_t* setIndex, uint16_t* code,
                     size_t wordCount);

// Builds the three tables of the set chosen for speed; the caller owns them
// (delete[]). On failure the three are null.
VqStatus SdkBuildCurveSetLuts(uint16_t speed, uint16_t** red, uint16_t** green, uint16_t** blue,
                              int32_t* length, const int16_t* table, size_t wordCount);

} // namespace lumora
