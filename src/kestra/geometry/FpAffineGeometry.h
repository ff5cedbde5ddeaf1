#pragma once
// Real-valued geometry of an affine plan: sample corners of a rectangle mapped
// through the passes of a stage, forward or backward, and turned back into
// integer rectangles (outer, inner, or the part inside given bounds).
#include "FpRecords.h"
#include "Kestra.h"

namespace kestra {

struct FpPoint {
    double x;
    double y;
};

// p0 top-left, p1 top-right, p2 bottom-left, p3 bottom-right.
struct FpCorners {
    FpPoint p[4];
};

void FpRectCorners(const PSFRect* r, const FpPoint* offset, FpPoint* p0, FpPoint* p1, FpPoint* p2, FpPoint* p3);
inline double FpMapCoordinate(double u, double v, double a, double b, double e) { return a * u + b * v + e; }
inline double FpUnmapCoordinate(double u, double v, double a, double b, double e) { return (u - b * v - e) / a; }
void FpSwapPoints(FpPoint& a, FpPoint& b);
// axis is 1 or 2.
void FpMapCorners(const FpAffineStage& stage, int32_t axis, FpCorners& c);
void FpUnmapCorners(const FpAffineStage& stage, int32_t axis, FpCorners& c);
void FpMapPoint(const FpAffineStage& stage, int32_t axis, FpPoint& p);
int32_t FpOuterBoundingRect(const FpCorners* c, PSFRect* out);
int32_t FpInnerBoundingRect(const FpCorners* c, PSFRect* out);
int32_t FpQuadRectBounds(const FpCorners* c, const PSFRect& bounds, PSFRect* out);
int32_t FpSegmentIntersection(const FpPoint& p, const FpPoint& q, const FpPoint& r, const FpPoint& s, FpPoint* out);
int32_t FpPointInRect(const FpPoint& p, const PSFRect& r);
int32_t FpPointInQuad(const FpPoint& p, const FpPoint quad[5], const FpPoint& reference);
int32_t FpStackRects(const PSFRect& a, const PSFRect& b, PSFRect* out);

// Forward through every resampled axis of a stage (1 then 2), backward (2 then 1).
void FpMapCornersThroughStage(const FpAffineStage& stage, FpCorners& c);
void FpUnmapCornersThroughStage(const FpAffineStage& stage, FpCorners& c);
inline FpCorners FpCornersOf(const PSFRect& r) {
    FpCorners c;
    FpRectCorners(&r, nullptr, &c.p[0], &c.p[1], &c.p[2], &c.p[3]);
    return c;
}

} // namespace kestra
