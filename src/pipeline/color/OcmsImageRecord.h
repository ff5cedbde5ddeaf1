#pragma once
// An image's colour-management record: the mode and profile slots set through the
// VqOCMS calls, read by the colour-management session and the colour-transform
// stage. The renderer receives its address as a parameter.
#include "RationalValue.h"

#include <cstdint>

struct OcmsImageRecord {
    uint32_t mode = 1;         // 0 or 1: built-in matrices; 2, 3: profile chains; 4: source profile alone
    uint32_t lastStatus = 0;   // last status of the colour-management library for this image
    void* info = nullptr;      // the image's info block
    uint32_t slots[8] = {};    // entry handles of the session
    uint32_t sampleLayout = 0; // how the planes hold their samples: 0 plain 16-bit, 1 or 3 12-bit, 2 unsupported
    uint32_t colourSpace = 0;  // FourCC of the current output type
    uint32_t channels = 0;     // output channels of the current profile
    RationalValue preMatrix[9] = {}; // applied before the library's transform when all denominators are set
};
