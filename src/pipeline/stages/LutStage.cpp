#include "LutStage.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "IntOps.h"
#include "StageRowKernels.h"
#include "StageRowsAvx2.h"

namespace lumora {

namespace {

// Truncation toward zero that stays defined for any double (NaN gives 0).
int64_t truncToInt64(long double v) {
    if (!(v == v)) return 0;
    if (v >= 9.2e18L) return std::numeric_limits<int64_t>::max();
    if (v <= -9.2e18L) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(v);
}

} // namespace

LutStage::LutStage() {
    fields_[0] = &width;
    fields_[1] = &height;
    fields_[2] = &mode;
    fields_[3] = &table;
    fields_[4] = &size;
}

VqStatus LutStage::BuildLinear(uint16_t* t, uint16_t top, float factor) {
    if (!t) return VQ_ERR_NULL_PLANES;
    table = t;
    if (size == 1) {
        // One entry has no span to spread over: it is the start of the range.
        t[0] = 0;
        return VQ_OK;
    }
    const long double denom = static_cast<long double>(size - 1);
    const long double f = factor;
    for (uint32_t i = 0; i < size; ++i) {
        const long double v = f * (static_cast<long double>(i) * top) / denom + 0.5L;
        const uint32_t e = static_cast<uint32_t>(truncToInt64(v));
        t[i] = static_cast<uint16_t>(std::min<uint32_t>(top, e));
    }
    return VQ_OK;
}

void LutStage::ApplyTableReference(int16_t* plane, size_t count, const uint16_t* t, uint32_t n) {
    for (size_t i = 0; i < count; ++i) {
        int64_t v = plane[i];
        if (v < 0) v = 0;
        if (v > int64_t(n) - 1) v = int64_t(n) - 1;
        plane[i] = static_cast<int16_t>(t[v]);
    }
}

void LutStage::ApplyTable(int16_t* __restrict plane, size_t count, const uint16_t* __restrict t,
                          uint32_t n) {
    // Samples are signed 16-bit, so an upper bound above 32767 never bites.
    const int32_t hi = n - 1 > 32767u ? 32767 : int32_t(n - 1);
    size_t i = 0;
#if defined(__SSE2__)
    // Clamp eight samples at once; the look-ups themselves stay scalar.
    const __m128i zero = _mm_setzero_si128();
    const __m128i top = _mm_set1_epi16(int16_t(hi));
    for (; i + 8 <= count; i += 8) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(plane + i));
        v = _mm_min_epi16(_mm_max_epi16(v, zero), top);
        const __m128i out = _mm_setr_epi16(
            int16_t(t[_mm_extract_epi16(v, 0)]), int16_t(t[_mm_extract_epi16(v, 1)]),
            int16_t(t[_mm_extract_epi16(v, 2)]), int16_t(t[_mm_extract_epi16(v, 3)]),
            int16_t(t[_mm_extract_epi16(v, 4)]), int16_t(t[_mm_extract_epi16(v, 5)]),
            int16_t(t[_mm_extract_epi16(v, 6)]), int16_t(t[_mm_extract_epi16(v, 7)]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(plane + i), out);
    }
#endif
    for (; i < count; ++i) plane[i] = int16_t(t[std::min(std::max<int32_t>(plane[i], 0), hi)]);
}

VqStatus LutStage::ApplyChecked(int16_t* plane, const uint16_t* t) {
    // An empty table has no entry to clamp to; it is treated as no table.
    if (!plane || !t || size == 0) return VQ_ERR_NULL_PLANES;
    ApplyTable(plane, Samples(), t, size);
    return VQ_OK;
}

VqStatus LutStage::ApplyLuts3(int16_t* a, int16_t* b, int16_t* c, const uint16_t* ta,
                              const uint16_t* tb, const uint16_t* tc) {
    if (mode == 0) {
        VqStatus s = ApplyChecked(a, ta);
        if (s == VQ_OK) s = ApplyChecked(b, tb);
        if (s == VQ_OK) s = ApplyChecked(c, tc);
        return s;
    }
    if (mode == 1) return ApplyChecked(b, tb);
    return VQ_OK;
}

VqStatus LutStage::Apply(int16_t* a, int16_t* b, int16_t* c) {
    if (mode == 0) {
        VqStatus s = ApplyChecked(c, table);
        if (s == VQ_OK) s = ApplyChecked(a, table);
        if (s == VQ_OK) s = ApplyChecked(b, table);
        return s;
    }
    if (mode == 1) return ApplyChecked(b, table);
    return VQ_OK;
}

