#include <gtest/gtest.h>

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
