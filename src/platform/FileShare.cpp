#include "FileShare.h"

#include "Win32Error.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora {
namespace {

// The lock an open needs: a write lock keeps every other open out, a read lock
// keeps out the opens that write. Sharing both read and write needs no lock.
int lockTypeFor(uint32_t access, uint32_t share) {
    const bool writes = access & FileShare::Write;
    const bool othersRead = share & FileShare::ShareRead;
    const bool othersWrite = share & FileShare::ShareWrite;
    if (writes && !othersWrite) return F_WRLCK;           // others must not write; readers see a writer
    if (!othersRead) return F_WRLCK;                      // nobody else at all
    if (!othersWrite) return F_RDLCK;                     // readers only
    return -1;
}

bool takeLock(int fd, int type) {
    struct flock fl{};
    fl.l_type = static_cast<short>(type);
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;
    return fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

} // namespace

int FileShare::open(const std::string& path, uint32_t access, uint32_t share, Creation creation, uint32_t& error) {
    error = win32::ERROR_SUCCESS;
    if (path.empty()) {
        error = win32::ERROR_PATH_NOT_FOUND;
        return -1;
    }
    const int lockType = lockTypeFor(access, share);
    int flags = O_CLOEXEC;
    const bool reads = access & Read;
    const bool writes = access & Write;
    // A write lock needs a descriptor open for writing; a reader that keeps
    // everybody out opens read-write where it may (it never writes).
    bool widened = false;
    if (writes) flags |= reads ? O_RDWR : O_WRONLY;
    else if (lockType == F_WRLCK) { flags |= O_RDWR; widened = true; }
    else flags |= O_RDONLY;

    switch (creation) {
    case Creation::CreateNew: flags |= O_CREAT | O_EXCL; break;
    case Creation::CreateAlways:
    case Creation::OpenAlways: flags |= O_CREAT; break;
    case Creation::OpenExisting:
    case Creation::TruncateExisting: break;
    default:
        error = win32::ERROR_INVALID_PARAMETER;
        return -1;
    }

    int fd = ::open(path.c_str(), flags, 0666);
    int effectiveLock = lockType;
    if (fd < 0 && widened && (errno == EACCES || errno == EROFS || errno == EPERM || errno == EISDIR)) {
        // Not writable by us: nobody who keeps to the permissions writes it
        // either, so keeping writers out is all that is left to do.
        fd = ::open(path.c_str(), (flags & ~O_RDWR) | O_RDONLY, 0666);
        effectiveLock = F_RDLCK;
    }
    if (fd < 0) {
        error = win32::fromErrnoForPath(errno, path);
        return -1;
    }
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        error = win32::ERROR_ACCESS_DENIED;
        return -1;
    }
    if (effectiveLock != -1 && !takeLock(fd, effectiveLock)) {
        const int e = errno;
        ::close(fd);
        error = (e == EAGAIN || e == EACCES) ? win32::ERROR_SHARING_VIOLATION : win32::fromErrno(e);
        return -1;
    }
    if (creation == Creation::CreateAlways || creation == Creation::TruncateExisting) {
        if (ftruncate(fd, 0) != 0) {
            error = win32::lastError();
            ::close(fd);
            return -1;
        }
    }
    return fd;
}

} // namespace lumora
