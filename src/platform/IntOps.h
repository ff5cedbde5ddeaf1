#pragma once
// Integer helpers for arithmetic the image pipeline lets wrap or shift: done on
// unsigned values so that nothing depends on undefined behaviour.
#include <cstdint>

namespace lumora {

constexpr int32_t wrapAdd32(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }
constexpr int32_t wrapSub32(int32_t a, int32_t b) { return int32_t(uint32_t(a) - uint32_t(b)); }
constexpr int32_t wrapMul32(int32_t a, int32_t b) { return int32_t(uint32_t(a) * uint32_t(b)); }
constexpr int16_t wrap16(int32_t v) { return int16_t(uint16_t(uint32_t(v))); }

// Arithmetic (sign-propagating) right shift, 0 <= n < 32. C++20 defines >> on
// negative values this way, so it compiles to one shift and vectorises.
constexpr int32_t asr32(int32_t v, unsigned n) { return v >> n; }
constexpr int64_t asr64(int64_t v, unsigned n) { return v >> n; }
// Left shift of a signed value, wrapping as two's complement.
constexpr int32_t shl32(int32_t v, unsigned n) { return int32_t(uint32_t(v) << n); }

template <typename T>
constexpr T clampTo(T v, T lo, T hi) { return v < lo ? lo : (v > hi ? hi : v); }

} // namespace lumora

namespace lumora {

// Index of the highest set bit of a positive value (0 for value <= 0); true when
// the value is exactly that power of two.
constexpr bool intLog2(int32_t value, uint32_t& exponent) {
    exponent = 0;
    if (value <= 0) return false;
    uint32_t v = uint32_t(value);
    while (v >>= 1) ++exponent;
    return uint32_t(value) == (1u << exponent);
}

} // namespace lumora
