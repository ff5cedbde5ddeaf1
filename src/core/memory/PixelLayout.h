#pragma once
/* Pixels as the colour engine converts them, and the plane record of a strip
 * buffer as the renderer, the image kinds, the sharpen library and the scaler
 * pass it. Plain C records (a C program may include this header): sixteen
 * 32-bit words where the addresses are 32-bit, native pointers here. */
#include <stdint.h>

/* The plane record is the sharpen library's own. */
#include "VrelSharpen.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Sample types of a PixelLayout. */
enum { PixelSample8 = 1, PixelSample12in16 = 4, PixelSample16 = 5 };

typedef struct PixelLayout {
    int32_t sampleType;   /* PixelSample8, PixelSample12in16 or PixelSample16 */
    int32_t columns;
    int32_t rows;
    int32_t columnOffset; /* bytes from one pixel to the next along a row */
    int32_t rowOffset;    /* bytes from one row to the next */
    int32_t channels;
    void* base[3];        /* first sample of channels 0, 1 and 2 */
    int32_t reserved[7];
} PixelLayout;

#ifdef __cplusplus
}
#endif
