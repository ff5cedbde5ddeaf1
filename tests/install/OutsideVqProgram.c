/* An outside program built against an installed Lumora: it sees the camera
 * interface through the installed header and library alone (pkg-config
 * lumora-vq). It opens the driver, opens the raw file given, renders it and
 * prints what it got:
 *   open 0xSTATUS
 *   image WIDTHxHEIGHT model MODEL
 *   rendered BYTES bytes, sum HASH
 * and answers 0 when every call succeeded. */
#include <Vq.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static unsigned long delivered = 0;
static uint32_t hash = 2166136261u;

/* Counts the strip's bytes into a hash of the whole picture. */
static void* takeStrip(void* buffer, uint32_t byteCount, int32_t userValue) {
    const unsigned char* bytes = (const unsigned char*)buffer;
    uint32_t i;
    (void)userValue;
    for (i = 0; i < byteCount; ++i)
        hash = (hash ^ bytes[i]) * 16777619u;
    delivered += byteCount;
    return buffer;
}

int main(int argc, char** argv) {
    SdkVersionRecord version = VQ_SDK_VERSION_RECORD_INIT;
    ImageInfoRecord info;
    ImageBufferRecord strips;
    uint32_t status;
    void* buffer;

    if (argc != 2) {
        fprintf(stderr, "usage: %s RAWFILE\n", argv[0]);
        return 2;
    }
    status = VqOpenDriver(&version, VQ_OPEN_NO_FIREWIRE);
    printf("open 0x%X\n", (unsigned)status);
    if (status != VQ_ERR_PREFS_READ && status != VQ_ERR_DEFAULTS_KEPT) return 1;

    memset(&info, 0, sizeof info);
    status = VqOpenImageFile(argv[1], &info);
    if (status != 0 || info.handle == 0) {
        fprintf(stderr, "%s did not open: 0x%X\n", argv[1], (unsigned)status);
        return 1;
    }
    printf("image %dx%d model %.*s\n", (int)info.geometry.activeWidth, (int)info.geometry.activeHeight,
           (int)info.modelLength, info.model ? info.model : "");

    buffer = malloc(info.geometry.fullBytes > 0 ? (size_t)info.geometry.fullBytes : 1);
    if (!buffer) return 1;
    strips.buffer = buffer;
    strips.bufferBytes = (uint32_t)(info.geometry.fullBytes > 0 ? info.geometry.fullBytes : 1);
    strips.userValue = 0;
    strips.stripCallback = takeStrip;
    status = VqGetImage(&info, &strips, NULL);
    free(buffer);
    if (status != 0) {
        fprintf(stderr, "rendering failed: 0x%X\n", (unsigned)status);
        return 1;
    }
    printf("rendered %lu bytes, sum %08X\n", delivered, (unsigned)hash);
    if (VqCloseImage(&info) != 0 || VqCloseDriver() != 0) return 1;
    return 0;
}
