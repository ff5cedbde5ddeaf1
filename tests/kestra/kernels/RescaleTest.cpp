// Stretching kernels by a scale: phase tables, the stretch itself checked
// against resamplers whose effect is known, and the export's refusals.
#include "FpPhaseTables.h"
#include "FpRescale.h"
#include "KernelDesignSupport.h"
#include "KestraTestSupport.h"

#include <cmath>

using namespace kestratest;
using namespace kestra;

class KestraRescale : public KestraTest {};

TEST_F(KestraRescale, PhaseTablesOfSevenTaps) {
    FpKernelTable table{};
    table.taps = 32;
    table.variants = 64;
    table.log2Taps = 5;
    FpKernelSet set{};
    set.slot(kSlotKernels).table = &table;
    const struct {
        double s;
        int32_t N;
        std::vector<int32_t> positions, phases;
    } cases[] = {
        {1.0, 7, {-15, -14, -13, -12, -11, -10, -9}, {0, 0, 0, 0, 0, 0, 0}},
        {2.0, 15, {-16, -15, -15, -14, -14, -13, -13, -12, -12, -11, -11, -10, -10, -9, -9},
         {1024, 0, 1024, 0, 1024, 0, 1024, 0, 1024, 0, 1024, 0, 1024, 0, 1024}},
        {0.5, 7, {-18, -16, -14, -12, -10, -8, -6}, {0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        FpPhaseTables t{};
        int32_t N = 0;
        ASSERT_EQ(FpBuildPhaseTables(t, set, c.s, 7, N), FpOk);
        ASSERT_EQ(N, c.N) << c.s;
        EXPECT_EQ(std::vector<int32_t>(t.positions, t.positions + N), c.positions) << c.s;
        EXPECT_EQ(std::vector<int32_t>(t.phases, t.phases + N), c.phases) << c.s;
        FpFreePhaseTables(t);
        EXPECT_EQ(t.positions, nullptr);
    }
    // Sizes past 32767 taps are refused, computed without overflow.
    int32_t N;
    EXPECT_TRUE(FpStretchedTaps(7, 4000.0, 32, N));
    EXPECT_FALSE(FpStretchedTaps(7, 5000.0, 32, N));
    EXPECT_FALSE(FpStretchedTaps(15, 1e12, 32, N));
    FpPhaseTables t{};
    EXPECT_EQ(FpBuildPhaseTables(t, set, 1e12, 15, N), FpBadKernelSize);
    EXPECT_EQ(t.positions, nullptr);
}

TEST_F(KestraRescale, Windows) {
    int32_t w[7], sum;
    FpTriangleWindow(7, 9, w, sum);
    EXPECT_EQ(std::vector<int32_t>(w, w + 7), (std::vector<int32_t>{32, 64, 96, 128, 96, 64, 32}));
    EXPECT_EQ(sum, 512);
    FpAlternatingWindow(7, 9, w);
    // Centre +512, falling to just above 256 at the ends, signs alternating.
    EXPECT_EQ(std::vector<int32_t>(w, w + 7), (std::vector<int32_t>{-320, 384, -448, 512, -448, 384, -320}));
}

TEST_F(KestraRescale, UnitImpulseResamplerGivesTheKernelsBack) {
    // Phase 0 of every level is a unit impulse at tap 15.
    const PSFFilter r = makeResampler(caller_, 4, {1.0}, [](double, double x) { return tent(1.0, x); });
    const std::vector<double> k = {-0.05, -0.1, -0.2, 1.7, -0.2, -0.1, -0.05,   // level 0
                                   0.0,   -0.1, -0.15, 1.5, -0.15, -0.1, 0.0};  // level 1
    const std::vector<double> pairs = {-0.5, 1.5, -0.25, 1.25};
    const PSFFilter f = makeSharpening(caller_, {2.0, 1.0}, 1, 7, k, &pairs);
    PSFFilter g = 0;
    ASSERT_EQ(PSFScaleSharpeningFilter(f, 1.0, r, &g), PSFSuccess);
    EXPECT_EQ(attributeInt(g, PSFAttrTaps), 7);
    const FilterNumbers before = filterNumbers(f, 2, 1, 7, true), after = filterNumbers(g, 2, 1, 7, true);
    EXPECT_EQ(after.kernels, before.kernels);
    EXPECT_EQ(after.pairs, before.pairs);
    for (PSFFilter x : {f, g, r}) EXPECT_EQ(PSFFreeFilter(x), PSFSuccess);
}

namespace {

int32_t roundHalfAway(double v) { return v >= 0 ? int32_t(v + 0.5) : int32_t(v - 0.5); }

// Stretching one 7-tap kernel by 2 with the linear-interpolation resampler of
// four phases, written out from the formulas: taps 15 and 16 of phase p weigh
// 512 - 128p and 128p; output tap i samples input position (i - 7) / 2 + 3.
std::vector<int32_t> stretchByTwo(const std::vector<int32_t>& old) {
    const int n = 7, N = 15, c = 3, C = 7;
    // The high-frequency value: alternating window {-320, 384, -448, 512, ...}.
    const int32_t alt7[] = {-320, 384, -448, 512, -448, 384, -320};
    int32_t hfSum = 0, sum = 0;
    for (int i = 0; i < n; ++i) hfSum += alt7[i] * old[size_t(i)], sum += old[size_t(i)];
    const double hf = hfSum / 512.0;
    std::vector<int32_t> p = old;
    p[c] -= roundHalfAway(hf);
    std::vector<int32_t> k(N);
    for (int i = 0; i < N; ++i) {
        int32_t acc;
        if (i % 2) {
            acc = p[size_t((i - 1) / 2)] * 512; // on an input tap
        } else {
            const int left = i / 2 - 1; // halfway between left and left + 1
            acc = (left >= 0 ? p[size_t(left)] * 256 : 0) + (left + 1 < n ? p[size_t(left + 1)] * 256 : 0);
        }
        k[size_t(i)] = roundHalfAway(acc / (2.0 * 512.0));
    }
    for (int i = 0; i < C; ++i) k[size_t(i)] = k[size_t(N - 1 - i)] = (k[size_t(i)] + k[size_t(N - 1 - i)] + 1) >> 1;
    // The alternating window of 15 taps.
    int32_t alt15[15];
    for (int j = 0; j <= C; ++j) {
        const int32_t m = int32_t(((C + 1 - j) * 512.0 / (C + 1) + 512.0) * 0.5 + 0.5);
        alt15[C + j] = alt15[C - j] = j % 2 ? -m : m;
    }
    int32_t newHf = 0;
    for (int i = 0; i < N; ++i) newHf += alt15[i] * k[size_t(i)];
    k[C] += roundHalfAway(hf - newHf / 512.0);
    // Spread the sum back with the triangle window of 15 taps.
    int32_t tri[15], triSum = 0;
    for (int j = 0; j < N; ++j) {
        tri[j] = roundHalfAway((j <= C ? j + 1 : N - j) * 512.0 / 64.0);
        triSum += tri[j];
    }
    auto total = [&] {
        int32_t s = 0;
        for (int32_t x : k) s += x;
        return s;
    };
    int32_t d = sum - total();
    for (int pass = 0; pass < 3 && (pass == 0 || std::abs(d) > 3); ++pass) {
        const double r = double(d) / triSum;
        for (int j = 0; j < N; ++j) k[size_t(j)] = roundHalfAway(k[size_t(j)] + tri[j] * r);
        d = sum - total();
    }
    const int step = d > 0 ? 1 : -1;
    if (std::abs(d) >= 3) k[C - 1] += step, k[C] += step, k[C + 1] += step;
    else if (std::abs(d) == 2) k[C - 1] += step, k[C + 1] += step;
    else if (std::abs(d) == 1) k[C] += step;
    return k;
}

} // namespace

TEST_F(KestraRescale, LinearResamplerStretchByTwoFollowsTheFormulas) {
    const PSFFilter r = makeResampler(caller_, 4, {1.0}, [](double, double x) { return tent(1.0, x); });
    const std::vector<std::vector<int32_t>> kernels = {
        {-13, -40, -90, 798, -90, -40, -13}, {0, -64, -128, 896, -128, -64, 0}, {5, -30, -101, 764, -101, -30, 5}};
    std::vector<double> k;
    for (const auto& kernel : kernels)
        for (int32_t x : kernel) k.push_back(x / 512.0);
    const PSFFilter f = makeSharpening(caller_, {3.0, 2.0, 1.0}, 1, 7, k);
    PSFFilter g = 0;
    ASSERT_EQ(PSFScaleSharpeningFilter(f, 2.0, r, &g), PSFSuccess);
    ASSERT_EQ(attributeInt(g, PSFAttrTaps), 15);
    const FilterNumbers after = filterNumbers(g, 3, 1, 15, false);
    for (size_t l = 0; l < kernels.size(); ++l) {
        const std::vector<int32_t> got(after.kernels.begin() + long(l * 15), after.kernels.begin() + long(l * 15 + 15));
        EXPECT_EQ(got, stretchByTwo(kernels[l])) << "level " << l;
    }
    for (PSFFilter x : {f, g, r}) EXPECT_EQ(PSFFreeFilter(x), PSFSuccess);
}

TEST_F(KestraRescale, ExportRefusals) {
    const PSFFilter r = makeResampler(caller_, 4, {1.0}, [](double, double x) { return tent(1.0, x); });
    const PSFFilter f = makeSharpening(caller_, {1.0}, 1, 5, {-0.1, -0.2, 1.6, -0.2, -0.1});
    PSFFilter g = 77;
    EXPECT_EQ(PSFScaleSharpeningFilter(f, 0.001, r, &g), PSFErrArgumentOutOfRange);
    EXPECT_EQ(g, 0u);
    EXPECT_EQ(PSFScaleSharpeningFilter(f, -2, r, &g), PSFErrArgumentOutOfRange);
    EXPECT_EQ(PSFScaleSharpeningFilter(f, 2, f, &g), PSFErrArgumentOutOfRange);  // a sharpening filter as resampler
    EXPECT_EQ(PSFScaleSharpeningFilter(r, 2, r, &g), PSFErrArgumentOutOfRange);  // a resampler to be stretched
    EXPECT_EQ(PSFScaleSharpeningFilter(f, 2, 0, &g), PSFErrFilterUnusable);
    // A scale whose kernel would outgrow 32767 taps, or 32 bits, is refused.
    EXPECT_EQ(PSFScaleSharpeningFilter(f, 1e5, r, &g), PSFErrArgumentOutOfRange);
    EXPECT_EQ(PSFScaleSharpeningFilter(f, 1e12, r, &g), PSFErrArgumentOutOfRange);
    EXPECT_EQ(g, 0u);
    for (PSFFilter x : {f, r}) EXPECT_EQ(PSFFreeFilter(x), PSFSuccess);
}

TEST_F(KestraRescale, DerivedFilterAttributes) {
    const PSFFilter r = makeResampler(caller_, 8, {1.0, 0.5}, tent);
    const PSFFilter f = makeSharpening(caller_, {3.0, 1.5}, 2, 5,
                                       {-0.1, -0.2, 1.6, -0.2, -0.1, 0, -0.25, 1.5, -0.25, 0,
                                        -0.05, -0.1, 1.3, -0.1, -0.05, 0, -0.125, 1.25, -0.125, 0});
    PSFAttributeValue v{};
    v.type = PSFAttrTypeDouble;
    v.value.real = 300;
    ASSERT_EQ(PSFSetFilterAttribute(f, PSFAttrResolution, &v), PSFSuccess);
    v.type = PSFAttrTypeString;
    std::strcpy(v.value.text, "described");
    ASSERT_EQ(PSFSetFilterAttribute(f, PSFAttrDescription, &v), PSFSuccess);
    std::strcpy(v.value.text, "1999:01:01:00:00:00");
    ASSERT_EQ(PSFSetFilterAttribute(f, PSFAttrDate, &v), PSFSuccess);
    const std::vector<uint8_t> sourceBytes = store(f);

    PSFFilter g = 0;
    ASSERT_EQ(PSFScaleSharpeningFilter(f, 2.5, r, &g), PSFSuccess);
    EXPECT_EQ(store(f), sourceBytes) << "the source changed";
    PSFAttributeValue out{};
    ASSERT_EQ(PSFGetFilterAttribute(g, PSFAttrResolution, &out), PSFSuccess);
    EXPECT_DOUBLE_EQ(out.value.real, 750);
    EXPECT_EQ(PSFGetFilterAttribute(g, PSFAttrDescription, &out), PSFErrAttributeNotFound);
    ASSERT_EQ(PSFGetFilterAttribute(g, PSFAttrDate, &out), PSFSuccess);
    EXPECT_STRNE(out.value.text, "1999:01:01:00:00:00");
    ASSERT_EQ(PSFGetFilterAttribute(g, PSFAttrCopyright, &out), PSFSuccess);
    for (int32_t i = 0; i < 2; ++i) {
        ASSERT_EQ(PSFGetFilterAttribute(g, PSFAttrLevelList + i, &out), PSFSuccess);
        EXPECT_DOUBLE_EQ(out.value.real, i == 0 ? 3.0 : 1.5);
    }
    EXPECT_EQ(PSFGetFilterAttribute(g, PSFAttrLevelList + 2, &out), PSFErrAttributeNotFound);
    EXPECT_EQ(attributeInt(g, PSFAttrKind), 0);
    EXPECT_EQ(attributeInt(g, PSFAttrVariants), 2);
    EXPECT_EQ(attributeInt(g, PSFAttrLevels), 2);
    PSFCaller owner = 0;
    EXPECT_EQ(PSFGetCallerIdFromFilter(g, &owner), PSFSuccess);
    EXPECT_EQ(owner, caller_);

    // Stored and loaded again, byte for byte.
    const std::vector<uint8_t> bytes = store(g);
    const PSFFilter again = load(bytes);
    EXPECT_EQ(store(again), bytes);
    for (PSFFilter x : {f, g, r, again}) EXPECT_EQ(PSFFreeFilter(x), PSFSuccess);
}
