#include "FwEvent.h"

#include "FireWireClock.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace lumora::vq {

namespace {
// One lock and one condition for every event: waits on several events at once
// stay simple, and the events are few and rarely set.
// Never destroyed: a session thread may still wait on them while the process
// exits.
std::mutex& Lock() {
    static auto* m = new std::mutex;
    return *m;
}
std::condition_variable& Changed() {
    static auto* c = new std::condition_variable;
    return *c;
}
} // namespace

FwEvent::FwEvent(bool manualReset, bool initiallySet) : manual_(manualReset), set_(initiallySet) {}

void FwEvent::Set() {
    {
        std::lock_guard<std::mutex> g(Lock());
        set_ = true;
    }
    Changed().notify_all();
}

void FwEvent::Reset() {
    std::lock_guard<std::mutex> g(Lock());
    set_ = false;
}

uint32_t FwEvent::Wait(uint32_t ms) { return WaitAny({this}, ms); }

uint32_t FwEvent::WaitAny(std::initializer_list<FwEvent*> events, uint32_t ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::microseconds(FireWireClock::RealMicros(ms));
    std::unique_lock<std::mutex> g(Lock());
    for (;;) {
        uint32_t index = 0;
        for (FwEvent* e : events) {
            if (e->set_) {
                if (!e->manual_) e->set_ = false;
                return index;
            }
            ++index;
        }
        if (ms == kInfinite) {
            Changed().wait(g);
        } else if (Changed().wait_until(g, deadline) == std::cv_status::timeout) {
            // One last look: the event may have come with the time-out.
            index = 0;
            for (FwEvent* e : events) {
                if (e->set_) {
                    if (!e->manual_) e->set_ = false;
                    return index;
                }
                ++index;
            }
            return kTimeout;
        }
    }
}

void FwEvent::SignalCompletion(void* event) { static_cast<FwEvent*>(event)->Set(); }

} // namespace lumora::vq
