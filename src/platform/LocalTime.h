#pragma once
// The one place local time is converted; everything that turns a stamp into
// local time or back goes through here (tests run with TZ=UTC).
#include <cstdint>
#include <ctime>

namespace lumora {

class LocalTime {
public:
    // Broken-down local time of t; false when the conversion fails.
    static bool fromTime(time_t t, std::tm& out);
    // Seconds since 1970 UTC of a broken-down local time, tm_isdst as given
    // (0: standard time, > 0: summer time, < 0: let the zone rules decide).
    // Fields out of range are normalised as mktime does; -1 on failure.
    static time_t toTime(std::tm tm);
    // Universal time minus local standard time, in seconds (negative east of
    // Greenwich), as the Windows time-zone bias.
    static int64_t standardBiasSeconds();
    // Whether summer time is in force at t (now when t is 0).
    static bool isDaylightSaving(time_t t = 0);
};

} // namespace lumora
