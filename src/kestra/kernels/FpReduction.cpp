#include "FpReduction.h"

#include "FpBlendPair.h"
#include "FpKernelSums.h"
#include "FpKernels.h"
#include "FpRescale.h"
#include "FpRounding.h"
#include "FpScratch.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace kestra {

bool FpNewMatrix(int32_t rows, int32_t columns, int32_t elementSize, FpMatrix& m) {
    m = FpMatrix{};
    const uint64_t bytes = uint64_t(rows) * uint64_t(columns) * uint64_t(elementSize);
    if (rows < 1 || columns < 1 || bytes > UINT32_MAX) return false;
    m.rows = static_cast<void**>(allocBufferPtr(uint32_t(rows) * sizeof(void*)));
    m.data = allocBufferPtr(uint32_t(bytes));
    if (!m.rows || !m.data) {
        FpFreeMatrix(m);
        return false;
    }
    std::memset(m.data, 0, size_t(bytes));
    for (int32_t r = 0; r < rows; ++r)
        m.rows[r] = static_cast<uint8_t*>(m.data) + uint64_t(r) * uint64_t(columns) * uint64_t(elementSize);
    m.count = rows;
    m.columns = columns;
    return true;
}

void FpFreeMatrix(FpMatrix& m) {
    if (m.rows) freeBufferPtr(m.rows);
    if (m.data) freeBufferPtr(m.data);
    m = FpMatrix{};
}

bool FpConstraintRows(int32_t m, int32_t f, FpMatrix& rows) {
    if (!FpNewMatrix(4, m, 2, rows)) return false;
    const int32_t c = (m - 1) / 2;
    const double one = double(int64_t(1) << f);
    for (int32_t t = 0; t < m; ++t) {
        const int32_t j = std::abs(t - c);
        FpRow16(rows, 0)[t] = FpToTap(int32_t(one));
        FpRow16(rows, 1)[t] = FpToTap(FpTruncate(one * j * j * (c + 1 - j) / (c + 1) * 2 / (m + 1) + 0.5));
        const int32_t alternating = FpTruncate(one * (c + 1 - j) / (c + 1) + 0.5);
        FpRow16(rows, 2)[t] = FpToTap(j % 2 ? -alternating : alternating);
        FpRow16(rows, 3)[t] = FpToTap(t == c ? int32_t(one) : 0);
    }
    return true;
}

bool FpProbeRows(int32_t m, int32_t f, int32_t& count, FpMatrix& rows) {
    const int32_t c = (m - 1) / 2;
    count = c + 2;
    if (!FpNewMatrix(count, m, 2, rows)) return false;
    const int32_t one = int32_t(1) << f;
    FpRow16(rows, 0)[c] = FpToTap(one);
    int64_t sum = 0;
    for (int32_t t = 0; t < m; ++t) sum += t <= c ? t + 1 : m - t;
    for (int32_t t = 0; t < m; ++t)
        FpRow16(rows, 1)[t] = FpToTap(FpRoundHalfAway(double(t <= c ? t + 1 : m - t) * one / double(sum)));
    for (int32_t d = 1; d <= c; ++d) {
        int16_t* row = FpRow16(rows, 1 + d);
        row[c] = FpToTap(one >> 1);
        row[c - d] = row[c + d] = FpToTap(-(one >> 2));
    }
    return true;
}

void FpBlendConstraintRows(FpMatrix& rows, const FpMatrix& larger, int32_t count, int32_t m) {
    const int32_t h = (m + 1) / 2;
    for (int32_t r = 0; r < count; ++r) {
        int16_t* row = FpRow16(rows, r);
        const int16_t* big = FpRow16(larger, r);
        for (int32_t t = 0; t < m; ++t) {
            const int32_t v = row[t] + m * big[t + 1];
            row[t] = FpToTap(v >= 0 ? (v + h) / (m + 1) : (v - h) / (m + 1));
        }
    }
}

void FpFreeReductionStep(FpReductionStep& step) {
    FpFreeMatrix(step.constraints);
    FpFreeMatrix(step.probes);
    FpFreeMatrix(step.projections);
    if (step.normalRows) freeBufferPtr(step.normalRows);
    step.normalRows = nullptr;
}

void FpProjectKernel(const int16_t* taps, double* out, const FpReductionStep& step) {
    const double one = double(int64_t(1) << step.fractionBits);
    for (int32_t k = 0; k < 4; ++k) {
        const int16_t* row = FpRow16(step.constraints, k);
        int64_t sum = 0;
        for (int32_t t = 0; t < step.size; ++t) sum += int64_t(row[t]) * taps[t];
        out[k] = double(sum) / one;
    }
}

