#pragma once
/* The rectangle of the sharpen library's interface and of the image kinds'
 * strip requests; bottom and right are outside it. A plain C record. */
#include <stdint.h>

typedef struct FilterRect {
    int32_t top;
    int32_t left;
    int32_t bottom;
    int32_t right;
} FilterRect;
