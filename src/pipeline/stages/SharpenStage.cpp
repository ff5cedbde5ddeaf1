#include "SharpenStage.h"

#include <cmath>
#include <cstddef>
#include <memory>
#include <new>

#include "IntOps.h"
#include "VqStatus.h"

namespace lumora {

namespace {

struct Preset {
    int16_t levelDivisors[3];
};

constexpr int16_t kPresetKernel[25] = {-1, 0, -1, 0, -1, 0, 0, 0, 0, 0, -1, 0, 8, 0, -1,
                                       0,  0, 0,  0, 0, -1, 0, -1, 0, -1};
constexpr int32_t kPresetCoring[5] = {1, 5, 10, 2047, 2047};
constexpr Preset kStrong{{32, 16, 8}};
constexpr Preset kMedium{{16, 8, 4}};
constexpr Preset kModel18{{8, 10, 16}};
constexpr const Preset* kPresets[23] = {
    nullptr, nullptr, nullptr, nullptr,  nullptr,  nullptr,  nullptr,   nullptr,  nullptr, nullptr, nullptr, &kStrong,
    &kStrong, &kStrong, &kMedium, &kMedium, &kStrong, &kMedium, &kModel18, &kMedium, &kMedium, &kStrong, &kStrong};

struct Band {
    int32_t value, low, high;
};
constexpr Band kBands[3] = {{33, 17, 49}, {67, 50, 83}, {100, 84, 100}};

int16_t RoundHalfAway(double v) {
    const double r = std::round(v);
    // Out-of-range values wrap as a 16-bit store would; never convert beyond int range.
    const double limited = r < -2147483648.0 ? -2147483648.0 : (r > 2147483647.0 ? 2147483647.0 : r);
    return wrap16(int32_t(int64_t(limited)));
}

} // namespace

SharpenStage::SharpenStage()
    : parameters_{&width, &height, &mode, kernelBlock, &divisor, &gain, &coreLow, &coreHigh, &linearEnd, &cutoff} {}

SharpenStage::~SharpenStage() { delete[] coringTable_; }

void SharpenStage::BuildCoringTable(int16_t* table, int32_t gain, int32_t coreLow, int32_t coreHigh,
                                    int32_t linearEnd, int32_t cutoff) {
    int16_t* t = table + 2048;
    for (int32_t i = 0; i <= 2047; ++i) {
        double v;
        if (i <= coreLow || i >= cutoff) {
            v = 0;
        } else if (i <= coreHigh) {
            // In double: stored coring values may lie anywhere in 32 bits.
            v = (double(i) - double(coreLow)) / (double(coreHigh) - double(coreLow)) * (double(gain) * coreHigh);
        } else if (i <= linearEnd) {
            v = double(gain) * i;
        } else {
            // linearEnd < i here, so its entry is already stored when it lies in the table.
            const double atEnd = linearEnd >= 0 ? t[linearEnd] : 0.0;
            v = atEnd / (double(linearEnd) - double(cutoff)) * (double(i) - double(cutoff));
        }
        t[i] = RoundHalfAway(v);
        // Detail 0 has no mirror: mirroring it would flip the sign of T(0), which
        // is not 0 when coreLow is negative.
        if (i > 0) t[-i] = wrap16(-int32_t(t[i]));
    }
    table[0] = t[-2047];   // never looked up
}

int16_t SharpenStage::CoringLookup(const int16_t* table, int32_t detail) {
    const int32_t d = detail < -2047 ? -2047 : (detail > 2047 ? 2047 : detail);
    return table[d + 2048];
}

int32_t SharpenStage::ClassifyKernel(const int16_t* k, int32_t divisor) {
    const bool powerOfTwo = divisor > 0 && (divisor & (divisor - 1)) == 0;
    bool sparse = true;
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c)
            if (((r & 1) || (c & 1)) && k[r * 5 + c] != 0) sparse = false;
    bool minusOnes = true;
    for (int i : {0, 2, 4, 10, 14, 20, 22, 24}) minusOnes &= k[i] == -1;
    if (!sparse) return powerOfTwo ? 2 : 1;
    if (!minusOnes) return powerOfTwo ? 4 : 3;
    return powerOfTwo ? 6 : 5;
}

