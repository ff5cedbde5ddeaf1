#include "Demosaicer.h"

#include "VqStatus.h"

namespace lumora {

Demosaicer::Demosaicer() { Setup(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0, 0); }
Demosaicer::~Demosaicer() = default;

uint16_t Demosaicer::SetStep(int) { return VQ_ERR_NOT_IMPLEMENTED; }
uint16_t Demosaicer::SetMode(int) { return VQ_ERR_NOT_IMPLEMENTED; }
uint16_t Demosaicer::SetUnused(int) { return VQ_ERR_NOT_IMPLEMENTED; }
uint16_t Demosaicer::SetHorizontalThreshold(int) { return VQ_ERR_NOT_IMPLEMENTED; }
uint16_t Demosaicer::SetVerticalThreshold(int) { return VQ_ERR_NOT_IMPLEMENTED; }
uint16_t Demosaicer::SetThreshold(int) { return VQ_ERR_NOT_IMPLEMENTED; }

uint16_t Demosaicer::GetPassThroughPlanes(int16_t** planeG, int16_t** planeEven, int16_t** planeOdd) {
    if (planeG) *planeG = strip_;
    if (planeEven) *planeEven = strip_;
    if (planeOdd) *planeOdd = strip_;
    return 0;
}

uint16_t Demosaicer::Setup(int16_t* contextAbove, int16_t* strip, int16_t* contextBelow, int16_t* planeG,
                           int16_t* planeEven, int16_t* planeOdd, int16_t rows, int16_t width,
                           int32_t passThrough) {
    contextAbove_ = contextAbove;
    strip_ = strip;
    contextBelow_ = contextBelow;
    planeG_ = planeG;
    planeEven_ = planeEven;
    planeOdd_ = planeOdd;
    rows_ = rows;
    width_ = width;
    passThrough_ = passThrough;
    return 0;
}

} // namespace lumora
