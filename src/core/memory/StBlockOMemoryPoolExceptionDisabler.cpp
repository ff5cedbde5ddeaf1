#include "StBlockOMemoryPoolExceptionDisabler.h"

#include "BlockOMemoryPool.h"

namespace NimbalCore {

StBlockOMemoryPoolExceptionDisabler::StBlockOMemoryPoolExceptionDisabler() {
    BlockOMemoryPool::Instance(true)->AddDisabler();
}

StBlockOMemoryPoolExceptionDisabler::~StBlockOMemoryPoolExceptionDisabler() {
    BlockOMemoryPool::Instance(true)->RemoveDisabler();
}

} // namespace NimbalCore
