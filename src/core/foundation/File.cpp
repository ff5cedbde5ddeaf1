#include "File.h"

#include "NbErrorCodes.h"
#include "YlmErrp.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <memory>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace NimbalCore {
namespace {

// rename(2) that refuses an existing target; where the file system cannot do
// that in one step, a hard link (which refuses an existing name) and the
// removal of the old name.
int renameNoReplace(const std::string& from, const std::string& to) {
#ifdef SYS_renameat2
    if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
#endif
    if (::link(from.c_str(), to.c_str()) != 0) return -1;
    if (::unlink(from.c_str()) != 0) {
        const int e = errno;
        ::unlink(to.c_str());
        errno = e;
        return -1;
    }
    return 0;
}

bool sameInode(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

// Copies the bytes, permissions and modification time of one file into a new
// file. errno tells why it failed; EEXIST when exclusive and the target is
// there. A target this call created is removed again on failure.
bool copyFile(const std::string& from, const std::string& to, bool exclusive, bool flushToDisk) {
    Descriptor in;
    in.fd = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in.fd < 0) return false;
    struct stat st;
    if (::fstat(in.fd, &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    Descriptor out;
    out.fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : O_TRUNC), st.st_mode & 07777);
    if (out.fd < 0) return false;
    auto fail = [&] {
        const int e = errno;
        ::close(out.fd);
        out.fd = -1;
        ::unlink(to.c_str());
        errno = e;
        return false;
    };
    std::unique_ptr<char[]> buffer(new char[1 << 16]);
    for (;;) {
        const ssize_t n = ::read(in.fd, buffer.get(), 1 << 16);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail();
        }
        if (n == 0) break;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out.fd, buffer.get() + done, size_t(n - done));
            if (w < 0) {
                if (errno == EINTR) continue;
                return fail();
            }
            done += w;
        }
    }
    ::fchmod(out.fd, st.st_mode & 07777);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.fd, times);
    if (flushToDisk && ::fsync(out.fd) != 0) return fail();
    const int fd = out.fd;
    out.fd = -1;
    if (::close(fd) != 0) {
        const int e = errno;
        ::unlink(to.c_str());
        errno = e;
        return false;
    }
    return true;
}

} // namespace

File::~File() {
    if (stream_) std::fclose(stream_);
}

const char* File::GetModeString(int mode) {
    static const char* const modes[] = {"r", "w", "a", "r+", "w+", "a+", "rb", "wb", "ab", "r+b", "w+b", "a+b"};
    if (mode < 0 || mode > 11) return " ";
    return modes[mode];
}

void File::Open(int mode) {
    if (stream_) return;
    stream_ = std::fopen(path_.GetPath().c_str(), GetModeString(mode));
    if (!stream_) YLM_THROW("File::Open", NbErrFileOpenFailed);
}

void File::Close() {
    if (!stream_) return;
    std::FILE* s = stream_;
    stream_ = nullptr;
    if (std::fclose(s) != 0) YLM_THROW("File::Close", NbErrFileCloseFailed);
}

size_t File::Read(void* buffer, size_t size, size_t count) {
    if (!stream_) YLM_THROW("File::Read", NbErrFileNotOpen);
    std::clearerr(stream_);
    return std::fread(buffer, size, count, stream_);
}

size_t File::ReadExactly(void* buffer, size_t size, size_t count) {
    const size_t got = Read(buffer, size, count);
    if (std::ferror(stream_) || got < count) YLM_THROW("File::Read", NbErrFileReadFailed);
    return count;
}

size_t File::ReadExactlyAt(int64_t position, void* buffer, size_t count) {
    if (!stream_) YLM_THROW("File::Read", NbErrFileNotOpen);
    if (position < 0) YLM_THROW("File::Read", NbErrFileReadFailed);
    const int fd = ::fileno(stream_);
    uint8_t* to = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t got =
            ::pread(fd, to + done, count - done, static_cast<off_t>(position + int64_t(done)));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) YLM_THROW("File::Read", NbErrFileReadFailed);
        done += size_t(got);
    }
    return count;
}

size_t File::Write(const void* buffer, size_t size, size_t count) {
    if (!stream_) YLM_THROW("File::Write", NbErrFileNotOpen);
    std::clearerr(stream_);
    const size_t put = std::fwrite(buffer, size, count, stream_);
    if (std::ferror(stream_) || put < count) YLM_THROW("File::Write", NbErrFileWriteFailed);
    return count;
}

void File::Seek(int64_t offset, int origin) {
    if (!stream_) YLM_THROW("File::Seek", NbErrFileNotOpen);
    const int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
    std::clearerr(stream_);
    if (::fseeko(stream_, static_cast<off_t>(offset), whence) != 0 || std::ferror(stream_))
        YLM_THROW("File::Seek", NbErrFileSeekFailed);
}

