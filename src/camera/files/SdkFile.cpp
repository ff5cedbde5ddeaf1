#include "SdkFile.h"

#include "FileShare.h"
#include "FileTimes.h"
#include "LocalTime.h"
#include "SdkDebugOutput.h"
#include "SdkUtilities.h"
#include "VqStatus.h"
#include "Win32Error.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

using lumora::FileShare;
namespace win32 = lumora::win32;

namespace {

std::atomic<uint32_t> copyRetryCount{0};

constexpr int64_t kFileTimeEpochOffset = 11644473600LL; // seconds from 1601 to 1970

void copyPath(char (&dst)[SdkFile::kPathSize], const char* src) {
    const size_t n = src ? strnlen(src, SdkFile::kPathSize - 1) : 0;
    if (n) std::memcpy(dst, src, n);
    dst[n] = 0;
}

void appendSlash(char (&path)[SdkFile::kPathSize]) {
    const size_t n = std::strlen(path);
    if (n > 0 && n + 1 < SdkFile::kPathSize && path[n - 1] != '/') {
        path[n] = '/';
        path[n + 1] = 0;
    }
}

// A DOS date and time as broken-down fields; false when they are not a time.
bool dosToFields(uint16_t date, uint16_t time, std::tm& tm) {
    tm = std::tm{};
    tm.tm_mday = date & 31;
    tm.tm_mon = ((date >> 5) & 15) - 1;
    tm.tm_year = (date >> 9) + 80;
    tm.tm_hour = time >> 11;
    tm.tm_min = (time >> 5) & 63;
    tm.tm_sec = (time & 31) * 2;
    return tm.tm_mday >= 1 && tm.tm_mon >= 0 && tm.tm_mon <= 11 && tm.tm_hour <= 23 && tm.tm_min <= 59 &&
           tm.tm_sec <= 58;
}

bool fieldsToDos(const std::tm& tm, uint16_t& date, uint16_t& time) {
    const int year = tm.tm_year + 1900;
    if (year < 1980 || year > 2107) return false;
    date = uint16_t((year - 1980) << 9 | (tm.tm_mon + 1) << 5 | tm.tm_mday);
    time = uint16_t(tm.tm_hour << 11 | tm.tm_min << 5 | tm.tm_sec / 2);
    return true;
}

// The file-time seconds of DOS fields read as they stand (no zone).
bool dosToUniversalSeconds(uint16_t date, uint16_t time, time_t& out) {
    std::tm tm;
    if (!dosToFields(date, time, tm)) return false;
    out = timegm(&tm);
    return true;
}

void universalToDos(const timespec& t, uint16_t& date, uint16_t& time) {
    std::tm tm{};
    date = time = 0;
    if (!gmtime_r(&t.tv_sec, &tm) || !fieldsToDos(tm, date, time)) date = time = 0;
}

void report(const char* format, uint32_t error) {
    char text[256];
    std::snprintf(text, sizeof text, format, int(error));
    SdkOutputDebugString(text);
}

FileShare::Creation creationFor(uint32_t mode) {
    switch (mode) {
    case SdkFile::kRead: return FileShare::Creation::OpenExisting;
    case SdkFile::kCreateNew: return FileShare::Creation::CreateNew;
    case SdkFile::kOpenAlways: return FileShare::Creation::OpenAlways;
    default: return FileShare::Creation::CreateAlways;
    }
}

// Plain file copy that never replaces the destination; a failed copy leaves
// no destination behind.
uint32_t copyFileNew(const char* source, const char* destination) {
    uint32_t err = 0;
    const int in = FileShare::open(source, FileShare::Read, FileShare::ShareRead, FileShare::Creation::OpenExisting, err);
    if (in < 0) return err;
    const int out =
        FileShare::open(destination, FileShare::Write, FileShare::ShareRead, FileShare::Creation::CreateNew, err);
    if (out < 0) {
        ::close(in);
        return err;
    }
    static constexpr size_t kChunk = 1 << 16;
    char* buffer = new (std::nothrow) char[kChunk];
    if (!buffer) err = win32::ERROR_NOT_ENOUGH_MEMORY;
    while (!err) {
        const ssize_t got = ::read(in, buffer, kChunk);
        if (got < 0) {
            if (errno == EINTR) continue;
            err = win32::lastError();
            break;
        }
        if (got == 0) break;
        for (ssize_t done = 0; done < got && !err;) {
            const ssize_t put = ::write(out, buffer + done, size_t(got - done));
            if (put < 0) {
                if (errno != EINTR) err = win32::lastError();
            } else {
                done += put;
            }
        }
    }
    delete[] buffer;
    if (!err) {
        lumora::FileTimes::Times t;
        uint32_t e2;
        if (lumora::FileTimes::get(in, t, e2)) lumora::FileTimes::set(out, t.lastAccess, t.lastWrite, e2);
    }
    ::close(in);
    if (::close(out) != 0 && !err) err = win32::lastError();
    if (err) ::unlink(destination);
    return err;
}

} // namespace

