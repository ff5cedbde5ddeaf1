// Kernel levels, interpolation, sum corrections and blend pairs.
#include "FpBlendPair.h"
#include "FpKernelLevels.h"
#include "FpKernelSums.h"
#include "FpLevelList.h"
#include "KestraTestSupport.h"
#include "PsfConversions.h"

#include <vector>

using namespace kestratest;
using namespace kestra;

namespace {

Handle levelList(const std::vector<double>& levels) {
    Handle list = 0;
    EXPECT_EQ(FpPutAttribute(list, kAttrLevels, PsfLongToText(int32_t(levels.size())).c_str()), FpOk);
    for (size_t i = 0; i < levels.size(); ++i)
        EXPECT_EQ(FpPutAttribute(list, kAttrLevelList + int32_t(i), PsfDoubleToText(levels[i]).c_str()), FpOk);
    return list;
}

// A locked kernel table of 16-bit kernels with 9 fraction bits.
FpKernelTable* newTable(int32_t taps, int32_t variants, int32_t levels, bool second) {
    FpKernelTable like{};
    like.variants = variants;
    like.bytesPerSample = 2;
    like.fractionBits = 9;
    std::memcpy(like.kindName, "kf", 3);
    FpKernelTable* t = nullptr;
    EXPECT_EQ(FpNewKernelTableLike(like, taps, levels, second, t), FpOk);
    return t;
}

std::vector<int16_t> kernel(const FpKernelTable& t, int32_t level, int32_t variant) {
    const int16_t* k = FpKernelAt(t, level, variant);
    return std::vector<int16_t>(k, k + t.taps);
}

} // namespace

class KestraKernelLevels : public KestraTest {};

TEST_F(KestraKernelLevels, FindLevel) {
    const struct {
        std::vector<double> levels;
        double request;
        int32_t index;
        double fraction;
    } cases[] = {
        {{3.0, 1.5, 0.75}, 3.0, 0, 0.0},
        {{3.0, 1.5, 0.75}, 2.0, 0, 2.0 / 3.0},
        {{3.0, 1.5, 0.75}, 0.5, 2, 0.0},
        {{3.0, 1.5, 0.75}, 4.0, -1, 4.0 / 3.0},
        {{3.0, 1.5, 0.75}, 0.75, 2, 0.0},
        {{3.0, 1.5}, 1.51, 0, 1.49 / 1.5},
        {{3.0, 1.5}, 1.52, 0, 1.48 / 1.5},
    };
    for (const auto& c : cases) {
        const Handle list = levelList(c.levels);
        int32_t index = 99;
        double fraction = -1;
        EXPECT_EQ(FpFindLevel(list, c.request, index, fraction), FpOk);
        EXPECT_EQ(index, c.index) << c.request;
        EXPECT_NEAR(fraction, c.fraction, 1e-12) << c.request;
        FpFreeAttributeList(list);
    }
    // No level list at all: the failure of the read passes through.
    int32_t index;
    double fraction;
    EXPECT_NE(FpFindLevel(0, 1.0, index, fraction), FpOk);
}

TEST_F(KestraKernelLevels, FixKernelSumTable) {
    const struct {
        int32_t target;
        std::vector<int16_t> out;
    } cases[] = {
        {95, {10, 21, 32, 21, 10}}, {87, {10, 19, 29, 19, 10}}, {92, {10, 21, 30, 21, 10}},
        {90, {10, 20, 30, 20, 10}}, {91, {10, 20, 31, 20, 10}}, {89, {10, 20, 29, 20, 10}},
        {88, {10, 19, 30, 19, 10}}, {93, {10, 21, 31, 21, 10}}, {80, {10, 19, 28, 19, 10}},
    };
    for (const auto& c : cases) {
        std::vector<int16_t> k = {10, 20, 30, 20, 10};
        EXPECT_EQ(FpFixKernelSum(k.data(), 5, c.target), 90);
        EXPECT_EQ(k, c.out) << c.target;
    }
    // A kernel too short for the side taps takes the change on its centre.
    std::vector<int16_t> one = {7};
    FpFixKernelSum(one.data(), 1, 9);
    EXPECT_EQ(one[0], 9);
}

