/* The renderer's road through the sharpen library, from C with the public
 * headers only: VrelSharpenLib.so is loaded by name from the program folder
 * (it loads TalpSharp.so), a 16-bit RGB picture is sharpened in the strips the
 * renderer plans, sized by the first strip. Channels 1 and 2 must come out as
 * the source; channel 0 as Kestra gives it when driven directly with the
 * built-in filters (written by filtergen, argv[1]) prepared as the plug-in
 * prepares them; strips as one strip over the whole picture. */
#include "Kestra.h"
#include "VrelSharpen.h"
#include "VxFilt.h"

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { W = 77, H = 100, AMOUNT = 10, THRESHOLD = 3 };

static int failures = 0;
#define CHECK(c)                                                   \
    do {                                                           \
        if (!(c)) {                                                \
            fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #c); \
            ++failures;                                            \
        }                                                          \
    } while (0)

static void* bind(void* lib, const char* name) {
    void* p = dlsym(lib, name);
    if (!p) {
        fprintf(stderr, "missing %s\n", name);
        exit(1);
    }
    return p;
}

static char folder[4096];
static void* open_module(const char* file) {
    char path[4200];
    snprintf(path, sizeof path, "%s/%s", folder, file);
    void* m = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!m) {
        fprintf(stderr, "%s\n", dlerror());
        exit(1);
    }
    return m;
}

static uint16_t picture[H][W][3];

static void make_picture(void) {
    unsigned seed = 12345;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            for (int c = 0; c < 3; ++c) {
                seed = seed * 1103515245u + 12345u;
                const int edge = ((x / 9 + y / 7) & 1) ? 40000 : 12000;
                picture[y][x][c] = (uint16_t)(edge + (int)((seed >> 16) % 3000) + c * 1000);
            }
}

/* The renderer's strip plan for a sharpened render of the whole picture. */
static int plan(int* rows, int* last) {
    unsigned limit = ((unsigned)H / 3) & 65534u, count;
    if (!limit) limit = 2;
    if (limit >= H) {
        *rows = H, *last = 0;
        return 1;
    }
    unsigned c = limit & ~1u, d = H / c;
    if (H % c == 0) {
        *rows = (int)c, *last = 0;
        return (int)d;
    }
    unsigned e = d + 1, r = (H + d) / e;
    r += r & 1u;
    if (e * r == H) {
        *rows = (int)r, *last = 0;
        return (int)e;
    }
    *rows = (int)r, *last = (int)(H - d * r);
    count = e;
    return (int)count;
}

static short go_on(int percent, void* user) {
    (void)percent;
    ++*(int*)user;
    return 1;
}

typedef VrelSharpenStatus (*Init)(int32_t, SharpenLibrary**);
typedef VrelSharpenStatus (*Term)(SharpenLibrary**);
typedef VrelSharpenStatus (*Create)(SharpenLibrary*, SharpenFilter**, const FilterRect*, uint32_t, uint32_t, uint32_t,
                                    uint32_t, uint32_t);
typedef VrelSharpenStatus (*Release)(SharpenFilter**);
typedef VrelSharpenStatus (*Sizes)(SharpenFilter*, const FilterRect*, uint32_t*, uint32_t*, uint32_t*);
typedef VrelSharpenStatus (*Rects)(SharpenFilter*, const FilterRect*, FilterRect*);
typedef VrelSharpenStatus (*StripP)(SharpenFilter*, void*, const FilterRect*, const VrelSharpenPlanes*,
                                    const VrelSharpenPlanes*, VrelSharpenProgressProc, void*);

static VrelSharpenPlanes layout(void* block, int columns, int rows) {
    VrelSharpenPlanes v;
    memset(&v, 0, sizeof v);
    v.channels = 3, v.bitsPerSample = 16, v.pixelStride = 6, v.rowStride = columns * 6;
    v.rows = rows, v.columns = columns;
    for (int i = 0; i < 3; ++i) v.plane[i] = (uint8_t*)block + 2 * i;
    return v;
}

/* Sharpens the whole picture through the library in strips of the plan
 * (or one strip), into out. */
