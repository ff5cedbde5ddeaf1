#include "LocalTime.h"

#include <mutex>

namespace lumora {
namespace {
std::mutex& zoneMutex() {
    static std::mutex m;
    return m;
}
} // namespace

bool LocalTime::fromTime(time_t t, std::tm& out) {
    std::lock_guard lock(zoneMutex());
    return localtime_r(&t, &out) != nullptr;
}

time_t LocalTime::toTime(std::tm tm) {
    std::lock_guard lock(zoneMutex());
    return mktime(&tm);
}

int64_t LocalTime::standardBiasSeconds() {
    std::lock_guard lock(zoneMutex());
    tzset();
    return static_cast<int64_t>(timezone);
}

bool LocalTime::isDaylightSaving(time_t t) {
    if (t == 0) t = time(nullptr);
    std::tm tm{};
    if (!fromTime(t, tm)) return false;
    return tm.tm_isdst > 0;
}

} // namespace lumora
