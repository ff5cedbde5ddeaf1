#pragma once
// Movable memory blocks reached through a handle, with lock counts: a block may
// move whenever nobody holds it locked, so a pointer is only good between a lock
// and the matching unlock. Thread-safe.
//
// Debug moves: when switched on, every block is moved on its last unlock (and on
// every resize) and its old bytes are overwritten with kPoisonByte, so a pointer
// kept past its unlock reads poison instead of data that merely looks right. The
// old bytes stay mapped for a while (a bounded quarantine) so such a read is a
// visible wrong value in a test rather than a crash.
#include <cstdint>

namespace lumora {

class MovableMemory {
public:
    using Handle = uint32_t; // 0 is never a block
    static constexpr uint8_t kPoisonByte = 0xDD;

    // A new block of bytes (zero-filled when zero is set); 0 when out of memory.
    static Handle alloc(uint64_t bytes, bool zero = true);
    // Frees the block, locked or not. False for a handle that is not a block.
    static bool free(Handle h);

    // The block's bytes, its lock count raised by one; null for a bad handle.
    // A block of 0 bytes answers a valid, non-null pointer that must not be read.
    static void* lock(Handle h);
    // Lowers the lock count by one and answers the count left. A block that was
    // not locked (or a bad handle) is left alone and answers 0.
    static uint32_t unlock(Handle h);
    // How many locks the block holds (0 for a bad handle).
    static uint32_t lockCount(Handle h);
    static uint64_t size(Handle h);
    static bool isValid(Handle h);

    // Gives the block a new size, keeping its handle and its bytes up to the
    // smaller size; new bytes are zero when zero is set. An unlocked block may
    // move; a locked block is only resized when it fits where it is (shrinking),
    // so that pointers held under its locks stay good. False when that is not
    // possible or memory runs out; the block is then unchanged.
    static bool reallocate(Handle h, uint64_t bytes, bool zero = true);

    // Debug moves (see above); off by default, or on when the environment has
    // LUMORA_MOVABLE_DEBUG=1 at start-up.
    static void setDebugMoves(bool on);
    static bool debugMoves();

    // Number of live blocks, for leak checks in tests.
    static uint64_t liveBlocks();
};

} // namespace lumora
