#include "SteadyClock.h"

#include <thread>

Clock::TimePoint SteadyClock::Now() { return std::chrono::steady_clock::now(); }

void SteadyClock::Pause(Duration length) {
    if (length > Duration::zero()) std::this_thread::sleep_for(length);
}

bool SteadyClock::WaitFor(std::condition_variable& wake, std::unique_lock<std::mutex>& lock, Duration length,
                          const std::function<bool()>& done) {
    return wake.wait_for(lock, length, done);
}
