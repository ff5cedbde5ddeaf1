#pragma once
// The sharpen library's entries the renderer calls, bound by name when the
// image pool starts, and the library object they work with. The code that
// binds the library installs its loader here; until then nothing is bound
// and images render unsharpened.
#include "FilterRect.h"
#include "PixelLayout.h"

#include <cstdint>

namespace NimbalCore {

struct VrelSharpenProcs {
    using ProgressProc = int (*)(int percent, void* context);

    void* module = nullptr;
    int32_t (*InitializeLibrary)(int32_t flags, void** library) = nullptr;
    int32_t (*TerminateLibrary)(void** library) = nullptr;
    int32_t (*CreateSharpenFilter)(void* library, void** filter, const FilterRect* image, int32_t mode,
                                   int32_t amount, int32_t radius, int32_t threshold, int32_t flags) = nullptr;
    int32_t (*GetBufferSizes)(void* filter, const FilterRect* strip, uint32_t* sourceBytes, uint32_t* workBytes,
                              uint32_t* outputBytes) = nullptr;
    int32_t (*SetStripRects)(void* filter, const FilterRect* strip, FilterRect* source) = nullptr;
    int32_t (*StripWithProgress)(void* filter, void* work, const FilterRect* strip,
                                 const VrelSharpenPlanes* destination, const VrelSharpenPlanes* source,
                                 ProgressProc progress, void* context) = nullptr;
    int32_t (*ReleaseFilter)(void** filter) = nullptr;

    // Binding and unbinding: 0 or a status.
    using LoadProc = int32_t (*)(VrelSharpenProcs* procs);
    static void SetBinding(LoadProc load, LoadProc unload);
    static LoadProc loader;
    static LoadProc unloader;

    // The process-wide table and library object (written only when the
    // pool starts and ends).
    static VrelSharpenProcs table;
    static void* library;
};

} // namespace NimbalCore
