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
    bool started = false;
    const int32_t st = PsfWithFilter(filter, [&](PsfFilterRecord& record) -> int32_t {
        if (!PsfTestFlag(&record, PsfFlagSetUp)) return PSFErrNotSetUp;
        const int32_t start = PsfCallProgress(progress, 1, 0, user);
        if (start != 1) return start;
        started = true;
        const FpProgressHook hook = PsfPushProgress(progress, user);
        FpRunRecord run;
        return PsfInitRunContext(hook, record.caller, run) != 1 ? int32_t(PSFFailed) : pass(record, run);
    });
    if (started) {
        PsfCallProgress(progress, 3, 100, user);
        PsfPopProgress(progress);
    }
    return st;
}

} // namespace kestra
