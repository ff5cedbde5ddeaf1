// The affine set-up (passes, axis order, stage plan), the stage geometry and
// the rectangles a resampling strip needs.
#include "FpAffine.h"
#include "FpAffineGeometry.h"
#include "FpContext.h"
#include "FpSourceRectangles.h"
#include "FpScaleStrip.h"
#include "PsfConversions.h"
#include "PsfScale.h"
#include "ResampleTestSupport.h"

#include <chrono>
#include <cmath>
#include <future>

using namespace kestra;

namespace kestratest {
namespace {

FpGeometry split(const double m[4], const double o[2], FpStatus expected = FpOk) {
    double matrix[9];
    FpMakeAffineMatrix(m, o, matrix);
    FpGeometry g{};
    EXPECT_EQ(FpSetAffine(g, matrix, 0), expected);
    return g;
}

struct PassCase {
    const char* name;
    double m[4], o[2];
    int32_t pass1[3], pass2[3];
    uint8_t in1, out1, in2, out2;
    int32_t r1, r2;
};

TEST(AffineSplit, CaseTable) {
    const double c30 = std::cos(M_PI / 6), s30 = std::sin(M_PI / 6);
    const PassCase cases[] = {
        // Only the second row is exactly (0, 1, 0): axis 1 alone.
        {"identity, offset (3, 0)", {1, 0, 0, 1}, {3, 0}, {65536, 0, -196608}, {65536, 0, 0}, 0, 0, 1, 0, 1, 0},
        {"identity, offset (3, -2)", {1, 0, 0, 1}, {3, -2}, {65536, 0, -196608}, {65536, 0, 131072}, 0, 0, 1, 1, 1, 1},
        {"scale 0.5 x 2", {0.5, 0, 0, 2}, {0, 0}, {131072, 0, 0}, {32768, 0, 0}, 0, 0, 1, 1, 1, 1},
        {"rotation 30", {c30, -s30, s30, c30}, {0, 0}, {0, 0, 0}, {0, 0, 0}, 0, 1, 0, 1, 1, 1},
    };
    for (const PassCase& c : cases) {
        SCOPED_TRACE(c.name);
        const FpGeometry g = split(c.m, c.o);
        const FpAffineStage& s = g.final;
        if (c.pass1[0]) {
            EXPECT_EQ(s.pass[0].a0, c.pass1[0]);
            EXPECT_EQ(s.pass[0].a1, c.pass1[1]);
            EXPECT_EQ(s.pass[0].a2, c.pass1[2]);
            EXPECT_EQ(s.pass[1].a0, c.pass2[0]);
            EXPECT_EQ(s.pass[1].a1, c.pass2[1]);
            EXPECT_EQ(s.pass[1].a2, c.pass2[2]);
        }
        EXPECT_EQ(s.pass[0].inputColumns, c.in1);
        EXPECT_EQ(s.pass[0].outputColumns, c.out1);
        EXPECT_EQ(s.pass[1].inputColumns, c.in2);
        EXPECT_EQ(s.pass[1].outputColumns, c.out2);
        EXPECT_EQ(s.resampled[0], c.r1);
        EXPECT_EQ(s.resampled[1], c.r2);
    }
}

TEST(AffineSplit, RotationBySixtyExchangesTheDestinationAxes) {
    const double c = std::cos(M_PI / 3), s = std::sin(M_PI / 3);
    const double m[4] = {c, -s, s, c}, o[2] = {4, 5};
    const FpGeometry g = split(m, o);
    // The axis-ordered matrix is [[c, d, f], [a, b, e]].
    EXPECT_DOUBLE_EQ(g.matrix[0], s);
    EXPECT_DOUBLE_EQ(g.matrix[1], c);
    EXPECT_DOUBLE_EQ(g.matrix[2], 5);
    EXPECT_DOUBLE_EQ(g.matrix[3], c);
    EXPECT_DOUBLE_EQ(g.matrix[4], -s);
    EXPECT_DOUBLE_EQ(g.matrix[5], 4);
    EXPECT_EQ(g.final.pass[0].outputColumns, 1);
    EXPECT_EQ(g.final.pass[1].outputColumns, 0);
    // Pass 1 inverts the first ordered row: 1 / sin 60.
    EXPECT_EQ(g.final.pass[0].a0, PsfToFixed16(1.0 / s));
}

TEST(AffineSplit, DeterminantTolerance) {
    // det = 0.0000005 is refused; 0.000001 passes the determinant test (the
    // pivots then refuse it).
    const double o[2] = {0, 0};
    const double tiny[4] = {0.0005, 0, 0, 0.001};
    split(tiny, o, FpSingular);
    double matrix[9];
    const double edge[4] = {0.001, 0, 0, 0.001};
    FpMakeAffineMatrix(edge, o, matrix);
    FpGeometry g{};
    // The determinant passes; the diagonal pivot of 0.001 does not.
    EXPECT_EQ(FpSetAffine(g, matrix, 0), FpSingular);
    EXPECT_NE(g.final.matrix[0], 0.0) << "the determinant test let the matrix through";
}

class AffinePlan : public KestraTest {
protected:
    Handle attributesOf(PSFFilter f) {
        PsfFilterRecord* r = PsfLockFilterRecord(f);
        const Handle fp = r->filter;
        PsfUnlockFilterRecord(f);
        Handle list = 0;
        FpFilterAttributes(fp, list);
        return list;
    }
};

TEST_F(AffinePlan, StagesForStrongReductions) {
    struct Case {
        std::vector<double> levels;
        double scale;
        int32_t stages;
        double repeated, final;
    } cases[] = {
        {{1.0, 0.5, 0.25}, 0.1, 2, 0.25, 0.4},
        {{1.0, 0.5, 0.25}, 0.01, 4, 0.25, 0.64},
        {{1.0, 0.5}, 0.1, 4, 0.5, 0.8},
        {{1.0, 0.5}, 0.01, 5, std::pow(0.01 / 0.5, 0.25), 0.5},
        {{1.0, 0.5}, 0.6, 1, 0, 0.6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "smallest " << c.levels.back() << " scale " << c.scale);
        PSFFilter f = makeLinearResampler(caller_, c.levels);
        const double m[4] = {c.scale, 0, 0, c.scale}, o[2] = {0, 0};
        FpGeometry g = split(m, o);
        int32_t k = 0;
        ASSERT_EQ(FpPlanAffineStages(g, c.levels.back(), attributesOf(f), k), FpOk);
        EXPECT_EQ(k, c.stages);
        if (k > 1) {
            EXPECT_NEAR(g.repeated.matrix[0], c.repeated, 1e-12);
            EXPECT_NEAR(g.repeated.matrix[4], c.repeated, 1e-12);
        }
        EXPECT_NEAR(g.final.matrix[0], c.final, 1e-9);
        PSFFreeFilter(f);
    }
}

TEST_F(AffinePlan, MirroringPlansOnMagnitudes) {
    PSFFilter f = makeLinearResampler(caller_, {1.0, 0.5, 0.25});
    const double m[4] = {-0.1, 0, 0, 0.1}, o[2] = {0, 0};
    FpGeometry g = split(m, o);
    int32_t k = 0;
    ASSERT_EQ(FpPlanAffineStages(g, 0.25, attributesOf(f), k), FpOk);
    EXPECT_EQ(k, 2);
    EXPECT_DOUBLE_EQ(g.repeated.matrix[0], 0.25);
    EXPECT_NEAR(g.final.matrix[0], -0.4, 1e-12);
    EXPECT_NEAR(g.final.matrix[4], 0.4, 1e-12);
    PSFFreeFilter(f);
}

TEST_F(AffinePlan, OneLevelResamplerEndsItsPlan) {
    // Roots of 0.5 never reach a smallest level of 1.0: the plan stops at
    // five stages instead of searching for ever.
    PSFFilter f = makeLinearResampler(caller_, {1.0});
    auto planned = std::async(std::launch::async, [&] {
        PSFInitThread(caller_);
        const double m[4] = {0.5, 0, 0, 0.5}, o[2] = {0, 0};
        const PSFStatus s = PSFAffineSetup(f, m, o);
        PSFTermThread(caller_);
        return s;
    });
    ASSERT_EQ(planned.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "the plan does not end";
    EXPECT_EQ(planned.get(), PSFSuccess);
    PSFFreeFilter(f);
}

TEST_F(AffinePlan, SetUpFlagsAndRefusals) {
    PSFFilter f = makeLinearResampler(caller_);
    struct Case {
        double m[4];
        uint16_t x, y;
    } cases[] = {{{1, 0, 0, 1}, 0, 0}, {{1.00005, 0.00005, 0, 2}, 0, 1}, {{2, 0, 0, 1}, 1, 0}, {{0.5, 0, 0, 3}, 1, 1}};
    const double o[2] = {0, 0};
    for (const Case& c : cases) {
        ASSERT_EQ(PSFAffineSetup(f, c.m, o), PSFSuccess);
        PsfFilterRecord* r = PsfLockFilterRecord(f);
        EXPECT_EQ(r->resampleX, c.x);
        EXPECT_EQ(r->resampleY, c.y);
        PsfUnlockFilterRecord(f);
    }
    const double singular[4] = {0.0005, 0, 0, 0.001};
    EXPECT_EQ(PSFAffineSetup(f, singular, o), PSFErrArgumentOutOfRange);
    PSFFreeFilter(f);

    PSFFilter sharp = load(sharpeningSpec());
    EXPECT_EQ(PSFAffineSetup(sharp, cases[3].m, o), PSFErrNoScaleFilter);
    PSFFreeFilter(sharp);

    // Phases are chosen by the top bits of a fraction: 48 phases would read
    // past the kernels.
    PSFFilter odd = makeResampler(caller_, 4, 48, {1.0}, [](int32_t, int32_t, int32_t t) { return t == 1 ? 512 : 0; });
    EXPECT_EQ(PSFAffineSetup(odd, cases[3].m, o), PSFErrArgumentOutOfRange);
    PSFFreeFilter(odd);
}

TEST(ScaleSetup, MatrixAboutACentre) {
    double m[4], o[2];
    const double scale[2] = {2, 2}, centre[2] = {10, 10};
    PsfBuildScaleMatrix(0, scale, 0, centre, m, o);
    EXPECT_DOUBLE_EQ(m[0], 2);
    EXPECT_DOUBLE_EQ(m[1], 0);
    EXPECT_DOUBLE_EQ(m[2], 0);
    EXPECT_DOUBLE_EQ(m[3], 2);
    EXPECT_DOUBLE_EQ(o[0], -10);
    EXPECT_DOUBLE_EQ(o[1], -10);
    // R(90) x S x R(0) with the library's degree factor.
    const double s2[2] = {1, 3}, c0[2] = {0, 0};
    PsfBuildScaleMatrix(0, s2, 90, c0, m, o);
    const double a = 90 * 0.0174532925;
    EXPECT_DOUBLE_EQ(m[0], std::cos(a));
    EXPECT_DOUBLE_EQ(m[1], -3 * std::sin(a));
    EXPECT_DOUBLE_EQ(m[2], std::sin(a));
    EXPECT_DOUBLE_EQ(m[3], 3 * std::cos(a));
}

TEST(StageGeometry, CornersAndBounds) {
    FpPoint p0, p1, p2, p3;
    const PSFRect r{10, 20, 30, 40};
    FpRectCorners(&r, nullptr, &p0, &p1, &p2, &p3);
    EXPECT_EQ(p0.x, 10); EXPECT_EQ(p0.y, 20); EXPECT_EQ(p1.x, 29); EXPECT_EQ(p1.y, 20);
    EXPECT_EQ(p2.x, 10); EXPECT_EQ(p2.y, 39); EXPECT_EQ(p3.x, 29); EXPECT_EQ(p3.y, 39);

    struct Case {
        double lo, hi;
        int32_t outer0, outer1, inner0, inner1;
    } cases[] = {
        {2.0, 5.5, 2, 7, 2, 6},    {-1.5, -0.2, -2, 1, -1, 0}, {3.0, 4.000005, 3, 5, 3, 5},
        {2.2, 5.5, 2, 7, 3, 6},    {-3.0, -1.0, -3, 0, -3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lo << " .. " << c.hi);
        const FpCorners k{{{c.lo, 0}, {c.hi, 0}, {c.lo, 1}, {c.hi, 1}}};
        PSFRect o, i;
        EXPECT_EQ(FpOuterBoundingRect(&k, &o), 0);
        EXPECT_EQ(FpInnerBoundingRect(&k, &i), 0);
        EXPECT_EQ(o.x0, c.outer0);
        EXPECT_EQ(o.x1, c.outer1);
        EXPECT_EQ(i.x0, c.inner0);
        EXPECT_EQ(i.x1, c.inner1);
    }
    EXPECT_EQ(FpOuterBoundingRect(nullptr, nullptr), 1);
}

TEST(StageGeometry, QuadrilateralInsideBounds) {
    const PSFRect R{0, 0, 100, 100};
    auto bounds = [&](FpCorners c) {
        PSFRect out;
        EXPECT_EQ(FpQuadRectBounds(&c, R, &out), 0);
        return out;
    };
    const PSFRect inside = bounds(FpCorners{{{10.2, 20.5}, {30.0, 20.5}, {10.2, 40.0}, {30.0, 40.0}}});
    EXPECT_EQ(inside.x0, 10); EXPECT_EQ(inside.y0, 20); EXPECT_EQ(inside.x1, 31); EXPECT_EQ(inside.y1, 41);
    const PSFRect outside = bounds(FpCorners{{{200, 200}, {210, 200}, {200, 210}, {210, 210}}});
    EXPECT_EQ(outside.x0, 0); EXPECT_EQ(outside.x1, 0); EXPECT_EQ(outside.y1, 0);
    // A diamond around the whole of R gives R.
    const PSFRect around = bounds(FpCorners{{{50, -200}, {300, 50}, {-200, 50}, {50, 300}}});
    EXPECT_EQ(around.x0, 0); EXPECT_EQ(around.y0, 0); EXPECT_EQ(around.x1, 100); EXPECT_EQ(around.y1, 100);
    // Half in: cut at R's edge.
    const PSFRect half = bounds(FpCorners{{{50, 50}, {150, 50}, {50, 60}, {150, 60}}});
    EXPECT_EQ(half.x0, 50); EXPECT_EQ(half.x1, 100); EXPECT_EQ(half.y0, 50); EXPECT_EQ(half.y1, 61);
}

TEST(StageGeometry, SegmentsAndStacking) {
    FpPoint x;
    EXPECT_EQ(FpSegmentIntersection({0, 0}, {10, 10}, {0, 10}, {10, 0}, &x), 1);
    EXPECT_DOUBLE_EQ(x.x, 5);
    EXPECT_DOUBLE_EQ(x.y, 5);
    EXPECT_EQ(FpSegmentIntersection({0, 0}, {10, 0}, {10, 0}, {10, 10}, &x), 1); // a shared end
    EXPECT_EQ(FpSegmentIntersection({0, 0}, {10, 0}, {5, 0}, {20, 0}, &x), 0);   // collinear
    EXPECT_EQ(FpSegmentIntersection({0, 0}, {1, 1}, {5, 0}, {5, 10}, &x), 0);    // beyond one segment

    PSFRect out;
    EXPECT_EQ(FpStackRects({0, 0, 100, 20}, {0, 0, 100, 30}, &out), 0);
    EXPECT_EQ(out.y1, 50);
    EXPECT_EQ(FpStackRects({0, 0, 100, 20}, {0, 0, 30, 100}, &out), 0);
    EXPECT_EQ(out.x1, 100); EXPECT_EQ(out.y1, 50);
    EXPECT_EQ(FpStackRects({0, 0, 100, 20}, {0, 0, 7, 9}, &out), 1);
    EXPECT_EQ(out.y1, 20);
    EXPECT_EQ(FpStackRects({0, 0, 0, 0}, {1, 2, 3, 4}, &out), 0);
    EXPECT_EQ(out.x0, 1);
}

TEST(StageGeometry, ForwardAndBackwardMapsAreInverse) {
    const double m[4] = {0.8, 0.3, -0.2, 1.4}, o[2] = {5, -7};
    const FpGeometry g = split(m, o);
    const PSFRect r{3, 4, 40, 30};
    FpCorners c = FpCornersOf(r);
    FpMapCornersThroughStage(g.final, c);
    // Forward maps the sample positions by the matrix.
    for (int i = 0; i < 4; ++i) {
        const FpCorners k = FpCornersOf(r);
        bool found = false;
        for (int j = 0; j < 4; ++j) {
            const double x = m[0] * k.p[j].x + m[1] * k.p[j].y + o[0], y = m[2] * k.p[j].x + m[3] * k.p[j].y + o[1];
            found |= std::fabs(c.p[i].x - x) < 1e-9 && std::fabs(c.p[i].y - y) < 1e-9;
        }
        EXPECT_TRUE(found) << "corner " << i;
    }
    FpUnmapCornersThroughStage(g.final, c);
    const FpCorners back = FpCornersOf(r);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(c.p[i].x, back.p[i].x, 1e-9);
        EXPECT_NEAR(c.p[i].y, back.p[i].y, 1e-9);
    }
}

TEST_F(AffinePlan, RectanglesOfAnEnlargement) {
    PSFFilter f = makeLinearResampler(caller_);
    const double m[4] = {2, 0, 0, 2}, o[2] = {0, 0};
    ASSERT_EQ(PSFAffineSetup(f, m, o), PSFSuccess);
    PSFRect source{}, second{}, aux{}, destination{0, 0, 200, 100};
    uint16_t flag = 9;
    ASSERT_EQ(PSFRectangles(f, &source, &second, &aux, &destination, &flag, 0, 0), PSFSuccess);
    EXPECT_EQ(source.x0, 0); EXPECT_EQ(source.y0, 0); EXPECT_EQ(source.x1, 100); EXPECT_EQ(source.y1, 50);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(aux.x0, 0);
    EXPECT_GE(aux.x1, 200);
    EXPECT_GE(aux.y1, 50);
    // Mode 1 needs a strip; the other way round gives the destination back.
    EXPECT_EQ(PSFRectangles(f, &source, &second, &aux, &destination, &flag, 1, 0), PSFErrNotSetUp);
    const PSFRect whole{0, 0, 100, 50};
    ASSERT_EQ(PSFStripBegin(f, &whole), PSFSuccess);
    PSFRect from{0, 0, 100, 50}, to{};
    ASSERT_EQ(PSFRectangles(f, &from, &second, &aux, &to, &flag, 1, 1), PSFSuccess);
    EXPECT_EQ(to.x0, -1);
    EXPECT_EQ(to.x1, 200);
    EXPECT_EQ(to.y1, 100);
    PSFFreeFilter(f);
}

TEST(StripRectangles, ShrinkingANarrowRectangle) {
    PSFRect r{10, 10, 14, 20};
    FpAdjustRect(4, 3, 1, PSFRect{0, 0, 100, 100}, r);
    EXPECT_EQ(r.x0, 11);
    EXPECT_EQ(r.x1, 13);
    PSFRect kept{10, 10, 14, 20};
    FpAdjustRect(1, 3, 1, PSFRect{0, 0, 100, 100}, kept); // not mode 4: unchanged
    EXPECT_EQ(kept.x0, 10);
}

} // namespace
} // namespace kestratest
