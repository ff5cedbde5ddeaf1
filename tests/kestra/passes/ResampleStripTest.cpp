// The resampling strip: the pass (ring and gathered versions), edge modes,
// exact results with a linear interpolator, strips against whole pictures,
// and strong reductions through several stages.
#include "FpContext.h"
#include "FpFilterRecord.h"
#include "FpResamplePass.h"
#include "FpScaleStrip.h"
#include "PsfFilterRecord.h"
#include "ResampleTestSupport.h"
#include "WorkerPool.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>

using namespace kestra;

namespace kestratest {
namespace {

TEST(ResamplePass, IndexAndPhaseOfAPosition) {
    struct Case {
        int64_t p;
        int64_t index;
        int32_t phase;
    } cases[] = {{-100, -1, 63}, {98304, 1, 32}, {0, 0, 0}, {65536 * 3 + 1000, 3, 1}, {-98304, -2, 31},
                 {int64_t(40000) * 65536, 40000, 0}};
    for (const Case& c : cases) {
        int64_t i;
        int32_t phase;
        FpPositionIndex(c.p, 6, i, phase);
        EXPECT_EQ(i, c.index) << c.p;
        EXPECT_EQ(phase, c.phase) << c.p;
    }
}

// A pass over random lines in both implementations.
struct PassRun {
    std::vector<uint8_t> output;
    std::vector<int32_t> reports;
    FpStatus status;
};

FpStatus recordReport(int32_t percent, void* context) {
    static_cast<std::vector<int32_t>*>(context)->push_back(percent);
    return FpOk;
}

PassRun runPass(FpResampleFunction pass, const FpPassTable& t, const PSFPicture& in, const PSFRect& inRange,
                const std::function<PSFPicture(uint8_t*)>& makeOut, const PSFRect& outRect,
                std::vector<uint8_t> outBytes, int32_t T, const std::vector<int32_t>& kernels,
                const FpEdgeRecord* edges) {
    PassRun r;
    r.output = std::move(outBytes);
    const PSFPicture out = makeOut(r.output.data());
    std::vector<int32_t> ring(static_cast<size_t>(T));
    FpResampleArgs a{};
    a.pass = &t;
    a.input = &in;
    a.inputRange = inRange;
    a.output = &out;
    a.outputRect = outRect;
    a.taps = T;
    a.phaseBits = 6;
    a.fractionBits = 9;
    a.kernels = kernels.data();
    a.ring = ring.data();
    a.edges = edges;
    a.progress = recordReport;
    a.progressContext = &r.reports;
    r.status = pass(a);
    return r;
}

// On one lane of the worker pool and on several: the lines between two
// progress reports are spread over the lanes.
TEST(ResamplePass, FastEqualsReferenceOnRandomLines) {
    for (unsigned lanes : {1u, 4u}) {
        lumora::WorkerPool::Shared().SetLanes(lanes);
        std::mt19937 rng(2804);
        auto uni = [&](int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng); };
        for (int round = 0; round < 400; ++round) {
            SCOPED_TRACE(testing::Message() << "round " << round << ", " << lanes << " lanes");
            const int32_t T = std::vector<int32_t>{1, 4, 5, 8, 16, 32}[size_t(uni(0, 5))];
            const int32_t type = std::vector<int32_t>{PSFSample8, PSFSample12in16, PSFSample16b}[size_t(uni(0, 2))];
            const int32_t bytes = type == PSFSample8 ? 1 : 2, largest = type == PSFSample8 ? 255 : type == 10 ? 4095 : 65535;
            // Some runs with more lines than one block of lines read together.
            const int32_t planes = uni(1, 3), lines = uni(0, 3) ? uni(1, 6) : uni(15, 40), inLen = uni(1, 70),
                          outLen = uni(1, 90);
            FpPassTable t{};
            t.inputColumns = uint8_t(uni(0, 1));
            t.outputColumns = uint8_t(uni(0, 1));
            const double step = std::vector<double>{0.3, 0.5, 1.0, 1.7, 2.0, 3.3, 7.0}[size_t(uni(0, 6))];
            t.a0 = int32_t(step * 65536) * (uni(0, 1) ? -1 : 1);
            t.a1 = uni(-70000, 70000);
            t.a2 = uni(-20 * 65536, 40 * 65536);
            std::vector<int32_t> kernels(size_t(64 * 2 * T));
            // Taps over the whole 16-bit range make sums that wrap.
            const bool extreme = uni(0, 2) == 0;
            for (int32_t v = 0; v < 64; ++v)
                for (int32_t m = 0; m < T; ++m)
                    kernels[size_t(v * 2 * T + m)] = kernels[size_t(v * 2 * T + T + m)] =
                        extreme ? uni(-32768, 32767) : uni(-300, 700);
            // Input: lines of inLen samples from position in0 on.
            const int32_t in0 = uni(-3, 5);
            const int32_t inW = t.inputColumns ? lines : inLen, inH = t.inputColumns ? inLen : lines;
            std::vector<uint8_t> inBytes(size_t(inW * inH * planes * bytes));
            for (size_t i = 0; i < inBytes.size(); ++i) inBytes[i] = uint8_t(uni(0, 255));
            if (bytes == 2)
                for (size_t i = 1; i < inBytes.size(); i += 2) inBytes[i] = uint8_t(uni(0, largest >> 8));
            const PSFPicture in = interleaved(inBytes.data(), planes, bytes, inW, inH, PSFRect{0, 0, inW, inH}, inW, inH);
            const PSFRect inRange = t.inputColumns ? PSFRect{0, in0, lines, in0 + inLen} : PSFRect{in0, 0, in0 + inLen, lines};
            const int32_t ox0 = uni(-2, 4), oy0 = uni(0, 3);
            const int32_t outW = t.outputColumns ? lines : outLen, outH = t.outputColumns ? outLen : lines;
            const PSFRect outRect = t.outputColumns ? PSFRect{oy0, ox0, oy0 + lines, ox0 + outLen}
                                                    : PSFRect{ox0, oy0, ox0 + outLen, oy0 + lines};
            auto out = [&](uint8_t* data) {
                PSFPicture p = interleaved(data, planes, bytes, outW, outH, outRect, outW, outH);
                for (int32_t i = 0; i < planes; ++i) p.planes[i].sampleType = type;
                return p;
            };
            std::vector<uint8_t> outBytes(size_t(outW * outH * planes * bytes));
            for (auto& b : outBytes) b = uint8_t(uni(0, 255));
            std::vector<FpEdgeRecord> edges(static_cast<size_t>(planes));
            for (auto& e : edges) e = FpEdgeRecord{uni(0, 2), uni(0, 70000)};
            const FpEdgeRecord* e = uni(0, 4) ? edges.data() : nullptr;
            const PassRun ref = runPass(FpResamplePassReference, t, in, inRange, out, outRect, outBytes, T, kernels, e);
            const PassRun fast = runPass(FpResamplePass, t, in, inRange, out, outRect, outBytes, T, kernels, e);
            ASSERT_EQ(ref.status, FpOk);
            ASSERT_EQ(fast.status, FpOk);
            ASSERT_EQ(ref.output, fast.output);
            ASSERT_EQ(ref.reports, fast.reports);
        }
    }
    lumora::WorkerPool::Shared().SetLanes(lumora::ProcessorCount());
}

TEST(ResamplePass, BackwardStepMirrorsTheForwardOne) {
    const int32_t n = 40, T = 4;
    std::vector<uint8_t> line(n);
    for (int32_t i = 0; i < n; ++i) line[size_t(i)] = uint8_t(i * 5 + (i % 3) * 17);
    const PSFPicture in = interleaved(line.data(), 1, 1, n, 1, PSFRect{0, 0, n, 1}, n, 1);
    std::vector<int32_t> kernels(size_t(64 * 2 * T));
    for (int32_t v = 0; v < 64; ++v)
        for (int32_t m = 0; m < T; ++m) {
            const int32_t k = m == 1 ? (64 - v) * 8 : m == 2 ? v * 8 : 0;
            kernels[size_t(v * 2 * T + m)] = kernels[size_t(v * 2 * T + T + m)] = k;
        }
    const int32_t outLen = 25;
    auto out = [&](uint8_t* data) { return interleaved(data, 1, 1, outLen, 1, PSFRect{0, 0, outLen, 1}, outLen, 1); };
    FpPassTable forward{}, backward{};
    forward.a0 = int32_t(1.5 * 65536);
    forward.a2 = 3 * 32768;
    // Sample x of the backward line reads where forward sample 24 - x reads.
    backward.a0 = -forward.a0;
    backward.a2 = forward.a2 + 24 * forward.a0;
    for (FpResampleFunction pass : {FpResamplePassReference, FpResamplePass}) {
        const std::vector<uint8_t> zeros(outLen, 0);
        const PassRun f = runPass(pass, forward, in, in.rect, out, PSFRect{0, 0, outLen, 1}, zeros, T, kernels, nullptr);
        const PassRun b = runPass(pass, backward, in, in.rect, out, PSFRect{0, 0, outLen, 1}, zeros, T, kernels, nullptr);
        std::vector<uint8_t> reversed(f.output.rbegin(), f.output.rend());
        EXPECT_EQ(b.output, reversed);
    }
}

class ResampleStrip : public KestraTest {
protected:
    PSFFilter setUp(PSFFilter f, double sx, double sy, double ox = 0, double oy = 0) {
        const double m[4] = {sx, 0, 0, sy}, o[2] = {ox, oy};
        EXPECT_EQ(PSFAffineSetup(f, m, o), PSFSuccess);
        return f;
    }
    // The plug-in's mapping: the picture's edges meet.
    PSFFilter setUpEdgesMeet(PSFFilter f, double s) { return setUp(f, s, s, (s - 1) / 2, (s - 1) / 2); }
};

Samples pattern(int32_t w, int32_t h, int32_t planes, int32_t bytes, uint32_t seed) {
    Samples s(w, h, planes, bytes);
    std::mt19937 rng(seed);
    const int32_t top = bytes == 1 ? 255 : 65535;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            for (int32_t p = 0; p < planes; ++p) s.set(x, y, p, int32_t(rng() % uint32_t(top + 1)));
    return s;
}

TEST_F(ResampleStrip, LinearInterpolatorIsExact) {
    for (int32_t bytes : {1, 2}) {
        SCOPED_TRACE(bytes);
        Samples src = pattern(13, 9, 3, bytes, 7);
        PSFFilter f = makeLinearResampler(caller_);
        setUp(f, 0.5, 0.5);
        Samples half(7, 5, 3, bytes);
        ASSERT_EQ(scaleWhole(f, src, half), PSFSuccess);
        for (int32_t y = 0; y < 5; ++y)
            for (int32_t x = 0; x < 7; ++x)
                for (int32_t p = 0; p < 3; ++p) ASSERT_EQ(half.get(x, y, p), src.get(2 * x, 2 * y, p)) << x << "," << y;

        setUp(f, 2, 2);
        Samples twice(26, 18, 3, bytes);
        ASSERT_EQ(scaleWhole(f, src, twice), PSFSuccess);
        // Rows first: even positions are samples, odd ones the rounded mean,
        // the last sample repeated past the edge; then the same down.
        auto rowValue = [&](int32_t x, int32_t y, int32_t p) {
            const int32_t a = src.get(x / 2, y, p);
            if (x % 2 == 0) return a;
            const int32_t b = src.get(std::min(x / 2 + 1, 12), y, p);
            return (a + b + 1) >> 1;
        };
        for (int32_t y = 0; y < 18; ++y)
            for (int32_t x = 0; x < 26; ++x)
                for (int32_t p = 0; p < 3; ++p) {
                    const int32_t a = rowValue(x, y / 2, p);
                    const int32_t want = y % 2 == 0 ? a : (a + rowValue(x, std::min(y / 2 + 1, 8), p) + 1) >> 1;
                    ASSERT_EQ(twice.get(x, y, p), want) << x << "," << y;
                }
        PSFFreeFilter(f);
    }
}

TEST_F(ResampleStrip, LinesWiderThanSixteenBitPositions) {
    // Positions past 32767 samples no longer wrap in 16.16.
    Samples src(70000, 2, 1, 1);
    for (int32_t x = 0; x < 70000; ++x) src.set(x, 0, 0, (x * 7 + x / 251) & 0xFF), src.set(x, 1, 0, x & 0xFF);
    PSFFilter f = setUp(makeLinearResampler(caller_), 0.5, 1);
    Samples dst(35000, 2, 1, 1);
    ASSERT_EQ(scaleWhole(f, src, dst), PSFSuccess);
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 35000; ++x) ASSERT_EQ(dst.get(x, y), src.get(2 * x, y)) << x;
    PSFFreeFilter(f);
}

