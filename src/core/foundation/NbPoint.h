#pragma once
#include <cstdint>

namespace NimbalCore {

// A point of an image or a view, in whole pixels.
struct NbPoint {
    int32_t x = 0;
    int32_t y = 0;
};

} // namespace NimbalCore
