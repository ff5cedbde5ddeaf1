#pragma once
// A mutex shared by every process of the user, by name: an open-file-description
// lock on a file of that name in the runtime folder. The lock goes with the
// process, so a crashed holder never leaves it taken. Threads sharing one
// object take turns on it too. Not recursive.
#include <cstdint>
#include <condition_variable>
#include <mutex>
#include <string>

namespace lumora::vq {

class SystemMutex {
public:
    SystemMutex() = default;
    ~SystemMutex();
    SystemMutex(const SystemMutex&) = delete;
    SystemMutex& operator=(const SystemMutex&) = delete;

    // 0, or the Win32 error of creating the lock file.
    uint32_t Open(const std::string& name);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    // 0 when taken within ms clock milliseconds, 258 on a time-out, else an error.
    uint32_t Acquire(uint32_t ms);
    void Release();

private:
    int fd_ = -1;
    // Locks on one open file do not exclude each other: the threads of this
    // process that share the object are kept apart here.
    bool LockLocal(uint32_t ms);
    void UnlockLocal();
    std::mutex localLock_;
    std::condition_variable localFree_;
    bool localHeld_ = false;
};

} // namespace lumora::vq
