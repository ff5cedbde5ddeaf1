#pragma once
// Readable position text from a GPS receiver sentence stored in an image's
// description, and the date-and-position text built from it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class GpsText {
public:
    // Longest text Format answers (its buffer holds one more byte).
    static constexpr size_t kMaxText = 254;

    // "Lat:", "Lon:", "Alt:" and "UTC:" lines (each ended by CR) from an NMEA
    // GLL or GGA sentence and/or a PLGR record; nothing when there is none.
    static std::optional<std::string> Format(std::string_view description);

    // Replaces the sentence in a NUL-terminated description buffer of `size`
    // bytes by the formatted text, keeping a second string that followed the
    // first; never writes outside the buffer.
    static void Replace(char* buffer, size_t size, std::string_view formatted);

    // "Date: mm/dd/yyyy  Time: hh:mm:ss" followed by each non-empty line of
    // `lines`, two blanks before each. date: seconds, minutes, hours, day,
    // month (0..11), years since 1900.
    static std::string BuildDateText(const int16_t date[9], std::string_view lines);
};
