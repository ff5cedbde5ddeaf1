#include "FpKernelSums.h"

#include "FpRounding.h"

#include <cmath>
#include <cstdlib>

namespace kestra {

namespace {
// Adds the corrections {left, centre, right} around the centre. A kernel
// shorter than three taps takes the whole change on its centre.
void addAroundCentre(int16_t* taps, int32_t n, int32_t left, int32_t centre, int32_t right) {
    const int32_t c = (n - 1) / 2;
    if (n < 3) {
        taps[c] = FpToTap(taps[c] + left + centre + right);
        return;
    }
    taps[c - 1] = FpToTap(taps[c - 1] + left);
    taps[c] = FpToTap(taps[c] + centre);
    taps[c + 1] = FpToTap(taps[c + 1] + right);
}
} // namespace

int32_t FpKernelSum(const int16_t* taps, int32_t n) {
    int32_t sum = 0;
    for (int32_t i = 0; i < n; ++i) sum = lumora::wrapAdd32(sum, taps[i]);
    return sum;
}

int32_t FpFixKernelSum(int16_t* taps, int32_t n, int32_t target) {
    const int32_t sum = FpKernelSum(taps, n);
    if (n < 1) return sum;
    const int32_t d = lumora::wrapSub32(target, sum);
    if (d <= -4) addAroundCentre(taps, n, -1, -2, -1);
    else if (d == -3) addAroundCentre(taps, n, -1, -1, -1);
    else if (d == -2) addAroundCentre(taps, n, -1, 0, -1);
    else if (d == -1) addAroundCentre(taps, n, 0, -1, 0);
    else if (d == 1) addAroundCentre(taps, n, 0, 1, 0);
    else if (d == 2) addAroundCentre(taps, n, 1, 0, 1);
    else if (d == 3) addAroundCentre(taps, n, 1, 1, 1);
    else if (d >= 4) addAroundCentre(taps, n, 1, 2, 1);
    return sum;
}

void FpFitKernelSum(const int16_t* pair, int16_t* taps, int32_t n, int32_t f, int32_t target) {
    const int32_t a = pair[0], b = pair[1];
    if (a == 0) return;
    const double x = double(int64_t(target) - b) / double(a);
    if (x < 0) return;
    FpFixKernelSum(taps, n, FpTruncate(std::sqrt(x) * double(int64_t(1) << f) + 0.5));
}

void FpSpreadKernelSum(int16_t* taps, int32_t n, int32_t target, const int32_t* window, int32_t windowSum) {
    if (n < 1) return;
    int32_t d = lumora::wrapSub32(target, FpKernelSum(taps, n));
    for (int pass = 0; pass < 3 && windowSum != 0; ++pass) {
        if (pass > 0 && std::abs(int64_t(d)) <= 3) break;
        const double r = double(d) / double(windowSum);
        for (int32_t k = 0; k < n; ++k) taps[k] = FpToTap(FpRoundHalfAway(taps[k] + window[k] * r));
        d = lumora::wrapSub32(target, FpKernelSum(taps, n));
    }
    if (d <= -3) addAroundCentre(taps, n, -1, -1, -1);
    else if (d == -2) addAroundCentre(taps, n, -1, 0, -1);
    else if (d == -1) addAroundCentre(taps, n, 0, -1, 0);
    else if (d == 1) addAroundCentre(taps, n, 0, 1, 0);
    else if (d == 2) addAroundCentre(taps, n, 1, 0, 1);
    else if (d >= 3) addAroundCentre(taps, n, 1, 1, 1);
}

} // namespace kestra
