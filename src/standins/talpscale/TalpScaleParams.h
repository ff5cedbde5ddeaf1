/* What a host hands the scale plug-in's set-up (set-up block version 2,
 * parameter version 4). Plain C. */
#ifndef TALPSCALEPARAMS_H
#define TALPSCALEPARAMS_H

#include <stdint.h>

#define TALPSCALE_SETUP_VERSION 2
#define TALPSCALE_PARAM_VERSION 4

typedef struct TalpScaleParams {
    int32_t numerator;   /* scale = numerator / denominator, both > 0 */
    int32_t denominator;
    uint32_t colorTag;   /* '3CLR' or 'GRAY', first character in the most significant byte */
    int32_t channel;     /* 0 for three channels, -1 for one; every channel is resampled */
} TalpScaleParams;

#endif
