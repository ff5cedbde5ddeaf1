#include "FileReplacement.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "Win32Error.h"

namespace lumora::vq {

namespace {

uint32_t WriteAll(int fd, const uint8_t* bytes, uint64_t length) {
    uint64_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd, bytes + done, size_t(length - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return win32::fromErrno(errno);
        }
        if (n == 0) return win32::ERROR_DISK_FULL;
        done += uint64_t(n);
    }
    return 0;
}

} // namespace

uint32_t FileReplacement::Replace(const char* path, const uint8_t* bytes, uint64_t length) {
    if (!path || (!bytes && length)) return win32::ERROR_INVALID_PARAMETER;
    struct stat original {};
    if (::stat(path, &original) != 0) return win32::fromErrnoForPath(errno, path);
    if (!S_ISREG(original.st_mode)) return win32::ERROR_ACCESS_DENIED;

    // Same folder, so the rename never crosses file systems.
    std::string temp = std::string(path) + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return win32::fromErrno(errno);
    uint32_t status = 0;
    if (::fchmod(fd, original.st_mode & 07777) != 0) status = win32::fromErrno(errno);
    if (!status) status = WriteAll(fd, bytes, length);
    if (!status && ::fsync(fd) != 0) status = win32::fromErrno(errno);
    if (::close(fd) != 0 && !status) status = win32::fromErrno(errno);
    if (!status && ::rename(temp.c_str(), path) != 0) status = win32::fromErrno(errno);
    if (status) {
        ::unlink(temp.c_str());
        return status;
    }
    // The new name itself made durable; a failure here loses nothing.
    const std::string whole(path);
    const size_t slash = whole.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : whole.substr(0, slash + 1);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
    return 0;
}

} // namespace lumora::vq
