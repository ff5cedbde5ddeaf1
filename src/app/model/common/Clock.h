#pragma once
// Time as the program's waits and periods see it: the folder rescans, the
// sound player's pauses between sounds, the short timers of the windows.
// The program runs on the steady clock; tests put in a clock they advance
// themselves, so that a three-second period costs them no three seconds.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

class Clock {
public:
    using Duration = std::chrono::steady_clock::duration;
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;
    virtual TimePoint Now() = 0;
    // Waits for the time to pass.
    virtual void Pause(Duration length) = 0;
    // Waits on the caller's condition, which the caller signals through
    // wake, for at most length; answers done() at the end. The lock is held
    // when done is asked and when the call returns.
    virtual bool WaitFor(std::condition_variable& wake, std::unique_lock<std::mutex>& lock, Duration length,
                         const std::function<bool()>& done) = 0;

    // The process-wide clock: the steady clock until another is set.
    static Clock& Current();
    static void SetCurrent(Clock* clock);
};
