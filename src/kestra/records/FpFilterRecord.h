#pragma once
// The processor's filter record: header, attribute list and kernel set by
// handle, and the affine geometry.
#include "FpRecords.h"
#include "FpStatus.h"

namespace kestra {

FpStatus FpNewFilter(Handle header, Handle attributes, Handle& out);
FpStatus FpFreeFilter(Handle filter);
FpStatus FpFreeKernels(Handle filter);
// 106 for a handle that is no filter, else 107 (kernels) or 108 (attributes only).
FpStatus FpFilterState(Handle filter);
FpStatus FpFilterParts(Handle filter, Handle* header, Handle* attributes, Handle* kernels);

// Each locks the record, reads or writes one field and unlocks; the readers
// answer the filter state.
FpStatus FpFilterHeaderHandle(Handle filter, Handle& header);
FpStatus FpFilterAttributes(Handle filter, Handle& attributes);
FpStatus FpSetFilterAttributes(Handle filter, Handle attributes);
FpStatus FpFilterKernels(Handle filter, Handle& kernels);
FpStatus FpSetFilterKernels(Handle filter, Handle kernels);
FpStatus FpClearFilterKernels(Handle filter);
FpStatus FpAttachKernels(Handle filter, Handle kernels);

void FpSaveGeometry(FpThreadContext* thread, Handle filter);
void FpRestoreGeometry(FpThreadContext* thread, Handle filter);

} // namespace kestra
