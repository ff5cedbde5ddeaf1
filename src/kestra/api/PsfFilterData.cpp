// Filters made from numbers, their kernels read back, and sharpening filters
// derived by a scale or a new kernel size.
#include "FpAttributeList.h"
#include "FpDerive.h"
#include "FpFilterData.h"
#include "FpFilterRecord.h"
#include "FpKernels.h"
#include "FpLevelList.h"
#include "FpPhaseTables.h"
#include "Kestra.h"
#include "PsfFilterRecord.h"
#include "PsfStatus.h"

#include <initializer_list>

using namespace kestra;

namespace {

// Levels, variants and taps a kernel table can hold: at least one of each,
// and padded storage that fits a 32-bit buffer size.
bool countsFit(int32_t levels, int32_t variants, int32_t taps, bool second) {
    uint64_t sampleBytes, secondBytes;
    return levels >= 1 && variants >= 1 && taps >= 1 &&
           FpKernelStorageSize(taps, variants, levels, 2, second, sampleBytes, secondBytes);
}

// Values that quantise to 16-bit samples; anything else (a NaN among them)
// would not survive the conversion.
bool valuesFit(const double* values, int64_t count) {
    for (int64_t i = 0; i < count; ++i) {
        const double scaled = values[i] * 512.0;
        if (!(scaled > -32768.5 && scaled < 32767.5)) return false;
    }
    return true;
}

// Gives a derived filter a handle record of the caller, with its kind.
int32_t wrapFilter(uint32_t caller, Handle fp, PSFFilter* out) {
    Handle h;
    PsfFilterRecord* record;
    const int32_t st = PsfNewFilterRecord(caller, h, record);
    if (st != PSFSuccess) return st;
    record->filter = fp;
    PsfSetFilterKind(record);
    PsfUnlockFilterRecord(h);
    *out = h;
    return PSFSuccess;
}

// Copies the level list (and the reference resolution times factor) of one
// processor filter to another.
int32_t copyLevels(Handle from, Handle to, double resolutionFactor) {
    int32_t levels = 0;
    int32_t st = PsfGetLongAttribute(from, PSFAttrLevels, levels);
    if (st != FpOk) return st;
    for (int32_t i = 0; i < levels; ++i) {
        double value;
        if (PsfGetDoubleAttribute(from, PSFAttrLevelList + i, value) != FpOk) continue;
        st = PsfSetDoubleAttribute(to, PSFAttrLevelList + i, value);
        if (st != FpOk) return st;
    }
    double resolution;
    if (PsfGetDoubleAttribute(from, PSFAttrResolution, resolution) == FpOk) {
        st = PsfSetDoubleAttribute(to, PSFAttrResolution, resolution * resolutionFactor);
        if (st != FpOk) return st;
    }
    return FpOk;
}

// Opens a filter given for derivation: a sharpening (or third-kind) filter.
int32_t openSharpening(PSFFilter filter, Handle& fp, uint32_t& caller) {
    PsfFilterRecord* record;
    const int32_t open = PsfOpenFilter(filter, record);
    if (open != PSFSuccess) return open;
    const bool ok = record->kind == PsfKindSharpening || record->kind == PsfKindThird;
    fp = record->filter;
    caller = record->caller;
    PsfUnlockFilterRecord(filter);
    return ok ? PSFSuccess : PSFErrArgumentOutOfRange;
}

// The level list, attributes and handle record of a derived filter.
int32_t finishDerived(Handle source, Handle made, uint32_t caller, double resolutionFactor, PSFFilter* out) {
    int32_t st = copyLevels(source, made, resolutionFactor);
    if (st == FpOk) {
        st = wrapFilter(caller, made, out);
        if (st != PSFSuccess) {
            FpFreeFilter(made);
            return st;
        }
        return PSFSuccess;
    }
    FpFreeFilter(made);
    return PsfMapStatus(st);
}

} // namespace