TEST_F(ResampleStrip, ReductionEqualsAPlainDotProduct) {
    // 16-bit samples above 32767 through 32 taps with negative lobes.
    Samples src = pattern(50, 40, 1, 2, 11);
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 50; ++x) src.set(x, y, 0, 30000 + src.get(x, y) % 35000);
    PSFFilter f = makeLongResampler(caller_);
    setUp(f, 0.5, 0.5);
    Samples dst(25, 20, 1, 2);
    ASSERT_EQ(scaleWhole(f, src, dst), PSFSuccess);
    auto dot = [](auto sample, int32_t i, int32_t n) {
        int64_t acc = 256;
        for (int32_t t = 0; t < 32; ++t) acc += int64_t(sample(std::clamp(i - 15 + t, 0, n - 1))) * longTap(1, 0, t);
        return int32_t(std::clamp<int64_t>(acc >> 9, 0, 65535));
    };
    std::vector<int32_t> rows(size_t(25 * 40));
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 25; ++x)
            rows[size_t(y * 25 + x)] = dot([&](int32_t q) { return src.get(q, y); }, 2 * x, 50);
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 25; ++x)
            ASSERT_EQ(dst.get(x, y), dot([&](int32_t q) { return rows[size_t(q * 25 + x)]; }, 2 * y, 40)) << x << "," << y;
    PSFFreeFilter(f);
}

