#pragma once
// Filters made from numbers and their kernels read back as numbers; the
// parts every made or derived filter is built from.
#include "FpRecords.h"
#include "FpStatus.h"

namespace kestra {

// Processor kinds (attribute 30000) and the kind names of their tables.
enum FpKernelKind : int32_t { FpKindSharpening = 0, FpKindResampling = 1, FpKindThird = 2 };
const char* FpKindName(int32_t kind);

struct FpKernelInfoRecord {
    int32_t kind;
    int32_t levels;
    int32_t variants;
    int32_t taps;
    int32_t secondTable;
    Handle list;
};

FpStatus FpNewFilterHeader(Handle& header, uint32_t textLength);
// A new kernel set with an empty table of these sizes in its kernel slot,
// handed back locked.
FpStatus FpNewKernelSet(int32_t kind, int32_t levels, int32_t variants, int32_t taps, Handle header,
                        bool secondTable, FpKernelSet*& set);
// Scaled by 2^9 and rounded half away from zero; each kernel's sum is then
// corrected to its rounded real sum.
void FpQuantiseKernels(FpKernelTable& table, const double* kernels);
void FpQuantiseSecondTable(FpKernelTable& table, const double* second);
void FpKernelsToDoubles(const FpKernelTable& table, double* kernels, double* second);
FpStatus FpBuildKernelSet(int32_t kind, int32_t levels, int32_t variants, int32_t taps, const double* kernels,
                          const double* second, Handle header, Handle& set);
FpStatus FpCreateFilterFromData(int32_t kind, int32_t levels, int32_t variants, int32_t taps, const double* kernels,
                                const double* second, Handle& filter);
FpStatus FpGetFilterData(Handle filter, double* kernels, double* second);
// The sizes and kind of a filter with kernels; its kernel set is left to the
// caller to lock.
FpStatus FpKernelInfo(Handle filter, FpKernelInfoRecord& info, Handle& kernelSet);
// A new filter with stamped attributes, a header and an empty kernel set of
// these sizes (kernel set handed back locked, not yet attached).
FpStatus FpNewDerivedFilter(int32_t kind, int32_t levels, int32_t variants, int32_t taps, bool secondTable,
                            Handle& filter, FpKernelSet*& set);

} // namespace kestra
