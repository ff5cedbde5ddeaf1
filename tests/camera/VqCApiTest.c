/* A plain C program that sees the camera interface only through its public
 * header: opening twice, closing three times, with and without a settings
 * file in the system folder. */
#define _POSIX_C_SOURCE 200809L
#include "Vq.h"

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

    openTwiceCloseThrice(VQ_ERR_DEFAULTS_KEPT);

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