SdkFile::SdkFile() : path_{}, handle_(-1), position_(0) {}

SdkFile::SdkFile(const SdkFile& other) : path_{}, handle_(-1), position_(0) {
    std::memcpy(path_, other.path_, kPathSize);
    if (other.handle_ >= 0) handle_ = fcntl(other.handle_, F_DUPFD_CLOEXEC, 0);
}

SdkFile::SdkFile(const char* folderPath) : path_{}, handle_(-1), position_(0) { SetFolderPath(folderPath); }

SdkFile::~SdkFile() { Close(); }

uint32_t SdkFile::Open(const char* path, uint32_t mode) {
    Close();
    uint32_t err = 0;
    const uint32_t access = mode == kRead ? FileShare::Read : FileShare::Write;
    handle_ = path ? FileShare::open(path, access, FileShare::ShareRead, creationFor(mode), err) : -1;
    if (!path) err = win32::ERROR_PATH_NOT_FOUND;
    if (handle_ < 0) {
        report("File open failed with error %d\n", err);
        return err;
    }
    position_ = 0;
    return 0;
}

uint32_t SdkFile::Create(const char* path, uint32_t overwrite) {
    Close();
    if (!path) return win32::ERROR_PATH_NOT_FOUND;
    uint32_t err = 0;
    handle_ = FileShare::open(path, FileShare::Write, FileShare::ShareRead,
                              overwrite ? FileShare::Creation::CreateAlways : FileShare::Creation::CreateNew, err);
    if (handle_ < 0) return err;
    position_ = 0;
    return 0;
}

uint32_t SdkFile::OpenExisting(const char* path) {
    Close();
    if (!path) return win32::ERROR_PATH_NOT_FOUND;
    uint32_t err = 0;
    handle_ = FileShare::open(path, FileShare::Write, FileShare::ShareRead, FileShare::Creation::OpenExisting, err);
    if (handle_ < 0) {
        report("File open failed with error %d\n", err);
        return err;
    }
    position_ = 0;
    return 0;
}

uint32_t SdkFile::ReadAvailable(void* buffer, uint32_t length, uint32_t* delivered) {
    *delivered = 0;
    auto* p = static_cast<char*>(buffer);
    uint32_t done = 0;
    while (done < length) {
        const ssize_t got = ::read(handle_, p + done, length - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            const uint32_t err = win32::lastError();
            *delivered = done;
            return err;
        }
        if (got == 0) break;
        done += uint32_t(got);
    }
    if (done < length) std::memset(p + done, 0, length - done);
    *delivered = done;
    return 0;
}

uint32_t SdkFile::Read(void* buffer, uint32_t length) {
    uint32_t delivered = 0;
    const uint32_t err = ReadAvailable(buffer, length, &delivered);
    if (err) return err;
    return delivered == length ? 0 : win32::ERROR_HANDLE_EOF;
}

uint32_t SdkFile::Write(const void* buffer, uint32_t length) {
    const auto* p = static_cast<const char*>(buffer);
    uint32_t done = 0;
    while (done < length) {
        const ssize_t put = ::write(handle_, p + done, length - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            const uint32_t err = win32::lastError();
            report("File write failed with error %d\n", err);
            return err;
        }
        done += uint32_t(put);
    }
    position_ += length;
    return 0;
}

