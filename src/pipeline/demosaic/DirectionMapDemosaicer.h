#pragma once
// Adaptive demosaicing whose green step weighs running colour-difference terms
// (one along the row, one per column carried from strip to strip) against
// separate horizontal and vertical thresholds.
#include "AdaptiveDemosaicer.h"

namespace lumora {

class DirectionMapDemosaicer : public AdaptiveDemosaicer {
public:
    DirectionMapDemosaicer();
    ~DirectionMapDemosaicer() override;
    uint16_t SetHorizontalThreshold(int value) override;
    uint16_t SetVerticalThreshold(int value) override;
    uint16_t Interpolate(const int16_t* contextAbove, const int16_t* strip, const int16_t* contextBelow,
                         int16_t* planeG, int16_t* planeEven, int16_t* planeOdd, int16_t** outG,
                         int16_t** outEven, int16_t** outOdd, int rows, int width, int mode) override;

private:
    uint16_t GreenRule(const int16_t* contextAbove, const int16_t* strip, const int16_t* contextBelow,
                       int16_t* planeG, int rowsPlus2, int width);

    int32_t flatCount_ = 2;
    int32_t thresholdH_ = 0;
    int32_t thresholdV_ = 0;
    int32_t* columnTerms_ = nullptr;
    int16_t columnCapacity_ = 0;
    int16_t mapPhase_ = 0;
    uint8_t* flatMap_ = nullptr;
    int32_t flatMapBytes_ = 0;
    // Per-row work rows of the fast green step, sized with the widest strip seen.
    int32_t* scratch_ = nullptr;
    int32_t scratchWidth_ = 0;
};

} // namespace lumora
