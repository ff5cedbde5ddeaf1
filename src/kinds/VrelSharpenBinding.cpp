#include "VrelSharpenBinding.h"

#include "DynamicModule.h"
#include "Win32Error.h"

#include <cerrno>
#include <cstring>

namespace NimbalCore {

namespace {

constexpr const char* kExports[11] = {
    "VrelSharpenInitializeLibrary", "VrelSharpenTerminateLibrary", "VrelSharpenCreateSharpenFilter",
    "VrelSharpenReleaseFilter",     "VrelSharpenGetBufferSizes",   "VrelSharpenSetStripRects",
    "VrelSharpenStrip",             "VrelSharpenGetAttributeInfo", "VrelSharpenGetAttributeValue",
    "VrelSharpenSetAttributeValue", "VrelSharpenStripWithProgress"};

// The table as the twelve pointer-sized entries it is laid out as.
void** entries(VrelSharpenProcs* procs) { return reinterpret_cast<void**>(procs); }

} // namespace

int32_t LoadVrelSharpenLib(const char* name, VrelSharpenProcs* procs) {
    errno = 0;
    if (!name || !procs) return VrelBindMissingArgument;
    std::memset(procs, 0, sizeof *procs);
    uint32_t error = 0;
    std::unique_ptr<lumora::DynamicModule> module = lumora::DynamicModule::load(name, error);
    if (!module) return VrelBindNotLoadable;
    lumora::DynamicModule* m = module.release();
    procs->module = m;
    for (int32_t i = 0; i < 11; ++i) {
        void* address = m->symbol(kExports[i], error);
        if (!address) return int32_t(error ? error : lumora::win32::ERROR_GEN_FAILURE);
        entries(procs)[i + 1] = address;
    }
    return 0;
}

int32_t UnloadVrelSharpenLib(VrelSharpenProcs* procs) {
    errno = 0;
    if (!procs) return VrelBindMissingArgument;
    delete static_cast<lumora::DynamicModule*>(procs->module);
    std::memset(procs, 0, sizeof *procs);
    return 0;
}

} // namespace NimbalCore
