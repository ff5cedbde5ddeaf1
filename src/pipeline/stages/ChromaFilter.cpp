#include "ChromaFilter.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>

#include "IntOps.h"
#include "VqStatus.h"

namespace lumora {

namespace {

constexpr int kRowScratch = 9;

inline int16_t Min3(int16_t a, int16_t b, int16_t c) {
    const int16_t m = a < b ? a : b;
    return m < c ? m : c;
}
inline int16_t Max2(int16_t a, int16_t b) { return a > b ? a : b; }

// Results with none of bits 12-15 set stay; negatives become 0, the rest 4095.
inline int16_t Limit12(int32_t v) {
    const int16_t s = wrap16(v);
    return (s & 0xF000) == 0 ? s : (s < 0 ? int16_t(0) : int16_t(4095));
}

inline int16_t LimitTo(int32_t v, int16_t maximum) {
    v = v < 0 ? 0 : v;
    return int16_t(v > maximum ? maximum : v);
}

// out := 3x3 minimum of in at every sample at least border samples from the
// plane's edges; tmp holds one row of column minima.
inline void Minimum3x3(const int16_t* in, int16_t* out, int16_t* __restrict tmp, int width, int height,
                       int border) {
    const ptrdiff_t W = width;
    for (int y = border; y < height - border; ++y) {
        const int16_t* __restrict a = in + (y - 1) * W;
        const int16_t* __restrict b = in + y * W;
        const int16_t* __restrict c = in + (y + 1) * W;
        for (int x = 0; x < width; ++x) tmp[x] = Min3(a[x], b[x], c[x]);
        int16_t* __restrict row = out + y * W;
        for (int x = border; x < width - border; ++x) row[x] = Min3(tmp[x - 1], tmp[x], tmp[x + 1]);
    }
}

} // namespace

ChromaFilter::ChromaFilter() = default;

ChromaFilter::~ChromaFilter() {
    delete[] work1_;
    delete[] work2_;
    delete[] activity_;
    delete[] rows_;
}

uint32_t ChromaFilter::SetSettings(const ChromaSettings* settings) {
    settings_ = settings;
    return 0;
}

uint32_t ChromaFilter::AddMargins(int32_t* margins) const {
    if (!settings_ || !margins) return VQ_ERR_BAD_HANDLE;
    if (IsActive(*settings_)) {
        margins[2] += kMargin;
        margins[3] += kMargin;
    }
    return 0;
}

bool ChromaFilter::Reserve(int16_t*& plane, uint32_t& capacity, uint32_t bytes) {
    if (capacity >= bytes && plane) return true;
    delete[] plane;
    plane = new (std::nothrow) int16_t[bytes / 2];
    capacity = plane ? bytes : 0;
    return plane != nullptr;
}

// Open-close of one colour-difference plane d with work plane w. The activity plane
// serves as the row buffer of the separable minimum and maximum: it is rebuilt
// from scratch afterwards.
void ChromaFilter::Clean(int16_t* d, int16_t* w, int width, int height) {
    const ptrdiff_t W = width;
    int16_t* __restrict tmp = reinterpret_cast<int16_t*>(activity_);
    // Samples no window reaches keep their colour difference, so every sample of
    // the work plane is defined.
    std::memcpy(w, d, size_t(W) * sizeof(int16_t));
    std::memcpy(w + (height - 1) * W, d + (height - 1) * W, size_t(W) * sizeof(int16_t));
    for (int y = 1; y < height - 1; ++y) {
        w[y * W] = d[y * W];
        w[y * W + W - 1] = d[y * W + W - 1];
    }
    // W := 3x3 minimum of D inside a 1-sample border.
    Minimum3x3(d, w, tmp, width, height, 1);
    // D := 5x5 maximum of W inside a 3-sample border.
    for (int y = 3; y < height - 3; ++y) {
        const int16_t* __restrict r0 = w + (y - 2) * W;
        const int16_t* __restrict r1 = w + (y - 1) * W;
        const int16_t* __restrict r2 = w + y * W;
        const int16_t* __restrict r3 = w + (y + 1) * W;
        const int16_t* __restrict r4 = w + (y + 2) * W;
        for (int x = 0; x < width; ++x) tmp[x] = Max2(Max2(Max2(r0[x], r1[x]), Max2(r2[x], r3[x])), r4[x]);
        int16_t* __restrict out = d + y * W;
        for (int x = 3; x < width - 3; ++x)
            out[x] = Max2(Max2(Max2(tmp[x - 2], tmp[x - 1]), Max2(tmp[x], tmp[x + 1])), tmp[x + 2]);
    }
    // W := 3x3 minimum of D inside a 4-sample border.
    Minimum3x3(d, w, tmp, width, height, 4);
}

// Edge activity from column and row sums: Gh and Gv come from vertical sums of
// five rows and from differences of the rows two and one away.
void ChromaFilter::Activity(const int16_t* yPlane, const int16_t* w1, const int16_t* w2, int width, int height) {
    const ptrdiff_t W = width;
    std::memset(activity_, 0, size_t(W) * size_t(height) * sizeof(uint16_t));
    int32_t* __restrict sum5 = rows_;
    int32_t* __restrict sumW = rows_ + W;
    int32_t* __restrict diff2 = rows_ + 2 * W;
    int32_t* __restrict diff1 = rows_ + 3 * W;
    for (const int16_t* p : {yPlane, w1, w2}) {
        for (int y = 5; y < height - 5; ++y) {
            const int16_t* __restrict m2 = p + (y - 2) * W;
            const int16_t* __restrict m1 = p + (y - 1) * W;
            const int16_t* __restrict c0 = p + y * W;
            const int16_t* __restrict p1 = p + (y + 1) * W;
            const int16_t* __restrict p2 = p + (y + 2) * W;
            for (int x = 0; x < width; ++x) {
                const int32_t inner = int32_t(m1[x]) + c0[x] + p1[x];
                sum5[x] = inner + m2[x] + p2[x];
                sumW[x] = 2 * inner + m2[x] + p2[x];
                diff2[x] = int32_t(p2[x]) - m2[x];
                diff1[x] = int32_t(p1[x]) - m1[x];
            }
            uint16_t* __restrict a = activity_ + y * W;
            for (int x = 5; x < width - 5; ++x) {
                const int32_t gh = sum5[x - 2] + sumW[x - 1] - sum5[x + 2] - sumW[x + 1];
                const int32_t gv = diff2[x - 2] + diff2[x - 1] + diff2[x] + diff2[x + 1] + diff2[x + 2] +
                                   diff1[x - 2] + 2 * (diff1[x - 1] + diff1[x] + diff1[x + 1]) + diff1[x + 2];
                const uint32_t term = (2u * uint32_t(std::abs(gh) + std::abs(gv)) + 6u) / 13u;
                const uint32_t total = a[x] + term;
                a[x] = uint16_t(total > 65535u ? 65535u : total);
            }
        }
    }
}

// Every ray is walked for a whole row at once: a per-column flag stays set while
// the ray's samples keep a similar activity, so the loops have no branch.
void ChromaFilter::Average(int16_t* c1, int16_t* c2, const int16_t* w1, const int16_t* w2, int width,
                           int height) {
    static constexpr int kRays[8][2] = {{0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1}, {-1, -1}, {-1, 0}, {-1, 1}};
    const ptrdiff_t W = width;
    int32_t* __restrict sum1 = rows_;
    int32_t* __restrict sum2 = rows_ + W;
    int32_t* __restrict count = rows_ + 2 * W;
    int32_t* __restrict alive = rows_ + 3 * W;
    const int m = ChromaFilter::kMargin;
    for (int y = m; y < height - m; ++y) {
        const uint16_t* __restrict a = activity_ + y * W;
        for (int x = m; x < width - m; ++x) {
            sum1[x] = w1[y * W + x];
            sum2[x] = w2[y * W + x];
            count[x] = 1;
        }
        for (const auto& ray : kRays) {
            for (int x = m; x < width - m; ++x) alive[x] = -1;
            for (int step = 1; step <= 4; ++step) {
                const ptrdiff_t off = (y + step * ray[0]) * W + step * ray[1];
                const uint16_t* __restrict b = activity_ + off;
                const int16_t* __restrict v1 = w1 + off;
                const int16_t* __restrict v2 = w2 + off;
                for (int x = m; x < width - m; ++x) {
                    const uint32_t gap = uint32_t(int32_t(a[x]) + 64 - int32_t(b[x]));
                    const int32_t take = alive[x] & (gap <= 127u ? -1 : 0);
                    alive[x] = take;
                    sum1[x] += v1[x] & take;
                    sum2[x] += v2[x] & take;
                    count[x] -= take;
                }
            }
        }
        int16_t* __restrict o1 = c1 + y * W;
        int16_t* __restrict o2 = c2 + y * W;
        for (int x = m; x < width - m; ++x) {
            // Sums stay far below 2^52: the double quotient truncates to the integer one.
            const double n = double(count[x]);
            o1[x] = int16_t(int32_t(double(sum1[x] + (count[x] >> 1)) / n));
            o2[x] = int16_t(int32_t(double(sum2[x] + (count[x] >> 1)) / n));
        }
    }
}

uint32_t ChromaFilter::Apply(int16_t* plane0, int16_t* plane1, int16_t* plane2, int32_t width, int32_t height,
                             int32_t, int32_t) {
    if (!settings_) return VQ_ERR_BAD_HANDLE;
    if (!IsActive(*settings_)) return 0;
    if (width <= 0 || height <= 0) return 0;
    if (!plane0 || !plane1 || !plane2) return VQ_ERR_NULL_PLANES;
    const uint64_t bytes = uint64_t(width) * uint64_t(height) * 2u;
    if (bytes > 0x7FFFFFFFu) return VQ_ERR_PROCESS_NO_MEMORY;
    plane0_ = plane0;
    plane1_ = plane1;
    plane2_ = plane2;
    width_ = width;
    height_ = height;
    planeBytes_ = uint32_t(bytes);
    if (!Reserve(work1_, work1Capacity_, planeBytes_) || !Reserve(work2_, work2Capacity_, planeBytes_)) {
        delete[] work1_;
        delete[] work2_;
        work1_ = work2_ = nullptr;
        work1Capacity_ = work2Capacity_ = 0;
        return VQ_ERR_PROCESS_NO_MEMORY;
    }
    if (activityCapacity_ < planeBytes_ || !activity_) {
        delete[] activity_;
        activity_ = new (std::nothrow) uint16_t[planeBytes_ / 2];
        activityCapacity_ = activity_ ? planeBytes_ : 0;
        if (!activity_) {
            delete[] work1_;
            delete[] work2_;
            work1_ = work2_ = nullptr;
            work1Capacity_ = work2Capacity_ = 0;
            return VQ_ERR_PROCESS_NO_MEMORY;
        }
    }
    if (!rows_ || rowsWidth_ < width) {
        delete[] rows_;
        rows_ = new (std::nothrow) int32_t[size_t(kRowScratch) * size_t(width)];
        rowsWidth_ = rows_ ? width : 0;
        if (!rows_) return VQ_ERR_PROCESS_NO_MEMORY;
    }

    const size_t n = size_t(width) * size_t(height);
    const bool second = settings_->layout == 1;
    int16_t* __restrict p0 = plane0;
    int16_t* __restrict p1 = plane1;
    int16_t* __restrict p2 = plane2;
    if (!second) {
        for (size_t i = 0; i < n; ++i) {
            const int32_t a = p0[i], b = p1[i], c = p2[i];
            p0[i] = wrap16(asr32(a + 2 * b + c + 2, 2));
            p1[i] = wrap16(asr32(2 * b - a - c + 2, 2));
            p2[i] = wrap16(asr32(c - a + 1, 1));
        }
    } else {
        for (size_t i = 0; i < n; ++i) {
            const int32_t a = p0[i], b = p1[i], c = p2[i];
            const int32_t y = asr32(b + c + 1, 1);
            p0[i] = wrap16(y);
            p1[i] = wrap16(y - a);
            p2[i] = wrap16(c - b);
        }
    }

    Clean(plane1, work1_, width, height);
    Clean(plane2, work2_, width, height);
    Activity(plane0, work1_, work2_, width, height);

    const uint32_t sensitivity = uint32_t(settings_->sensitivity);
    if (sensitivity == 0) {
        std::memcpy(plane1, work1_, n * sizeof(int16_t));
        std::memcpy(plane2, work2_, n * sizeof(int16_t));
    } else {
        if (sensitivity != 64) {
            const uint64_t k = uint64_t((64.0 / double(sensitivity)) * 65536.0);
            uint16_t* __restrict a = activity_;
            // A scaled activity past 16 bits saturates: wrapping would make the
            // busiest samples look flat.
            for (size_t i = 0; i < n; ++i) {
                const uint64_t v = (uint64_t(a[i]) * k) >> 16;
                a[i] = uint16_t(v > 65535u ? 65535u : v);
            }
        }
        Average(plane1, plane2, work1_, work2_, width, height);
    }

    if (!second) {
        for (size_t i = 0; i < n; ++i) {
            const int32_t y = p0[i], c1 = p1[i], c2 = p2[i];
            p0[i] = Limit12(y - c1 - c2);
            p1[i] = Limit12(y + c1);
            p2[i] = Limit12(y - c1 + c2);
        }
    } else {
        const int16_t top = maximum_;
        for (size_t i = 0; i < n; ++i) {
            const int32_t y = p0[i], c1 = p1[i], c2 = p2[i];
            p0[i] = LimitTo(y - c1, top);
            p1[i] = LimitTo(asr32(2 * y - c2, 1), top);
            p2[i] = LimitTo(asr32(c2 + 2 * y, 1), top);
        }
    }
    return 0;
}

} // namespace lumora
