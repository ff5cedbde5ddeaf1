#pragma once
// Blocks kept by key (the address of a caller's static) and scope: one for
// the process, or one per thread. A block stays where it is for its life; the
// lock count only records how many users hold it.
#include <cstdint>
#include <map>
#include <mutex>
#include <tuple>

namespace orvexcms {

class ThreadMemory {
public:
    static ThreadMemory& instance();

    void* create(const void* key, int32_t scope, uint32_t size);
    void* find(const void* key, int32_t scope);
    void unlock(const void* key, int32_t scope);
    void destroy(const void* key, int32_t scope);

private:
    ThreadMemory() = default;
    using Key = std::tuple<const void*, int32_t, uint64_t>;
    static bool keyFor(const void* key, int32_t scope, Key& out);
    struct Block {
        void* data;
        uint32_t locks;
    };
    std::mutex mutex_;
    std::map<Key, Block> blocks_;
};

} // namespace orvexcms
