#pragma once
// Kernel sets and kernel tables: making, locking, freeing, the padded sample
// layout, the gain table and the small services the set-up calls use.
#include "FpRecords.h"
#include "FpStatus.h"

namespace kestra {

int32_t FpCeilLog2(int64_t n);
// Index of sample (level, variant, tap) in the padded layout.
inline uint32_t FpSampleIndex(const FpKernelTable& t, int32_t level, int32_t variant, int32_t tap) {
    return (uint32_t(level) << (t.log2Variants + t.log2Taps)) + (uint32_t(variant) << t.log2Taps) + uint32_t(tap);
}
// Bytes of the padded sample storage and of the second table a table of these
// sizes needs, in 64 bits; false when they do not fit a 32-bit buffer.
bool FpKernelStorageSize(int32_t taps, int32_t variants, int32_t levels, int32_t bytesPerSample,
                         bool secondTable, uint64_t& sampleBytes, uint64_t& secondBytes);

// The 16-bit kernel (level, variant) of a locked table, and its blend pair.
inline int16_t* FpKernelAt(const FpKernelTable& t, int32_t level, int32_t variant) {
    return static_cast<int16_t*>(t.samples) + FpSampleIndex(t, level, variant, 0);
}
inline int16_t* FpPairAt(const FpKernelTable& t, int32_t level, int32_t variant) {
    return static_cast<int16_t*>(t.second) + (int64_t(level) * t.variants + variant) * 2;
}

FpStatus FpNewKernelSetHandle(Handle& out);
// A new kernel table with the sizes and kind of like but the given taps,
// levels and second-table flag, its samples allocated and cleared; handed
// back locked. 100 when there is no memory for it.
FpStatus FpNewKernelTableLike(const FpKernelTable& like, int32_t taps, int32_t levels, bool secondTable,
                              FpKernelTable*& table);
FpStatus FpNewKernelTable(Handle& out);
FpStatus FpAllocKernelSamples(FpKernelTable* table);
FpKernelSet* FpLockKernelSet(Handle set);
Handle FpUnlockKernelSet(FpKernelSet* set);
FpKernelTable* FpLockKernelTable(Handle table);
void FpUnlockKernelTable(FpKernelTable* table);
void FpFreeKernelSet(FpKernelSet* set);
void FpFreeKernelTable(FpKernelTable* table);
void FpReleaseKernelSet(Handle set);
void FpDiscardKernelSet(Handle set);

FpStatus FpMakeGainTable(Handle set, Handle& gainBytes);
FpStatus FpGetGainTable(Handle filter, Handle& gainBytes);
FpStatus FpSetThreshold(Handle filter, uint32_t threshold);
FpStatus FpKernelTaps(Handle set, int32_t& taps);

// A kernel set locked with its tables for one scope.
class FpLockedKernelSet {
public:
    explicit FpLockedKernelSet(Handle set) : set_(set ? FpLockKernelSet(set) : nullptr) {}
    ~FpLockedKernelSet() {
        if (set_) FpUnlockKernelSet(set_);
    }
    FpLockedKernelSet(const FpLockedKernelSet&) = delete;
    FpLockedKernelSet& operator=(const FpLockedKernelSet&) = delete;
    explicit operator bool() const { return set_ != nullptr; }
    FpKernelSet* operator->() const { return set_; }
    FpKernelSet* get() const { return set_; }
    // Hands the locked set over (to be freed); the scope no longer unlocks it.
    FpKernelSet* take() {
        FpKernelSet* s = set_;
        set_ = nullptr;
        return s;
    }

private:
    FpKernelSet* set_;
};

} // namespace kestra
