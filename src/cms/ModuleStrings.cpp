#include "ModuleStrings.h"

#include "ORVEXCMS.h"

#include <cstring>
#include <dlfcn.h>
#include <link.h>

namespace orvexcms {

const void* ModuleStrings::ownSymbol(void* module, const char* name) {
    if (!module) return nullptr;
    const void* sym = dlsym(module, name);
    if (!sym) return nullptr;
    link_map* map = nullptr;
    Dl_info info{};
    if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map || !dladdr(sym, &info)) return nullptr;
    return reinterpret_cast<uintptr_t>(info.dli_fbase) == uintptr_t(map->l_addr) ||
                   (info.dli_fname && map->l_name && std::strcmp(info.dli_fname, map->l_name) == 0)
               ? sym
               : nullptr;
}

int32_t ModuleStrings::copy(const char* text, char* buffer, int32_t size) {
    const size_t n = std::strlen(text);
    if (n + 1 > size_t(size)) {
        buffer[0] = 0;
        return VxStrTooLong;
    }
    std::memcpy(buffer, text, n + 1);
    return 0;
}

int32_t ModuleStrings::text(void* module, int32_t id, char* buffer, int32_t size) {
    if (!buffer || size <= 0) return VxStrBadArgument;
    buffer[0] = 0;
    const auto* table = static_cast<const VxStringEntry*>(ownSymbol(module, "VxStringTable"));
    if (!table) return VxStrNoTable;
    for (const VxStringEntry* e = table; e->text; ++e)
        if (e->id == id) return copy(e->text, buffer, size);
    return VxStrNotFound;
}

int32_t ModuleStrings::productVersion(void* module, char* buffer, int32_t size) {
    if (!buffer || size <= 0) return VxStrBadArgument;
    buffer[0] = 0;
    const auto* version = static_cast<const char*>(ownSymbol(module, "VxProductVersion"));
    if (!version) return VxStrNoTable;
    return copy(version, buffer, size);
}

} // namespace orvexcms