TEST_F(ResampleStrip, EdgeModesUnderARotation) {
    for (int32_t bytes : {1, 2}) {
        SCOPED_TRACE(bytes);
        const int32_t n = 40;
        Samples src(n, n, 3, bytes), dst(n, n, 3, bytes);
        for (int32_t y = 0; y < n; ++y)
            for (int32_t x = 0; x < n; ++x)
                for (int32_t p = 0; p < 3; ++p) src.set(x, y, p, 100), dst.set(x, y, p, 7);
        PSFFilter f = makeLinearResampler(caller_);
        const double scale[2] = {1, 1}, centre[2] = {n / 2.0, n / 2.0};
        ASSERT_EQ(PSFScaleSetup(f, 30, scale, 0, centre), PSFSuccess);
        const FpEdgeRecord edges[3] = {{0, 0}, {1, 0}, {2, 300}};
        ASSERT_EQ(scaleWhole(f, src, dst, edges), PSFSuccess);
        const int32_t fill = bytes == 1 ? 255 : 300;
        for (auto [x, y] : {std::pair{0, 0}, {n - 1, 0}, {0, n - 1}, {n - 1, n - 1}}) {
            EXPECT_EQ(dst.get(x, y, 1), 100) << x << "," << y;
            EXPECT_EQ(dst.get(x, y, 2), fill) << x << "," << y;
        }
        // This corner lies beyond the source in the last pass: left alone.
        EXPECT_EQ(dst.get(0, n - 1, 0), 7);
        for (int32_t p = 0; p < 3; ++p) EXPECT_EQ(dst.get(n / 2, n / 2, p), 100);
        PSFFreeFilter(f);
    }
}

