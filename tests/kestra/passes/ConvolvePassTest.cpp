// The convolution pass: the fast pass gives the reference's bytes on random
// planes of every layout, and the cases worth naming.
#include "FpConvolvePass.h"
#include "FpPictures.h"
#include "FpProgress.h"
#include "WorkerPool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

using namespace kestra;

namespace {

// A plane of N samples along a line and L lines, in a buffer of its own,
// rows or columns per its orientation flag, interleaved among `planes`.
struct TestPlane {
    std::vector<uint8_t> bytes;
    PSFPlane plane{};
    int32_t bits = 8;

    TestPlane(int32_t type, int32_t N, int32_t L, bool columnWise, int32_t planes, int32_t offsetPlane, std::mt19937& rng,
              bool fill = true) {
        bits = FpSampleBits(type);
        const int32_t b = (bits + 7) / 8;
        const int32_t columns = columnWise ? L : N, rows = columnWise ? N : L;
        plane.columns = columns;
        plane.rows = rows;
        plane.sampleStep = b * planes;
        plane.rowStep = plane.sampleStep * columns + b * int32_t(rng() % 3);
        plane.sampleType = type;
        bytes.assign(size_t(plane.rowStep) * size_t(rows) + size_t(b * planes), 0);
        plane.data = bytes.data() + offsetPlane * b;
        if (!fill) return;
        const uint32_t max = (1u << bits) - 1;
        for (int32_t r = 0; r < rows; ++r)
            for (int32_t c = 0; c < columns; ++c) {
                // Mostly smooth, with bright points that trip the threshold.
                uint32_t v = rng() % 8 == 0 ? (rng() % 2 ? max : 0) : rng() % (max + 1);
                set(c, r, v);
            }
    }
    uint8_t* at(int32_t c, int32_t r) const {
        return static_cast<uint8_t*>(plane.data) + int64_t(r) * plane.rowStep + int64_t(c) * plane.sampleStep;
    }
    void set(int32_t c, int32_t r, uint32_t v) const {
        if (bits <= 8) {
            *at(c, r) = uint8_t(v);
        } else {
            const uint16_t w = uint16_t(v);
            std::memcpy(at(c, r), &w, 2);
        }
    }
    uint32_t get(int32_t c, int32_t r) const {
        if (bits <= 8) return *at(c, r);
        uint16_t w;
        std::memcpy(&w, at(c, r), 2);
        return w;
    }
};

// A rectangle given along lines (x) and across them (y), as the pass reads
// it for a group with this flag.
PSFRect lineRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, bool flag) {
    return flag ? PSFRect{y0, x0, y1, x1} : PSFRect{x0, y0, x1, y1};
}

struct Kernels {
    std::vector<int32_t> taps; // 256 kernels, each twice
    std::vector<const int32_t*> table;
    std::vector<int32_t> pairValues;
    std::vector<const int32_t*> pairs;
    Kernels(int32_t T, std::mt19937& rng, bool distinct) : taps(size_t(256 * 2 * T)), table(256), pairValues(512), pairs(256) {
        for (int c = 0; c < 256; ++c) {
            int32_t* k = taps.data() + size_t(c * 2 * T);
            for (int32_t m = 0; m < T; ++m) k[m] = k[T + m] = distinct || c == 0 ? int32_t(rng() % 1201) - 500 : taps[size_t(m)];
            table[size_t(c)] = k + T;
            pairValues[size_t(2 * c)] = int32_t(rng() % 2049) - 1024;
            pairValues[size_t(2 * c + 1)] = int32_t(rng() % 2049) - 512;
            pairs[size_t(c)] = pairValues.data() + 2 * c;
        }
    }
};

FpStatus cancelAtSecond(int32_t, void* context) {
    return ++*static_cast<int*>(context) == 2 ? FpCancelled : FpOk;
}

FpStatus countReports(int32_t, void* context) {
    ++*static_cast<int*>(context);
    return FpOk;
}

} // namespace

