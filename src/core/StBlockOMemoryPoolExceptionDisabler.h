#pragma once
// While it lives, the pool does not throw when it cannot free enough memory:
// the allocation fails the allocator's own way instead. For calls into code
// that checks its allocations itself. Affects every thread; nested disablers
// restore in reverse order.
#include <cstdint>

namespace NimbalCore {

class StBlockOMemoryPoolExceptionDisabler {
public:
    StBlockOMemoryPoolExceptionDisabler();
    virtual ~StBlockOMemoryPoolExceptionDisabler();
    StBlockOMemoryPoolExceptionDisabler(const StBlockOMemoryPoolExceptionDisabler&) = delete;
    StBlockOMemoryPoolExceptionDisabler& operator=(const StBlockOMemoryPoolExceptionDisabler&) = delete;

private:
    int32_t saved_;
};

} // namespace NimbalCore