int gLastPhase, gLastPercent;
int remember(int phase, int percent, void*) {
    if (phase == 2) gLastPercent = percent;
    gLastPhase = phase;
    return 1;
}

TEST_F(ResampleStrip, EmptySourceFillsAndFinishes) {
    PSFFilter f = setUp(makeLinearResampler(caller_), 2, 2);
    Samples src(10, 10, 2, 1), dst(20, 20, 2, 1);
    std::fill(dst.data.begin(), dst.data.end(), 9);
    PSFPicture S = src.picture(), D = dst.picture(), W = dst.picture();
    S.rect = PSFRect{4, 4, 4, 4};
    const FpEdgeRecord edges[2] = {{2, 300}, {1, 0}};
    gLastPercent = -1;
    ASSERT_EQ(PSFScale(f, &S, &W, &D, const_cast<FpEdgeRecord*>(edges), remember, nullptr), PSFSuccess);
    EXPECT_EQ(gLastPercent, 100);
    EXPECT_EQ(gLastPhase, 3);
    EXPECT_EQ(dst.get(0, 0, 0), 255);
    EXPECT_EQ(dst.get(19, 19, 0), 255);
    EXPECT_EQ(dst.get(5, 5, 1), 9);
    EXPECT_EQ(S.rect.x0, 4) << "the caller's record is kept";
    PSFFreeFilter(f);
}

