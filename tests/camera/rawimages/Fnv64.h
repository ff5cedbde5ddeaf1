#pragma once
// FNV-1a, 64 bits: the render-hash tests store these values, so the function
// must never change.
#include <cstddef>
#include <cstdint>

namespace rawimagetest {

class Fnv64 {
public:
    void Add(const void* data, size_t n) {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < n; ++i) {
            hash_ ^= p[i];
            hash_ *= 0x100000001B3ull;
        }
    }
    void Add32(uint32_t v) {
        const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        Add(b, 4);
    }
    uint64_t value() const { return hash_; }

private:
    uint64_t hash_ = 0xCBF29CE484222325ull;
};

} // namespace rawimagetest
