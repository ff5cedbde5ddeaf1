/* Camera records of the Vq camera interface and the camera calls.
 * Plain C, fixed-width fields in their fixed order. Paths use '/'. */
#ifndef LUMORA_VQ_CAMERA_H
#define LUMORA_VQ_CAMERA_H

#include <stdint.h>
#include "VqStatus.h"
#include "VqImage.h"

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

VqStatus VqOpenImage(CameraRecord* camera, int32_t index, const char* name, ImageInfoRecord* info);
VqStatus VqOpenImageFile(const char* path, ImageInfoRecord* info);
VqStatus VqCloseImage(ImageInfoRecord* info);
VqStatus VqRenameImage(CameraRecord* camera, ImageInfoRecord* info, int32_t index, const char* name,
                       const char* newName, uint32_t flag);

VqStatus VqPollImages(CameraRecord* camera, VqPollRecord* poll);
VqStatus VqFormatCameraDisk(CameraRecord* camera);
VqStatus VqFormatCameraDiskWithProgressCB(CameraRecord* camera, void* progress);
VqStatus VqRecoverCameraDisk(CameraRecord* camera);
VqStatus VqCaptureImage(CameraRecord* camera);
VqStatus VqDeleteImage(CameraRecord* camera, int32_t index, const char* name);
VqStatus VqCopyImageToFolder(CameraRecord* camera, int32_t index, const VqPathRecord* destination,
                             const char* newName, int32_t overwrite);
VqStatus VqCopyImageToFolderWithProgressCB(CameraRecord* camera, int32_t index, const VqPathRecord* destination,
                                           const char* newName, int32_t overwrite, void* progress);
VqStatus VqGetDirEntries(CameraRecord* camera, ...);
VqStatus VqGetWorkingDir(CameraRecord* camera, ...);
VqStatus VqSetWorkingDir(CameraRecord* camera, ...);
VqStatus VqLoadFirmware(CameraRecord* camera, VqPathRecord path, uint32_t word);
VqStatus VqLoadImageFile(CameraRecord* camera, VqPathRecord path, uint32_t word);
VqStatus VqBackUpFileToFolder(CameraRecord* camera, uint32_t word, VqPathRecord path);
VqStatus VqGetImageName(CameraRecord* camera, int32_t index, char* out);
VqStatus VqGetPropertyList(CameraRecord* camera, void* a, void* b);
VqStatus VqGetProperty(CameraRecord* camera, uint32_t property, void* a, void* b);
VqStatus VqSetProperty(CameraRecord* camera, uint32_t property, void* a, void* b);
VqStatus VqFindFirstProperty(CameraRecord* camera, void* out);
VqStatus VqFindNextProperty(CameraRecord* camera, void* out);
VqStatus VqGetPropertyStructByName(CameraRecord* camera, void* record);
VqStatus VqGetFolderList(CameraRecord* camera, void* a, void* b, void* c);
VqStatus VqFindFirstFolder(CameraRecord* camera, void* a, void* b);
VqStatus VqFindNextFolder(CameraRecord* camera, void* a);
VqStatus VqModifyFolder(CameraRecord* camera, uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4, uint32_t w5,
                        uint32_t w6);

#ifdef __cplusplus
}
#endif

#endif
