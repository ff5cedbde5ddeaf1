#pragma once
// Reduced-size output of monochrome sensors: every (2 x step)-th sample of every
// (2 x step)-th row into one grey plane, handed back as all three planes.
#include "HalfSizeDemosaicer.h"

namespace lumora {

class MonoSubsampler : public HalfSizeDemosaicer {
public:
    uint16_t Run(int16_t** planeG, int16_t** planeEven, int16_t** planeOdd) override;
};

} // namespace lumora
