#pragma once
// Shading correction before demosaicing: every colour sample is multiplied by
// a gain that depends on its sensor position. The stage works on a colour-
// filter-array strip, a single plane, or sub-sampled planes, in place or from
// one buffer to another. Planes are dense: `width` samples per row for the
// full-resolution operations; for the sub-sampled ones one sample for each
// x = x0, x0 + step, … below x0 + width, row after row for y = y0, y0 + step, …
// below y0 + rowExtent.
#include "VqStatus.h"

#include <array>
#include <cstdint>

namespace lumora {

class ShadingStage {
public:
    enum Mode : int32_t { CfaStrip = 0, SinglePlane = 1, CopyOnly = 2 };

    virtual ~ShadingStage() = default;

    // Constants that callers may query; nothing in the system relies on them.
    virtual uint16_t InterfaceVersion() const { return 1; }
    virtual uint16_t SampleBits() const { return 12; }

    // folder: a path text of at most VQ_PATH_BYTES characters.
    virtual VqStatus SetCalibrationSource(const char* folder, const char* model, uint16_t width, uint16_t maximum);
    // Coefficients x2, x1, y2, y1, c0 of the even-row colour, then of the odd-row colour.
    virtual VqStatus SetPolynomial(const std::array<int32_t, 10>& coefficients, uint16_t width, uint16_t maximum);
    virtual VqStatus SetWidth(uint16_t width);
    virtual VqStatus SetMode(int32_t mode);
    // The calibration file name with its terminating zero into text (capacity
    // bytes), its length into length; nothing is copied when it does not fit.
    virtual VqStatus GetFileName(int32_t* length, char* text, uint32_t capacity);
    virtual VqStatus CheckSource();

    VqStatus Apply(int32_t x0, int32_t y0, const uint16_t* source, uint16_t* destination, int32_t rows);
    VqStatus CopyThrough(int32_t x0, int32_t y0, const uint16_t* source, uint16_t* destination, int32_t rows);
    virtual VqStatus ApplyPlane(int32_t x0, int32_t y0, const uint16_t* source, uint16_t* destination,
                                int32_t rows) = 0;
    virtual VqStatus ApplyCfa(int32_t x0, int32_t y0, const uint16_t* source, uint16_t* destination,
                              int32_t rows) = 0;
    virtual VqStatus ApplyPlaneSubsampled(const uint16_t* source, uint16_t* destination, int32_t x0, int32_t y0,
                                          int32_t rowExtent, int32_t step) = 0;
    // Sub-sampled planes of the even-row colour, green and the odd-row colour.
    virtual VqStatus ApplyThreePlanes(const uint16_t* source1, const uint16_t* source2, const uint16_t* source3,
                                      uint16_t* destination1, uint16_t* destination2, uint16_t* destination3,
                                      int32_t x0, int32_t y0, int32_t rowExtent, int32_t step) = 0;

    int32_t mode() const { return mode_; }
    uint16_t width() const { return width_; }
    uint16_t maximum() const { return maximum_; }

protected:
    int32_t mode_ = CfaStrip;
    uint16_t width_ = 0;
    uint16_t maximum_ = 0;
};

} // namespace lumora
