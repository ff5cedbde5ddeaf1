/* The filter plug-in interface: the records that cross between a host and a
 * plug-in, and the entry points a plug-in exports. Plain C. */
#ifndef VXFILT_H
#define VXFILT_H

#include <stdint.h>

#include "Kestra.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef int16_t VxFiltStatus;
/* The plug-in handle: the movable buffer handle of a VxFiltHandle. */
typedef uint32_t VxFiltPlugIn;

enum {
    VxFiltSuccess = 1,
    VxFiltFailure = -1,
    VxFiltErrBadArgument = 2025,
    VxFiltErrNoMemory = 2026,
    VxFiltErrNoProcessor = 2027,
    VxFiltErrNoBlurFilter = 2028,
    VxFiltErrInconsistent = 2029,
    VxFiltErrAlreadyDone = 2030,
    VxFiltErrNotDone = 2031,
    VxFiltErrNoSharpeningFilter = 2032,
    VxFiltErrNoScaleFilter = 2033,
    VxFiltErrBadFilter = 2035,
    VxFiltErrFilterInUse = 2036,
    VxFiltErrNotInitialized = 2037,
    VxFiltErrNotSetUp = 2038,
    VxFiltErrAlreadyInitialized = 2039,
    VxFiltErrScaleTooSmall = 2040,
    VxFiltErrCancelled = 2041,
    VxFiltErrReserved = 2042,
    VxFiltErrBadAttribute = 2043,
    VxFiltErrPlaneMismatch = 2060,
    VxFiltErrLock = 2062,
    VxFiltErrOtherProcess = 2065,
    VxFiltErrNoResource = 2069,
    VxFiltErrMissingEntry = 2074,
    VxFiltErrLoad = 2075,
    VxFiltErrUnload = 2076,
    VxFiltErrStrings = 2077
};

/* Made by the host; 12 bytes on the original word size. */
typedef struct VxFiltHandle {
    void* plugInModule; /* the module the plug-in reads its resources and strings from */
    void* hostModule;   /* the module the host looks entry points up in and unloads */
    uint32_t instance;  /* the plug-in's instance record (0 until described) */
} VxFiltHandle;

#define VXFILT_TEXT_SIZE 256

typedef struct VxFiltInfo {
    char name[VXFILT_TEXT_SIZE];
    char version[VXFILT_TEXT_SIZE];
    int32_t value1;
    int32_t value2;
    int32_t value3;
    int32_t unused;
} VxFiltInfo;

typedef short (*VxFiltProgressProc)(int percent, void* user);

typedef VxFiltStatus (*VxFiltGetInfoPrivProc)(VxFiltPlugIn plugIn, VxFiltInfo* info);
typedef VxFiltStatus (*VxFiltSetupProc)(VxFiltPlugIn plugIn, const void* block);
typedef VxFiltStatus (*VxFiltRectanglesProc)(VxFiltPlugIn plugIn, PSFRect* source, PSFRect* second, PSFRect* work,
                                             PSFRect* strip, uint16_t* flag, uint16_t mode, uint16_t option);
typedef VxFiltStatus (*VxFiltCloseProc)(VxFiltPlugIn plugIn);
typedef VxFiltStatus (*VxFiltStripBeginProc)(VxFiltPlugIn plugIn, const PSFRect* strip);
typedef VxFiltStatus (*VxFiltStripEndProc)(VxFiltPlugIn plugIn);
typedef VxFiltStatus (*VxFiltProcessProc)(VxFiltPlugIn plugIn, const PSFPicture* source, const PSFPicture* second,
                                          PSFPicture* work, int32_t ignored, VxFiltProgressProc progress,
                                          void* user, PSFPicture* destination);
typedef VxFiltStatus (*VxFiltUnloadPluginProc)(VxFiltPlugIn plugIn);

typedef struct VxFiltProcs {
    VxFiltSetupProc setup;
    VxFiltRectanglesProc rectangles;
    VxFiltCloseProc close;
    VxFiltStripBeginProc stripBegin;
    VxFiltStripEndProc stripEnd;
    VxFiltProcessProc process;
} VxFiltProcs;

/* Setup versions 0 and 1 carry the parameters inline (parameter version 8);
 * versions 2 and 3 a parameter version and a pointer. 0 and 2 scale by a
 * resolution, 1 and 3 by a radius. */
typedef struct VxFiltSharpenParams {
    int32_t amount;
    int32_t maxKernelSize; /* -1: no limit */
    uint32_t colorTag;     /* first character in the most significant byte */
    int32_t channel;       /* -1: all */
    uint32_t radiusNumerator;
    uint32_t radiusDenominator;
    uint32_t resolutionX;
    uint32_t resolutionY;
    int32_t threshold;     /* parameter version 9 and above */
    int32_t filterChoice;  /* parameter version 10: 0 the 5-tap filter, 1 the 7-tap filter */
} VxFiltSharpenParams;

typedef struct VxFiltSetupBlock {
    uint32_t setupVersion;
    uint32_t paramVersion;
    const void* params;
} VxFiltSetupBlock;

typedef struct VxFiltSetupBlockInline {
    uint32_t setupVersion;
    VxFiltSharpenParams params; /* fields up to the radius and resolution are read */
} VxFiltSetupBlockInline;

#define VXFILT_TAG(a, b, c, d) (((uint32_t)(a) << 24) | ((uint32_t)(b) << 16) | ((uint32_t)(c) << 8) | (uint32_t)(d))

#ifdef __cplusplus
}
#endif

#endif
