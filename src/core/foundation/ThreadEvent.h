#pragma once
// An auto-reset event: Set lets one Wait through.
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace NimbalCore {

class ThreadEvent {
public:
    static constexpr uint32_t kWaitObject0 = 0;
    static constexpr uint32_t kWaitTimeout = 258;
    static constexpr uint32_t kInfinite = 0xFFFFFFFF;

    ThreadEvent() = default;
    ThreadEvent(const ThreadEvent&) = delete;
    ThreadEvent& operator=(const ThreadEvent&) = delete;

    // kWaitObject0 when set within ms milliseconds (kInfinite: no limit),
    // else kWaitTimeout.
    uint32_t Wait(uint32_t ms);
    void Set();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_ = false;
};

} // namespace NimbalCore