int64_t File::GetPosition() {
    if (!stream_) YLM_THROW("File::GetPosition", NbErrFileNotOpen);
    std::clearerr(stream_);
    const off_t at = ::ftello(stream_);
    if (at == -1 || std::ferror(stream_)) YLM_THROW("File::GetPosition", NbErrFilePositionFailed);
    return at;
}

bool File::IsEOF() const {
    return stream_ && std::feof(stream_);
}

int64_t File::GetSize() const {
    struct stat st;
    if (::stat(path_.GetPath().c_str(), &st) != 0) return -1;
    return st.st_size;
}

bool File::IsReadOnly() const {
    return ::access(path_.GetPath().c_str(), W_OK) != 0;
}

bool File::IsInUse() const {
    Descriptor d;
    d.fd = ::open(path_.GetPath().c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (d.fd < 0) return false;
    // An exclusive open of another of our processes holds a lock on the file
    // (open-file-description locks, as our exclusive opens take them).
    struct flock fl{};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    if (::fcntl(d.fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK) return true;
    // A read lease is refused while anybody has the file open for writing.
    // Where leases are not permitted (a file of another owner, a file system
    // without them) the lock test above is the whole answer.
    if (::fcntl(d.fd, F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(d.fd, F_SETLEASE, F_UNLCK);
        return false;
    }
    return errno == EAGAIN;
}

void File::MakeWritable() {
    struct stat st;
    if (::stat(path_.GetPath().c_str(), &st) != 0) YLM_THROW("File::MakeWritable", NbErrGetAttributesFailed);
    if (st.st_mode & S_IWUSR) return;
    if (::chmod(path_.GetPath().c_str(), (st.st_mode & 07777) | S_IWUSR) != 0)
        YLM_THROW("File::MakeWritable", NbErrSetAttributesFailed);
}

bool File::HasFreeSpace(uint64_t bytes) const {
    const std::string parent = path_.GetFolder().GetPath();
    const std::string folder = parent.empty() ? std::string(1, '.') : parent;
    struct statvfs vfs;
    if (::statvfs(folder.c_str(), &vfs) != 0) return false;
    const unsigned __int128 available = static_cast<unsigned __int128>(vfs.f_bavail) * vfs.f_frsize;
    return available >= bytes;
}

void File::Delete() {
    if (stream_) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (std::remove(path_.GetPath().c_str()) != 0) YLM_THROW("File::Delete", NbErrFileDeleteFailed);
}

File File::Copy(const FilePathSpec& destination, bool failIfExists) {
    const std::string from = path_.GetPath();
    const std::string to = destination.GetPath();
    // Copying a file onto itself would cut it to nothing before reading it.
    if (sameInode(from, to) || !copyFile(from, to, failIfExists, false)) YLM_THROW("File::Copy", NbErrFileCopyFailed);
    return File(FilePathSpec(to));
}

void File::Rename(const FilePathSpec& newPath) {
    if (!path_.GetFolder().IsSameFile(newPath.GetFolder())) YLM_THROW("File::Rename", NbErrRenameFailed);
    if (stream_) YLM_THROW("File::Rename", NbErrRenameWhileOpen);
    const std::string from = path_.GetPath();
    const std::string to = newPath.GetPath();
    int result = renameNoReplace(from, to);
    // On a file system blind to letter case (a camera's card) a new spelling
    // of the same name finds "itself" in the way; that rename replaces nothing.
    if (result != 0 && errno == EEXIST && path_.IsSameFile(newPath) && sameInode(from, to)) result = ::rename(from.c_str(), to.c_str());
    if (result != 0) {
        if (errno == EACCES || errno == EPERM) YLM_THROW("File::Rename", NbErrRenameAccessDenied);
        if (errno == EEXIST) YLM_THROW("File::Rename", NbErrRenameTargetExists);
        YLM_THROW("File::Rename", NbErrRenameFailed);
    }
    path_ = newPath;
}

void File::Move(FilePathSpec destination) {
    if (destination.IsSameFile(path_)) YLM_THROW("File::Move", NbErrMoveOntoItself);
    if (stream_) YLM_THROW("File::Move", NbErrMoveWhileOpen);
    const std::string from = path_.GetPath();
    const std::string to = destination.GetPath();
    if (renameNoReplace(from, to) != 0) {
        if (errno == EEXIST) YLM_THROW("File::Move", NbErrMoveTargetExists);
        if (errno != EXDEV) YLM_THROW("File::Move", NbErrMoveFailed);
        // Another file system: the copy is complete on its disk and closed
        // before the original goes.
        if (!copyFile(from, to, true, true)) {
            if (errno == EEXIST) YLM_THROW("File::Move", NbErrMoveTargetExists);
            YLM_THROW("File::Move", NbErrMoveFailed);
        }
        if (::unlink(from.c_str()) != 0) {
            ::unlink(to.c_str());
            YLM_THROW("File::Move", NbErrMoveFailed);
        }
    }
    path_ = destination;
}

} // namespace NimbalCore
