#include "BlockOMemoryPool.h"

#include "BlockOMemoryBase.h"
#include "NbErrorCodes.h"
#include "StCriticalSectionLock.h"
#include "YlmErrp.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <unistd.h>

namespace NimbalCore {
namespace {

std::atomic<BlockOMemoryPool*> instance{nullptr};
std::atomic<bool> handlerInstalled{false};

std::mutex& creationMutex() {
    static std::mutex m;
    return m;
}

uint64_t defaultBudget() {
    if (const char* text = std::getenv("LUMORA_MEMORY_BUDGET")) {
        char* end = nullptr;
        const unsigned long long value = std::strtoull(text, &end, 10);
        if (end != text && *end == '\0' && value > 0) return value;
    }
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) / 2;
    return uint64_t(1) << 31;
}

} // namespace

BlockOMemoryPool::BlockOMemoryPool() : budget_(defaultBudget()) {}

BlockOMemoryPool* BlockOMemoryPool::Instance(bool installNewHandler) {
    BlockOMemoryPool* pool = instance.load(std::memory_order_acquire);
    if (pool) return pool;
    std::lock_guard guard(creationMutex());
    pool = instance.load(std::memory_order_acquire);
    if (pool) return pool;
    pool = new BlockOMemoryPool();
    if (installNewHandler) handlerInstalled.store(true);
    instance.store(pool, std::memory_order_release);
    return pool;
}

BlockOMemoryPool* BlockOMemoryPool::Existing() {
    return instance.load(std::memory_order_acquire);
}

bool BlockOMemoryPool::NewHandlerInstalled() {
    return handlerInstalled.load(std::memory_order_relaxed);
}

void BlockOMemoryPool::DeleteInstance() {
    std::lock_guard guard(creationMutex());
    delete instance.load();
}

BlockOMemoryPool::~BlockOMemoryPool() {
    handlerInstalled.store(false);
    if (instance.load() == this) instance.store(nullptr);
}

void BlockOMemoryPool::AddBlock(BlockOMemoryBase* block) {
    for (;;) {
        size_t wanted;
        {
            StCriticalSectionLock guard(lock_);
            if (block->poolSlot_ < blocks_.size() && blocks_[block->poolSlot_].block == block) return;
            if (blocks_.size() < blocks_.capacity() && candidates_.capacity() >= blocks_.capacity()) {
                const uint64_t size = block->GetSize() > 0 ? static_cast<uint64_t>(block->GetSize()) : 0;
                block->poolSlot_ = blocks_.size();
                blocks_.push_back(Entry{block, size, nextSequence_++});
                pooledBytes_ += size;
                return;
            }
            wanted = std::max<size_t>(64, blocks_.capacity() * 2);
        }
        // Room is made outside the lock: the allocation may itself have to
        // purge blocks, which must not happen while the register is moved.
        std::vector<Entry> moreBlocks;
        moreBlocks.reserve(wanted);
        std::vector<Candidate> moreCandidates;
        moreCandidates.reserve(wanted);
        StCriticalSectionLock guard(lock_);
        if (blocks_.capacity() < wanted) {
            moreBlocks.assign(blocks_.begin(), blocks_.end());
            blocks_.swap(moreBlocks);
        }
        if (candidates_.capacity() < blocks_.capacity()) candidates_.swap(moreCandidates);
    }
}

void BlockOMemoryPool::RemoveBlock(BlockOMemoryBase* block) {
    StCriticalSectionLock guard(lock_);
    const size_t slot = block->poolSlot_;
    if (slot >= blocks_.size() || blocks_[slot].block != block) return;
    pooledBytes_ -= blocks_[slot].size;
    if (slot + 1 != blocks_.size()) {
        blocks_[slot] = blocks_.back();
        blocks_[slot].block->poolSlot_ = slot;
    }
    blocks_.pop_back();
    block->poolSlot_ = SIZE_MAX;
}

uint64_t BlockOMemoryPool::Purge(Candidate& candidate) {
    BlockOMemoryBase* block = candidate.block;
    candidate.block = nullptr;
    const int32_t size = block->GetSize();
    block->Free();
    return size > 0 ? static_cast<uint64_t>(size) : 0;
}

uint64_t BlockOMemoryPool::Flush(uint64_t bytes) {
    StCriticalSectionLock guard(lock_);
    candidates_.clear();
    for (const Entry& e : blocks_) {
        if (e.block->IsAllocated() && e.block->GetPurgePriority() != BlockOMemoryBase::kPinned)
            candidates_.push_back(Candidate{e.block->GetLastUseTime(), e.sequence, e.block});
    }
    // Oldest first; equal times in the order the blocks registered.
    std::sort(candidates_.begin(), candidates_.end(), [](const Candidate& a, const Candidate& b) {
        return a.lastUse != b.lastUse ? a.lastUse < b.lastUse : a.sequence < b.sequence;
    });
    auto size = [](const Candidate& c) {
        const int32_t s = c.block->GetSize();
        return s > 0 ? static_cast<uint64_t>(s) : uint64_t(0);
    };

    // One old block that is big enough, rather than many.
    for (int32_t priority : {BlockOMemoryBase::kPurgeFirst, BlockOMemoryBase::kPurgeLast}) {
        for (Candidate& c : candidates_) {
            if (c.block && c.block->GetPurgePriority() == priority && size(c) >= bytes) return Purge(c);
        }
    }
    if (bytes == 0) return 0;

    uint64_t freed = 0;
    for (int32_t priority : {BlockOMemoryBase::kPurgeFirst, BlockOMemoryBase::kPurgeLast}) {
        for (Candidate& c : candidates_) {
            if (!c.block || c.block->GetPurgePriority() != priority) continue;
            freed += Purge(c);
            if (freed >= bytes) return freed;
        }
    }
    if (GetThrowOnFailure() == 1) YLM_THROW("BlockOMemoryPool::Flush", NbErrOutOfMemory);
    return freed;
}

uint64_t BlockOMemoryPool::OutOfMemoryHandler(uint64_t bytes) {
    BlockOMemoryPool* pool = Existing();
    if (!pool || !NewHandlerInstalled()) return 0;
    const uint64_t freed = pool->Flush(bytes);
    return freed >= bytes ? freed : 0;
}

void BlockOMemoryPool::SetMemoryBudget(uint64_t bytes) {
    StCriticalSectionLock guard(lock_);
    budget_ = bytes;
}

uint64_t BlockOMemoryPool::GetMemoryBudget() {
    StCriticalSectionLock guard(lock_);
    return budget_;
}

uint64_t BlockOMemoryPool::GetPooledBytes() {
    StCriticalSectionLock guard(lock_);
    return pooledBytes_;
}

size_t BlockOMemoryPool::GetBlockCount() {
    StCriticalSectionLock guard(lock_);
    return blocks_.size();
}

void BlockOMemoryPool::MakeRoomFor(uint64_t bytes) {
    StCriticalSectionLock guard(lock_);
    if (bytes <= budget_ && pooledBytes_ <= budget_ - bytes) return;
    const uint64_t excess = pooledBytes_ + bytes - budget_;
    Flush(excess);
}

} // namespace NimbalCore
