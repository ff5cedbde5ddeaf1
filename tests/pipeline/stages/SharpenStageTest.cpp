#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <initializer_list>
#include <random>
#include <vector>

#include "MosaicFixtures.h"
#include "SharpenReference.h"
#include "SharpenStage.h"
#include "VqStatus.h"

using namespace lumora;
using namespace lumora::test;

namespace {

void Configure(SharpenStage& s, int w, int h, int mode, const int16_t* block, int32_t divisor,
               const int32_t coring[5]) {
    *static_cast<uint16_t*>(s.Parameter(0)) = uint16_t(w);
    *static_cast<uint16_t*>(s.Parameter(1)) = uint16_t(h);
    *static_cast<int32_t*>(s.Parameter(2)) = mode;
    std::copy(block, block + 28, static_cast<int16_t*>(s.Parameter(3)));
    *static_cast<int32_t*>(s.Parameter(4)) = divisor;
    for (int i = 0; i < 5; ++i) *static_cast<int32_t*>(s.Parameter(5 + i)) = coring[i];
}

std::vector<int16_t> PresetBlock() {
    std::vector<int16_t> block(28);
    int32_t c[5];
    EXPECT_EQ(SharpenStage::GetPresetParameters(block.data(), &c[0], &c[1], &c[2], &c[3], &c[4], 11), 0u);
    return block;
}

constexpr int32_t kPresetCoring[5] = {1, 5, 10, 2047, 2047};
constexpr int32_t kIdentityCoring[5] = {1, -1, -1, 2047, 2048};   // T(d) = d

} // namespace

TEST(SharpenStage, FastMatchesReferenceForEveryKernelClass) {
    std::mt19937 rng(9);
    auto randomKernel = [&](bool sparse, bool minusOnes) {
        std::vector<int16_t> b(28, 0);
        b[0] = 32;
        b[1] = 16;
        b[2] = 8;
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 5; ++c)
                if (!sparse || (r % 2 == 0 && c % 2 == 0)) b[size_t(3 + r * 5 + c)] = int16_t(int(rng() % 21) - 10);
        if (minusOnes)
            for (int i : {0, 2, 4, 10, 14, 20, 22, 24}) b[size_t(3 + i)] = -1;
        b[15] = 12;
        return b;
    };
    struct Kernel { bool sparse, minusOnes; int32_t divisor; int expectedClass; };
    const Kernel kernels[] = {{false, false, 7, 1}, {false, false, 8, 2},  {true, false, 10, 3},
                              {true, false, 4, 4},  {true, true, 10, 5},  {true, true, 16, 6},
                              {true, true, -3, 5},  {false, false, 1, 2}, {true, true, 1, 6}};
    struct Size { int w, h, lo, hi; };
    const Size sizes[] = {{5, 5, 0, 4095}, {37, 21, 0, 4095}, {64, 30, 0, 4095}, {19, 33, -32768, 32767}};
    uint32_t seed = 40;
    for (const Kernel& k : kernels)
        for (const Size& sz : sizes)
            for (int mode : {0, 2}) {
                const std::vector<int16_t> block = randomKernel(k.sparse, k.minusOnes);
                const Mosaic a = RandomMosaic(sz.w, sz.h, seed++, sz.lo, sz.hi);
                const Mosaic b = RandomMosaic(sz.w, sz.h, seed++, sz.lo, sz.hi);
                const Mosaic c = RandomMosaic(sz.w, sz.h, seed++, sz.lo, sz.hi);
                for (const int32_t* coring : {kPresetCoring, kIdentityCoring}) {
                    std::vector<int16_t> f1 = a.samples, f2 = b.samples, f3 = c.samples;
                    std::vector<int16_t> r1 = a.samples, r2 = b.samples, r3 = c.samples;
                    SharpenStage s;
                    Configure(s, sz.w, sz.h, mode, block.data(), k.divisor, coring);
                    ASSERT_EQ(s.ApplyWithMaximum(f1.data(), f2.data(), f3.data(), 3000), 0u);
                    EXPECT_EQ(s.kernelClass, k.expectedClass);
                    const reference::SharpenParameters p{sz.w,    sz.h,      mode,      block.data(), k.divisor,
                                                         coring[0], coring[1], coring[2], coring[3],  coring[4],
                                                         3000};
                    ASSERT_EQ(reference::Sharpen(r1.data(), r2.data(), r3.data(), p), 0u);
                    ASSERT_EQ(f1, r1) << sz.w << "x" << sz.h << " class " << k.expectedClass << " mode " << mode;
                    ASSERT_EQ(f2, r2) << sz.w << "x" << sz.h << " class " << k.expectedClass << " mode " << mode;
                    ASSERT_EQ(f3, r3) << sz.w << "x" << sz.h << " class " << k.expectedClass << " mode " << mode;
                }
            }
}

