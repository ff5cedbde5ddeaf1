/* Camera records of the Vq camera interface and the camera calls.
 * Plain C, fixed-width fields in their fixed order. Paths use '/'. */
#ifndef LUMORA_VQ_CAMERA_H
#define LUMORA_VQ_CAMERA_H

#include <stdint.h>
#include "VqStatus.h"
#include "VqImage.h"

#ifndef VQ_API
#if defined(__GNUC__)
#define VQ_API __attribute__((visibility("default")))
#else
#define VQ_API
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define VQ_CAMERA_TYPE_RENAMABLE 4u
#define VQ_CAMERA_KIND_FOLDER    2
#define VQ_CAMERA_KIND_FILE      3

/* Names a camera; the camera keeps its own copy. */
typedef struct CameraRecord {
    uint32_t cameraType;
    uint8_t unused1[160];
    int32_t cameraKind;
    char folder[260];
    uint8_t unused2[48];
    int32_t cameraId;
} CameraRecord;

/* What VqPollImages reports about a folder camera's list. */
typedef struct VqPollRecord {
    int32_t imageCount;
    int32_t unused1[5];
    int32_t changed;
    int32_t unused2[3];
} VqPollRecord;



#ifdef __cplusplus
}
#endif

#endif
