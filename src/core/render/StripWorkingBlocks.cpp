#include "StripWorkingBlocks.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <utility>
#include <vector>

namespace NimbalCore {
namespace {

struct Kept {
    Kept() { blocks.reserve(StripWorkingBlocks::kMaxKeptBlocks + 1); }
    std::mutex mutex;
    std::vector<std::unique_ptr<StripWorkingBlocks::Block>> blocks;
};

Kept& kept() {
    static Kept k;
    return k;
}

uint64_t SizeOf(const StripWorkingBlocks::Block& block) {
    return block.IsAllocated() && block.GetSize() > 0 ? uint64_t(block.GetSize()) : 0;
}

} // namespace

StripWorkingBlocks::Lease::Lease(uint64_t size) : block_(Take(size)) {
    // Too small to serve: freed before the pin, so that it is made again
    // (pinned) at its new size.
    if (block_->IsAllocated() && SizeOf(*block_) < size) block_->Free();
    pin_.emplace(block_.get());
    // A purge may have freed it before the pin; from here on none can.
    if (!block_->IsAllocated()) block_->Create(size);
}

StripWorkingBlocks::Lease::~Lease() {
    pin_.reset();
    try {
        Give(std::move(block_));
    } catch (...) {
        // Not kept, then: the block is freed with the lease.
    }
}

void* StripWorkingBlocks::Lease::GetData() const { return block_->GetData(); }

int32_t StripWorkingBlocks::Lease::GetSize() const { return block_->GetSize(); }

std::unique_ptr<StripWorkingBlocks::Block> StripWorkingBlocks::Take(uint64_t size) {
    std::unique_ptr<Block> block;
    {
        Kept& k = kept();
        std::lock_guard guard(k.mutex);
        // The smallest that holds size; else an emptied one; else the
        // largest, to be made again. (A purge may empty a block meanwhile:
        // the lease checks again under its pin.)
        auto rank = [size](uint64_t s) -> std::pair<int, uint64_t> {
            if (s >= size && s > 0) return {0, s};
            if (s == 0) return {1, 0};
            return {2, ~s};
        };
        auto best = k.blocks.end();
        std::pair<int, uint64_t> bestRank{3, 0};
        for (auto it = k.blocks.begin(); it != k.blocks.end(); ++it) {
            const auto r = rank(SizeOf(**it));
            if (r < bestRank) best = it, bestRank = r;
        }
        if (best != k.blocks.end()) {
            block = std::move(*best);
            k.blocks.erase(best);
        }
    }
    if (!block) return std::make_unique<Block>();
    block->SetKept(false);
    return block;
}

void StripWorkingBlocks::Give(std::unique_ptr<Block> block) {
    if (!block || !block->IsAllocated()) return;
    // Nothing here allocates, so giving back cannot fail.
    constexpr size_t kSlots = kMaxKeptBlocks + 1;
    std::array<std::unique_ptr<Block>, kSlots> surplus;
    {
        Kept& k = kept();
        std::lock_guard guard(k.mutex);
        block->SetKept(true);
        k.blocks.push_back(std::move(block)); // within the reserved room
        // The largest are kept. Sizes are read once: a purge on another
        // thread may empty a kept block at any moment.
        const size_t n = k.blocks.size();
        std::array<std::pair<uint64_t, size_t>, kSlots> order;
        for (size_t i = 0; i < n; ++i) order[i] = {SizeOf(*k.blocks[i]), i};
        std::stable_sort(order.begin(), order.begin() + n,
                         [](const auto& x, const auto& y) { return x.first > y.first; });
        uint64_t total = 0;
        size_t keptCount = 0, dropped = 0;
        std::array<std::unique_ptr<Block>, kSlots> keep;
        for (size_t i = 0; i < n; ++i) {
            auto& b = k.blocks[order[i].second];
            const uint64_t size = order[i].first;
            if (size > 0 && keptCount < kMaxKeptBlocks && total + size <= kMaxKeptBytes) {
                total += size;
                keep[keptCount++] = std::move(b);
            } else {
                surplus[dropped++] = std::move(b);
            }
        }
        k.blocks.clear();
        for (size_t i = 0; i < keptCount; ++i) k.blocks.push_back(std::move(keep[i]));
    }
    // The surplus is freed here, outside the lock: freeing takes the memory
    // pool's.
}

void StripWorkingBlocks::Release() {
    std::array<std::unique_ptr<Block>, kMaxKeptBlocks + 1> all;
    Kept& k = kept();
    std::lock_guard guard(k.mutex);
    for (size_t i = 0; i < k.blocks.size(); ++i) all[i] = std::move(k.blocks[i]);
    k.blocks.clear(); // the room stays reserved
}

size_t StripWorkingBlocks::GetKeptBlockCount() {
    Kept& k = kept();
    std::lock_guard guard(k.mutex);
    return k.blocks.size();
}

uint64_t StripWorkingBlocks::GetKeptBytes() {
    Kept& k = kept();
    std::lock_guard guard(k.mutex);
    uint64_t total = 0;
    for (const auto& b : k.blocks) total += SizeOf(*b);
    return total;
}

} // namespace NimbalCore
