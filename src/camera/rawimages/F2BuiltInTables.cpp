#include "F2BuiltInTables.h"

#include <algorithm>
#include <cmath>

namespace lumora::vq {

namespace {

template <typename T, typename F>
std::vector<T> Make(uint32_t n, F f) {
    std::vector<T> t(n);
    for (uint32_t i = 0; i < n; ++i) t[i] = T(f(double(i)));
    return t;
}

} // namespace

const std::vector<uint8_t>& F2BuiltInTables::ByteTable() {
    static const auto t = Make<uint8_t>(kByteEntries, [](double i) { return std::lround(255.0 * std::sqrt(i / 1023.0)); });
    return t;
}

const std::vector<uint16_t>& F2BuiltInTables::ShiftedTable() {
    static const auto t = Make<uint16_t>(kEntries, [](double i) { return i; });
    return t;
}

const std::vector<uint16_t>& F2BuiltInTables::ThirdTable() {
    // Four times the input at the bottom, bending over to 4081 at the top.
    static const auto t = Make<uint16_t>(kEntries, [](double i) {
        const double x = i / 4095.0;
        return std::min(4081.0, std::floor(4081.0 * (1.0 - std::pow(1.0 - x, 4.0)) + 0.5));
    });
    return t;
}

const std::vector<uint16_t>& F2BuiltInTables::CurveA() {
    static const auto t = Make<uint16_t>(kEntries, [](double i) { return std::lround(1000.0 * std::log10(i + 1.0)); });
    return t;
}

const std::vector<uint16_t>& F2BuiltInTables::CurveB() {
    static const auto t =
        Make<uint16_t>(kCurveBEntries, [](double i) { return std::lround(std::pow(10.0, i / 1000.0)) - 1; });
    return t;
}

const std::vector<uint16_t>& F2BuiltInTables::OutputCurve() {
    static const auto t =
        Make<uint16_t>(kEntries, [](double i) { return std::lround(65535.0 * std::pow(i / 4095.0, 1.0 / 2.2)); });
    return t;
}

const std::vector<uint16_t>& F2BuiltInTables::ToneCurve0(int32_t modelId) {
    // Gentle S-curves, a little stronger for model 13.
    static const auto t13 = Make<uint16_t>(kEntries, [](double i) {
        const double x = i / 4095.0;
        return std::lround(4095.0 * (x + 0.10 * x * (1.0 - x) * (2.0 * x - 1.0)));
    });
    static const auto t18 = Make<uint16_t>(kEntries, [](double i) {
        const double x = i / 4095.0;
        return std::lround(4095.0 * (x + 0.06 * x * (1.0 - x) * (2.0 * x - 1.0)));
    });
    return modelId == 13 ? t13 : t18;
}

} // namespace lumora::vq
