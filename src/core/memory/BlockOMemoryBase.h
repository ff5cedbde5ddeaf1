#pragma once
// A block of memory that registers with the process-wide BlockOMemoryPool, so
// that the pool may free it when memory runs short: never while it is pinned
// (priority 0), blocks of priority 2 before those of priority 1, the least
// recently used first. Its owner checks IsAllocated, inside a pin, before it
// uses what the block held. The fields a purge on another thread changes are
// atomic, so an owner may also look at an unpinned block (to re-create it).
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <ctime>

namespace NimbalCore {

class BlockOMemoryBase {
public:
    static constexpr int32_t kPinned = 0;
    static constexpr int32_t kPurgeLast = 1;
    static constexpr int32_t kPurgeFirst = 2;
    // The most bytes one block holds.
    static constexpr uint64_t kMaxSize = 0x7FFFFFFF;

    BlockOMemoryBase() = default;
    explicit BlockOMemoryBase(int32_t priority) : purgePriority_(priority) {}
    virtual ~BlockOMemoryBase();
    BlockOMemoryBase(const BlockOMemoryBase&) = delete;
    BlockOMemoryBase& operator=(const BlockOMemoryBase&) = delete;

    virtual void Create(uint64_t size) = 0;
    virtual void Free() = 0;
    virtual int32_t GetSize() const { return size_.load(std::memory_order_relaxed); }
    virtual time_t GetLastUseTime() const { return lastUse_.load(std::memory_order_relaxed); }
    virtual void Touch() { lastUse_.store(time(nullptr), std::memory_order_relaxed); }
    virtual bool IsAllocated() const { return allocated_.load(std::memory_order_acquire); }
    virtual void* GetData() const = 0;
    virtual int32_t GetPurgePriority() const { return purgePriority_.load(std::memory_order_relaxed); }
    virtual void SetPurgePriority(int32_t priority) { purgePriority_.store(priority, std::memory_order_relaxed); }

    void RegisterWithPool();
    void UnregisterFromPool();

protected:
    void SetAllocated(bool allocated) { allocated_.store(allocated, std::memory_order_release); }
    void SetSize(int32_t size) { size_.store(size, std::memory_order_relaxed); }
    void ClearLastUse() { lastUse_.store(0, std::memory_order_relaxed); }

private:
    friend class BlockOMemoryPool;

    std::atomic<bool> allocated_{false};
    std::atomic<time_t> lastUse_{0};
    std::atomic<int32_t> size_{0};
    std::atomic<int32_t> purgePriority_{kPurgeFirst};
    // Where the pool keeps the block (guarded by the pool's lock).
    size_t poolSlot_ = SIZE_MAX;
};

} // namespace NimbalCore
