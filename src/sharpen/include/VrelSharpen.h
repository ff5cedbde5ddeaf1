/* The sharpen library: unsharp-mask sharpening of 16-bit three-channel
 * interleaved strips. Statuses are 0 for success. Plain C. */
#ifndef VRELSHARPEN_H
#define VRELSHARPEN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VRELSHARPEN_API __attribute__((visibility("default")))

typedef int32_t VrelSharpenStatus;

enum {
    VrelSharpenOK = 0,
    VrelSharpenErrNoAttributes = 400,
    VrelSharpenErrStripOutside = 501,
    VrelSharpenErrBadRect = 510,
    VrelSharpenErrPlugInLoad = 703,
    VrelSharpenErrTerminate = 705,
    VrelSharpenErrNoPlugIn = 706,
    VrelSharpenErrSetup = 707,
    VrelSharpenErrNullFilter = 708,
    VrelSharpenErrFlags = 709,
    VrelSharpenErrSizeRects = 710,
    VrelSharpenErrNullPlane = 711,
    VrelSharpenErrNullArgument = 712,
    VrelSharpenErrOtherStrip = 713,
    VrelSharpenErrMode = 714,
    VrelSharpenErrAmount = 715,
    VrelSharpenErrRadius = 716,
    VrelSharpenErrThreshold = 717,
    VrelSharpenErrChannels = 719,
    VrelSharpenErrBits = 720,
    VrelSharpenErrStride = 721,
    VrelSharpenErrStripBegin = 724,
    VrelSharpenErrStripEnd = 725,
    VrelSharpenErrNotSetUp = 727,
    VrelSharpenErrNoSizes = 728,
    VrelSharpenErrException = 729,
    VrelSharpenErrNoLibraryMemory = 730,
    VrelSharpenErrStripRects = 731,
    VrelSharpenErrProcess = 732,
    VrelSharpenErrOpenFilters = 733,
    VrelSharpenErrCancelled = 735,
    VrelSharpenErrReserved = 736
};

/* Bottom and right exclusive. */
typedef struct FilterRect {
    int32_t top;
    int32_t left;
    int32_t bottom;
    int32_t right;
} FilterRect;

typedef struct VrelSharpenPlanes {
    int32_t channels;      /* 3 */
    int32_t bitsPerSample; /* 16 */
    int32_t pixelStride;   /* bytes */
    int32_t rowStride;     /* bytes */
    int32_t rows;
    int32_t columns;
    void* plane[3];
    void* plane4;
    int32_t reserved[6];
} VrelSharpenPlanes;

typedef struct SharpenLibrary SharpenLibrary;
typedef struct SharpenFilter SharpenFilter;

typedef short (*VrelSharpenProgressProc)(int percent, void* user);

typedef VrelSharpenStatus (*VrelSharpenInitializeLibraryProc)(int32_t reserved, SharpenLibrary** library);
typedef VrelSharpenStatus (*VrelSharpenTerminateLibraryProc)(SharpenLibrary** library);
typedef VrelSharpenStatus (*VrelSharpenCreateSharpenFilterProc)(SharpenLibrary* library, SharpenFilter** filter,
                                                               const FilterRect* image, uint32_t mode,
                                                               uint32_t amount, uint32_t radius,
                                                               uint32_t threshold, uint32_t flags);
typedef VrelSharpenStatus (*VrelSharpenReleaseFilterProc)(SharpenFilter** filter);
typedef VrelSharpenStatus (*VrelSharpenGetBufferSizesProc)(SharpenFilter* filter, const FilterRect* strip,
                                                          uint32_t* inputBytes, uint32_t* workBytes,
                                                          uint32_t* outputBytes);
typedef VrelSharpenStatus (*VrelSharpenSetStripRectsProc)(SharpenFilter* filter, const FilterRect* strip,
                                                         FilterRect* source);
typedef VrelSharpenStatus (*VrelSharpenStripProc)(SharpenFilter* filter, void* work, const FilterRect* strip,
                                                 const VrelSharpenPlanes* destination,
                                                 const VrelSharpenPlanes* source);
typedef VrelSharpenStatus (*VrelSharpenStripWithProgressProc)(SharpenFilter* filter, void* work,
                                                             const FilterRect* strip,
                                                             const VrelSharpenPlanes* destination,
                                                             const VrelSharpenPlanes* source,
                                                             VrelSharpenProgressProc progress, void* user);
typedef VrelSharpenStatus (*VrelSharpenAttributeProc)(SharpenFilter* filter, ...);

VRELSHARPEN_API VrelSharpenStatus VrelSharpenInitializeLibrary(int32_t reserved, SharpenLibrary** library);
VRELSHARPEN_API VrelSharpenStatus VrelSharpenTerminateLibrary(SharpenLibrary** library);
VRELSHARPEN_API VrelSharpenStatus VrelSharpenCreateSharpenFilter(SharpenLibrary* library, SharpenFilter** filter,
                                                                 const FilterRect* image, uint32_t mode,
                                                                 uint32_t amount, uint32_t radius,
                                                                 uint32_t threshold, uint32_t flags);
VRELSHARPEN_API VrelSharpenStatus VrelSharpenReleaseFilter(SharpenFilter** filter);
VRELSHARPEN_API VrelSharpenStatus VrelSharpenGetBufferSizes(SharpenFilter* filter, const FilterRect* strip,
                                                            uint32_t* inputBytes, uint32_t* workBytes,
                                                            uint32_t* outputBytes);
VRELSHARPEN_API VrelSharpenStatus VrelSharpenSetStripRects(SharpenFilter* filter, const FilterRect* strip,
                                                           FilterRect* source);
VRELSHARPEN_API VrelSharpenStatus VrelSharpenStrip(SharpenFilter* filter, void* work, const FilterRect* strip,
                                                   const VrelSharpenPlanes* destination,
                                                   const VrelSharpenPlanes* source);
VRELSHARPEN_API VrelSharpenStatus VrelSharpenStripWithProgress(SharpenFilter* filter, void* work,
                                                               const FilterRect* strip,
                                                               const VrelSharpenPlanes* destination,
                                                               const VrelSharpenPlanes* source,
                                                               VrelSharpenProgressProc progress, void* user);
VRELSHARPEN_API VrelSharpenStatus VrelSharpenGetAttributeInfo(SharpenFilter* filter, ...);
VRELSHARPEN_API VrelSharpenStatus VrelSharpenGetAttributeValue(SharpenFilter* filter, ...);
VRELSHARPEN_API VrelSharpenStatus VrelSharpenSetAttributeValue(SharpenFilter* filter, ...);

#ifdef __cplusplus
}
#endif

#endif
