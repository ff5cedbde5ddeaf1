#pragma once
// Adaptive demosaicing whose green step tells flat sites from edges by one
// threshold and re-smooths measured greens surrounded by flat sites.
#include "AdaptiveDemosaicer.h"

namespace lumora {

class ThresholdDemosaicer : public AdaptiveDemosaicer {
public:
    uint16_t SetThreshold(int value) override;
    uint16_t InterpolateGreen(const int16_t* contextAbove, const int16_t* strip, const int16_t* contextBelow,
                              int16_t* planeG, int rowsPlus2, int width) override;

private:
    int32_t threshold_ = 0;
};

} // namespace lumora