// On one lane of the worker pool and on several: the lines between two
// progress reports are spread over the lanes.
TEST(KestraConvolvePass, FastEqualsReferenceOnRandomPlanes) {
    for (unsigned lanes : {1u, 4u}) {
        lumora::WorkerPool::Shared().SetLanes(lanes);
        std::mt19937 rng(99);
        const int32_t types[] = {3, 4, 5, 10};
        for (int round = 0; round < 600; ++round) {
            const int32_t T = 1 + int32_t(rng() % 33);
            const int32_t type = types[rng() % 4];
            const bool inFlag = rng() % 2, outFlag = rng() % 2, ctlFlag = rng() % 2;
            const bool useControl = rng() % 2, useReference = rng() % 2, usePairs = useReference && rng() % 2;
            const int32_t planes = 1 + int32_t(rng() % 3), which = int32_t(rng() % uint32_t(planes));
            const int32_t N = 1 + int32_t(rng() % 40), count = 1 + int32_t(rng() % 40), L = 1 + int32_t(rng() % 24);
            const int32_t vx0 = int32_t(rng() % 11) - 5, sx0 = vx0 + int32_t(rng() % uint32_t(N + 10)) - 5;

            TestPlane input(type, N, L, inFlag, planes, which, rng);
            TestPlane control(rng() % 2 ? 3 : 4, count, L, ctlFlag, 1, 0, rng);
            TestPlane reference(type, count, L, outFlag, planes, which, rng);
            TestPlane fast(type, count, L, outFlag, planes, which, rng, false), slow = fast;
            slow.plane.data = slow.bytes.data() + (static_cast<uint8_t*>(fast.plane.data) - fast.bytes.data());
            Kernels k(T, rng, useControl);

            FpPassArgs a{};
            a.input = &input.plane;
            a.inputValid = lineRect(vx0, 0, vx0 + N, L, inFlag);
            a.inputStart = lineRect(sx0, 0, sx0 + count, L, inFlag);
            a.outputLines = lineRect(0, 0, count, L, outFlag);
            a.outputSamples = lineRect(0, 0, count, L, outFlag);
            if (useControl) {
                a.control = &control.plane;
                a.controlBuffer = lineRect(0, 0, count, L, ctlFlag);
                a.controlStart = lineRect(0, 0, count, L, ctlFlag);
            }
            a.taps = T;
            a.fractionBits = 9;
            a.kernels = k.table.data();
            std::vector<int32_t> ring(static_cast<size_t>(T));
            a.ring = ring.data();
            a.inputFlag = inFlag;
            a.outputFlag = outFlag;
            a.controlFlag = ctlFlag;
            if (useReference) {
                a.reference = &reference.plane;
                a.referenceBuffer = lineRect(0, 0, count, L, outFlag);
                a.referenceStart = lineRect(0, 0, count, L, outFlag);
                a.threshold = rng() % 2 ? int32_t(rng() % 256) : 0;
            }
            if (usePairs) a.pairs = k.pairs.data();
            const size_t scratchSize = size_t(count + T) * kFpPassBlock;
            std::vector<int32_t> line(scratchSize), sums(scratchSize);
            std::vector<uint8_t> controls(scratchSize);
            FpPassScratch scratch{line.data(), sums.data(), controls.data(), count, T, int32_t(1 + rng() % kFpPassBlock)};
            a.scratch = &scratch;

            // Some rounds cancel at the second progress report: both passes stop
            // after the same line.
            int slowReports = 0, fastReports = 0;
            const bool cancel = round % 4 == 0;
            a.progress = cancel ? cancelAtSecond : nullptr;
            a.output = &slow.plane;
            a.progressContext = &slowReports;
            const FpStatus slowStatus = FpConvolvePassReference(a);
            a.output = &fast.plane;
            a.progressContext = &fastReports;
            ASSERT_EQ(FpConvolvePass(a), slowStatus);
            ASSERT_EQ(fastReports, slowReports);
            ASSERT_EQ(fast.bytes, slow.bytes) << "round " << round << " T " << T << " type " << type << " flags " << inFlag
                                              << outFlag << ctlFlag << " control " << useControl << " reference "
                                              << useReference << " pairs " << usePairs << " lanes " << lanes;
        }
    }
    lumora::WorkerPool::Shared().SetLanes(lumora::ProcessorCount());
}