extern "C" {

PSFStatus PSFCreateFilterFromData(PSFCaller caller, int32_t kind, int32_t levels, int32_t variants, int32_t taps,
                                  const double* levelValues, const double* kernels, const double* secondTable,
                                  PSFFilter* filter) {
    if (!filter) return PSFErrArgumentOutOfRange;
    *filter = 0;
    // Counts are settled before anything is made: a count below one or a
    // table too large for a buffer would give a size that does not exist.
    if (!levelValues || !countsFit(levels, variants, taps, secondTable != nullptr)) return PSFErrArgumentOutOfRange;
    for (int32_t i = 1; i < levels; ++i)
        if (!(levelValues[i] < levelValues[i - 1])) return PSFErrArgumentOutOfRange;
    const int64_t kernelCount = int64_t(levels) * variants;
    if (kernels && !valuesFit(kernels, kernelCount * taps)) return PSFErrArgumentOutOfRange;
    if (kernels && secondTable && !valuesFit(secondTable, kernelCount * 2)) return PSFErrArgumentOutOfRange;

    Handle h;
    PsfFilterRecord* record;
    int32_t st = PsfNewFilterRecord(caller, h, record);
    if (st != PSFSuccess) return st;
    record->kind = kind;
    int32_t processorKind;
    switch (kind) {
    case PsfKindResampling: processorKind = FpKindResampling; break;
    case PsfKindSharpening: processorKind = FpKindSharpening; break;
    case PsfKindThird: processorKind = FpKindThird; break;
    default:
        PsfUnlockFilterRecord(h);
        freeBuffer(h);
        return PSFErrArgumentOutOfRange;
    }
    Handle fp;
    st = FpCreateFilterFromData(processorKind, levels, variants, taps, kernels, kernels ? secondTable : nullptr, fp);
    for (int32_t i = 0; st == FpOk && i < levels; ++i) st = PsfSetDoubleAttribute(fp, PSFAttrLevelList + i, levelValues[i]);
    if (st != FpOk) {
        if (fp) FpFreeFilter(fp);
        PsfUnlockFilterRecord(h);
        freeBuffer(h);
        return PsfMapStatus(st);
    }
    record->filter = fp;
    PsfUnlockFilterRecord(h);
    *filter = h;
    return PSFSuccess;
}

PSFStatus PSFGetFilterData(PSFFilter filter, double* kernels, double* secondTable) {
    PsfFilterRecord* record;
    const int32_t open = PsfOpenFilter(filter, record);
    if (open != PSFSuccess) return open;
    const Handle fp = record->filter;
    PsfUnlockFilterRecord(filter);
    for (int32_t id : {PSFAttrTaps, PSFAttrVariants, PSFAttrLevels, PSFAttrHasSecondTable}) {
        int32_t value;
        const int32_t st = PsfGetLongAttribute(fp, id, value);
        if (st != FpOk) return PsfMapStatus(st);
    }
    if (!kernels) return PSFErrArgumentOutOfRange;
    return PsfMapStatus(FpGetFilterData(fp, kernels, secondTable));
}

PSFStatus PSFScaleSharpeningFilter(PSFFilter sharpening, double scale, PSFFilter resampling, PSFFilter* filter) {
    if (!filter) return PSFErrArgumentOutOfRange;
    *filter = 0;
    if (!(scale > 0.001)) return PSFErrArgumentOutOfRange;
    Handle sharp, resampler;
    uint32_t caller;
    int32_t st = openSharpening(sharpening, sharp, caller);
    if (st != PSFSuccess) return st;
    PsfFilterRecord* record;
    st = PsfOpenFilter(resampling, record);
    if (st != PSFSuccess) return st;
    const bool isResampler = record->kind == PsfKindResampling;
    resampler = record->filter;
    PsfUnlockFilterRecord(resampling);
    if (!isResampler) return PSFErrArgumentOutOfRange;

    Handle made;
    st = FpScaleSharpeningFilter(sharp, scale, resampler, made);
    if (st != FpOk) return PsfMapStatus(st);
    return finishDerived(sharp, made, caller, scale, filter);
}

PSFStatus PSFResetKernelSize(PSFFilter sharpening, int32_t size, PSFFilter* filter) {
    if (!filter) return PSFErrArgumentOutOfRange;
    *filter = 0;
    if (size < 2) return PSFErrArgumentOutOfRange;
    Handle sharp;
    uint32_t caller;
    int32_t st = openSharpening(sharpening, sharp, caller);
    if (st != PSFSuccess) return st;
    Handle made;
    st = FpResetKernelSize(sharp, size, made);
    if (st != FpOk) return PsfMapStatus(st);
    return finishDerived(sharp, made, caller, 1.0, filter);
}

} // extern "C"
