#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <utility>

#include "AdaptiveDemosaicer.h"
#include "DemosaicReference.h"
#include "DirectionMapDemosaicer.h"
#include "HalfSizeDemosaicer.h"
#include "MonoSubsampler.h"
#include "MosaicFixtures.h"
#include "ThresholdDemosaicer.h"
#include "VqStatus.h"

using namespace lumora;
using namespace lumora::test;

namespace {

struct Planes {
    std::vector<int16_t> g, even, odd;
    uint16_t status = 0;
};

// Interpolates one strip; gives back the three result rows (rows x width each).
using StripKernel = std::function<uint16_t(const int16_t* above, const int16_t* strip, const int16_t* below,
                                           int16_t* g, int16_t* e, int16_t* o, int rows, int width,
                                           int16_t** rg, int16_t** re, int16_t** ro)>;

Planes RunStrips(const Mosaic& m, int stripHeight, const StripKernel& kernel) {
    Planes out;
    const size_t n = size_t(m.width) * m.height;
    out.g.assign(n, 0);
    out.even.assign(n, 0);
    out.odd.assign(n, 0);
    const int w = m.width;
    for (int y0 = 0; y0 < m.height; y0 += stripHeight) {
        const int rows = std::min(stripHeight, m.height - y0);
        std::vector<int16_t> buf = StripBuffer(m, y0, rows);
        std::vector<int16_t> g(size_t(rows + 2) * w, 0x5555), e(size_t(rows + 1) * w, 0x5555),
            o(size_t(rows + 1) * w, 0x5555);
        int16_t *rg = nullptr, *re = nullptr, *ro = nullptr;
        const int16_t* base = buf.data();
        out.status = kernel(base, base + 3 * w, base + size_t(3 + rows) * w, g.data(), e.data(), o.data(), rows,
                            w, &rg, &re, &ro);
        if (out.status) return out;
        std::copy(rg, rg + size_t(rows) * w, out.g.begin() + ptrdiff_t(y0) * w);
        std::copy(re, re + size_t(rows) * w, out.even.begin() + ptrdiff_t(y0) * w);
        std::copy(ro, ro + size_t(rows) * w, out.odd.begin() + ptrdiff_t(y0) * w);
    }
    return out;
}

StripKernel ObjectKernel(Demosaicer& d) {
    return [&d](const int16_t* a, const int16_t* s, const int16_t* b, int16_t* g, int16_t* e, int16_t* o,
                int rows, int w, int16_t** rg, int16_t** re, int16_t** ro) -> uint16_t {
        d.Setup(const_cast<int16_t*>(a), const_cast<int16_t*>(s), const_cast<int16_t*>(b), g, e, o,
                int16_t(rows), int16_t(w), 0);
        return d.Run(rg, re, ro);
    };
}

StripKernel ReferenceKernel(
    std::function<uint16_t(const int16_t*, const int16_t*, const int16_t*, int16_t*, int16_t*, int16_t*, int, int)>
        f) {
    return [f](const int16_t* a, const int16_t* s, const int16_t* b, int16_t* g, int16_t* e, int16_t* o, int rows,
               int w, int16_t** rg, int16_t** re, int16_t** ro) -> uint16_t {
        *rg = g + w;
        *re = e;
        *ro = o + w;
        return f(a, s, b, g, e, o, rows, w);
    };
}

enum class Kind { Adaptive, Threshold, DirectionMap };

struct Variant {
    Kind kind;
    int mode;
    int threshold;    // threshold class: its threshold; direction map: horizontal
    int thresholdV;   // direction map only
};

std::unique_ptr<Demosaicer> MakeDemosaicer(const Variant& v) {
    std::unique_ptr<Demosaicer> d;
    switch (v.kind) {
    case Kind::Adaptive: d = std::make_unique<AdaptiveDemosaicer>(); break;
    case Kind::Threshold:
        d = std::make_unique<ThresholdDemosaicer>();
        d->SetThreshold(v.threshold);
        break;
    case Kind::DirectionMap:
        d = std::make_unique<DirectionMapDemosaicer>();
        d->SetHorizontalThreshold(v.threshold);
        d->SetVerticalThreshold(v.thresholdV);
        break;
    }
    d->SetMode(v.mode);
    return d;
}

Planes RunReference(const Mosaic& m, int stripHeight, const Variant& v) {
    auto terms = std::make_shared<std::vector<int32_t>>();
    return RunStrips(m, stripHeight,
                     ReferenceKernel([v, terms](const int16_t* a, const int16_t* s, const int16_t* b, int16_t* g,
                                                int16_t* e, int16_t* o, int rows, int w) -> uint16_t {
                         switch (v.kind) {
                         case Kind::Adaptive: return reference::AdaptiveInterpolate(a, s, b, g, e, o, rows, w, v.mode);
                         case Kind::Threshold:
                             return reference::ThresholdInterpolate(a, s, b, g, e, o, rows, w, v.mode, v.threshold);
                         case Kind::DirectionMap:
                             return reference::DirectionMapInterpolate(a, s, b, g, e, o, rows, w, v.mode, v.threshold,
                                                                       v.thresholdV, *terms);
                         }
                         return 0;
                     }));
}

Planes RunObject(const Mosaic& m, int stripHeight, const Variant& v) {
    auto d = MakeDemosaicer(v);
    return RunStrips(m, stripHeight, ObjectKernel(*d));
}

const Variant kVariants[] = {
    {Kind::Adaptive, 0, 0, 0},       {Kind::Adaptive, 1, 0, 0},       {Kind::Threshold, 0, 0, 0},
    {Kind::Threshold, 1, 60, 0},     {Kind::Threshold, 1, 100000, 0}, {Kind::Threshold, 0, 0x10040, 0},
    {Kind::DirectionMap, 0, 0, 0},   {Kind::DirectionMap, 1, 200, 150}, {Kind::DirectionMap, 1, 1 << 30, 1 << 30},
};

} // namespace

