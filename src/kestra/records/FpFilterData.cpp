#include "FpFilterData.h"

#include "FpAttributeList.h"
#include "FpContext.h"
#include "FpFilterRecord.h"
#include "FpKernelSums.h"
#include "FpKernels.h"
#include "FpRounding.h"
#include "FpStamps.h"
#include "Locked.h"

#include <cstring>

namespace kestra {

namespace {
constexpr int32_t kMadeFractionBits = 9;
constexpr double kMadeOne = 512.0;
} // namespace

const char* FpKindName(int32_t kind) {
    switch (kind) {
    case FpKindSharpening: return "kf";
    case FpKindResampling: return "ki";
    default: return "kfa";
    }
}

FpStatus FpNewFilterHeader(Handle& out, uint32_t textLength) {
    out = allocBufferHandle(sizeof(FpFilterHeader));
    if (!out) return FpNoSharedMemory;
    Locked<FpFilterHeader> h(out);
    if (!h) {
        freeBuffer(out);
        out = 0;
        return FpNoSharedMemory;
    }
    std::memset(h.get(), 0, sizeof(FpFilterHeader));
    h->words[FpFilterHeader::Magic] = kFilterMagic;
    h->words[FpFilterHeader::Version] = kFormatVersion;
    h->words[FpFilterHeader::TextLength] = textLength;
    h->words[FpFilterHeader::KernelFlag] = kKernelFlag;
    return FpOk;
}

FpStatus FpNewKernelSet(int32_t kind, int32_t levels, int32_t variants, int32_t taps, Handle headerHandle,
                        bool secondTable, FpKernelSet*& out) {
    out = nullptr;
    uint32_t magic, version;
    {
        Locked<FpFilterHeader> header(headerHandle);
        if (!header) return FpNoMemory;
        magic = header->words[FpFilterHeader::Magic];
        version = header->words[FpFilterHeader::Version];
    }
    Handle setHandle, tableHandle;
    if (FpNewKernelSetHandle(setHandle) != FpOk) return FpNoMemory;
    if (FpNewKernelTable(tableHandle) != FpOk) {
        FpReleaseKernelSet(setHandle);
        return FpNoMemory;
    }
    {
        Locked<FpKernelSet> set(setHandle);
        if (!set) {
            freeBuffer(tableHandle);
            FpReleaseKernelSet(setHandle);
            return FpNoMemory;
        }
        set->magic = magic;
        set->version = version;
        set->slot(kSlotKernels).handle = tableHandle;
    }
    FpKernelSet* set = FpLockKernelSet(setHandle);
    FpKernelTable* t = set ? set->slot(kSlotKernels).table : nullptr;
    if (!t) {
        if (set) FpFreeKernelSet(set);
        else FpReleaseKernelSet(setHandle);
        return FpNoMemory;
    }
    t->taps = taps;
    t->variants = variants;
    t->levels = levels;
    t->bytesPerSample = 2;
    t->fractionBits = kMadeFractionBits;
    t->word6 = 0;
    std::memset(t->kindName, 0, sizeof t->kindName);
    std::memcpy(t->kindName, FpKindName(kind), std::strlen(FpKindName(kind)));
    t->secondTable = secondTable ? 1 : 0;
    if (FpAllocKernelSamples(t) != FpOk) {
        FpFreeKernelSet(set);
        return FpNoMemory;
    }
    out = set;
    return FpOk;
}

void FpQuantiseKernels(FpKernelTable& t, const double* kernels) {
    const double* x = kernels;
    for (int32_t l = 0; l < t.levels; ++l) {
        for (int32_t v = 0; v < t.variants; ++v) {
            int16_t* k = FpKernelAt(t, l, v);
            double sum = 0;
            for (int32_t j = 0; j < t.taps; ++j, ++x) {
                const double scaled = *x * kMadeOne;
                k[j] = FpToTap(FpRoundHalfAway(scaled));
                sum += scaled;
            }
            FpFixKernelSum(k, t.taps, FpTruncate(sum + 0.5));
        }
    }
}

void FpQuantiseSecondTable(FpKernelTable& t, const double* second) {
    auto* out = static_cast<int16_t*>(t.second);
    const int64_t count = int64_t(t.levels) * t.variants * 2;
    for (int64_t i = 0; i < count; ++i) out[i] = FpToTap(FpRoundHalfAway(second[i] * kMadeOne));
}

void FpKernelsToDoubles(const FpKernelTable& t, double* kernels, double* second) {
    const double one = double(int64_t(1) << t.fractionBits);
    double* x = kernels;
    for (int32_t l = 0; l < t.levels; ++l)
        for (int32_t v = 0; v < t.variants; ++v) {
            const int16_t* k = FpKernelAt(t, l, v);
            for (int32_t j = 0; j < t.taps; ++j) *x++ = k[j] / one;
        }
    if (second && t.second) {
        const auto* pairs = static_cast<const int16_t*>(t.second);
        const int64_t count = int64_t(t.levels) * t.variants * 2;
        for (int64_t i = 0; i < count; ++i) second[i] = pairs[i] / one;
    }
}

FpStatus FpBuildKernelSet(int32_t kind, int32_t levels, int32_t variants, int32_t taps, const double* kernels,
                          const double* second, Handle header, Handle& setHandle) {
    setHandle = 0;
    FpKernelSet* set;
    const FpStatus st = FpNewKernelSet(kind, levels, variants, taps, header, second != nullptr, set);
    if (st != FpOk) return st;
    FpKernelTable& t = *set->slot(kSlotKernels).table;
    FpQuantiseKernels(t, kernels);
    if (second) FpQuantiseSecondTable(t, second);
    setHandle = FpUnlockKernelSet(set);
    return FpOk;
}

FpStatus FpCreateFilterFromData(int32_t kind, int32_t levels, int32_t variants, int32_t taps, const double* kernels,
                                const double* second, Handle& filter) {
    filter = 0;
    FpThreadScope thread;
    if (!thread) return FpNoThreadContext;
    uint32_t textLength;
    Handle list = 0, header = 0;
    FpStatus st = FpNewAttributeList(kind, levels, variants, taps, textLength, list);
    if (st == FpOk) st = FpNewFilterHeader(header, textLength);
    if (st == FpOk) st = FpNewFilter(header, list, filter);
    if (st != FpOk) {
        if (header) freeBuffer(header);
        FpFreeAttributeList(list);
        filter = 0;
        return st;
    }
    if (kernels) {
        Handle set;
        st = FpBuildKernelSet(kind, levels, variants, taps, kernels, second, header, set);
        if (st == FpOk) st = FpAttachKernels(filter, set);
        if (st != FpOk) {
            FpFreeFilter(filter);
            filter = 0;
            return st;
        }
    }
    return FpOk;
}

FpStatus FpGetFilterData(Handle filter, double* kernels, double* second) {
    FpThreadScope thread;
    if (!thread) return FpNoThreadContext;
    Handle setHandle = 0;
    if (FpFilterKernels(filter, setHandle) != FpHasKernels) return FpNoKernelTable;
    FpLockedKernelSet set(setHandle);
    const FpKernelTable* t = set ? set->slot(kSlotKernels).table : nullptr;
    if (!t || t->bytesPerSample != 2 || !t->samples) return FpNoKernelTable;
    FpKernelsToDoubles(*t, kernels, second);
    return FpOk;
}

FpStatus FpKernelInfo(Handle filter, FpKernelInfoRecord& info, Handle& kernelSet) {
    std::memset(&info, 0, sizeof info);
    kernelSet = 0;
    const FpStatus state = FpFilterParts(filter, nullptr, &info.list, &kernelSet);
    if (state != FpHasKernels) return state;
    if (FpGetLongById(info.list, 30000, info.kind) != FpOk) info.kind = FpKindSharpening;
    FpLockedKernelSet set(kernelSet);
    const FpKernelTable* t = set ? set->slot(kSlotKernels).table : nullptr;
    if (!t || t->bytesPerSample != 2 || !t->samples) return FpNoKernelTable;
    info.levels = t->levels;
    info.variants = t->variants;
    info.taps = t->taps;
    info.secondTable = t->secondTable && t->second ? 1 : 0;
    return FpOk;
}

FpStatus FpNewDerivedFilter(int32_t kind, int32_t levels, int32_t variants, int32_t taps, bool secondTable,
                            Handle& filter, FpKernelSet*& set) {
    filter = 0;
    set = nullptr;
    uint32_t textLength;
    Handle list = 0, header = 0;
    FpStatus st = FpNewAttributeList(kind, levels, variants, taps, textLength, list);
    if (st == FpOk) st = FpNewFilterHeader(header, textLength);
    if (st == FpOk) st = FpNewFilter(header, list, filter);
    if (st != FpOk) {
        if (header) freeBuffer(header);
        FpFreeAttributeList(list);
        filter = 0;
        return st;
    }
    st = FpNewKernelSet(kind, levels, variants, taps, header, secondTable, set);
    if (st != FpOk) {
        FpFreeFilter(filter);
        filter = 0;
        return st;
    }
    return FpOk;
}

} // namespace kestra
