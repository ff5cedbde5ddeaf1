#include "ColorTransformStage.h"
#include "DifferenceApplier.h"
#include "FixedMatrix.h"
#include "MatrixApplier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

void FillRows(RationalValue* m, int32_t a, int32_t b, int32_t c, int32_t d) {
    for (int i = 0; i < 3; ++i) {
        // Each row is a rotation of (a, b, c) so the diagonal holds a.
        const int32_t row[3] = {a, b, c};
        for (int j = 0; j < 3; ++j) m[3 * i + j] = {row[(j - i + 3) % 3], d};
    }
}

RationalValue Identity(int32_t d) { return {d, d}; }

} // namespace

TEST(FixedMatrix, RationalsToFixedMovesToTheNextPowerOfTwo) {
    RationalValue m[9];
    FillRows(m, 1500, -250, -250, 1000);
    int32_t d = 0, s = 0;
    ASSERT_EQ(FixedMatrix::RationalsToFixed(m, 3, &d, &s), 0u);
    EXPECT_EQ(d, 1024);
    EXPECT_EQ(s, 10);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m[4 * i].numerator, 1536);
        EXPECT_EQ(m[3 * i + (i + 1) % 3].numerator, -256);
        EXPECT_EQ(m[3 * i + (i + 2) % 3].numerator, -256);
        EXPECT_EQ(m[3 * i].denominator, 1024);
    }
}

TEST(FixedMatrix, RationalsToFixedKeepsPowerOfTwoDenominators) {
    RationalValue m[9];
    FillRows(m, 1536, -256, -256, 1024);
    int32_t d = 0, s = 0;
    ASSERT_EQ(FixedMatrix::RationalsToFixed(m, 3, &d, &s), 0u);
    EXPECT_EQ(d, 1024);
    EXPECT_EQ(s, 10);
    EXPECT_EQ(m[0].numerator, 1536);
}

TEST(FixedMatrix, RationalsToFixedRefusesBadInput) {
    RationalValue m[9];
    FillRows(m, 1000, 0, 0, 1000);
    m[8].numerator = 999; // third row sums to 999
    int32_t d = 0, s = 0;
    EXPECT_EQ(FixedMatrix::RationalsToFixed(m, 3, &d, &s), VQ_ERR_ROW_SUMS_DIFFER);
    EXPECT_EQ(FixedMatrix::RationalsToFixed(nullptr, 3, &d, &s), VQ_ERR_BAD_HANDLE);
    // A zero denominator further down would divide by zero.
    FillRows(m, 1000, 0, 0, 1000);
    m[5].denominator = 0;
    EXPECT_EQ(FixedMatrix::RationalsToFixed(m, 3, &d, &s), VQ_ERR_MATRIX_SUM_RANGE);
}

