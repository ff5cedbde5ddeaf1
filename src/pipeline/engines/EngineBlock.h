#pragma once
// Working buffers of the raw engine: blocks from malloc, freed when they go out
// of scope, and refused (null) when a count is beyond any real image.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "StripBufferSizes.h"
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

// The demosaiced planes of a strip as the sizes give them (a plane of no bytes
// is not made) and, when asked for, the fourth plane of four-channel output;
// false when memory ran out.
inline bool AllocatePlanes(const StripBufferSizes& sizes, Block<int16_t> (&planes)[3], Block<int16_t>* fourth) {
    const uint32_t planeBytes[3] = {sizes.firstPlaneBytes, sizes.secondPlaneBytes, sizes.thirdPlaneBytes};
    for (int i = 0; i < 3; ++i) {
        if (planeBytes[i] == 0) continue;
        planes[i] = Allocate<int16_t>(planeBytes[i] / 2);
        if (!planes[i]) return false;
    }
    if (fourth) {
        *fourth = Allocate<int16_t>(std::max(sizes.thirdPlaneBytes, sizes.firstPlaneBytes) / 2);
        if (!*fourth) return false;
    }
    return true;
}

} // namespace lumora::engine
