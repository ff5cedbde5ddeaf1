#pragma once
// The rounding words every kernel-changing operation shares. Real-to-integer
// conversions truncate toward zero; values beyond 32 bits (or NaN) saturate
// instead of being undefined, which no sound kernel reaches.
#include <IntOps.h>

#include <cmath>
#include <cstdint>

namespace kestra {

inline int32_t FpTruncate(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return int32_t(v);
}

// truncate(v + 0.5) for v >= 0, truncate(v - 0.5) below.
inline int32_t FpRoundHalfAway(double v) { return v >= 0 ? FpTruncate(v + 0.5) : FpTruncate(v - 0.5); }

// Round half away from zero of v / 2^f, in integers.
inline int32_t FpShiftRound(int32_t v, int32_t f) {
    if (f <= 0) return v;
    const int32_t half = lumora::shl32(1, unsigned(f - 1));
    if (v >= 0) return lumora::asr32(lumora::wrapAdd32(v, half), unsigned(f));
    return lumora::wrapSub32(0, lumora::asr32(lumora::wrapSub32(half, v), unsigned(f)));
}

inline int16_t FpToTap(int32_t v) { return lumora::wrap16(v); }

} // namespace kestra
