#include "SharpenLibrary.h"

#include "FiltHost.h"
#include "SharpenFilter.h"

#include <cstring>
#include <new>

VrelSharpenStatus SharpenLibrary::LoadPlugIn(int32_t reservedValue) {
    std::lock_guard<std::recursive_mutex> hold(lock);
    reserved = reservedValue;
    if (plugIn) return VrelSharpenOK;
    char name[256] = {};
    std::strncpy(name, "TalpSharp", sizeof name - 1);
    VxFiltPlugIn h = 0;
    const VxFiltStatus s = FiltHostLoadPlugIn(name, &h, &procs, &info);
    if (s != VxFiltSuccess) {
        // A plug-in bound but not described is unloaded at once: it would
        // otherwise stay in the process half started.
        if (h) FiltHostUnloadPlugIn(h);
        plugIn = 0;
        procs = {};
        return VrelSharpenErrPlugInLoad;
    }
    plugIn = h;
    return VrelSharpenOK;
}

VrelSharpenStatus SharpenLibrary::UnloadPlugIn() {
    std::lock_guard<std::recursive_mutex> hold(lock);
    if (!plugIn) return VrelSharpenErrNoPlugIn;
    if (openFilters > 0) return VrelSharpenErrOpenFilters;
    VxFiltStatus s = procs.close ? procs.close(plugIn) : VxFiltStatus(VxFiltFailure);
    if (s == VxFiltSuccess) s = FiltHostUnloadPlugIn(plugIn);
    procs = {};
    plugIn = 0;
    return s == VxFiltSuccess ? VrelSharpenOK : VrelSharpenErrTerminate;
}

VrelSharpenStatus SharpenLibrary::CreateFilter(SharpenFilter** out, const FilterRect* image, uint32_t mode,
                                               uint32_t amount, uint32_t radius, uint32_t threshold,
                                               uint32_t flags) {
    std::lock_guard<std::recursive_mutex> hold(lock);
    auto* filter = new (std::nothrow) SharpenFilter(this);
    if (!filter) return VrelSharpenErrSetup;
    const VrelSharpenStatus s = filter->Setup(image, mode, amount, radius, threshold, flags);
    if (s != VrelSharpenOK) {
        delete filter;
        return s;
    }
    *out = filter;
    ++openFilters;
    return VrelSharpenOK;
}

bool SharpenLibrary::FilterReleased() {
    std::lock_guard<std::recursive_mutex> hold(lock);
    if (openFilters > 0) --openFilters;
    if (!terminated || openFilters > 0) return false;
    UnloadPlugIn();
    return true;
}
