#pragma once
// The strip renderer's 16-bit working blocks, kept from one render to the
// next. A render needs the same few large blocks (tens of megabytes) again
// and again: an export renders strip after strip, a preview re-renders on
// every change. Blocks that large come from the system as fresh pages, which
// are zeroed on first touch; made and freed for every render, that first
// touch costs more than the render's own work. So a render leases its blocks
// here and gives them back at its end.
//
// What is kept is bounded (kMaxKeptBlocks, kMaxKeptBytes) and stays
// registered with the memory pool, unpinned: a kept block holds nothing
// anyone reads again, so it answers the pool as the oldest of blocks and any
// purge frees it before the caches of the same priority. A lease that finds
// its block purged makes it again.
#include "BlockOMemory.h"
#include "BlockOMemoryLock.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

namespace NimbalCore {

class StripWorkingBlocks {
public:
    // One render with sharpening uses three blocks.
    static constexpr size_t kMaxKeptBlocks = 3;
    // Twice a full render's largest strip block (64 MiB of 16-bit RGB): one
    // render's blocks, or an export's and a preview's at the same time.
    static constexpr uint64_t kMaxKeptBytes = uint64_t(128) << 20;

    class Block;

    // A working block for one render: pinned while the lease lives, holding
    // at least the leased size (its contents are whatever was there before).
    // Given back to the kept blocks when the lease ends.
    class Lease {
    public:
        // Throws as BlockOMemory::Create does (1500, 1502).
        explicit Lease(uint64_t size);
        ~Lease();
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;

        void* GetData() const;
        int32_t GetSize() const;

    private:
        std::unique_ptr<Block> block_;
        std::optional<BlockOMemoryLock> pin_; // ends before the block is given back
    };

    // Frees every kept block (when the image pool closes, and for tests).
    static void Release();
    static size_t GetKeptBlockCount();
    // The bytes the kept blocks hold now (a purged one holds none).
    static uint64_t GetKeptBytes();

private:
    static std::unique_ptr<Block> Take(uint64_t size);
    static void Give(std::unique_ptr<Block> block);
};

// A BlockOMemory that, while it waits among the kept blocks, answers the
// pool with the earliest possible last use.
class StripWorkingBlocks::Block : public BlockOMemory {
public:
    // Kept blocks are dropped while purges run on other threads: the free
    // goes through the pool's lock before anything of the block is undone.
    ~Block() override { Free(); }
    time_t GetLastUseTime() const override { return kept_.load() ? 0 : BlockOMemory::GetLastUseTime(); }
    void SetKept(bool kept) { kept_.store(kept); }

private:
    std::atomic<bool> kept_{false};
};

} // namespace NimbalCore
