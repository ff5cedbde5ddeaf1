/* ORVEXCMS: the colour-management library of Lumora and its companion
 * libraries. Profiles, transforms and pixel evaluation (the Sp calls), small
 * portable services (the Vx calls) and movable buffers by handle.
 *
 * Plain C; every record keeps its field order and fixed-width fields, pointers
 * are native. Sp calls answer an SpStatus: 0 is success, anything else an error
 * whose text SpGetErrorText gives. Handles are 32-bit values, 0 = none. */
#ifndef ORVEXCMS_H
#define ORVEXCMS_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ORVEXCMS_API __attribute__((visibility("default")))

typedef int32_t SpStatus;
typedef uint32_t SpInstance;
typedef uint32_t SpProfile;
typedef uint32_t SpXform;

/* Status codes. */
enum {
    SpStatSuccess = 0,
    SpStatBadArgument = 501,      /* a null pointer or a value out of range */
    SpStatBadInstance = 502,      /* not an open library instance */
    SpStatBadProfile = 503,       /* not a loaded profile */
    SpStatBadXform = 504,         /* not a transform */
    SpStatFileNotFound = 505,     /* the file could not be opened */
    SpStatReadFailed = 506,       /* the file could not be read whole */
    SpStatNotAProfile = 507,      /* the bytes are not a well-formed ICC profile */
    SpStatNoMemory = 508,
    SpStatBufferTooSmall = 509,   /* the caller's buffer cannot hold the answer */
    SpStatTagNotFound = 510,
    SpStatNoDefaultDB = 511,      /* the system profile directory is missing */
    SpStatBadCriterion = 512,     /* a search criterion with an unknown code */
    SpStatXformFailed = 513,      /* the profile cannot give the transform asked for */
    SpStatCombineFailed = 514,    /* the transforms cannot be chained */
    SpStatLayoutMismatch = 515,   /* sizes or channel counts of the layouts do not fit */
    SpStatBadSampleType = 516,
    SpStatEvaluateFailed = 517,
    SpStatBadRenderMode = 518,
    SpStatPathTooLong = 519,
    SpStatTagUnreadable = 520,    /* the tag is present but its contents are malformed */
    SpStatBadDirectory = 521      /* a data-base directory that cannot be listed */
};

/* Sample types of an SpPixelLayout. */
enum {
    SpSample8 = 1,        /* 8-bit samples */
    SpSample12in16 = 4,   /* 12-bit values 0..4095 in 16-bit words */
    SpSample16 = 5        /* 16-bit samples */
};

/* Transform kinds of SpXformGet. */
enum {
    SpXformFromDevice = 1, /* the profile is where a chain starts: device to connection space */
    SpXformToDevice = 2    /* the profile is where a chain ends: connection space to device */
};

/* Tag value type codes. */
enum {
    SpTagTypeData = 1,  /* any tag read as its stored bytes */
    SpTagTypeText = 11  /* a text tag: 'text', 'desc' or 'mluc' */
};

/* Search criterion codes; values are ICC four-character signatures. */
enum {
    SpSearchDeviceClass = 1,
    SpSearchDataColorSpace = 2,
    SpSearchConnectionSpace = 3,
    SpSearchPreferredCMM = 4,
    SpSearchDeviceManufacturer = 7
};

#define SP_MAX_SEARCH_RESULTS 400
#define SP_PATH_MAX 260
#define SP_MAX_CHANNELS 10

/* Where a file lives beyond its name. The library reads plain files and keeps
 * the record only for its callers; zeroed is a plain file. 136 bytes. */
typedef struct SpFileProps {
    uint32_t fileType;
    uint32_t creator;
    uint8_t reserved[128];
} SpFileProps;

typedef struct ProfileDirectoryEntry {
    char* directoryName;   /* the caller's buffer */
    SpFileProps fileProps;
} ProfileDirectoryEntry;

typedef struct ProfileDataBaseList {
    int32_t count;
    ProfileDirectoryEntry* entries;
} ProfileDataBaseList;

typedef struct ProfileSearchCriterion {
    uint32_t code;
    uint32_t value;
} ProfileSearchCriterion;

typedef struct ProfileSearchList {
    int32_t count;
    ProfileSearchCriterion* criteria;
} ProfileSearchList;

/* The profile header in native byte order, 120 bytes. Words 3 and 4 are the
 * data colour space and the connection space. */
