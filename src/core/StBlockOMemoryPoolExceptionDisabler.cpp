#include "StBlockOMemoryPoolExceptionDisabler.h"

#include "BlockOMemoryPool.h"

namespace NimbalCore {

StBlockOMemoryPoolExceptionDisabler::StBlockOMemoryPoolExceptionDisabler() {
    BlockOMemoryPool* pool = BlockOMemoryPool::Instance(true);
    saved_ = pool->GetThrowOnFailure();
    pool->SetThrowOnFailure(0);
}

StBlockOMemoryPoolExceptionDisabler::~StBlockOMemoryPoolExceptionDisabler() {
    BlockOMemoryPool::Instance(true)->SetThrowOnFailure(saved_);
}

} // namespace NimbalCore
