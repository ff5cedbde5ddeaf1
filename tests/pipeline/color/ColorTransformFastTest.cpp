// The fast conversion of the colour-transform stage against its per-pixel
// reference: identical planes for both full modes, with small matrices (32-bit
// sums) and large ones (64-bit sums), with skipped margin samples left alone,
// on each kernel the processor can run (rows long enough for the vector loop
// and its scalar tail).
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "ColorTransformStage.h"

namespace {

struct Planes {
    std::vector<int16_t> p, q, r;
};

Planes RandomPlanes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> d(-300, 4400);
    Planes out{std::vector<int16_t>(n), std::vector<int16_t>(n), std::vector<int16_t>(n)};
    for (size_t i = 0; i < n; ++i) {
        out.p[i] = int16_t(d(rng));
        out.q[i] = int16_t(d(rng));
        out.r[i] = int16_t(d(rng));
    }
    return out;
}

void RandomMatrix(RationalValue* m, std::mt19937& rng, int32_t scale) {
    std::uniform_int_distribution<int32_t> d(-scale, scale);
    for (int i = 0; i < 9; ++i) m[i] = {d(rng) + (i % 4 == 0 ? 4096 : 0), 4096};
}

} // namespace

TEST(ColorTransformFast, MatchesTheReferenceInBothFullModes) {
    const int width = 37, height = 9, skip = 4;
    using Kernel = ColorTransformStage::Kernel;
    for (Kernel kernel : {Kernel::Portable, Kernel::Avx2}) {
        SCOPED_TRACE(kernel == Kernel::Avx2 ? "AVX2 (where the processor has it)" : "portable");
        const size_t n = size_t(width + 2 * skip) * height;
        std::mt19937 rng(42);
        std::vector<uint16_t> tone(4096), first(4096), last(4096), output(4096);
        for (int i = 0; i < 4096; ++i) {
            tone[i] = uint16_t((i * 7 + 13) % 4096 + (i == 4095 ? 40000 : 0)); // the last entry seen whole
            first[i] = uint16_t(4095 - i);
            last[i] = uint16_t(i / 2);
            output[i] = uint16_t(i * 16 + 3);
        }
        for (int32_t mode : {int32_t(ColorTransformStage::ModeFull), int32_t(ColorTransformStage::ModeFullSeparateTones)})
            for (int32_t scale : {600, 3000000}) // 3,000,000 forces 64-bit sums
                for (uint32_t seed = 1; seed <= 4; ++seed) {
                    Planes a = RandomPlanes(n, seed), b = a;
                    ColorTransformStage fast, reference;
                    RationalValue m1[9], m2[9];
                    RandomMatrix(m1, rng, scale);
                    RandomMatrix(m2, rng, scale);
                    for (ColorTransformStage* s : {&fast, &reference}) {
                        s->width = width;
                        s->height = height;
                        s->mode = mode;
                        s->leftSkip = s->rightSkip = skip;
                        std::copy(m1, m1 + 9, s->firstMatrix);
                        std::copy(m2, m2 + 9, s->secondMatrix);
                        s->workingMaximum = 4095;
                        s->subsampled = 1;
                        s->firstTone = first.data();
                        s->middleTone = tone.data();
                        s->lastTone = last.data();
                        s->outputTable = output.data();
                        s->outputSize = 4096;
                        ASSERT_EQ(s->Prepare(), 0u);
                    }
                    fast.UseKernel(kernel);
                    reference.UseReference(true);
                    ASSERT_EQ(fast.Run(a.p.data(), a.q.data(), a.r.data(), nullptr), 0u);
                    ASSERT_EQ(reference.Run(b.p.data(), b.q.data(), b.r.data(), nullptr), 0u);
                    EXPECT_EQ(a.p, b.p) << mode << " " << scale << " " << seed;
                    EXPECT_EQ(a.q, b.q) << mode << " " << scale << " " << seed;
                    EXPECT_EQ(a.r, b.r) << mode << " " << scale << " " << seed;
                }
    }
}