uint32_t SdkFile::Seek(int32_t distance, uint32_t origin) {
    int64_t base = 0;
    if (origin == 1) {
        const off_t here = ::lseek(handle_, 0, SEEK_CUR);
        if (here < 0) {
            position_ = 0xFFFFFFFFu;
            return win32::lastError();
        }
        base = here;
    } else if (origin != 0) {
        struct stat st;
        if (::fstat(handle_, &st) != 0) {
            position_ = 0xFFFFFFFFu;
            return win32::lastError();
        }
        base = st.st_size;
    }
    const int64_t target = base + distance;
    if (target < 0 || target > 0xFFFFFFFELL) {
        position_ = 0xFFFFFFFFu;
        return target < 0 ? win32::ERROR_NEGATIVE_SEEK : win32::ERROR_INVALID_PARAMETER;
    }
    if (::lseek(handle_, target, SEEK_SET) < 0) {
        position_ = 0xFFFFFFFFu;
        return win32::lastError();
    }
    position_ = uint32_t(target);
    return 0;
}

uint32_t SdkFile::GetSize(uint32_t* size) {
    struct stat st;
    if (::fstat(handle_, &st) != 0) {
        *size = 0xFFFFFFFFu;
        return win32::lastError();
    }
    if (uint64_t(st.st_size) >= 0xFFFFFFFFull) {
        *size = 0xFFFFFFFFu;
        return win32::ERROR_FILE_TOO_LARGE;
    }
    *size = uint32_t(st.st_size);
    return 0;
}

uint32_t SdkFile::Flush() { return ::fsync(handle_) == 0 ? 0 : win32::lastError(); }

uint32_t SdkFile::Close() {
    if (handle_ != -1) {
        ::close(handle_);
        handle_ = -1;
        position_ = 0;
    }
    return 0;
}

uint32_t SdkFile::SetTimes(uint16_t dosDate, uint16_t dosTime) {
    if (const uint32_t err = Flush()) return err;
    time_t t;
    if (!dosToUniversalSeconds(dosDate, dosTime, t)) return win32::ERROR_INVALID_PARAMETER;
    // From local to universal time with the zone's bias; the summer-time state
    // of now decides, as the stamps of the cameras' own files are made.
    t += time_t(lumora::LocalTime::standardBiasSeconds());
    if (lumora::LocalTime::isDaylightSaving()) t -= 3600;
    timespec ts{};
    ts.tv_sec = t;
    uint32_t err = 0;
    return lumora::FileTimes::set(handle_, ts, ts, err) ? 0 : err;
}

void SdkFile::SetFolderPath(const char* path) {
    copyPath(path_, path);
    appendSlash(path_);
}

uint32_t SdkFile::JoinPath(char* out, const char* name) const {
    const size_t p = std::strlen(path_);
    const bool slash = p > 0 && path_[p - 1] == '/';
    const size_t n = name ? std::strlen(name) : 0;
    const size_t total = p + (slash ? 0 : 1) + n;
    if (total >= kPathSize) {
        out[0] = 0;
        return win32::ERROR_FILENAME_EXCED_RANGE;
    }
    std::memcpy(out, path_, p);
    size_t at = p;
    if (!slash) out[at++] = '/';
    if (n) std::memcpy(out + at, name, n);
    out[at + n] = 0;
    return 0;
}

uint32_t SdkFile::DeleteFile(const char* folder, const char* name) {
    const size_t f = std::strlen(folder), n = std::strlen(name);
    if (f + n >= kPathSize) return win32::ERROR_FILENAME_EXCED_RANGE;
    char full[kPathSize];
    std::memcpy(full, folder, f);
    std::memcpy(full + f, name, n);
    full[f + n] = 0;
    return ::unlink(full) == 0 ? 0 : win32::fromErrnoForPath(errno, full);
}

