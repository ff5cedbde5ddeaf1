#pragma once
#include "FixedMatrix.h"

// Applies a matrix whose rows each sum to the denominator to samples held as
// (red - green, green, blue - green): the green column drops out, so two products
// per channel suffice. Rounds to nearest with halves away from zero.
class DifferenceApplier : public FixedMatrix {
public:
    DifferenceApplier(VqStatus* status, const RationalValue* nine, int32_t rows, int32_t cols, int32_t maximum,
                      int32_t minimum);

    virtual VqStatus ApplyPixel(int32_t a, int32_t b, int32_t c, int32_t* x, int32_t* y, int32_t* z) const {
        const int32_t* m = coefficients;
        for (int k = 0; k < 3; ++k) {
            const int64_t t = int64_t(m[3 * k]) * a + int64_t(m[3 * k + 2]) * c;
            const int64_t r = t >= 0 ? (t + half) >> shift : -((half - t) >> shift);
            (k == 0 ? *x : k == 1 ? *y : *z) = Clamp(b + r);
        }
        return 0;
    }
};