TEST(KestraConvolvePass, FlatFieldsStayFlat) {
    std::mt19937 rng(5);
    for (int32_t T = 1; T <= 33; ++T) {
        for (int32_t type : {3, 10, 4}) {
            // A kernel summing to 512 with negative taps.
            std::vector<int32_t> kernel(static_cast<size_t>(2 * T));
            int32_t sum = 0;
            for (int32_t m = 0; m < T; ++m) {
                kernel[size_t(m)] = int32_t(rng() % 200) - 100;
                sum += kernel[size_t(m)];
            }
            kernel[size_t(T / 2)] += 512 - sum;
            for (int32_t m = 0; m < T; ++m) kernel[size_t(T + m)] = kernel[size_t(m)];
            const int32_t* table[] = {kernel.data() + T};
            TestPlane input(type, 30, 3, false, 1, 0, rng, false), out(type, 30, 3, false, 1, 0, rng, false);
            const uint32_t value = FpSampleBits(type) == 8 ? 201 : 3001;
            for (int32_t r = 0; r < 3; ++r)
                for (int32_t c = 0; c < 30; ++c) input.set(c, r, value);
            std::vector<int32_t> ring(static_cast<size_t>(T));
            FpPassArgs a{};
            a.input = &input.plane;
            a.inputValid = {0, 0, 30, 3};
            a.inputStart = {0, 0, 30, 3};
            a.output = &out.plane;
            a.outputLines = {0, 0, 30, 3};
            a.outputSamples = {0, 0, 30, 3};
            a.taps = T;
            a.fractionBits = 9;
            a.kernels = table;
            a.ring = ring.data();
            for (auto pass : {FpConvolvePassReference, FpConvolvePass}) {
                ASSERT_EQ(pass(a), FpOk);
                for (int32_t r = 0; r < 3; ++r)
                    for (int32_t c = 0; c < 30; ++c) ASSERT_EQ(out.get(c, r), value) << T << " " << type;
            }
        }
    }
}

TEST(KestraConvolvePass, ThresholdClampAndProgress) {
    std::mt19937 rng(1);
    // One tap of 1.0: the output is the input, then the threshold against
    // the reference. On 16-bit planes a threshold of 100 (2T' = 51200) meets
    // differences of 50000: the product needs more than 32 bits.
    const struct {
        int32_t type, threshold;
        uint32_t in, ref, out;
    } cases[] = {
        {3, 4, 13, 10, 11},        // d = 3 -> 3 * 3 / 8 = 1
        {3, 4, 7, 10, 9},          // d = -3 -> -1
        {3, 4, 18, 10, 18},        // d = 8 passes
        {4, 1, 300, 100, 178},     // T' = 256: d = 200 -> 200 * 200 / 512 = 78
        {4, 100, 50000, 0, 48828}, // 50000 * 50000 / 51200
        {5, 100, 0, 50000, 1172},  // the bright point on a dark ground keeps its sign
        {10, 0, 4095, 0, 4095},
    };
    for (const auto& c : cases) {
        TestPlane input(c.type, 1, 1, false, 1, 0, rng, false), ref = input, out = input;
        ref.plane.data = ref.bytes.data();
        out.plane.data = out.bytes.data();
        input.set(0, 0, c.in);
        ref.set(0, 0, c.ref);
        const int32_t kernel[] = {512, 512};
        const int32_t* table[] = {kernel + 1};
        int32_t ring[1];
        FpPassArgs a{};
        a.input = &input.plane;
        a.inputValid = a.inputStart = a.outputLines = a.outputSamples = {0, 0, 1, 1};
        a.output = &out.plane;
        a.taps = 1;
        a.fractionBits = 9;
        a.kernels = table;
        a.ring = ring;
        a.outputFlag = 1;
        a.reference = &ref.plane;
        a.referenceBuffer = a.referenceStart = {0, 0, 1, 1};
        a.threshold = c.threshold;
        for (auto pass : {FpConvolvePassReference, FpConvolvePass}) {
            ASSERT_EQ(pass(a), FpOk);
            EXPECT_EQ(out.get(0, 0), c.out) << c.type << " " << c.in << " " << c.ref;
        }
        // A reference of another type is refused before anything is written.
        TestPlane other(c.type == 3 ? 4 : 3, 1, 1, false, 1, 0, rng, false);
        a.reference = &other.plane;
        EXPECT_EQ(FpConvolvePass(a), FpReferenceType);
        EXPECT_EQ(FpConvolvePassReference(a), FpReferenceType);
    }

    // Progress: 1000 lines report every 202 lines; one line never reports.
    for (const auto& lines : {std::pair<int32_t, int>{1000, 4}, {1, 0}}) {
        TestPlane input(3, 1, lines.first, false, 1, 0, rng), out(3, 1, lines.first, false, 1, 0, rng, false);
        const int32_t kernel[] = {512, 512};
        const int32_t* table[] = {kernel + 1};
        int32_t ring[1];
        int reports = 0;
        FpPassArgs a{};
        a.input = &input.plane;
        a.inputValid = a.inputStart = a.outputLines = a.outputSamples = {0, 0, 1, lines.first};
        a.output = &out.plane;
        a.taps = 1;
        a.fractionBits = 9;
        a.kernels = table;
        a.ring = ring;
        a.progress = countReports;
        a.progressContext = &reports;
        ASSERT_EQ(FpConvolvePass(a), FpOk);
        EXPECT_EQ(reports, lines.second);
    }
}
