/* Kestra: the filter library. Sharpening and resampling filters are made,
 * loaded and stored (files, buffers, the filter data base), prepared and run
 * strip by strip over pictures.
 *
 * Plain C. Every call answers a PSFStatus: 1 success, 0 in progress, -1
 * failed, 1025..1051 the errors below; PSFGetErrorText gives their texts.
 * Callers and filters are 32-bit handles, 0 = none. A program registers with
 * PSFInitialize, and every further thread that calls the library first calls
 * PSFInitThread and at its end PSFTermThread. */
#ifndef KESTRA_H
#define KESTRA_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define PSF_API __attribute__((visibility("default")))

typedef int32_t PSFStatus;
typedef uint32_t PSFCaller;
typedef uint32_t PSFFilter;

enum {
    PSFFailed = -1,
    PSFInProgress = 0,
    PSFSuccess = 1,
    PSFErrArgumentOutOfRange = 1025,
    PSFErrNoMemory = 1026,
    PSFErrNoProcessor = 1027,
    PSFErrNoBlurFilter = 1028,
    PSFErrInconsistentArguments = 1029,
    PSFErrAlreadyDone = 1030,
    PSFErrNotDone = 1031,
    PSFErrNoSharpeningFilter = 1032,
    PSFErrNoScaleFilter = 1033,
    PSFErrProcessorFailure = 1034,
    PSFErrFilterUnusable = 1035,
    PSFErrFilterInUse = 1036,
    PSFErrFilterNotInitialized = 1037,
    PSFErrNotSetUp = 1038,
    PSFErrAlreadySetUp = 1039,
    PSFErrScaleTooSmall = 1040,
    PSFErrCancelled = 1041,
    PSFErrNoThreadMemory = 1042,
    PSFErrBadCaller = 1043,
    PSFErrBufferSize = 1044,
    PSFErrProcessorComponent = 1045,
    PSFErrBadAttribute = 1046,
    PSFErrBadPicture = 1047,
    PSFErrAttributeNotFound = 1048,
    PSFErrFilterFile = 1049,
    PSFErrNotImplemented = 1050,
    PSFErrSampleTypes = 1051
};

/* Attribute ids. */
enum {
    PSFAttrCopyright = 15,
    PSFAttrFormatVersion = 16,
    PSFAttrDate = 17,
    PSFAttrProcessorVersion = 16401,
    PSFAttrKind = 30000,
    PSFAttrTaps = 30002,
    PSFAttrVariants = 30003,
    PSFAttrLevels = 30004,
    PSFAttrSampleBytes = 30005,
    PSFAttrFractionBits = 30006,
    PSFAttrKindName = 30008,
    PSFAttrResolution = 30009,
    PSFAttrDescription = 30010,
    PSFAttrHasSecondTable = 30011,
    PSFAttrRadius = 30012,
    PSFAttrLevelList = 30257 /* level 0; level i is 30257 + i, up to 30320 */
};

/* Types of a PSFAttributeValue. */
enum { PSFAttrTypeInteger = 0, PSFAttrTypeDouble = 1, PSFAttrTypeString = 2 };

/* Sample types of a PSFPlane. */
enum { PSFSample8 = 3, PSFSample16 = 4, PSFSample16b = 5, PSFSample12in16 = 10 };

#define PSF_MAX_PLANES 8

/* x1 and y1 are exclusive. */
typedef struct PSFRect {
    int32_t x0;
    int32_t y0;
    int32_t x1;
    int32_t y1;
} PSFRect;

typedef struct PSFPlane {
    int32_t columns;
    int32_t sampleStep; /* bytes */
    int32_t rows;
    int32_t rowStep;    /* bytes */
    int32_t sampleType;
    void* data;
} PSFPlane;

/* The data belong to the caller. */
typedef struct PSFPicture {
    PSFRect rect;     /* the part a call works on */
    int32_t width;    /* the picture's x limit */
    int32_t height;   /* the picture's y limit */
    int32_t planeCount;
    PSFPlane planes[PSF_MAX_PLANES];
} PSFPicture;

typedef struct PSFAttributeValue {
    int32_t type;     /* PSFAttrType... */
    int32_t unused;
    union {
        int32_t integer;
        double real;
        char text[255]; /* NUL-terminated */
    } value;
} PSFAttributeValue;

typedef struct PSFInfo {
    char apiVersion[4];        /* "3.1" */
    uint8_t reserved[6];       /* left as the caller had them */
    char processorVersion[10]; /* "2.0.007" */
    int32_t evalKinds;         /* registered evaluation kinds minus one */
} PSFInfo;

typedef struct PSFInitOptions {
    uint32_t size;   /* not read */
    uint32_t options;
} PSFInitOptions;

/* phase 1 start (percent 0), 2 progress, 3 end (percent 100); answer 1 to go on. */
typedef int (*PSFProgressProc)(int phase, int percent, void* user);

