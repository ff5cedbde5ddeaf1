// Filters made from numbers: the checks before anything is made, the
// quantisation with its sum correction, and the numbers read back.
#include "KernelDesignSupport.h"
#include "KestraTestSupport.h"

#include <cmath>
#include <limits>

using namespace kestratest;

class KestraFilterData : public KestraTest {};

TEST_F(KestraFilterData, LevelsAndCountsAreCheckedFirst) {
    const double k[64] = {0, 0.5, 0};
    const double down[] = {3, 2, 1, 0}, equal[] = {3, 3}, up[] = {1, 2};
    PSFFilter f = 0;
    ASSERT_EQ(PSFCreateFilterFromData(caller_, 1, 4, 1, 3, down, nullptr, nullptr, &f), PSFSuccess);
    EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);
    const struct {
        int32_t kind, levels, variants, taps;
        const double* levelValues;
        PSFStatus status;
    } cases[] = {
        {1, 2, 1, 3, equal, PSFErrArgumentOutOfRange},
        {1, 2, 1, 3, up, PSFErrArgumentOutOfRange},
        {1, 0, 1, 3, down, PSFErrArgumentOutOfRange},
        {1, -1, 1, 3, down, PSFErrArgumentOutOfRange},
        {1, 1, 0, 3, down, PSFErrArgumentOutOfRange},
        {1, 1, 1, 0, down, PSFErrArgumentOutOfRange},
        {1, 1, 1, -5, down, PSFErrArgumentOutOfRange},
        {1, 1, 1 << 16, 1 << 16, down, PSFErrArgumentOutOfRange}, // padded storage past 32 bits
        {1, 4, 1 << 20, 1 << 12, down, PSFErrArgumentOutOfRange},
        {3, 1, 1, 3, down, PSFErrArgumentOutOfRange},
        {-1, 1, 1, 3, down, PSFErrArgumentOutOfRange},
        {1, 1, 1, 3, nullptr, PSFErrArgumentOutOfRange},
    };
    for (const auto& c : cases) {
        f = 5;
        EXPECT_EQ(PSFCreateFilterFromData(caller_, c.kind, c.levels, c.variants, c.taps, c.levelValues, k, nullptr, &f),
                  c.status)
            << c.kind << " " << c.levels << " " << c.variants << " " << c.taps;
        EXPECT_EQ(f, 0u);
    }
    EXPECT_EQ(PSFCreateFilterFromData(caller_ + 1, 1, 1, 1, 3, down, k, nullptr, &f), PSFErrBadCaller);
    EXPECT_EQ(PSFCreateFilterFromData(caller_, 1, 1, 1, 3, down, k, nullptr, nullptr), PSFErrArgumentOutOfRange);
    // Values that cannot be 16-bit samples.
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), 64.0, -64.1, 1e300}) {
        const double values[] = {0, bad, 0};
        EXPECT_EQ(PSFCreateFilterFromData(caller_, 1, 1, 1, 3, down, values, nullptr, &f), PSFErrArgumentOutOfRange);
        const double pair[] = {bad, 0};
        EXPECT_EQ(PSFCreateFilterFromData(caller_, 1, 1, 1, 3, down, k, pair, &f), PSFErrArgumentOutOfRange);
    }
}

