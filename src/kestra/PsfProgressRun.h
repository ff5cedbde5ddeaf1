#pragma once
// The caller's progress procedure for the strip running in this thread, and
// the run record handed to the processor; shared by sharpening and scaling.
#include "FpProgress.h"
#include "Kestra.h"
#include "PsfFilterRecord.h"

namespace kestra {

int32_t PsfCallProgress(PSFProgressProc proc, int phase, int percent, void* user);
FpProgressHook PsfPushProgress(PSFProgressProc proc, void* user);
void PsfPopProgress(PSFProgressProc proc);
int32_t PsfInitRunContext(FpProgressHook hook, uint32_t caller, FpRunRecord& run);

// One pass of a set-up filter: the filter's record stays locked for the pass,
// the caller hears of its start (and may stop it there) and of its end, and
// `pass(record, run)` runs with the caller's progress in place and answers
// with a Kestra status.
template <typename Pass>
int32_t PsfRunPass(PSFFilter filter, PSFProgressProc progress, void* user, Pass pass) {
    PsfFilterRecord* record;
    const int32_t open = PsfOpenFilter(filter, record);
    if (open != PSFSuccess) return open;
    if (!PsfTestFlag(record, PsfFlagSetUp)) {
        PsfUnlockFilterRecord(filter);
        return PSFErrNotSetUp;
    }
    const int32_t start = PsfCallProgress(progress, 1, 0, user);
    if (start != 1) {
        PsfUnlockFilterRecord(filter);
        return start;
    }
    const FpProgressHook hook = PsfPushProgress(progress, user);
    FpRunRecord run;
    const int32_t st = PsfInitRunContext(hook, record->caller, run) != 1 ? int32_t(PSFFailed) : pass(*record, run);
    PsfUnlockFilterRecord(filter);
    PsfCallProgress(progress, 3, 100, user);
    PsfPopProgress(progress);
    return st;
}

} // namespace kestra