TEST_F(KestraKernelLevels, ResponseRangeSplitAndExpand) {
    const int16_t hp[] = {-1, 2, -1};
    int16_t lo, hi;
    FpResponseRange(hp, 3, lo, hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 4);

    // An even kernel: the walk stays inside its taps (the tap after the
    // last counts as 0).
    const int16_t even[] = {-1, 3, 3, -1};
    FpResponseRange(even, 4, lo, hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 4);

    // Left taps all zero: the pair carries the centre, the stored kernel is 0.
    const int16_t centreOnly[] = {0, 0, 300, 5, 7};
    int16_t stored[5], pair[2], full[5];
    FpSplitKernel(centreOnly, 5, 9, stored, pair);
    EXPECT_EQ(pair[0], 0);
    EXPECT_EQ(pair[1], 300);
    for (int16_t s : stored) EXPECT_EQ(s, 0);
    FpExpandKernel(stored, 5, pair, 9, full);
    EXPECT_EQ(std::vector<int16_t>(full, full + 5), (std::vector<int16_t>{0, 0, 300, 0, 0}));

    // An unsharp mask gives back its blur and {-g, 1 + g}.
    const int16_t mask[] = {-1, 6, -1};
    FpSplitKernel(mask, 3, 9, stored, pair);
    EXPECT_EQ(std::vector<int16_t>(stored, stored + 3), (std::vector<int16_t>{128, 256, 128}));
    EXPECT_EQ(pair[0], -4);
    EXPECT_EQ(pair[1], 8);
    FpExpandKernel(stored, 3, pair, 9, full);
    EXPECT_EQ(std::vector<int16_t>(full, full + 3), (std::vector<int16_t>(mask, mask + 3)));

    // Outer taps that are not zero with a flat response: nothing to divide
    // by. The kernel is kept whole with the pair that stands for it as it is.
    const int16_t flat[] = {1, 2, 5, -2, -1};
    FpSplitKernel(flat, 5, 9, stored, pair);
    EXPECT_EQ(pair[0], 512);
    EXPECT_EQ(pair[1], 0);
    FpExpandKernel(stored, 5, pair, 9, full);
    EXPECT_EQ(std::vector<int16_t>(full, full + 5), (std::vector<int16_t>(flat, flat + 5)));
}

TEST_F(KestraKernelLevels, ExactHalvesWithAndWithoutSecondTable) {
    for (bool second : {false, true}) {
        FpKernelTable* t = newTable(3, 2, 2, second);
        ASSERT_NE(t, nullptr);
        for (int32_t v = 0; v < 2; ++v) {
            const int16_t a[] = {-1, 6, -1}, b[] = {-2, 7, -2};
            std::memcpy(FpKernelAt(*t, 0, v), a, sizeof a);
            std::memcpy(FpKernelAt(*t, 1, v), b, sizeof b);
            if (second) {
                for (int32_t l = 0; l < 2; ++l) {
                    FpPairAt(*t, l, v)[0] = 512; // full kernels stored with the identity pair
                    FpPairAt(*t, l, v)[1] = 0;
                }
            }
        }
        FpKernelTable* out = nullptr;
        ASSERT_EQ(FpInterpolateKernel(*t, out, 0, 0.5), FpOk);
        ASSERT_EQ(out->levels, 1);
        if (!second) {
            // Every half away from zero, then the sum back to 4.
            EXPECT_EQ(kernel(*out, 0, 0), (std::vector<int16_t>{-2, 8, -2}));
            EXPECT_EQ(kernel(*out, 0, 1), (std::vector<int16_t>{-2, 8, -2}));
        } else {
            // Halves broken up, down, up in the first variant and down, up,
            // down in the second: the full kernels differ.
            int16_t full[3];
            FpExpandKernel(FpKernelAt(*out, 0, 0), 3, FpPairAt(*out, 0, 0), 9, full);
            EXPECT_EQ(std::vector<int16_t>(full, full + 3), (std::vector<int16_t>{-1, 6, -1}));
            EXPECT_EQ(FpPairAt(*out, 0, 0)[0], -4);
            EXPECT_EQ(FpPairAt(*out, 0, 0)[1], 8);
            FpExpandKernel(FpKernelAt(*out, 0, 1), 3, FpPairAt(*out, 0, 1), 9, full);
            EXPECT_EQ(std::vector<int16_t>(full, full + 3), (std::vector<int16_t>{-2, 8, -2}));
        }
        // Beyond either end the table's own level is copied.
        FpKernelTable* copy = nullptr;
        ASSERT_EQ(FpInterpolateKernel(*t, copy, -1, 1.3), FpOk);
        EXPECT_EQ(kernel(*copy, 0, 1), kernel(*t, 0, 1));
        FpFreeKernelTable(copy);
        ASSERT_EQ(FpInterpolateKernel(*t, copy, 1, 0.0), FpOk);
        EXPECT_EQ(kernel(*copy, 0, 0), kernel(*t, 1, 0));
        if (second) {
            EXPECT_EQ(FpPairAt(*copy, 0, 1)[0], 512);
        }
        FpFreeKernelTable(copy);
        FpFreeKernelTable(out);
        FpFreeKernelTable(t);
    }
}

