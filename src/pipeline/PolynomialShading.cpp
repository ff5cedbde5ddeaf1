#include "PolynomialShading.h"

#include <cstddef>

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
    for (int32_t r = 0; r < rows; r += 2) {
        const int64_t y = int64_t(y0) + r;
        const uint16_t* s0 = source + size_t(r) * w;
        const uint16_t* s1 = s0 + w;
        uint16_t* d0 = destination + size_t(r) * w;
        uint16_t* d1 = d0 + w;
        for (size_t j = 0; j < w; j += 2) {
            const int64_t x = int64_t(x0) + int64_t(j);
            const uint16_t g0 = s0[j], c1 = s0[j + 1], c2 = s1[j], g1 = s1[j + 1];
            d0[j] = g0 > maxv ? maxv : g0;
            d1[j + 1] = g1 > maxv ? maxv : g1;
            d0[j + 1] = correct(1, x + 1, y, c1);
            d1[j] = correct(2, x, y + 1, c2);
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
