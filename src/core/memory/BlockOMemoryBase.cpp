#include "BlockOMemoryBase.h"

#include "BlockOMemoryPool.h"

namespace NimbalCore {

BlockOMemoryBase::~BlockOMemoryBase() {
    // A block must never stay listed once it is gone, whatever its class did.
    if (BlockOMemoryPool* pool = BlockOMemoryPool::Existing()) pool->RemoveBlock(this);
}

void BlockOMemoryBase::RegisterWithPool() {
    BlockOMemoryPool::Instance(true)->AddBlock(this);
}

void BlockOMemoryBase::UnregisterFromPool() {
    BlockOMemoryPool::Instance(true)->RemoveBlock(this);
}

} // namespace NimbalCore
