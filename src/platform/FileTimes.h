#pragma once
// File times the Windows parts read. Creation time is the file system's birth
// time where it keeps one, else the modification time; it cannot be set.
#include <cstdint>
#include <ctime>
#include <string>

namespace lumora {

class FileTimes {
public:
    struct Times {
        timespec creation{};
        timespec lastAccess{};
        timespec lastWrite{};
        bool creationIsBirth = false; // false when creation is the modification time
    };
    // error: 0 or the Win32 error (2, 3, 5, ...).
    static bool get(const std::string& path, Times& out, uint32_t& error);
    static bool get(int fd, Times& out, uint32_t& error);
    // Sets last access and last write of an open file.
    static bool set(int fd, const timespec& lastAccess, const timespec& lastWrite, uint32_t& error);
};

} // namespace lumora
