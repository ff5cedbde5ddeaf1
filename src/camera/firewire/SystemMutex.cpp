#include "SystemMutex.h"

#include "FireWireClock.h"
#include "FwEvent.h"
#include "Locations.h"
#include "Win32Error.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace lumora::vq {

SystemMutex::~SystemMutex() { Close(); }

uint32_t SystemMutex::Open(const std::string& name) {
    Close();
    const std::filesystem::path dir = lumora::Locations::RuntimeDir();
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::string path = (dir / (name + ".lock")).string();
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    return fd_ >= 0 ? 0u : lumora::win32::fromErrno(errno);
}

void SystemMutex::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool SystemMutex::LockLocal(uint32_t ms) {
    std::unique_lock<std::mutex> g(localLock_);
    const auto free = [this] { return !localHeld_; };
    if (ms == FwEvent::kInfinite) {
        localFree_.wait(g, free);
    } else if (!localFree_.wait_for(g, std::chrono::microseconds(FireWireClock::RealMicros(ms)), free)) {
        return false;
    }
    localHeld_ = true;
    return true;
}

void SystemMutex::UnlockLocal() {
    {
        std::lock_guard<std::mutex> g(localLock_);
        localHeld_ = false;
    }
    localFree_.notify_one();
}

uint32_t SystemMutex::Acquire(uint32_t ms) {
    if (fd_ < 0) return lumora::win32::ERROR_INVALID_HANDLE;
    const uint64_t start = FireWireClock::NowMs();
    if (!LockLocal(ms)) return FwEvent::kTimeout;
    for (;;) {
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        if (::fcntl(fd_, F_OFD_SETLK, &lock) == 0) return 0;
        if (errno != EAGAIN && errno != EACCES && errno != EINTR) {
            const uint32_t error = lumora::win32::fromErrno(errno);
            UnlockLocal();
            return error;
        }
        if (ms != FwEvent::kInfinite && FireWireClock::NowMs() - start >= ms) {
            UnlockLocal();
            return FwEvent::kTimeout;
        }
        ::usleep(200);
    }
}

void SystemMutex::Release() {
    if (fd_ < 0) return;
    struct flock lock {};
    lock.l_type = F_UNLCK;
    lock.l_whence = SEEK_SET;
    (void)::fcntl(fd_, F_OFD_SETLK, &lock);
    UnlockLocal();
}

} // namespace lumora::vq
