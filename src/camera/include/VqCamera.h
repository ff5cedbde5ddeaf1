/* Camera records of the Vq camera interface and the camera calls.
 * Plain C, fixed-width fields in their fixed order. Paths use '/'. */
#ifndef LUMORA_VQ_CAMERA_H
#define LUMORA_VQ_CAMERA_H

#include <stdint.h>
#include "VqApi.h"
#include "VqStatus.h"
#include "VqImage.h"

VQ_BEGIN_DECLS

#define VQ_CAMERA_TYPE_RENAMABLE 4u
#define VQ_CAMERA_KIND_FOLDER    2
#define VQ_CAMERA_KIND_FILE      3

/* Names a camera; the camera keeps its own copy. */
typedef struct CameraRecord {
    uint32_t cameraType;
    uint8_t unused1[160];
    int32_t cameraKind;
    char folder[VQ_PATH_BYTES];
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

VQ_API VqStatus VqOpenImage(CameraRecord* camera, int32_t index, const char* name, ImageInfoRecord* info);
VQ_API VqStatus VqOpenImageFile(const char* path, ImageInfoRecord* info);
VQ_API VqStatus VqCloseImage(ImageInfoRecord* info);
VQ_API VqStatus VqRenameImage(CameraRecord* camera, ImageInfoRecord* info, int32_t index, const char* name,
                       const char* newName, uint32_t flag);

VQ_API VqStatus VqPollImages(CameraRecord* camera, VqPollRecord* poll);
VQ_API VqStatus VqFormatCameraDisk(CameraRecord* camera);
VQ_API VqStatus VqFormatCameraDiskWithProgressCB(CameraRecord* camera, void* progress);
VQ_API VqStatus VqRecoverCameraDisk(CameraRecord* camera);
VQ_API VqStatus VqCaptureImage(CameraRecord* camera);
VQ_API VqStatus VqDeleteImage(CameraRecord* camera, int32_t index, const char* name);
VQ_API VqStatus VqCopyImageToFolder(CameraRecord* camera, int32_t index, const VqPathRecord* destination,
                             const char* newName, int32_t overwrite);
VQ_API VqStatus VqCopyImageToFolderWithProgressCB(CameraRecord* camera, int32_t index, const VqPathRecord* destination,
                                           const char* newName, int32_t overwrite, void* progress);
VQ_API VqStatus VqGetDirEntries(CameraRecord* camera, ...);
VQ_API VqStatus VqGetWorkingDir(CameraRecord* camera, ...);
VQ_API VqStatus VqSetWorkingDir(CameraRecord* camera, ...);
VQ_API VqStatus VqLoadFirmware(CameraRecord* camera, VqPathRecord path, uint32_t word);
VQ_API VqStatus VqLoadImageFile(CameraRecord* camera, VqPathRecord path, uint32_t word);
VQ_API VqStatus VqBackUpFileToFolder(CameraRecord* camera, uint32_t word, VqPathRecord path);
VQ_API VqStatus VqGetImageName(CameraRecord* camera, int32_t index, char* out);
VQ_API VqStatus VqGetPropertyList(CameraRecord* camera, void* a, void* b);
VQ_API VqStatus VqGetProperty(CameraRecord* camera, uint32_t property, void* a, void* b);
VQ_API VqStatus VqSetProperty(CameraRecord* camera, uint32_t property, void* a, void* b);
VQ_API VqStatus VqFindFirstProperty(CameraRecord* camera, void* out);
VQ_API VqStatus VqFindNextProperty(CameraRecord* camera, void* out);
VQ_API VqStatus VqGetPropertyStructByName(CameraRecord* camera, void* record);
VQ_API VqStatus VqGetFolderList(CameraRecord* camera, void* a, void* b, void* c);
VQ_API VqStatus VqFindFirstFolder(CameraRecord* camera, void* a, void* b);
VQ_API VqStatus VqFindNextFolder(CameraRecord* camera, void* a);
VQ_API VqStatus VqModifyFolder(CameraRecord* camera, uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4, uint32_t w5,
                        uint32_t w6);

VQ_END_DECLS

#endif
