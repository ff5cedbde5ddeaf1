#include "Clock.h"

#include "SteadyClock.h"

#include <atomic>

namespace {

SteadyClock gSteady;
// Read by the worker threads while a test may swap it.
std::atomic<Clock*> gClock{nullptr};

} // namespace

Clock& Clock::Current() {
    Clock* clock = gClock.load(std::memory_order_acquire);
    return clock ? *clock : gSteady;
}

void Clock::SetCurrent(Clock* clock) { gClock.store(clock, std::memory_order_release); }