FpStatus FpNewReductionStep(int32_t m, int32_t f, FpReductionStep& step, const FpReductionStep* larger) {
    std::memset(&step, 0, sizeof step);
    step.size = m;
    step.fractionBits = f;
    step.constraintCount = 4;
    bool ok = FpConstraintRows(m, f, step.constraints);
    if (ok && larger) FpBlendConstraintRows(step.constraints, larger->constraints, 4, m);
    ok = ok && FpProbeRows(m, f, step.probeCount, step.probes);
    ok = ok && FpNewMatrix(step.probeCount, 4, 8, step.projections);
    if (!ok) {
        FpFreeReductionStep(step);
        return FpNoSharedMemory;
    }
    for (int32_t j = 0; j < step.probeCount; ++j) FpProjectKernel(FpRow16(step.probes, j), FpRowD(step.projections, j), step);
    return FpOk;
}

FpStatus FpAttachNormalRows(FpReductionStep& step, double* storage) {
    const int32_t R = step.probeCount;
    step.normalRows = static_cast<double**>(allocBufferPtr(uint32_t(R + 1) * sizeof(double*)));
    if (!step.normalRows) return FpNoSharedMemory;
    for (int32_t r = 0; r <= R; ++r) step.normalRows[r] = storage + int64_t(r) * (R + 2);
    step.normalBase = storage;
    return FpOk;
}

void FpFreeReduction(FpReduction& plan) {
    if (plan.steps) {
        for (int32_t i = 0; i <= (plan.oldSize - plan.newSize) / 2; ++i) FpFreeReductionStep(plan.steps[i]);
        freeBufferPtr(plan.steps);
    }
    if (plan.storage) freeBufferPtr(plan.storage);
    plan.steps = nullptr;
    plan.storage = nullptr;
}

FpStatus FpNewReduction(int32_t n, int32_t N, int32_t f, FpReduction& plan) {
    plan = FpReduction{n, N, nullptr, nullptr};
    const int32_t count = (n - N) / 2 + 1;
    plan.steps = static_cast<FpReductionStep*>(allocBufferPtr(uint32_t(count) * sizeof(FpReductionStep)));
    if (!plan.steps) return FpNoSharedMemory;
    std::memset(static_cast<void*>(plan.steps), 0, size_t(count) * sizeof(FpReductionStep));
    for (int32_t i = 0; i < count; ++i) {
        if (FpNewReductionStep(n - 2 * i, f, plan.steps[i], i ? &plan.steps[i - 1] : nullptr) != FpOk) {
            FpFreeReduction(plan);
            return FpNoSharedMemory;
        }
    }
    const int64_t R0 = plan.steps[0].probeCount;
    plan.storage = static_cast<double*>(allocBufferPtr(uint32_t((R0 + 2) * (R0 + 1)) * sizeof(double)));
    bool ok = plan.storage != nullptr;
    for (int32_t i = 0; ok && i < count; ++i) ok = FpAttachNormalRows(plan.steps[i], plan.storage) == FpOk;
    if (!ok) {
        FpFreeReduction(plan);
        return FpNoSharedMemory;
    }
    return FpOk;
}

bool FpGaussJordan(double** A, int32_t n, int32_t w) {
    for (int32_t p = 0; p < n; ++p) {
        const double pivot = A[p][p];
        if (pivot > -0.000001 && pivot < 0.000001) return false;
        for (int32_t c = 0; c < w; ++c) A[p][c] = A[p][c] / pivot;
        for (int32_t r = 0; r < n; ++r) {
            if (r == p) continue;
            const double factor = A[r][p];
            for (int32_t c = 0; c < w; ++c) A[r][c] = A[r][c] - factor * A[p][c];
        }
    }
    return true;
}

const double* FpSolveReductionStep(const double* a, const double* b, const FpReductionStep& step) {
    static constexpr double kBaseWeights[4] = {1000, 80, 50, 100};
    const int32_t R = step.probeCount;
    double** A = step.normalRows;
    const double e = double(int64_t(1) << (2 * step.fractionBits)) * 0.0001;
    double w[4];
    for (int32_t k = 0; k < 4; ++k) w[k] = kBaseWeights[k] / (a[k] * a[k] + e);
    if (step.size == 3) {
        w[2] *= 0.05;
        w[3] *= 0.05;
    } else if (step.size == 5) {
        w[2] *= 1.0 / 3.0;
        w[3] *= 1.0 / 3.0;
    }
    for (int32_t r = 0; r <= R; ++r)
        for (int32_t c = 0; c < R + 2; ++c) A[r][c] = 0;
    for (int32_t k = 0; k < 4; ++k) {
        A[0][0] += w[k] * b[k] * b[k];
        A[0][R + 1] += w[k] * (a[k] - b[k]) * b[k];
        for (int32_t j = 0; j < R; ++j) {
            const double Pj = FpRowD(step.projections, j)[k];
            A[j + 1][0] += w[k] * Pj * b[k];
            A[j + 1][R + 1] += w[k] * (a[k] - b[k]) * Pj;
            for (int32_t i = 0; i <= j; ++i) A[j + 1][i + 1] += w[k] * FpRowD(step.projections, i)[k] * Pj;
        }
    }
    for (int32_t r = 0; r <= R; ++r)
        for (int32_t c = r + 1; c <= R; ++c) A[r][c] = A[c][r];
    if (step.size > 3) {
        for (int32_t i = 0; i <= R; ++i) A[i][i] += double((i + 1) * (i + 1));
    } else {
        A[0][0] += 1;
        for (int32_t i = 1; i <= R; ++i) A[i][i] += 2;
    }
    double* x = step.normalBase;
    if (FpGaussJordan(A, R + 1, R + 2)) {
        // Reading column R + 1 of row i never meets a place already written.
        for (int32_t i = 0; i <= R; ++i) x[i] = A[i][R + 1];
        x[0] += 1;
    } else {
        x[0] = 1;
        for (int32_t i = 1; i <= R; ++i) x[i] = 0;
    }
    return x;
}