namespace {

// Detail rows of plane2. The kernel class decides the sum once per strip; every
// loop is branch-free over a row. Sums wrap in 32 bits as the fixed-point rules do.
struct Taps {
    int32_t k22, k23, k24, k33, k34, k44;
};

void DetailRows(const int16_t* p, int16_t* detail, int32_t* __restrict sums, int w, int h, int kernelClass,
                const Taps& k, int32_t divisor) {
    const bool shifted = kernelClass % 2 == 0;
    // A shifted class has a power-of-two divisor (checked by the caller).
    const uint32_t shift = [&] {
        uint32_t e = 0;
        if (shifted) lumora::intLog2(divisor, e);
        return e;
    }();
    for (int y = 2; y < h - 2; ++y) {
        const int16_t* __restrict m2 = p + size_t(y - 2) * w;
        const int16_t* __restrict m1 = p + size_t(y - 1) * w;
        const int16_t* __restrict c0 = p + size_t(y) * w;
        const int16_t* __restrict p1 = p + size_t(y + 1) * w;
        const int16_t* __restrict p2 = p + size_t(y + 2) * w;
        int16_t* __restrict out = detail + size_t(y) * w;
        if (kernelClass >= 5) {
            for (int x = 2; x < w - 2; ++x) {
                const uint32_t ring = uint32_t(c0[x - 2]) + uint32_t(c0[x + 2]) + uint32_t(m2[x]) + uint32_t(p2[x]) +
                                      uint32_t(m2[x - 2]) + uint32_t(m2[x + 2]) + uint32_t(p2[x - 2]) +
                                      uint32_t(p2[x + 2]);
                sums[x] = int32_t(uint32_t(k.k22) * uint32_t(c0[x]) - ring);
            }
        } else if (kernelClass >= 3) {
            for (int x = 2; x < w - 2; ++x) {
                const uint32_t cross = uint32_t(c0[x - 2]) + uint32_t(c0[x + 2]) + uint32_t(m2[x]) + uint32_t(p2[x]);
                const uint32_t corner =
                    uint32_t(m2[x - 2]) + uint32_t(m2[x + 2]) + uint32_t(p2[x - 2]) + uint32_t(p2[x + 2]);
                sums[x] = int32_t(uint32_t(k.k22) * uint32_t(c0[x]) + uint32_t(k.k24) * cross +
                                  uint32_t(k.k44) * corner);
            }
        } else {
            for (int x = 2; x < w - 2; ++x) {
                const uint32_t n1 = uint32_t(c0[x - 1]) + uint32_t(c0[x + 1]) + uint32_t(m1[x]) + uint32_t(p1[x]);
                const uint32_t n2 = uint32_t(c0[x - 2]) + uint32_t(c0[x + 2]) + uint32_t(m2[x]) + uint32_t(p2[x]);
                const uint32_t d1 =
                    uint32_t(m1[x - 1]) + uint32_t(m1[x + 1]) + uint32_t(p1[x - 1]) + uint32_t(p1[x + 1]);
                const uint32_t kn = uint32_t(m1[x - 2]) + uint32_t(m1[x + 2]) + uint32_t(p1[x - 2]) +
                                    uint32_t(p1[x + 2]) + uint32_t(m2[x - 1]) + uint32_t(m2[x + 1]) +
                                    uint32_t(p2[x - 1]) + uint32_t(p2[x + 1]);
                const uint32_t d2 =
                    uint32_t(m2[x - 2]) + uint32_t(m2[x + 2]) + uint32_t(p2[x - 2]) + uint32_t(p2[x + 2]);
                sums[x] = int32_t(uint32_t(k.k22) * uint32_t(c0[x]) + uint32_t(k.k23) * n1 + uint32_t(k.k24) * n2 +
                                  uint32_t(k.k33) * d1 + uint32_t(k.k34) * kn + uint32_t(k.k44) * d2);
            }
        }
        if (shifted) {
            for (int x = 2; x < w - 2; ++x) out[x] = wrap16(asr32(sums[x], shift));
        } else {
            for (int x = 2; x < w - 2; ++x) out[x] = wrap16(int32_t(int64_t(sums[x]) / divisor));
        }
    }
}

} // namespace

uint32_t SharpenStage::ApplyWithMaximum(int16_t* plane1, int16_t* plane2, int16_t* plane3, int16_t max) {
    maximum = max;
    return Apply(plane1, plane2, plane3);
}

