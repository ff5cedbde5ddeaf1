#pragma once
// Stage modes of the raw engine for one output type, in the order the engine
// answers them. A table-stage mode of 2 switches the stage off.
#include <cstdint>

namespace lumora {

struct ProcessingModes {
    int32_t outMode = 2;
    int32_t demosaicPassThrough = 0; // non-zero: the strip goes on uninterpolated
    int32_t demosaicMode = 0;        // 1: plain colours, 0: colour differences
    int32_t unpackMode = 0;          // linearisation table and precision shift
    int32_t transformMode = 2;       // ColorTransformStage::Mode
    int32_t transformFlag = 1;       // the transform's `subsampled` field
    int32_t balanceMode = 0;
    int32_t offsetMode = 0;
    int32_t gainMapMode = 0;
    int32_t linearMode = 2;
};

} // namespace lumora