VqStatus LutStage::ApplyOne(int16_t* plane) {
    if (!plane || !table || size == 0) return VQ_ERR_NULL_PLANES;
    if (mode == 2) return VQ_OK;
    ApplyTable(plane, Samples(), table, size);
    return VQ_OK;
}

VqStatus LutStage::ApplyPointerLut(const uint16_t* indices, const uint16_t** out,
                                   const uint16_t* limit) {
    if (mode == 2) return VQ_OK;
    if (!indices || !out || !table) return VQ_ERR_NULL_PLANES;
    // In this use the table holds pointers.
    const uint16_t* const* pointers = reinterpret_cast<const uint16_t* const*>(table);
    const size_t n = Samples();
    for (size_t i = 0; i < n; ++i) {
        const uint16_t index = indices[i];
        if (index < size) {
            const uint16_t* p = pointers[index];
            out[i] = p > limit ? limit : p;
        } else {
            out[i] = limit;
        }
    }
    return VQ_OK;
}

VqStatus LutStage::ShiftLeft(int16_t* plane, uint32_t n) {
    if (mode == 2) return VQ_OK;
    if (!plane) return VQ_ERR_NULL_PLANES;
    const size_t count = Samples();
    if (n >= 16) {
        std::fill(plane, plane + count, int16_t(0));
        return VQ_OK;
    }
    for (size_t i = 0; i < count; ++i) plane[i] = int16_t(uint16_t(uint32_t(uint16_t(plane[i])) << n));
    return VQ_OK;
}

VqStatus LutStage::AddOffsets16(int16_t* plane, const int16_t* col, const int16_t* row,
                                int32_t maximum, int32_t c0, int32_t r0) {
    if (mode == 2 || size == 0) return VQ_OK;
    if (!plane || !row) return VQ_ERR_NULL_PLANES;
    const int16_t* columns = col ? col + c0 : nullptr;
    const bool avx2 = Avx2Chosen(kernel_);
    for (uint32_t r = 0; r < height; ++r) {
        int16_t* p = plane + size_t(r) * width;
        const int32_t ro = row[int64_t(r0) + r];
        if (avx2)
            AddOffsetsRowAvx2(p, ro, columns, maximum, width);
        else
            stage_rows::AddOffsets(p, ro, columns, maximum, width);
    }
    return VQ_OK;
}

VqStatus LutStage::AddOffsets32(int32_t* plane, const int32_t* col, const int32_t* row,
                                int32_t maximum, int32_t c0, int32_t r0, int32_t skip) {
    if (mode == 2 || size == 0) return VQ_OK;
    if (!plane || !col || !row) return VQ_ERR_NULL_PLANES;
    const int32_t active = std::max<int32_t>(0, int32_t(width) - skip);
    for (uint32_t r = 0; r < height; ++r) {
        int32_t* p = plane + size_t(r) * width;
        const int32_t ro = row[int64_t(r0) + r];
        for (int32_t c = 0; c < active; ++c) {
            const int32_t v = wrapAdd32(wrapAdd32(p[c], ro), col[int64_t(c0) + c]);
            p[c] = v < 0 ? 0 : (v > maximum ? maximum : v);
        }
    }
    return VQ_OK;
}

VqStatus LutStage::CfaApplyImpl(int16_t* plane, const uint16_t* tr, const uint16_t* tg,
                                const uint16_t* tb, bool isUnsigned) {
    if (mode == 2) return VQ_OK;
    if (!plane || !tr || !tg || !tb || size == 0) return VQ_ERR_NULL_PLANES;
    const int64_t hi = int64_t(size) - 1;
    // Row by row with the colour from the position's parity; a strip with an odd
    // width or height is never written past its last sample.
    for (uint32_t r = 0; r < height; ++r) {
        int16_t* p = plane + size_t(r) * width;
        const uint16_t* evenTable = (r & 1) ? tb : tg; // even columns
        const uint16_t* oddTable = (r & 1) ? tg : tr;  // odd columns
        for (uint32_t c = 0; c < width; ++c) {
            int64_t v = isUnsigned ? int64_t(uint16_t(p[c])) : int64_t(p[c]);
            if (v < 0) v = 0;
            if (v > hi) v = hi;
            p[c] = int16_t(((c & 1) ? oddTable : evenTable)[v]);
        }
    }
    return VQ_OK;
}

