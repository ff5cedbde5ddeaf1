#include "DifferenceApplier.h"

DifferenceApplier::DifferenceApplier(VqStatus* status, const RationalValue* nine, int32_t r, int32_t c, int32_t max,
                                     int32_t min) {
    InitFromRationals(status, nine, r, c, max, min);
}
