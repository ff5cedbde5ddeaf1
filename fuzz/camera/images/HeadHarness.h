#pragma once
// The input of the image-head fuzz targets: at most 1 MiB, copied into a vector
// of exactly its size so that any read past the end is seen, and handed to the
// target's body with its length.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumora::fuzz {

constexpr size_t kMaxHeadBytes = size_t(1) << 20;

template <typename Body>
int FuzzHead(const uint8_t* data, size_t size, Body body) {
    if (size > kMaxHeadBytes) return 0;
    const std::vector<uint8_t> bytes(data, data + size);
    body(bytes.data(), uint32_t(bytes.size()));
    return 0;
}

} // namespace lumora::fuzz
