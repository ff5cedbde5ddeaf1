#include "OutputStage.h"

#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "VqOutputTypes.h"

namespace lumora {

namespace {

inline uint8_t high(uint16_t v) { return uint8_t(v >> 8); }
inline void put16(uint8_t* d, uint16_t v) { std::memcpy(d, &v, 2); }

// Lab a and b: the sample less 0x8000 as a signed value, divided by 256 toward
// zero.
inline uint8_t labByte(uint16_t v) {
    const int32_t s = int16_t(uint16_t(v - 0x8000u));
    return uint8_t(int8_t(s / 256));
}

// One writer per layout; the packers and the strip kernels share them so the two
// paths cannot drift apart.
struct Gray8 {
    static constexpr int kPixel = 1, kSample = 1;
    static void put(uint8_t* d, uint16_t a, uint16_t, uint16_t, uint16_t) { d[0] = high(a); }
};
struct Gray16 {
    static constexpr int kPixel = 2, kSample = 2;
    static void put(uint8_t* d, uint16_t a, uint16_t, uint16_t, uint16_t) { put16(d, a); }
};
struct Rgb8 {
    static constexpr int kPixel = 3, kSample = 1;
    static void put(uint8_t* d, uint16_t a, uint16_t b, uint16_t c, uint16_t) {
        d[0] = high(a);
        d[1] = high(b);
        d[2] = high(c);
    }
};
struct Xrgb8 {
    static constexpr int kPixel = 4, kSample = 1;
    static void put(uint8_t* d, uint16_t a, uint16_t b, uint16_t c, uint16_t) {
        d[0] = 0;
        d[1] = high(a);
        d[2] = high(b);
        d[3] = high(c);
    }
};
struct Rgb16 {
    static constexpr int kPixel = 6, kSample = 2;
    static void put(uint8_t* d, uint16_t a, uint16_t b, uint16_t c, uint16_t) {
        put16(d, a);
        put16(d + 2, b);
        put16(d + 4, c);
    }
};
struct Xrgb16 {
    static constexpr int kPixel = 8, kSample = 2;
    static void put(uint8_t* d, uint16_t a, uint16_t b, uint16_t c, uint16_t) {
        put16(d, 0);
        put16(d + 2, a);
        put16(d + 4, b);
        put16(d + 6, c);
    }
};
struct Bgr8 {
    static constexpr int kPixel = 3, kSample = 1;
    static void put(uint8_t* d, uint16_t a, uint16_t b, uint16_t c, uint16_t) {
        d[0] = high(c);
        d[1] = high(b);
        d[2] = high(a);
    }
};
struct Bgrx8 {
    static constexpr int kPixel = 4, kSample = 1;
    static void put(uint8_t* d, uint16_t a, uint16_t b, uint16_t c, uint16_t) {
        d[0] = high(c);
        d[1] = high(b);
        d[2] = high(a);
        d[3] = 0;
    }
};
struct Bgr16 {
    static constexpr int kPixel = 6, kSample = 2;
    static void put(uint8_t* d, uint16_t a, uint16_t b, uint16_t c, uint16_t) {
        put16(d, c);
        put16(d + 2, b);
        put16(d + 4, a);
    }
};
struct Bgrx16 {
    static constexpr int kPixel = 8, kSample = 2;
    static void put(uint8_t* d, uint16_t a, uint16_t b, uint16_t c, uint16_t) {
        put16(d, c);
        put16(d + 2, b);
        put16(d + 4, a);
        put16(d + 6, 0);
    }
};
struct Rgb12 {
    static constexpr int kPixel = 6, kSample = 2;
    static void put(uint8_t* d, uint16_t a, uint16_t b, uint16_t c, uint16_t) {
        put16(d, uint16_t(a >> 4));
        put16(d + 2, uint16_t(b >> 4));
        put16(d + 4, uint16_t(c >> 4));
    }
};
struct Lab8 {
    static constexpr int kPixel = 3, kSample = 1;
    static void put(uint8_t* d, uint16_t a, uint16_t b, uint16_t c, uint16_t) {
        d[0] = high(a);
        d[1] = labByte(b);
        d[2] = labByte(c);
    }
};
struct Cmyk8 {
    static constexpr int kPixel = 4, kSample = 1;
    static void put(uint8_t* d, uint16_t a, uint16_t b, uint16_t c, uint16_t e) {
        d[0] = high(a);
        d[1] = high(b);
        d[2] = high(c);
        d[3] = high(e);
    }
};
struct Cmyk16 {
    static constexpr int kPixel = 8, kSample = 2;
    static void put(uint8_t* d, uint16_t a, uint16_t b, uint16_t c, uint16_t e) {
        put16(d, a);
        put16(d + 2, b);
        put16(d + 4, c);
        put16(d + 6, e);
    }
};

// Vector rows for the unturned layouts: the same bytes as the writers, sixteen or
// eight pixels at a time. Each answers how many leading pixels it wrote; the
// writers finish the row. Three-sample layouts are stored with overlapping wide
// stores, so they always leave the last pixel of the row to the writer.
#if defined(__SSE2__)
inline __m128i load8(const uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store16(uint8_t* d, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(d), v); }
// High bytes of sixteen samples.
inline __m128i highBytes(const uint16_t* p) {
    return _mm_packus_epi16(_mm_srli_epi16(load8(p), 8), _mm_srli_epi16(load8(p + 8), 8));
}

// Sixteen pixels of four bytes from four byte vectors in memory order.
inline void storeQuad8(uint8_t* d, __m128i q0, __m128i q1, __m128i q2, __m128i q3) {
    const __m128i lo01 = _mm_unpacklo_epi8(q0, q1), hi01 = _mm_unpackhi_epi8(q0, q1);
    const __m128i lo23 = _mm_unpacklo_epi8(q2, q3), hi23 = _mm_unpackhi_epi8(q2, q3);
    store16(d, _mm_unpacklo_epi16(lo01, lo23));
    store16(d + 16, _mm_unpackhi_epi16(lo01, lo23));
    store16(d + 32, _mm_unpacklo_epi16(hi01, hi23));
    store16(d + 48, _mm_unpackhi_epi16(hi01, hi23));
}

// Sixteen pixels of three bytes: built as four-byte pixels, then two pixels at a
// time squeezed to six bytes and written with an eight-byte store.
inline void storeTriple8(uint8_t* d, __m128i q0, __m128i q1, __m128i q2) {
    alignas(16) uint64_t lanes[8];
    storeQuad8(reinterpret_cast<uint8_t*>(lanes), q0, q1, q2, _mm_setzero_si128());
    for (int k = 0; k < 8; ++k) {
        const uint64_t x = lanes[k];
        const uint64_t six = (x & 0xFFFFFFull) | ((x >> 8) & 0xFFFFFF000000ull);
        std::memcpy(d + 6 * k, &six, 8);
    }
}

// Eight pixels of four 16-bit samples.
inline void storeQuad16(uint8_t* d, __m128i a, __m128i b, __m128i c, __m128i e) {
    const __m128i loAB = _mm_unpacklo_epi16(a, b), hiAB = _mm_unpackhi_epi16(a, b);
    const __m128i loCE = _mm_unpacklo_epi16(c, e), hiCE = _mm_unpackhi_epi16(c, e);
    store16(d, _mm_unpacklo_epi32(loAB, loCE));
    store16(d + 16, _mm_unpackhi_epi32(loAB, loCE));
    store16(d + 32, _mm_unpacklo_epi32(hiAB, hiCE));
    store16(d + 48, _mm_unpackhi_epi32(hiAB, hiCE));
}

// Eight pixels of three 16-bit samples: eight-byte pixels stored six bytes apart.
inline void storeTriple16(uint8_t* d, __m128i a, __m128i b, __m128i c) {
    const __m128i z = _mm_setzero_si128();
    const __m128i loAB = _mm_unpacklo_epi16(a, b), hiAB = _mm_unpackhi_epi16(a, b);
    const __m128i loC = _mm_unpacklo_epi16(c, z), hiC = _mm_unpackhi_epi16(c, z);
    const __m128i px[4] = {_mm_unpacklo_epi32(loAB, loC), _mm_unpackhi_epi32(loAB, loC),
                           _mm_unpacklo_epi32(hiAB, hiC), _mm_unpackhi_epi32(hiAB, hiC)};
    for (int k = 0; k < 4; ++k) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 12 * k), px[k]);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 12 * k + 6), _mm_srli_si128(px[k], 8));
    }
}