static int sharpen_library(void* lib, uint32_t radius, int one_strip, uint16_t (*out)[W][3]) {
    Init init = (Init)bind(lib, "VrelSharpenInitializeLibrary");
    Term term = (Term)bind(lib, "VrelSharpenTerminateLibrary");
    Create create = (Create)bind(lib, "VrelSharpenCreateSharpenFilter");
    Release release = (Release)bind(lib, "VrelSharpenReleaseFilter");
    Sizes sizes = (Sizes)bind(lib, "VrelSharpenGetBufferSizes");
    Rects rects = (Rects)bind(lib, "VrelSharpenSetStripRects");
    StripP strip = (StripP)bind(lib, "VrelSharpenStripWithProgress");
    SharpenLibrary* library = NULL;
    SharpenFilter* filter = NULL;
    if (init(0, &library) != 0) return 0;
    const FilterRect image = {0, 0, H, W};
    int rows, last;
    const int count = one_strip ? 1 : plan(&rows, &last);
    if (one_strip) rows = H, last = 0;
    CHECK(create(library, &filter, &image, 2, AMOUNT, radius, THRESHOLD, 0) == 0);
    uint32_t inBytes = 0, workBytes = 0, outBytes = 0;
    const FilterRect first = {0, 0, rows, W};
    CHECK(sizes(filter, &first, &inBytes, &workBytes, &outBytes) == 0);
    uint8_t* source = calloc(inBytes, 1);
    uint8_t* work = calloc(workBytes, 1);
    uint8_t* output = calloc(outBytes, 1);
    int progress = 0;
    for (int i = 0; i < count; ++i) {
        const int n = (i == count - 1 && last) ? last : rows;
        const FilterRect s = {i * rows, 0, i * rows + n, W};
        FilterRect src;
        CHECK(rects(filter, &s, &src) == 0);
        const int sc = src.right - src.left, sr = src.bottom - src.top;
        CHECK((uint32_t)(sc * sr * 6) <= inBytes);
        for (int y = 0; y < sr; ++y)
            memcpy(source + (size_t)y * sc * 6, &picture[src.top + y][src.left][0], (size_t)sc * 6);
        const VrelSharpenPlanes in = layout(source, sc, sr), outPlanes = layout(output, W, n);
        CHECK(strip(filter, work, &s, &outPlanes, &in, go_on, &progress) == 0);
        for (int y = 0; y < n; ++y) memcpy(&out[s.top + y][0][0], output + (size_t)y * W * 6, (size_t)W * 6);
    }
    CHECK(progress > 0);
    CHECK(release(&filter) == 0);
    CHECK(term(&library) == 0);
    free(source), free(work), free(output);
    return count;
}

static void* read_file(const char* path, uint32_t* size) {
    FILE* f = fopen(path, "rb");
    if (!f) return NULL;
    fseek(f, 0, SEEK_END);
    *size = (uint32_t)ftell(f);
    fseek(f, 0, SEEK_SET);
    void* p = malloc(*size);
    if (fread(p, 1, *size, f) != *size) *size = 0;
    fclose(f);
    return p;
}

static void* load_filter_bytes(const char* generator, int id, uint32_t* size) {
    char path[256], command[4400];
    snprintf(path, sizeof path, "/tmp/sharpen_road_%d_%d.flt", (int)getpid(), id);
    snprintf(command, sizeof command, "'%s' raw %d %s", generator, id, path);
    if (system(command) != 0) return NULL;
    void* p = read_file(path, size);
    remove(path);
    return p;
}

