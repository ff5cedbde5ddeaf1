#include "ModuleResources.h"

#include "BufferRegistry.h"
#include "ModuleStrings.h"

#include <cstring>

namespace orvexcms {

namespace {
const VxResourceEntry* tableOf(void* module) {
    return static_cast<const VxResourceEntry*>(ModuleStrings::ownSymbol(module, "VxResourceTable"));
}
} // namespace

const VxResourceEntry* ModuleResources::find(void* module, const char* type, int32_t id) {
    if (!type) return nullptr;
    const VxResourceEntry* table = tableOf(module);
    if (!table) return nullptr;
    for (const VxResourceEntry* e = table; e->type; ++e)
        if (e->id == id && std::strcmp(e->type, type) == 0) return e;
    return nullptr;
}

bool ModuleResources::belongs(void* module, const VxResourceEntry* resource) {
    const VxResourceEntry* table = tableOf(module);
    if (!table || !resource) return false;
    for (const VxResourceEntry* e = table; e->type; ++e)
        if (e == resource) return true;
    return false;
}

uint32_t ModuleResources::size(void* module, const VxResourceEntry* resource) {
    return belongs(module, resource) ? resource->size : 0;
}

VxBufferHandle ModuleResources::load(void* module, const VxResourceEntry* resource) {
    if (!belongs(module, resource) || (!resource->bytes && resource->size)) return 0;
    BufferRegistry& buffers = BufferRegistry::instance();
    const uint32_t handle = buffers.alloc(resource->size);
    if (!handle) return 0;
    void* p = buffers.lock(handle);
    if (!p) {
        buffers.free(handle);
        return 0;
    }
    if (resource->size) std::memcpy(p, resource->bytes, resource->size);
    buffers.unlock(handle);
    return handle;
}

} // namespace orvexcms