template <class W>
int32_t fastRow(uint8_t* d, const uint16_t* a, const uint16_t* b, const uint16_t* c,
                const uint16_t* e, int32_t w) {
    int32_t x = 0;
    const __m128i zero = _mm_setzero_si128();
    if constexpr (std::is_same_v<W, Gray8>) {
        for (; x + 16 <= w; x += 16) store16(d + x, highBytes(a + x));
    } else if constexpr (std::is_same_v<W, Gray16>) {
        std::memcpy(d, a, size_t(w) * 2);
        x = w;
    } else if constexpr (std::is_same_v<W, Xrgb8>) {
        for (; x + 16 <= w; x += 16) storeQuad8(d + 4 * x, zero, highBytes(a + x), highBytes(b + x), highBytes(c + x));
    } else if constexpr (std::is_same_v<W, Bgrx8>) {
        for (; x + 16 <= w; x += 16) storeQuad8(d + 4 * x, highBytes(c + x), highBytes(b + x), highBytes(a + x), zero);
    } else if constexpr (std::is_same_v<W, Cmyk8>) {
        for (; x + 16 <= w; x += 16)
            storeQuad8(d + 4 * x, highBytes(a + x), highBytes(b + x), highBytes(c + x), highBytes(e + x));
    } else if constexpr (std::is_same_v<W, Rgb8>) {
        for (; x + 16 < w; x += 16) storeTriple8(d + 3 * x, highBytes(a + x), highBytes(b + x), highBytes(c + x));
    } else if constexpr (std::is_same_v<W, Bgr8>) {
        for (; x + 16 < w; x += 16) storeTriple8(d + 3 * x, highBytes(c + x), highBytes(b + x), highBytes(a + x));
    } else if constexpr (std::is_same_v<W, Xrgb16>) {
        for (; x + 8 <= w; x += 8) storeQuad16(d + 8 * x, zero, load8(a + x), load8(b + x), load8(c + x));
    } else if constexpr (std::is_same_v<W, Bgrx16>) {
        for (; x + 8 <= w; x += 8) storeQuad16(d + 8 * x, load8(c + x), load8(b + x), load8(a + x), zero);
    } else if constexpr (std::is_same_v<W, Cmyk16>) {
        for (; x + 8 <= w; x += 8) storeQuad16(d + 8 * x, load8(a + x), load8(b + x), load8(c + x), load8(e + x));
    } else if constexpr (std::is_same_v<W, Rgb16>) {
        for (; x + 8 < w; x += 8) storeTriple16(d + 6 * x, load8(a + x), load8(b + x), load8(c + x));
    } else if constexpr (std::is_same_v<W, Bgr16>) {
        for (; x + 8 < w; x += 8) storeTriple16(d + 6 * x, load8(c + x), load8(b + x), load8(a + x));
    } else if constexpr (std::is_same_v<W, Rgb12>) {
        for (; x + 8 < w; x += 8)
            storeTriple16(d + 6 * x, _mm_srli_epi16(load8(a + x), 4), _mm_srli_epi16(load8(b + x), 4),
                          _mm_srli_epi16(load8(c + x), 4));
    }
    return x;
}
#else
template <class W>
int32_t fastRow(uint8_t*, const uint16_t*, const uint16_t*, const uint16_t*, const uint16_t*, int32_t) {
    return 0;
}
#endif