/* Kestra driven directly as the plug-in drives it, over the whole picture. */
static void sharpen_reference(void* kestra, const char* generator, uint32_t radius, uint16_t (*out)[W][3]) {
    PSFStatus (*init)(PSFCaller*) = bind(kestra, "PSFInitialize");
    PSFStatus (*term)(PSFCaller) = bind(kestra, "PSFTerminate");
    PSFStatus (*load)(PSFCaller, const void*, uint32_t, PSFFilter*) = bind(kestra, "PSFLoadFilterFromBuffer");
    PSFStatus (*scale)(PSFFilter, double, PSFFilter, PSFFilter*) = bind(kestra, "PSFScaleSharpeningFilter");
    PSFStatus (*reset)(PSFFilter, int32_t, PSFFilter*) = bind(kestra, "PSFResetKernelSize");
    PSFStatus (*attr)(PSFFilter, int32_t, PSFAttributeValue*) = bind(kestra, "PSFGetFilterAttribute");
    PSFStatus (*setup)(PSFFilter, double, uint16_t, const uint8_t*, int32_t) = bind(kestra, "PSFSharpenSetupT");
    PSFStatus (*rectangles)(PSFFilter, PSFRect*, PSFRect*, PSFRect*, const PSFRect*, uint16_t*, uint16_t, uint16_t) =
        bind(kestra, "PSFRectangles");
    PSFStatus (*begin)(PSFFilter, const PSFRect*) = bind(kestra, "PSFStripBegin");
    PSFStatus (*end)(PSFFilter) = bind(kestra, "PSFStripEnd");
    PSFStatus (*sharpen)(PSFFilter, const PSFPicture*, const PSFPicture*, PSFPicture*, PSFPicture*, PSFProgressProc,
                         void*) = bind(kestra, "PSFSharpen");
    PSFStatus (*freeFilter)(PSFFilter) = bind(kestra, "PSFFreeFilter");

    PSFCaller caller = 0;
    CHECK(init(&caller) == PSFSuccess);
    uint32_t n7 = 0, nr = 0;
    void* b7 = load_filter_bytes(generator, 2005, &n7);
    void* br = load_filter_bytes(generator, 2004, &nr);
    CHECK(b7 && br);
    PSFFilter f7 = 0, fr = 0, f = 0, g = 0;
    CHECK(load(caller, b7, n7, &f7) == PSFSuccess);
    CHECK(load(caller, br, nr, &fr) == PSFSuccess);
    CHECK(scale(f7, radius / 10.0, fr, &f) == PSFSuccess);
    PSFAttributeValue v;
    CHECK(attr(f, PSFAttrTaps, &v) == PSFSuccess);
    if (v.value.integer > 15) {
        CHECK(reset(f, 15, &g) == PSFSuccess);
        freeFilter(f);
        f = g;
    }
    CHECK(attr(f, PSFAttrLevelList, &v) == PSFSuccess);
    const double level0 = v.type == PSFAttrTypeDouble ? v.value.real : v.value.integer;
    double level = AMOUNT * level0 * 0.05;
    if (level > level0) level = level0;
    uint8_t table[256];
    for (int i = 0; i < 256; ++i) {
        const double e = i * 254 / 64.0 + 1;
        table[i] = (uint8_t)(e > 255 ? 255 : e);
    }
    CHECK(setup(f, level, 1, table, THRESHOLD) == PSFSuccess);

    const PSFRect whole = {0, 0, W, H};
    PSFRect src, second, work;
    uint16_t flag = 0;
    CHECK(begin(f, &whole) == PSFSuccess);
    CHECK(rectangles(f, &src, &second, &work, &whole, &flag, 1, 0) == PSFSuccess);
    const int wc = work.x1 - work.x0, wr = work.y1 - work.y0;
    uint16_t* workBuffer = calloc((size_t)wc * wr * 3 + 8, 2);
    PSFPicture s, w, d;
    memset(&s, 0, sizeof s), memset(&w, 0, sizeof w), memset(&d, 0, sizeof d);
    s.rect = whole, s.width = W, s.height = H, s.planeCount = 3;
    d = s;
    w.rect.x1 = wc, w.rect.y1 = wr, w.width = wc, w.height = wr, w.planeCount = 3;
    for (int i = 0; i < 3; ++i) {
        s.planes[i] = (PSFPlane){src.x1 - src.x0, 6, src.y1 - src.y0, (src.x1 - src.x0) * 6, PSFSample16b,
                                 &picture[src.y0][src.x0][i]};
        d.planes[i] = (PSFPlane){W, 6, H, W * 6, PSFSample16b, &out[0][0][i]};
        w.planes[i] = (PSFPlane){wc, 6, wr, wc * 6, PSFSample16b, workBuffer + i};
    }
    const PSFPicture control = s;
    for (int i = 1; i < 3; ++i) s.planes[i].data = w.planes[i].data = d.planes[i].data = NULL;
    CHECK(sharpen(f, &s, &control, &w, &d, NULL, NULL) == PSFSuccess);
    CHECK(end(f) == PSFSuccess);
    freeFilter(f), freeFilter(f7), freeFilter(fr);
    CHECK(term(caller) == PSFSuccess);
    free(workBuffer), free(b7), free(br);
}

static uint16_t strips[H][W][3], whole[H][W][3], reference[H][W][3];

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const char* dir = getenv("LUMORA_PROGRAM_DIR");
    snprintf(folder, sizeof folder, "%s", dir ? dir : ".");
    make_picture();
    void* lib = open_module("VrelSharpenLib.so");
    void* kestra = open_module("libKestra.so");
    const uint32_t radii[] = {10, 35, 100};
    for (int k = 0; k < 3; ++k) {
        memset(strips, 0, sizeof strips), memset(whole, 0, sizeof whole), memset(reference, 0, sizeof reference);
        CHECK(sharpen_library(lib, radii[k], 0, strips) == 4);
        CHECK(sharpen_library(lib, radii[k], 1, whole) == 1);
        sharpen_reference(kestra, argv[1], radii[k], reference);
        int changed = 0, differ = 0, copies = 1, reference_differs = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                if (memcmp(strips[y][x], whole[y][x], 6)) ++differ;
                if (strips[y][x][0] != picture[y][x][0]) ++changed;
                if (strips[y][x][1] != picture[y][x][1] || strips[y][x][2] != picture[y][x][2]) copies = 0;
                if (strips[y][x][0] != reference[y][x][0]) ++reference_differs;
            }
        printf("radius %u: %d of %d samples of channel 0 sharpened\n", radii[k], changed, W * H);
        CHECK(changed > W * H / 4);
        CHECK(differ == 0);
        CHECK(copies);
        CHECK(reference_differs == 0);
    }
    dlclose(lib);
    dlclose(kestra);
    return failures ? 1 : 0;
}
