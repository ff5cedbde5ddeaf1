#ifndef LUMORA_CURVE_STATE_H
#define LUMORA_CURVE_STATE_H
/* The family-2 image's curve record (48 bytes), shared with its engine through
 * RP_CURVE_STATE: the tone levels, the sampled neutral and the flags that tell
 * the engine which of its tables must be rebuilt. */
#include <stdint.h>

typedef struct CurveState {
    int32_t sampledLevel; /* middle level when the balance was sampled (type 5) */
    int32_t neutralA;     /* colour differences of the sampled neutral */
    int32_t neutralB;
    uint16_t blackLevel;
    uint16_t midLevel; /* also the reference level of the white balance */
    uint16_t whiteLevel;
    uint16_t imageLevels[4];
    uint16_t padding;
    int32_t toneStale;
    int32_t curvesStale;
    int32_t thumbCurvesStale;
    int32_t imageFlags[2];
} CurveState;

#endif
