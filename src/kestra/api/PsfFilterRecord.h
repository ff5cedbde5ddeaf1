#pragma once
// The handle record of a filter ('vxsf'): owner, processor filter and the
// state of the set-up and strip calls.
#include "FpRecords.h"
#include "Kestra.h"

namespace kestra {

constexpr uint32_t kFilterRecordMagic = 0x76787366; // 'vxsf'

enum PsfFlag : uint32_t { PsfFlagSetUp = 1u << 0, PsfFlagInStrip = 1u << 1 };

enum PsfKind : int32_t { PsfKindResampling = 0, PsfKindSharpening = 1, PsfKindThird = 2, PsfKindUnusable = -1 };

struct PsfFilterRecord {
    uint32_t magic;
    uint32_t caller;
    Handle filter;
    int32_t levelIndex;
    int32_t gainIndex;
    int32_t kind;
    uint32_t flags;
    PSFRect strip;
    int32_t linesDone;
    uint16_t resampleX;
    uint16_t resampleY;
    uint16_t stripEnded;
};

// A new, cleared record for the caller, left locked.
int32_t PsfNewFilterRecord(uint32_t caller, Handle& handle, PsfFilterRecord*& record);
PsfFilterRecord* PsfLockFilterRecord(Handle handle);
void PsfUnlockFilterRecord(Handle handle);
// The record locked, after the checks of its magic and its caller.
int32_t PsfOpenFilter(Handle handle, PsfFilterRecord*& record);
// The record's kind from attribute 30000 of its filter.
int32_t PsfSetFilterKind(PsfFilterRecord* record);
// Runs `body(record)` on the filter's record, opened and checked, and
// unlocks the record again whatever the body answers.
template <typename Body>
int32_t PsfWithFilter(Handle handle, Body body) {
    PsfFilterRecord* record;
    const int32_t open = PsfOpenFilter(handle, record);
    if (open != PSFSuccess) return open;
    const int32_t status = body(*record);
    PsfUnlockFilterRecord(handle);
    return status;
}
bool PsfTestFlag(const PsfFilterRecord* record, uint32_t flag);
void PsfSetFlag(PsfFilterRecord* record, uint32_t flag);
void PsfClearFlag(PsfFilterRecord* record, uint32_t flag);
void PsfMarkSetUp(PsfFilterRecord* record);
// The type an attribute id is read as.
int32_t PsfAttributeType(int32_t id);
// Attributes of a processor filter as numbers; processor statuses.
int32_t PsfGetLongAttribute(Handle filter, int32_t id, int32_t& value);
int32_t PsfGetDoubleAttribute(Handle filter, int32_t id, double& value);
int32_t PsfSetLongAttribute(Handle filter, int32_t id, int32_t value);
int32_t PsfSetDoubleAttribute(Handle filter, int32_t id, double value);

} // namespace kestra