uint32_t SharpenStage::Apply(int16_t* plane1, int16_t* plane2, int16_t* plane3) {
    if (mode != 0 && mode != 2) return 0;
    // No divisor means no sharpening; planes below the kernel size have no interior.
    if (divisor == 0 || width < 5 || height < 5) return 0;
    if (!plane2 || (mode == 0 && (!plane1 || !plane3))) return VQ_ERR_NULL_PLANES;
    if (!coringTable_) {
        coringTable_ = new (std::nothrow) int16_t[4096];
        if (!coringTable_) return VQ_ERR_PROCESS_NO_MEMORY;
        BuildCoringTable(coringTable_, gain, coreLow, coreHigh, linearEnd, cutoff);
    }
    const int w = width, h = height;
    const size_t n = size_t(w) * size_t(h);
    std::unique_ptr<int16_t[]> detail(new (std::nothrow) int16_t[n]);
    std::unique_ptr<int16_t[]> correction(new (std::nothrow) int16_t[size_t(w)]);
    std::unique_ptr<int32_t[]> sums(new (std::nothrow) int32_t[size_t(w)]);
    if (!detail || !correction || !sums) return VQ_ERR_PROCESS_NO_MEMORY;
    if (kernelClass == 0) kernelClass = ClassifyKernel(kernelBlock + 3, divisor);
    const bool shifted = kernelClass % 2 == 0;
    if (shifted && !(divisor > 0 && (divisor & (divisor - 1)) == 0)) return VQ_ERR_BAD_FILE;

    const int16_t* k = kernelBlock + 3;
    const Taps taps{k[12], k[13], k[14], k[18], k[19], k[24]};
    DetailRows(plane2, detail.get(), sums.get(), w, h, kernelClass, taps, divisor);

    // Border samples have detail 0 and so get T(0).
    const int16_t atZero = coringTable_[2048];
    const int16_t top = maximum;
    int16_t* __restrict corr = correction.get();
    for (int y = 0; y < h; ++y) {
        const bool inner = y >= 2 && y < h - 2;
        const int16_t* d = detail.get() + size_t(y) * w;
        for (int x = 0; x < w; ++x) corr[x] = atZero;
        if (inner)
            for (int x = 2; x < w - 2; ++x) corr[x] = CoringLookup(coringTable_, d[x]);
        int16_t* __restrict q2 = plane2 + size_t(y) * w;
        if (mode == 0) {
            int16_t* __restrict q1 = plane1 + size_t(y) * w;
            int16_t* __restrict q3 = plane3 + size_t(y) * w;
            for (int x = 0; x < w; ++x) {
                const int16_t a = wrap16(int32_t(q1[x]) + corr[x]);
                const int16_t b = wrap16(int32_t(q2[x]) + corr[x]);
                const int16_t c = wrap16(int32_t(q3[x]) + corr[x]);
                q1[x] = a < 0 ? int16_t(0) : a;
                q2[x] = b < 0 ? int16_t(0) : b;
                q3[x] = c < 0 ? int16_t(0) : c;
            }
        } else {
            for (int x = 0; x < w; ++x) {
                int32_t v = int32_t(q2[x]) + corr[x];
                v = v < 0 ? 0 : v;
                q2[x] = int16_t(v > top ? top : v);
            }
        }
    }
    return 0;
}

uint32_t SharpenStage::GetPresetParameters(int16_t* kernelBlock, int32_t* gain, int32_t* coreLow, int32_t* coreHigh,
                                           int32_t* linearEnd, int32_t* cutoff, int modelId) {
    if (modelId < 0 || modelId >= 23 || !kPresets[modelId]) return VQ_ERR_BAD_HANDLE;
    if (!kernelBlock || !gain || !coreLow || !coreHigh || !linearEnd || !cutoff) return VQ_ERR_BAD_HANDLE;
    const Preset& p = *kPresets[modelId];
    for (int i = 0; i < 3; ++i) kernelBlock[i] = p.levelDivisors[i];
    for (int i = 0; i < 25; ++i) kernelBlock[3 + i] = kPresetKernel[i];
    *gain = kPresetCoring[0];
    *coreLow = kPresetCoring[1];
    *coreHigh = kPresetCoring[2];
    *linearEnd = kPresetCoring[3];
    *cutoff = kPresetCoring[4];
    return 0;
}

uint32_t SharpenStage::MapLevel(const int16_t* kernelBlock, int32_t* level, int32_t* band) {
    if (!kernelBlock || !level || !band) return VQ_ERR_BAD_HANDLE;
    if (*level < 0 || *level > 100) {
        *level = 0;
        *band = 0;
        return VQ_ERR_VALUE_OUT_OF_RANGE;
    }
    const bool listed = kernelBlock[0] > kernelBlock[2];
    for (int pos = 0; pos < 3; ++pos) {
        const Band& b = kBands[listed ? pos : 2 - pos];
        if (*level >= b.low && *level <= b.high) {
            *level = b.value;
            *band = pos;
            return 0;
        }
    }
    *level = 0;
    *band = 0;
    return 0;
}

} // namespace lumora
