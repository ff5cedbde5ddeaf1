#pragma once
// The user-interface thread's responsiveness: a 100-ms timer that records
// the longest gap between its ticks while the toolkit runs.
#include <wx/timer.h>

#include <algorithm>
#include <chrono>

namespace gui {

// The longest gap allowed; a sanitizer build runs every step several times
// slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr auto kLongestGap = std::chrono::seconds(5);
#else
constexpr auto kLongestGap = std::chrono::seconds(1);
#endif

class Watchdog : public wxTimer {
public:
    Watchdog() : last_(std::chrono::steady_clock::now()) { Start(100); }
    void Notify() override {
        const auto now = std::chrono::steady_clock::now();
        longest = std::max(longest, now - last_);
        last_ = now;
    }
    std::chrono::steady_clock::duration longest{};

private:
    std::chrono::steady_clock::time_point last_;
};

} // namespace gui