TEST(SharpenStage, CoringTableWithPresetValues) {
    std::vector<int16_t> table(4096);
    SharpenStage::BuildCoringTable(table.data(), 1, 5, 10, 2047, 2047);
    const std::pair<int32_t, int16_t> cases[] = {
        {0, 0},   {5, 0},     {-5, 0},      {6, 2},       {7, 4},    {8, 6},  {9, 8},    {10, 10},
        {-8, -6}, {11, 11},   {-11, -11},   {2046, 2046}, {2047, 0}, {-2047, 0}, {3000, 0}, {-40000, 0}};
    for (auto [detail, expected] : cases)
        EXPECT_EQ(SharpenStage::CoringLookup(table.data(), detail), expected) << detail;
}

TEST(SharpenStage, CoringFadesOutBetweenLinearEndAndCutoff) {
    std::vector<int16_t> table(4096);
    SharpenStage::BuildCoringTable(table.data(), 2, 0, 0, 100, 200);
    const std::pair<int32_t, int16_t> cases[] = {{100, 200}, {150, 100}, {101, 198}, {199, 2}, {200, 0}, {-150, -100}};
    for (auto [detail, expected] : cases)
        EXPECT_EQ(SharpenStage::CoringLookup(table.data(), detail), expected) << detail;
}

TEST(SharpenStage, ShiftAndDivisionRoundDifferently) {
    // Weighted sum at the centre: 8 x 100 - 817 = -17.
    struct Case { int32_t divisor; int expectedClass; int16_t centre; };
    const Case cases[] = {{16, 6, 100 - 2}, {10, 5, 100 - 1}};
    const std::vector<int16_t> block = PresetBlock();
    for (const Case& c : cases) {
        std::vector<int16_t> p1(81, 0), p2(81, 0), p3(81, 0);
        p2[40] = 100;
        p2[42] = 817;
        SharpenStage s;
        Configure(s, 9, 9, 2, block.data(), c.divisor, kIdentityCoring);
        ASSERT_EQ(s.Apply(p1.data(), p2.data(), p3.data()), 0u);
        EXPECT_EQ(s.kernelClass, c.expectedClass);
        EXPECT_EQ(p2[40], c.centre) << c.divisor;
    }
}

TEST(SharpenStage, PlanesLeftAloneOrRefused) {
    const std::vector<int16_t> block = PresetBlock();
    const Mosaic m = RandomMosaic(12, 10, 4);
    std::vector<int16_t> flat(120, 1500);
    struct Case { const char* name; int mode; int32_t divisor; bool flatPlane; uint32_t status; };
    const Case cases[] = {{"flat plane", 0, 16, true, 0},
                          {"mode 1", 1, 16, false, 0},
                          {"mode 3", 3, 16, false, 0},
                          {"divisor 0", 0, 0, false, 0}};
    for (const Case& c : cases) {
        std::vector<int16_t> p1 = c.flatPlane ? flat : m.samples, p2 = p1, p3 = p1;
        const std::vector<int16_t> before = p1;
        SharpenStage s;
        Configure(s, 12, 10, c.mode, block.data(), c.divisor, kPresetCoring);
        EXPECT_EQ(s.Apply(p1.data(), p2.data(), p3.data()), c.status) << c.name;
        EXPECT_TRUE(p1 == before && p2 == before && p3 == before) << c.name;
    }
    // The class is fixed by the first call; a divisor that no longer fits its shift is refused.
    std::vector<int16_t> p1 = m.samples, p2 = p1, p3 = p1;
    SharpenStage s;
    Configure(s, 12, 10, 0, block.data(), 16, kPresetCoring);
    ASSERT_EQ(s.Apply(p1.data(), p2.data(), p3.data()), 0u);
    const std::vector<int16_t> after = p2;
    s.divisor = 12;
    EXPECT_EQ(s.Apply(p1.data(), p2.data(), p3.data()), VQ_ERR_BAD_FILE);
    EXPECT_EQ(p2, after);
}

