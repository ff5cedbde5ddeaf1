// Preparing a sharpening filter (level, gain table, threshold), the strip
// bracket, the rectangles a strip needs and sharpening a strip, with the
// caller's progress procedure.
#include "FpAttributeList.h"
#include "FpContext.h"
#include "FpFilterRecord.h"
#include "FpKernelLevels.h"
#include "FpKernels.h"
#include "FpPictures.h"
#include "FpSharpenStrip.h"
#include "FpSourceRectangles.h"
#include "Kestra.h"
#include "Locked.h"
#include "PsfCallers.h"
#include "PsfFilterRecord.h"
#include "PsfProgressRun.h"
#include "PsfStatus.h"

#include <algorithm>

using namespace kestra;

namespace {

int32_t firstType(const PSFPicture* p) { return p->planes[0].sampleType; }

} // namespace

extern "C" {

PSFStatus PSFSharpenSetupT(PSFFilter filter, double level, uint16_t useTable, const uint8_t* table,
                           int32_t threshold) {
    if (!table) return PSFErrArgumentOutOfRange;
    return PsfWithFilter(filter, [&](PsfFilterRecord& record) -> int32_t {
        if (record.kind != PsfKindSharpening && record.kind != PsfKindThird) return PSFErrNoSharpeningFilter;
        const Handle fp = record.filter;
        int32_t index;
        FpStatus st = FpSetLevel(fp, level, 0, index);
        if (st != FpOk) return PsfMapStatus(st);
        record.levelIndex = index;
        int32_t variants;
        st = PsfGetLongAttribute(fp, PSFAttrVariants, variants);
        if (st != FpOk) return PsfMapStatus(st);
        if (variants < 1) return PSFErrFilterUnusable;
        if (useTable) {
            record.gainIndex = -1;
            Handle gain;
            st = FpGetGainTable(fp, gain);
            if (st != FpOk) return PsfMapStatus(st);
            Locked<uint8_t> bytes(gain);
            if (!bytes) return PSFErrNoMemory;
            for (int i = 0; i < 256; ++i) bytes.get()[i] = uint8_t((int64_t(table[i]) * (variants - 1)) / 255);
        } else {
            record.gainIndex = std::min<int32_t>(table[0], variants - 1);
        }
        st = FpSetThreshold(fp, uint32_t(threshold));
        if (st != FpOk) return PsfMapStatus(st);
        PsfMarkSetUp(&record);
        return PSFSuccess;
    });
}

PSFStatus PSFSharpenSetup(PSFFilter filter, double level, uint16_t useTable, const uint8_t* table) {
    return PSFSharpenSetupT(filter, level, useTable, table, 0);
}

PSFStatus PSFStripBegin(PSFFilter filter, const PSFRect* strip) {
    return PsfWithFilter(filter, [&](PsfFilterRecord& record) -> int32_t {
        if (!PsfTestFlag(&record, PsfFlagSetUp)) return PSFErrNotSetUp;
        if (!strip) return PSFErrArgumentOutOfRange;
        PsfSetFlag(&record, PsfFlagInStrip);
        record.strip = *strip;
        record.linesDone = 0;
        return PSFSuccess;
    });
}

PSFStatus PSFStripEnd(PSFFilter filter) {
    return PsfWithFilter(filter, [&](PsfFilterRecord& record) -> int32_t {
        if (!PsfTestFlag(&record, PsfFlagSetUp)) return PSFErrNotSetUp;
        PsfClearFlag(&record, PsfFlagInStrip);
        record.stripEnded = 1;
        return PSFSuccess;
    });
}

PSFStatus PSFRectangles(PSFFilter filter, PSFRect* source, PSFRect* second, PSFRect* aux, PSFRect* destination,
                        uint16_t* flag, uint16_t mode, uint16_t option) {
    PsfFilterRecord* record;
    const int32_t open = PsfOpenFilter(filter, record);
    if (open != PSFSuccess) return open;
    auto done = [&](int32_t status) {
        PsfUnlockFilterRecord(filter);
        return status;
    };
    if (!source || !second || !destination || !flag) return done(PSFErrArgumentOutOfRange);
    if (!PsfTestFlag(record, PsfFlagSetUp)) return done(PSFErrNotSetUp);
    FpRectRequest q{};
    q.source = source;
    q.second = second;
    q.aux = aux;
    q.destination = *destination;
    q.mode = mode;
    q.option = option;
    q.gain1 = q.gain2 = record->gainIndex;
    q.filterClass = record->kind == PsfKindResampling ? FpClassResampling : FpClassSharpening;
    q.one = 1.0;
    q.filter = record->filter;
    if (mode != 0) {
        if (!PsfTestFlag(record, PsfFlagInStrip)) return done(PSFErrNotSetUp);
        int32_t taps = 0;
        const FpStatus st = PsfGetLongAttribute(record->filter, PSFAttrTaps, taps);
        if (st != FpOk) return done(PsfMapStatus(st));
        q.margin = taps / 2;
        q.effectiveMode = (record->resampleX && record->resampleY) ? 4 : mode;
        q.bounds = record->strip;
    } else {
        q.bounds = *source;
    }
    const FpStatus st = FpRectangles(q);
    PsfUnlockFilterRecord(filter);
    if (st != FpOk) return PsfMapStatus(st);
    // Asked the other way round, the destination a source gives comes back.
    if (option) *destination = q.destination;
    *flag = aux ? 1 : 0;
    if (aux) {
        if (aux->x0 == aux->x1 && aux->y0 == aux->y1) *aux = *source;
        *aux = PSFRect{0, 0, aux->x1 - aux->x0, aux->y1 - aux->y0};
    }
    return PSFSuccess;
}

PSFStatus PSFSharpen(PSFFilter filter, const PSFPicture* source, const PSFPicture* second, PSFPicture* aux,
                     PSFPicture* destination, PSFProgressProc progress, void* user) {
    // A missing picture is the engine's to report: its sample type cannot
    // be compared.
    if (source && destination) {
        const int32_t type = firstType(source);
        if (firstType(destination) != type || (aux && firstType(aux) != type) || (second && firstType(second) != type))
            return PSFErrSampleTypes;
    }
    return PsfRunPass(filter, progress, user, [&](PsfFilterRecord& record, FpRunRecord& run) {
        return PsfMapStatus(FpSharpen(record.filter, record.levelIndex, record.gainIndex, record.levelIndex,
                                      record.gainIndex, source, second ? second : source, aux, destination, run));
    });
}

} // extern "C"
