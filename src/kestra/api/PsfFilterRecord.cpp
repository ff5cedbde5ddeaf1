#include "PsfFilterRecord.h"

#include "FpAttributeList.h"
#include "FpAttributes.h"
#include "FpFilterRecord.h"
#include "PsfCallers.h"
#include "PsfConversions.h"
#include "PsfStatus.h"

#include <cstring>
#include <string>

namespace kestra {

int32_t PsfNewFilterRecord(uint32_t caller, Handle& handle, PsfFilterRecord*& record) {
    handle = 0;
    record = nullptr;
    if (PsfCheckCaller(caller) != PSFSuccess) return PSFErrBadCaller;
    handle = allocBufferHandle(sizeof(PsfFilterRecord));
    if (!handle) return PSFErrNoMemory;
    record = PsfLockFilterRecord(handle);
    if (!record) {
        freeBuffer(handle);
        handle = 0;
        return PSFErrNoMemory;
    }
    std::memset(record, 0, sizeof *record);
    record->magic = kFilterRecordMagic;
    record->caller = caller;
    return PSFSuccess;
}

PsfFilterRecord* PsfLockFilterRecord(Handle handle) {
    return handle ? static_cast<PsfFilterRecord*>(lockBuffer(handle)) : nullptr;
}

void PsfUnlockFilterRecord(Handle handle) { unlockBuffer(handle); }

int32_t PsfOpenFilter(Handle handle, PsfFilterRecord*& record) {
    record = PsfLockFilterRecord(handle);
    if (!record) return PSFErrFilterUnusable;
    if (record->magic != kFilterRecordMagic) {
        PsfUnlockFilterRecord(handle);
        record = nullptr;
        return PSFErrFilterUnusable;
    }
    const int32_t callerOk = PsfCheckCaller(record->caller);
    if (callerOk != PSFSuccess) {
        PsfUnlockFilterRecord(handle);
        record = nullptr;
        return callerOk;
    }
    return PSFSuccess;
}

int32_t PsfSetFilterKind(PsfFilterRecord* record) {
    Handle list = 0;
    FpFilterAttributes(record->filter, list);
    int32_t kind;
    if (FpGetLongById(list, PSFAttrKind, kind) != FpOk) return PSFSuccess; // no kind: stays a resampler
    switch (kind) {
    case 0: record->kind = PsfKindSharpening; break;
    case 1: record->kind = PsfKindResampling; break;
    case 2: record->kind = PsfKindThird; break;
    default: record->kind = PsfKindUnusable; break;
    }
    return PSFSuccess;
}

bool PsfTestFlag(const PsfFilterRecord* record, uint32_t flag) { return (record->flags & flag) != 0; }
void PsfSetFlag(PsfFilterRecord* record, uint32_t flag) { record->flags |= flag; }
void PsfClearFlag(PsfFilterRecord* record, uint32_t flag) { record->flags &= ~flag; }
void PsfMarkSetUp(PsfFilterRecord* record) { record->flags = PsfFlagSetUp; }

int32_t PsfAttributeType(int32_t id) {
    switch (id) {
    case 2: case 16: case 30000: case 30002: case 30003: case 30004: case 30005: case 30006: case 30007: case 30011:
        return PSFAttrTypeInteger;
    case 30001: case 30009: case 30012:
        return PSFAttrTypeDouble;
    default:
        if (id >= 30257 && id <= 30320) return PSFAttrTypeDouble;
        // 15, 17, 16401, 30008, 30010, and ids without a type of their own,
        // which are read back as the text they were stored as.
        return PSFAttrTypeString;
    }
}

int32_t PsfGetLongAttribute(Handle filter, int32_t id, int32_t& value) {
    char text[256];
    int32_t limit = sizeof text;
    const FpStatus st = FpGetAttributeText(filter, id, limit, text);
    if (st == FpOk) value = PsfTextToLong(text);
    return st;
}

int32_t PsfGetDoubleAttribute(Handle filter, int32_t id, double& value) {
    char text[256];
    int32_t limit = sizeof text;
    const FpStatus st = FpGetAttributeText(filter, id, limit, text);
    if (st == FpOk) value = PsfTextToDouble(text);
    return st;
}

int32_t PsfSetLongAttribute(Handle filter, int32_t id, int32_t value) {
    return FpSetAttributeText(filter, id, PsfLongToText(value).c_str());
}

int32_t PsfSetDoubleAttribute(Handle filter, int32_t id, double value) {
    return FpSetAttributeText(filter, id, PsfDoubleToText(value).c_str());
}

} // namespace kestra

using namespace kestra;

extern "C" {

PSFStatus PSFFreeFilter(PSFFilter filter) {
    PsfFilterRecord* record = PsfLockFilterRecord(filter);
    if (!record) return PSFErrFilterUnusable;
    if (record->magic != kFilterRecordMagic) {
        PsfUnlockFilterRecord(filter);
        return PSFErrFilterUnusable;
    }
    FpFreeFilter(record->filter);
    record->magic = 0;
    PsfUnlockFilterRecord(filter);
    freeBuffer(filter);
    return PSFSuccess;
}

PSFStatus PSFGetCallerIdFromFilter(PSFFilter filter, PSFCaller* caller) {
    PsfFilterRecord* record;
    const int32_t open = PsfOpenFilter(filter, record);
    if (open != PSFSuccess) return open;
    if (caller) *caller = record->caller;
    PsfUnlockFilterRecord(filter);
    return caller ? PSFSuccess : PSFErrArgumentOutOfRange;
}

PSFStatus PSFGetFilterAttribute(PSFFilter filter, int32_t id, PSFAttributeValue* value) {
    PsfFilterRecord* record;
    const int32_t open = PsfOpenFilter(filter, record);
    if (open != PSFSuccess) return open;
    const Handle fp = record->filter;
    PsfUnlockFilterRecord(filter);
    if (!value) return PSFErrArgumentOutOfRange;

    value->type = PsfAttributeType(id);
    char text[sizeof value->value.text];
    int32_t limit = sizeof text;
    const FpStatus st = FpGetAttributeText(fp, id, limit, text);
    if (st == FpOk || st == FpTextCut) {
        switch (value->type) {
        case PSFAttrTypeInteger: value->value.integer = PsfTextToLong(text); break;
        case PSFAttrTypeDouble: value->value.real = PsfTextToDouble(text); break;
        default: std::memcpy(value->value.text, text, std::strlen(text) + 1); break;
        }
    }
    const int32_t mapped = PsfMapStatus(st);
    return mapped == PSFErrBadAttribute ? PSFErrAttributeNotFound : mapped;
}

PSFStatus PSFSetFilterAttribute(PSFFilter filter, int32_t id, const PSFAttributeValue* value) {
    PsfFilterRecord* record;
    const int32_t open = PsfOpenFilter(filter, record);
    if (open != PSFSuccess) return open;
    const Handle fp = record->filter;
    PsfUnlockFilterRecord(filter);
    if (!value) return PSFErrArgumentOutOfRange;
    std::string text;
    switch (value->type) {
    case PSFAttrTypeInteger: text = PsfLongToText(value->value.integer); break;
    case PSFAttrTypeDouble: text = PsfDoubleToText(value->value.real); break;
    case PSFAttrTypeString: text = value->value.text; break; // a caller may pass a longer text in a larger record
    default: return PSFErrArgumentOutOfRange;
    }
    return PsfMapStatus(FpSetAttributeText(fp, id, text.c_str()));
}

} // extern "C"