TEST(SharpenStage, Presets) {
    struct Case { int model; uint32_t status; int16_t d0, d1, d2; };
    const Case cases[] = {{0, VQ_ERR_BAD_HANDLE, 0, 0, 0}, {10, VQ_ERR_BAD_HANDLE, 0, 0, 0}, {11, 0, 32, 16, 8},
                          {13, 0, 32, 16, 8},  {14, 0, 16, 8, 4},  {16, 0, 32, 16, 8},  {17, 0, 16, 8, 4},
                          {18, 0, 8, 10, 16},  {20, 0, 16, 8, 4},  {22, 0, 32, 16, 8},
                          {23, VQ_ERR_BAD_HANDLE, 0, 0, 0}, {-1, VQ_ERR_BAD_HANDLE, 0, 0, 0}};
    for (const Case& c : cases) {
        std::vector<int16_t> block(28, 99);
        int32_t v[5] = {7, 7, 7, 7, 7};
        EXPECT_EQ(SharpenStage::GetPresetParameters(block.data(), &v[0], &v[1], &v[2], &v[3], &v[4], c.model),
                  c.status)
            << c.model;
        if (c.status) {
            EXPECT_EQ(block[0], 99);
            EXPECT_EQ(v[0], 7);
            continue;
        }
        EXPECT_EQ(block[0], c.d0);
        EXPECT_EQ(block[1], c.d1);
        EXPECT_EQ(block[2], c.d2);
        EXPECT_EQ(block[3 + 12], 8);
        EXPECT_EQ(block[3 + 0], -1);
        EXPECT_EQ(block[3 + 22], -1);
        EXPECT_EQ(block[3 + 7], 0);
        EXPECT_EQ(SharpenStage::ClassifyKernel(block.data() + 3, 16), 6);
        EXPECT_EQ((std::vector<int32_t>(v, v + 5)), (std::vector<int32_t>{1, 5, 10, 2047, 2047}));
    }
}

TEST(SharpenStage, LevelMapping) {
    const int16_t strong[3] = {32, 16, 8};
    const int16_t model18[3] = {8, 10, 16};
    struct Case { const int16_t* divisors; int32_t level; uint32_t status; int32_t mapped, band, divisor; };
    const Case cases[] = {
        {strong, 16, 0, 0, 0, 0},     {strong, 0, 0, 0, 0, 0},      {strong, 17, 0, 33, 0, 32},
        {strong, 49, 0, 33, 0, 32},   {strong, 50, 0, 67, 1, 16},   {strong, 83, 0, 67, 1, 16},
        {strong, 84, 0, 100, 2, 8},   {strong, 100, 0, 100, 2, 8},  {model18, 100, 0, 100, 0, 8},
        {model18, 17, 0, 33, 2, 16},  {model18, 60, 0, 67, 1, 10},  {strong, 101, VQ_ERR_VALUE_OUT_OF_RANGE, 0, 0, 0},
        {strong, -1, VQ_ERR_VALUE_OUT_OF_RANGE, 0, 0, 0}};
    for (const Case& c : cases) {
        int32_t level = c.level, band = 9;
        EXPECT_EQ(SharpenStage::MapLevel(c.divisors, &level, &band), c.status) << c.level;
        EXPECT_EQ(level, c.mapped) << c.level;
        EXPECT_EQ(band, c.band) << c.level;
        if (c.mapped) {
            EXPECT_EQ(c.divisors[band], c.divisor) << c.level;
        }
    }
}

TEST(SharpenStage, CoringTablesWorkedByHand) {
    struct Case {
        const char* name;
        int32_t coring[5];   // gain, coreLow, coreHigh, linearEnd, cutoff
        std::vector<std::pair<int32_t, int16_t>> lookups;
    };
    const Case cases[] = {
        // coreLow below 0 puts detail 0 on the ramp: (0 + 5) / 10 * 5 = 2.5 -> 3; detail 3
        // gives 4 and its mirror -4; detail 0 has no mirror and keeps +3.
        {"negative coreLow", {1, -5, 5, 2047, 2048}, {{0, 3}, {1, 3}, {-1, -3}, {3, 4}, {-3, -4}, {6, 6}}},
        // The ramp from the lowest 32-bit coreLow: (i + 2^31) / (10 + 2^31) * 10 rounds to 10.
        {"extreme coreLow", {1, INT32_MIN, 10, 2047, 2048}, {{0, 10}, {5, 10}, {-5, -10}, {11, 11}}},
        // Gain 3 between 2 and 4: (i - 2) / 2 * 12; linear 3i up to 6; then 18 / (6 - 9) * (i - 9).
        {"gain three", {3, 2, 4, 6, 9}, {{2, 0}, {3, 6}, {4, 12}, {5, 15}, {6, 18}, {7, 12}, {8, 6}, {9, 0}, {-7, -12}}},
    };
    for (const Case& c : cases) {
        std::vector<int16_t> table(4096);
        SharpenStage::BuildCoringTable(table.data(), c.coring[0], c.coring[1], c.coring[2], c.coring[3], c.coring[4]);
        for (auto [detail, expected] : c.lookups)
            EXPECT_EQ(SharpenStage::CoringLookup(table.data(), detail), expected) << c.name << " detail " << detail;
    }
    // The stage adds T(0) to a flat plane, where every detail is 0.
    const std::vector<int16_t> block = PresetBlock();
    const int32_t negativeCore[5] = {1, -5, 5, 2047, 2048};
    std::vector<int16_t> p1(100, 50), p2(100, 50), p3(100, 50);
    SharpenStage s;
    Configure(s, 10, 10, 0, block.data(), 16, negativeCore);
    ASSERT_EQ(s.Apply(p1.data(), p2.data(), p3.data()), 0u);
    EXPECT_EQ(p1, std::vector<int16_t>(100, 53));
    EXPECT_EQ(p3, std::vector<int16_t>(100, 53));
}