template <class W>
uint8_t* packOne3(uint16_t a, uint16_t b, uint16_t c, uint8_t* d, ptrdiff_t step) {
    W::put(d, a, b, c, 0);
    return d + step + (W::kPixel - W::kSample);
}

template <class W>
uint8_t* packOne4(uint16_t a, uint16_t b, uint16_t c, uint16_t e, uint8_t* d, ptrdiff_t step) {
    W::put(d, a, b, c, e);
    return d + step + (W::kPixel - W::kSample);
}

struct StripArgs {
    const uint16_t* p0;
    const uint16_t* p1;
    const uint16_t* p2;
    const uint16_t* p3; // a valid plane; repeats p0 for three-sample layouts
    uint8_t* base;
    ptrdiff_t start;     // offset of the first pixel from base
    ptrdiff_t advance;   // from one pixel to the next
    ptrdiff_t rowAdjust; // after the last pixel of a row
    size_t stride;       // samples from one plane row to the next
    int32_t width;
    int32_t height;
};

// Contiguous rows (no rotation) get a loop over fixed-size pixels the compiler can
// unroll and vectorise; turned strips walk with the geometry's advance.
template <class W>
void packStrip(StripArgs s) {
    // Offsets rather than a moving pointer: a turned strip walks backwards and
    // would otherwise step outside the buffer between rows.
    ptrdiff_t offset = s.start;
    for (int32_t r = 0; r < s.height; ++r) {
        const uint16_t* __restrict a = s.p0;
        const uint16_t* __restrict b = s.p1;
        const uint16_t* __restrict c = s.p2;
        const uint16_t* __restrict e = s.p3;
        uint8_t* __restrict d = s.base + offset;
        const int32_t w = s.width;
        if (s.advance == W::kPixel) {
            for (int32_t x = fastRow<W>(d, a, b, c, e, w); x < w; ++x)
                W::put(d + ptrdiff_t(x) * W::kPixel, a[x], b[x], c[x], e[x]);
        } else {
            const ptrdiff_t adv = s.advance;
            for (int32_t x = 0; x < w; ++x) W::put(d + ptrdiff_t(x) * adv, a[x], b[x], c[x], e[x]);
        }
        offset += ptrdiff_t(w) * s.advance + s.rowAdjust;
        s.p0 += s.stride;
        s.p1 += s.stride;
        s.p2 += s.stride;
        s.p3 += s.stride;
    }
}

} // namespace

