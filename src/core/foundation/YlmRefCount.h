#pragma once
// The intrusive reference count of the long-lived core objects, guarded by a
// lock of the object's own so that counted pointers to one object may be
// copied and released on several threads at once. The count deletes nothing
// itself: the holder whose release answers true deletes the object.
#include "StCriticalSectionLock.h"

#include <cstdint>

namespace NimbalCore {

template <typename Lock>
class YlmRefCount {
public:
    YlmRefCount() = default;
    YlmRefCount(const YlmRefCount&) = delete;
    YlmRefCount& operator=(const YlmRefCount&) = delete;
    // A stale pointer to a destroyed object sees a negative count.
    ~YlmRefCount() { count_ = -1; }

    void AddReference() {
        std::lock_guard<Lock> guard(mutex_);
        ++count_;
    }
    // True when this was the last reference.
    bool RemoveReference() {
        std::lock_guard<Lock> guard(mutex_);
        return --count_ == 0;
    }
    int32_t GetReferenceCount() {
        std::lock_guard<Lock> guard(mutex_);
        return count_;
    }

protected:
    Lock& GetMutex() { return mutex_; }

private:
    int32_t count_ = 0;
    Lock mutex_;
};

} // namespace NimbalCore
