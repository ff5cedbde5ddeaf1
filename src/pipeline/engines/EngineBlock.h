#pragma once
// Working buffers of the raw engine: blocks from malloc, freed when they go out
// of scope, and refused (null) when a count is beyond any real image.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "VqOutputTypes.h"

namespace lumora::engine {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Block = std::unique_ptr<T[], FreeDeleter>;

template <typename T>
Block<T> Allocate(uint64_t count) {
    if (count > (uint64_t(1) << 40) / sizeof(T)) return Block<T>();
    return Block<T>(static_cast<T*>(std::malloc(count ? size_t(count) * sizeof(T) : 1)));
}

// Output types with a fourth plane.
inline bool IsFourChannel(uint32_t type) { return type == VQ_TYPE_CMYK8 || type == VQ_TYPE_CMYK16; }

} // namespace lumora::engine
