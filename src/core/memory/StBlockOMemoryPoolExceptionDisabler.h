#pragma once
// While it lives, the pool does not throw when it cannot free enough memory:
// the allocation fails the allocator's own way instead. For calls into code
// that checks its allocations itself. Affects every thread; the pool throws
// again once the last disabler alive has ended, in whatever order they end.
#include <cstdint>

namespace NimbalCore {

class StBlockOMemoryPoolExceptionDisabler {
public:
    StBlockOMemoryPoolExceptionDisabler();
    virtual ~StBlockOMemoryPoolExceptionDisabler();
    StBlockOMemoryPoolExceptionDisabler(const StBlockOMemoryPoolExceptionDisabler&) = delete;
    StBlockOMemoryPoolExceptionDisabler& operator=(const StBlockOMemoryPoolExceptionDisabler&) = delete;
};

} // namespace NimbalCore
