#include "FpAffineGeometry.h"

#include "FpPictures.h"

#include <algorithm>
#include <utility>

namespace kestra {

namespace {

struct PassParams {
    double a, b, e;
    bool inColumns, outColumns;
};

PassParams params(const FpAffineStage& s, int32_t axis) {
    const double* m = s.matrix;
    const FpPassTable& t = s.pass[axis == 1 ? 0 : 1];
    if (axis == 1) return {m[0], m[1], m[2], t.inputColumns != 0, t.outputColumns != 0};
    return {m[4], m[3], m[5], t.inputColumns != 0, t.outputColumns != 0};
}

void transpose(FpCorners& c) {
    for (FpPoint& p : c.p) std::swap(p.x, p.y);
    FpSwapPoints(c.p[1], c.p[2]);
}

void mirror(FpCorners& c, int32_t axis) {
    if (axis == 1) {
        FpSwapPoints(c.p[0], c.p[2]);
        FpSwapPoints(c.p[1], c.p[3]);
    } else {
        FpSwapPoints(c.p[0], c.p[1]);
        FpSwapPoints(c.p[2], c.p[3]);
    }
}

void extent(const FpCorners& c, double& lx, double& hx, double& ly, double& hy) {
    lx = hx = c.p[0].x;
    ly = hy = c.p[0].y;
    for (const FpPoint& p : c.p) {
        lx = std::min(lx, p.x), hx = std::max(hx, p.x);
        ly = std::min(ly, p.y), hy = std::max(hy, p.y);
    }
}

int32_t outerLow(double v) { return v < 0 ? int32_t(v - 0.99999) : int32_t(v); }
int32_t outerHigh(double v) { return v >= 0 ? int32_t(v + 0.99999) + 1 : int32_t(v) + 1; }
int32_t innerLow(double v) { return v >= 0 ? int32_t(v + 0.99999) : int32_t(v); }
int32_t innerHigh(double v) { return v < 0 ? int32_t(v - 0.99999) + 1 : int32_t(v) + 1; }

} // namespace

void FpRectCorners(const PSFRect* r, const FpPoint* o, FpPoint* p0, FpPoint* p1, FpPoint* p2, FpPoint* p3) {
    if (!r || !p0 || !p1 || !p2 || !p3) return;
    const double ox = o ? o->x : 0.0, oy = o ? o->y : 0.0;
    *p0 = {r->x0 - ox, r->y0 - oy};
    *p1 = {r->x1 - 1 - ox, r->y0 - oy};
    *p2 = {r->x0 - ox, r->y1 - 1 - oy};
    *p3 = {r->x1 - 1 - ox, r->y1 - 1 - oy};
}

void FpSwapPoints(FpPoint& a, FpPoint& b) { std::swap(a, b); }

void FpMapCorners(const FpAffineStage& s, int32_t axis, FpCorners& c) {
    const PassParams q = params(s, axis);
    if (!q.inColumns) {
        for (FpPoint& p : c.p) p.x = FpMapCoordinate(p.x, p.y, q.a, q.b, q.e);
        if (q.outColumns) transpose(c);
    } else {
        for (FpPoint& p : c.p) p.y = FpMapCoordinate(p.y, p.x, q.a, q.b, q.e);
        if (!q.outColumns) transpose(c);
    }
    if (q.a < 0) mirror(c, axis);
}

void FpUnmapCorners(const FpAffineStage& s, int32_t axis, FpCorners& c) {
    const PassParams q = params(s, axis);
    if (q.a < 0) mirror(c, axis);
    if (!q.outColumns) {
        for (FpPoint& p : c.p) p.x = FpUnmapCoordinate(p.x, p.y, q.a, q.b, q.e);
        if (q.inColumns) transpose(c);
    } else {
        for (FpPoint& p : c.p) p.y = FpUnmapCoordinate(p.y, p.x, q.a, q.b, q.e);
        if (!q.inColumns) transpose(c);
    }
}

void FpMapPoint(const FpAffineStage& s, int32_t axis, FpPoint& p) {
    const PassParams q = params(s, axis);
    if (!q.inColumns) {
        p.x = FpMapCoordinate(p.x, p.y, q.a, q.b, q.e);
        if (q.outColumns) std::swap(p.x, p.y);
    } else {
        p.y = FpMapCoordinate(p.y, p.x, q.a, q.b, q.e);
        if (!q.outColumns) std::swap(p.x, p.y);
    }
}

void FpMapCornersThroughStage(const FpAffineStage& s, FpCorners& c) {
    if (s.resampled[0]) FpMapCorners(s, 1, c);
    if (s.resampled[1]) FpMapCorners(s, 2, c);
}

void FpUnmapCornersThroughStage(const FpAffineStage& s, FpCorners& c) {
    if (s.resampled[1]) FpUnmapCorners(s, 2, c);
    if (s.resampled[0]) FpUnmapCorners(s, 1, c);
}

int32_t FpOuterBoundingRect(const FpCorners* c, PSFRect* out) {
    if (!c || !out) return 1;
    double lx, hx, ly, hy;
    extent(*c, lx, hx, ly, hy);
    *out = PSFRect{outerLow(lx), outerLow(ly), outerHigh(hx), outerHigh(hy)};
    return 0;
}

int32_t FpInnerBoundingRect(const FpCorners* c, PSFRect* out) {
    if (!c || !out) return 1;
    double lx, hx, ly, hy;
    extent(*c, lx, hx, ly, hy);
    *out = PSFRect{innerLow(lx), innerLow(ly), innerHigh(hx), innerHigh(hy)};
    return 0;
}

int32_t FpSegmentIntersection(const FpPoint& p, const FpPoint& q, const FpPoint& r, const FpPoint& s, FpPoint* out) {
    const FpPoint d1{q.x - p.x, q.y - p.y}, d2{s.x - r.x, s.y - r.y};
    const double den = d2.x * d1.y - d2.y * d1.x;
    if (den > -0.0001 && den < 0.0001) return 0;
    const double c1 = d1.y * p.x - d1.x * p.y, c2 = d2.y * r.x - d2.x * r.y;
    const double X = (c1 * d2.x - c2 * d1.x) / den, Y = (c1 * d2.y - c2 * d1.y) / den;
    if (out) *out = {X, Y};
    auto outside = [](double v, double e0, double e1) {
        return (v + 0.001 < e0 && v + 0.001 < e1) || (v - 0.001 > e0 && v - 0.001 > e1);
    };
    if (outside(X, p.x, q.x) || outside(Y, p.y, q.y) || outside(X, r.x, s.x) || outside(Y, r.y, s.y)) return 0;
    return 1;
}

int32_t FpPointInRect(const FpPoint& p, const PSFRect& r) {
    return p.x >= r.x0 && p.x <= r.x1 && p.y >= r.y0 && p.y <= r.y1 ? 1 : 0;
}

int32_t FpPointInQuad(const FpPoint& p, const FpPoint v[5], const FpPoint& ref) {
    for (int i = 0; i < 4; ++i) {
        const double ex = v[i + 1].x - v[i].x, ey = v[i + 1].y - v[i].y;
        const double s = (p.x - v[i].x) * ey - (p.y - v[i].y) * ex;
        const double t = (ref.x - v[i].x) * ey - (ref.y - v[i].y) * ex;
        if (!((s <= 0 && t < 0) || (s >= 0 && t > 0))) return 0;
    }
    return 1;
}

int32_t FpQuadRectBounds(const FpCorners* c, const PSFRect& R, PSFRect* out) {
    if (!c || !out) return 1;
    const FpPoint quad[5] = {c->p[0], c->p[1], c->p[3], c->p[2], c->p[0]};
    FpCorners rc = FpCornersOf(R);
    const FpPoint box[5] = {rc.p[0], rc.p[1], rc.p[3], rc.p[2], rc.p[0]};
    const FpPoint centre{(c->p[0].x + c->p[1].x + c->p[2].x + c->p[3].x) / 4,
                         (c->p[0].y + c->p[1].y + c->p[2].y + c->p[3].y) / 4};
    bool any = false;
    double lx = 0, hx = 0, ly = 0, hy = 0;
    auto take = [&](const FpPoint& p) {
        if (!any) {
            lx = hx = p.x;
            ly = hy = p.y;
            any = true;
        }
        lx = std::min(lx, p.x), hx = std::max(hx, p.x);
        ly = std::min(ly, p.y), hy = std::max(hy, p.y);
    };
    for (int i = 0; i < 4; ++i)
        if (FpPointInQuad(box[i], quad, centre)) take(box[i]);
    for (int i = 0; i < 4; ++i)
        if (FpPointInRect(quad[i], R)) take(quad[i]);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            FpPoint x;
            if (FpSegmentIntersection(quad[i], quad[i + 1], box[j], box[j + 1], &x)) take(x);
        }
    if (!any) {
        *out = PSFRect{0, 0, 0, 0};
        return 0;
    }
    *out = PSFRect{int32_t(lx + 0.001), int32_t(ly + 0.001), int32_t(hx + 0.999) + 1, int32_t(hy + 0.999) + 1};
    FpIntersectRect(out, &R, out);
    return 0;
}

int32_t FpStackRects(const PSFRect& a, const PSFRect& b, PSFRect* out) {
    const int32_t aw = a.x1 - a.x0, ah = a.y1 - a.y0, bw = b.x1 - b.x0, bh = b.y1 - b.y0;
    if (aw == 0 || ah == 0) {
        *out = b;
        return 0;
    }
    if (bw == 0 || bh == 0) {
        *out = a;
        return 0;
    }
    PSFRect r = a;
    if (aw == bw) r.y1 += bh;
    else if (aw == bh) r.y1 += bw;
    else if (ah == bw) r.x1 += bh;
    else if (ah == bh) r.x1 += bw;
    else {
        *out = a;
        return 1;
    }
    *out = r;
    return 0;
}

} // namespace kestra