/* What PSFLoadFilter and PSFStoreFilter pass to the colour library's file
 * calls; zeroed is a plain file. */
typedef struct PSFFileProps {
    uint32_t fileType;
    uint32_t creator;
    uint8_t reserved[128];
} PSFFileProps;

/* Library, callers and threads. */
PSF_API PSFStatus PSFInitialize(PSFCaller* caller);
PSF_API PSFStatus PSFInitializeEx(PSFCaller* caller, const PSFInitOptions* options);
PSF_API PSFStatus PSFTerminate(PSFCaller caller);
PSF_API PSFStatus PSFInitThread(PSFCaller caller);
PSF_API PSFStatus PSFTermThread(PSFCaller caller);
PSF_API PSFStatus PSFSetEvalType(PSFCaller caller, int32_t type);
PSF_API PSFStatus PSFGetInfo(PSFInfo* info, void* reserved);
PSF_API PSFStatus PSFGetErrorText(PSFStatus status, int32_t length, char* buffer);

/* Filters: files, buffers and the filter data base. */
PSF_API PSFStatus PSFLoadFilter(PSFCaller caller, const char* fileName, const PSFFileProps* fileProps,
                                PSFFilter* filter);
PSF_API PSFStatus PSFLoadFilterFromBuffer(PSFCaller caller, const void* buffer, uint32_t size, PSFFilter* filter);
PSF_API PSFStatus PSFLoadFilterFromDB(PSFCaller caller, const char* filterName, PSFFilter* filter);
PSF_API PSFStatus PSFStoreFilter(PSFFilter filter, const char* fileName, const PSFFileProps* fileProps);
PSF_API PSFStatus PSFStoreFilterToBuffer(PSFFilter filter, void* buffer, uint32_t size, uint32_t* count);
PSF_API PSFStatus PSFStoreFilterToDB(PSFFilter filter, const char* filterName);
PSF_API PSFStatus PSFGetBufferSize(PSFFilter filter, uint32_t* size);
PSF_API PSFStatus PSFCreateFilterFromData(PSFCaller caller, int32_t kind, int32_t levels, int32_t variants,
                                          int32_t taps, const double* levelValues, const double* kernels,
                                          const double* secondTable, PSFFilter* filter);
PSF_API PSFStatus PSFGetFilterData(PSFFilter filter, double* kernels, double* secondTable);
PSF_API PSFStatus PSFScaleSharpeningFilter(PSFFilter sharpening, double scale, PSFFilter resampling,
                                           PSFFilter* filter);
PSF_API PSFStatus PSFResetKernelSize(PSFFilter sharpening, int32_t size, PSFFilter* filter);
PSF_API PSFStatus PSFComposeFilters(void);
PSF_API PSFStatus PSFFreeFilter(PSFFilter filter);
PSF_API PSFStatus PSFGetCallerIdFromFilter(PSFFilter filter, PSFCaller* caller);
PSF_API PSFStatus PSFGetFilterAttribute(PSFFilter filter, int32_t id, PSFAttributeValue* value);
PSF_API PSFStatus PSFSetFilterAttribute(PSFFilter filter, int32_t id, const PSFAttributeValue* value);

/* Set-up and strips. */
PSF_API PSFStatus PSFSharpenSetup(PSFFilter filter, double level, uint16_t useTable, const uint8_t* table);
PSF_API PSFStatus PSFSharpenSetupT(PSFFilter filter, double level, uint16_t useTable, const uint8_t* table,
                                   int32_t threshold);
PSF_API PSFStatus PSFAffineSetup(PSFFilter filter, const double* matrix, const double* offset);
PSF_API PSFStatus PSFScaleSetup(PSFFilter filter, double angle1, const double* scale, double angle2,
                                const double* centre);
PSF_API PSFStatus PSFRectangles(PSFFilter filter, PSFRect* source, PSFRect* second, PSFRect* aux,
                                PSFRect* destination, uint16_t* flag, uint16_t mode, uint16_t option);
PSF_API PSFStatus PSFStripBegin(PSFFilter filter, const PSFRect* strip);
PSF_API PSFStatus PSFStripEnd(PSFFilter filter);
PSF_API PSFStatus PSFSharpen(PSFFilter filter, const PSFPicture* source, const PSFPicture* second,
                             PSFPicture* aux, PSFPicture* destination, PSFProgressProc progress, void* user);
PSF_API PSFStatus PSFScale(PSFFilter filter, const PSFPicture* source, PSFPicture* work, PSFPicture* destination,
                           void* edges, PSFProgressProc progress, void* user);

/* Pictures. */
PSF_API PSFStatus PSFAllocPicture(const PSFPicture* templ, const PSFRect* rect, PSFPicture* picture);
PSF_API PSFStatus PSFFreePicture(PSFPicture* picture);

#ifdef __cplusplus
}
#endif

#endif
