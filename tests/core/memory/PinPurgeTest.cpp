// A pinned block is never purged by a purge running on another thread.
#include "BlockOMemory.h"
#include "BlockOMemoryLock.h"
#include "BlockOMemoryPool.h"
#include "StBlockOMemoryPoolExceptionDisabler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

using namespace NimbalCore;

TEST(PinPurgeTest, PinnedBlockSurvivesPurgesOnAnotherThread) {
    BlockOMemoryPool* pool = BlockOMemoryPool::Instance(true);
    pool->SetMemoryBudget(~uint64_t(0));
    BlockOMemory block;
    BlockOMemory other;
    std::atomic<bool> done{false};
    std::atomic<int> lostWhilePinned{0};
    std::atomic<int> purges{0};

    std::thread purger([&] {
        StBlockOMemoryPoolExceptionDisabler disabler;
        while (!done.load()) {
            pool->Flush(~uint64_t(0) >> 1);
            ++purges;
            std::this_thread::yield();
        }
    });
    // At least 2000 pins, and on until the purger has run a good many times.
    for (int i = 0; (i < 2000 || purges.load() < 200) && i < 2000000; ++i) {
        {
            BlockOMemoryLock pin(&block);
            if (!block.IsAllocated()) block.Create(4096);
            std::memset(block.GetData(), i & 0xFF, 4096);
            std::this_thread::yield();
            const uint8_t* p = static_cast<const uint8_t*>(block.GetData());
            if (!block.IsAllocated() || p[0] != (i & 0xFF) || p[4095] != (i & 0xFF)) ++lostWhilePinned;
        }
        other.EnsureSize(1024); // something unpinned for the purger to find
    }
    done = true;
    purger.join();
    EXPECT_EQ(lostWhilePinned.load(), 0);
    EXPECT_GT(purges.load(), 0);
}
