#pragma once
// The sharpen library's handle: the plug-in it loaded, the plug-in's entry
// points and the count of open filters, under one lock.
#include "VrelSharpen.h"
#include "VxFilt.h"

#include <mutex>

struct SharpenLibrary {
    VxFiltPlugIn plugIn = 0;
    int32_t reserved = 0;
    VxFiltProcs procs{};
    VxFiltInfo info{};
    int32_t openFilters = 0;
    std::recursive_mutex lock;
    // Set when the library was terminated while filters were still open: the
    // last release unloads the plug-in and destroys the library.
    bool terminated = false;

    VrelSharpenStatus LoadPlugIn(int32_t reservedValue);
    VrelSharpenStatus UnloadPlugIn();
    VrelSharpenStatus CreateFilter(SharpenFilter** out, const FilterRect* image, uint32_t mode, uint32_t amount,
                                   uint32_t radius, uint32_t threshold, uint32_t flags);
    // One open filter less; true when the library is to be destroyed now.
    bool FilterReleased();
};