TEST_F(KestraFilterData, QuantisationAndSumCorrection) {
    // Taps 128.4, 255.2, 128.4 (units of 1/512) round to 511; the real sum is 512.
    const double k[] = {(128 + 0.4) / 512, (256 - 0.8) / 512, (128 + 0.4) / 512,
                        // A kernel whose halves round away from zero either way.
                        -1.5 / 512, 515.0 / 512, -1.5 / 512};
    const double pairs[] = {-0.5, 1.5, 100.6 / 512, -3.5 / 512};
    const std::vector<double> pairList(pairs, pairs + 4);
    PSFFilter f = makeSharpening(caller_, {2, 1}, 1, 3, std::vector<double>(k, k + 6), &pairList);
    const FilterNumbers n = filterNumbers(f, 2, 1, 3, true);
    EXPECT_EQ(n.kernels, (std::vector<int32_t>{128, 256, 128, -2, 516, -2}));
    EXPECT_EQ(n.pairs, (std::vector<int32_t>{-256, 768, 101, -4})); // no sum correction here
    double back[6];
    ASSERT_EQ(PSFGetFilterData(f, back, nullptr), PSFSuccess);
    EXPECT_EQ(back[1], 0.5);
    EXPECT_EQ(attributeInt(f, PSFAttrKind), 0);
    EXPECT_EQ(attributeInt(f, PSFAttrHasSecondTable), 1);
    PSFAttributeValue v{};
    ASSERT_EQ(PSFGetFilterAttribute(f, PSFAttrKindName, &v), PSFSuccess);
    EXPECT_STREQ(v.value.text, "kf");
    EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);

    // Record kinds against processor kinds.
    const struct {
        int32_t kind, processorKind;
        const char* name;
    } kinds[] = {{0, 1, "ki"}, {1, 0, "kf"}, {2, 2, "kfa"}};
    for (const auto& c : kinds) {
        const double one[] = {1.0};
        ASSERT_EQ(PSFCreateFilterFromData(caller_, c.kind, 1, 1, 3, one, k, nullptr, &f), PSFSuccess);
        EXPECT_EQ(attributeInt(f, PSFAttrKind), c.processorKind);
        ASSERT_EQ(PSFGetFilterAttribute(f, PSFAttrKindName, &v), PSFSuccess);
        EXPECT_STREQ(v.value.text, c.name);
        EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);
    }
}

TEST_F(KestraFilterData, NumbersComeBackAsMultiplesOf512ths) {
    std::srand(7);
    for (int round = 0; round < 20; ++round) {
        const int32_t taps = 3 + 2 * (std::rand() % 7), variants = 1 + std::rand() % 3, levels = 1 + std::rand() % 3;
        std::vector<double> k(size_t(taps * variants * levels)), pairs(size_t(variants * levels * 2));
        for (double& x : k) x = (std::rand() % 20001 - 10000) / 7919.0;
        for (double& x : pairs) x = (std::rand() % 2001 - 1000) / 313.0;
        std::vector<double> levelValues;
        for (int32_t l = 0; l < levels; ++l) levelValues.push_back(3.0 - l);
        const bool second = round % 2;
        const PSFFilter f = makeSharpening(caller_, levelValues, variants, taps, k, second ? &pairs : nullptr);
        std::vector<double> back(k.size()), backPairs(pairs.size());
        ASSERT_EQ(PSFGetFilterData(f, back.data(), second ? backPairs.data() : nullptr), PSFSuccess);
        const int32_t c = (taps - 1) / 2;
        for (size_t i = 0; i < k.size(); ++i) {
            const double scaled = back[i] * 512;
            EXPECT_EQ(scaled, std::round(scaled));
            const int32_t tap = int32_t(i % size_t(taps));
            const double rounded = std::round(k[i] * 512); // halves away from zero, as the library rounds
            if (tap < c - 1 || tap > c + 1) {
                EXPECT_EQ(scaled, rounded) << i;
            } else {
                EXPECT_LE(std::fabs(scaled - rounded), 2.0) << i;
            }
        }
        if (second) {
            for (size_t i = 0; i < pairs.size(); ++i) EXPECT_EQ(backPairs[i] * 512, std::round(pairs[i] * 512));
        }
        EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);
    }
}

TEST_F(KestraFilterData, FilterWithoutKernels) {
    const double levels[] = {1.0};
    PSFFilter f = 0;
    ASSERT_EQ(PSFCreateFilterFromData(caller_, 1, 1, 1, 5, levels, nullptr, nullptr, &f), PSFSuccess);
    double k[5];
    // The second-table flag is answered from kernels only: the check of the
    // sizes comes first and finds it missing.
    EXPECT_EQ(PSFGetFilterData(f, k, nullptr), PSFErrBadAttribute);
    PSFFilter g;
    EXPECT_EQ(PSFResetKernelSize(f, 3, &g), 1037);       // attributes only: the filter state, mapped
    EXPECT_EQ(PSFScaleSharpeningFilter(f, 2, f, &g), PSFErrArgumentOutOfRange);
    EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);
}
