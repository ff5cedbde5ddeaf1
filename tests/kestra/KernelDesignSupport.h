#pragma once
// Filters made from numbers for the kernel-design tests: sharpening filters
// from given kernels and resamplers of 32 taps built from a weight function.
#include "Kestra.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace kestratest {

constexpr int32_t kResamplerTaps = 32;

// weight(level value, distance of the tap from the sampled position).
inline PSFFilter makeResampler(PSFCaller caller, int32_t phases, const std::vector<double>& levels,
                               const std::function<double(double, double)>& weight) {
    std::vector<double> k;
    for (double level : levels)
        for (int32_t p = 0; p < phases; ++p)
            for (int32_t j = 0; j < kResamplerTaps; ++j)
                k.push_back(weight(level, double(j - (kResamplerTaps / 2 - 1)) - double(p) / phases));
    PSFFilter f = 0;
    EXPECT_EQ(PSFCreateFilterFromData(caller, 0, int32_t(levels.size()), phases, kResamplerTaps, levels.data(),
                                      k.data(), nullptr, &f),
              PSFSuccess);
    return f;
}

// A tent of half-width 1 / level: linear interpolation, widened for levels
// below 1 so that it also smooths.
inline double tent(double level, double x) {
    const double w = 1.0 - std::fabs(x) * level;
    return w > 0 ? w * level : 0.0;
}

inline PSFFilter makeSharpening(PSFCaller caller, const std::vector<double>& levels, int32_t variants,
                                int32_t taps, const std::vector<double>& kernels,
                                const std::vector<double>* second = nullptr) {
    PSFFilter f = 0;
    EXPECT_EQ(PSFCreateFilterFromData(caller, 1, int32_t(levels.size()), variants, taps, levels.data(),
                                      kernels.data(), second ? second->data() : nullptr, &f),
              PSFSuccess);
    return f;
}

// Kernels (and pairs) as integer multiples of 1/512.
struct FilterNumbers {
    std::vector<int32_t> kernels;
    std::vector<int32_t> pairs;
};

inline FilterNumbers filterNumbers(PSFFilter f, int32_t levels, int32_t variants, int32_t taps, bool second) {
    std::vector<double> k(size_t(levels) * variants * taps), p(size_t(levels) * variants * 2);
    EXPECT_EQ(PSFGetFilterData(f, k.data(), second ? p.data() : nullptr), PSFSuccess);
    FilterNumbers n;
    for (double x : k) n.kernels.push_back(int32_t(std::lround(x * 512)));
    if (second)
        for (double x : p) n.pairs.push_back(int32_t(std::lround(x * 512)));
    return n;
}

inline int32_t attributeInt(PSFFilter f, int32_t id) {
    PSFAttributeValue v{};
    EXPECT_EQ(PSFGetFilterAttribute(f, id, &v), PSFSuccess) << id;
    return v.value.integer;
}

} // namespace kestratest
