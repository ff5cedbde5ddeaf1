#pragma once
#include "FixedMatrix.h"

// Full product of the matrix on three samples.
class MatrixApplier : public FixedMatrix {
public:
    MatrixApplier(VqStatus* status, const RationalValue* nine, int32_t rows, int32_t cols, int32_t maximum,
                  int32_t minimum);

    virtual VqStatus ApplyPixel(int32_t a, int32_t b, int32_t c, int32_t* x, int32_t* y, int32_t* z) const {
        const int32_t* m = coefficients;
        for (int k = 0; k < 3; ++k) {
            const int64_t sum = int64_t(m[3 * k]) * a + int64_t(m[3 * k + 1]) * b + int64_t(m[3 * k + 2]) * c + half;
            const int32_t v = Clamp(sum >> shift);
            (k == 0 ? *x : k == 1 ? *y : *z) = v;
        }
        return 0;
    }
};
