#include "FpResampler.h"

#include "FpAttributeList.h"
#include "FpFilterRecord.h"
#include "FpKernels.h"
#include "FpLevelList.h"
#include "FpRescale.h"
#include "PsfConversions.h"

#include <cmath>

namespace kestra {

FpStatus FpResampleKernels(Handle list, const FpKernelSet& set, double s, int32_t k, FpKernelTable*& adjusted) {
    adjusted = nullptr;
    if (k == 0) return FpOk;
    const FpKernelTable* table = set.slots[kSlotKernels - 1].table;
    if (!table) return FpNoKernelTable;
    double before, at;
    if (FpGetDoubleById(list, kAttrLevelList + k - 1, before) != FpOk ||
        FpGetDoubleById(list, kAttrLevelList + k, at) != FpOk)
        return FpBadLevel;
    int32_t chosen;
    double r;
    if (before - s < s - at) {
        chosen = k - 1;
        r = before / s;
    } else {
        chosen = k;
        r = at / s;
    }
    if (std::fabs(r - 1) <= 0.005) return FpOk;
    FpKernelTable* made;
    if (FpNewKernelTableLike(*table, table->taps, 1, false, made) != FpOk) return FpNoMemory;
    FpPhaseTables tables{};
    FpStatus st = FpResamplerLevel(list, PsfToFixed16(1 / r), tables.resamplerLevel);
    int32_t entries = 0;
    if (st == FpOk) st = FpBuildPhaseTables(tables, set, r, table->variants * table->taps - 1, entries);
    if (st == FpOk) {
        tables.sourceLevel = chosen;
        tables.length = entries;
        st = FpRescalePolyphaseKernel(*table, *table, *made, tables);
    }
    FpFreePhaseTables(tables);
    if (st != FpOk) {
        FpFreeKernelTable(made);
        return st;
    }
    adjusted = made;
    return FpOk;
}

FpStatus FpBuildResampler(Handle filter, double s, int32_t taps, int32_t& newTaps, FpResampler& res) {
    Handle list = 0, kernels = 0;
    if (FpFilterParts(filter, nullptr, &list, &kernels) != FpHasKernels) return FpNoKernelTable;
    int32_t level;
    FpStatus st = FpResamplerLevel(list, PsfToFixed16(1 / s), level);
    if (st != FpOk) return st;
    res.set = FpLockKernelSet(kernels);
    if (!res.set) return FpNoKernelTable;
    // The stretch uses the resampler's current slot for the adjusted kernel;
    // whatever the filter kept there is put aside and given back afterwards.
    FpTableSlot& current = res.set->slot(kSlotCurrent);
    if (current.table) FpUnlockKernelTable(current.table);
    res.previousCurrent = current.handle;
    current = FpTableSlot{};
    const FpKernelTable* table = res.set->slot(kSlotKernels).table;
    if (!table || table->bytesPerSample != 2 || !table->samples) return FpNoKernelTable;
    if (level >= table->levels) return FpBadLevel;

    FpKernelTable* adjusted;
    st = FpResampleKernels(list, *res.set, s, level, adjusted);
    if (st != FpOk) return st;
    if (adjusted) {
        current.table = adjusted;
        current.handle = getHandleFromPtr(adjusted);
        level = 0;
    }
    res.tables.resamplerLevel = level;
    return FpBuildPhaseTables(res.tables, *res.set, s, taps, newTaps);
}

void FpReleaseResampler(FpResampler& res) {
    FpFreePhaseTables(res.tables);
    if (!res.set) return;
    FpTableSlot& current = res.set->slot(kSlotCurrent);
    if (current.table) FpFreeKernelTable(current.table);
    current = FpTableSlot{};
    current.handle = res.previousCurrent;
    res.previousCurrent = 0;
    // The unlock below passes over the slot whose table pointer is empty.
    FpUnlockKernelSet(res.set);
    res.set = nullptr;
}

} // namespace kestra