TEST(Demosaicer, FastMatchesReferenceForEveryStripHeight) {
    struct Size { int w, h; int lo, hi; };
    const Size sizes[] = {{64, 48, 0, 4095}, {38, 30, 0, 4095}, {22, 26, -32768, 32767}, {6, 12, 0, 255}};
    uint32_t seed = 1;
    for (const Size& sz : sizes) {
        const Mosaic m = RandomMosaic(sz.w, sz.h, seed++, sz.lo, sz.hi);
        for (int sh : PlannerStripHeights(sz.h))
            for (const Variant& v : kVariants) {
                SCOPED_TRACE(testing::Message() << "size " << sz.w << "x" << sz.h << " strip " << sh << " kind "
                                                << int(v.kind) << " mode " << v.mode << " t " << v.threshold);
                const Planes ref = RunReference(m, sh, v);
                const Planes fast = RunObject(m, sh, v);
                ASSERT_EQ(ref.status, 0);
                ASSERT_EQ(fast.status, 0);
                ASSERT_EQ(ref.g, fast.g);
                ASSERT_EQ(ref.even, fast.even);
                ASSERT_EQ(ref.odd, fast.odd);
            }
    }
}

// Each build of the green row kernels the dispatch can pick matches the
// reference bit for bit: widths that leave every remainder of a vector, and
// samples over the whole 16-bit range so the sums wrap.
TEST(Demosaicer, EveryGreenKernelMatchesTheReference) {
    using Kernel = AdaptiveDemosaicer::Kernel;
    const Variant variants[] = {{Kind::Adaptive, 1, 0, 0},
                                {Kind::Threshold, 1, 60, 0},
                                {Kind::Threshold, 0, 0, 0},
                                {Kind::Threshold, 0, 0x10040, 0},
                                {Kind::DirectionMap, 1, 200, 150}};
    for (Kernel kernel : {Kernel::Portable, Kernel::Avx2}) {
        SCOPED_TRACE(kernel == Kernel::Avx2 ? "AVX2 (where the processor has it)" : "portable");
        uint32_t seed = 100;
        for (int w : {6, 20, 36, 38, 70, 132})
            for (const auto& range : {std::pair{0, 4095}, std::pair{-32768, 32767}}) {
                const Mosaic m = RandomMosaic(w, 24, seed++, range.first, range.second);
                for (const Variant& v : variants) {
                    SCOPED_TRACE(testing::Message() << "width " << w << " kind " << int(v.kind) << " t "
                                                    << v.threshold << " range " << range.first);
                    auto d = MakeDemosaicer(v);
                    static_cast<AdaptiveDemosaicer&>(*d).UseKernel(kernel);
                    const Planes fast = RunStrips(m, 12, ObjectKernel(*d));
                    const Planes ref = RunReference(m, 12, v);
                    ASSERT_EQ(fast.status, 0);
                    ASSERT_EQ(ref.g, fast.g);
                    ASSERT_EQ(ref.even, fast.even);
                    ASSERT_EQ(ref.odd, fast.odd);
                }
            }
    }
}