namespace {
// A two-level sharpening filter made from numbers, levels {3, 1.5}.
PSFFilter twoLevelFilter(PSFCaller caller, bool second, const std::vector<double>& levels = {3.0, 1.5}) {
    std::vector<double> k;
    for (size_t l = 0; l < levels.size(); ++l)
        for (double x : {-0.25 * double(l + 1), 1.0 + 0.5 * double(l + 1), -0.25 * double(l + 1)}) k.push_back(x);
    std::vector<double> pairs;
    for (size_t l = 0; l < levels.size(); ++l) pairs.insert(pairs.end(), {1.0, 0.0});
    PSFFilter f = 0;
    EXPECT_EQ(PSFCreateFilterFromData(caller, 1, int32_t(levels.size()), 1, 3, levels.data(), k.data(),
                                      second ? pairs.data() : nullptr, &f),
              PSFSuccess);
    return f;
}

Handle processorFilter(PSFFilter f) {
    PsfFilterRecord* r = PsfLockFilterRecord(f);
    const Handle fp = r->filter;
    PsfUnlockFilterRecord(f);
    return fp;
}

bool hasCurrentKernel(Handle fp) {
    Handle set = 0;
    FpFilterKernels(fp, set);
    Locked<FpKernelSet> s(set);
    return s->slot(kSlotCurrent).handle != 0;
}
} // namespace

TEST_F(KestraKernelLevels, SetLevelChoosesTabulatedOrInterpolated) {
    const PSFFilter f = twoLevelFilter(caller_, true);
    const Handle fp = processorFilter(f);
    const struct {
        double request;
        int32_t level;
        bool interpolated;
    } cases[] = {
        {3.0, 0, false}, {1.5, 1, false}, {1.51, 1, false}, {1.52, 0, true},  {2.0, 0, true},
        {0.2, 1, false}, {4.0, 0, true},  {3.02, 0, false}, {2.99, 0, false}, {2.97, 0, true},
    };
    for (const auto& c : cases) {
        int32_t level = -5;
        ASSERT_EQ(FpSetLevel(fp, c.request, 0, level), FpOk) << c.request;
        EXPECT_EQ(level, c.level) << c.request;
        EXPECT_EQ(hasCurrentKernel(fp), c.interpolated) << c.request;
    }
    EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);

    // Levels {2, 1}: fractions 0.005 and 0.995 use a tabulated level, 0.02
    // and 0.98 interpolate.
    const PSFFilter g = twoLevelFilter(caller_, false, {2.0, 1.0});
    const Handle gp = processorFilter(g);
    const struct {
        double request;
        int32_t level;
        bool interpolated;
    } fractions[] = {{1.995, 0, false}, {1.98, 0, true}, {1.02, 0, true}, {1.005, 1, false}};
    for (const auto& c : fractions) {
        int32_t level = -5;
        ASSERT_EQ(FpSetLevel(gp, c.request, 0, level), FpOk) << c.request;
        EXPECT_EQ(level, c.level) << c.request;
        EXPECT_EQ(hasCurrentKernel(gp), c.interpolated) << c.request;
    }
    EXPECT_EQ(PSFFreeFilter(g), PSFSuccess);
}

TEST_F(KestraKernelLevels, SetLevelStaysInsideTheTable) {
    // A level list that names no level (or fewer than the table holds) must
    // not hand the strip a level below the table.
    const PSFFilter f = twoLevelFilter(caller_, false);
    const Handle fp = processorFilter(f);
    Handle list = 0;
    FpFilterAttributes(fp, list);
    ASSERT_EQ(FpPutAttribute(list, kAttrLevels, "0"), FpOk);
    FpSetFilterAttributes(fp, list);
    int32_t level = -5;
    EXPECT_EQ(FpSetLevel(fp, 1.0, 0, level), FpOk);
    EXPECT_EQ(level, 0);
    EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);

    // Flat kernels with outer taps reach the split at an interpolated level
    // set-up without a crash and keep their taps.
    const double levels[] = {2.0, 1.0};
    double k[10];
    const double flat[] = {1, 2, 5, -2, -1};
    for (int i = 0; i < 10; ++i) k[i] = flat[i % 5] / 512.0;
    const double pairs[] = {1, 0, 1, 0};
    PSFFilter g = 0;
    ASSERT_EQ(PSFCreateFilterFromData(caller_, 1, 2, 1, 5, levels, k, pairs, &g), PSFSuccess);
    EXPECT_EQ(FpSetLevel(processorFilter(g), 1.5, 0, level), FpOk);
    EXPECT_EQ(PSFFreeFilter(g), PSFSuccess);
}
