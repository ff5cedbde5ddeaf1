#include "BlockOMemoryLock.h"

#include "BlockOMemoryBase.h"
#include "BlockOMemoryPool.h"
#include "StCriticalSectionLock.h"

namespace NimbalCore {

BlockOMemoryLock::BlockOMemoryLock(BlockOMemoryBase* block) : block_(block) {
    StCriticalSectionLock guard(BlockOMemoryPool::Instance(true)->GetLock());
    savedPriority_ = block_->GetPurgePriority();
    block_->SetPurgePriority(BlockOMemoryBase::kPinned);
}

BlockOMemoryLock::~BlockOMemoryLock() {
    StCriticalSectionLock guard(BlockOMemoryPool::Instance(true)->GetLock());
    block_->Touch();
    block_->SetPurgePriority(savedPriority_);
}

} // namespace NimbalCore