typedef struct SpHeader {
    uint32_t profileSize;
    uint32_t preferredCMM;
    uint32_t version;
    uint32_t dataColorSpace;
    uint32_t connectionSpace;
    uint32_t deviceClass;
    uint16_t dateTime[6];     /* year, month, day, hours, minutes, seconds */
    uint32_t platform;
    uint32_t flags;
    uint32_t deviceManufacturer;
    uint32_t deviceModel;
    uint32_t attributes[2];   /* high word first */
    uint32_t renderingIntent;
    int32_t illuminant[3];    /* XYZ, s15Fixed16 */
    uint32_t creator;
    uint8_t profileID[16];
    uint32_t reserved[6];
} SpHeader;

/* A tag as read by SpTagGetById; the library owns text and data until
 * SpTagFree. */
typedef struct SpTagValue {
    uint32_t signature;
    int32_t typeCode;        /* SpTagTypeText or SpTagTypeData */
    uint32_t typeSignature;  /* the stored type ('text', 'desc', 'mluc', ...) */
    uint32_t textLength;     /* bytes of text without the terminator */
    char* text;              /* NUL-terminated; empty for data tags */
    uint32_t dataSize;
    uint8_t* data;           /* the tag's stored bytes */
} SpTagValue;

/* Pixels as the caller holds them: channel k of the pixel in row r and column
 * c is at base[k] + r * rowOffset + c * columnOffset. Offsets are in bytes and
 * may be negative; channels need not be in any order or interleaved. */
typedef struct SpPixelLayout {
    int32_t sampleType;
    int32_t columns;
    int32_t rows;
    int32_t columnOffset;
    int32_t rowOffset;
    int32_t channels;
    void* base[SP_MAX_CHANNELS];
} SpPixelLayout;

/* A module that offers entry points of the same names with other argument
 * orders (OrvexCMSC) takes only the types. */
#ifndef ORVEXCMS_TYPES_ONLY

/* Library instance and threads. */
ORVEXCMS_API SpStatus SpInitialize(SpInstance* instance, void* reserved1, void* reserved2);
ORVEXCMS_API SpStatus SpTerminate(SpInstance* instance);
ORVEXCMS_API SpStatus SpInitThread(SpInstance instance, void* reserved1, void* reserved2);
ORVEXCMS_API SpStatus SpTermThread(SpInstance instance);
/* The zero-terminated text of a status; a text that does not fit is cut and
 * SpStatBufferTooSmall answered. */
ORVEXCMS_API SpStatus SpGetErrorText(SpStatus status, int32_t bufferSize, char* buffer);

/* Profile data base. */
ORVEXCMS_API SpStatus SpProfileGetDefaultDB(int32_t entryCount, int32_t nameSize,
                                            ProfileDirectoryEntry* entries);
ORVEXCMS_API SpStatus SpProfileSearch(SpInstance instance, const ProfileDataBaseList* dataBase,
                                      const ProfileSearchList* criteria, SpProfile* profiles,
                                      int32_t maxProfiles, int32_t* found);

/* Profiles. A loaded profile keeps the bytes it was loaded from. */
ORVEXCMS_API SpStatus SpProfileLoadProfile(SpInstance instance, const char* path,
                                           const SpFileProps* fileProps, SpProfile* profile);
/* The bytes must hold the whole profile; byteCount is how many the caller
 * holds, so that a size field larger than the bytes is refused. */
ORVEXCMS_API SpStatus SpProfileLoadFromBuffer(SpInstance instance, const void* bytes,
                                              uint32_t byteCount, SpProfile* profile);
ORVEXCMS_API SpStatus SpProfileLoadHeader(const char* path, const SpFileProps* fileProps,
                                          SpHeader* header);
ORVEXCMS_API SpStatus SpProfileFree(SpProfile* profile);
ORVEXCMS_API SpStatus SpProfileGetProfileSize(SpProfile profile, uint32_t* size);
/* Writes the whole profile at *buffer when *size (the room there) is enough;
 * then *buffer is moved past the bytes written and *size holds their count.
 * Otherwise nothing is written and *size holds the room needed. */
ORVEXCMS_API SpStatus SpProfileSaveToBuffer(SpProfile profile, uint8_t** buffer, uint32_t* size);
ORVEXCMS_API SpStatus SpProfileGetHeader(SpProfile profile, SpHeader* header);

/* Tags. */
ORVEXCMS_API SpStatus SpTagExists(SpProfile profile, uint32_t signature, int32_t* exists);
ORVEXCMS_API SpStatus SpTagGetById(SpProfile profile, uint32_t signature, SpTagValue* value);
ORVEXCMS_API SpStatus SpTagFree(SpTagValue* value);

