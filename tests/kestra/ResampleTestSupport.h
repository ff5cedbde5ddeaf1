#pragma once
// Shared by the resampling tests: resampling filters made from numbers (a
// linear interpolator, a long kernel with integer taps, one of a single
// level), the built-in resampler as the plug-in carries it, and pictures of
// interleaved planes over plain buffers.
#include "KestraTestSupport.h"

#include <cstdio>
#include <functional>
#include <vector>

namespace kestratest {

// Integer taps (in 1/512) of phase v of level l.
using TapFunction = std::function<int32_t(int32_t level, int32_t phase, int32_t tap)>;

inline PSFFilter makeResampler(PSFCaller caller, int32_t taps, int32_t phases, const std::vector<double>& levels,
                               const TapFunction& tap) {
    std::vector<double> kernels;
    for (int32_t l = 0; l < int32_t(levels.size()); ++l)
        for (int32_t v = 0; v < phases; ++v)
            for (int32_t t = 0; t < taps; ++t) kernels.push_back(tap(l, v, t) / 512.0);
    PSFFilter f = 0;
    EXPECT_EQ(PSFCreateFilterFromData(caller, 0, int32_t(levels.size()), phases, taps, levels.data(), kernels.data(),
                                      nullptr, &f),
              PSFSuccess);
    return f;
}

// Four taps weighing samples i - 1 .. i + 2: phase v interpolates between
// i and i + 1 at v / 64.
inline PSFFilter makeLinearResampler(PSFCaller caller, const std::vector<double>& levels = {1.0, 0.5}) {
    return makeResampler(caller, 4, 64, levels, [](int32_t, int32_t v, int32_t t) {
        return t == 1 ? (64 - v) * 8 : t == 2 ? v * 8 : 0;
    });
}

// 32 taps with negative lobes, each phase summing to 512.
inline int32_t longTap(int32_t l, int32_t v, int32_t t) {
    if (t == 15) return 380 - v - l;
    if (t == 16) return 100 + v + l;
    if (t == 14 || t == 17) return 20;
    if (t == 13 || t == 18) return -4;
    return 0;
}
inline PSFFilter makeLongResampler(PSFCaller caller) {
    return makeResampler(caller, 32, 64, {1.0, 0.5, 0.25}, [](int32_t l, int32_t v, int32_t t) {
        return longTap(l, v, t);
    });
}

inline std::vector<uint8_t> builtInResamplerBytes() {
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(KESTRA_TEST_RESAMPLER, "rb")) {
        uint8_t buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
        std::fclose(f);
    }
    return bytes;
}

inline PSFPicture interleaved(void* data, int32_t planes, int32_t bytes, int32_t columns, int32_t rows,
                              const PSFRect& rect, int32_t width, int32_t height, int64_t rowStep = 0) {
    PSFPicture p{};
    p.rect = rect;
    p.width = width;
    p.height = height;
    p.planeCount = planes;
    for (int32_t i = 0; i < planes; ++i)
        p.planes[i] = PSFPlane{columns, planes * bytes, rows,
                               int32_t(rowStep ? rowStep : int64_t(columns) * planes * bytes),
                               bytes == 1 ? int32_t(PSFSample8) : int32_t(PSFSample16b),
                               static_cast<uint8_t*>(data) + i * bytes};
    return p;
}

// A picture of interleaved samples of one or two bytes.
struct Samples {
    int32_t width = 0, height = 0, planes = 1, bytes = 1;
    std::vector<uint8_t> data;

    Samples() = default;
    Samples(int32_t w, int32_t h, int32_t p, int32_t b) : width(w), height(h), planes(p), bytes(b) {
        data.assign(size_t(w) * h * p * b, 0);
    }
    int64_t rowStep() const { return int64_t(width) * planes * bytes; }
    uint8_t* at(int32_t x, int32_t y, int32_t plane = 0) {
        return data.data() + y * rowStep() + (int64_t(x) * planes + plane) * bytes;
    }
    int32_t get(int32_t x, int32_t y, int32_t plane = 0) {
        const uint8_t* s = at(x, y, plane);
        return bytes == 1 ? s[0] : s[0] | (s[1] << 8);
    }
    void set(int32_t x, int32_t y, int32_t plane, int32_t v) {
        uint8_t* s = at(x, y, plane);
        s[0] = uint8_t(v);
        if (bytes == 2) s[1] = uint8_t(v >> 8);
    }
    PSFPicture picture() {
        return interleaved(data.data(), planes, bytes, width, height, PSFRect{0, 0, width, height}, width, height);
    }
};

// A whole picture scaled in one call, the work picture sized by the
// filter's own rectangles for this source.
inline PSFStatus scaleWhole(PSFFilter f, Samples& src, Samples& dst, const void* edges = nullptr) {
    PSFPicture S = src.picture(), D = dst.picture();
    PSFRect source = S.rect, second{}, aux{}, reachable{};
    uint16_t flag = 0;
    const PSFStatus r = PSFRectangles(f, &source, &second, &aux, &reachable, &flag, 0, 1);
    if (r != PSFSuccess) return r;
    PSFPicture W{};
    if (PSFAllocPicture(&D, &aux, &W) != PSFSuccess) return PSFErrNoMemory;
    const PSFStatus s = PSFScale(f, &S, &W, &D, const_cast<void*>(edges), nullptr, nullptr);
    PSFFreePicture(&W);
    return s;
}

} // namespace kestratest
