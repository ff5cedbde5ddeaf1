#pragma once
// Base of the demosaicers: turns one strip of colour-filter samples (with three
// context rows above and below) into green, even-row colour and odd-row colour
// planes. Setters a class does not use answer VQ_ERR_NOT_IMPLEMENTED.
#include <cstdint>

namespace lumora {

class Demosaicer {
public:
    Demosaicer();
    virtual ~Demosaicer();
    Demosaicer(const Demosaicer&) = delete;
    Demosaicer& operator=(const Demosaicer&) = delete;

    virtual uint16_t SetStep(int step);
    virtual uint16_t SetMode(int mode);
    virtual uint16_t SetUnused(int value);
    virtual uint16_t SetHorizontalThreshold(int value);
    virtual uint16_t SetVerticalThreshold(int value);
    virtual uint16_t SetThreshold(int value);
    virtual uint16_t Run(int16_t** planeG, int16_t** planeEven, int16_t** planeOdd) = 0;
    virtual uint16_t GetPassThroughPlanes(int16_t** planeG, int16_t** planeEven, int16_t** planeOdd);

    uint16_t Setup(int16_t* contextAbove, int16_t* strip, int16_t* contextBelow, int16_t* planeG,
                   int16_t* planeEven, int16_t* planeOdd, int16_t rows, int16_t width, int32_t passThrough);

protected:
    int32_t passThrough_ = 0;
    int16_t* contextAbove_ = nullptr;
    int16_t* strip_ = nullptr;
    int16_t* contextBelow_ = nullptr;
    int16_t* planeG_ = nullptr;
    int16_t* planeEven_ = nullptr;
    int16_t* planeOdd_ = nullptr;
    int16_t rows_ = 0;
    int16_t width_ = 0;
    int32_t parameter_ = 0;   // step of the sub-sampling classes, mode of the adaptive ones
};

} // namespace lumora