TEST_F(ResampleStrip, OneAxisKeepsTheCallersRecords) {
    PSFFilter f = setUp(makeLinearResampler(caller_), 2, 1);
    Samples src = pattern(10, 6, 1, 1, 3), dst(20, 6, 1, 1);
    PSFPicture S = src.picture(), D = dst.picture(), W = dst.picture();
    const PSFPicture before = S;
    ASSERT_EQ(PSFScale(f, &S, &W, &D, nullptr, nullptr, nullptr), PSFSuccess);
    EXPECT_EQ(std::memcmp(&S, &before, sizeof S), 0);
    for (int32_t y = 0; y < 6; ++y) EXPECT_EQ(dst.get(4, y), src.get(2, y));
    EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);
}

// A picture scaled in destination strips of a given height inside one
// bracket, against the same picture scaled in one call.
Samples scaleInStrips(PSFFilter f, Samples& src, int32_t dw, int32_t dh, int32_t rows) {
    Samples dst(dw, dh, src.planes, src.bytes);
    const PSFRect whole{0, 0, src.width, src.height};
    EXPECT_EQ(PSFStripBegin(f, &whole), PSFSuccess);
    for (int32_t y = 0; y < dh; y += rows) {
        PSFRect d{0, y, dw, std::min(dh, y + rows)}, s{}, second{}, aux{};
        uint16_t flag = 0;
        EXPECT_EQ(PSFRectangles(f, &s, &second, &aux, &d, &flag, 1, 0), PSFSuccess);
        Samples piece(s.x1 - s.x0, s.y1 - s.y0, src.planes, src.bytes);
        for (int32_t yy = s.y0; yy < s.y1; ++yy)
            std::memcpy(piece.at(0, yy - s.y0), src.at(s.x0, yy), size_t(piece.rowStep()));
        PSFPicture S = interleaved(piece.data.data(), src.planes, src.bytes, piece.width, piece.height, s, src.width,
                                   src.height);
        PSFPicture D = interleaved(dst.at(0, y), src.planes, src.bytes, dw, d.y1 - d.y0, d, dw, dh);
        PSFPicture W{};
        EXPECT_EQ(PSFAllocPicture(&D, &aux, &W), PSFSuccess);
        EXPECT_EQ(PSFScale(f, &S, &W, &D, nullptr, nullptr, nullptr), PSFSuccess);
        PSFFreePicture(&W);
    }
    EXPECT_EQ(PSFStripEnd(f), PSFSuccess);
    return dst;
}

TEST_F(ResampleStrip, StripsGiveTheWholePicture) {
    const std::vector<uint8_t> bytes = builtInResamplerBytes();
    ASSERT_FALSE(bytes.empty()) << KESTRA_TEST_RESAMPLER;
    struct Case {
        double s;
        int32_t dw, dh;
    } cases[] = {{0.5, 60, 45}, {3.0, 360, 270}, {0.37, 44, 33}, {1.5, 180, 135}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.s);
        Samples src = pattern(120, 90, 3, 2, 5);
        PSFFilter f = setUpEdgesMeet(load(bytes), c.s);
        Samples whole(c.dw, c.dh, 3, 2);
        ASSERT_EQ(scaleWhole(f, src, whole), PSFSuccess);
        for (int32_t rows : {16, 7}) {
            const Samples strips = scaleInStrips(f, src, c.dw, c.dh, rows);
            EXPECT_TRUE(strips.data == whole.data) << "strips of " << rows << " rows";
        }
        PSFFreeFilter(f);
    }
}

TEST_F(ResampleStrip, StripsOfAReductionGiveTheWholePicture) {
    // Reductions an export asks for (fit and percent), strong ones running
    // through several stages: the work area the rectangles ask for must hold
    // every stage of every strip, however the picture is cut.
    const std::vector<uint8_t> bytes = builtInResamplerBytes();
    ASSERT_FALSE(bytes.empty()) << KESTRA_TEST_RESAMPLER;
    struct Case {
        const char* name;
        double s;
        int32_t dw, dh;
    } cases[] = {{"fit 20000 100", 1.0 / 3, 133, 100},
                 {"percent 10", 0.1, 40, 30},
                 {"percent 5", 0.05, 20, 15},
                 {"percent 2", 0.02, 8, 6},
                 {"fit 300 200", 2.0 / 3, 267, 200}};
    for (int32_t depth : {1, 2}) {
        Samples src = pattern(400, 300, 3, depth, 13);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (depth == 1 ? ", 8 bit" : ", 16 bit"));
            PSFFilter f = setUpEdgesMeet(load(bytes), c.s);
            Samples whole(c.dw, c.dh, 3, depth);
            ASSERT_EQ(scaleWhole(f, src, whole), PSFSuccess);
            for (int32_t strips : {2, 3, 5}) {
                const Samples cut = scaleInStrips(f, src, c.dw, c.dh, (c.dh + strips - 1) / strips);
                EXPECT_TRUE(cut.data == whole.data) << strips << " strips";
            }
            PSFFreeFilter(f);
        }
    }
}

