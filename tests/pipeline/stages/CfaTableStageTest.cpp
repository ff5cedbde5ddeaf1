#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "CfaReference.h"
#include "CfaTableStage.h"
#include "MosaicFixtures.h"
#include "VqStatus.h"

using namespace lumora;
using namespace lumora::test;

namespace {

struct Tables {
    std::vector<uint16_t> red, green, blue;
};

Tables NoiseModel(int size, uint32_t seed) {
    Tables t{std::vector<uint16_t>(size_t(size)), std::vector<uint16_t>(size_t(size)),
             std::vector<uint16_t>(size_t(size))};
    std::mt19937 rng(seed);
    for (int i = 0; i < size; ++i) {
        t.red[size_t(i)] = uint16_t(8 + i / 40 + rng() % 5);
        t.green[size_t(i)] = uint16_t(6 + i / 60 + rng() % 5);
        t.blue[size_t(i)] = uint16_t(10 + i / 30 + rng() % 5);
    }
    return t;
}

void Configure(CfaTableStage& s, int w, int h, const Tables& t) {
    *static_cast<uint16_t*>(s.Field(0)) = uint16_t(w);
    *static_cast<uint16_t*>(s.Field(1)) = uint16_t(h);
    *static_cast<uint16_t*>(s.Field(2)) = uint16_t(t.red.size());
    *static_cast<const uint16_t**>(s.Field(3)) = t.red.data();
    *static_cast<const uint16_t**>(s.Field(4)) = t.green.data();
    *static_cast<const uint16_t**>(s.Field(5)) = t.blue.data();
}

} // namespace

TEST(CfaTableStage, FastMatchesReferenceOnRandomPlanes) {
    struct Size { int w, h, lo, hi; };
    const Size sizes[] = {{5, 5, 0, 4095},   {6, 9, 0, 4095},     {37, 23, 0, 200},     {64, 18, 0, 4095},
                          {33, 40, -500, 5000}, {16, 12, -32768, 32767}, {101, 7, 0, 60}};
    using Kernel = CfaTableStage::Kernel;
    for (Kernel kernel : {Kernel::Portable, Kernel::Avx2}) {
        SCOPED_TRACE(kernel == Kernel::Avx2 ? "AVX2 (where the processor has it)" : "portable");
        uint32_t seed = 5;
        for (const Size& sz : sizes) {
            const Tables t = NoiseModel(4096, seed);
            Mosaic m = RandomMosaic(sz.w, sz.h, seed++, sz.lo, sz.hi);
            std::vector<int16_t> ref = m.samples, fast = m.samples;
            ASSERT_EQ(reference::CfaFilter(ref.data(), sz.w, sz.h, 4096, t.red.data(), t.green.data(), t.blue.data()),
                      0u);
            CfaTableStage stage;
            Configure(stage, sz.w, sz.h, t);
            stage.UseKernel(kernel);
            ASSERT_EQ(stage.Run(fast.data()), 0u);
            EXPECT_EQ(ref, fast) << sz.w << "x" << sz.h;
        }
    }
}

TEST(CfaTableStage, WindowCases) {
    // A 9x9 plane, centre (4,4) is green; (4,5) is red.
    struct Case {
        const char* name;
        int centreY, centreX;
        int16_t centre, neighbours, others;
        uint16_t threshold;
        int16_t expected;
    };
    const Case cases[] = {
        {"flat area", 4, 4, 100, 100, 100, 10, 100},
        {"all twelve greens accepted", 4, 4, 100, 104, 0, 5, 104},
        {"no neighbour within threshold", 4, 4, 100, 110, 0, 5, 100},
        {"red ignores the greens around it", 4, 5, 100, 104, 5000, 5, 104},
    };
    for (const Case& c : cases) {
        std::vector<int16_t> p(81, c.others);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 9; ++x) {
                const bool sameColour = ((y - c.centreY) % 2 == 0) && ((x - c.centreX) % 2 == 0);
                const bool diagonal = ((y ^ x) & 1) == 0 && ((c.centreY ^ c.centreX) & 1) == 0;
                if (sameColour || diagonal) p[size_t(y * 9 + x)] = c.neighbours;
            }
        p[size_t(c.centreY * 9 + c.centreX)] = c.centre;
        const Tables t{std::vector<uint16_t>(4096, c.threshold), std::vector<uint16_t>(4096, c.threshold),
                       std::vector<uint16_t>(4096, c.threshold)};
        CfaTableStage stage;
        Configure(stage, 9, 9, t);
        ASSERT_EQ(stage.Run(p.data()), 0u);
        EXPECT_EQ(p[size_t(c.centreY * 9 + c.centreX)], c.expected) << c.name;
    }
}

