/* A C program that uses Kestra as an outside program would: it includes only
 * the public header, loads libKestra.so with dlopen and binds every call by
 * name. Answers 0 when every check holds. */
#include "Kestra.h"

#include <dlfcn.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;

#define CHECK(cond)                                                        \
    do {                                                                   \
        if (!(cond)) {                                                     \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                    \
        }                                                                  \
    } while (0)

static const char* const kNames[35] = {
    "PSFInitialize", "PSFInitializeEx", "PSFTerminate", "PSFInitThread", "PSFTermThread", "PSFSetEvalType",
    "PSFGetInfo", "PSFGetErrorText", "PSFLoadFilter", "PSFLoadFilterFromBuffer", "PSFLoadFilterFromDB",
    "PSFStoreFilter", "PSFStoreFilterToBuffer", "PSFStoreFilterToDB", "PSFGetBufferSize",
    "PSFCreateFilterFromData", "PSFGetFilterData", "PSFScaleSharpeningFilter", "PSFResetKernelSize",
    "PSFComposeFilters", "PSFFreeFilter", "PSFGetCallerIdFromFilter", "PSFGetFilterAttribute",
    "PSFSetFilterAttribute", "PSFSharpenSetup", "PSFSharpenSetupT", "PSFAffineSetup", "PSFScaleSetup",
    "PSFRectangles", "PSFStripBegin", "PSFStripEnd", "PSFSharpen", "PSFScale", "PSFAllocPicture",
    "PSFFreePicture"};

static PSFStatus (*pInitialize)(PSFCaller*);
static PSFStatus (*pTerminate)(PSFCaller);
static PSFStatus (*pTermThread)(PSFCaller);
static PSFStatus (*pSetEvalType)(PSFCaller, int32_t);
static PSFStatus (*pGetInfo)(PSFInfo*, void*);
static PSFStatus (*pGetErrorText)(PSFStatus, int32_t, char*);
static PSFStatus (*pLoadFromBuffer)(PSFCaller, const void*, uint32_t, PSFFilter*);
static PSFStatus (*pFreeFilter)(PSFFilter);
static PSFStatus (*pSetAttribute)(PSFFilter, int32_t, const PSFAttributeValue*);
static void* (*pLockBuffer)(uint32_t);
static void (*pUnlockBuffer)(uint32_t);

static void put32(unsigned char* p, uint32_t v, int big) {
    for (int i = 0; i < 4; ++i) p[big ? 3 - i : i] = (unsigned char)(v >> (8 * i));
}

/* A one-level, one-variant, one-tap filter, written from the stored layout. */
static size_t smallFilter(unsigned char* out) {
    static const char text[] = "30000=0\n30004=1\n";
    memset(out, 0, 600);
    put32(out + 0, 0x66696C74, 0);
    put32(out + 4, 2, 0);
    put32(out + 8, sizeof text, 0); /* with its NUL */
    put32(out + 20, 0x30000, 0);
    memcpy(out + 500, text, sizeof text);
    unsigned char* k = out + 500 + sizeof text;
    const uint32_t fields[13] = {48, 1, 1, 1, 2, 9, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 13; ++i) put32(k + 4 * i, fields[i], 1);
    memcpy(k + 28, "kf\0\0", 4);
    k[52] = 0x02; /* 512 */
    k[53] = 0x00;
    return 500 + sizeof text + 54;
}

static uint32_t callerNumber(PSFCaller caller) {
    const uint32_t* record = pLockBuffer(caller);
    if (!record) return 0;
    const uint32_t magic = record[0], number = record[2];
    pUnlockBuffer(caller);
    return magic == 0x70734964 ? number : 0;
}

struct ThreadAnswers {
    PSFFilter filter;
    PSFStatus termThread;
    PSFStatus setAttribute;
};

static void* unattachedThread(void* arg) {
    struct ThreadAnswers* a = arg;
    a->termThread = pTermThread(0);
    PSFAttributeValue v;
    memset(&v, 0, sizeof v);
    v.type = PSFAttrTypeString;
    strcpy(v.value.text, "from another thread");
    a->setAttribute = pSetAttribute(a->filter, PSFAttrDescription, &v);
    return NULL;
}