char* SdkFile::ExtractFileName(char* path, const char* extension) {
    char* buffer = new (std::nothrow) char[255]();
    if (!buffer) return nullptr;
    const int32_t slash = SdkLastIndexOf(path, '/');
    const char* name = path + (slash + 1);
    const size_t n = strnlen(name, 254);
    std::memcpy(buffer, name, n);
    if (extension) {
        char dotted[512];
        std::snprintf(dotted, sizeof dotted, ".%s", extension);
        if (SdkFindTextNoCase(buffer, dotted) >= 1) return buffer;
        delete[] buffer;
        return nullptr;
    }
    // Keep the folder part in the caller's path: clear from the last '/' (or
    // the start) to the end of the text.
    char* cut = path + (slash < 0 ? 0 : slash);
    std::memset(cut, 0, std::strlen(cut));
    return buffer;
}

uint32_t SdkFile::NameIfExtension(const char* path, const char* extension, char* out) {
    if (!out) return VQ_ERR_BAD_HANDLE;
    out[0] = 0;
    const int32_t dot = SdkLastIndexOf(path, '.');
    if (dot < 0 || SdkCompareNoCase(path + dot + 1, extension) != 0) return 0;
    const int32_t slash = SdkLastIndexOf(path, '/');
    std::strcpy(out, path + (slash + 1));
    return 0;
}

uint64_t SdkFile::FileTimeFromTimespec(const timespec& t) {
    const int64_t seconds = int64_t(t.tv_sec) + kFileTimeEpochOffset;
    if (seconds < 0) return 0;
    return uint64_t(seconds) * 10000000u + uint64_t(t.tv_nsec) / 100u;
}

void SdkFile::FileTimeToDos(uint32_t low, uint32_t high, uint16_t* date, uint16_t* time) {
    *date = *time = 0;
    const uint64_t ticks = uint64_t(high) << 32 | low;
    const time_t t = time_t(int64_t(ticks / 10000000u) - kFileTimeEpochOffset);
    std::tm tm{};
    if (!lumora::LocalTime::fromTime(t, tm)) return;
    uint16_t d, s;
    if (fieldsToDos(tm, d, s)) {
        *date = d;
        *time = s;
    }
}

uint32_t SdkFile::CopyFileWithRetry(const char* source, const char* destination) {
    uint32_t retries = 0;
    uint32_t status;
    for (;;) {
        status = copyFileNew(source, destination);
        if (status == 0) status = CopyFileTimes(source, destination);
        if (status != win32::ERROR_PATH_NOT_FOUND) break;
        ++retries;
        if (retries > 20) break;
    }
    copyRetryCount += retries;
    return status;
}

uint32_t SdkFile::CopyFileTimes(const char* source, const char* destination) {
    lumora::FileTimes::Times t;
    uint32_t err = 0;
    if (!lumora::FileTimes::get(std::string(source), t, err)) return 0;
    uint16_t cDate, cTime, wDate, wTime;
    universalToDos(t.creation, cDate, cTime);
    universalToDos(t.lastWrite, wDate, wTime);
    SdkUnifyDosStamps(&cDate, &cTime, &wDate, &wTime);
    time_t f;
    if (!dosToUniversalSeconds(cDate, cTime, f)) return 0;
    const int out =
        FileShare::open(destination, FileShare::Write, FileShare::ShareRead, FileShare::Creation::OpenExisting, err);
    if (out < 0) return 0;
    timespec stamp{};
    stamp.tv_sec = f;
    lumora::FileTimes::set(out, t.lastAccess, stamp, err);
    ::close(out);
    return 0;
}

void SdkStripFileName(char* path) {
    if (!std::strchr(path, '.')) return;
    const int32_t slash = SdkLastIndexOf(path, '/');
    if (slash >= 0) path[slash] = 0;
}

uint32_t SdkIsDirectory(const char* path, uint32_t* out) {
    *out = 0;
    struct stat st;
    if (::stat(path, &st) != 0) return win32::fromErrnoForPath(errno, path);
    *out = S_ISDIR(st.st_mode) ? 1 : 0;
    return 0;
}

uint32_t SdkTakeCopyRetryCount() { return copyRetryCount.exchange(0); }