TEST(FixedMatrix, RowsSumToTheTargetAfterRounding) {
    RationalValue m[9] = {{1234, 1000}, {-117, 1000}, {-117, 1000}, {-333, 1000}, {1667, 1000},
                          {-334, 1000}, {1, 1000},    {-500, 1000}, {1499, 1000}};
    int32_t d = 0, s = 0;
    ASSERT_EQ(FixedMatrix::RationalsToFixed(m, 3, &d, &s), 0u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(m[3 * i].numerator + m[3 * i + 1].numerator + m[3 * i + 2].numerator, 1024);
}

TEST(MatrixApplier, IdentityAndClamp) {
    RationalValue id[9] = {Identity(1024), {0, 1024}, {0, 1024}, {0, 1024}, Identity(1024),
                           {0, 1024},      {0, 1024}, {0, 1024}, Identity(1024)};
    VqStatus st = 1;
    MatrixApplier wide(&st, id, 3, 3, 4095, 0);
    ASSERT_EQ(st, 0u);
    EXPECT_EQ(wide.shift, 10);
    EXPECT_EQ(wide.half, 512);
    int32_t x, y, z;
    wide.ApplyPixel(100, 200, 300, &x, &y, &z);
    EXPECT_EQ(std::make_tuple(x, y, z), std::make_tuple(100, 200, 300));
    MatrixApplier narrow(&st, id, 3, 3, 255, 0);
    narrow.ApplyPixel(100, 200, 300, &x, &y, &z);
    EXPECT_EQ(std::make_tuple(x, y, z), std::make_tuple(100, 200, 255));
}

TEST(DifferenceApplier, RoundsHalvesAwayFromZero) {
    RationalValue m[9];
    FillRows(m, 1536, -256, -256, 1024);
    VqStatus st = 1;
    DifferenceApplier app(&st, m, 3, 3, 4095, 0);
    ASSERT_EQ(st, 0u);
    int32_t x, y, z;
    app.ApplyPixel(-512, 1000, 0, &x, &y, &z);
    EXPECT_EQ(x, 232);
}

TEST(DifferenceApplier, EqualsTheFullProductOnPlainColours) {
    RationalValue m[9] = {{1700, 1000}, {-500, 1000}, {-200, 1000}, {-300, 1000}, {1450, 1000},
                          {-150, 1000}, {50, 1000},   {-650, 1000}, {1600, 1000}};
    VqStatus st = 1;
    DifferenceApplier diff(&st, m, 3, 3, 0x7FFF, 0);
    ASSERT_EQ(st, 0u);
    MatrixApplier full(&st, m, 3, 3, 0x7FFF, 0);
    ASSERT_EQ(st, 0u);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> sample(0, 4095);
    for (int n = 0; n < 20000; ++n) {
        const int r = sample(rng), g = sample(rng), b = sample(rng);
        int32_t d[3], f[3];
        diff.ApplyPixel(r - g, g, b - g, &d[0], &d[1], &d[2]);
        full.ApplyPixel(r, g, b, &f[0], &f[1], &f[2]);
        for (int k = 0; k < 3; ++k) {
            // Same product, rounded at one place rather than over the sum: within one step.
            EXPECT_NEAR(d[k], f[k], 1) << r << "," << g << "," << b;
            const int32_t* c = full.coefficients;
            const double exact = double(c[3 * k] * r + c[3 * k + 1] * g + c[3 * k + 2] * b) / full.denominator;
            EXPECT_NEAR(f[k], std::clamp(exact, 0.0, double(0x7FFF)), 1.0);
        }
    }
}

TEST(FixedMatrix, BalanceRowSumsRaisesTheSmallestEntry) {
    RationalValue m[9] = {{1024, 1}, {0, 1}, {0, 1}, {1023, 1}, {0, 1}, {0, 1}, {1020, 1}, {0, 1}, {0, 1}};
    EXPECT_EQ(FixedMatrix::BalanceRowSums(m), VQ_ERR_ROW_SUMS_DIFFER);
    EXPECT_EQ(m[5].numerator, 1) << "last of the equal smallest entries";
    EXPECT_EQ(m[8].numerator, 4);
    RationalValue n[9] = {{1024, 1}, {0, 1}, {0, 1}, {1022, 1}, {1, 1}, {0, 1}, {1024, 1}, {0, 1}, {0, 1}};
    EXPECT_EQ(FixedMatrix::BalanceRowSums(n), 0u);
    EXPECT_EQ(n[5].numerator, 1);
}

TEST(FixedMatrix, StoredMatrixLookupAndPredicates) {
    RationalValue sets[36] = {};
    RationalValue m[9];
    FillRows(m, 5, 6, 7, 9);
    for (int i = 0; i < 9; ++i) sets[18 + i] = {m[i].numerator, 0};
    int32_t index = -1;
    EXPECT_EQ(FixedMatrix::FindStoredMatrix(sets, m, &index), 0u);
    EXPECT_EQ(index, 2);
    m[4].numerator = 99;
    EXPECT_EQ(FixedMatrix::FindStoredMatrix(sets, m, &index), VQ_ERR_BAD_BALANCE_KIND);

    RationalValue id[9] = {Identity(7), {0, 1}, {0, 1}, {0, 1}, Identity(3), {0, 1}, {0, 1}, {0, 1}, Identity(5)};
    EXPECT_TRUE(FixedMatrix::IsIdentityRationals(id));
    EXPECT_TRUE(FixedMatrix::AllDenominatorsSet(id));
    id[1].denominator = 0;
    EXPECT_FALSE(FixedMatrix::AllDenominatorsSet(id));
    id[1].numerator = 1;
    EXPECT_FALSE(FixedMatrix::IsIdentityRationals(id));
}

TEST(FixedMatrix, InverseCombineAndMultiply) {
    FixedMatrix m;
    const int32_t values[9] = {8192, 0, 0, 0, 4096, 0, 0, 0, 2048};
    ASSERT_EQ(m.Set(values, 3, 3, 4096), 0u);
    ASSERT_EQ(m.InvertInPlace(), 0u);
    int32_t out[9];
    m.GetNumerators(out);
    EXPECT_EQ(out[0], 2048);
    EXPECT_EQ(out[4], 4096);
    EXPECT_EQ(out[8], 8192);

    FixedMatrix singular;
    const int32_t zero[9] = {1, 2, 3, 2, 4, 6, 0, 0, 1};
    singular.Set(zero, 3, 3, 1);
    double inv[9];
    EXPECT_EQ(singular.Inverse(inv), VQ_ERR_MATRIX_SUM_RANGE);
    EXPECT_EQ(singular.Set(zero, 4, 3, 1), VQ_ERR_MATRIX_SUM_RANGE) << "more than nine entries";
    EXPECT_EQ(singular.Set(zero, 3, 3, 0), VQ_ERR_MATRIX_SUM_RANGE);

    // Y = X x M with every row brought back to M's row sum.
    FixedMatrix rows;
    const int32_t rowValues[9] = {1200, -100, -100, -50, 1100, -50, 0, -200, 1200};
    rows.Set(rowValues, 3, 3, 1000);
    RationalValue x[9] = {{2, 1}, {0, 1}, {0, 1}, {0, 1}, {1, 2}, {0, 1}, {0, 1}, {0, 1}, {1, 1}};
    RationalValue y[9];
    ASSERT_EQ(rows.CombineWithRowTables(x, y, true), 0u);
    EXPECT_EQ(y[1].numerator, -200);
    EXPECT_EQ(y[2].numerator, -200);
    EXPECT_EQ(y[0].numerator, 1400);
    EXPECT_EQ(y[0].denominator, 1000);
    const int32_t uneven[9] = {1200, -100, -100, -50, 1100, -40, 0, -200, 1200};
    rows.Set(uneven, 3, 3, 1000);
    EXPECT_EQ(rows.CombineWithRowTables(x, y, true), VQ_ERR_ROW_SUMS_DIFFER);

    RationalValue a[9] = {{2, 4}, {0, 4}, {0, 4}, {0, 4}, {4, 4}, {0, 4}, {0, 4}, {0, 4}, {8, 4}};
    RationalValue b[9] = {{3, 3}, {3, 3}, {0, 3}, {0, 3}, {3, 3}, {0, 3}, {0, 3}, {0, 3}, {3, 3}};
    RationalValue p[9];
    ASSERT_EQ(FixedMatrix::MultiplyRationals(a, b, p, 3), 0u);
    EXPECT_EQ(p[0].denominator, 3);
    EXPECT_EQ(p[0].numerator, 2); // 0.5 x 3 rounded away from zero
    EXPECT_EQ(p[1].numerator, 2);
    EXPECT_EQ(p[8].numerator, 6);
}

TEST(ColorTransformStage, SensorSizeClass) {
    EXPECT_EQ(ColorTransformStage::SensorSizeClass(1280, 1024), 0);
    EXPECT_EQ(ColorTransformStage::SensorSizeClass(1536, 1024), 1);
    EXPECT_EQ(ColorTransformStage::SensorSizeClass(1024, 1536), 2);
}

namespace {

struct StageFixture {
    std::vector<uint16_t> tone, first, last, output;
    ColorTransformStage stage;
    StageFixture(int32_t mode, int32_t wmax = 4095) {
        tone.resize(size_t(wmax) + 1);
        first.resize(size_t(wmax) + 1);
        last.resize(size_t(wmax) + 1);
        for (int32_t i = 0; i <= wmax; ++i) {
            tone[size_t(i)] = uint16_t(std::min(wmax, i * 2));
            first[size_t(i)] = uint16_t(i / 2);
            last[size_t(i)] = uint16_t(i);
        }
        output.resize(4096);
        for (int32_t i = 0; i < 4096; ++i) output[size_t(i)] = uint16_t(i * 16);
        stage.mode = mode;
        stage.workingMaximum = wmax;
        stage.middleTone = tone.data();
        stage.firstTone = first.data();
        stage.lastTone = last.data();
        stage.outputTable = output.data();
        stage.outputSize = 4096;
        for (int i = 0; i < 9; ++i) {
            stage.firstMatrix[i] = {i % 4 == 0 ? 1024 : 0, 1024};
            stage.secondMatrix[i] = {i % 4 == 0 ? 1024 : 0, 1024};
        }
    }
};

} // namespace

TEST(ColorTransformStage, ModeZeroScalesOuterChannelsByTheToneRatio) {
    StageFixture f(ColorTransformStage::ModeFull);
    f.stage.subsampled = 1; // planes hold plain colours
    f.stage.width = 3;
    f.stage.height = 1;
    f.stage.leftSkip = 1;
    f.stage.rightSkip = 1;
    ASSERT_EQ(f.stage.Prepare(), 0u);
    int16_t p[5] = {-7, 100, 50, 0, -7}, q[5] = {-7, 200, 0, 10, -7}, r[5] = {-7, 300, 60, 20, -7};
    ASSERT_EQ(f.stage.Run(p, q, r, nullptr), 0u);
    // y = 200 -> t = 400; x = 100 * 400 / 200 = 200; z = 600
    EXPECT_EQ(uint16_t(p[1]), 200 * 16);
    EXPECT_EQ(uint16_t(q[1]), 400 * 16);
    EXPECT_EQ(uint16_t(r[1]), 600 * 16);
    // y = 0: x and z pass unscaled
    EXPECT_EQ(uint16_t(p[2]), 50 * 16);
    EXPECT_EQ(uint16_t(q[2]), 0);
    EXPECT_EQ(uint16_t(r[2]), 60 * 16);
    EXPECT_EQ(p[0], -7) << "skipped samples stay";
    EXPECT_EQ(r[4], -7);
}

TEST(ColorTransformStage, ModeThreeUsesSeparateTones) {
    StageFixture f(ColorTransformStage::ModeFullSeparateTones);
    f.stage.subsampled = 1;
    f.stage.width = 1;
    f.stage.height = 1;
    ASSERT_EQ(f.stage.Prepare(), 0u);
    int16_t p[1] = {100}, q[1] = {200}, r[1] = {300};
    ASSERT_EQ(f.stage.Run(p, q, r, nullptr), 0u);
    EXPECT_EQ(uint16_t(p[0]), 50 * 16);
    EXPECT_EQ(uint16_t(q[0]), 400 * 16);
    EXPECT_EQ(uint16_t(r[0]), 300 * 16);
}

TEST(ColorTransformStage, MonochromeClampsItsIndices) {
    StageFixture f(ColorTransformStage::ModeMonochrome, 1023);
    f.stage.outputSize = 100; // smaller than what the tone table gives
    f.stage.width = 4;
    f.stage.height = 1;
    ASSERT_EQ(f.stage.Prepare(), 0u);
    int16_t p[4] = {1, 2, 3, 4}, q[4] = {-5, 10, 30000, 2000}, r[4] = {};
    ASSERT_EQ(f.stage.Run(p, q, r, nullptr), 0u);
    EXPECT_EQ(uint16_t(q[0]), f.output[0]);
    EXPECT_EQ(uint16_t(q[1]), f.output[20]);
    EXPECT_EQ(uint16_t(q[2]), f.output[99]);
    EXPECT_EQ(uint16_t(q[3]), f.output[99]);
    EXPECT_EQ(p[2], 3);
}

TEST(ColorTransformStage, RefusesNullPlanesAndMissingAppliers) {
    StageFixture f(ColorTransformStage::ModeFull);
    int16_t a[1] = {}, b[1] = {}, c[1] = {};
    f.stage.width = 1;
    f.stage.height = 1;
    EXPECT_EQ(f.stage.Run(nullptr, b, c, nullptr), VQ_ERR_NULL_PLANES);
    EXPECT_EQ(f.stage.Run(a, b, c, nullptr), VQ_ERR_MATRIX_NOT_AVAILABLE) << "run before prepare";
    f.stage.firstMatrix[8].numerator = 1000; // rows no longer share one sum
    for (auto& v : f.stage.firstMatrix) v.denominator = 1000;
    EXPECT_EQ(f.stage.Prepare(), VQ_ERR_ROW_SUMS_DIFFER);
}

TEST(ColorTransformStage, PreMatrixOnlyConvertsSkippedSamplesToo) {
    StageFixture f(ColorTransformStage::ModePreMatrixOnly);
    OcmsImageRecord record;
    for (int i = 0; i < 9; ++i) record.preMatrix[i] = {i % 4 == 0 ? 4096 : 0, 4096};
    f.stage.transformRecord = &record;
    f.stage.width = 1;
    f.stage.height = 1;
    f.stage.leftSkip = 1;
    ASSERT_EQ(f.stage.Prepare(), 0u);
    int16_t p[2] = {10, 20}, q[2] = {30, 40}, r[2] = {50, 60};
    ASSERT_EQ(f.stage.Run(p, q, r, nullptr), 0u);
    EXPECT_EQ(p[0], 160) << "identity scaled by 16";
    EXPECT_EQ(r[1], 960);
}

TEST(MatrixApplier, AppliersMatchADoubleReferenceOnRandomPlanes) {
    // Random colour matrices whose rows share one sum, over power-of-two
    // denominators (so the rationals are the applier's coefficients exactly),
    // on random planes that include negative samples and samples that clamp.
    std::mt19937 rng(2104);
    const int32_t denominators[] = {256, 1024, 4096, 16384};
    const int32_t maximum = 0x7FFF;
    const size_t pixels = 4096;
    std::uniform_int_distribution<int> sample(-2048, 32767), plain(0, 32767);
    for (int trial = 0; trial < 24; ++trial) {
        const int32_t d = denominators[trial % 4];
        std::uniform_int_distribution<int32_t> off(-d / 2, d / 2);
        RationalValue m[9];
        for (int i = 0; i < 3; ++i) {
            const int32_t x = off(rng), y = off(rng);
            const int32_t row[3] = {x, y, d - x - y};
            for (int j = 0; j < 3; ++j) m[3 * i + j] = {row[(j + 2 * i) % 3], d};
        }
        VqStatus st = 1;
        MatrixApplier full(&st, m, 3, 3, maximum, 0);
        ASSERT_EQ(st, 0u);
        DifferenceApplier diff(&st, m, 3, 3, maximum, 0);
        ASSERT_EQ(st, 0u);

        std::vector<int32_t> p(pixels), q(pixels), r(pixels);
        for (size_t i = 0; i < pixels; ++i) {
            p[i] = sample(rng);
            q[i] = plain(rng);
            r[i] = sample(rng);
        }
        for (size_t i = 0; i < pixels; ++i) {
            int32_t f[3], dd[3];
            full.ApplyPixel(p[i], q[i], r[i], &f[0], &f[1], &f[2]);
            diff.ApplyPixel(p[i] - q[i], q[i], r[i] - q[i], &dd[0], &dd[1], &dd[2]);
            for (int k = 0; k < 3; ++k) {
                double exact = 0;
                for (int j = 0; j < 3; ++j)
                    exact += double(m[3 * k + j].numerator) / m[3 * k + j].denominator * (j == 0 ? p[i] : j == 1 ? q[i] : r[i]);
                const double want = std::clamp(exact, 0.0, double(maximum));
                ASSERT_NEAR(f[k], want, 1.0) << "trial " << trial << " pixel " << i << " channel " << k;
                // The difference form rounds its two products at one place
                // instead of the whole sum: within a step of the full product.
                ASSERT_NEAR(dd[k], f[k], 1) << "trial " << trial << " pixel " << i << " channel " << k;
            }
        }
    }
}

TEST(ColorTransformStage, PreMatrixThatCannotBecomeAnApplierStopsTheRender) {
    // A negative first denominator has no power-of-two form; without the check
    // every sample would come out as the applier's bare rounding offset.
    StageFixture f(ColorTransformStage::ModePreMatrixOnly);
    OcmsImageRecord record;
    for (int i = 0; i < 9; ++i) record.preMatrix[i] = {i % 4 == 0 ? 1000 : 0, 1000};
    record.preMatrix[0].denominator = -1000;
    f.stage.transformRecord = &record;
    f.stage.width = 2;
    f.stage.height = 1;
    EXPECT_EQ(f.stage.Prepare(), VQ_ERR_MATRIX_SUM_RANGE);
    int16_t p[2] = {10, 20}, q[2] = {30, 40}, r[2] = {50, 60};
    ASSERT_EQ(f.stage.Run(p, q, r, nullptr), 0u);
    EXPECT_EQ(p[0], 10) << "no applier, nothing converted";
    EXPECT_EQ(r[1], 60);
}

TEST(FixedMatrix, MultiplyRationalsMultipliesTheTwoFactorsAsDoubles) {
    // 2550/7 x -2190/3000 is -1861.5/7 exactly; as the product of the two
    // doubles it lies just inside the half and rounds to -1861. Dividing by
    // 3000 after multiplying lands on the half and gives -1862.
    struct Row {
        RationalValue a, b;
        int32_t numerator, denominator;
    } rows[] = {
        {{2550, 7}, {-2190, 3000}, -1861, 7},
        {{555, 3}, {4390, 12}, 203037, 3},
        {{-3178, 12}, {837, 3}, -221666, 3}, // here the other order falls short of the half
    };
    for (const Row& row : rows) {
        RationalValue out{};
        ASSERT_EQ(FixedMatrix::MultiplyRationals(&row.a, &row.b, &out, 1), 0u);
        EXPECT_EQ(out.numerator, row.numerator) << row.a.numerator << "/" << row.a.denominator;
        EXPECT_EQ(out.denominator, row.denominator);
    }
}
