#include "FileTimes.h"

#include "Win32Error.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace lumora {
namespace {

timespec toTimespec(const statx_timestamp& t) {
    timespec ts{};
    ts.tv_sec = t.tv_sec;
    ts.tv_nsec = t.tv_nsec;
    return ts;
}

bool fill(const struct statx& sx, FileTimes::Times& out) {
    out.lastAccess = toTimespec(sx.stx_atime);
    out.lastWrite = toTimespec(sx.stx_mtime);
    out.creationIsBirth = (sx.stx_mask & STATX_BTIME) != 0;
    out.creation = out.creationIsBirth ? toTimespec(sx.stx_btime) : out.lastWrite;
    return true;
}

} // namespace

bool FileTimes::get(const std::string& path, Times& out, uint32_t& error) {
    struct statx sx{};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
        error = win32::fromErrnoForPath(errno, path);
        return false;
    }
    error = win32::ERROR_SUCCESS;
    return fill(sx, out);
}

bool FileTimes::get(int fd, Times& out, uint32_t& error) {
    struct statx sx{};
    if (statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
        error = win32::lastError();
        return false;
    }
    error = win32::ERROR_SUCCESS;
    return fill(sx, out);
}

bool FileTimes::set(int fd, const timespec& lastAccess, const timespec& lastWrite, uint32_t& error) {
    const timespec times[2] = {lastAccess, lastWrite};
    if (futimens(fd, times) != 0) {
        error = win32::lastError();
        return false;
    }
    error = win32::ERROR_SUCCESS;
    return true;
}

} // namespace lumora