TEST(Demosaicer, OddSizesAreRefusedAlikeByFastAndReference) {
    struct Case { int w, h, stripHeight; uint16_t status; };
    const Case cases[] = {
        {37, 24, 12, VQ_ERR_DEMOSAIC_ODD_WIDTH},
        {36, 21, 7, VQ_ERR_DEMOSAIC_ODD_HEIGHT},
        {5, 24, 12, VQ_ERR_STRIP_TOO_SMALL},
        {8, 4, 4, VQ_ERR_STRIP_TOO_SMALL},   // the green step takes 4 rows, the colour step does not
    };
    for (const Case& c : cases)
        for (const Variant& v : kVariants) {
            const Mosaic m = RandomMosaic(c.w, c.h, 7);
            EXPECT_EQ(RunReference(m, c.stripHeight, v).status, c.status) << c.w << "x" << c.h;
            EXPECT_EQ(RunObject(m, c.stripHeight, v).status, c.status) << c.w << "x" << c.h;
        }
}

TEST(Demosaicer, FlatFieldIsExactInEveryClass) {
    for (int16_t value : {int16_t(0), int16_t(1), int16_t(1234), int16_t(4095)})
        for (const Variant& v : kVariants) {
            Mosaic m{20, 24, std::vector<int16_t>(20 * 24, value)};
            const Planes p = RunObject(m, 8, v);
            ASSERT_EQ(p.status, 0);
            const int16_t colour = v.mode == 1 ? value : 0;
            for (size_t i = 0; i < p.g.size(); ++i) {
                ASSERT_EQ(p.g[i], value) << i;
                ASSERT_EQ(p.even[i], colour) << i;
                ASSERT_EQ(p.odd[i], colour) << i;
            }
        }
}

TEST(Demosaicer, ModeOneClampsNegativeColoursModeZeroKeepsDifferences) {
    // Green 1000 everywhere, red 10: the even-row colour difference is -990.
    Mosaic m{16, 16, std::vector<int16_t>(16 * 16, 1000)};
    for (int y = 0; y < 16; y += 2)
        for (int x = 1; x < 16; x += 2) m.samples[size_t(y) * 16 + x] = 10;
    const Planes zero = RunObject(m, 8, {Kind::Adaptive, 0, 0, 0});
    const Planes one = RunObject(m, 8, {Kind::Adaptive, 1, 0, 0});
    // Green sites around a red site interpolate the red Laplacian away only in part,
    // so check the colour plane where it is fully determined: every sample.
    for (size_t i = 0; i < one.even.size(); ++i) {
        EXPECT_GE(one.even[i], 0);
        EXPECT_GE(one.g[i], 0);
    }
    bool sawNegative = false;
    for (int16_t d : zero.even) sawNegative |= d < 0;
    EXPECT_TRUE(sawNegative);
}

