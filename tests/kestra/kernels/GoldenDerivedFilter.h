#pragma once
// Kernels and blend pairs (in 512ths) of the derivations in
// DerivationPropertyTest, as the library gave them when they were checked.
// Any build must reproduce them exactly.
#include <cstdint>
#include <vector>

namespace kestratest::golden {

constexpr int32_t kGoldenStretchedTaps = 17;
constexpr int32_t kGoldenSmallTaps = 7;
const std::vector<int32_t> kGoldenStretched = {
    3,  7,  11, 17, 27, 37, 44, 48, 124, 48, 44, 37, 27, 17, 11, 7,  3,   8,  13, 17, 21, 30, 39, 45, 50, 66,
    50, 45, 39, 30, 21, 17, 13, 8,  0,   4,  12, 20, 29, 37, 41, 41, 144, 41, 41, 37, 29, 20, 12, 4,  0};
const std::vector<int32_t> kGoldenStretchedPairs = {-768, 1280, -512, 1024, -256, 768};
const std::vector<int32_t> kGoldenNine = {35, 50, 57, 52, 126, 52, 57, 50, 35,  38, 50, 56, 46, 132,
                                          46, 56, 50, 38, 43,  53, 53, 34, 147, 34, 53, 53, 43};
const std::vector<int32_t> kGoldenNinePairs = {-884, 1390, -700, 1212, -300, 808};
const std::vector<int32_t> kGoldenSmall = {-1,  22, 96, 278, 96, 22,  -1,  1,   41, 104, 220,
                                           104, 41, 1,  -2,  17, 102, 278, 102, 17, -2};

} // namespace kestratest::golden
