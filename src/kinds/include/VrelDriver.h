/* The calling contract of the model driver libraries: the plain functions
 * every driver exports under the "Vrel" prefix, the table the binder fills
 * from them, the driver rectangle and the attribute type codes. Shared by the
 * binder and by our own drivers. Plain C.
 *
 * Every entry answers an int32 status, 0 for success. Contexts, IO references
 * and image references are 32-bit ids owned by the driver (0 = none). The file
 * handle is a POSIX descriptor that the caller opened and closes after freeing
 * the references made on it. */
#ifndef VRELDRIVER_H
#define VRELDRIVER_H

#include <stdint.h>

/* The plane record of a strip buffer (native pointers). */
#include "VrelSharpen.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VREL_EXPORT __attribute__((visibility("default")))

/* Rows firstRow..endRow-1, columns firstColumn..endColumn-1. */
typedef struct DriverRect {
    int32_t firstRow;
    int32_t firstColumn;
    int32_t endRow;
    int32_t endColumn;
} DriverRect;

/* Attribute type codes. Values are delivered in 32-bit slots (16-bit
 * quantities in the low half); a text or a byte block counts bytes, a
 * DriverRect counts one per rectangle (four slots). */
enum {
    VrelTypeFlag = 1,         /* 0 or 1 */
    VrelTypeInt = 2,
    VrelTypeText = 3,
    VrelTypeBlock = 5,        /* count = bytes */
    VrelTypeIntTriple = 8,
    VrelTypeShortTriple = 9,
    VrelTypeFloat = 10,
    VrelTypeInt32 = 15,
    VrelTypeUShortTriple = 17,
    VrelTypeRect = 18,
    VrelTypeFloatTriple = 19
};

/* Statuses the callers tell apart. */
enum {
    VrelOK = 0,
    VrelErrInitRefused = 101,
    VrelErrNoMemory = 102,
    VrelInitAlreadyDone = 108,
    VrelErrNotSupported = 400,
    VrelErrSaturated = 514,
    VrelErrTooDark = 515,
    VrelErrCancelled = 527
};

/* Rectangle kinds (levels) of GetImageRectangle. */
enum { VrelLevelFull = 0, VrelLevelReduced = 1, VrelLevelThumbnail = 2 };

/* Progress of GetImageRectangle: (user value, total, done); non-zero asks the
 * driver to stop. */
typedef int32_t (*VrelProgressProc)(void* user, int32_t total, int32_t done);

typedef int32_t (*VrelInitializeProc)(int32_t reserved, int32_t* context);
/* Group A: one reference in. */
typedef int32_t (*VrelRefProc)(int32_t ref);
/* Group B: one reference in, one out. */
typedef int32_t (*VrelAllocRefProc)(int32_t ref, int32_t* out);
typedef int32_t (*VrelGetAttributeInfoProc)(int32_t ref, int32_t id, int32_t* type, int32_t* count);
typedef int32_t (*VrelGetAttributeValueProc)(int32_t ref, int32_t id, int32_t* count, void* buffer);
typedef int32_t (*VrelSetAttributeValueProc)(int32_t imageRef, int32_t id, int32_t type, int32_t count,
                                             void* data);
/* AllocImage (context, IO reference, out image reference) and
 * AllocIORefFromFileHandleRef (context, descriptor, out IO reference). */
typedef int32_t (*VrelAllocImageProc)(int32_t context, int32_t in, int32_t* out);
typedef int32_t (*VrelGetImageRectangleProc)(int32_t imageRef, int32_t level, const DriverRect* rect,
                                             VrelSharpenPlanes* planes, VrelProgressProc progress, void* user);
typedef int32_t (*VrelSampleBalanceProc)(int32_t imageRef, int32_t reserved, const DriverRect* sample,
                                         uint16_t* triple, int32_t* count);
typedef int32_t (*VrelSampleBalanceKelvinProc)(int32_t imageRef, int32_t reserved, const DriverRect* sample,
                                               int32_t lighting, int32_t* kelvin);
typedef int32_t (*VrelSetNotificationProc)(int32_t context, void* callback, void* user);
/* AllocImageByPath (context, path, out) and AllocIORefFromPtr. */
typedef int32_t (*VrelAllocByPathProc)(int32_t context, const void* source, int32_t* out);
/* IteratorFind and AllocDirItemByPath. */
typedef int32_t (*VrelFindProc)(int32_t ref, const char* name, int32_t* out);
/* SendCommand and SetPosition. */
typedef int32_t (*VrelCommandProc)(int32_t ref, int64_t value);
/* Read and Write. */
typedef int32_t (*VrelTransferProc)(int32_t ioRef, void* buffer, int32_t* count);
typedef int32_t (*VrelGetPositionProc)(int32_t ioRef, int64_t* position);
typedef int32_t (*VrelStartCaptureSessionProc)(int32_t context, int32_t* session);
typedef int32_t (*VrelGetImageRectangleWithTestProc)(int32_t imageRef, int32_t level, const DriverRect* rect,
                                                     VrelSharpenPlanes* planes, int32_t test);

/* The 36 entries, in their order; an entry is null when the library lacks
 * the export "Vrel" + its name. */
typedef struct BBProcs_struct {
    VrelAllocByPathProc AllocImageByPath;
    VrelInitializeProc Initialize;
    VrelRefProc Terminate;
    VrelRefProc FreeRef;
    VrelGetAttributeInfoProc GetAttributeInfo;
    VrelGetAttributeValueProc GetAttributeValue;
    VrelSetAttributeValueProc SetAttributeValue;
    VrelAllocImageProc AllocImage;
    VrelGetImageRectangleProc GetImageRectangle;
    VrelSampleBalanceProc SampleBalance;
    VrelSampleBalanceKelvinProc SampleBalanceKelvin;
    VrelRefProc SavePersistentAttributes;
    VrelSetNotificationProc SetCameraAddedNotification;
    VrelAllocRefProc IteratorNext;
    VrelFindProc IteratorFind;
    VrelRefProc IteratorReset;
    VrelAllocRefProc AllocCameraIterator;
    VrelCommandProc SendCommand;
    VrelSetNotificationProc SetCameraEventNotification;
    VrelAllocRefProc AllocPropertyIterator;
    VrelAllocRefProc AllocDirectoryIterator;
    VrelFindProc AllocDirItemByPath;
    void* reserved;
    VrelStartCaptureSessionProc StartCaptureSession;
    VrelRefProc EndCaptureSession;
    VrelSetNotificationProc SetDirectoryUpdateNotification;
    VrelRefProc DeleteDirItem;
    VrelAllocRefProc AllocIORef;
    VrelAllocImageProc AllocIORefFromFileHandleRef;
    VrelAllocByPathProc AllocIORefFromPtr;
    VrelTransferProc Read;
    VrelTransferProc Write;
    VrelCommandProc SetPosition;
    VrelGetPositionProc GetPosition;
    VrelGetImageRectangleWithTestProc GetImageRectangleWithTest;
    VrelRefProc CheckImage;
} BBProcs_struct;

#ifdef __cplusplus
}
#endif

#endif
