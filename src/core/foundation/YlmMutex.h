#pragma once
// The core's lock: re-entrant for the thread that holds it, because releasing
// an image can remove it from the pool, which releases it again on the same
// thread under the same lock.
#include <mutex>

namespace NimbalCore {

class YlmMutex {
public:
    YlmMutex() = default;
    YlmMutex(const YlmMutex&) = delete;
    YlmMutex& operator=(const YlmMutex&) = delete;

    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }

    // So that standard guards work too.
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    bool try_lock() { return mutex_.try_lock(); }

private:
    std::recursive_mutex mutex_;
};

} // namespace NimbalCore
