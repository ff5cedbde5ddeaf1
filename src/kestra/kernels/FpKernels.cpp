#include "FpKernels.h"

#include "FpContext.h"
#include "FpFilterRecord.h"
#include "Locked.h"

#include <cstring>

namespace kestra {

int32_t FpCeilLog2(int64_t n) {
    if (n <= 1) return 0;
    uint64_t v = uint64_t(n - 1);
    int32_t bits = 0;
    while (v) {
        ++bits;
        v >>= 1;
    }
    return bits;
}

bool FpKernelStorageSize(int32_t taps, int32_t variants, int32_t levels, int32_t bytesPerSample,
                         bool secondTable, uint64_t& sampleBytes, uint64_t& secondBytes) {
    sampleBytes = secondBytes = 0;
    if (taps < 1 || variants < 1 || levels < 1 || bytesPerSample < 1 || bytesPerSample > 8) return false;
    const int32_t bits = FpCeilLog2(taps) + FpCeilLog2(variants) + FpCeilLog2(levels);
    if (bits > 31) return false;
    sampleBytes = (uint64_t(1) << bits) * uint64_t(bytesPerSample);
    if (secondTable) secondBytes = uint64_t(levels) * uint64_t(variants) * 2 * uint64_t(bytesPerSample);
    return sampleBytes <= UINT32_MAX && secondBytes <= UINT32_MAX;
}

FpStatus FpNewKernelSetHandle(Handle& out) {
    out = allocBufferHandle(sizeof(FpKernelSet));
    if (!out) return FpNoMemory;
    Locked<FpKernelSet> set(out);
    if (!set) {
        freeBuffer(out);
        out = 0;
        return FpNoMemory;
    }
    std::memset(set.get(), 0, sizeof(FpKernelSet));
    set->self = out;
    return FpOk;
}

FpStatus FpNewKernelTable(Handle& out) {
    out = allocBufferHandle(sizeof(FpKernelTable));
    if (!out) return FpNoMemory;
    Locked<FpKernelTable> table(out);
    if (!table) {
        freeBuffer(out);
        out = 0;
        return FpNoMemory;
    }
    std::memset(table.get(), 0, sizeof(FpKernelTable));
    table->headerWord = kKernelBlockWord;
    return FpOk;
}

namespace {
// A cleared buffer of the given size, left locked; 0 when there is no memory.
Handle allocCleared(uint64_t bytes, void*& pointer) {
    pointer = nullptr;
    const Handle h = allocBufferHandle(uint32_t(bytes));
    if (!h) return 0;
    pointer = lockBuffer(h);
    if (!pointer) {
        freeBuffer(h);
        return 0;
    }
    if (bytes) std::memset(pointer, 0, size_t(bytes));
    return h;
}
} // namespace

FpStatus FpAllocKernelSamples(FpKernelTable* t) {
    uint64_t sampleBytes, secondBytes;
    if (!FpKernelStorageSize(t->taps, t->variants, t->levels, t->bytesPerSample, t->secondTable != 0, sampleBytes,
                             secondBytes))
        return FpNoMemory;
    t->log2Taps = FpCeilLog2(t->taps);
    t->log2Variants = FpCeilLog2(t->variants);
    t->log2Levels = FpCeilLog2(t->levels);
    t->sampleCount = uint32_t(1) << (t->log2Taps + t->log2Variants + t->log2Levels);
    t->sampleHandle = allocCleared(sampleBytes, t->samples);
    if (!t->sampleHandle) return FpNoMemory;
    if (t->secondTable) {
        t->secondHandle = allocCleared(secondBytes, t->second);
        if (!t->secondHandle) {
            unlockBuffer(t->sampleHandle);
            freeBuffer(t->sampleHandle);
            t->sampleHandle = 0;
            t->samples = nullptr;
            return FpNoMemory;
        }
    }
    return FpOk;
}

FpStatus FpNewKernelTableLike(const FpKernelTable& like, int32_t taps, int32_t levels, bool secondTable,
                              FpKernelTable*& table) {
    table = nullptr;
    Handle h;
    if (FpNewKernelTable(h) != FpOk) return FpNoMemory;
    FpKernelTable* t = FpLockKernelTable(h);
    if (!t) {
        freeBuffer(h);
        return FpNoMemory;
    }
    t->taps = taps;
    t->variants = like.variants;
    t->levels = levels;
    t->bytesPerSample = like.bytesPerSample;
    t->fractionBits = like.fractionBits;
    t->word6 = like.word6;
    std::memcpy(t->kindName, like.kindName, sizeof t->kindName);
    t->secondTable = secondTable ? 1 : 0;
    if (FpAllocKernelSamples(t) != FpOk) {
        FpFreeKernelTable(t);
        return FpNoMemory;
    }
    table = t;
    return FpOk;
}

FpKernelTable* FpLockKernelTable(Handle h) {
    auto* t = static_cast<FpKernelTable*>(lockBuffer(h));
    if (!t) return nullptr;
    t->samples = t->sampleHandle ? lockBuffer(t->sampleHandle) : nullptr;
    t->second = t->secondHandle ? lockBuffer(t->secondHandle) : nullptr;
    if ((t->sampleHandle && !t->samples) || (t->secondHandle && !t->second)) {
        FpUnlockKernelTable(t);
        return nullptr;
    }
    return t;
}

void FpUnlockKernelTable(FpKernelTable* t) {
    if (!t) return;
    if (t->samples) unlockBuffer(t->sampleHandle);
    if (t->second) unlockBuffer(t->secondHandle);
    t->samples = nullptr;
    t->second = nullptr;
    unlockBufferPtr(t);
}

FpKernelSet* FpLockKernelSet(Handle h) {
    auto* set = static_cast<FpKernelSet*>(lockBuffer(h));
    if (!set) return nullptr;
    for (FpTableSlot& s : set->slots) {
        s.table = nullptr;
        if (!s.handle) continue;
        s.table = FpLockKernelTable(s.handle);
        if (!s.table) {
            FpUnlockKernelSet(set);
            return nullptr;
        }
    }
    return set;
}

Handle FpUnlockKernelSet(FpKernelSet* set) {
    if (!set) return 0;
    for (FpTableSlot& s : set->slots) {
        if (s.table) FpUnlockKernelTable(s.table);
        s.table = nullptr;
    }
    const Handle self = set->self;
    unlockBuffer(self);
    return self;
}

void FpFreeKernelTable(FpKernelTable* t) {
    if (!t) return;
    if (t->sampleHandle) freeBuffer(t->sampleHandle);
    if (t->secondHandle) freeBuffer(t->secondHandle);
    t->sampleHandle = t->secondHandle = 0;
    t->samples = t->second = nullptr;
    const Handle self = getHandleFromPtr(t);
    if (self) freeBuffer(self);
}

void FpFreeKernelSet(FpKernelSet* set) {
    if (!set) return;
    for (FpTableSlot& s : set->slots) {
        if (s.table) {
            FpFreeKernelTable(s.table);
        } else if (s.handle) {
            if (FpKernelTable* t = FpLockKernelTable(s.handle)) FpFreeKernelTable(t);
            else freeBuffer(s.handle);
        }
        s = FpTableSlot{};
    }
    freeBuffer(set->self);
}

void FpReleaseKernelSet(Handle h) {
    if (FpKernelSet* set = FpLockKernelSet(h)) FpFreeKernelSet(set);
    else if (h) freeBuffer(h);
}

void FpDiscardKernelSet(Handle h) { FpReleaseKernelSet(h); }

FpStatus FpMakeGainTable(Handle setHandle, Handle& gainBytes) {
    gainBytes = 0;
    Locked<FpKernelSet> set(setHandle);
    if (!set || set->magic != kFilterMagic) return FpFailed;
    FpTableSlot& slot = set->slot(kSlotGain);
    if (!slot.handle) {
        Handle th;
        if (FpNewKernelTable(th) != FpOk) return FpNoMemory;
        FpKernelTable* t = FpLockKernelTable(th);
        if (!t) {
            freeBuffer(th);
            return FpNoMemory;
        }
        t->taps = 1;
        t->variants = 256;
        t->levels = 1;
        t->bytesPerSample = 1;
        t->fractionBits = 0;
        std::memcpy(t->kindName, "alt", 4);
        t->secondTable = 0;
        if (FpAllocKernelSamples(t) != FpOk) {
            FpFreeKernelTable(t);
            slot.handle = 0;
            return FpNoMemory;
        }
        FpUnlockKernelTable(t);
        slot.handle = th;
    }
    Locked<FpKernelTable> gain(slot.handle);
    if (!gain) return FpFailed;
    gainBytes = gain->sampleHandle;
    return FpOk;
}

FpStatus FpGetGainTable(Handle filter, Handle& gainBytes) {
    gainBytes = 0;
    Handle setHandle = 0;
    const FpStatus state = FpFilterKernels(filter, setHandle);
    if (state != FpHasKernels) return state;
    return FpMakeGainTable(setHandle, gainBytes);
}

FpStatus FpSetThreshold(Handle filter, uint32_t threshold) {
    FpThreadScope thread;
    if (!thread) return FpNoThreadContext;
    Handle setHandle = 0;
    if (FpFilterKernels(filter, setHandle) != FpHasKernels) return FpNoKernelTable;
    Locked<FpKernelSet> set(setHandle);
    if (!set) return FpNoKernelTable;
    set->threshold = threshold;
    return FpOk;
}

FpStatus FpKernelTaps(Handle setHandle, int32_t& taps) {
    taps = 0;
    Locked<FpKernelSet> set(setHandle);
    if (!set) return FpNoKernelTable;
    for (int slot : {kSlotCurrent, kSlotKernels}) {
        if (!set->slot(slot).handle) continue;
        Locked<FpKernelTable> t(set->slot(slot).handle);
        if (!t) return FpNoKernelTable;
        taps = t->taps;
        return FpOk;
    }
    return FpNoKernelTable;
}

} // namespace kestra