TEST(Demosaicer, GreenFollowsAVerticalEdge) {
    // Columns 0..7 dark, 8..15 bright in every channel: at the colour sites beside
    // the edge the vertical gradient is 0, so green comes from above and below.
    Mosaic m{16, 16, std::vector<int16_t>(16 * 16)};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) m.samples[size_t(y) * 16 + x] = x < 8 ? 100 : 3000;
    const Planes p = RunObject(m, 16, {Kind::Adaptive, 0, 0, 0});
    EXPECT_EQ(p.g[size_t(4) * 16 + 7], 100);    // red site left of the edge
    EXPECT_EQ(p.g[size_t(5) * 16 + 8], 3000);   // blue site right of the edge
}

TEST(Demosaicer, ThresholdTiesAndFlatSites) {
    // A strip whose every site is flat (huge threshold) re-smooths every covered
    // measured green: on a random mosaic those greens no longer equal the sensor.
    const Mosaic m = RandomMosaic(20, 12, 3);
    const Planes flat = RunObject(m, 12, {Kind::Threshold, 0, 30000, 0});
    int changed = 0;
    for (int y = 0; y < 12; ++y)
        for (int x = 3; x <= 16; ++x)
            if ((y & 1) == (x & 1)) changed += flat.g[size_t(y) * 20 + x] != m.at(y, x);
    EXPECT_GT(changed, 60);
    // Threshold 0 with a flat field: every site has d_h = d_v = 0 and counts as flat.
    Mosaic f{20, 12, std::vector<int16_t>(240, 500)};
    const Planes p = RunObject(f, 12, {Kind::Threshold, 1, 0, 0});
    for (int16_t g : p.g) ASSERT_EQ(g, 500);
}

TEST(Demosaicer, DirectionMapCarriesColumnTermsBetweenCalls) {
    const Mosaic m = RandomMosaic(24, 12, 11);
    DirectionMapDemosaicer d;
    d.SetMode(0);
    d.SetHorizontalThreshold(50);
    d.SetVerticalThreshold(50);
    const Planes first = RunStrips(m, 12, ObjectKernel(d));
    const Planes second = RunStrips(m, 12, ObjectKernel(d));
    EXPECT_NE(first.g, second.g);
    // A fresh object starts from zero terms again.
    DirectionMapDemosaicer fresh;
    fresh.SetMode(0);
    fresh.SetHorizontalThreshold(50);
    fresh.SetVerticalThreshold(50);
    EXPECT_EQ(RunStrips(m, 12, ObjectKernel(fresh)).g, first.g);
}

TEST(Demosaicer, SettersAnswerNotImplementedOutsideTheirClass) {
    HalfSizeDemosaicer half;
    MonoSubsampler mono;
    AdaptiveDemosaicer adaptive;
    ThresholdDemosaicer threshold;
    DirectionMapDemosaicer direction;
    struct Row { Demosaicer* d; bool step, mode, h, v, t; };
    const Row rows[] = {{&half, true, false, false, false, false},
                        {&mono, true, false, false, false, false},
                        {&adaptive, false, true, false, false, false},
                        {&threshold, false, true, false, false, true},
                        {&direction, false, true, true, true, false}};
    auto expect = [](bool ok) { return ok ? uint16_t(0) : uint16_t(VQ_ERR_NOT_IMPLEMENTED); };
    for (const Row& r : rows) {
        EXPECT_EQ(r.d->SetStep(1), expect(r.step));
        EXPECT_EQ(r.d->SetMode(1), expect(r.mode));
        EXPECT_EQ(r.d->SetUnused(1), VQ_ERR_NOT_IMPLEMENTED);
        EXPECT_EQ(r.d->SetHorizontalThreshold(1), expect(r.h));
        EXPECT_EQ(r.d->SetVerticalThreshold(1), expect(r.v));
        EXPECT_EQ(r.d->SetThreshold(1), expect(r.t));
    }
}

