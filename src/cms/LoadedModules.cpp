#include "LoadedModules.h"

#include <DynamicModule.h>

#include <dlfcn.h>

namespace orvexcms {

std::vector<std::string> LoadedModules::candidates(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos) return {};
    const std::string file = lumora::DynamicModule::fileNameFor(name); // Name.so
    std::vector<std::string> out;
    if (file.rfind("lib", 0) != 0) out.push_back("lib" + file);
    out.push_back(file);
    return out;
}

void* LoadedModules::handleOf(const char* name) {
    if (!name) return nullptr;
    for (const std::string& file : candidates(name)) {
        // RTLD_NOLOAD finds a library only when it is loaded already; the
        // reference it adds is given back at once, the library staying loaded
        // through whoever loaded it.
        void* handle = dlopen(file.c_str(), RTLD_LAZY | RTLD_NOLOAD);
        if (handle) {
            dlclose(handle);
            return handle;
        }
    }
    return nullptr;
}

} // namespace orvexcms
