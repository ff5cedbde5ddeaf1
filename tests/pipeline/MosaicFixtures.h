#pragma once
// Test mosaics and a strip driver that cuts a whole mosaic into strips with three
// mirrored context rows above and below, as the engines hand them to demosaicers.
#include <cstdint>
#include <random>
#include <vector>

namespace lumora::test {

struct Mosaic {
    int width = 0;
    int height = 0;
    std::vector<int16_t> samples;
    int16_t at(int r, int c) const { return samples[size_t(r) * width + c]; }
};

inline Mosaic RandomMosaic(int width, int height, uint32_t seed, int lo = 0, int hi = 4095) {
    Mosaic m{width, height, std::vector<int16_t>(size_t(width) * height)};
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> d(lo, hi);
    for (auto& s : m.samples) s = int16_t(d(rng));
    return m;
}

// Even strip heights from 6 up that a planner could choose for `height` rows:
// the height divides it or leaves a last strip of at least 6 rows.
inline std::vector<int> PlannerStripHeights(int height) {
    std::vector<int> out;
    for (int h = 6; h <= height; h += 2)
        if (height % h == 0 || height % h >= 6) out.push_back(h);
    return out;
}

// Mirror about the edge rows keeps the colour-filter phase of every row.
inline int MirrorRow(int y, int height) {
    if (y < 0) return -y;
    if (y >= height) return 2 * (height - 1) - y;
    return y;
}

// Rows y0-3 ... y0+rows+2 of the mosaic, contiguous.
inline std::vector<int16_t> StripBuffer(const Mosaic& m, int y0, int rows) {
    std::vector<int16_t> buf(size_t(rows + 6) * m.width);
    for (int i = 0; i < rows + 6; ++i) {
        const int y = MirrorRow(y0 - 3 + i, m.height);
        for (int c = 0; c < m.width; ++c) buf[size_t(i) * m.width + c] = m.at(y, c);
    }
    return buf;
}

struct Rgb {
    int width = 0;
    int height = 0;
    std::vector<int32_t> r, g, b;
};

// Red at the odd columns of even rows, blue at the even columns of odd rows.
inline Mosaic MosaicOf(const Rgb& img) {
    Mosaic m{img.width, img.height, std::vector<int16_t>(size_t(img.width) * img.height)};
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const size_t i = size_t(y) * img.width + x;
            const bool green = (y & 1) == (x & 1);
            m.samples[i] = int16_t(green ? img.g[i] : ((y & 1) == 0 ? img.r[i] : img.b[i]));
        }
    return m;
}

} // namespace lumora::test
