#pragma once
// The movable-buffer calls over the platform's movable memory. Callers that
// work by pointer (allocBufferPtr, unlockBufferPtr, getHandleFromPtr) need the
// handle behind a locked pointer; this keeps that index for the blocks that
// are locked, and forgets a pointer on its block's last unlock, when the block
// may move.
#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace orvexcms {

class BufferRegistry {
public:
    static BufferRegistry& instance();

    uint32_t alloc(uint32_t size);
    void* lock(uint32_t handle);
    void unlock(uint32_t handle);
    void free(uint32_t handle);
    void* allocLocked(uint32_t size);
    void freeByPointer(void* pointer);
    uint32_t unlockByPointer(void* pointer);
    uint32_t handleOf(void* pointer) const;

private:
    BufferRegistry() = default;
    void forget(uint32_t handle);

    mutable std::mutex mutex_;
    std::unordered_map<void*, uint32_t> byPointer_;
    std::unordered_map<uint32_t, void*> byHandle_;
};

} // namespace orvexcms