VqStatus LutStage::CfaApply(int16_t* plane, const uint16_t* red, const uint16_t* green,
                            const uint16_t* blue) {
    return CfaApplyImpl(plane, red, green, blue, false);
}

VqStatus LutStage::CfaApplyUnsigned(int16_t* plane, const uint16_t* red, const uint16_t* green,
                                    const uint16_t* blue) {
    return CfaApplyImpl(plane, red, green, blue, true);
}

VqStatus LutStage::GainMapImpl(const int16_t* in16, const int32_t* in32, int16_t* out, int32_t c0,
                               int32_t r0, int32_t maximum, int32_t tw, int32_t th,
                               int32_t imageWidth, uint32_t u, int32_t skip) {
    const uint32_t shift = u + 7;
    const uint32_t half = 1u << (u + 6);
    const int64_t tilesPerRow = (int64_t(imageWidth) + tw - 1) / tw;
    const size_t outStride = size_t(width) + size_t(std::max(skip, 0));
    const uint16_t* gRed = table;
    const uint16_t* gGreenEven = table + size;
    const uint16_t* gBlue = table + 2 * size_t(size);
    const uint16_t* gGreenOdd = table + 3 * size_t(size);

    // Every tile the strip touches must be in the map; checked before any sample
    // changes so that a short map leaves the strip as it was. The walk along a row
    // is the same for every row and tile rows only grow downwards; the tile index
    // is linear in both, so its extremes lie at the strip's corners (a negative
    // image width from a damaged file makes later rows index lower, not higher).
    if (width > 0 && height > 0) {
        int64_t lastTile = c0 / tw;
        int32_t phase = c0 % tw;
        for (uint32_t c = 0; c + 2 < width; c += 2) {
            phase += 2;
            if (phase > tw - 1) {
                ++lastTile;
                phase = 0;
            }
        }
        const int64_t firstRowBase = (int64_t(r0) / th) * tilesPerRow;
        const int64_t lastRowBase = ((int64_t(r0) + height - 1) / th) * tilesPerRow;
        const int64_t corners[4] = {firstRowBase + c0 / tw, firstRowBase + lastTile,
                                    lastRowBase + c0 / tw, lastRowBase + lastTile};
        for (const int64_t index : corners)
            if (index < 0 || index >= int64_t(size)) return VQ_ERR_GAIN_MAP_SHORT;
    }

    for (uint32_t r = 0; r < height; ++r) {
        const int64_t tileRow = (int64_t(r0) + r) / th;
        // Colours follow the strip's own rows, so a band that ends on an odd row
        // (an odd tile height) does not shift the pattern of the next band.
        const bool oddRow = (r & 1) != 0;
        const uint16_t* gEven = oddRow ? gBlue : gGreenEven; // even columns
        const uint16_t* gOdd = oddRow ? gGreenOdd : gRed;    // odd columns
        const size_t inBase = size_t(r) * width;
        int16_t* o = out + size_t(r) * outStride;
        int64_t index = tileRow * tilesPerRow + c0 / tw;
        int32_t phase = c0 % tw;
        for (uint32_t c = 0; c < width; c += 2) {
            for (uint32_t k = 0; k < 2 && c + k < width; ++k) {
                const uint32_t gain = (k ? gOdd : gEven)[index];
                const int32_t sample = in16 ? int32_t(in16[inBase + c + k]) : in32[inBase + c + k];
                const uint32_t product = gain * uint32_t(sample) + half;
                int32_t v = wrap16(int32_t(product >> shift));
                if (v > maximum) v = maximum;
                o[c + k] = int16_t(v);
            }
            phase += 2;
            if (phase > tw - 1) {
                ++index;
                phase = 0;
            }
        }
    }
    return VQ_OK;
}

VqStatus LutStage::GainMap16(int16_t* plane, int32_t c0, int32_t r0, int32_t maximum, int32_t tw,
                             int32_t th, int32_t imageWidth, int32_t unit) {
    if (mode == 2) return VQ_OK;
    if (size == 0) {
        if (!plane) return VQ_ERR_NULL_PLANES;
        const size_t n = Samples();
        for (size_t i = 0; i < n; ++i) {
            int32_t v = int32_t((uint32_t(uint16_t(plane[i])) + 1) >> 3);
            if (v > maximum) v = maximum;
            plane[i] = int16_t(v);
        }
        return VQ_OK;
    }
    if (!plane || !table) return VQ_ERR_NULL_PLANES;
    if (tw <= 0 || th <= 0) return VQ_ERR_BAD_STAGE_MODE;
    uint32_t u = 0;
    // A unit so large that the rounding shift leaves 32 bits is no valid unit.
    if (!lumora::intLog2(unit, u) || u > 24) return VQ_ERR_BAD_FILE;
    return GainMapImpl(plane, nullptr, plane, c0, r0, maximum, tw, th, imageWidth, u, 0);
}

