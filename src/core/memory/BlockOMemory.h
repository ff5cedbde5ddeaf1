#pragma once
// A purgeable block on the heap. Creating it first makes room within the
// pool's memory budget (which may purge older blocks, or throw 1500); a size
// that a block cannot hold, or memory that cannot be had, throws 1502.
#include "BlockOMemoryBase.h"

namespace NimbalCore {

class BlockOMemory : public BlockOMemoryBase {
public:
    BlockOMemory() = default;
    explicit BlockOMemory(int32_t priority) : BlockOMemoryBase(priority) {}
    ~BlockOMemory() override;

    // Nothing when the block already holds memory. The memory is not cleared.
    void Create(uint64_t size) override;
    void Free() override;
    void* GetData() const override { return data_.load(std::memory_order_acquire); }

    // Keeps a block of at least size bytes as it is; otherwise replaces it
    // (the contents are not kept).
    void EnsureSize(uint64_t size);
    // Fill whole 32-bit words, 16-bit units or bytes; the bytes after the
    // last whole unit stay as they are.
    void Fill32(int32_t value);
    void Fill16(uint16_t value);
    void Fill8(int value);

    // A block that never registers with the pool.
    void SetNotPooled(bool notPooled) { notPooled_ = notPooled ? 1 : 0; }

private:
    void Release();

    std::atomic<void*> data_{nullptr};
    int32_t notPooled_ = 0;
};

} // namespace NimbalCore
