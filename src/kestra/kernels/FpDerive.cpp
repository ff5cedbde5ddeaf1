#include "FpDerive.h"

#include "FpContext.h"
#include "FpFilterData.h"
#include "FpFilterRecord.h"
#include "FpKernels.h"
#include "FpPhaseTables.h"
#include "FpReduction.h"
#include "FpRescale.h"
#include "FpResampler.h"

namespace kestra {

namespace {

// Attaches a derived filter's filled kernel set, or frees the filter.
FpStatus finish(FpStatus st, Handle filter, FpKernelSet* set, Handle& out) {
    if (st == FpOk) {
        const Handle setHandle = FpUnlockKernelSet(set);
        st = FpAttachKernels(filter, setHandle);
        if (st != FpOk) FpReleaseKernelSet(setHandle);
    } else if (set) {
        FpFreeKernelSet(set);
    }
    if (st != FpOk) {
        FpFreeFilter(filter);
        return st;
    }
    out = filter;
    return FpOk;
}

} // namespace

FpStatus FpScaleSharpeningFilter(Handle filter, double s, Handle resamplerFilter, Handle& out) {
    out = 0;
    if (!(s >= 0.001)) return FpScaleTooSmall;
    FpThreadScope thread;
    if (!thread) return FpNoThreadContext;
    FpKernelInfoRecord info;
    Handle sharpSet;
    FpStatus st = FpKernelInfo(filter, info, sharpSet);
    if (st != FpOk) return st;
    if (info.kind == FpKindResampling) return FpNoKernelTable;

    FpResampler resampler;
    int32_t newTaps = 0;
    st = FpBuildResampler(resamplerFilter, s, info.taps, newTaps, resampler);
    Handle made = 0;
    FpKernelSet* set = nullptr;
    if (st == FpOk) {
        uint64_t sampleBytes, secondBytes;
        if (!FpKernelStorageSize(newTaps, info.variants, info.levels, 2, info.secondTable != 0, sampleBytes,
                                 secondBytes))
            st = FpBadKernelSize;
    }
    if (st == FpOk) st = FpNewDerivedFilter(info.kind, info.levels, info.variants, newTaps, info.secondTable != 0, made, set);
    if (st == FpOk) {
        FpLockedKernelSet sharp(sharpSet);
        st = sharp ? FpResampleSharpKernels(*sharp.get(), *resampler.set, *set, resampler.tables) : FpNoKernelTable;
        st = finish(st, made, set, out);
    }
    FpReleaseResampler(resampler);
    return st;
}

FpStatus FpResetKernelSize(Handle filter, int32_t size, Handle& out) {
    out = 0;
    if (size % 2 == 0 || size < 3) return FpBadKernelSize;
    FpThreadScope thread;
    if (!thread) return FpNoThreadContext;
    FpKernelInfoRecord info;
    Handle oldSet;
    FpStatus st = FpKernelInfo(filter, info, oldSet);
    if (st != FpOk) return st;
    if (info.kind == FpKindResampling) return FpNoKernelTable;
    // Cutting works two taps at a time from an odd size; an even kernel has
    // no centre to keep.
    if (size < info.taps && info.taps % 2 == 0) return FpBadKernelSize;
    uint64_t sampleBytes, secondBytes;
    if (size > kMaxStretchedTaps ||
        !FpKernelStorageSize(size, info.variants, info.levels, 2, info.secondTable != 0, sampleBytes, secondBytes))
        return FpBadKernelSize;
    Handle made;
    FpKernelSet* set;
    st = FpNewDerivedFilter(info.kind, info.levels, info.variants, size, info.secondTable != 0, made, set);
    if (st != FpOk) return st;
    {
        FpLockedKernelSet old(oldSet);
        if (!old) {
            st = FpNoKernelTable;
        } else if (size < info.taps) {
            st = FpShrinkKernels(*old.get(), *set);
        } else {
            FpCopyKernels(*old.get(), *set);
        }
    }
    return finish(st, made, set, out);
}

} // namespace kestra