uint8_t* OutputStage::PackGray8(uint16_t a, uint16_t b, uint16_t c, uint8_t* d, ptrdiff_t s) { return packOne3<Gray8>(a, b, c, d, s); }
uint8_t* OutputStage::PackGray16(uint16_t a, uint16_t b, uint16_t c, uint8_t* d, ptrdiff_t s) { return packOne3<Gray16>(a, b, c, d, s); }
uint8_t* OutputStage::PackRgb8(uint16_t a, uint16_t b, uint16_t c, uint8_t* d, ptrdiff_t s) { return packOne3<Rgb8>(a, b, c, d, s); }
uint8_t* OutputStage::PackXrgb8(uint16_t a, uint16_t b, uint16_t c, uint8_t* d, ptrdiff_t s) { return packOne3<Xrgb8>(a, b, c, d, s); }
uint8_t* OutputStage::PackRgb16(uint16_t a, uint16_t b, uint16_t c, uint8_t* d, ptrdiff_t s) { return packOne3<Rgb16>(a, b, c, d, s); }
uint8_t* OutputStage::PackXrgb16(uint16_t a, uint16_t b, uint16_t c, uint8_t* d, ptrdiff_t s) { return packOne3<Xrgb16>(a, b, c, d, s); }
uint8_t* OutputStage::PackBgr8(uint16_t a, uint16_t b, uint16_t c, uint8_t* d, ptrdiff_t s) { return packOne3<Bgr8>(a, b, c, d, s); }
uint8_t* OutputStage::PackBgrx8(uint16_t a, uint16_t b, uint16_t c, uint8_t* d, ptrdiff_t s) { return packOne3<Bgrx8>(a, b, c, d, s); }
uint8_t* OutputStage::PackBgr16(uint16_t a, uint16_t b, uint16_t c, uint8_t* d, ptrdiff_t s) { return packOne3<Bgr16>(a, b, c, d, s); }
uint8_t* OutputStage::PackBgrx16(uint16_t a, uint16_t b, uint16_t c, uint8_t* d, ptrdiff_t s) { return packOne3<Bgrx16>(a, b, c, d, s); }
uint8_t* OutputStage::PackRgb12(uint16_t a, uint16_t b, uint16_t c, uint8_t* d, ptrdiff_t s) { return packOne3<Rgb12>(a, b, c, d, s); }
uint8_t* OutputStage::PackLab8(uint16_t a, uint16_t b, uint16_t c, uint8_t* d, ptrdiff_t s) { return packOne3<Lab8>(a, b, c, d, s); }
uint8_t* OutputStage::PackCmyk8(uint16_t a, uint16_t b, uint16_t c, uint16_t e, uint8_t* d, ptrdiff_t s) { return packOne4<Cmyk8>(a, b, c, e, d, s); }
uint8_t* OutputStage::PackCmyk16(uint16_t a, uint16_t b, uint16_t c, uint16_t e, uint8_t* d, ptrdiff_t s) { return packOne4<Cmyk16>(a, b, c, e, d, s); }