void FpReduceKernelBy2(int16_t* k, int32_t m, const FpReductionStep& step, const FpReductionStep& smaller) {
    const int32_t c = (m - 1) / 2;
    if (k[0] == 0) {
        std::memmove(k, k + 1, size_t(m - 2) * sizeof(int16_t));
        return;
    }
    double a[4], b[4];
    FpProjectKernel(k, a, step);
    int64_t S = 0;
    for (int32_t i = 0; i < c; ++i) S += std::abs(int32_t(k[i]));
    const int16_t outer = FpToTap(FpRoundHalfAway(double(k[1]) * double(S - std::abs(int32_t(k[0]))) / double(S)));
    for (int32_t i = 1; i <= c - 1; ++i) k[i] = k[i + 1];
    k[0] = outer;
    const int32_t size = m - 2;
    for (int32_t i = 0; i < (size - 1) / 2; ++i) k[size - 1 - i] = k[i];
    FpProjectKernel(k, b, smaller);
    const double* x = FpSolveReductionStep(a, b, smaller);
    for (int32_t i = 0; i < size; ++i) {
        double v = k[i] * x[0];
        for (int32_t j = 0; j < smaller.probeCount; ++j) v += FpRow16(smaller.probes, j)[i] * x[j + 1];
        k[i] = FpToTap(FpRoundHalfAway(v));
    }
}

void FpCopyKernels(const FpKernelSet& oldSet, FpKernelSet& outSet) {
    const FpKernelTable& old = *oldSet.slots[kSlotKernels - 1].table;
    FpKernelTable& out = *outSet.slots[kSlotKernels - 1].table;
    const int32_t offset = (out.taps - old.taps) / 2;
    for (int32_t l = 0; l < old.levels; ++l)
        for (int32_t v = 0; v < old.variants; ++v)
            std::memcpy(FpKernelAt(out, l, v) + offset, FpKernelAt(old, l, v), size_t(old.taps) * 2);
    if (old.second && out.second)
        std::memcpy(out.second, old.second, size_t(old.bytesPerSample) * old.levels * old.variants * 2);
}

FpStatus FpShrinkKernels(const FpKernelSet& oldSet, FpKernelSet& outSet) {
    const FpKernelTable& old = *oldSet.slots[kSlotKernels - 1].table;
    FpKernelTable& out = *outSet.slots[kSlotKernels - 1].table;
    const int32_t n = old.taps, N = out.taps, f = old.fractionBits;
    FpReduction plan;
    if (FpNewReduction(n, N, f, plan) != FpOk) return FpNoSharedMemory;
    FpScratch<int16_t> work(n);
    FpScratch<int32_t> window(N);
    if (!work || !window) {
        FpFreeReduction(plan);
        return FpNoSharedMemory;
    }
    int32_t windowSum;
    FpTriangleWindow(N, f, window.get(), windowSum);
    const bool second = old.second && out.second;
    for (int32_t l = 0; l < old.levels; ++l) {
        for (int32_t v = 0; v < old.variants; ++v) {
            if (second) FpExpandKernel(FpKernelAt(old, l, v), n, FpPairAt(old, l, v), f, work.get());
            else std::memcpy(work.get(), FpKernelAt(old, l, v), size_t(n) * 2);
            const int32_t sum = FpKernelSum(work.get(), n);
            for (int32_t m = n, i = 0; m > N; m -= 2, ++i) FpReduceKernelBy2(work.get(), m, plan.steps[i], plan.steps[i + 1]);
            int16_t* k = FpKernelAt(out, l, v);
            std::memcpy(k, work.get(), size_t(N) * 2);
            FpSpreadKernelSum(k, N, sum, window.get(), windowSum);
            if (second) FpSplitKernel(k, N, f, k, FpPairAt(out, l, v));
        }
    }
    FpFreeReduction(plan);
    return FpOk;
}

} // namespace kestra
