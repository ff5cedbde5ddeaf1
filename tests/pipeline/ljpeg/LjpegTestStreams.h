#pragma once
// Sample patterns and decode helpers shared by the lossless-JPEG tests.
#include "LosslessJpegDecoder.h"
#include "LosslessJpegEncoder.h"

#include <cstdint>
#include <random>
#include <vector>

namespace ljpegtest {

// Smooth gradients with noise, a few saturated and black samples and, where
// the precision allows, jumps of half the range (difference category 16 at 16 bits).
inline std::vector<uint16_t> makeSamples(uint32_t columns, uint32_t rows, uint32_t components,
                                         uint32_t precision, uint32_t seed) {
    std::mt19937 rng(seed);
    const uint32_t maxv = (1u << precision) - 1;
    std::vector<uint16_t> v(size_t(columns) * rows * components);
    for (uint32_t y = 0; y < rows; ++y)
        for (uint32_t x = 0; x < columns; ++x)
            for (uint32_t c = 0; c < components; ++c) {
                const uint32_t i = (y * columns + x) * components + c;
                uint32_t base = (x * 97 + y * 61 + c * 1000) * (maxv / 255 + 1) / 4;
                uint32_t s = (base + rng() % (maxv / 16 + 2)) & maxv;
                const uint32_t pick = rng() % 50;
                if (pick == 0) s = maxv;
                else if (pick == 1) s = 0;
                else if (pick == 2) s = (s + (maxv + 1) / 2) & maxv;
                v[i] = uint16_t(s);
            }
    return v;
}

// Encoder options: x columns of n components, y rows, precision p, predictor
// pred and a restart interval of ri MCUs (0: none).
inline ljpegenc::EncodeOptions options(uint32_t x, uint32_t y, uint32_t n, uint32_t p, uint32_t pred,
                                       uint32_t ri = 0) {
    ljpegenc::EncodeOptions o;
    o.columns = x;
    o.rows = y;
    o.components = n;
    o.precision = p;
    o.predictor = pred;
    o.restartInterval = ri;
    return o;
}

struct Decoded {
    VqStatus status = 0;
    int32_t outputBytes = -1;
    int32_t precision = -1;
    std::vector<uint16_t> samples;
};

inline Decoded decode(const std::vector<uint8_t>& stream, uint64_t capacity, uint32_t rawWidth = 0,
                      uint32_t rawHeight = 0,
                      lumora::LosslessJpegDecoder::Path path = lumora::LosslessJpegDecoder::Path::Fast) {
    lumora::LosslessJpegDecoder dec;
    dec.setPath(path);
    *dec.parameters()[lumora::LosslessJpegDecoder::InputBytes] = int32_t(stream.size());
    Decoded d;
    d.samples.assign(capacity + 1, 0xA5A5); // one guard sample past the capacity
    static const uint8_t empty = 0;
    d.status = dec.Decode(stream.empty() ? &empty : stream.data(), d.samples.data(), capacity, rawWidth, rawHeight);
    d.outputBytes = *dec.parameters()[lumora::LosslessJpegDecoder::OutputBytes];
    d.precision = *dec.parameters()[lumora::LosslessJpegDecoder::Precision];
    return d;
}

// The samples a decoder delivers: the first two components of each column.
inline std::vector<uint16_t> expectedOutput(const std::vector<uint16_t>& in, uint32_t columns, uint32_t rows,
                                            uint32_t components) {
    if (components <= 2) return in;
    std::vector<uint16_t> out;
    for (uint32_t i = 0; i < columns * rows; ++i) {
        out.push_back(in[i * components]);
        out.push_back(in[i * components + 1]);
    }
    return out;
}

} // namespace ljpegtest
