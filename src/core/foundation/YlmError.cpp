#include "YlmError.h"

#include "LocalTime.h"

#include <cstdio>
#include <mutex>
#include <sstream>

namespace {

// Guards only the copy of a finished text into its error.
std::mutex& descriptionMutex() {
    static std::mutex m;
    return m;
}

// The 24 characters of the C library's date text (without its line feed):
// "Thu Dec 10 17:01:16 2026".
std::string dateText(time_t t) {
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm tm{};
    if (!lumora::LocalTime::fromTime(t, tm) || tm.tm_wday < 0 || tm.tm_wday > 6 || tm.tm_mon < 0 ||
        tm.tm_mon > 11) {
        return std::string("Day Mon No hh:mm:ss Year\n").substr(0, 24);
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3s %.3s%3d %.2d:%.2d:%.2d %d", days[tm.tm_wday], months[tm.tm_mon],
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_year + 1900);
    return std::string(buf).substr(0, 24);
}

} // namespace

YlmError::YlmError(const char* message, int code, const char* sourceFile, int line)
    : message_(message ? message : ""), code_(code), line_(line), sourceFile_(sourceFile ? sourceFile : ""),
      creationTime_(time(nullptr)) {}

YlmError::~YlmError() = default;

const char* YlmError::what() const noexcept {
    return const_cast<YlmError*>(this)->GetDescription();
}

const char* YlmError::GetDescription() {
    if (description_.empty()) {
        std::ostringstream text;
        text << "YlmError - " << message_ << ':' << code_ << ", " << sourceFile_ << " line " << line_ << "  "
             << dateText(creationTime_);
        std::string built = text.str();
        std::lock_guard lock(descriptionMutex());
        if (description_.empty()) description_ = std::move(built);
    }
    return description_.c_str();
}