TEST(SharpenStage, GeneralAndSparseSumsWorkedByHand) {
    // Taps K(2,2), K(2,3), K(2,4), K(3,3), K(3,4), K(4,4), spread over the 5x5 kernel
    // by its mirror and transposition symmetry.
    auto block = [](std::initializer_list<int16_t> six) {
        const std::vector<int16_t> t(six);
        std::vector<int16_t> b(28, 0);
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 5; ++c) {
                int a = std::abs(r - 2), d = std::abs(c - 2);
                if (a > d) std::swap(a, d);
                const int index = a == 0 ? d : (a == 1 ? 2 + d : 5);   // (0,0)(0,1)(0,2)(1,1)(1,2)(2,2)
                b[size_t(3 + r * 5 + c)] = t[size_t(index)];
            }
        return b;
    };
    // Around the centre (4,4) of a 9x9 plane2 of zeros: X(0,0) 10; X(0,1) 1 and X(-1,0) 2
    // (K(2,3) ring: 3); X(0,-2) 4 (K(2,4) ring); X(1,1) 5; X(-1,2) 6 and X(2,-1) 7
    // (K(3,4) ring: 13); X(2,2) 8.
    const std::pair<std::pair<int, int>, int16_t> samples[] = {
        {{0, 0}, 10}, {{0, 1}, 1}, {{-1, 0}, 2}, {{0, -2}, 4}, {{1, 1}, 5}, {{-1, 2}, 6}, {{2, -1}, 7}, {{2, 2}, 8}};
    struct Case {
        const char* name;
        std::vector<int16_t> kernel;
        int32_t divisor;
        int32_t expectedClass;
        int16_t centre;
    };
    const Case cases[] = {
        // 4*10 + 3 + 2*4 - 5 + 3*13 - 2*8 = 69.
        {"general, division", block({4, 1, 2, -1, 3, -2}), 3, 1, 10 + 23},
        {"general, shift", block({4, 1, 2, -1, 3, -2}), 4, 2, 10 + 17},
        // -40 + 3 + 8 - 5 + 39 - 16 = -11: truncated -1 by 6, floored -6 by a shift of 1.
        {"general negative, division", block({-4, 1, 2, -1, 3, -2}), 6, 1, 10 - 1},
        {"general negative, shift", block({-4, 1, 2, -1, 3, -2}), 2, 2, 10 - 6},
        // Sparse: 4*10 + 2*4 - 2*8 = 32; the odd-offset samples do not count.
        {"sparse, division", block({4, 0, 2, 0, 0, -2}), 3, 3, 10 + 10},
        {"sparse, shift", block({4, 0, 2, 0, 0, -2}), 8, 4, 10 + 4},
    };
    for (const Case& c : cases) {
        std::vector<int16_t> p1(81, 0), p2(81, 0), p3(81, 0);
        for (const auto& [at, v] : samples) p2[size_t((4 + at.first) * 9 + 4 + at.second)] = v;
        SharpenStage s;
        Configure(s, 9, 9, 2, c.kernel.data(), c.divisor, kIdentityCoring);
        ASSERT_EQ(s.Apply(p1.data(), p2.data(), p3.data()), 0u) << c.name;
        EXPECT_EQ(s.kernelClass, c.expectedClass) << c.name;
        EXPECT_EQ(p2[40], c.centre) << c.name;

        std::vector<int16_t> r1(81, 0), r2(81, 0), r3(81, 0);
        for (const auto& [at, v] : samples) r2[size_t((4 + at.first) * 9 + 4 + at.second)] = v;
        const reference::SharpenParameters rp{9, 9, 2, c.kernel.data(), c.divisor, kIdentityCoring[0],
                                              kIdentityCoring[1], kIdentityCoring[2], kIdentityCoring[3],
                                              kIdentityCoring[4], 4095};
        ASSERT_EQ(reference::Sharpen(r1.data(), r2.data(), r3.data(), rp), 0u) << c.name;
        EXPECT_EQ(r2[40], c.centre) << c.name;
    }
}
