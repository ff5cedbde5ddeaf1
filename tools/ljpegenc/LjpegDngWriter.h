#pragma once
// Wraps one lossless-JPEG stream as a minimal one-tile CFA DNG (Compression 7)
// so that outside raw decoders can read the same stream we decode.
#include <cstdint>
#include <vector>

namespace ljpegenc {

// width and height are in sensor samples (frame columns × components, rows).
std::vector<uint8_t> wrapLjpegAsDng(const std::vector<uint8_t>& stream, uint32_t width, uint32_t height,
                                    uint32_t bitsPerSample);

} // namespace ljpegenc