TEST(Demosaicer, NullPlanesAndPassThrough) {
    AdaptiveDemosaicer d;
    std::vector<int16_t> buf(20 * 16, 7);
    int16_t *g = nullptr, *e = nullptr, *o = nullptr;
    d.Setup(buf.data(), buf.data() + 48, buf.data() + 48 + 160, nullptr, nullptr, nullptr, 10, 16, 0);
    EXPECT_EQ(d.Run(&g, &e, &o), VQ_ERR_DEMOSAIC_NULL);
    d.Setup(buf.data(), buf.data() + 48, buf.data() + 48 + 160, nullptr, nullptr, nullptr, 10, 16, 1);
    EXPECT_EQ(d.Run(&g, &e, &o), 0);
    EXPECT_EQ(g, buf.data() + 48);
    EXPECT_EQ(e, buf.data() + 48);
    EXPECT_EQ(o, buf.data() + 48);
}

TEST(Demosaicer, SubsamplersPickTheirCells) {
    std::vector<int16_t> strip(64);
    for (int i = 0; i < 64; ++i) strip[size_t(i)] = int16_t(i);   // value = row * 8 + column
    std::vector<int16_t> g(16, -1), e(16, -1), o(16, -1);
    int16_t *rg = nullptr, *re = nullptr, *ro = nullptr;

    HalfSizeDemosaicer half;
    half.SetStep(2);
    half.Setup(nullptr, strip.data(), nullptr, g.data(), e.data(), o.data(), 8, 8, 0);
    ASSERT_EQ(half.Run(&rg, &re, &ro), 0);
    EXPECT_EQ(std::vector<int16_t>(rg, rg + 4), (std::vector<int16_t>{0, 4, 32, 36}));
    EXPECT_EQ(std::vector<int16_t>(re, re + 4), (std::vector<int16_t>{1, 5, 33, 37}));
    EXPECT_EQ(std::vector<int16_t>(ro, ro + 4), (std::vector<int16_t>{8, 12, 40, 44}));
    EXPECT_EQ(g[4], -1);

    MonoSubsampler mono;
    mono.SetStep(1);
    mono.Setup(nullptr, strip.data(), nullptr, g.data(), e.data(), o.data(), 8, 8, 0);
    ASSERT_EQ(mono.Run(&rg, &re, &ro), 0);
    EXPECT_EQ(std::vector<int16_t>(rg, rg + 16),
              (std::vector<int16_t>{0, 2, 4, 6, 16, 18, 20, 22, 32, 34, 36, 38, 48, 50, 52, 54}));
    EXPECT_TRUE(rg == re && re == ro);
    mono.SetStep(0);
    ASSERT_EQ(mono.Run(&rg, &re, &ro), 0);
    EXPECT_EQ(rg, strip.data());

    // Missing output planes are refused instead of written through.
    half.Setup(nullptr, strip.data(), nullptr, nullptr, e.data(), o.data(), 8, 8, 0);
    EXPECT_EQ(half.Run(&rg, &re, &ro), VQ_ERR_DEMOSAIC_NULL);
}

