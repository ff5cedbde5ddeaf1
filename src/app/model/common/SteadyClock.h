#pragma once
// The clock of the program: the system's monotonic clock, which a change of
// the wall-clock time does not move.
#include "Clock.h"

class SteadyClock final : public Clock {
public:
    TimePoint Now() override;
    void Pause(Duration length) override;
    bool WaitFor(std::condition_variable& wake, std::unique_lock<std::mutex>& lock, Duration length,
                 const std::function<bool()>& done) override;
};
