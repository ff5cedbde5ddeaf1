#include "PolynomialShading.h"

#include <algorithm>
#include <cstddef>

#include "IntOps.h"

namespace lumora {

VqStatus PolynomialShading::SetPolynomial(const std::array<int32_t, 10>& coefficients, uint16_t width,
                                          uint16_t maximum) {
    if (width & 1) return VQ_ERR_SHADING_ODD_WIDTH;
    c_ = coefficients;
    width_ = width;
    maximum_ = maximum;
    return VQ_OK;
}

VqStatus PolynomialShading::GetFileName(int32_t* length, char*, uint32_t) {
    if (length) *length = 0;
    return VQ_OK;
}

VqStatus PolynomialShading::ApplyPlane(int32_t, int32_t, const uint16_t*, uint16_t*, int32_t) { return VQ_OK; }

VqStatus PolynomialShading::ApplyPlaneSubsampled(const uint16_t*, uint16_t*, int32_t, int32_t, int32_t, int32_t) {
    return VQ_OK;
}

namespace {

using Wide = __int128;

// Arithmetic right shift, spelled out on the unsigned value like asr64.
inline Wide asrWide(Wide v, unsigned n) {
    using U = unsigned __int128;
    return v >= 0 ? Wide(U(v) >> n) : Wide(~(~U(v) >> n));
}

} // namespace

// The gain p is in units of 2^20. Products are formed wide enough never to
// overflow: the same result as 32-bit arithmetic wherever that does not wrap,
// and a limited sample instead of a wrapped one (wide sensors, 16-bit samples,
// strong gains) where it would.
uint16_t PolynomialShading::correct(int channel, int64_t x, int64_t y, uint16_t value) const {
    const int32_t* k = c_.data() + (channel == 1 ? 0 : 5);
    const Wide p = asrWide(Wide(k[0]) * x * x + Wide(k[2]) * y * y, 10) + Wide(k[1]) * x + Wide(k[3]) * y + k[4];
    const Wide gain = asrWide(p - 0x100000, 4);
    const Wide out = value + asrWide(Wide(value) * gain + 0x7fff, 16);
    return uint16_t(out < 0 ? 0 : (out > maximum_ ? Wide(maximum_) : out));
}

bool PolynomialShading::fitsInt64(int64_t xlo, int64_t xhi, int64_t ylo, int64_t yhi) const {
    const Wide xm = std::max(xlo < 0 ? -Wide(xlo) : Wide(xlo), xhi < 0 ? -Wide(xhi) : Wide(xhi));
    const Wide ym = std::max(ylo < 0 ? -Wide(ylo) : Wide(ylo), yhi < 0 ? -Wide(yhi) : Wide(yhi));
    for (int ch = 0; ch < 2; ++ch) {
        const int32_t* k = c_.data() + 5 * ch;
        auto mag = [](int32_t v) { return v < 0 ? -Wide(v) : Wide(v); };
        const Wide quad = mag(k[0]) * xm * xm + mag(k[2]) * ym * ym;
        const Wide p = (quad >> 10) + 1 + mag(k[1]) * xm + mag(k[3]) * ym + mag(k[4]) + 0x100000;
        // Quadratic sum below 2^62 and |p| below 2^46 keep every product
        // (sample × gain below 2^16 × 2^42) inside 64 bits.
        if (quad >= (Wide(1) << 62) || p >= (Wide(1) << 46)) return false;
    }
    return true;
}

VqStatus PolynomialShading::ApplyCfa(int32_t x0, int32_t y0, const uint16_t* source, uint16_t* destination,
                                     int32_t rows) {
    if (rows & 1) return VQ_ERR_SHADING_ODD_WIDTH;
    if (y0 & 1) return VQ_ERR_SHADING_ODD_START;
    if (!source || !destination) return VQ_ERR_SHADING_NULL;
    // Column pairs: an odd width (possible through SetWidth) would step past the row.
    if (width_ & 1) return VQ_ERR_SHADING_ODD_WIDTH;
    if (rows <= 0) return VQ_OK;
    const uint16_t maxv = maximum_;
    const size_t w = width_;
    const bool fast = fitsInt64(x0, int64_t(x0) + int64_t(w), y0, int64_t(y0) + rows);
    const int32_t* k1 = c_.data();
    const int32_t* k2 = c_.data() + 5;
    for (int32_t r = 0; r < rows; r += 2) {
        const int64_t y = int64_t(y0) + r;
        const uint16_t* s0 = source + size_t(r) * w;
        const uint16_t* s1 = s0 + w;
        uint16_t* d0 = destination + size_t(r) * w;
        uint16_t* d1 = d0 + w;
        if (fast) {
            // The y terms are constant along a row pair; everything fits 64 bits.
            const int64_t yq1 = int64_t(k1[2]) * y * y, yl1 = int64_t(k1[3]) * y + k1[4];
            const int64_t yq2 = int64_t(k2[2]) * (y + 1) * (y + 1), yl2 = int64_t(k2[3]) * (y + 1) + k2[4];
            auto apply = [maxv](int64_t p, uint16_t v) {
                const int64_t gain = asr64(p - 0x100000, 4);
                const int64_t out = v + asr64(int64_t(v) * gain + 0x7fff, 16);
                return uint16_t(out < 0 ? 0 : (out > maxv ? maxv : out));
            };
            for (size_t j = 0; j < w; j += 2) {
                const int64_t x = int64_t(x0) + int64_t(j), xa = x + 1;
                const uint16_t g0 = s0[j], c1 = s0[j + 1], c2 = s1[j], g1 = s1[j + 1];
                d0[j] = g0 > maxv ? maxv : g0;
                d1[j + 1] = g1 > maxv ? maxv : g1;
                d0[j + 1] = apply(asr64(int64_t(k1[0]) * xa * xa + yq1, 10) + int64_t(k1[1]) * xa + yl1, c1);
                d1[j] = apply(asr64(int64_t(k2[0]) * x * x + yq2, 10) + int64_t(k2[1]) * x + yl2, c2);
            }
        } else {
            for (size_t j = 0; j < w; j += 2) {
                const int64_t x = int64_t(x0) + int64_t(j);
                const uint16_t g0 = s0[j], c1 = s0[j + 1], c2 = s1[j], g1 = s1[j + 1];
                d0[j] = g0 > maxv ? maxv : g0;
                d1[j + 1] = g1 > maxv ? maxv : g1;
                d0[j + 1] = correct(1, x + 1, y, c1);
                d1[j] = correct(2, x, y + 1, c2);
            }
        }
    }
    return VQ_OK;
}

VqStatus PolynomialShading::ApplyThreePlanes(const uint16_t* source1, const uint16_t* source2,
                                             const uint16_t* source3, uint16_t* destination1, uint16_t* destination2,
                                             uint16_t* destination3, int32_t x0, int32_t y0, int32_t rowExtent,
                                             int32_t step) {
    if (!source1 || !source2 || !source3 || !destination1 || !destination2 || !destination3)
        return VQ_ERR_SHADING_NULL;
    if (step < 1) return VQ_ERR_BAD_SUBSAMPLE;
    size_t i = 0;
    for (int64_t y = y0; y < int64_t(y0) + rowExtent; y += step)
        for (int64_t x = x0; x < int64_t(x0) + width_; x += step, ++i) {
            destination2[i] = source2[i] > maximum_ ? maximum_ : source2[i];
            destination1[i] = correct(1, x, y, source1[i]);
            destination3[i] = correct(2, x, y, source3[i]);
        }
    return VQ_OK;
}

} // namespace lumora
