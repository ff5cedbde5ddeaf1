#include "BufferRegistry.h"

#include <MovableMemory.h>

namespace orvexcms {

using lumora::MovableMemory;

BufferRegistry& BufferRegistry::instance() {
    static BufferRegistry* registry = new BufferRegistry;
    return *registry;
}

uint32_t BufferRegistry::alloc(uint32_t size) { return MovableMemory::alloc(size, false); }

void* BufferRegistry::lock(uint32_t handle) {
    std::lock_guard guard(mutex_);
    void* p = MovableMemory::lock(handle);
    if (p) {
        byPointer_[p] = handle;
        byHandle_[handle] = p;
    }
    return p;
}

void BufferRegistry::forget(uint32_t handle) {
    auto it = byHandle_.find(handle);
    if (it == byHandle_.end()) return;
    byPointer_.erase(it->second);
    byHandle_.erase(it);
}

void BufferRegistry::unlock(uint32_t handle) {
    std::lock_guard guard(mutex_);
    if (MovableMemory::lockCount(handle) == 0) return;
    if (MovableMemory::unlock(handle) == 0) forget(handle);
}

void BufferRegistry::free(uint32_t handle) {
    std::lock_guard guard(mutex_);
    if (MovableMemory::free(handle)) forget(handle);
}

void* BufferRegistry::allocLocked(uint32_t size) {
    const uint32_t h = alloc(size);
    if (!h) return nullptr;
    void* p = lock(h);
    if (!p) MovableMemory::free(h);
    return p;
}

void BufferRegistry::freeByPointer(void* pointer) {
    std::lock_guard guard(mutex_);
    auto it = byPointer_.find(pointer);
    if (it == byPointer_.end()) return;
    const uint32_t h = it->second;
    MovableMemory::free(h);
    forget(h);
}

uint32_t BufferRegistry::unlockByPointer(void* pointer) {
    std::lock_guard guard(mutex_);
    auto it = byPointer_.find(pointer);
    if (it == byPointer_.end()) return 0;
    const uint32_t h = it->second;
    if (MovableMemory::unlock(h) == 0) forget(h);
    return h;
}

uint32_t BufferRegistry::handleOf(void* pointer) const {
    std::lock_guard guard(mutex_);
    auto it = byPointer_.find(pointer);
    return it == byPointer_.end() ? 0 : it->second;
}

} // namespace orvexcms