/* Transforms. renderMode 0..3 is the ICC rendering intent, 4 the profile's
 * own from its header; kind is SpXformFromDevice or SpXformToDevice. */
ORVEXCMS_API SpStatus SpXformGet(SpProfile profile, int32_t renderMode, int32_t kind, SpXform* xform);
ORVEXCMS_API SpStatus SpXformFree(SpXform* xform);
ORVEXCMS_API SpStatus SpXformGetChannels(SpXform xform, int32_t* inChannels, int32_t* outChannels);
/* One transform doing the given ones in order. On failure *failedIndex names
 * the first transform that could not be joined. */
ORVEXCMS_API SpStatus SpCombineXforms(int32_t count, const SpXform* xforms, SpXform* result,
                                      int32_t* failedIndex, void* reserved1, void* reserved2);
/* Converts the source pixels into the destination before it returns; source
 * and destination may be the same pixels. */
ORVEXCMS_API SpStatus SpEvaluate(SpXform xform, const SpPixelLayout* source,
                                 const SpPixelLayout* destination, void* reserved1, void* reserved2);

#endif /* ORVEXCMS_TYPES_ONLY */

/* ---- Movable buffers ---- */
typedef uint32_t VxBufferHandle;

ORVEXCMS_API VxBufferHandle allocBufferHandle(uint32_t size);
ORVEXCMS_API void* lockBuffer(VxBufferHandle handle);
ORVEXCMS_API void unlockBuffer(VxBufferHandle handle);
ORVEXCMS_API void freeBuffer(VxBufferHandle handle);
ORVEXCMS_API void* allocBufferPtr(uint32_t size);
ORVEXCMS_API void freeBufferPtr(void* pointer);
ORVEXCMS_API VxBufferHandle unlockBufferPtr(void* pointer);
ORVEXCMS_API VxBufferHandle getHandleFromPtr(void* pointer);
ORVEXCMS_API void* allocSysBufferPtr(uint32_t size);
ORVEXCMS_API void freeSysBufferPtr(void* pointer);

/* ---- Thread memory ---- */
enum { VxScopeProcess = 0, VxScopeThread = 1 };

ORVEXCMS_API void* VxThreadMemCreate(const void* key, int32_t scope, uint32_t size);
ORVEXCMS_API void* VxThreadMemFind(const void* key, int32_t scope);
ORVEXCMS_API void VxThreadMemUnlock(const void* key, int32_t scope);
ORVEXCMS_API void VxThreadMemDestroy(const void* key, int32_t scope);

/* ---- Locks: the area holds what the library needs to find the lock ---- */
typedef struct VxCriticalSection {
    uint8_t area[24];
} VxCriticalSection;

ORVEXCMS_API void VxInitializeCriticalSection(VxCriticalSection* area);
ORVEXCMS_API void VxDeleteCriticalSection(VxCriticalSection* area);

/* ---- Files: each call answers 1 on success, 0 otherwise ---- */
typedef uint32_t VxFileId;

ORVEXCMS_API int32_t VxFileSize(const char* name, const SpFileProps* fileProps, uint32_t* size);
/* mode "r" reads; "w" writes a new file that replaces the old one only when
 * every write succeeded and the file is closed. */
ORVEXCMS_API int32_t VxFileOpen(const char* name, const char* mode, const SpFileProps* fileProps,
                                VxFileId* file);
/* Reads *size bytes; 1 only when they all came. *size holds the bytes read. */
ORVEXCMS_API int32_t VxFileRead(VxFileId file, void* buffer, uint32_t* size);
ORVEXCMS_API int32_t VxFileWrite(VxFileId file, const void* buffer, uint32_t size);
ORVEXCMS_API int32_t VxFileClose(VxFileId file);

/* ---- Memory streams ---- */
typedef struct VxStream {
    uint32_t kind;       /* 'm' while open, 0 when closed */
    uint32_t size;       /* bytes of the buffer */
    uint32_t position;
    uint32_t written;    /* the furthest byte written */
    uint8_t* buffer;
} VxStream;

ORVEXCMS_API int32_t VxOpen(void* reserved1, const char* mode, VxStream* stream, void* reserved2,
                            void* buffer, uint32_t size);
