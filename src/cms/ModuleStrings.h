#pragma once
// String tables and product versions of modules: a module exports its table
// as "VxStringTable" (entries ended by a null text) and its version as the
// text "VxProductVersion". Only the module's own symbols count, never one it
// inherits from a library it links.
#include <cstdint>

namespace orvexcms {

class ModuleStrings {
public:
    static int32_t text(void* module, int32_t id, char* buffer, int32_t size);
    static int32_t productVersion(void* module, char* buffer, int32_t size);
    // The module's own exported symbol of that name; null when it has none.
    static const void* ownSymbol(void* module, const char* name);

private:
    static int32_t copy(const char* text, char* buffer, int32_t size);
};

} // namespace orvexcms
