#include "Win32Error.h"

#include <cerrno>
#include <string>
#include <sys/stat.h>

namespace lumora::win32 {

uint32_t fromErrno(int err) {
    switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EROFS: return ERROR_WRITE_PROTECT;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case ENODEV:
    case ENXIO: return ERROR_BAD_UNIT;
    case EAGAIN: return ERROR_LOCK_VIOLATION;
    case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case EOPNOTSUPP: return ERROR_NOT_SUPPORTED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EPIPE: return ERROR_BROKEN_PIPE;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EILSEQ: return ERROR_INVALID_NAME;
    case ESPIPE: return ERROR_SEEK_ON_DEVICE;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EBUSY: return ERROR_BUSY;
    case ENOEXEC: return ERROR_BAD_EXE_FORMAT;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EFBIG:
    case EOVERFLOW: return ERROR_FILE_TOO_LARGE;
    case ETIMEDOUT: return ERROR_TIMEOUT;
    case EIO: return ERROR_IO_DEVICE;
    case ELOOP: return ERROR_CANT_RESOLVE_FILENAME;
    default: return ERROR_GEN_FAILURE;
    }
}

uint32_t fromErrnoForPath(int err, std::string_view path) {
    if (err != ENOENT) return fromErrno(err);
    const auto slash = path.find_last_of('/');
    if (slash == std::string_view::npos || slash == 0) return ERROR_FILE_NOT_FOUND;
    const std::string folder(path.substr(0, slash));
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ERROR_PATH_NOT_FOUND;
    return ERROR_FILE_NOT_FOUND;
}

uint32_t lastError() { return fromErrno(errno); }

} // namespace lumora::win32
