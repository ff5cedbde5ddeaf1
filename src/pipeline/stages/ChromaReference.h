#pragma once
// Scalar reference of the chroma filter, written from the definitions: windows,
// weighted sums and rays sample by sample. The fast filter must match it bit for bit.
#include <cstdint>

#include "ChromaSettings.h"

namespace lumora::reference {

uint32_t ChromaFilter(int16_t* plane0, int16_t* plane1, int16_t* plane2, int width, int height,
                      const ChromaSettings& settings);

} // namespace lumora::reference
