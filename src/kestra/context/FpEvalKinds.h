#pragma once
// The table of evaluation kinds (engines) the processor has registered.
#include "FpRecords.h"
#include "FpStatus.h"

namespace kestra {

FpStatus FpGetEvalKinds(int32_t& count, FpEvalKind* copy);
void FpClearEvalKinds(FpEvalKind* table);
FpStatus FpRegisterEvalKind(uint32_t kind, FpEvalKind* table);
FpStatus FpCountEvalKind(uint32_t kind, FpEvalKind* table);
FpStatus FpFindEvalKind(uint32_t kind, int32_t& slot, const FpEvalKind* table);
bool FpHasEvalKind(uint32_t kind, const FpEvalKind* table);
FpStatus FpChooseEvalKind(uint32_t requested, uint32_t& kind, const FpEvalKind* table, int32_t taps);

} // namespace kestra
