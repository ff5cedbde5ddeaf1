#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "ChromaFilter.h"
#include "ChromaReference.h"
#include "VqStatus.h"

using namespace lumora;

namespace {

struct Rgb {
    std::vector<int16_t> p0, p1, p2;
};

// Smooth colour gradients with noise and a bright square, so that rays meet both
// similar and dissimilar activity.
Rgb NoisyImage(int w, int h, uint32_t seed, int noise) {
    Rgb img{std::vector<int16_t>(size_t(w) * h), std::vector<int16_t>(size_t(w) * h),
            std::vector<int16_t>(size_t(w) * h)};
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> n(-noise, noise);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            const int square = (x > w / 3 && x < w / 2 && y > h / 4 && y < h / 2) ? 1500 : 0;
            img.p0[i] = int16_t(std::clamp(800 + 20 * x + square + n(rng), 0, 4095));
            img.p1[i] = int16_t(std::clamp(1500 + 10 * y + square + n(rng), 0, 4095));
            img.p2[i] = int16_t(std::clamp(1200 + 5 * (x + y) + n(rng), 0, 4095));
        }
    return img;
}

ChromaSettings Active(int sensitivity, int layout) { return ChromaSettings{sensitivity, layout, 100, 0, 1, 1}; }

} // namespace

TEST(ChromaFilter, FastMatchesReference) {
    struct Size { int w, h; };
    const Size sizes[] = {{8, 8}, {15, 12}, {21, 21}, {40, 33}, {64, 48}, {33, 70}};
    const int sensitivities[] = {64, 0, 128, 30, 1, -5};
    uint32_t seed = 100;
    ChromaFilter filter;   // one object across strips of different sizes, as in a render
    for (const Size& sz : sizes)
        for (int layout : {0, 1})
            for (int sensitivity : sensitivities)
                for (int noise : {40, 4000}) {
                    const ChromaSettings s = Active(sensitivity, layout);
                    Rgb fast = NoisyImage(sz.w, sz.h, seed++, noise);
                    Rgb ref = fast;
                    filter.SetSettings(&s);
                    ASSERT_EQ(filter.Apply(fast.p0.data(), fast.p1.data(), fast.p2.data(), sz.w, sz.h, 0, 0), 0u);
                    ASSERT_EQ(reference::ChromaFilter(ref.p0.data(), ref.p1.data(), ref.p2.data(), sz.w, sz.h, s), 0u);
                    SCOPED_TRACE(testing::Message() << sz.w << "x" << sz.h << " layout " << layout << " sensitivity "
                                                    << sensitivity << " noise " << noise);
                    ASSERT_EQ(fast.p0, ref.p0);
                    ASSERT_EQ(fast.p1, ref.p1);
                    ASSERT_EQ(fast.p2, ref.p2);
                }
}

TEST(ChromaFilter, NeutralStripPassesUnchanged) {
    struct Case { int16_t value; int layout; int sensitivity; };
    const Case cases[] = {{0, 0, 64},    {1, 0, 64},    {1000, 0, 64}, {2047, 0, 0}, {4095, 0, 128},
                          {0, 1, 64},    {777, 1, 64},  {3000, 1, 0},  {4095, 1, 30}};
    for (const Case& c : cases) {
        const int w = 32, h = 28;
        std::vector<int16_t> p0(size_t(w) * h, c.value), p1 = p0, p2 = p0;
        const std::vector<int16_t> before = p0;
        const ChromaSettings s = Active(c.sensitivity, c.layout);
        ChromaFilter f;
        f.SetSettings(&s);
        ASSERT_EQ(f.Apply(p0.data(), p1.data(), p2.data(), w, h, 0, 0), 0u);
        EXPECT_EQ(p0, before) << c.value << " layout " << c.layout;
        EXPECT_EQ(p1, before) << c.value << " layout " << c.layout;
        EXPECT_EQ(p2, before) << c.value << " layout " << c.layout;
    }
}

TEST(ChromaFilter, UniformColourRoundTripsAndSpotIsRemoved) {
    const int w = 30, h = 30;
    std::vector<int16_t> p0(size_t(w) * h, 1000), p1(size_t(w) * h, 2000), p2(size_t(w) * h, 3000);
    const ChromaSettings s = Active(64, 0);
    ChromaFilter f;
    f.SetSettings(&s);
    ASSERT_EQ(f.Apply(p0.data(), p1.data(), p2.data(), w, h, 0, 0), 0u);
    for (size_t i = 0; i < p0.size(); ++i) ASSERT_TRUE(p0[i] == 1000 && p1[i] == 2000 && p2[i] == 3000) << i;

    // One reddish sample in grey: its colour differences are cleaned away and
    // only its luminance stays.
    std::vector<int16_t> g0(size_t(w) * h, 2000), g1 = g0, g2 = g0;
    const size_t centre = size_t(15) * w + 15;
    g0[centre] = 2600;
    ASSERT_EQ(f.Apply(g0.data(), g1.data(), g2.data(), w, h, 0, 0), 0u);
    EXPECT_EQ(g0[centre], 2150);
    EXPECT_EQ(g1[centre], 2150);
    EXPECT_EQ(g2[centre], 2150);
}

