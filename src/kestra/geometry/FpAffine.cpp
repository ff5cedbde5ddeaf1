#include "FpAffine.h"

#include "FpContext.h"
#include "FpFilterRecord.h"
#include "FpLevelList.h"
#include "PsfConversions.h"

#include <cmath>
#include <cstring>

namespace kestra {

namespace {

bool nearZero(double v, double tolerance) { return v >= -tolerance && v <= tolerance; }

void setPass(FpPassTable& p, double a0, double a1, double a2) {
    p.a0 = PsfToFixed16(a0);
    p.a1 = PsfToFixed16(a1);
    p.a2 = PsfToFixed16(a2);
    p.word3 = 0;
}

bool identityPass(const FpPassTable& p) { return p.a0 == 65536 && p.a1 == 0 && p.a2 == 0; }

// Elimination and the two pass tables, shared by both splits.
FpStatus eliminate(FpAffineStage& s) {
    double* m = s.matrix;
    const double alpha = m[0], beta = m[1], epsilon = m[2];
    if (nearZero(alpha, 0.001)) return FpSingular;
    const double g = m[3] / alpha;
    const double d = m[4] - g * beta;
    const double f = m[5] - g * epsilon;
    FpSetMatrix(m, alpha, beta, epsilon, g, d, f);
    setPass(s.pass[0], 1.0 / alpha, -beta / alpha, -epsilon / alpha);
    if (nearZero(d, 0.001)) return FpSingular;
    setPass(s.pass[1], 1.0 / d, -g / d, -f / d);
    for (int axis = 0; axis < 2; ++axis)
        if (!s.resampled[axis] && !identityPass(s.pass[axis])) return FpSingular;
    return FpOk;
}

} // namespace

void FpMakeAffineMatrix(const double m[4], const double o[2], double out[9]) {
    FpSetMatrix(out, m[0], m[1], o[0], m[2], m[3], o[1]);
}

void FpCopyMatrix(const double source[9], double destination[9]) { std::memcpy(destination, source, 9 * sizeof(double)); }

void FpClearMatrix(double m[9]) {
    for (int i = 0; i < 9; ++i) m[i] = 0.0;
}

void FpSetMatrix(double m[9], double a, double b, double e, double c, double d, double f) {
    m[0] = a, m[1] = b, m[2] = e;
    m[3] = c, m[4] = d, m[5] = f;
    m[6] = 0.0, m[7] = 0.0, m[8] = 1.0;
}

void FpScaleMatrixColumns(double m[9], double kx, double ky) {
    for (int r = 0; r < 3; ++r) {
        m[3 * r] /= kx;
        m[3 * r + 1] /= ky;
    }
}

int32_t FpMatrixDiagonalUsable(const double m[9]) { return nearZero(m[0], 0.001) || nearZero(m[4], 0.001) ? 0 : 1; }

FpStatus FpSetAffine(FpGeometry& g, const double matrix[9], uint16_t recentre) {
    const double det = matrix[4] * matrix[0] - matrix[3] * matrix[1];
    if (det > -0.000001 && det < 0.000001) return FpSingular;
    FpCopyMatrix(matrix, g.final.matrix);
    g.recentre = recentre;
    g.word = 0;
    return FpSplitAffine(g.final, 0, g.matrix, g.final.resampled[0], g.final.resampled[1]);
}

FpStatus FpSplitAffine(FpAffineStage& s, uint16_t keepOrder, double* kept, int32_t& r1, int32_t& r2) {
    double* m = s.matrix;
    const double a = m[0], b = m[1], e = m[2], c = m[3], d = m[4], f = m[5];
    struct Orientation {
        uint8_t in1, out1, in2, out2;
        int32_t r1, r2;
    } o;
    bool general = true;
    if (c == 0.0 && d == 1.0 && f == 0.0) {
        o = {0, 0, 1, 0, 1, 0};
        general = false;
    } else if (a == 1.0 && b == 0.0 && e == 0.0) {
        o = {0, 0, 1, 1, 0, 1};
        general = false;
    } else if (b == 0.0 && c == 0.0) {
        o = {0, 0, 1, 1, 1, 1};
        general = false;
    } else if (!keepOrder && std::fabs(b) > std::fabs(a) && std::fabs(b) > std::fabs(c) && std::fabs(b) > std::fabs(d)) {
        FpSetMatrix(m, b, a, e, d, c, f); // source axes exchanged
        o = {1, 1, 0, 1, 1, 1};
    } else if (!keepOrder && std::fabs(d) > std::fabs(a) && std::fabs(d) > std::fabs(c)) {
        FpSetMatrix(m, d, c, f, b, a, e); // source and destination axes exchanged
        o = {1, 1, 0, 0, 1, 1};
    } else if (std::fabs(a) > std::fabs(c)) {
        o = {0, 1, 0, 1, 1, 1};
    } else {
        FpSetMatrix(m, c, d, f, a, b, e); // destination axes exchanged
        o = {0, 1, 0, 0, 1, 1};
    }
    s.pass[0].inputColumns = o.in1, s.pass[0].outputColumns = o.out1;
    s.pass[1].inputColumns = o.in2, s.pass[1].outputColumns = o.out2;
    s.resampled[0] = o.r1;
    s.resampled[1] = o.r2;
    if (kept) FpCopyMatrix(m, kept);
    if (general && nearZero(m[0], 0.001)) return FpSingular;
    const FpStatus st = eliminate(s);
    if (st != FpOk) return st;
    r1 = s.resampled[0];
    r2 = s.resampled[1];
    return FpOk;
}

FpStatus FpSplitAffineInPlace(FpAffineStage& s) { return eliminate(s); }

FpStatus FpPlanAffineStages(FpGeometry& g, double m, Handle attributes, int32_t& stages) {
    if (!FpMatrixDiagonalUsable(g.matrix)) return FpSingular;
    const double sx = g.matrix[0], sy = g.matrix[4];
    int32_t k = 1;
    double x = sx, y = sy, kx = 1.0, ky = 1.0;
    // With a smallest level of 1 or more the k-th roots of a smaller scale
    // never reach it; more than five stages are never run, so the search
    // stops there.
    while ((std::fabs(x) < m || std::fabs(y) < m) && k <= kFpMaxStages) {
        ++k;
        kx = std::exp(std::log(std::fabs(sx)) / k);
        ky = std::exp(std::log(std::fabs(sy)) / k);
        if (std::fabs(kx) < m || std::fabs(ky) < m) continue;
        FpStatus st = FpSnapScale(attributes, kx);
        if (st == FpOk) st = FpSnapScale(attributes, ky);
        if (st != FpOk) return st;
        x = sx / std::pow(kx, k - 1);
        y = sy / std::pow(ky, k - 1);
    }
    if (k > kFpMaxStages) {
        k = kFpMaxStages;
        const double L = std::max(m, 0.5);
        kx = std::pow(std::fabs(sx) / L, 0.25);
        ky = std::pow(std::fabs(sy) / L, 0.25);
    }
    if (k == 1) {
        stages = 1;
        return FpOk;
    }
    FpSetMatrix(g.repeated.matrix, kx, 0.0, 0.0, 0.0, ky, 0.0);
    FpCopyMatrix(g.matrix, g.final.matrix);
    for (int32_t i = 0; i < k - 1; ++i) FpScaleMatrixColumns(g.final.matrix, kx, ky);
    int32_t r1, r2;
    FpStatus st = FpSplitAffine(g.repeated, 0, nullptr, r1, r2);
    if (st == FpOk) st = FpSplitAffineInPlace(g.final);
    if (st != FpOk) return st;
    stages = k;
    return FpOk;
}

FpStatus FpSetupAffineTables(FpGeometry& g, Handle attributes) {
    double m;
    FpStatus st = FpSmallestLevel(attributes, m);
    if (st != FpOk) return st;
    int32_t k;
    st = FpPlanAffineStages(g, m, attributes, k);
    if (st != FpOk) return st;
    g.stages = k;
    auto levels = [&](FpAffineStage& s) {
        FpStatus r = FpResamplerLevel(attributes, s.pass[0].a0, s.level[0]);
        if (r == FpOk) r = FpResamplerLevel(attributes, s.pass[1].a0, s.level[1]);
        return r;
    };
    if (k > 1 && (st = levels(g.repeated)) != FpOk) return st;
    return levels(g.final);
}

FpStatus FpAffineSetup(const double m[4], const double offset[2], Handle filter) {
    FpThreadScope thread;
    if (!thread) return FpNoThreadContext;
    double matrix[9];
    FpMakeAffineMatrix(m, offset, matrix);
    FpGeometry g{};
    FpStatus st = FpSetAffine(g, matrix, 0);
    if (st != FpOk) return st;
    g.stages = 1;
    const FpStatus state = FpFilterState(filter);
    if (state != FpHasKernels && state != FpAttributesOnly) return FpBadFilterHandle;
    Handle attributes;
    FpFilterAttributes(filter, attributes);
    st = FpSetupAffineTables(g, attributes);
    thread->geometry = g;
    FpSaveGeometry(thread.get(), filter);
    return st;
}

} // namespace kestra
