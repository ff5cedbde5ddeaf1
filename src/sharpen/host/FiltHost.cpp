#include "FiltHost.h"

#include "DynamicModule.h"
#include "ORVEXCMS.h"

#include <dlfcn.h>

#include <cstring>

namespace {

// Resolves the name the way every module of ours is found (program folder,
// then the asking library's folder, then the search path) and keeps the
// loader's own handle, which the plug-in also uses for its resources.
void* loadNative(const char* name) {
    uint32_t error = 0;
    auto module = lumora::DynamicModule::load(name, error, reinterpret_cast<const void*>(&FiltHostLoadModule));
    if (!module) return nullptr;
    return dlopen(module->path().c_str(), RTLD_NOW | RTLD_LOCAL);
}

struct LockedHandle {
    explicit LockedHandle(VxFiltPlugIn h) : handle(h), record(static_cast<VxFiltHandle*>(lockBuffer(h))) {}
    ~LockedHandle() {
        if (record) unlockBuffer(handle);
    }
    void unlock() {
        if (record) unlockBuffer(handle);
        record = nullptr;
    }
    VxFiltPlugIn handle;
    VxFiltHandle* record;
};

} // namespace

extern "C" {

VxFiltStatus FiltHostMapStatus(int32_t code) {
    switch (code) {
    case FiltHostDone: return VxFiltSuccess;
    case FiltHostNoMemory: return VxFiltFailure;
    case FiltHostNotLoaded: return VxFiltErrLoad;
    case FiltHostNotUnloaded: return VxFiltErrUnload;
    default: return VxFiltStatus(code);
    }
}

int32_t FiltHostLoadModule(const char* name, VxFiltPlugIn* plugIn) {
    if (!name || !plugIn) return FiltHostNotLoaded;
    void* module = loadNative(name);
    if (!module) return FiltHostNotLoaded;
    const VxBufferHandle h = allocBufferHandle(sizeof(VxFiltHandle));
    VxFiltHandle* record = h ? static_cast<VxFiltHandle*>(lockBuffer(h)) : nullptr;
    if (!record) {
        if (h) freeBuffer(h);
        dlclose(module);
        return FiltHostNoMemory;
    }
    record->plugInModule = module;
    record->hostModule = module;
    record->instance = 0;
    unlockBuffer(h);
    *plugIn = h;
    return FiltHostDone;
}

int32_t FiltHostFreeModule(VxFiltPlugIn plugIn) {
    void* module = nullptr;
    if (auto* record = static_cast<VxFiltHandle*>(lockBuffer(plugIn))) {
        module = record->hostModule;
        unlockBuffer(plugIn);
    }
    const bool freed = module && dlclose(module) == 0;
    freeBuffer(plugIn);
    return freed ? FiltHostDone : FiltHostNotUnloaded;
}

VxFiltStatus FiltHostUnloadPlugIn(VxFiltPlugIn plugIn) {
    {
        LockedHandle locked(plugIn);
        if (locked.record && locked.record->hostModule) {
            auto unload = reinterpret_cast<VxFiltUnloadPluginProc>(dlsym(locked.record->hostModule, "VxFiltUnloadPlugin"));
            locked.unlock();
            if (unload) unload(plugIn);
        }
    }
    return FiltHostMapStatus(FiltHostFreeModule(plugIn));
}

VxFiltStatus FiltHostLoadPlugIn(const char* name, VxFiltPlugIn* plugIn, VxFiltProcs* procs, VxFiltInfo* info) {
    if (!plugIn || !procs) return VxFiltErrBadArgument;
    VxFiltPlugIn h = 0;
    const int32_t loaded = FiltHostLoadModule(name, &h);
    if (loaded != FiltHostDone) return FiltHostMapStatus(loaded);

    void* module = nullptr;
    if (auto* record = static_cast<VxFiltHandle*>(lockBuffer(h))) {
        module = record->hostModule;
        unlockBuffer(h);
    }
    bool complete = module != nullptr;
    VxFiltStatus described = VxFiltFailure;
    auto describe = module ? reinterpret_cast<VxFiltGetInfoPrivProc>(dlsym(module, "VxFiltGetInfoPriv")) : nullptr;
    if (describe)
        described = describe(h, info);
    else
        complete = false;

    struct Entry {
        const char* name;
        void** slot;
    } entries[] = {{"VxFiltSetup", reinterpret_cast<void**>(&procs->setup)},
                   {"VxFiltRectangles", reinterpret_cast<void**>(&procs->rectangles)},
                   {"VxFiltClose", reinterpret_cast<void**>(&procs->close)},
                   {"VxFiltStripBegin", reinterpret_cast<void**>(&procs->stripBegin)},
                   {"VxFiltStripEnd", reinterpret_cast<void**>(&procs->stripEnd)},
                   {"VxFiltProcess", reinterpret_cast<void**>(&procs->process)}};
    for (const Entry& e : entries) {
        if (!complete) break;
        *e.slot = dlsym(module, e.name);
        if (!*e.slot) complete = false;
    }
    if (!complete) {
        FiltHostUnloadPlugIn(h);
        return VxFiltErrMissingEntry;
    }
    *plugIn = h;
    return described;
}

} // extern "C"
