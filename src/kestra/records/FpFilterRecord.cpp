#include "FpFilterRecord.h"

#include "FpAttributeList.h"
#include "FpContext.h"
#include "FpKernels.h"
#include "Locked.h"

#include <cstring>

namespace kestra {

FpStatus FpNewFilter(Handle header, Handle attributes, Handle& out) {
    out = 0;
    FpThreadScope thread;
    if (!thread) return FpNoThreadContext;
    const Handle h = allocBufferHandle(sizeof(FpFilter));
    if (!h) return FpNoMemory;
    Locked<FpFilter> f(h);
    if (!f) {
        freeBuffer(h);
        return FpNoMemory;
    }
    std::memset(f.get(), 0, sizeof(FpFilter));
    f->self = h;
    f->header = header;
    f->attributes = attributes;
    f->kernels = 0;
    out = h;
    return FpOk;
}

FpStatus FpFreeFilter(Handle filter) {
    if (!filter) return FpBadFilterHandle;
    Locked<FpFilter> f(filter);
    if (!f) return FpBadFilterHandle;
    if (f->kernels) FpReleaseKernelSet(f->kernels);
    f->kernels = 0;
    if (f->header) freeBuffer(f->header);
    FpFreeAttributeList(f->attributes);
    f.release();
    freeBuffer(filter);
    return FpOk;
}

FpStatus FpFreeKernels(Handle filter) {
    Locked<FpFilter> f(filter);
    if (!f) return FpBadFilterHandle;
    if (!f->kernels) return FpAttributesOnly;
    FpReleaseKernelSet(f->kernels);
    f->kernels = 0;
    return FpOk;
}

FpStatus FpFilterState(Handle filter) {
    if (!filter) return FpBadFilterHandle;
    Locked<FpFilter> f(filter);
    if (!f) return FpBadFilterHandle;
    return f->kernels ? FpHasKernels : FpAttributesOnly;
}

FpStatus FpFilterParts(Handle filter, Handle* header, Handle* attributes, Handle* kernels) {
    if (!filter) return FpBadFilterHandle;
    Locked<FpFilter> f(filter);
    if (!f) return FpBadFilterHandle;
    if (header) *header = f->header;
    if (attributes) *attributes = f->attributes;
    if (kernels) *kernels = f->kernels;
    return f->kernels ? FpHasKernels : FpAttributesOnly;
}

FpStatus FpFilterHeaderHandle(Handle filter, Handle& header) {
    header = 0;
    return FpFilterParts(filter, &header, nullptr, nullptr);
}

FpStatus FpFilterAttributes(Handle filter, Handle& attributes) {
    attributes = 0;
    return FpFilterParts(filter, nullptr, &attributes, nullptr);
}

FpStatus FpFilterKernels(Handle filter, Handle& kernels) {
    kernels = 0;
    return FpFilterParts(filter, nullptr, nullptr, &kernels);
}

FpStatus FpSetFilterAttributes(Handle filter, Handle attributes) {
    Locked<FpFilter> f(filter);
    if (!f) return FpBadFilterHandle;
    f->attributes = attributes;
    return FpOk;
}

FpStatus FpSetFilterKernels(Handle filter, Handle kernels) {
    Locked<FpFilter> f(filter);
    if (!f) return FpBadFilterHandle;
    f->kernels = kernels;
    return FpOk;
}

FpStatus FpClearFilterKernels(Handle filter) { return FpSetFilterKernels(filter, 0); }

FpStatus FpAttachKernels(Handle filter, Handle kernels) { return FpSetFilterKernels(filter, kernels); }

void FpSaveGeometry(FpThreadContext* thread, Handle filter) {
    Locked<FpFilter> f(filter);
    if (f && thread) f->geometry = thread->geometry;
}

void FpRestoreGeometry(FpThreadContext* thread, Handle filter) {
    Locked<FpFilter> f(filter);
    if (f && thread) thread->geometry = f->geometry;
}

} // namespace kestra
