// The caller's progress procedure for a strip, kept in thread memory while
// the strip runs, and the run record handed to the processor.
#include "PsfProgressRun.h"

#include "Locked.h"
#include "ORVEXCMS.h"
#include "PsfCallers.h"

namespace kestra {

namespace {

// The caller's progress procedure for the strip running in this thread.
struct PsfProgressRecord {
    PSFProgressProc proc;
    void* user;
    int32_t answer;
};

int gProgressKey;

} // namespace

int32_t PsfCallProgress(PSFProgressProc proc, int phase, int percent, void* user) {
    return proc ? proc(phase, percent, user) : 1;
}

namespace {
int32_t PsfProgressHook(int32_t percent) {
    auto* r = static_cast<PsfProgressRecord*>(VxThreadMemFind(&gProgressKey, VxScopeThread));
    if (!r) return 1;
    const PSFProgressProc proc = r->proc;
    void* user = r->user;
    VxThreadMemUnlock(&gProgressKey, VxScopeThread);
    const int32_t answer = PsfCallProgress(proc, 2, percent, user);
    if (auto* again = static_cast<PsfProgressRecord*>(VxThreadMemFind(&gProgressKey, VxScopeThread))) {
        again->answer = answer;
        VxThreadMemUnlock(&gProgressKey, VxScopeThread);
    }
    return answer == 1 ? 1 : -1;
}
} // namespace

FpProgressHook PsfPushProgress(PSFProgressProc proc, void* user) {
    if (!proc) return nullptr;
    auto* r = static_cast<PsfProgressRecord*>(VxThreadMemCreate(&gProgressKey, VxScopeThread, sizeof(PsfProgressRecord)));
    if (!r) return nullptr;
    r->proc = proc;
    r->user = user;
    r->answer = 1;
    VxThreadMemUnlock(&gProgressKey, VxScopeThread);
    return PsfProgressHook;
}

void PsfPopProgress(PSFProgressProc proc) {
    if (proc && VxThreadMemFind(&gProgressKey, VxScopeThread)) {
        VxThreadMemUnlock(&gProgressKey, VxScopeThread);
        VxThreadMemDestroy(&gProgressKey, VxScopeThread);
    }
}

int32_t PsfInitRunContext(FpProgressHook hook, uint32_t caller, FpRunRecord& run) {
    run = FpRunRecord{};
    Locked<PsfCallerRecord> record(caller);
    if (!record) return -1;
    run.evalKind = int32_t(record->evalType);
    run.hook = hook;
    return 1;
}

} // namespace kestra
