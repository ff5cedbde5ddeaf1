#pragma once
// The eleven processing modes of the family-2 drivers, in their order.
#include <cstdint>

namespace lumora {

struct F2ProcessingModes {
    int32_t outMode = 2;
    int32_t demosaicPassThrough = 0;
    int32_t demosaicMode = 0;
    int32_t curveMode = 0;
    int32_t cfaMode = 0;
    int32_t transformMode = 2;
    int32_t transformFlag = 1;
    int32_t finalMode = 2;
    int32_t shiftMode = 1;
    int32_t unpackMode = 2;
    int32_t tableMode = 1;
};

} // namespace lumora
