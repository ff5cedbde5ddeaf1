#pragma once
// Holds a core lock for the rest of a scope.
#include "YlmMutex.h"

namespace NimbalCore {

class StCriticalSectionLock {
public:
    explicit StCriticalSectionLock(YlmMutex* mutex) : mutex_(mutex) { mutex_->Enter(); }
    explicit StCriticalSectionLock(YlmMutex& mutex) : StCriticalSectionLock(&mutex) {}
    ~StCriticalSectionLock() { mutex_->Leave(); }
    StCriticalSectionLock(const StCriticalSectionLock&) = delete;
    StCriticalSectionLock& operator=(const StCriticalSectionLock&) = delete;

private:
    YlmMutex* mutex_;
};

} // namespace NimbalCore