// Hand-worked sites. Values below were computed from the interpolation rules on
// paper, not taken from either implementation, so a rule misread the same way in
// the fast and the reference classes shows here.
namespace {

struct Sample {
    int r, c;   // strip row (-3 ... rows+2) and column
    int16_t v;
};

struct Buffers {
    std::vector<int16_t> g, even, odd;
    uint16_t status = 0;
    int16_t G(int stripRow, int c) const { return g[size_t(stripRow + 1) * 8 + c]; }
};

constexpr int kRows = 6, kWidth = 8;

std::vector<int16_t> SparseStrip(const std::vector<Sample>& samples) {
    std::vector<int16_t> buf(size_t(kRows + 6) * kWidth, 0);
    for (const Sample& s : samples) buf[size_t(s.r + 3) * kWidth + s.c] = s.v;
    return buf;
}

Buffers RunOnce(const std::vector<Sample>& samples, const StripKernel& kernel) {
    std::vector<int16_t> buf = SparseStrip(samples);
    Buffers b;
    b.g.assign(size_t(kRows + 2) * kWidth, 0x5555);
    b.even.assign(size_t(kRows + 1) * kWidth, 0x5555);
    b.odd.assign(size_t(kRows + 1) * kWidth, 0x5555);
    int16_t *rg = nullptr, *re = nullptr, *ro = nullptr;
    b.status = kernel(buf.data(), buf.data() + 3 * kWidth, buf.data() + (3 + kRows) * kWidth, b.g.data(),
                      b.even.data(), b.odd.data(), kRows, kWidth, &rg, &re, &ro);
    return b;
}

// Both the demosaicer object and its reference, on one strip.
std::vector<Buffers> RunBoth(const std::vector<Sample>& samples, const Variant& v) {
    auto d = MakeDemosaicer(v);
    auto terms = std::make_shared<std::vector<int32_t>>();
    StripKernel ref = ReferenceKernel([v, terms](const int16_t* a, const int16_t* s, const int16_t* b, int16_t* g,
                                                 int16_t* e, int16_t* o, int rows, int w) -> uint16_t {
        switch (v.kind) {
        case Kind::Adaptive: return reference::AdaptiveInterpolate(a, s, b, g, e, o, rows, w, v.mode);
        case Kind::Threshold: return reference::ThresholdInterpolate(a, s, b, g, e, o, rows, w, v.mode, v.threshold);
        case Kind::DirectionMap:
            return reference::DirectionMapInterpolate(a, s, b, g, e, o, rows, w, v.mode, v.threshold, v.thresholdV,
                                                      *terms);
        }
        return 0;
    });
    return {RunOnce(samples, ObjectKernel(*d)), RunOnce(samples, ref)};
}

// The neighbourhood of the colour site at strip row 2, column 3.
std::vector<Sample> Site23(int16_t x, int16_t gl, int16_t gr, int16_t gu, int16_t gd, int16_t xl2, int16_t xr2,
                           int16_t xu2, int16_t xd2) {
    return {{2, 3, x}, {2, 2, gl}, {2, 4, gr}, {1, 3, gu}, {3, 3, gd},
            {2, 1, xl2}, {2, 5, xr2}, {0, 3, xu2}, {4, 3, xd2}};
}

} // namespace

TEST(Demosaicer, GreenStepsAtOneSiteWorkedByHand) {
    // Horizontal: L_h 0, L_v 80, d_h 0 < d_v 160.
    const auto horizontal = Site23(100, 50, 50, 0, 80, 100, 100, 60, 60);
    // Vertical with a negative Laplacian: L_h 20, L_v -5, d_h 61 > d_v 6; -5 >> 2 is -2.
    const auto vertical = Site23(10, 0, 41, 20, 21, 0, 0, 15, 10);
    // Equal gradients: d_h = d_v = 3, L_h 0, L_v -3.
    const auto tie = Site23(0, 3, 0, 0, 0, 0, 0, 3, 0);
    struct Case {
        const char* name;
        std::vector<Sample> samples;
        Variant variant;
        int16_t expected;
    };
    const Case cases[] = {
        {"adaptive horizontal", horizontal, {Kind::Adaptive, 0, 0, 0}, 50},
        {"adaptive vertical", vertical, {Kind::Adaptive, 0, 0, 0}, 20 + -2},
        {"adaptive tie takes four neighbours", tie, {Kind::Adaptive, 0, 0, 0}, (3 >> 2) + (-3 >> 3)},
        // Edge sites round the pair mean up: (20 + 21 + 1) >> 1 = 21.
        {"threshold edge vertical", vertical, {Kind::Threshold, 0, 5, 0}, 21 + -2},
        {"threshold flat", vertical, {Kind::Threshold, 0, 100, 0}, (15 >> 3) + (84 >> 2)},
        {"threshold tie above threshold goes horizontal", tie, {Kind::Threshold, 0, 2, 0}, (3 + 0 + 1) >> 1},
        {"threshold tie at threshold is flat", tie, {Kind::Threshold, 0, 3, 0}, (-3 >> 3) + ((3 + 2) >> 2)},
        // Only the low 16 bits of the threshold count: 0x10002 is 2.
        {"threshold low sixteen bits", tie, {Kind::Threshold, 0, 0x10002, 0}, 2},
    };
    for (const Case& c : cases) {
        for (const Buffers& b : RunBoth(c.samples, c.variant)) {
            ASSERT_EQ(b.status, 0) << c.name;
            EXPECT_EQ(b.G(2, 3), c.expected) << c.name;
        }
    }
}

