/* Caller records of VqGetImage: where the pixels go, strip by strip, and who
 * hears about progress. (VqGetThumbnail writes at a plain destination.) Native
 * pointers; fixed-width integers. */
#ifndef LUMORA_VQ_IMAGE_BUFFER_H
#define LUMORA_VQ_IMAGE_BUFFER_H

#include <stdint.h>
#include "VqApi.h"

VQ_BEGIN_DECLS

/* Called after each strip with the buffer just filled and the bytes written into
 * it; answers the buffer for the next strip. A null answer stops the rendering. */
typedef void* (*VqStripCallback)(void* buffer, uint32_t byteCount, int32_t userValue);

/* state: 0 start, 1 step, 2 final step; percent 0..100 in the low 16 bits;
 * reserved is always 0. Answer non-zero to go on, 0 to cancel. */
typedef int32_t (*VqProgressCallback)(int32_t state, int32_t percent, int32_t reserved,
                                      int32_t userValue);

typedef struct ImageBufferRecord {
    void* buffer;                  /* receives the first strip */
    uint32_t bufferBytes;          /* one strip never needs more than this */
    int32_t userValue;             /* handed to stripCallback */
    VqStripCallback stripCallback; /* may be null: every strip goes to buffer */
} ImageBufferRecord;

typedef struct ProgressRecord {
    VqProgressCallback callback;
    int32_t userValue;
} ProgressRecord;

VQ_END_DECLS

#endif /* LUMORA_VQ_IMAGE_BUFFER_H */
