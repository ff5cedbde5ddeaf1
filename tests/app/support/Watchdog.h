#pragma once
// The user-interface thread's responsiveness: a 100-ms timer that records
// the longest gap between its ticks while the toolkit runs. A long gap is
// also kept with the title of the progress window that was up at either
// end of it, so that a test can excuse the waits the user sees a progress
// bar for.
#include "CProgressDlg.h"

#include <wx/timer.h>
#include <wx/toplevel.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace gui {

// The longest gap allowed; a sanitizer build runs every step several times
// slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr auto kLongestGap = std::chrono::seconds(5);
#else
constexpr auto kLongestGap = std::chrono::seconds(1);
#endif

// The title of the progress window that is up, if any.
inline std::string ProgressWindowUp() {
    for (wxWindow* window : wxTopLevelWindows) {
        auto* progress = dynamic_cast<CProgressDlg*>(window);
        if (progress && progress->IsShown() && !progress->IsWindowGone() && !progress->IsBeingDeleted())
            return progress->GetTitle().utf8_string();
    }
    return {};
}

class Watchdog : public wxTimer {
public:
    using Duration = std::chrono::steady_clock::duration;
    // A gap of more than two ticks; progress is the progress window's title,
    // empty when none was up.
    struct Gap {
        Duration length;
        std::string progress;
    };
    static constexpr auto kKeptGap = std::chrono::milliseconds(250);

    Watchdog() : last_(std::chrono::steady_clock::now()), progressAtLast_(ProgressWindowUp()) { Start(100); }
    void Notify() override {
        const auto now = std::chrono::steady_clock::now();
        const Duration gap = now - last_;
        std::string progress = ProgressWindowUp();
        const std::string progressNow = progress;
        if (progress.empty()) progress = progressAtLast_;
        longest = std::max(longest, gap);
        if (progress.empty()) longestWithoutProgress = std::max(longestWithoutProgress, gap);
        if (gap > kKeptGap) gaps.push_back({gap, progress});
        last_ = now;
        progressAtLast_ = progressNow;
    }
    // What a failed check prints: each long gap and its progress window.
    std::string Describe() const {
        std::string text;
        for (const Gap& gap : gaps)
            text += std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(gap.length).count()) +
                    " ms" + (gap.progress.empty() ? "" : " under \"" + gap.progress + "\"") + "\n";
        return text;
    }

    Duration longest{};
    // The longest gap while no progress window was up.
    Duration longestWithoutProgress{};
    std::vector<Gap> gaps;

private:
    std::chrono::steady_clock::time_point last_;
    std::string progressAtLast_;
};

} // namespace gui
