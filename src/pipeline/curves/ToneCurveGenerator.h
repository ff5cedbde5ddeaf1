#pragma once
// Tone curves: a curve through four knots drawn in the log-log plane (a toe that
// bends into a straight line and a shoulder that leaves it), or a fixed film-like
// response of one of three kinds.
#include <cstdint>

#include "TableBase.h"

namespace lumora {

class ToneCurveGenerator : public TableBase {
public:
    // A knot word holds x in its low 16 bits and y in its high 16 bits, signed.
    static constexpr int32_t Knot(int16_t x, int16_t y) {
        return int32_t(uint32_t(uint16_t(x)) | (uint32_t(uint16_t(y)) << 16));
    }

    VqStatus Generate() override;

    // Fills count entries; the curve itself has min(limit, curve size) entries,
    // answered in outLength, and the rest are 4095.
    virtual VqStatus GenerateFilmCurve(int32_t kind, uint16_t* entries, int32_t count,
                                       int32_t limit, int32_t* outLength);
    virtual VqStatus SetKnots6AndGenerate(uint16_t* entries, int32_t knot0, int32_t knot1,
                                          int32_t spare, int32_t knot2, int32_t knot3);
    virtual VqStatus SetKnots7AndGenerate(uint16_t* entries, int32_t length, int32_t fill,
                                          int32_t knot0, int32_t knot1, int32_t spare,
                                          int32_t knot2, int32_t knot3);
    virtual VqStatus SetKnots5(int32_t knot0, int32_t knot1, int32_t spare, int32_t knot2,
                               int32_t knot3);
    virtual VqStatus SetKnots6(uint16_t* entries, int32_t knot0, int32_t knot1, int32_t spare,
                               int32_t knot2, int32_t knot3);
    virtual VqStatus SetKnots7(uint16_t* entries, int32_t length, int32_t fill, int32_t knot0,
                               int32_t knot1, int32_t spare, int32_t knot2, int32_t knot3);

    static VqStatus BuildLogCurve(uint16_t* entries, int32_t length, int32_t fill, int32_t knot0,
                                  int32_t knot1, int32_t spare, int32_t knot2, int32_t knot3);
    static VqStatus BuildFilmCurve(int32_t kind, uint16_t* entries, int32_t count, int32_t limit,
                                   int32_t* outLength);

    double logX0 = 0, logX1 = 0, logX2 = 0, logX3 = 0;
    double logY0 = 0, logY1 = 0, logY2 = 0, logY3 = 0;
    int32_t knot0 = 0, knot1 = 0, spareKnot = 0, knot2 = 0, knot3 = 0;
};

} // namespace lumora
