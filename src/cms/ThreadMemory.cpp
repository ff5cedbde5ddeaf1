#include "ThreadMemory.h"

#include "ORVEXCMS.h"

#include <cstdlib>
#include <sys/syscall.h>
#include <unistd.h>

namespace orvexcms {

ThreadMemory& ThreadMemory::instance() {
    static ThreadMemory* memory = new ThreadMemory;
    return *memory;
}

bool ThreadMemory::keyFor(const void* key, int32_t scope, Key& out) {
    if (!key) return false;
    if (scope == VxScopeProcess)
        out = Key{key, scope, 0};
    else if (scope == VxScopeThread)
        out = Key{key, scope, uint64_t(syscall(SYS_gettid))};
    else
        return false;
    return true;
}

void* ThreadMemory::create(const void* key, int32_t scope, uint32_t size) {
    Key k;
    if (!keyFor(key, scope, k)) return nullptr;
    std::lock_guard guard(mutex_);
    if (blocks_.count(k)) return nullptr; // one block per key and scope
    void* data = std::calloc(1, size ? size : 1);
    if (!data) return nullptr;
    blocks_.emplace(k, Block{data, 1});
    return data;
}

void* ThreadMemory::find(const void* key, int32_t scope) {
    Key k;
    if (!keyFor(key, scope, k)) return nullptr;
    std::lock_guard guard(mutex_);
    auto it = blocks_.find(k);
    if (it == blocks_.end()) return nullptr;
    ++it->second.locks;
    return it->second.data;
}

void ThreadMemory::unlock(const void* key, int32_t scope) {
    Key k;
    if (!keyFor(key, scope, k)) return;
    std::lock_guard guard(mutex_);
    auto it = blocks_.find(k);
    if (it != blocks_.end() && it->second.locks > 0) --it->second.locks;
}

void ThreadMemory::destroy(const void* key, int32_t scope) {
    Key k;
    if (!keyFor(key, scope, k)) return;
    std::lock_guard guard(mutex_);
    auto it = blocks_.find(k);
    if (it == blocks_.end()) return;
    std::free(it->second.data);
    blocks_.erase(it);
}

} // namespace orvexcms
