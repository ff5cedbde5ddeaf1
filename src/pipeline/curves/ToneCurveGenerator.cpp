#include "ToneCurveGenerator.h"

#include <algorithm>
#include <cmath>

#include "CurveValue.h"

namespace lumora {

namespace {

int32_t knotX(int32_t k) { return int16_t(uint16_t(uint32_t(k))); }
int32_t knotY(int32_t k) { return int16_t(uint16_t(uint32_t(k) >> 16)); }

double filmResponse(double g) {
    if (g <= 0.00342) return 10.6778 * g;
    if (g <= 0.4) return 1.0446 * std::pow(g, 0.45) - 0.0446;
    return 1.0 - 0.7298 * std::exp(-1.816 * g);
}

} // namespace

VqStatus ToneCurveGenerator::SetKnots5(int32_t k0, int32_t k1, int32_t spare, int32_t k2,
                                       int32_t k3) {
    knot0 = k0;
    knot1 = k1;
    spareKnot = spare;
    knot2 = k2;
    knot3 = k3;
    logX0 = std::log10(double(knotX(k0)));
    logX1 = std::log10(double(knotX(k1)));
    logX2 = std::log10(double(knotX(k2)));
    logX3 = std::log10(double(knotX(k3)));
    logY0 = std::log10(double(knotY(k0)));
    logY1 = std::log10(double(knotY(k1)));
    logY2 = std::log10(double(knotY(k2)));
    logY3 = std::log10(double(knotY(k3)));
    return VQ_OK;
}

VqStatus ToneCurveGenerator::SetKnots6(uint16_t* e, int32_t k0, int32_t k1, int32_t spare,
                                       int32_t k2, int32_t k3) {
    entries = e;
    return SetKnots5(k0, k1, spare, k2, k3);
}

VqStatus ToneCurveGenerator::SetKnots7(uint16_t* e, int32_t n, int32_t fill, int32_t k0,
                                       int32_t k1, int32_t spare, int32_t k2, int32_t k3) {
    entries = e;
    length = n;
    top = fill;
    return SetKnots5(k0, k1, spare, k2, k3);
}

VqStatus ToneCurveGenerator::SetKnots6AndGenerate(uint16_t* e, int32_t k0, int32_t k1,
                                                  int32_t spare, int32_t k2, int32_t k3) {
    const VqStatus s = SetKnots6(e, k0, k1, spare, k2, k3);
    return s != VQ_OK ? s : Generate();
}

VqStatus ToneCurveGenerator::SetKnots7AndGenerate(uint16_t* e, int32_t n, int32_t fill,
                                                  int32_t k0, int32_t k1, int32_t spare,
                                                  int32_t k2, int32_t k3) {
    const VqStatus s = SetKnots7(e, n, fill, k0, k1, spare, k2, k3);
    return s != VQ_OK ? s : Generate();
}

VqStatus ToneCurveGenerator::Generate() {
    if (!entries) return VQ_ERR_NO_TABLE;
    const int32_t x0 = knotX(knot0), x1 = knotX(knot1), x2 = knotX(knot2), x3 = knotX(knot3);
    // Knots come from files: with a known length no segment writes past the
    // table, and negative positions are never written.
    const int32_t limit = length > 0 ? length : std::max({x0, x1, x2, x3, 0});
    auto span = [&](int32_t from, int32_t to, auto value) {
        for (int32_t i = std::max(from, 0); i < std::min(to, limit); ++i) entries[i] = value(i);
    };
    auto L = [](int32_t i) { return std::log10(double(i)); };

    span(0, x1, [](int32_t) { return uint16_t(0); });
    int32_t end = x1;

    const double s12 = (logY2 - logY1) / (logX2 - logX1);
    const double s02 = (logY2 - logY0) / (logX2 - logX0);
    const double s03 = (logY3 - logY0) / (logX3 - logX0);

    if (x1 < x0) {
        span(x1, x0, [&](int32_t i) {
            const double slope = s12 + (L(i) - logX1) / (logX0 - logX1) * (s02 - s12);
            return CurveValue(std::pow(10.0, logY2 + slope * (L(i) - logX2)));
        });
        end = x0;
    }
    if (x0 < x2) {
        span(x0, x2, [&](int32_t i) {
            return CurveValue(std::pow(10.0, logY2 + s02 * (L(i) - logX2)));
        });
        end = x2;
    }
    if (x2 < x3) {
        span(x2, x3, [&](int32_t i) {
            const double slope = s02 + (L(i) - logX2) / (logX3 - logX2) * (s03 - s02);
            return CurveValue(std::pow(10.0, logY0 + slope * (L(i) - logX0)));
        });
        end = x3;
    }
    const uint16_t fill = uint16_t(std::clamp(top, 0, 65535));
    for (int32_t i = std::max(end, 0); i < length; ++i) entries[i] = fill;
    return VQ_OK;
}

VqStatus ToneCurveGenerator::GenerateFilmCurve(int32_t kind, uint16_t* e, int32_t count,
                                               int32_t limit, int32_t* outLength) {
    entries = e;
    if (!e) return VQ_ERR_NO_TABLE;
    int32_t size = 5600;
    double c = 0.841, b = 2.9845;
    if (kind == 0) {
        size = 9600;
        c = 1.0;
        b = 2.5;
    } else if (kind == 2) {
        size = 6800;
        b = 2.5;
    }
    const int32_t n = std::max(0, std::min(limit, size));
    if (outLength) *outLength = n;
    const double f = std::pow(filmResponse(3.774 * c), b);
    // The curve never runs past the table it is given.
    const int32_t written = std::min(n, std::max(count, 0));
    if (written > 0) e[0] = 0;
    for (int32_t i = 1; i < written; ++i) {
        const double g = i * (2.0 / n) * c * 1.887;
        double v = std::pow(filmResponse(g), b) * 4095.0 / f;
        v = std::clamp(v, 0.0, 4095.0);
        e[i] = CurveValue(v, 0.4999);
    }
    for (int32_t i = std::max(n, 0); i < count; ++i) e[i] = 4095;
    return VQ_OK;
}

VqStatus ToneCurveGenerator::BuildLogCurve(uint16_t* e, int32_t n, int32_t fill, int32_t k0,
                                           int32_t k1, int32_t spare, int32_t k2, int32_t k3) {
    ToneCurveGenerator generator;
    return generator.SetKnots7AndGenerate(e, n, fill, k0, k1, spare, k2, k3);
}

VqStatus ToneCurveGenerator::BuildFilmCurve(int32_t kind, uint16_t* e, int32_t count,
                                            int32_t limit, int32_t* outLength) {
    ToneCurveGenerator generator;
    return generator.GenerateFilmCurve(kind, e, count, limit, outLength);
}

} // namespace lumora
