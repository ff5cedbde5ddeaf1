#include "ChromaReference.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <vector>

#include "IntOps.h"

namespace lumora::reference {

namespace {

using Plane = std::vector<int32_t>;

void Clean(Plane& d, Plane& w, int width, int height) {
    auto at = [&](const Plane& p, int y, int x) { return p[size_t(y) * width + x]; };
    w = d;   // samples outside every window keep their colour difference
    const Plane d0 = d;
    for (int y = 1; y <= height - 2; ++y)
        for (int x = 1; x <= width - 2; ++x) {
            int32_t m = at(d0, y, x);
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) m = std::min(m, at(d0, y + dy, x + dx));
            w[size_t(y) * width + x] = m;
        }
    for (int y = 3; y <= height - 4; ++y)
        for (int x = 3; x <= width - 4; ++x) {
            int32_t m = at(w, y, x);
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx) m = std::max(m, at(w, y + dy, x + dx));
            d[size_t(y) * width + x] = m;
        }
    for (int y = 4; y <= height - 5; ++y)
        for (int x = 4; x <= width - 5; ++x) {
            int32_t m = at(d, y, x);
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) m = std::min(m, at(d, y + dy, x + dx));
            w[size_t(y) * width + x] = m;
        }
}

int16_t Limit12(int32_t v) {
    const int16_t s = wrap16(v);
    if ((s & 0xF000) == 0) return s;
    return s < 0 ? int16_t(0) : int16_t(4095);
}

} // namespace

uint32_t ChromaFilter(int16_t* plane0, int16_t* plane1, int16_t* plane2, int width, int height,
                      const ChromaSettings& s) {
    if (s.level < 99 || !s.renderSwitch || !s.fileSwitch) return 0;
    const size_t n = size_t(width) * height;
    Plane Y(n), C1(n), C2(n);
    for (size_t i = 0; i < n; ++i) {
        const int32_t a = plane0[i], b = plane1[i], c = plane2[i];
        if (s.layout != 1) {
            Y[i] = wrap16(asr32(a + 2 * b + c + 2, 2));
            C1[i] = wrap16(asr32(2 * b - a - c + 2, 2));
            C2[i] = wrap16(asr32(c - a + 1, 1));
        } else {
            Y[i] = wrap16(asr32(b + c + 1, 1));
            C1[i] = wrap16(Y[i] - a);
            C2[i] = wrap16(c - b);
        }
    }
    Plane W1, W2;
    Clean(C1, W1, width, height);
    Clean(C2, W2, width, height);

    std::vector<uint32_t> A(n, 0);
    static const int weight[5] = {1, 2, 2, 2, 1};
    for (const Plane* p : {&Y, &W1, &W2})
        for (int y = 5; y <= height - 6; ++y)
            for (int x = 5; x <= width - 6; ++x) {
                auto at = [&](int dy, int dx) { return (*p)[size_t(y + dy) * width + x + dx]; };
                int32_t gh = 0, gv = 0;
                for (int k = -2; k <= 2; ++k) {
                    gh += at(k, -2) + weight[k + 2] * at(k, -1) - at(k, 2) - weight[k + 2] * at(k, 1);
                    gv += at(2, k) + weight[k + 2] * at(1, k) - at(-2, k) - weight[k + 2] * at(-1, k);
                }
                const uint32_t term = uint32_t(2 * (std::abs(gh) + std::abs(gv)) + 6) / 13;
                A[size_t(y) * width + x] = std::min<uint32_t>(65535, A[size_t(y) * width + x] + term);
            }

    const uint32_t sensitivity = uint32_t(s.sensitivity);
    if (sensitivity == 0) {
        C1 = W1;
        C2 = W2;
    } else {
        if (sensitivity != 64) {
            const uint64_t k = uint64_t((64.0 / double(sensitivity)) * 65536.0);
            for (auto& a : A) a = uint32_t(std::min<uint64_t>(65535, (uint64_t(a) * k) >> 16));
        }
        static const int rays[8][2] = {{0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1}, {-1, -1}, {-1, 0}, {-1, 1}};
        for (int y = 10; y <= height - 11; ++y)
            for (int x = 10; x <= width - 11; ++x) {
                const int32_t a = int32_t(A[size_t(y) * width + x]);
                int32_t sum1 = W1[size_t(y) * width + x], sum2 = W2[size_t(y) * width + x], count = 1;
                for (const auto& r : rays)
                    for (int step = 1; step <= 4; ++step) {
                        const size_t j = size_t(y + step * r[0]) * width + x + step * r[1];
                        const int32_t b = int32_t(A[j]);
                        if (b < a - 63 || b > a + 64) break;
                        sum1 += W1[j];
                        sum2 += W2[j];
                        ++count;
                    }
                C1[size_t(y) * width + x] = (sum1 + (count >> 1)) / count;
                C2[size_t(y) * width + x] = (sum2 + (count >> 1)) / count;
            }
    }

    for (size_t i = 0; i < n; ++i) {
        const int32_t y = Y[i], c1 = int16_t(C1[i]), c2 = int16_t(C2[i]);
        if (s.layout != 1) {
            plane0[i] = Limit12(y - c1 - c2);
            plane1[i] = Limit12(y + c1);
            plane2[i] = Limit12(y - c1 + c2);
        } else {
            auto limit = [](int32_t v) { return int16_t(std::clamp(v, 0, 4095)); };
            plane0[i] = limit(y - c1);
            plane1[i] = limit(asr32(2 * y - c2, 1));
            plane2[i] = limit(asr32(c2 + 2 * y, 1));
        }
    }
    return 0;
}

} // namespace lumora::reference
