#pragma once
// The process-wide register of purgeable blocks. When memory runs short it
// frees unpinned blocks by priority and age. Memory runs short two ways: the
// program's operator new finds malloc failing (it then asks
// OutOfMemoryHandler and retries), or the pooled blocks would grow beyond the
// memory budget (BlockOMemory::Create and the pixel buffers ask MakeRoomFor
// before they allocate; Linux overcommits, so malloc alone rarely fails).
#include "YlmMutex.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <vector>

namespace NimbalCore {

class BlockOMemoryBase;

class BlockOMemoryPool {
public:
    // The pool, created by the first call; with installNewHandler the
    // program's operator new turns to it when malloc fails.
    static BlockOMemoryPool* Instance(bool installNewHandler = true);
    // The pool when it exists, else null (never creates it).
    static BlockOMemoryPool* Existing();
    // Deletes the pool (at exit, after everything that used it).
    static void DeleteInstance();
    // Whether operator new is to ask the pool (Instance(true) was called).
    static bool NewHandlerInstalled();

    virtual ~BlockOMemoryPool();
    BlockOMemoryPool(const BlockOMemoryPool&) = delete;
    BlockOMemoryPool& operator=(const BlockOMemoryPool&) = delete;

    void AddBlock(BlockOMemoryBase* block);
    void RemoveBlock(BlockOMemoryBase* block);

    // Frees blocks for a request of bytes: the oldest single block of
    // priority 2 (then 1) that is big enough; else priority-2 blocks, then
    // priority-1 blocks, oldest first, until enough is freed. Answers the
    // bytes freed; short of bytes it throws 1500 unless a disabler lives.
    uint64_t Flush(uint64_t bytes);
    // What operator new asks when malloc fails: the bytes freed when they
    // cover the request (the allocation is then retried), else 0.
    static uint64_t OutOfMemoryHandler(uint64_t bytes);

    // 1 when a flush short of bytes throws: the setting, while no disabler
    // lives on any thread (they may end in any order).
    void SetThrowOnFailure(int32_t on) { throwOnFailure_.store(on); }
    int32_t GetThrowOnFailure() const { return throwOnFailure_.load() == 1 && disablers_.load() == 0 ? 1 : 0; }
    void AddDisabler() { disablers_.fetch_add(1); }
    void RemoveDisabler() { disablers_.fetch_sub(1); }

    // The bytes the registered blocks may hold together before new blocks
    // purge old ones: LUMORA_MEMORY_BUDGET (bytes) when set, else half the
    // physical memory.
    void SetMemoryBudget(uint64_t bytes);
    uint64_t GetMemoryBudget();
    uint64_t GetPooledBytes();
    size_t GetBlockCount();
    // Frees what bytes more would bring beyond the budget (Flush's rule,
    // 1500 and disabler included).
    void MakeRoomFor(uint64_t bytes);

    YlmMutex& GetLock() { return lock_; }

private:
    BlockOMemoryPool();

    struct Entry {
        BlockOMemoryBase* block;
        uint64_t size;     // as registered
        uint64_t sequence; // registration order
    };
    struct Candidate {
        time_t lastUse;
        uint64_t sequence;
        BlockOMemoryBase* block;
    };

    uint64_t Purge(Candidate& candidate);

    // In no particular order: a block leaves by swapping with the last one,
    // each block knowing its slot, so that a purge of many blocks stays
    // linear. The registration order is kept in the sequence numbers.
    std::vector<Entry> blocks_;
    // Room for the purge's list, kept as large as the register so that a
    // purge run for a failing allocation allocates nothing itself.
    std::vector<Candidate> candidates_;
    YlmMutex lock_;
    std::atomic<int32_t> throwOnFailure_{1};
    std::atomic<int32_t> disablers_{0};
    uint64_t pooledBytes_ = 0;
    uint64_t nextSequence_ = 0;
    uint64_t budget_ = 0;
};

} // namespace NimbalCore
