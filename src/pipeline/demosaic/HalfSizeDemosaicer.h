#pragma once
// Reduced-size demosaicing: one green, one even-row and one odd-row sample from
// every step-th 2x2 cell of the strip.
#include "Demosaicer.h"

namespace lumora {

class HalfSizeDemosaicer : public Demosaicer {
public:
    HalfSizeDemosaicer();
    uint16_t SetStep(int step) override;
    uint16_t Run(int16_t** planeG, int16_t** planeEven, int16_t** planeOdd) override;
};

} // namespace lumora
