#pragma once
// Files of the camera tests: read back whole, and stamped with a clock time of
// the day the folder tests use (2024-05-17; the tests run in UTC).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace lumora::test {

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Sets the file's last-write (and last-access) time to hour:minute:second of
// the test day.
inline void StampOnTestDay(const std::filesystem::path& file, int hour, int minute = 0, int second = 0) {
    std::tm tm{};
    tm.tm_year = 124;
    tm.tm_mon = 4;
    tm.tm_mday = 17;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    const timespec times[2] = {{timegm(&tm), 0}, {timegm(&tm), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0) << file;
}

} // namespace lumora::test