VqStatus LutStage::GainMap32(const int32_t* input, int16_t* output, int32_t c0, int32_t r0,
                             int32_t maximum, int32_t tw, int32_t th, int32_t imageWidth,
                             int32_t unit, int32_t skip) {
    uint32_t u = 0;
    const bool powerOfTwo = lumora::intLog2(unit, u);
    if (mode == 2 || size == 0) {
        if (!input || !output) return VQ_ERR_NULL_PLANES;
        const size_t outStride = size_t(width) + size_t(std::max(skip, 0));
        for (uint32_t r = 0; r < height; ++r) {
            const int32_t* in = input + size_t(r) * width;
            int16_t* o = output + size_t(r) * outStride;
            for (uint32_t c = 0; c < width; ++c) {
                const uint32_t v = uint32_t(in[c]) >> u;
                o[c] = int16_t(uint16_t(v > uint32_t(maximum) ? uint32_t(maximum) : v));
            }
        }
        return VQ_OK;
    }
    if (!input || !output || !table) return VQ_ERR_NULL_PLANES;
    if (tw <= 0 || th <= 0) return VQ_ERR_BAD_STAGE_MODE;
    if (!powerOfTwo || u > 24) return VQ_ERR_BAD_FILE;
    return GainMapImpl(nullptr, input, output, c0, r0, maximum, tw, th, imageWidth, u, skip);
}

VqStatus LutStage::BuildFromKnots(int32_t n, const int16_t* knots, uint16_t** outTable,
                                  int32_t* outSize) {
    if (!knots || !outTable || !outSize || n < 1) return VQ_ERR_BAD_NUMBER;
    *outTable = nullptr;
    *outSize = 0;
    const int32_t last = knots[2 * (n - 1)];
    // A table covers indices 0 .. last x; a negative last x describes no table.
    if (last < 0) return VQ_ERR_BAD_NUMBER;
    const int32_t count = last + 1;
    uint16_t* t = new (std::nothrow) uint16_t[size_t(count)]();
    if (!t) return VQ_ERR_PROCESS_NO_MEMORY;
    *outTable = t;
    *outSize = count;
    for (int32_t k = 0; k + 1 < n; ++k) {
        const int32_t x0 = knots[2 * k], y0 = knots[2 * k + 1];
        const int32_t x1 = knots[2 * k + 2], y1 = knots[2 * k + 3];
        if (x1 == x0) {
            delete[] t;
            *outTable = nullptr;
            *outSize = 0;
            return VQ_ERR_BAD_NUMBER;
        }
        const double slope = double(y1 - y0) / double(x1 - x0);
        const double intercept = y0 - x0 * slope;
        // Knots out of order would reach outside the table; only indices inside
        // it are written.
        const int32_t from = std::max(x0, 0);
        const int32_t to = std::min(x1, count - 1);
        for (int32_t j = from; j <= to; ++j) {
            const double value = j * slope + intercept;
            const int64_t rounded = value >= 0 ? truncToInt64(std::floor(value + 0.5))
                                               : truncToInt64(value - 0.5);
            t[j] = uint16_t(rounded);
        }
    }
    return VQ_OK;
}

void LutStage::ScaleByFactor(uint16_t* values, uint32_t count, double factor, uint32_t maximum) {
    if (factor == 1.0 || !values) return;
    const long double f =
        static_cast<long double>(std::trunc(factor * 1000000.0)) / 1000000.0L;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t v = uint32_t(truncToInt64(f * values[i] + 0.5L));
        if (maximum != 0 && v > maximum) v = maximum;
        values[i] = uint16_t(v);
    }
}

void LutStage::ScaleToInts(const uint16_t* values, int32_t* out, uint32_t count, double factor,
                           uint32_t maximum) {
    if (!values || !out) return;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t v = uint32_t(truncToInt64(factor * values[i] + 0.5));
        if (v > maximum) v = maximum;
        out[i] = int32_t(v);
    }
}

} // namespace lumora
