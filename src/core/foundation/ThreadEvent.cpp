#include "ThreadEvent.h"

#include <chrono>

namespace NimbalCore {

uint32_t ThreadEvent::Wait(uint32_t ms) {
    std::unique_lock lock(mutex_);
    if (ms == kInfinite) {
        changed_.wait(lock, [this] { return signalled_; });
    } else if (!changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return signalled_; })) {
        return kWaitTimeout;
    }
    signalled_ = false;
    return kWaitObject0;
}

void ThreadEvent::Set() {
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    changed_.notify_one();
}

} // namespace NimbalCore