TEST(CfaTableStage, ThresholdIndexIsClampedToTheTable) {
    // Green 5000 with greens 5010 around: only entry 4095 (threshold 20) accepts them.
    std::vector<uint16_t> green(4096, 0);
    green[4095] = 20;
    const Tables t{std::vector<uint16_t>(4096, 0), green, std::vector<uint16_t>(4096, 0)};
    std::vector<int16_t> p(81, 5010);
    p[40] = 5000;
    CfaTableStage stage;
        Configure(stage, 9, 9, t);
    ASSERT_EQ(stage.Run(p.data()), 0u);
    EXPECT_EQ(p[40], (5000 + 12 * 5010 + 6) / 13);
}

TEST(CfaTableStage, NothingToDoOrRefused) {
    const Tables t = NoiseModel(4096, 1);
    const Mosaic m = RandomMosaic(4, 12, 2);
    for (auto [w, h] : {std::pair{4, 12}, std::pair{12, 4}}) {
        std::vector<int16_t> p(m.samples.begin(), m.samples.begin() + w * h);
        const std::vector<int16_t> before = p;
        CfaTableStage stage;
        Configure(stage, w, h, t);
        EXPECT_EQ(stage.Run(p.data()), 0u);
        EXPECT_EQ(p, before);
    }
    const Mosaic big = RandomMosaic(12, 12, 3);
    std::vector<int16_t> p = big.samples;
    CfaTableStage noSize;
        Configure(noSize, 12, 12, t);
    noSize.size = 0;
    EXPECT_EQ(noSize.Run(p.data()), 0u);
    EXPECT_EQ(noSize.Filter(p.data(), t.red.data(), t.green.data(), t.blue.data()), 0u);
    CfaTableStage noTable;
        Configure(noTable, 12, 12, t);
    noTable.blueTable = nullptr;
    EXPECT_EQ(noTable.Run(p.data()), 0u);
    EXPECT_EQ(p, big.samples);
    EXPECT_EQ(noTable.Filter(p.data(), t.red.data(), t.green.data(), nullptr), VQ_ERR_NULL_PLANES);
    EXPECT_EQ(noTable.Filter(nullptr, t.red.data(), t.green.data(), t.blue.data()), VQ_ERR_NULL_PLANES);
}

TEST(CfaTableStage, BlueSitesUseTheBlueTableNegativesIndexZero) {
    // Centre (5,4) of a 9x9 plane: odd row, even column, so blue; its eight blue
    // neighbours lie two rows and/or two columns away.
    struct Case {
        const char* name;
        int16_t centre, others;
        uint16_t blueAtZero, blueElsewhere, green;
        int16_t expected;
    };
    const Case cases[] = {
        // Neighbours 104 within 5 of 100: (100 + 8 * 104 + 4) / 9 = 104.
        {"blue table accepts", 100, 104, 5, 5, 0, 104},
        // The green table's 5 must not be used for a blue sample.
        {"green table ignored", 100, 104, 3, 3, 5, 100},
        // A negative sample reads entry 0: 4 accepts the zeros, (-3 + 0 + 4) / 9 = 0.
        {"negative sample, entry 0 accepts", -3, 0, 4, 0, 0, 0},
        {"negative sample, entry 0 refuses", -3, 0, 2, 9, 9, -3},
    };
    for (const Case& c : cases) {
        std::vector<uint16_t> blue(16, c.blueElsewhere);
        blue[0] = c.blueAtZero;
        const Tables t{std::vector<uint16_t>(16, 0), std::vector<uint16_t>(16, c.green), blue};
        std::vector<int16_t> p(81, c.others);
        p[5 * 9 + 4] = c.centre;
        std::vector<int16_t> ref = p;
        CfaTableStage stage;
        Configure(stage, 9, 9, t);
        ASSERT_EQ(stage.Run(p.data()), 0u) << c.name;
        ASSERT_EQ(reference::CfaFilter(ref.data(), 9, 9, 16, t.red.data(), t.green.data(), t.blue.data()), 0u);
        EXPECT_EQ(p[5 * 9 + 4], c.expected) << c.name;
        EXPECT_EQ(ref[5 * 9 + 4], c.expected) << c.name;
    }
}
