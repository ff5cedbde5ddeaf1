#pragma once
// A clock for tests, installed as the process's clock while it lives. Its
// time stands still until something moves it: by default every Pause and
// every wait that nothing ends early moves it by itself (a single-threaded
// caller then never waits); a clock made with kAdvancedByTest leaves that
// to the test's Advance, and the waiting threads wake when their time is
// reached. Records every pause and wait it was asked for.
#include "Clock.h"

#include <mutex>
#include <thread>
#include <vector>

class FakeClock : public Clock {
public:
    enum Mode { kAdvancesByItself, kAdvancedByTest };

    explicit FakeClock(Mode mode = kAdvancesByItself) : mode_(mode) { Clock::SetCurrent(this); }
    ~FakeClock() override { Clock::SetCurrent(nullptr); }

    TimePoint Now() override {
        std::lock_guard<std::mutex> lock(mutex_);
        return now_;
    }
    void Advance(Duration length) {
        std::lock_guard<std::mutex> lock(mutex_);
        now_ += length;
    }
    void Pause(Duration length) override {
        const TimePoint end = Record(pauses_, length);
        if (mode_ == kAdvancesByItself) return MoveTo(end);
        while (Now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    bool WaitFor(std::condition_variable& wake, std::unique_lock<std::mutex>& lock, Duration length,
                 const std::function<bool()>& done) override {
        const TimePoint end = Record(waits_, length);
        for (;;) {
            if (done()) return true;
            if (mode_ == kAdvancesByItself) {
                MoveTo(end);
                return done();
            }
            if (Now() >= end) return false;
            // The caller's signal wakes it at once; the test's Advance within
            // a millisecond.
            wake.wait_for(lock, std::chrono::milliseconds(1));
        }
    }

    std::vector<Duration> Pauses() {
        std::lock_guard<std::mutex> lock(mutex_);
        return pauses_;
    }
    std::vector<Duration> Waits() {
        std::lock_guard<std::mutex> lock(mutex_);
        return waits_;
    }

private:
    TimePoint Record(std::vector<Duration>& list, Duration length) {
        std::lock_guard<std::mutex> lock(mutex_);
        list.push_back(length);
        return now_ + length;
    }
    void MoveTo(TimePoint end) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (now_ < end) now_ = end;
    }

    const Mode mode_;
    std::mutex mutex_;
    // Far from zero, so that a caller's "now minus a period" stays positive.
    TimePoint now_ = TimePoint(std::chrono::hours(1000));
    std::vector<Duration> pauses_, waits_;
};