TEST(Demosaicer, ThresholdContextRowTieTakesFourNeighbourRule) {
    // Colour site at context row -1, column 2, with d_h = d_v = 3 and L_v = -3;
    // threshold 2 would take the horizontal rule (2) in a strip row.
    const std::vector<Sample> s = {{-1, 1, 3}, {-3, 2, 3}};
    for (const Buffers& b : RunBoth(s, {Kind::Threshold, 0, 2, 0})) {
        ASSERT_EQ(b.status, 0);
        EXPECT_EQ(b.G(-1, 2), (3 >> 2) + (-3 >> 3));
    }
}

TEST(Demosaicer, DirectionMapSitesWorkedByHand) {
    // Site (2,3) is the first of its row (w_h starts at 0); its column term is 0
    // after strip row 0. Site (2,5) follows and chains w_h and the green stored at (2,3).
    //   (2,3): t_h = 44 + 1 = 45, 2w_h 44; t_v = 36 - Gu + 1; H = 4 + 40 + 4 = 48,
    //          L_h 4, L_v -2; V = 30 with Gu 20 (2w_v 16), 70 with Gu 0 (2w_v 36).
    //   (2,5): X 32, G_l 10, others 0, X(c-2) 40; H = |2w_h - 54| + 20 + 24, V = 128, L_h 24.
    auto samples = [](int16_t gu) {
        return std::vector<Sample>{{2, 3, 40}, {2, 2, 30}, {2, 4, 10}, {1, 3, gu}, {3, 3, 24},
                                   {2, 1, 44}, {2, 5, 32}, {0, 3, 36}, {4, 3, 46}};
    };
    struct Case {
        const char* name;
        int16_t gu;
        int thresholdH, thresholdV;
        int16_t at3, at5;
    };
    const Case cases[] = {
        // H 48 > 40, V 30 < H: ((3 * -2 + 8) >> 4) + ((20 + 24 + 1) >> 1) = 22.
        // Then t_h = 22 + 40 - 22 + 1 = 41, H = 14 + 44 = 58 <= V: ((72 + 8) >> 4) + ((10 + 1) >> 1) = 10.
        {"vertical then horizontal", 20, 40, 100, 22, 10},
        // Both flat: (30 + 10 + 20 + 24 + 2) >> 2 = 21; t_h = 22 + 40 - 21 + 1 = 42, H = 56: (10 + 2) >> 2 = 3.
        {"flat sites", 20, 60, 200, 21, 3},
        // V 70 >= H 48: ((12 + 8) >> 4) + ((30 + 10 + 1) >> 1) = 21; next H = 56 > 40, horizontal 10.
        {"tie-free horizontal", 0, 40, 100, 21, 10},
    };
    for (const Case& c : cases)
        for (const Buffers& b : RunBoth(samples(c.gu), {Kind::DirectionMap, 0, c.thresholdH, c.thresholdV})) {
            ASSERT_EQ(b.status, 0) << c.name;
            EXPECT_EQ(b.G(2, 3), c.at3) << c.name;
            EXPECT_EQ(b.G(2, 5), c.at5) << c.name;
        }
}

