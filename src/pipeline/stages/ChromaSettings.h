#pragma once
// Settings of the chroma filter, kept by the image object; six 32-bit words.
#include <cstdint>

namespace lumora {

struct ChromaSettings {
    int32_t sensitivity;    // activity scale: 64 neutral, 0 switches the averaging off
    int32_t layout;         // 1 selects the second pair of colour transforms
    int32_t level;          // 0 ... 100; the filter works from 99 up
    int32_t unused;
    int32_t renderSwitch;   // set by the engine: colour file rendered at full size
    int32_t fileSwitch;     // set by the image class
};

} // namespace lumora
