// lumoraicon SIZE OUT.png
// Draws the program's emblem (a lens over a slide mount on a rounded tile) at
// SIZE x SIZE pixels and writes it as an RGBA PNG. The PNG is written with
// stored deflate blocks: the icons are small, and the build needs no image
// library for them.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Rgba {
    double r = 0, g = 0, b = 0, a = 0;
};

// Paints c over dst (straight alpha).
void over(Rgba& dst, const Rgba& c) {
    const double a = c.a + dst.a * (1.0 - c.a);
    if (a <= 0.0) {
        dst = {};
        return;
    }
    dst.r = (c.r * c.a + dst.r * dst.a * (1.0 - c.a)) / a;
    dst.g = (c.g * c.a + dst.g * dst.a * (1.0 - c.a)) / a;
    dst.b = (c.b * c.a + dst.b * dst.a * (1.0 - c.a)) / a;
    dst.a = a;
}

Rgba mix(const Rgba& x, const Rgba& y, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}

// The emblem at a point of the unit square (0..1, y down).
Rgba emblem(double x, double y) {
    Rgba p;
    // The tile: a rounded square with a vertical gradient.
    const double m = 0.04, radius = 0.18;
    const double qx = std::max(std::fabs(x - 0.5) - (0.5 - m - radius), 0.0);
    const double qy = std::max(std::fabs(y - 0.5) - (0.5 - m - radius), 0.0);
    if (std::hypot(qx, qy) <= radius)
        over(p, mix({0.17, 0.20, 0.26, 1}, {0.07, 0.08, 0.11, 1}, (y - m) / (1 - 2 * m)));
    // The slide mount: a light frame behind the lens.
    const double fx = std::fabs(x - 0.5), fy = std::fabs(y - 0.5);
    if (fx <= 0.36 && fy <= 0.30 && !(fx <= 0.27 && fy <= 0.21)) over(p, {0.90, 0.88, 0.82, 1});
    // The lens: a metal ring, a deep blue glass and a warm highlight.
    const double d = std::hypot(x - 0.5, y - 0.5);
    if (d <= 0.30) over(p, mix({0.78, 0.80, 0.84, 1}, {0.45, 0.48, 0.54, 1}, (y - 0.2) / 0.6));
    if (d <= 0.24) over(p, mix({0.10, 0.42, 0.62, 1}, {0.03, 0.12, 0.24, 1}, d / 0.24));
    if (d <= 0.10) over(p, {0.02, 0.04, 0.08, 1});
    if (std::hypot(x - 0.42, y - 0.41) <= 0.055) over(p, {1.00, 0.72, 0.30, 0.9});
    return p;
}

uint32_t crc32(const uint8_t* data, size_t n, uint32_t crc = 0) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < n; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(uint8_t(v >> s));
}

void chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    put32(png, uint32_t(data.size()));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    put32(png, crc32(png.data() + start, png.size() - start));
}

// A zlib stream of stored blocks.
std::vector<uint8_t> zlibStored(const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> z{0x78, 0x01};
    size_t pos = 0;
    do {
        const size_t n = std::min<size_t>(raw.size() - pos, 65535);
        const bool last = pos + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(uint8_t(n));
        z.push_back(uint8_t(n >> 8));
        z.push_back(uint8_t(~n));
        z.push_back(uint8_t(~n >> 8));
        z.insert(z.end(), raw.begin() + long(pos), raw.begin() + long(pos + n));
        pos += n;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    put32(z, (b << 16) | a);
    return z;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: lumoraicon SIZE OUT.png\n");
        return 2;
    }
    const int size = std::atoi(argv[1]);
    if (size < 8 || size > 1024) {
        std::fprintf(stderr, "lumoraicon: size must be 8..1024\n");
        return 2;
    }
    // Four by four samples per pixel smooth the edges.
    constexpr int kSamples = 4;
    std::vector<uint8_t> raw;
    raw.reserve(size_t(size) * (size_t(size) * 4 + 1));
    for (int y = 0; y < size; ++y) {
        raw.push_back(0); // no filter
        for (int x = 0; x < size; ++x) {
            double r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx) {
                    const Rgba c =
                        emblem((x + (sx + 0.5) / kSamples) / size, (y + (sy + 0.5) / kSamples) / size);
                    r += c.r * c.a;
                    g += c.g * c.a;
                    b += c.b * c.a;
                    a += c.a;
                }
            auto byte = [](double v) { return uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
            raw.push_back(a > 0 ? byte(r / a) : 0);
            raw.push_back(a > 0 ? byte(g / a) : 0);
            raw.push_back(a > 0 ? byte(b / a) : 0);
            raw.push_back(byte(a / (kSamples * kSamples)));
        }
    }
    std::vector<uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    put32(header, uint32_t(size));
    put32(header, uint32_t(size));
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8-bit RGBA, no interlace
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", zlibStored(raw));
    chunk(png, "IEND", {});
    FILE* f = std::fopen(argv[2], "wb");
    if (!f || std::fwrite(png.data(), 1, png.size(), f) != png.size() || std::fclose(f) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