TEST_F(ResampleStrip, OneAxisStripsCountTheirLines) {
    // Strips of a filter that resamples across only: each strip's pictures
    // hold its own rows, counted by the filter from the bracket's start.
    PSFFilter f = setUp(makeLinearResampler(caller_), 2, 1);
    Samples src = pattern(15, 11, 2, 2, 9), whole(30, 11, 2, 2), strips(30, 11, 2, 2);
    ASSERT_EQ(scaleWhole(f, src, whole), PSFSuccess);
    const PSFRect all{0, 0, 15, 11};
    ASSERT_EQ(PSFStripBegin(f, &all), PSFSuccess);
    for (int32_t y = 0; y < 11; y += 3) {
        const int32_t rows = std::min(3, 11 - y);
        PSFPicture S = interleaved(src.at(0, y), 2, 2, 15, rows, PSFRect{0, 0, 15, rows}, 15, rows);
        PSFPicture D = interleaved(strips.at(0, y), 2, 2, 30, rows, PSFRect{0, 0, 30, rows}, 30, rows);
        ASSERT_EQ(PSFScale(f, &S, nullptr, &D, nullptr, nullptr, nullptr), PSFSuccess);
        EXPECT_EQ(S.rect.y0, 0) << "the caller's record is kept";
    }
    EXPECT_TRUE(strips.data == whole.data);
    PSFFreeFilter(f);
}

TEST_F(ResampleStrip, StrongReductionRunsThroughStages) {
    const std::vector<uint8_t> bytes = builtInResamplerBytes();
    ASSERT_FALSE(bytes.empty());
    PSFFilter f = setUpEdgesMeet(load(bytes), 0.05);
    {
        PsfFilterRecord* r = PsfLockFilterRecord(f);
        Locked<FpFilter> fp(r->filter);
        EXPECT_EQ(fp->geometry.stages, 2);
        EXPECT_DOUBLE_EQ(fp->geometry.repeated.matrix[0], 0.2);
        EXPECT_NEAR(fp->geometry.final.matrix[0], 0.25, 1e-12);
        PsfUnlockFilterRecord(f);
    }
    const int32_t w = 400, h = 300;
    Samples flat(w, h, 1, 2), ramp(w, h, 1, 2);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) flat.set(x, y, 0, 4321), ramp.set(x, y, 0, 1000 + 16 * x + 8 * y);
    Samples a(20, 15, 1, 2), b(20, 15, 1, 2);
    ASSERT_EQ(scaleWhole(f, flat, a), PSFSuccess);
    ASSERT_EQ(scaleWhole(f, ramp, b), PSFSuccess);
    for (int32_t y = 0; y < 15; ++y)
        for (int32_t x = 0; x < 20; ++x) {
            ASSERT_EQ(a.get(x, y), 4321) << x << "," << y;
            if (x < 4 || y < 4 || x > 15 || y > 10) continue; // the last taps reach 80 samples
            const double sx = (x + 0.5) / 0.05 - 0.5, sy = (y + 0.5) / 0.05 - 0.5;
            EXPECT_NEAR(b.get(x, y), 1000 + 16 * sx + 8 * sy, 4) << x << "," << y;
        }
    PSFFreeFilter(f);
}

TEST_F(ResampleStrip, OneLevelResamplerReducesInFiveStages) {
    PSFFilter f = setUp(makeLinearResampler(caller_, {1.0}), 0.5, 0.5);
    Samples src(64, 48, 1, 1), dst(32, 24, 1, 1);
    std::fill(src.data.begin(), src.data.end(), 77);
    ASSERT_EQ(scaleWhole(f, src, dst), PSFSuccess);
    for (uint8_t v : dst.data) ASSERT_EQ(v, 77);
    PSFFreeFilter(f);
}

} // namespace
} // namespace kestratest
