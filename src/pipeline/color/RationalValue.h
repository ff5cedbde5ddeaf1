#ifndef LUMORA_RATIONAL_VALUE_H
#define LUMORA_RATIONAL_VALUE_H
/* A rational as raw files and renderer parameters store it; nine of them row by
 * row make a 3 x 3 colour matrix. */
#include <stdint.h>

typedef struct RationalValue {
    int32_t numerator;
    int32_t denominator;
} RationalValue;

#endif
