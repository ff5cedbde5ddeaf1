// Changing a kernel's size: padding, the reduction plan and its rows, exact
// cuts, the least-squares solver and the export.
#include "FpReduction.h"
#include "KernelDesignSupport.h"
#include "KestraTestSupport.h"

using namespace kestratest;
using namespace kestra;

class KestraReduction : public KestraTest {};

TEST_F(KestraReduction, PlansStepsAndRows) {
    const struct {
        int32_t n, N, steps;
    } plans[] = {{7, 5, 2}, {15, 7, 5}, {9, 3, 4}};
    for (const auto& p : plans) {
        FpReduction plan;
        ASSERT_EQ(FpNewReduction(p.n, p.N, 9, plan), FpOk);
        for (int32_t i = 0; i < p.steps; ++i) {
            EXPECT_EQ(plan.steps[i].size, p.n - 2 * i);
            EXPECT_EQ(plan.steps[i].probeCount, (p.n - 2 * i - 1) / 2 + 2);
            // Every step solves in the same storage.
            EXPECT_EQ(plan.steps[i].normalRows[0], plan.storage);
        }
        EXPECT_EQ(plan.steps[p.steps - 1].size, p.N);
        FpFreeReduction(plan);
    }

    // Rows of a five-tap step of its own (not blended).
    FpReductionStep step;
    ASSERT_EQ(FpNewReductionStep(5, 9, step, nullptr), FpOk);
    const std::vector<std::vector<int16_t>> constraints = {
        {512, 512, 512, 512, 512}, {228, 114, 0, 114, 228}, {171, -341, 512, -341, 171}, {0, 0, 512, 0, 0}};
    const std::vector<std::vector<int16_t>> probes = {
        {0, 0, 512, 0, 0}, {57, 114, 171, 114, 57}, {0, -128, 256, -128, 0}, {-128, 0, 256, 0, -128}};
    for (int32_t r = 0; r < 4; ++r)
        EXPECT_EQ(std::vector<int16_t>(FpRow16(step.constraints, r), FpRow16(step.constraints, r) + 5), constraints[size_t(r)]) << r;
    ASSERT_EQ(step.probeCount, 4);
    for (int32_t r = 0; r < 4; ++r)
        EXPECT_EQ(std::vector<int16_t>(FpRow16(step.probes, r), FpRow16(step.probes, r) + 5), probes[size_t(r)]) << r;
    // Projections of the centre probe: sum 1, moment 0, alternating 1, centre 1.
    EXPECT_EQ(std::vector<double>(FpRowD(step.projections, 0), FpRowD(step.projections, 0) + 4),
              (std::vector<double>{512, 0, 512, 512}));

    // Blended with a seven-tap step: (row + 5 x larger[t + 1]) / 6, halves away.
    FpReductionStep larger, blended;
    ASSERT_EQ(FpNewReductionStep(7, 9, larger, nullptr), FpOk);
    ASSERT_EQ(FpNewReductionStep(5, 9, blended, &larger), FpOk);
    for (int32_t t = 0; t < 5; ++t) {
        const int32_t v = FpRow16(step.constraints, 1)[t] + 5 * FpRow16(larger.constraints, 1)[t + 1];
        EXPECT_EQ(FpRow16(blended.constraints, 1)[t], (v + 3) / 6) << t;
    }
    for (FpReductionStep* s : {&step, &larger, &blended}) FpFreeReductionStep(*s);
}

TEST_F(KestraReduction, GaussJordanWithoutRowExchanges) {
    double r0[] = {2, 1, 5}, r1[] = {1, 3, 10};
    double* rows[] = {r0, r1};
    ASSERT_TRUE(FpGaussJordan(rows, 2, 3));
    EXPECT_DOUBLE_EQ(r0[2], 1.0);
    EXPECT_DOUBLE_EQ(r1[2], 3.0);
    // A zero first pivot fails even though exchanging rows would solve it.
    double s0[] = {0.0000005, 1, 2}, s1[] = {1, 1, 3};
    double* singular[] = {s0, s1};
    EXPECT_FALSE(FpGaussJordan(singular, 2, 3));
    EXPECT_TRUE(FpGaussJordan(singular, 0, 3));
}