TEST(Demosaicer, FlatNeighboursResmoothAMeasuredGreen) {
    // Greens 100 with one green of 200 at (2,4); colour sites 0. With every site
    // flat, each of its four neighbours gets (100 * 3 + 200 + 2) >> 2 = 125 and
    // the measured 200 is replaced by (4 * 125 + 2) >> 2 = 125. The adaptive rule
    // keeps measured greens.
    std::vector<Sample> s;
    for (int r = -3; r < kRows + 3; ++r)
        for (int c = 0; c < kWidth; ++c)
            if (((r & 1) == 0) == ((c & 1) == 0)) s.push_back({r, c, 100});
    s.push_back({2, 4, 200});
    const Variant flatThreshold{Kind::Threshold, 0, 1000, 0};
    const Variant flatDirection{Kind::DirectionMap, 0, 1 << 30, 1 << 30};
    for (const Variant& v : {flatThreshold, flatDirection})
        for (const Buffers& b : RunBoth(s, v)) {
            ASSERT_EQ(b.status, 0);
            EXPECT_EQ(b.G(2, 3), 125);
            EXPECT_EQ(b.G(1, 4), 125);
            EXPECT_EQ(b.G(2, 4), 125);
        }
    for (const Buffers& b : RunBoth(s, {Kind::Adaptive, 0, 0, 0})) EXPECT_EQ(b.G(2, 4), 200);
}

TEST(Demosaicer, ColourDifferencesWorkedByHand) {
    // Greens 100; even-row colour by column 1, 3, 5, 7 = -50, 101, 300, 103; odd-row
    // colour by column 0, 2, 4, 6 = 40, 100, 161, 7. Every colour site then gets green
    // 100 (its vertical gradient is 0), so the differences are the samples minus 100.
    // Threshold -1 makes every site an edge site, which rounds 100 + 100 alike.
    const int16_t evenColour[4] = {-50, 101, 300, 103}, oddColour[4] = {40, 100, 161, 7};
    Mosaic m{8, 12, std::vector<int16_t>(96, 100)};
    for (int y = 0; y < 12; ++y)
        for (int k = 0; k < 4; ++k) {
            if ((y & 1) == 0) m.samples[size_t(y) * 8 + 2 * k + 1] = evenColour[k];
            else m.samples[size_t(y) * 8 + 2 * k] = oddColour[k];
        }
    // Even-row colour: D at odd columns -150, 1, 200, 3; column 2 = (-150 + 1) >> 1 = -75,
    // column 4 = 100, column 6 = 101, column 0 copies column 1.
    const std::vector<int16_t> even0 = {-150, -150, -75, 1, 100, 200, 101, 3};
    // Odd-row colour: D at even columns -60, 0, 61, -93; column 5 = (61 - 93) >> 1 = -16,
    // the last column copies column 6.
    const std::vector<int16_t> odd0 = {-60, -30, 0, 30, 61, -16, -93, -93};
    for (int mode : {0, 1})
        for (const Variant& v : {Variant{Kind::Adaptive, mode, 0, 0}, Variant{Kind::Threshold, mode, -1, 0}}) {
            for (const Planes& p : {RunObject(m, 6, v), RunReference(m, 6, v)}) {
                ASSERT_EQ(p.status, 0);
                for (int y = 0; y < 12; ++y)
                    for (int x = 0; x < 8; ++x) {
                        const size_t i = size_t(y) * 8 + x;
                        // Mode 1 adds green back and sets negatives to 0.
                        const int e = mode == 1 ? std::max(0, even0[size_t(x)] + 100) : even0[size_t(x)];
                        const int o = mode == 1 ? std::max(0, odd0[size_t(x)] + 100) : odd0[size_t(x)];
                        ASSERT_EQ(p.g[i], 100) << y << "," << x;
                        ASSERT_EQ(p.even[i], e) << "mode " << mode << " at " << y << "," << x;
                        ASSERT_EQ(p.odd[i], o) << "mode " << mode << " at " << y << "," << x;
                    }
            }
        }
}
