#include "MatrixApplier.h"

#include <cstring>

MatrixApplier::MatrixApplier(VqStatus* status, const RationalValue* nine, int32_t r, int32_t c, int32_t max,
                             int32_t min) {
    if (!nine) {
        if (status) *status = VQ_ERR_BAD_HANDLE;
        return;
    }
    RationalValue copy[9];
    std::memcpy(copy, nine, sizeof copy);
    InitFromRationals(status, copy, r, c, max, min);
}
