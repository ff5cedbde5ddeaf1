#include "FpSourceRectangles.h"

#include "FpAffine.h"
#include "FpAffineGeometry.h"
#include "FpContext.h"
#include "FpFilterRecord.h"
#include "FpPhaseTables.h"
#include "FpPictures.h"
#include "FpScaleStrip.h"

#include <cmath>
#include <vector>

#include <algorithm>

namespace kestra {

void FpSharpenAuxRect(const PSFRect& r, int32_t g1, int32_t g2, PSFRect* aux, PSFRect* copy) {
    // With a gain table the row pass writes its work picture transposed.
    if (aux) *aux = (g1 == -1 || g2 == -1) ? FpTransposeRect(r) : r;
    if (copy) *copy = r;
}

void FpAdjustRect(int32_t mode, int32_t m, uint16_t shrink, const PSFRect& B, PSFRect& r) {
    if (mode != 4) return;
    if (!shrink) {
        r.y0 = r.y0 > B.y0 + m ? r.y0 - m : B.y0;
        r.y1 = r.y1 < B.y1 - m ? r.y1 + m : B.y1;
        r.x0 = r.x0 > B.x0 + m ? r.x0 - m : B.x0;
        r.x1 = r.x1 < B.x1 - m ? r.x1 + m : B.x1;
        return;
    }
    if (r.y0 > B.y0) r.y0 += m;
    if (r.y1 < B.y1) r.y1 -= m;
    if (r.y1 - r.y0 <= 0) {
        if (r.y0 <= B.y0) {
            r.y1 = r.y0 + 1;
        } else if (r.y1 >= B.y1) {
            r.y0 = r.y1 - 1;
        } else {
            const int32_t d = r.y0 - r.y1 + 2;
            r.y0 = (r.y0 + r.y1 + d) / 2;
            r.y1 = r.y0 + d;
        }
    }
    int32_t mx = m;
    const int32_t w = r.x1 - r.x0;
    if (w < 2 * m) mx = std::max(w / 2 - 1, 0);
    if (r.x0 > B.x0) r.x0 += mx;
    if (r.x1 < B.x1) r.x1 -= mx;
}

namespace {

int64_t area(const PSFRect& r) { return int64_t(r.x1 - r.x0) * (r.y1 - r.y0); }
const FpAffineStage& stageBackward(const FpGeometry& g, int32_t i) { return i == 0 ? g.final : g.repeated; }
const FpAffineStage& stageForward(const FpGeometry& g, int32_t i) {
    return i == g.stages - 1 ? g.final : g.repeated;
}
bool both(const FpAffineStage& s) { return s.resampled[0] && s.resampled[1]; }
int32_t stageCount(const FpGeometry& g) { return g.stages < 1 ? 1 : g.stages; }

} // namespace

FpStatus FpRectsFromDestination(const FpGeometry& g, const PSFRect& bounds, PSFRect& source, PSFRect& second,
                                PSFRect& aux, const PSFRect& destination, int32_t mode, int32_t h) {
    if (!FpMatrixDiagonalUsable(g.final.matrix)) return FpSingular;
    const int32_t k = stageCount(g);
    std::vector<PSFRect> B;
    if (mode == 4) {
        B.resize(size_t(k));
        B[size_t(k - 1)] = bounds;
        for (int32_t i = k - 2; i >= 0; --i) B[size_t(i)] = FpMapRectThroughStage(g.repeated, B[size_t(i + 1)]);
    }
    aux = PSFRect{0, 0, 0, 0};
    PSFRect cur = destination, src{}, out{};
    for (int32_t i = 0; i < k; ++i) {
        const FpAffineStage& S = stageBackward(g, i);
        FpCorners c = FpCornersOf(cur);
        FpUnmapCornersThroughStage(S, c);
        if (i == k - 1) {
            c.p[0].x += 0.5, c.p[0].y += 0.5;
            c.p[1].x -= 0.5, c.p[1].y += 0.5;
            c.p[2].x += 0.5, c.p[2].y -= 0.5;
            c.p[3].x -= 0.5, c.p[3].y -= 0.5;
        }
        if (mode == 4) FpQuadRectBounds(&c, B[size_t(i)], &out);
        else FpOuterBoundingRect(&c, &out);
        src = out;
        if (mode == 4) FpAdjustRect(4, h, 0, B[size_t(i)], src);
        PSFRect mid{0, 0, 0, 0};
        if (both(S)) {
            const FpStatus st = FpMidRect(S, src, cur, true, mid);
            if (st != FpOk) return st;
        }
        PSFRect acc = mid;
        if (i != 0) FpStackRects(cur, mid, &acc);
        if (area(acc) > area(aux)) aux = acc;
        cur = src;
    }
    source = src;
    second = out;
    PSFRect reachable;
    return FpRectsFromSource(g, bounds, source, aux, reachable, mode, h);
}

FpStatus FpRectsFromSource(const FpGeometry& g, const PSFRect& bounds, const PSFRect& source, PSFRect& aux,
                           PSFRect& destination, int32_t mode, int32_t h) {
    const int32_t k = stageCount(g);
    aux = PSFRect{0, 0, 0, 0};
    PSFRect cur = source, B = bounds, dst{};
    // The destination follows only the samples whose taps lie inside the
    // strip, but the strip engine maps every sample it is given: the work
    // area is sized from what the engine holds (held, the previous stage's
    // whole result) and maps (mapped, that result less its inner margins).
    PSFRect held = source, mapped = source, extent = bounds;
    for (int32_t i = 0; i < k; ++i) {
        const FpAffineStage& S = stageForward(g, i);
        PSFRect T = cur;
        FpAdjustRect(mode, h, 1, B, T);
        FpCorners c = FpCornersOf(T);
        if (k == 1) {
            c.p[0].x -= 0.5, c.p[0].y -= 0.5;
            c.p[1].x += 0.5, c.p[1].y -= 0.5;
            c.p[2].x -= 0.5, c.p[2].y += 0.5;
            c.p[3].x += 0.5, c.p[3].y += 0.5;
        }
        FpMapCornersThroughStage(S, c);
        if (i < k - 1) FpOuterBoundingRect(&c, &dst);
        else FpInnerBoundingRect(&c, &dst);
        const PSFRect result = i < k - 1 ? FpMapRectThroughStage(S, mapped) : dst;
        PSFRect mid{0, 0, 0, 0};
        if (both(S)) {
            const FpStatus st = FpMidRect(S, held, result, true, mid);
            if (st != FpOk) return st;
        }
        PSFRect acc = mid;
        if (i < k - 1) FpStackRects(result, mid, &acc);
        if (area(acc) > area(aux)) aux = acc;
        cur = dst;
        B = FpMapRectThroughStage(g.repeated, B);
        if (i < k - 1) {
            held = mapped = result;
            extent = FpMapRectThroughStage(g.repeated, extent);
            extent.x1 = FpCarvedWidth(result);
            extent.y1 = FpCarvedHeight(result);
            FpTrimStageResult(mode, h, extent, mapped);
        }
    }
    destination = dst;
    return FpOk;
}

int32_t FpAffineMargin(const FpGeometry& g, int32_t h) {
    const int32_t k = stageCount(g);
    if (k == 1) return h;
    const double r[2] = {1.0 / g.repeated.matrix[0], 1.0 / g.repeated.matrix[4]};
    const double* F = g.final.matrix;
    const double det = F[4] * F[0] - F[1] * F[3];
    const double N[2][2] = {{F[4] / det, -F[1] / det}, {-F[3] / det, F[0] / det}};
    auto walk = [&](int32_t start, int32_t step, int32_t v[2]) {
        for (int t = 0; t < 2; ++t) {
            double x = start;
            for (int32_t j = 0; j < k - 1; ++j) x = int32_t((x + 0.99999) * r[t]) + step;
            v[t] = int32_t(x);
        }
        const double X = v[0] + 0.9999, Y = v[1] + 0.9999;
        for (int u = 0; u < 2; ++u) {
            const double w = std::max(std::fabs(X * N[0][u] + Y * N[1][u]), std::fabs(X * N[0][u] - Y * N[1][u]));
            v[u] = int32_t(w) + step;
        }
    };
    int32_t P[2], Q[2];
    walk(1, h - 1, P);
    walk(0, h, Q);
    return std::max({h, (P[0] + Q[0]) / 2, (P[1] + Q[1]) / 2});
}

FpStatus FpSourceRectangles(FpRectRequest& q) {
    if (q.filterClass == FpClassResampling) {
        FpThreadScope thread;
        if (!thread) return FpNoThreadContext;
        FpRestoreGeometry(thread.get(), q.filter);
        const FpGeometry g = thread->geometry;
        PSFRect aux{};
        FpStatus st;
        if (!q.option) {
            st = FpRectsFromDestination(g, q.bounds, *q.source, *q.second, aux, q.destination, q.effectiveMode,
                                        q.margin);
        } else {
            st = FpRectsFromSource(g, q.bounds, *q.source, aux, q.destination, q.effectiveMode, q.margin);
            *q.second = *q.source;
            if (q.mode != 0) FpAdjustRect(q.effectiveMode, FpAffineMargin(g, q.margin), 1, q.bounds, *q.second);
        }
        if (q.aux) {
            *q.aux = aux;
            if (st == FpOk) FpOffsetRect(*q.aux, -q.aux->x0, -q.aux->y0);
        }
        return st;
    }
    if (q.filterClass != FpClassSharpening) return FpBadKernelSize;
    if (!q.option) {
        *q.second = q.destination;
        *q.source = *q.second;
        if (q.mode != 0) FpAdjustRect(4, q.margin, 0, q.bounds, *q.source);
        FpSharpenAuxRect(*q.source, q.gain1, q.gain2, q.aux, nullptr);
    } else {
        *q.second = *q.source;
        if (q.mode != 0) FpAdjustRect(4, q.margin, 1, q.bounds, *q.second);
        FpSharpenAuxRect(*q.source, q.gain1, q.gain2, q.aux, nullptr);
        q.destination = *q.second;
    }
    if (q.aux) FpOffsetRect(*q.aux, -q.aux->x0, -q.aux->y0);
    return FpOk;
}

FpStatus FpRectangles(FpRectRequest& q) { return FpSourceRectangles(q); }

} // namespace kestra