OutputStage::OutputStage() = default;

VqStatus OutputStage::Init(uint32_t type, float rot, int32_t left, int32_t right, int32_t pad,
                           int32_t w, int32_t h, int32_t bps, int32_t ch) {
    outputType = type;
    rotation = rot;
    leftSkip = left;
    rightSkip = right;
    padBytes = pad;
    width = w;
    height = h;
    bytesPerSample = bps;
    channels = ch;
    SetPacker(type);
    return VQ_OK;
}

void OutputStage::SetPacker(uint32_t type) {
    switch (type) {
    case VQ_TYPE_RAW: packer3 = bytesPerSample == 1 ? &PackGray8 : &PackGray16; break;
    case VQ_TYPE_GRAY8:
    case VQ_TYPE_MONO8: packer3 = &PackGray8; break;
    case VQ_TYPE_GRAY16:
    case VQ_TYPE_MONO16: packer3 = &PackGray16; break;
    case VQ_TYPE_RGB8:
    case VQ_TYPE_CAMERA_RGB8: packer3 = &PackRgb8; break;
    case VQ_TYPE_XRGB8: packer3 = &PackXrgb8; break;
    case VQ_TYPE_RGB16:
    case VQ_TYPE_CAMERA_RGB16:
    case VQ_TYPE_LAB16: packer3 = &PackRgb16; break;
    case VQ_TYPE_XRGB16: packer3 = &PackXrgb16; break;
    case VQ_TYPE_BGR8: packer3 = &PackBgr8; break;
    case VQ_TYPE_BGRX8: packer3 = &PackBgrx8; break;
    case VQ_TYPE_BGR16: packer3 = &PackBgr16; break;
    case VQ_TYPE_BGRX16: packer3 = &PackBgrx16; break;
    case VQ_TYPE_CAMERA_RGB12: packer3 = &PackRgb12; break;
    case VQ_TYPE_LAB8: packer3 = &PackLab8; break;
    case VQ_TYPE_CMYK8: packer4 = &PackCmyk8; break;
    case VQ_TYPE_CMYK16: packer4 = &PackCmyk16; break;
    default: packer3 = nullptr; break;
    }
}

bool OutputStage::GeometryFor(Geometry* g) const {
    // The rotation counts in whole degrees; anything outside the four turns
    // (NaN included) is refused before it is converted.
    if (!(rotation > -1.0f && rotation < 271.0f)) return false;
    const int32_t degrees = int32_t(rotation);
    const ptrdiff_t w = width, h = height, bps = bytesPerSample, pad = padBytes;
    const ptrdiff_t bpp = bps * channels;
    switch (degrees) {
    case 0: *g = {bps, pad, 0}; return true;
    case 90: *g = {(h - 1) * bpp + bps + pad, -((w * h + 1) * bpp + w * pad), (h - 1) * bpp}; return true;
    case 180: *g = {bps - 2 * bpp, -pad, (w * h - 1) * bpp + (h - 1) * pad}; return true;
    case 270: *g = {bps - (h + 1) * bpp - pad, (w * h + 1) * bpp + w * pad, (h * bpp + pad) * (w - 1)}; return true;
    default: return false;
    }
}