TEST_F(KestraReduction, ExactCutsCopiesAndPadding) {
    const std::vector<double> k = {0, 0, -128 / 512.0, 768 / 512.0, -128 / 512.0, 0, 0};
    const PSFFilter f = makeSharpening(caller_, {2.0}, 1, 7, k);
    const struct {
        int32_t size;
        std::vector<int32_t> kernel;
    } cases[] = {
        {5, {0, -128, 768, -128, 0}},
        {3, {-128, 768, -128}},
        {7, {0, 0, -128, 768, -128, 0, 0}},
        {9, {0, 0, 0, -128, 768, -128, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        PSFFilter g = 0;
        ASSERT_EQ(PSFResetKernelSize(f, c.size, &g), PSFSuccess) << c.size;
        EXPECT_EQ(attributeInt(g, PSFAttrTaps), c.size);
        EXPECT_EQ(filterNumbers(g, 1, 1, c.size, false).kernels, c.kernel) << c.size;
        EXPECT_EQ(PSFFreeFilter(g), PSFSuccess);
    }
    for (int32_t bad : {4, 1, 0, -3}) {
        PSFFilter g = 9;
        EXPECT_EQ(PSFResetKernelSize(f, bad, &g), PSFErrArgumentOutOfRange) << bad;
        EXPECT_EQ(g, 0u);
    }
    PSFFilter g;
    EXPECT_EQ(PSFResetKernelSize(f, 1 << 20 | 1, &g), PSFErrArgumentOutOfRange);
    EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);

    // A second table is copied by a padding, byte for byte.
    const std::vector<double> pairs = {-0.5, 1.5};
    const PSFFilter s = makeSharpening(caller_, {2.0}, 1, 7, {0.05, 0.1, 0.2, 0.3, 0.2, 0.1, 0.05}, &pairs);
    ASSERT_EQ(PSFResetKernelSize(s, 9, &g), PSFSuccess);
    EXPECT_EQ(filterNumbers(g, 1, 1, 9, true).pairs, filterNumbers(s, 1, 1, 7, true).pairs);
    for (PSFFilter x : {s, g}) EXPECT_EQ(PSFFreeFilter(x), PSFSuccess);
}

TEST_F(KestraReduction, SevenToFiveKeepsLevelsAndVariants) {
    std::vector<double> k;
    for (int l = 0; l < 3; ++l)
        for (int v = 0; v < 2; ++v)
            for (double x : {-0.02, -0.08, -0.2, 1.6 + 0.1 * l, -0.2, -0.08, -0.02}) k.push_back(x - 0.01 * v);
    const PSFFilter f = makeSharpening(caller_, {3, 2, 1}, 2, 7, k);
    PSFFilter g = 0;
    ASSERT_EQ(PSFResetKernelSize(f, 5, &g), PSFSuccess);
    EXPECT_EQ(attributeInt(g, PSFAttrTaps), 5);
    EXPECT_EQ(attributeInt(g, PSFAttrLevels), 3);
    EXPECT_EQ(attributeInt(g, PSFAttrVariants), 2);
    PSFAttributeValue v{};
    ASSERT_EQ(PSFGetFilterAttribute(g, PSFAttrLevelList + 2, &v), PSFSuccess);
    EXPECT_DOUBLE_EQ(v.value.real, 1.0);
    const std::vector<uint8_t> bytes = store(g);
    const PSFFilter again = load(bytes);
    EXPECT_EQ(store(again), bytes);
    for (PSFFilter x : {f, g, again}) EXPECT_EQ(PSFFreeFilter(x), PSFSuccess);
}
