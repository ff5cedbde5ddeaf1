/* SdkRect: a rectangle of the Vq camera interface (x, y, width, height). */
#ifndef LUMORA_VQ_RECT_H
#define LUMORA_VQ_RECT_H

#include <stdint.h>

typedef struct SdkRect {
    int16_t x;
    int16_t y;
    int16_t width;
    int16_t height;
} SdkRect;

#endif /* LUMORA_VQ_RECT_H */
