#include "MovableMemory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

using namespace lumora;

namespace {
// Restores the debug switch whatever a test does with it.
struct DebugMoves {
    bool was = MovableMemory::debugMoves();
    explicit DebugMoves(bool on) { MovableMemory::setDebugMoves(on); }
    ~DebugMoves() { MovableMemory::setDebugMoves(was); }
};
} // namespace

TEST(MovableMemory, LockCountsFollowLocksAndUnlocks) {
    DebugMoves off(false);
    const auto h = MovableMemory::alloc(16);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(MovableMemory::size(h), 16u);
    EXPECT_EQ(MovableMemory::lockCount(h), 0u);
    auto* a = static_cast<uint8_t*>(MovableMemory::lock(h));
    auto* b = static_cast<uint8_t*>(MovableMemory::lock(h));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(a[i], 0) << "new blocks are zeroed";
    EXPECT_EQ(MovableMemory::lockCount(h), 2u);
    EXPECT_EQ(MovableMemory::unlock(h), 1u);
    EXPECT_EQ(MovableMemory::unlock(h), 0u);
    // One unlock too many is harmless and leaves the count at 0.
    EXPECT_EQ(MovableMemory::unlock(h), 0u);
    EXPECT_EQ(MovableMemory::lockCount(h), 0u);
    EXPECT_TRUE(MovableMemory::free(h));
    EXPECT_FALSE(MovableMemory::isValid(h));
    EXPECT_FALSE(MovableMemory::free(h));
    EXPECT_EQ(MovableMemory::lock(h), nullptr);
    EXPECT_EQ(MovableMemory::lock(0), nullptr);
}

TEST(MovableMemory, ReallocateKeepsBytesZeroesGrowthAndRefusesToMoveLockedBlocks) {
    for (bool debug : {false, true}) {
        DebugMoves mode(debug);
        const auto h = MovableMemory::alloc(4);
        auto* p = static_cast<uint8_t*>(MovableMemory::lock(h));
        std::memcpy(p, "abcd", 4);
        // Locked: growth would move it, so it is refused and nothing changes.
        EXPECT_FALSE(MovableMemory::reallocate(h, 4096));
        EXPECT_EQ(MovableMemory::size(h), 4u);
        EXPECT_EQ(std::memcmp(p, "abcd", 4), 0);
        // Shrinking in place is fine while locked.
        EXPECT_TRUE(MovableMemory::reallocate(h, 2));
        EXPECT_EQ(p, MovableMemory::lock(h));
        MovableMemory::unlock(h);
        MovableMemory::unlock(h);
        ASSERT_TRUE(MovableMemory::reallocate(h, 4096));
        EXPECT_EQ(MovableMemory::size(h), 4096u);
        p = static_cast<uint8_t*>(MovableMemory::lock(h));
        EXPECT_EQ(p[0], 'a');
        EXPECT_EQ(p[1], 'b');
        for (int i = 2; i < 4096; ++i) ASSERT_EQ(p[i], 0) << "byte " << i << (debug ? " (debug)" : "");
        MovableMemory::unlock(h);
        MovableMemory::free(h);
    }
}

TEST(MovableMemory, DebugMovesPoisonWhatAStalePointerSees) {
    DebugMoves on(true);
    const auto h = MovableMemory::alloc(64);
    auto* first = static_cast<uint8_t*>(MovableMemory::lock(h));
    std::memset(first, 0x5A, 64);
    auto* again = static_cast<uint8_t*>(MovableMemory::lock(h));
    EXPECT_EQ(first, again);
    MovableMemory::unlock(h); // still locked once: must not move
    EXPECT_EQ(first[0], 0x5A);
    MovableMemory::unlock(h); // last unlock: moves
    // The stale pointer reads poison; the block's own bytes are intact elsewhere.
    EXPECT_EQ(first[0], MovableMemory::kPoisonByte);
    EXPECT_EQ(first[63], MovableMemory::kPoisonByte);
    auto* now = static_cast<uint8_t*>(MovableMemory::lock(h));
    EXPECT_NE(now, first);
    EXPECT_EQ(now[0], 0x5A);
    EXPECT_EQ(now[63], 0x5A);
    MovableMemory::unlock(h);
    MovableMemory::free(h);
}

TEST(MovableMemory, ThreadsShareTheTable) {
    DebugMoves on(true);
    const uint64_t before = MovableMemory::liveBlocks();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) {
                const auto h = MovableMemory::alloc(32);
                auto* p = static_cast<uint8_t*>(MovableMemory::lock(h));
                p[0] = uint8_t(t);
                MovableMemory::unlock(h);
                p = static_cast<uint8_t*>(MovableMemory::lock(h));
                EXPECT_EQ(p[0], uint8_t(t));
                MovableMemory::unlock(h);
                MovableMemory::free(h);
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(MovableMemory::liveBlocks(), before);
}
