#include "BlockOMemory.h"

#include "BlockOMemoryPool.h"
#include "NbErrorCodes.h"
#include "StCriticalSectionLock.h"
#include "YlmErrp.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <new>

namespace NimbalCore {

namespace {

// Large blocks (whole strips, caches) are written once into fresh memory:
// huge pages spare the kernel a fault per 4 KiB page. Advice only.
void AdviseHugePages(void* memory, uint64_t size) {
    constexpr uintptr_t kHugePage = uintptr_t(2) << 20;
    if (size < 2 * kHugePage) return;
    const uintptr_t start = (reinterpret_cast<uintptr_t>(memory) + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(memory) + size) & ~(kHugePage - 1);
    if (end > start) (void)::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

} // namespace

BlockOMemory::~BlockOMemory() {
    // Through the lock even when the block looks empty: a purge on another
    // thread that emptied it may still be finishing with it.
    Free();
}

void BlockOMemory::Create(uint64_t size) {
    if (IsAllocated() || data_) return;
    if (size > kMaxSize) YLM_THROW("BlockOMemory::Create", NbErrAllocFailed);
    BlockOMemoryPool::Instance(true)->MakeRoomFor(size);
    uint8_t* memory = nullptr;
    try {
        memory = new uint8_t[size];
    } catch (const std::bad_alloc&) {
        memory = nullptr;
    }
    if (!memory) {
        SetAllocated(false);
        ClearLastUse();
        SetSize(0);
        YLM_THROW("BlockOMemory::Create", NbErrAllocFailed);
    }
    AdviseHugePages(memory, size);
    data_.store(memory, std::memory_order_release);
    Touch();
    SetSize(static_cast<int32_t>(size));
    SetAllocated(true);
    if (notPooled_) return;
    try {
        RegisterWithPool();
    } catch (...) {
        Release();
        throw;
    }
}

void BlockOMemory::Free() {
    if (notPooled_) {
        Release();
        return;
    }
    // Under the pool's lock, so that the owner and a purge on another thread
    // never both free the memory. Memory held without a pool (it was
    // deleted at exit) is simply given back.
    BlockOMemoryPool* pool = BlockOMemoryPool::Existing();
    if (!pool) {
        Release();
        return;
    }
    StCriticalSectionLock guard(pool->GetLock());
    if (!data_) return;
    UnregisterFromPool();
    Release();
}

void BlockOMemory::Release() {
    void* data = data_.exchange(nullptr, std::memory_order_acq_rel);
    if (!data) return;
    delete[] static_cast<uint8_t*>(data);
    SetAllocated(false);
    ClearLastUse();
    SetSize(0);
    SetPurgePriority(kPurgeFirst);
}

void BlockOMemory::EnsureSize(uint64_t size) {
    if (IsAllocated() && static_cast<uint64_t>(GetSize()) >= size) return;
    if (IsAllocated()) Free();
    Create(size);
}

void BlockOMemory::Fill32(int32_t value) {
    uint8_t* p = static_cast<uint8_t*>(GetData());
    if (!p || GetSize() < 4) return;
    const size_t words = static_cast<size_t>(GetSize()) / 4;
    for (size_t i = 0; i < words; ++i) std::memcpy(p + i * 4, &value, 4);
}

void BlockOMemory::Fill16(uint16_t value) {
    uint8_t* p = static_cast<uint8_t*>(GetData());
    if (!p || GetSize() < 2) return;
    const size_t units = static_cast<size_t>(GetSize()) / 2;
    for (size_t i = 0; i < units; ++i) std::memcpy(p + i * 2, &value, 2);
}

void BlockOMemory::Fill8(int value) {
    void* p = GetData();
    if (!p) return;
    std::memset(p, value, static_cast<size_t>(GetSize()));
}

} // namespace NimbalCore
