#include "FireWireClock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace lumora::vq {

namespace {
std::atomic<uint32_t> g_scale{1};
}

void FireWireClock::SetScale(uint32_t scale) { g_scale.store(scale ? scale : 1); }

uint32_t FireWireClock::Scale() { return g_scale.load(); }

uint64_t FireWireClock::NowMs() {
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    return uint64_t(us) * Scale() / 1000;
}

uint64_t FireWireClock::RealMicros(uint32_t ms) { return uint64_t(ms) * 1000 / Scale(); }

void FireWireClock::Sleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::microseconds(RealMicros(ms))); }

} // namespace lumora::vq