ORVEXCMS_API int32_t Vx_read(VxStream* stream, void* destination, uint32_t count);
ORVEXCMS_API int32_t Vx_write(VxStream* stream, const void* source, uint32_t count);
ORVEXCMS_API int32_t Vx_skip(VxStream* stream, uint32_t count);
ORVEXCMS_API int32_t Vx_close(VxStream* stream);

/* ---- Strings ----
 * A module's string table is the array it exports as "VxStringTable",
 * ended by an entry whose text is null; its product version the text it
 * exports as "VxProductVersion". module is a handle from dlopen. */
typedef struct VxStringEntry {
    int32_t id;
    const char* text;
} VxStringEntry;

enum {
    VxStrBadArgument = 1,
    VxStrNoTable = 10,
    VxStrNotFound = 11,
    VxStrTooLong = 12
};

ORVEXCMS_API int32_t VxGetCString(void* module, int32_t baseId, int32_t index, char* buffer, int32_t size);
ORVEXCMS_API int32_t VxGetProductVersion(void* module, char* buffer, int32_t size);
/* Reads section/key of the preference file (a bare name lives in the
 * preference folder). The value, or the default when the file or key is
 * missing, goes to buffer; *size is the room in, the text length out.
 * Answers 1 for a value from the file, 0 for the default, -1 when the buffer
 * is too small (then it holds an empty text and *size the room needed). */
ORVEXCMS_API int32_t VxReadStringPreference(const char* file, void* reserved1, void* reserved2,
                                            void* reserved3, const char* section, const char* key,
                                            const char* defaultValue, char* buffer, uint32_t* size);

/* ---- Resources ----
 * A module's resources are the array it exports as "VxResourceTable", ended
 * by an entry whose type is null: each a type name, an id and the bytes the
 * module carries. VxFindResource answers the entry of a type and id (null
 * when the module has none); VxLoadResource answers a buffer handle that
 * lockBuffer accepts, holding a copy of the bytes, and VxFreeResource frees
 * that handle (never the module's own bytes). */
typedef struct VxResourceEntry {
    const char* type;
    int32_t id;
    const void* bytes;
    uint32_t size;
} VxResourceEntry;

ORVEXCMS_API const VxResourceEntry* VxFindResource(void* module, const char* type, int32_t id);
ORVEXCMS_API uint32_t VxSizeofResource(void* module, const VxResourceEntry* resource);
ORVEXCMS_API VxBufferHandle VxLoadResource(void* module, const VxResourceEntry* resource);
ORVEXCMS_API void VxFreeResource(VxBufferHandle handle);

/* ---- Modules and folders ----
 * The handle of a library already loaded in the process, by its name ("Name",
 * "Name.dll", "Name.so" or "libName.so" all name the library libName.so or the
 * module Name.so); null when it is not loaded. The handle serves VxGetCString,
 * VxGetProductVersion and VxFindResource and needs no closing. */
ORVEXCMS_API void* VxGetModuleHandle(const char* name);
/* The system folder (LUMORA_SYSTEM_DIR, else <program>/../share/lumora/system)
 * without a trailing '/'. Answers its length when it fits in size bytes with
 * its NUL, the size needed (NUL included) when it does not, and 0 when the
 * folder is unknown. */
ORVEXCMS_API uint32_t VxGetSystemDirectory(char* buffer, uint32_t size);

/* ---- Utilities ---- */
typedef struct VxLocalTime {
    int32_t seconds;
    int32_t minutes;
    int32_t hours;
    int32_t day;
    int32_t month;          /* 0..11 */
    int32_t yearsSince1900;
} VxLocalTime;

ORVEXCMS_API uint32_t VxGetCurrentProcessId(void);
ORVEXCMS_API uint32_t VxGetCurrentThreadId(void);
ORVEXCMS_API void VxGetLocalTime(VxLocalTime* time);
/* Decimal text of value; buffer holds at least 12 bytes. */
ORVEXCMS_API char* VxItoa(int32_t value, char* buffer);
/* The decimal integer at the start of text (blanks skipped, an optional
 * sign); values beyond 32 bits are held at the nearest limit. */
ORVEXCMS_API int32_t VxAtoi(const char* text);
ORVEXCMS_API void* VxMemCpy(void* destination, const void* source, uint32_t count);
ORVEXCMS_API void* VxMemSet(void* destination, int32_t byte, uint32_t count);
ORVEXCMS_API void Vx_swab16(void* pointer, uint32_t count);
ORVEXCMS_API void Vx_swab32(void* pointer, uint32_t count);

#ifdef __cplusplus
}
#endif

#endif
