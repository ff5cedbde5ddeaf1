#pragma once
// Pins a block for the rest of a scope: the pool does not purge it meanwhile.
// The pin is taken under the pool's lock, so a purge that is already running
// finishes first (the owner then finds the block empty and re-creates it) and
// no purge frees the block while it is pinned. Ending the pin counts as a use.
#include <cstdint>

namespace NimbalCore {

class BlockOMemoryBase;

class BlockOMemoryLock {
public:
    explicit BlockOMemoryLock(BlockOMemoryBase* block);
    virtual ~BlockOMemoryLock();
    BlockOMemoryLock(const BlockOMemoryLock&) = delete;
    BlockOMemoryLock& operator=(const BlockOMemoryLock&) = delete;

private:
    BlockOMemoryBase* block_;
    int32_t savedPriority_;
};

} // namespace NimbalCore