TEST(ChromaFilter, LevelsSwitchesAndMargins) {
    struct Case { int level, renderSwitch, fileSwitch; bool filters; };
    const Case cases[] = {{98, 1, 1, false}, {99, 1, 1, true}, {100, 1, 1, true}, {100, 0, 1, false},
                          {100, 1, 0, false}};
    for (const Case& c : cases) {
        const int w = 24, h = 24;
        std::vector<int16_t> p0(size_t(w) * h, 2000), p1 = p0, p2 = p0;
        p0[size_t(12) * w + 12] = 2600;
        const std::vector<int16_t> before = p0;
        const ChromaSettings s{64, 0, c.level, 0, c.renderSwitch, c.fileSwitch};
        ChromaFilter f;
        f.SetSettings(&s);
        ASSERT_EQ(f.Apply(p0.data(), p1.data(), p2.data(), w, h, 0, 0), 0u);
        EXPECT_EQ(p0 != before, c.filters) << c.level;
        int32_t margins[4] = {1, 2, 3, 4};
        ASSERT_EQ(f.AddMargins(margins), 0u);
        EXPECT_EQ(margins[2], c.filters ? 13 : 3);
        EXPECT_EQ(margins[3], c.filters ? 14 : 4);
        EXPECT_EQ(margins[0], 1);
    }
    ChromaFilter none;
    int32_t margins[4] = {};
    int16_t sample = 0;
    EXPECT_EQ(none.AddMargins(margins), VQ_ERR_BAD_HANDLE);
    EXPECT_EQ(none.Apply(&sample, &sample, &sample, 1, 1, 0, 0), VQ_ERR_BAD_HANDLE);
}

TEST(ChromaFilter, BorderWithinTenSamplesIsNotAveraged) {
    // Two sensitivities average the interior differently; the outer ten samples
    // are never averaged, so they agree.
    const int w = 40, h = 36;
    Rgb a = NoisyImage(w, h, 5, 600), b = a;
    const ChromaSettings neutral = Active(64, 0), wide = Active(1 << 20, 0);
    ChromaFilter f, g;
    f.SetSettings(&neutral);
    g.SetSettings(&wide);
    ASSERT_EQ(f.Apply(a.p0.data(), a.p1.data(), a.p2.data(), w, h, 0, 0), 0u);
    ASSERT_EQ(g.Apply(b.p0.data(), b.p1.data(), b.p2.data(), w, h, 0, 0), 0u);
    int interiorDiffers = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            const bool border = y < 10 || y >= h - 10 || x < 10 || x >= w - 10;
            if (border) {
                ASSERT_TRUE(a.p0[i] == b.p0[i] && a.p1[i] == b.p1[i] && a.p2[i] == b.p2[i]) << y << "," << x;
            } else {
                interiorDiffers += a.p1[i] != b.p1[i];
            }
        }
    EXPECT_GT(interiorDiffers, 0);
}

TEST(ChromaFilter, ActivityAndRaysAcrossAnEdgeWorkedByHand) {
    // Grey 1000 left of column 20, (900, 1000, 1100) from column 20 on: Y 1000 and C1 0
    // everywhere, C2 steps from 0 to 100 and survives the open-close. Its activity
    // is (2 * 5 * 100 + 6) / 13 = 77 at columns 18 and 21, (2 * 13 * 100 + 6) / 13 = 200
    // at 19 and 20, 0 elsewhere. Rows 10 ... 13 are averaged.
    //  sensitivity 64: column 19 takes itself, E, 4 N, 4 S, NE, SE: (3 * 100 + 6) / 12 = 25;
    //    column 20 mirrors it with 9 samples of 100: (900 + 6) / 12 = 75; columns 18 and 21
    //    take only their own column (77 against 0 and 200).
    //  sensitivity 128: activities halve to 38 and 100, so columns 18 and 21 take all 33
    //    samples ((900 + 16) / 33 = 27, (2400 + 16) / 33 = 73) and columns 19 and 20
    //    take 18 ((600 + 9) / 18 = 33, (1200 + 9) / 18 = 67).
    struct Case {
        int sensitivity;
        int16_t c2[6];   // columns 17 ... 22
    };
    const Case cases[] = {{64, {0, 0, 25, 75, 100, 100}}, {128, {0, 27, 33, 67, 73, 100}}};
    const int w = 40, h = 24;
    for (const Case& c : cases) {
        Rgb fast{std::vector<int16_t>(size_t(w) * h, 1000), std::vector<int16_t>(size_t(w) * h, 1000),
                 std::vector<int16_t>(size_t(w) * h, 1000)};
        for (int y = 0; y < h; ++y)
            for (int x = 20; x < w; ++x) {
                fast.p0[size_t(y) * w + x] = 900;
                fast.p2[size_t(y) * w + x] = 1100;
            }
        Rgb ref = fast;
        const ChromaSettings s = Active(c.sensitivity, 0);
        ChromaFilter f;
        f.SetSettings(&s);
        ASSERT_EQ(f.Apply(fast.p0.data(), fast.p1.data(), fast.p2.data(), w, h, 0, 0), 0u);
        ASSERT_EQ(reference::ChromaFilter(ref.p0.data(), ref.p1.data(), ref.p2.data(), w, h, s), 0u);
        for (const Rgb* out : {&fast, &ref})
            for (int y = 10; y <= 13; ++y)
                for (int x = 17; x <= 22; ++x) {
                    const size_t i = size_t(y) * w + x;
                    const int16_t c2 = c.c2[x - 17];
                    EXPECT_EQ(out->p0[i], 1000 - c2) << c.sensitivity << " at " << y << "," << x;
                    EXPECT_EQ(out->p1[i], 1000) << c.sensitivity << " at " << y << "," << x;
                    EXPECT_EQ(out->p2[i], 1000 + c2) << c.sensitivity << " at " << y << "," << x;
                }
    }
}
