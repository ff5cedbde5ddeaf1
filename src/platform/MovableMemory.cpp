#include "MovableMemory.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <unordered_map>

namespace lumora {
namespace {

struct Block {
    uint8_t* data = nullptr;
    uint64_t size = 0;     // bytes the caller asked for
    uint64_t capacity = 0; // bytes held at data (>= size, at least 1)
    uint32_t locks = 0;
};

struct Retired {
    uint8_t* data;
    uint64_t capacity;
};

// Bytes of moved-away blocks kept mapped (poisoned) before they are freed.
constexpr uint64_t kQuarantineBytes = 64ull << 20;

struct Registry {
    std::mutex mutex;
    std::unordered_map<MovableMemory::Handle, Block> blocks;
    MovableMemory::Handle nextHandle = 1;
    std::deque<Retired> quarantine;
    uint64_t quarantineBytes = 0;
    std::atomic<bool> debug{false};

    Registry() {
        const char* env = std::getenv("LUMORA_MOVABLE_DEBUG");
        debug = env && env[0] == '1';
    }
    ~Registry() {
        for (auto& [h, b] : blocks) std::free(b.data);
        for (auto& r : quarantine) std::free(r.data);
    }

    MovableMemory::Handle newHandle() {
        // Handles wrap after 0xFFFFFFFF; 0 and handles still in use are skipped.
        for (;;) {
            const MovableMemory::Handle h = nextHandle++;
            if (h != 0 && !blocks.count(h)) return h;
        }
    }

    Block* find(MovableMemory::Handle h) {
        auto it = blocks.find(h);
        return it == blocks.end() ? nullptr : &it->second;
    }

    void retire(uint8_t* data, uint64_t capacity) {
        std::memset(data, MovableMemory::kPoisonByte, capacity);
        quarantine.push_back({data, capacity});
        quarantineBytes += capacity;
        while (quarantineBytes > kQuarantineBytes && quarantine.size() > 1) {
            quarantineBytes -= quarantine.front().capacity;
            std::free(quarantine.front().data);
            quarantine.pop_front();
        }
    }

    // Moves the block to fresh memory of newCapacity bytes, copying what fits
    // and poisoning the old place. False (block unchanged) when out of memory.
    bool moveTo(Block& b, uint64_t newCapacity, uint64_t keep) {
        auto* fresh = static_cast<uint8_t*>(std::malloc(newCapacity));
        if (!fresh) return false;
        std::memcpy(fresh, b.data, keep);
        retire(b.data, b.capacity);
        b.data = fresh;
        b.capacity = newCapacity;
        return true;
    }
};

Registry& registry() {
    static Registry* r = new Registry; // lives to the end of the process
    return *r;
}

uint64_t capacityFor(uint64_t bytes) { return bytes ? bytes : 1; }

} // namespace

MovableMemory::Handle MovableMemory::alloc(uint64_t bytes, bool zero) {
    if (bytes > (uint64_t(1) << 48)) return 0;
    const uint64_t cap = capacityFor(bytes);
    auto* data = static_cast<uint8_t*>(zero ? std::calloc(1, cap) : std::malloc(cap));
    if (!data) return 0;
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    const Handle h = r.newHandle();
    r.blocks.emplace(h, Block{data, bytes, cap, 0});
    return h;
}

bool MovableMemory::free(Handle h) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.blocks.find(h);
    if (it == r.blocks.end()) return false;
    if (r.debug) r.retire(it->second.data, it->second.capacity);
    else std::free(it->second.data);
    r.blocks.erase(it);
    return true;
}

void* MovableMemory::lock(Handle h) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    Block* b = r.find(h);
    if (!b || b->locks == UINT32_MAX) return nullptr;
    ++b->locks;
    return b->data;
}

uint32_t MovableMemory::unlock(Handle h) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    Block* b = r.find(h);
    if (!b || b->locks == 0) return 0;
    if (--b->locks == 0 && r.debug) r.moveTo(*b, b->capacity, b->capacity);
    return b->locks;
}

uint32_t MovableMemory::lockCount(Handle h) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    Block* b = r.find(h);
    return b ? b->locks : 0;
}

uint64_t MovableMemory::size(Handle h) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    Block* b = r.find(h);
    return b ? b->size : 0;
}

bool MovableMemory::isValid(Handle h) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.find(h) != nullptr;
}

bool MovableMemory::reallocate(Handle h, uint64_t bytes, bool zero) {
    if (bytes > (uint64_t(1) << 48)) return false;
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    Block* b = r.find(h);
    if (!b) return false;
    const uint64_t cap = capacityFor(bytes);
    if (b->locks > 0) {
        if (bytes > b->capacity) return false;
        // Shrinking in place; the freed tail is cleared so a later grow in place
        // cannot bring old bytes back.
        if (bytes < b->size) std::memset(b->data + bytes, 0, b->size - bytes);
        b->size = bytes;
        return true;
    }
    const uint64_t keep = bytes < b->size ? bytes : b->size;
    if (r.debug) {
        if (!r.moveTo(*b, cap, keep)) return false;
    } else {
        auto* data = static_cast<uint8_t*>(std::realloc(b->data, cap));
        if (!data) return false;
        b->data = data;
        b->capacity = cap;
    }
    if (bytes > keep) {
        if (zero) std::memset(b->data + keep, 0, bytes - keep);
    }
    b->size = bytes;
    return true;
}

void MovableMemory::setDebugMoves(bool on) { registry().debug = on; }
bool MovableMemory::debugMoves() { return registry().debug; }

uint64_t MovableMemory::liveBlocks() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.blocks.size();
}

} // namespace lumora
