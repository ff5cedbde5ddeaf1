#include "FpEvalKinds.h"

#include "FpContext.h"

#include <cstring>

namespace kestra {

FpStatus FpGetEvalKinds(int32_t& count, FpEvalKind* copy) {
    count = 0;
    const FpShared* shared = FpSharedRecord();
    if (!shared) return FpFailed;
    for (const FpEvalKind& k : shared->kinds)
        if (k.kind) ++count;
    if (copy) std::memcpy(copy, shared->kinds, sizeof shared->kinds);
    return FpOk;
}

void FpClearEvalKinds(FpEvalKind* table) { std::memset(table, 0, sizeof(FpEvalKind) * kEvalKindSlots); }

FpStatus FpFindEvalKind(uint32_t kind, int32_t& slot, const FpEvalKind* table) {
    slot = -1;
    if (kind == 0) return FpEvalKindTable;
    for (int i = 0; i < kEvalKindSlots; ++i)
        if (table[i].kind == kind) {
            slot = i;
            return FpOk;
        }
    return FpEvalKindTable;
}

bool FpHasEvalKind(uint32_t kind, const FpEvalKind* table) {
    int32_t slot;
    return FpFindEvalKind(kind, slot, table) == FpOk;
}

FpStatus FpCountEvalKind(uint32_t kind, FpEvalKind* table) {
    int32_t slot;
    if (FpFindEvalKind(kind, slot, table) != FpOk) return FpEvalKindTable;
    ++table[slot].users;
    return FpOk;
}

FpStatus FpRegisterEvalKind(uint32_t kind, FpEvalKind* table) {
    if (kind == 0) return FpEvalKindTable; // 0 marks a free slot
    if (FpCountEvalKind(kind, table) == FpOk) return FpOk;
    for (int i = 0; i < kEvalKindSlots; ++i)
        if (table[i].kind == 0) {
            table[i] = FpEvalKind{kind, 1};
            return FpOk;
        }
    return FpEvalKindTable;
}

FpStatus FpChooseEvalKind(uint32_t requested, uint32_t& kind, const FpEvalKind* table, int32_t taps) {
    kind = (requested == 0 || requested == 4) ? 3 : requested;
    if (kind == kSeparableKind) return FpOk;
    // Only the separable engine serves kernels beyond 16 taps.
    if (!FpHasEvalKind(3, table) || taps > 16) kind = kSeparableKind;
    return FpOk;
}

} // namespace kestra
