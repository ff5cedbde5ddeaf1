// The library's exports: each checks its arguments, does its work through
// SharpenLibrary or SharpenFilter and answers 729 for any exception.
#include "SharpenFilter.h"
#include "SharpenLibrary.h"

#include <new>

namespace {

template <typename Fn>
VrelSharpenStatus guarded(Fn&& fn) {
    try {
        return fn();
    } catch (...) {
        return VrelSharpenErrException;
    }
}

VrelSharpenStatus checkFilter(const SharpenFilter* filter) {
    if (!filter) return VrelSharpenErrNullFilter;
    if (!SharpenFilter::IsAlive(filter)) return VrelSharpenErrNoPlugIn;
    return VrelSharpenOK;
}

void destroy(SharpenLibrary* library) { delete library; }

} // namespace

extern "C" {

VrelSharpenStatus VrelSharpenInitializeLibrary(int32_t reserved, SharpenLibrary** out) {
    return guarded([&]() -> VrelSharpenStatus {
        if (!out) return VrelSharpenErrNullArgument;
        *out = nullptr;
        auto* library = new (std::nothrow) SharpenLibrary;
        if (!library) return VrelSharpenErrNoLibraryMemory;
        const VrelSharpenStatus s = library->LoadPlugIn(reserved);
        if (s != VrelSharpenOK) {
            destroy(library);
            return s;
        }
        *out = library;
        return VrelSharpenOK;
    });
}

VrelSharpenStatus VrelSharpenTerminateLibrary(SharpenLibrary** in) {
    return guarded([&]() -> VrelSharpenStatus {
        if (!in) return VrelSharpenErrNullArgument;
        SharpenLibrary* library = *in;
        if (!library) return VrelSharpenErrNoPlugIn;
        VrelSharpenStatus s;
        bool keep = false;
        {
            std::lock_guard<std::recursive_mutex> hold(library->lock);
            s = library->UnloadPlugIn();
            // Filters still open keep the library and its plug-in: the last
            // of them to be released unloads and destroys both.
            if (s == VrelSharpenErrOpenFilters) keep = library->terminated = true;
        }
        if (!keep) destroy(library);
        *in = nullptr;
        return s == VrelSharpenOK ? VrelSharpenOK : VrelSharpenErrTerminate;
    });
}

VrelSharpenStatus VrelSharpenCreateSharpenFilter(SharpenLibrary* library, SharpenFilter** out,
                                                 const FilterRect* image, uint32_t mode, uint32_t amount,
                                                 uint32_t radius, uint32_t threshold, uint32_t flags) {
    return guarded([&]() -> VrelSharpenStatus {
        if (!library || !out) return VrelSharpenErrNullArgument;
        *out = nullptr;
        return library->CreateFilter(out, image, mode, amount, radius, threshold, flags);
    });
}

VrelSharpenStatus VrelSharpenReleaseFilter(SharpenFilter** in) {
    return guarded([&]() -> VrelSharpenStatus {
        if (!in) return VrelSharpenErrNullArgument;
        SharpenFilter* filter = *in;
        if (!filter) return VrelSharpenErrNullFilter;
        if (!SharpenFilter::IsAlive(filter)) return VrelSharpenErrNoPlugIn;
        SharpenLibrary* orphaned = filter->Release();
        delete filter;
        if (orphaned) destroy(orphaned);
        *in = nullptr;
        return VrelSharpenOK;
    });
}

VrelSharpenStatus VrelSharpenGetBufferSizes(SharpenFilter* filter, const FilterRect* strip, uint32_t* input,
                                            uint32_t* work, uint32_t* output) {
    return guarded([&]() -> VrelSharpenStatus {
        const VrelSharpenStatus s = checkFilter(filter);
        return s != VrelSharpenOK ? s : filter->GetBufferSizes(strip, input, work, output);
    });
}

VrelSharpenStatus VrelSharpenSetStripRects(SharpenFilter* filter, const FilterRect* strip, FilterRect* source) {
    return guarded([&]() -> VrelSharpenStatus {
        const VrelSharpenStatus s = checkFilter(filter);
        return s != VrelSharpenOK ? s : filter->SetStripRects(strip, source);
    });
}

VrelSharpenStatus VrelSharpenStrip(SharpenFilter* filter, void* work, const FilterRect* strip,
                                   const VrelSharpenPlanes* destination, const VrelSharpenPlanes* source) {
    return guarded([&]() -> VrelSharpenStatus {
        const VrelSharpenStatus s = checkFilter(filter);
        return s != VrelSharpenOK ? s : filter->Strip(work, strip, destination, source);
    });
}

VrelSharpenStatus VrelSharpenStripWithProgress(SharpenFilter* filter, void* work, const FilterRect* strip,
                                               const VrelSharpenPlanes* destination,
                                               const VrelSharpenPlanes* source, VrelSharpenProgressProc progress,
                                               void* user) {
    return guarded([&]() -> VrelSharpenStatus {
        const VrelSharpenStatus s = checkFilter(filter);
        return s != VrelSharpenOK ? s : filter->StripWithProgress(work, strip, destination, source, progress, user);
    });
}

VrelSharpenStatus VrelSharpenGetAttributeInfo(SharpenFilter* filter, ...) {
    const VrelSharpenStatus s = checkFilter(filter);
    return s != VrelSharpenOK ? s : VrelSharpenErrNoAttributes;
}

VrelSharpenStatus VrelSharpenGetAttributeValue(SharpenFilter* filter, ...) {
    const VrelSharpenStatus s = checkFilter(filter);
    return s != VrelSharpenOK ? s : VrelSharpenErrNoAttributes;
}

VrelSharpenStatus VrelSharpenSetAttributeValue(SharpenFilter* filter, ...) {
    const VrelSharpenStatus s = checkFilter(filter);
    return s != VrelSharpenOK ? s : VrelSharpenErrNoAttributes;
}

} // extern "C"