int main(void) {
    const char* dir = getenv("LUMORA_PROGRAM_DIR");
    char path[4096];
    snprintf(path, sizeof path, "%s/libKestra.so", dir ? dir : ".");
    void* lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    for (int i = 0; i < 35; ++i)
        if (!dlsym(lib, kNames[i])) {
            fprintf(stderr, "missing %s\n", kNames[i]);
            ++failures;
        }
    *(void**)&pInitialize = dlsym(lib, "PSFInitialize");
    *(void**)&pTerminate = dlsym(lib, "PSFTerminate");
    *(void**)&pTermThread = dlsym(lib, "PSFTermThread");
    *(void**)&pSetEvalType = dlsym(lib, "PSFSetEvalType");
    *(void**)&pGetInfo = dlsym(lib, "PSFGetInfo");
    *(void**)&pGetErrorText = dlsym(lib, "PSFGetErrorText");
    *(void**)&pLoadFromBuffer = dlsym(lib, "PSFLoadFilterFromBuffer");
    *(void**)&pFreeFilter = dlsym(lib, "PSFFreeFilter");
    *(void**)&pSetAttribute = dlsym(lib, "PSFSetFilterAttribute");
    /* The caller records are buffers of the colour library that Kestra links. */
    void* cms = dlopen("libORVEXCMS.so", RTLD_NOW | RTLD_NOLOAD);
    CHECK(cms != NULL);
    if (!cms || failures) return 1;
    *(void**)&pLockBuffer = dlsym(cms, "lockBuffer");
    *(void**)&pUnlockBuffer = dlsym(cms, "unlockBuffer");
    /* Nothing but the library's own names leaves it. */
    CHECK(dlsym(lib, "FpInitialize") == NULL);
    CHECK(dlsym(lib, "_ZN6kestra12PsfMapStatusEi") == NULL);

    PSFCaller first = 0, second = 0;
    CHECK(pInitialize(&first) == PSFSuccess);
    CHECK(pInitialize(&second) == PSFSuccess);
    CHECK(first != 0 && second != 0 && first != second);
    CHECK(callerNumber(first) == 1);
    CHECK(callerNumber(second) == 2);
    CHECK(pTerminate(0) == PSFErrBadCaller);

    PSFInfo info;
    memset(&info, 0xAB, sizeof info);
    CHECK(pGetInfo(&info, NULL) == PSFSuccess);
    CHECK(strcmp(info.apiVersion, "3.1") == 0);
    CHECK(strcmp(info.processorVersion, "2.0.007") == 0);
    CHECK(info.evalKinds == 0);
    for (int i = 0; i < 6; ++i) CHECK(info.reserved[i] == 0xAB);

    char text[256];
    CHECK(pGetErrorText(1025, 2, text) == PSFErrBufferSize);
    CHECK(strcmp(text, "P") == 0);
    CHECK(pGetErrorText(1025, 256, text) == PSFSuccess);
    CHECK(strcmp(text, "PSFAPI Status: one or more of the arguments is out of range.") == 0);
    CHECK(pGetErrorText(161, 256, text) == PSFSuccess);
    CHECK(strcmp(text, "PSFAPI Status: 161") == 0);
    {
        static const struct {
            PSFStatus status;
            const char* text;
        } texts[] = {{-1, "PSFAPI Status: Operation Failed."},
                     {0, "PSFAPI Status: The operation is in progress."},
                     {1, "PSFAPI Status: Operation completed successfully."},
                     {1037, "PSFAPI Status: The filter has not been initailzed."},
                     {1051, "PSFAPI Status: The sample type of all the images must be the same."},
                     /* numbers next to the error range have no text of their own */
                     {1024, "PSFAPI Status: 1024"},
                     {1052, "PSFAPI Status: 1052"},
                     {1021, "PSFAPI Status: 1021"}};
        for (size_t i = 0; i < sizeof texts / sizeof texts[0]; ++i) {
            CHECK(pGetErrorText(texts[i].status, 256, text) == PSFSuccess);
            if (strcmp(text, texts[i].text) != 0) {
                fprintf(stderr, "status %d: \"%s\"\n", texts[i].status, text);
                ++failures;
            }
        }
        /* The 1027 text names no brand. */
        CHECK(pGetErrorText(1027, 256, text) == PSFSuccess);
        CHECK(strlen(text) > 15);
    }

    CHECK(pSetEvalType(first, 0) == PSFSuccess);
    CHECK(pSetEvalType(first, 5) == PSFSuccess);
    for (int type = 1; type <= 6; ++type)
        if (type != 5) CHECK(pSetEvalType(first, type) == PSFErrArgumentOutOfRange);

    /* The processor outlives the end of the first caller. */
    CHECK(pTerminate(first) == PSFSuccess);
    CHECK(pSetEvalType(first, 5) == PSFErrBadCaller);
    CHECK(pSetEvalType(second, 5) == PSFSuccess);
    unsigned char buffer[600];
    const size_t size = smallFilter(buffer);
    struct ThreadAnswers answers = {0, 0, 0};
    CHECK(pLoadFromBuffer(second, buffer, (uint32_t)size, &answers.filter) == PSFSuccess);

    /* A thread that never attached. */
    pthread_t thread;
    CHECK(pthread_create(&thread, NULL, unattachedThread, &answers) == 0);
    pthread_join(thread, NULL);
    CHECK(answers.termThread == PSFErrProcessorComponent);
    CHECK(answers.setAttribute == PSFErrNoThreadMemory);

    CHECK(pFreeFilter(answers.filter) == PSFSuccess);
    CHECK(pTerminate(second) == PSFSuccess);
    CHECK(pTerminate(second) == PSFErrBadCaller);
    dlclose(lib);
    if (failures) fprintf(stderr, "%d checks failed\n", failures);
    return failures ? 1 : 0;
}
