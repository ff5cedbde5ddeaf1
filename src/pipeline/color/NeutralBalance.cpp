#include "NeutralBalance.h"

#include <algorithm>

#include "FixedMatrix.h"
#include "InterpolateLut.h"
#include "MatrixApplier.h"

namespace lumora {

namespace {

// Row 1 the mean, row 2 (2G - R - B) / 4, row 3 (B - R) / 2.
constexpr RationalValue kOpponent[9] = {{1365, 4096},  {1365, 4096}, {1365, 4096},
                                        {-1024, 4096}, {2048, 4096}, {-1024, 4096},
                                        {-2048, 4096}, {0, 4096},    {2048, 4096}};
constexpr RationalValue kOpponentInverse[9] = {{4096, 4096}, {-2730, 4096}, {-4096, 4096},
                                               {4096, 4096}, {5461, 4096},  {0, 4096},
                                               {4096, 4096}, {-2730, 4096}, {4096, 4096}};
constexpr int32_t kSignedMaximum = 32767;
constexpr int32_t kSignedMinimum = -32768;

// out = inverse(m) x v, limited to the matrix's range.
VqStatus ThroughInverse(const RationalValue* m, const double v[3], double out[3]) {
    if (!m) return VQ_ERR_BAD_HANDLE;
    FixedMatrix inverse;
    if (const VqStatus s = inverse.SetRationalsAndInvert(m)) return s;
    return inverse.ApplyToDoubles(v, out, 3, 3);
}

} // namespace

void NeutralBalance::LookupA(const double in[3], double out[3]) const {
    InterpolateLut3(in_.curveA, in, out, int32_t(in_.curveASize) - 1);
}

void NeutralBalance::LookupB(const double in[3], double out[3]) const {
    InterpolateLut3(in_.curveB, in, out, int32_t(in_.curveBSize) - 1);
}

VqStatus NeutralBalance::ThroughMatrix(const double v[3], const RationalValue* m, double out[3],
                                       double offset) const {
    if (!TablesPresent()) return VQ_ERR_BAD_HANDLE;
    const double shifted[3] = {v[0] + offset, v[1] + offset, v[2] + offset};
    double u[3], t[3];
    LookupB(shifted, u);
    if (const VqStatus s = ThroughInverse(m, u, t)) return s;
    LookupA(t, out);
    return 0;
}

VqStatus NeutralBalance::GetNeutralPoint(double out[3]) const {
    if (!TablesPresent() || !in_.curveState) return VQ_ERR_BAD_HANDLE;
    FixedMatrix q;
    q.SetFromRationals(kOpponentInverse);
    const double c[3] = {double(in_.curveState->midLevel), -double(in_.curveState->neutralA),
                         -double(in_.curveState->neutralB)};
    double t[3], u[3];
    if (const VqStatus s = q.ApplyToDoubles(c, t, 3, 3)) return s;
    LookupB(t, u);
    return ThroughInverse(in_.matrix3, u, out);
}

VqStatus NeutralBalance::BalanceFromNeutral(uint16_t red, uint16_t green, uint16_t blue, double gains[3]) const {
    if (!TablesPresent() || !gains) return VQ_ERR_BAD_HANDLE;
    VqStatus status = 0;
    const MatrixApplier opponent(&status, kOpponent, 3, 3, kSignedMaximum, kSignedMinimum);
    if (status) return status;
    const MatrixApplier inverse(&status, kOpponentInverse, 3, 3, kSignedMaximum, kSignedMinimum);
    if (status) return status;

    const double neutral[3] = {double(red), double(green), double(blue)};
    double v[3], c[3], w[3], wl[3];
    LookupA(neutral, v);
    if ((status = opponent.ApplyToDoubles(v, c, 3, 3))) return status;
    c[0] = 0; // only the colour differences count
    if ((status = inverse.ApplyToDoubles(c, w, 3, 3))) return status;
    const int32_t mid = MidLevel();
    for (double& x : w) x += mid;
    LookupB(w, wl);
    // The reference level is read as the lookups read: the last entry beyond the table.
    const double level = in_.curveB[std::min<uint32_t>(uint32_t(mid), in_.curveBSize - 1)];
    for (int i = 0; i < 3; ++i) {
        if (!(wl[i] > 0) || !(level > 0)) {
            status = VQ_ERR_BAD_SAMPLE;
            break;
        }
        gains[i] = level / wl[i];
    }
    if (in_.modelId == kGainsFromInputModel && in_.balanceType != kSampledBalanceType) {
        const double top = std::max({neutral[0], neutral[1], neutral[2]});
        for (int i = 0; i < 3; ++i) gains[i] = neutral[i] > 0 ? top / neutral[i] : 0.0;
        if (neutral[0] <= 0 || neutral[1] <= 0 || neutral[2] <= 0) status = VQ_ERR_BAD_SAMPLE;
    }
    return status;
}

VqStatus NeutralBalance::NeutralToBalanceTriple(uint16_t red, uint16_t green, uint16_t blue,
                                                uint16_t out[3]) const {
    if (!out) return VQ_ERR_BAD_HANDLE;
    if (!TablesPresent()) {
        out[0] = out[1] = out[2] = 0;
        return VQ_ERR_BAD_HANDLE;
    }
    const double level = MidLevel();
    const double d[3] = {level - red, level - green, level - blue};
    double u[3], t[3] = {0, 0, 0};
    LookupB(d, u);
    const VqStatus status = ThroughInverse(in_.matrix3, u, t);
    for (int i = 0; i < 3; ++i) out[i] = status ? 0 : uint16_t(int32_t(t[i]));
    return status;
}

VqStatus NeutralBalance::NeutralForIlluminant(int32_t index, const uint32_t* block, double out[3]) const {
    if (!block || !out) return VQ_ERR_BAD_HANDLE;
    if (index < 0 || index >= kIlluminantGroups) return VQ_ERR_BAD_NUMBER;
    const uint32_t* ref = block;
    const uint32_t* ill = block + 6 * index;
    for (int i = 0; i < 3; ++i)
        if (ref[2 * i + 1] == 0 || ill[2 * i + 1] == 0) return VQ_ERR_BAD_NUMBER;
    if (!TablesPresent()) return VQ_ERR_BAD_HANDLE;
    double r[3], l[3];
    for (int i = 0; i < 3; ++i) {
        r[i] = double(ref[2 * i]) / double(ref[2 * i + 1]);
        l[i] = double(ill[2 * i]) / double(ill[2 * i + 1]);
    }
    if (in_.modelId == kMatrixPathModel) {
        double w1[3], w2[3];
        if (const VqStatus s = ThroughMatrix(l, in_.matrix1, w1, 0)) return s;
        if (const VqStatus s = ThroughMatrix(r, in_.matrix2, w2, 0)) return s;
        const double mid = MidLevel();
        const double d[3] = {w1[0] - w2[0] + mid, w1[1] - w2[1] + mid, w1[2] - w2[2] + mid};
        LookupB(d, out);
        return 0;
    }
    const double low = std::min({r[0], r[1], r[2]});
    const double d[3] = {l[0] - (r[0] - low), l[1] - (r[1] - low), l[2] - (r[2] - low)};
    double u[3];
    LookupB(d, u);
    return ThroughInverse(in_.matrix2, u, out);
}

} // namespace lumora
