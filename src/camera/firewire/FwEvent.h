#pragma once
// An event as the session's threads use them: manual or automatic reset, set
// from any thread (the driver's completions included), and waited for alone or
// together with others, with a time-out on the FireWire clock.
#include <cstdint>
#include <initializer_list>

namespace lumora::vq {

class FwEvent {
public:
    // Answer of a wait that timed out.
    static constexpr uint32_t kTimeout = 258;
    static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

    explicit FwEvent(bool manualReset, bool initiallySet = false);
    FwEvent(const FwEvent&) = delete;
    FwEvent& operator=(const FwEvent&) = delete;

    void Set();
    void Reset();
    // 0 when set in time (an automatic event is then cleared), kTimeout otherwise.
    uint32_t Wait(uint32_t ms);
    // The index of the first set event among `events` (cleared when automatic),
    // or kTimeout.
    static uint32_t WaitAny(std::initializer_list<FwEvent*> events, uint32_t ms);

    // A driver completion that sets the event given as context.
    static void SignalCompletion(void* event);

private:
    bool manual_;
    bool set_;
};

} // namespace lumora::vq
