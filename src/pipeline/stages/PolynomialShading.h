#pragma once
// Shading by two quadratic polynomials in x and y, one per non-green colour;
// green samples are only limited to the maximum.
#include "ShadingStage.h"

namespace lumora {

class PolynomialShading : public ShadingStage {
public:
    VqStatus SetPolynomial(const std::array<int32_t, 10>& coefficients, uint16_t width, uint16_t maximum) override;
    VqStatus GetFileName(int32_t* length, char* text, uint32_t capacity) override;

    // Monochrome planes are not corrected: these answer 0 and touch nothing.
    VqStatus ApplyPlane(int32_t x0, int32_t y0, const uint16_t* source, uint16_t* destination, int32_t rows) override;
    VqStatus ApplyPlaneSubsampled(const uint16_t* source, uint16_t* destination, int32_t x0, int32_t y0,
                                  int32_t rowExtent, int32_t step) override;

    VqStatus ApplyCfa(int32_t x0, int32_t y0, const uint16_t* source, uint16_t* destination, int32_t rows) override;
    VqStatus ApplyThreePlanes(const uint16_t* source1, const uint16_t* source2, const uint16_t* source3,
                              uint16_t* destination1, uint16_t* destination2, uint16_t* destination3, int32_t x0,
                              int32_t y0, int32_t rowExtent, int32_t step) override;

    // Sample value after the gain of channel 1 (even-row colour) or 2 at (x, y):
    // the plain evaluation, exact for any coefficients and positions. ApplyCfa
    // uses 64-bit arithmetic when the coefficients and positions allow it.
    uint16_t correct(int channel, int64_t x, int64_t y, uint16_t value) const;
    const std::array<int32_t, 10>& coefficients() const { return c_; }

private:
    // True when every intermediate of both channels fits 64 bits over the box.
    bool fitsInt64(int64_t xlo, int64_t xhi, int64_t ylo, int64_t yhi) const;
    std::array<int32_t, 10> c_{};
};

} // namespace lumora
