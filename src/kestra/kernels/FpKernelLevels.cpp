#include "FpKernelLevels.h"

#include "FpAttributeList.h"
#include "FpBlendPair.h"
#include "FpContext.h"
#include "FpFilterRecord.h"
#include "FpKernelSums.h"
#include "FpKernels.h"
#include "FpLevelList.h"
#include "FpRounding.h"
#include "FpScratch.h"

#include <cstring>

namespace kestra {

FpStatus FpFindLevel(Handle list, double strength, int32_t& index, double& fraction) {
    int32_t levels;
    FpStatus st = FpGetLongById(list, kAttrLevels, levels);
    if (st != FpOk) return st;
    fraction = 0;
    if (levels < 1) {
        index = levels - 1;
        return FpOk;
    }
    double previous = 0.0;
    for (int32_t i = 0; i < levels; ++i) {
        double entry;
        st = FpGetDoubleById(list, kAttrLevelList + i, entry);
        if (st != FpOk) return st;
        if (entry <= strength) {
            if (entry == strength) {
                index = i;
            } else {
                index = i - 1;
                fraction = (previous - strength) / (previous - entry);
            }
            return FpOk;
        }
        previous = entry;
    }
    index = levels - 1;
    return FpOk;
}

namespace {

void copyLevel(const FpKernelTable& from, int32_t level, FpKernelTable& to) {
    std::memcpy(to.samples, FpKernelAt(from, level, 0), size_t(to.sampleCount) * 2);
    if (from.second && to.second)
        std::memcpy(to.second, FpPairAt(from, level, 0), size_t(from.variants) * 2 * 2);
}

} // namespace

FpStatus FpInterpolateKernel(const FpKernelTable& table, FpKernelTable*& out, int32_t i, double t) {
    out = nullptr;
    if (!table.samples || table.bytesPerSample != 2) return FpNoKernelTable;
    const bool second = table.secondTable != 0 && table.second;
    FpKernelTable* made;
    if (FpNewKernelTableLike(table, table.taps, 1, second, made) != FpOk) return FpNoMemory;
    const int32_t T = table.taps, V = table.variants, L = table.levels, f = table.fractionBits;

    if (i >= L - 1 || i < 0) {
        copyLevel(table, i < 0 ? 0 : L - 1, *made);
        out = made;
        return FpOk;
    }
    FpScratch<int16_t> scratch;
    if (second && !scratch.allocate(T)) {
        FpFreeKernelTable(made);
        return FpNoSharedMemory;
    }
    double epsilon = 0.00001;
    for (int32_t v = 0; v < V; ++v) {
        const int16_t* kA = FpKernelAt(table, i, v);
        const int16_t* kB = FpKernelAt(table, i + 1, v);
        int16_t* kOut = FpKernelAt(*made, 0, v);
        const int32_t sA = FpKernelSum(kA, T), sB = FpKernelSum(kB, T);
        if (!second) {
            const int32_t target = FpTruncate(double(int64_t(sB) - sA) * t + sA + 0.5);
            for (int32_t j = 0; j < T; ++j) kOut[j] = FpToTap(FpRoundHalfAway(kA[j] + (kB[j] - kA[j]) * t));
            FpFixKernelSum(kOut, T, target);
            continue;
        }
        const int16_t* pA = FpPairAt(table, i, v);
        const int16_t* pB = FpPairAt(table, i + 1, v);
        const int32_t A = lumora::wrapAdd32(lumora::asr32(lumora::wrapMul32(sA, pA[0]), unsigned(f)), pA[1]);
        const int32_t B = lumora::wrapAdd32(lumora::asr32(lumora::wrapMul32(sB, pB[0]), unsigned(f)), pB[1]);
        const int32_t target = FpTruncate(double(int64_t(B) - A) * t + A + 0.5);
        int16_t* R = scratch.get();
        FpExpandKernel(kA, T, pA, f, R);
        FpExpandKernel(kB, T, pB, f, kOut);
        FpFixKernelSum(R, T, A);
        FpFixKernelSum(kOut, T, B);
        for (int32_t j = 0; j < T; ++j) {
            // A tiny offset of alternating sign breaks exact halves up and
            // down in turn, so that a kernel does not drift one way.
            const double x = R[j] + (kOut[j] - R[j]) * t + epsilon;
            R[j] = FpToTap(FpRoundHalfAway(x));
            epsilon = -epsilon;
        }
        FpFixKernelSum(R, T, target);
        int16_t* pair = FpPairAt(*made, 0, v);
        FpSplitKernel(R, T, f, kOut, pair);
        FpFitKernelSum(pair, kOut, T, f, target);
    }
    out = made;
    return FpOk;
}

FpStatus FpSetLevel(Handle filter, double strength, int32_t, int32_t& levelIndex) {
    FpThreadScope thread;
    if (!thread) return FpNoThreadContext;
    Handle list = 0, kernels = 0;
    if (FpFilterParts(filter, nullptr, &list, &kernels) != FpHasKernels) return FpNoKernelTable;
    int32_t index;
    double fraction;
    const FpStatus st = FpFindLevel(list, strength, index, fraction);
    if (st != FpOk) return st;
    FpLockedKernelSet set(kernels);
    FpKernelTable* table = set ? set->slot(kSlotKernels).table : nullptr;
    if (!table) return FpNoKernelTable;
    FpTableSlot& current = set->slot(kSlotCurrent);

    int32_t use;
    if (fraction > 0.99 && fraction < 1.01) {
        use = index + 1;
    } else if (fraction > -0.01 && fraction < 0.01) {
        use = index;
    } else {
        FpKernelTable* made;
        const FpStatus status = FpInterpolateKernel(*table, made, index, fraction);
        if (status != FpOk) return status;
        if (current.table) FpFreeKernelTable(current.table);
        current.table = made;
        current.handle = getHandleFromPtr(made);
        levelIndex = 0;
        return FpOk;
    }
    if (current.table) FpFreeKernelTable(current.table);
    current = FpTableSlot{};
    // A level list that names fewer (or no) levels than the table holds must
    // not lead the strip outside the table.
    if (use < 0) use = 0;
    if (use > table->levels - 1) use = table->levels - 1;
    levelIndex = use;
    return FpOk;
}

} // namespace kestra
