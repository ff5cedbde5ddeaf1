#pragma once
// The clock the FireWire classes wait, sleep and time out on. Its milliseconds
// run `scale` times faster than real ones, so a test can make the 10-second
// command time-outs and the half-second retry pauses take a few milliseconds.
#include <cstdint>

namespace lumora::vq {

class FireWireClock {
public:
    // Clock milliseconds per real millisecond (1 in a program; at least 1).
    static void SetScale(uint32_t scale);
    static uint32_t Scale();
    // Clock milliseconds since an arbitrary start.
    static uint64_t NowMs();
    static void Sleep(uint32_t ms);
    // Real microseconds that `ms` clock milliseconds last.
    static uint64_t RealMicros(uint32_t ms);
};

} // namespace lumora::vq