uint32_t OutputStage::PadTotal() const {
    if (!(rotation > -1.0f && rotation < 271.0f)) return 0;
    switch (int32_t(rotation)) {
    case 0:
    case 180: return uint32_t(height) * uint32_t(padBytes);
    case 90:
    case 270: return uint32_t(width) * uint32_t(padBytes);
    default: return 0;
    }
}

VqStatus OutputStage::PackReference(const uint16_t* p0, const uint16_t* p1, const uint16_t* p2,
                                    const uint16_t* p3, uint8_t* d) const {
    Geometry g;
    if (!GeometryFor(&g)) return VQ_ERR_BAD_ROTATION;
    if (!packer3 && !packer4) return VQ_ERR_NULL_PLANES;
    // The packer that will run must exist and so must every plane it reads.
    if (p3 ? !packer4 : !packer3) return VQ_ERR_NULL_PLANES;
    if (!p0 || !p1 || !p2 || !d) return VQ_ERR_NULL_PLANES;
    if (width <= 0 || height <= 0) return VQ_OK;
    p0 += leftSkip;
    p1 += leftSkip;
    p2 += leftSkip;
    if (p3) p3 += leftSkip;
    const size_t stride = size_t(leftSkip) + size_t(width) + size_t(rightSkip);
    d += g.start;
    for (int32_t r = 0; r < height; ++r) {
        for (int32_t c = 0; c < width; ++c) {
            d = p3 ? packer4(p0[c], p1[c], p2[c], p3[c], d, g.step)
                   : packer3(p0[c], p1[c], p2[c], d, g.step);
        }
        p0 += stride;
        p1 += stride;
        p2 += stride;
        if (p3) p3 += stride;
        d += g.rowAdjust;
    }
    return VQ_OK;
}

VqStatus OutputStage::Pack(const uint16_t* p0, const uint16_t* p1, const uint16_t* p2,
                           const uint16_t* p3, uint8_t* d) const {
    Geometry g;
    if (!GeometryFor(&g)) return VQ_ERR_BAD_ROTATION;
    if (!packer3 && !packer4) return VQ_ERR_NULL_PLANES;
    if (p3 ? !packer4 : !packer3) return VQ_ERR_NULL_PLANES;
    if (!p0 || !p1 || !p2 || !d) return VQ_ERR_NULL_PLANES;
    if (width <= 0 || height <= 0) return VQ_OK;

    StripArgs s;
    s.p0 = p0 + leftSkip;
    s.p1 = p1 + leftSkip;
    s.p2 = p2 + leftSkip;
    s.p3 = p3 ? p3 + leftSkip : s.p0;
    s.base = d;
    s.start = g.start;
    s.rowAdjust = g.rowAdjust;
    s.stride = size_t(leftSkip) + size_t(width) + size_t(rightSkip);
    s.width = width;
    s.height = height;

    // The pixel advance is the packer's answer: step plus its own pixel less
    // sample size.
    auto run = [&](auto writer) {
        using W = decltype(writer);
        s.advance = g.step + (W::kPixel - W::kSample);
        packStrip<W>(s);
        return VQ_OK;
    };
    if (p3) {
        if (packer4 == &PackCmyk8) return run(Cmyk8{});
        if (packer4 == &PackCmyk16) return run(Cmyk16{});
    } else {
        if (packer3 == &PackGray8) return run(Gray8{});
        if (packer3 == &PackGray16) return run(Gray16{});
        if (packer3 == &PackRgb8) return run(Rgb8{});
        if (packer3 == &PackXrgb8) return run(Xrgb8{});
        if (packer3 == &PackRgb16) return run(Rgb16{});
        if (packer3 == &PackXrgb16) return run(Xrgb16{});
        if (packer3 == &PackBgr8) return run(Bgr8{});
        if (packer3 == &PackBgrx8) return run(Bgrx8{});
        if (packer3 == &PackBgr16) return run(Bgr16{});
        if (packer3 == &PackBgrx16) return run(Bgrx16{});
        if (packer3 == &PackRgb12) return run(Rgb12{});
        if (packer3 == &PackLab8) return run(Lab8{});
    }
    // A packer installed from outside: one call per pixel.
    return PackReference(p0, p1, p2, p3, d);
}

} // namespace lumora
