#include "LoadedModules.h"

#include <DynamicModule.h>

#include <dlfcn.h>
#include <link.h>

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
    // The loaded objects are matched by the file name of their path, so the
    // answer does not depend on the search path of whoever asks.
    struct Search {
        std::vector<std::string> names;
        std::string path;
    } search{candidates(name), {}};
    if (search.names.empty()) return nullptr;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
            auto* s = static_cast<Search*>(data);
            if (!info->dlpi_name || !info->dlpi_name[0]) return 0;
            const std::string path = info->dlpi_name;
            const std::string file = path.substr(path.rfind('/') + 1);
            for (const std::string& n : s->names)
                if (file == n) {
                    s->path = path;
                    return 1;
                }
            return 0;
        },
        &search);
    if (search.path.empty()) return nullptr;
    // RTLD_NOLOAD only finds what is loaded already; the reference it adds is
    // given back at once, the library staying loaded through whoever loaded it.
    void* handle = dlopen(search.path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle;
}

} // namespace orvexcms
