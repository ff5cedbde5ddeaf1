#pragma once
// Resources that a module carries: the array it exports as "VxResourceTable"
// (type name, id, bytes, size; ended by a null type). Loading one gives a
// movable buffer with a copy of its bytes, so the handle is one that
// lockBuffer accepts and freeing it leaves the module's bytes alone.
#include "ORVEXCMS.h"

namespace orvexcms {

class ModuleResources {
public:
    static const VxResourceEntry* find(void* module, const char* type, int32_t id);
    static uint32_t size(void* module, const VxResourceEntry* resource);
    static VxBufferHandle load(void* module, const VxResourceEntry* resource);

private:
    // True when the entry is one of the module's own table.
    static bool belongs(void* module, const VxResourceEntry* resource);
};

} // namespace orvexcms
