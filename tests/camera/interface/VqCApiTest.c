/* A plain C program that sees the camera interface only through its public
 * header: opening twice, closing three times, with and without a settings
 * file in the system folder. */
#define _POSIX_C_SOURCE 200809L
#include "Vq.h"

#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int failures = 0;

static void expect(const char* what, uint32_t got, uint32_t want) {
    if (got != want) {
        fprintf(stderr, "%s: answered 0x%X, expected 0x%X\n", what, (unsigned)got, (unsigned)want);
        ++failures;
    }
}

static void openTwiceCloseThrice(uint32_t firstAnswer) {
    SdkVersionRecord version = VQ_SDK_VERSION_RECORD_INIT;
    int32_t before = -1, during = -1, after = -1;
    expect("memory usage", VqGetMemoryUsage(&before), 0);
    expect("first open", VqOpenDriver(&version, VQ_OPEN_NO_FIREWIRE), firstAnswer);
    expect("second open", VqOpenDriver(&version, VQ_OPEN_NO_FIREWIRE), 0);
    expect("memory usage", VqGetMemoryUsage(&during), 0);
    expect("first close", VqCloseDriver(), 0);
    expect("second close", VqCloseDriver(), 0);
    expect("third close", VqCloseDriver(), VQ_ERR_BAD_HANDLE);
    expect("memory usage", VqGetMemoryUsage(&after), 0);
    if (during != before + 736 || after != before) {
        fprintf(stderr, "memory usage %d, %d, %d\n", (int)before, (int)during, (int)after);
        ++failures;
    }
}

/* Records without pointers have the byte layout outside programs rely on. */
static void layouts(void) {
    expect("SdkRect size", (uint32_t)sizeof(SdkRect), 8);
    expect("SdkVersionRecord size", (uint32_t)sizeof(SdkVersionRecord), 10);
    expect("ImageGeometry size", (uint32_t)sizeof(ImageGeometry), 60);
    expect("VqPollRecord size", (uint32_t)sizeof(VqPollRecord), 40);
    expect("VqPollRecord changed", (uint32_t)offsetof(VqPollRecord, changed), 24);
    expect("CameraRecord size", (uint32_t)sizeof(CameraRecord), 480);
    expect("CameraRecord kind", (uint32_t)offsetof(CameraRecord, cameraKind), 164);
    expect("CameraRecord folder", (uint32_t)offsetof(CameraRecord, folder), 168);
    expect("CameraRecord id", (uint32_t)offsetof(CameraRecord, cameraId), 476);
    expect("SdkRect height", (uint32_t)offsetof(SdkRect, height), 6);
    expect("geometry activeWidth", (uint32_t)offsetof(ImageGeometry, activeWidth), 8);
    expect("geometry fullBytes", (uint32_t)offsetof(ImageGeometry, fullBytes), 24);
    expect("geometry outputWidth", (uint32_t)offsetof(ImageGeometry, outputWidth), 28);
    expect("geometry stripBytes", (uint32_t)offsetof(ImageGeometry, stripBytes), 36);
    expect("geometry cacheBytes", (uint32_t)offsetof(ImageGeometry, cacheBytes), 44);
    expect("geometry frameBytes", (uint32_t)offsetof(ImageGeometry, frameBytes), 56);
    /* The image record holds pointers, so only its pointer-free head and tail
     * keep fixed distances: the words before the name, and the date, geometry
     * and the seven words after it. */
    expect("info imageIndex", (uint32_t)offsetof(ImageInfoRecord, imageIndex), 4);
    expect("info date to geometry",
           (uint32_t)(offsetof(ImageInfoRecord, geometry) - offsetof(ImageInfoRecord, date)), 20);
    expect("info geometry to handle",
           (uint32_t)(offsetof(ImageInfoRecord, handle) - offsetof(ImageInfoRecord, geometry)), 60);
    expect("info handle to file kind",
           (uint32_t)(offsetof(ImageInfoRecord, fileKind) - offsetof(ImageInfoRecord, handle)), 12);
    expect("info handle to white-balance-file status",
           (uint32_t)(offsetof(ImageInfoRecord, whiteBalanceFileStatus) - offsetof(ImageInfoRecord, handle)), 24);
}

/* Opening images through the header alone: the statuses of paths that name
 * nothing to open, and calls with records that name nothing. */
static void imageCalls(const char* folder) {
    SdkVersionRecord version = VQ_SDK_VERSION_RECORD_INIT;
    ImageInfoRecord info;
    CameraRecord camera;
    char path[4200];
    int32_t before = -1, after = -2;
    memset(&info, 0, sizeof info);
    memset(&camera, 0, sizeof camera);
    expect("open image while closed", VqOpenImageFile("/x/y.zyr", &info), VQ_ERR_BAD_HANDLE);
    expect("open", VqOpenDriver(&version, VQ_OPEN_NO_FIREWIRE), VQ_ERR_DEFAULTS_KEPT);
    VqGetMemoryUsage(&before);
    snprintf(path, sizeof path, "%s/missing.zyr", folder);
    expect("missing file", VqOpenImageFile(path, &info), VQ_ERR_CAMERA_NOT_OPEN);
    expect("bare name", VqOpenImageFile("missing.zyr", &info), VQ_ERR_BAD_IMAGE_PATH);
    expect("empty path", VqOpenImageFile("", &info), VQ_ERR_BAD_IMAGE_PATH);
    expect("handle after failed opens", (uint32_t)info.handle, 0);
    expect("close null record", VqCloseImage(NULL), VQ_ERR_NULL_IMAGE_RECORD);
    expect("close no image", VqCloseImage(&info), VQ_ERR_BAD_HANDLE);
    expect("image call without image", VqCleanupCache(&info), VQ_ERR_BAD_HANDLE);
    expect("camera call without camera", VqPollImages(&camera, NULL), VQ_ERR_NO_CAMERA_ID);
    VqGetMemoryUsage(&after);
    expect("memory usage unchanged", (uint32_t)(after - before), 0);
    expect("close", VqCloseDriver(), 0);
}

int main(void) {
    const char* tmp = getenv("TMPDIR");
    char pattern[4096];
    char file[4200];
    FILE* f;

    snprintf(pattern, sizeof pattern, "%s/lumora-capi-XXXXXX", tmp && *tmp ? tmp : "/tmp");
    if (!mkdtemp(pattern)) {
        perror("mkdtemp");
        return 2;
    }
    setenv("LUMORA_SYSTEM_DIR", pattern, 1);

    layouts();
    openTwiceCloseThrice(VQ_ERR_DEFAULTS_KEPT);
    imageCalls(pattern);

    snprintf(file, sizeof file, "%s/VqAPI.prf", pattern);
    f = fopen(file, "wb");
    if (!f) {
        perror("fopen");
        return 2;
    }
    fputs("Settings of the camera interface\n[VERSION] 1.0\n[M3DAY] 100 200 300\n", f);
    fclose(f);

    openTwiceCloseThrice(VQ_ERR_PREFS_READ);

    unlink(file);
    rmdir(pattern);
    if (failures == 0) printf("ok\n");
    return failures == 0 ? 0 : 1;
}
