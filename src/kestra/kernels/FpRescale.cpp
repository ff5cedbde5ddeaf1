#include "FpRescale.h"

#include "FpKernelSums.h"
#include "FpKernels.h"
#include "FpRounding.h"
#include "FpScratch.h"

#include <cstring>
#include <initializer_list>

namespace kestra {

void FpTriangleWindow(int32_t N, int32_t f, int32_t* w, int32_t& sum) {
    const int32_t c = (N - 1) / 2;
    int64_t S = 0;
    for (int32_t k = 0; k < N; ++k) {
        w[k] = (k <= c ? k : N - 1 - k) + 1;
        S += w[k];
    }
    sum = 0;
    for (int32_t k = 0; k < N; ++k) {
        w[k] = FpRoundHalfAway(double(w[k]) * double(int64_t(1) << f) / double(S));
        sum = lumora::wrapAdd32(sum, w[k]);
    }
}

void FpAlternatingWindow(int32_t n, int32_t f, int32_t* w) {
    const int32_t c = (n - 1) / 2;
    const double one = double(int64_t(1) << f);
    for (int32_t k = 0; k <= n - c - 1; ++k) {
        const int32_t m = FpTruncate(((c + 1 - k) * one / (c + 1) + one) * 0.5 + 0.5);
        const int32_t v = (k % 2) ? -m : m;
        w[c + k] = v;
        w[(n - c - 1) - k] = v;
    }
}

FpStatus FpNewRescaleWork(int32_t n, int32_t N, double s, int32_t f, FpRescaleWork& work) {
    std::memset(&work, 0, sizeof work);
    work.enlarge = s > 1.0 ? 1 : 0;
    work.fractionBits = f;
    work.oldTaps = n;
    work.newTaps = N;
    bool ok = true;
    if (work.enlarge) {
        work.alternatingOld = static_cast<int32_t*>(allocBufferPtr(uint32_t(n) * 4));
        work.alternatingNew = static_cast<int32_t*>(allocBufferPtr(uint32_t(N) * 4));
        work.scratch = static_cast<int16_t*>(allocBufferPtr(uint32_t(n) * 2));
        ok = work.alternatingOld && work.alternatingNew && work.scratch;
        if (ok) {
            FpAlternatingWindow(n, f, work.alternatingOld);
            FpAlternatingWindow(N, f, work.alternatingNew);
        }
    }
    work.triangle = static_cast<int32_t*>(allocBufferPtr(uint32_t(N) * 4));
    if (!ok || !work.triangle) {
        FpFreeRescaleWork(work);
        return FpNoSharedMemory;
    }
    FpTriangleWindow(N, f, work.triangle, work.triangleSum);
    return FpOk;
}

void FpFreeRescaleWork(FpRescaleWork& work) {
    for (void* p : {static_cast<void*>(work.triangle), static_cast<void*>(work.alternatingOld),
                    static_cast<void*>(work.alternatingNew), static_cast<void*>(work.scratch)})
        if (p) freeBufferPtr(p);
    work.triangle = work.alternatingOld = work.alternatingNew = nullptr;
    work.scratch = nullptr;
}

namespace {
int32_t windowed(const int32_t* w, const int16_t* k, int32_t n) {
    int32_t acc = 0;
    for (int32_t i = 0; i < n; ++i) acc = lumora::wrapAdd32(acc, lumora::wrapMul32(w[i], k[i]));
    return acc;
}
} // namespace

const int16_t* FpPrepareRescaleKernel(int32_t n, const int16_t* kernel, FpRescaleWork& work) {
    work.sourceSum = FpKernelSum(kernel, n);
    if (!work.enlarge) return kernel;
    const double one = double(int64_t(1) << work.fractionBits);
    work.highFrequency = windowed(work.alternatingOld, kernel, n) / one;
    std::memcpy(work.scratch, kernel, size_t(n) * 2);
    const int32_t c = (n - 1) / 2;
    work.scratch[c] = FpToTap(work.scratch[c] - FpRoundHalfAway(work.highFrequency));
    return work.scratch;
}

void FpFinishRescaledKernel(int32_t N, int16_t* kernel, FpRescaleWork& work) {
    if (work.enlarge) {
        const double one = double(int64_t(1) << work.fractionBits);
        const int32_t c = (N - 1) / 2;
        kernel[c] = FpToTap(kernel[c] +
                            FpRoundHalfAway(work.highFrequency - windowed(work.alternatingNew, kernel, N) / one));
    }
    FpSpreadKernelSum(kernel, N, work.sourceSum, work.triangle, work.triangleSum);
}

const FpKernelTable* FpResamplerTable(const FpKernelSet& set) {
    const FpKernelTable* current = set.slots[kSlotCurrent - 1].table;
    return current ? current : set.slots[kSlotKernels - 1].table;
}

FpStatus FpResampleSharpKernels(const FpKernelSet& sharp, const FpKernelSet& resampler, FpKernelSet& out,
                                const FpPhaseTables& tables) {
    const FpKernelTable* old = sharp.slots[kSlotKernels - 1].table;
    const FpKernelTable* R = FpResamplerTable(resampler);
    FpKernelTable* made = out.slots[kSlotKernels - 1].table;
    if (!old || !R || !made || R->bytesPerSample != 2) return FpNoKernelTable;
    if (tables.resamplerLevel < 0 || tables.resamplerLevel >= R->levels) return FpBadLevel;
    const int32_t n = old->taps, N = made->taps, T = R->taps;
    const double s = tables.scale;
    const double g = 1.0 / (s * double(int64_t(1) << R->fractionBits));
    FpRescaleWork work;
    if (FpNewRescaleWork(n, N, s, old->fractionBits, work) != FpOk) return FpNoSharedMemory;
    const int16_t* r0 = FpKernelAt(*R, tables.resamplerLevel, 0);
    for (int32_t l = 0; l < old->levels; ++l) {
        for (int32_t v = 0; v < old->variants; ++v) {
            const int16_t* p = FpPrepareRescaleKernel(n, FpKernelAt(*old, l, v), work);
            int16_t* k = FpKernelAt(*made, l, v);
            for (int32_t i = 0; i < N; ++i) {
                int32_t j = 0, q = tables.positions[i];
                if (q < 0) {
                    j = -q;
                    q = 0;
                }
                const int16_t* phase = r0 + tables.phases[i];
                int32_t acc = 0;
                for (; j < T && q < n; ++j, ++q) acc = lumora::wrapAdd32(acc, lumora::wrapMul32(p[q], phase[j]));
                k[i] = FpToTap(FpRoundHalfAway(acc * g));
            }
            for (int32_t i = 0; i < (N - 1) / 2; ++i) {
                const int16_t both = FpToTap(lumora::asr32(k[i] + k[N - 1 - i] + 1, 1));
                k[i] = k[N - 1 - i] = both;
            }
            FpFinishRescaledKernel(N, k, work);
        }
    }
    FpFreeRescaleWork(work);
    if (made->second && old->second)
        std::memcpy(made->second, old->second, size_t(old->bytesPerSample) * old->levels * old->variants * 2);
    return FpOk;
}

FpStatus FpRescalePolyphaseKernel(const FpKernelTable& source, const FpKernelTable& R, FpKernelTable& out,
                                  const FpPhaseTables& tables) {
    const int32_t T = source.taps, P = source.variants, TR = R.taps;
    const int64_t L = int64_t(P) * T;
    const int32_t E = tables.length;
    if (tables.sourceLevel < 0 || tables.sourceLevel >= source.levels || tables.resamplerLevel < 0 ||
        tables.resamplerLevel >= R.levels)
        return FpBadLevel;
    FpScratch<int16_t> x(L), y(L);
    if (!x || !y) return FpNoSharedMemory;
    const double one = double(int64_t(1) << R.fractionBits);
    const double g = 1.0 / (tables.scale * one);
    for (int32_t m = 0; m < T; ++m)
        for (int32_t v = 0; v < P; ++v) x[int64_t(P) * m + v] = FpKernelAt(source, tables.sourceLevel, v)[T - 1 - m];

    const int16_t* r0 = FpKernelAt(R, tables.resamplerLevel, 0);
    auto entry = [&](int32_t i) {
        int32_t j = 0;
        int64_t q = int64_t(tables.positions[i]) + 1;
        if (q < 0) {
            j = int32_t(-q);
            q = 0;
        }
        const int16_t* phase = r0 + tables.phases[i];
        int32_t acc = 0;
        for (; j < TR && q < L; ++j, ++q) acc = lumora::wrapAdd32(acc, lumora::wrapMul32(x[q], phase[j]));
        return FpToTap(FpRoundHalfAway(acc * g));
    };
    const int64_t a = (int64_t(E) - L + 1) / 2;
    if (a >= 0) {
        for (int64_t i = a; i <= a + L - 2 && i < E; ++i) y[1 + i - a] = entry(int32_t(i));
    } else {
        for (int64_t i = 0; i < E && 1 - a + i < L; ++i) y[1 - a + i] = entry(int32_t(i));
    }
    for (int32_t v = 0; v < P; ++v) {
        int16_t* k = FpKernelAt(out, 0, v);
        for (int32_t m = 0; m < T; ++m) k[T - 1 - m] = y[v + int64_t(P) * m];
        const double e = double(int64_t(one) - FpKernelSum(k, T)) * (4.0 * P) / double(L * L);
        for (int32_t m = 0; m < T; ++m) {
            const int64_t u = v + int64_t(P) * m;
            const int64_t w = u < L / 2 ? u : L - u;
            k[T - 1 - m] = FpToTap(FpRoundHalfAway(k[T - 1 - m] + w * e));
        }
    }
    return FpOk;
}

} // namespace kestra
