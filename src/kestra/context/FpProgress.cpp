#include "FpProgress.h"

#include "FpContext.h"

namespace kestra {

FpStatus FpBlendProgress(int32_t w, void* context) {
    auto* c = static_cast<FpBlendContext*>(context);
    if (!c || !c->hook) return FpOk;
    const int32_t percent = int32_t((int64_t(100 - w) * c->start + int64_t(w) * c->end) / 100);
    return c->hook(percent) == 1 ? FpOk : FpCancelled;
}

void FpSetProgressSteps(FpProgressState& s, int32_t steps, FpProgressHook hook) {
    s.steps = steps;
    s.current = 0;
    s.hook = hook;
    s.advance = 0;
}

void FpSetProgressEvery(FpProgressState& s, int32_t every, FpProgressHook hook) {
    s.reload = every;
    s.countdown = 0;
    s.everyHook = hook;
}

int32_t FpProgressTick(FpProgressState& s, int32_t p) {
    if (s.countdown >= 1 && p != 100) {
        --s.countdown;
        return 1;
    }
    const int32_t answer = FpReportProgress(p);
    s.countdown = s.reload;
    return answer;
}

int32_t FpReportProgress(int32_t p) {
    FpThreadScope thread;
    if (!thread) return FpNoThreadContext;
    FpProgressState& s = thread->progress;
    if (p != 100 && s.advance) {
        ++s.current;
        s.advance = 0;
    }
    if (!s.hook) return 1;
    const FpProgressHook hook = s.hook;
    const int32_t steps = s.steps > 0 ? s.steps : 1;
    const int32_t percent = int32_t((int64_t(p) + int64_t(s.current) * 100) / steps);
    const int32_t answer = hook(percent);
    // The hook may have run library code of its own; the state is read again.
    if (p == 100) thread->progress.advance = 1;
    return answer;
}

void FpStartProgressSteps(FpProgressState& s, int32_t steps, FpRunRecord& run) {
    FpSetProgressSteps(s, steps, run.hook);
    run.hook = FpReportProgress;
}

int32_t FpFinishProgressStep(FpProgressState& s, FpRunRecord& run) {
    FpSetProgressEvery(s, 1, run.hook);
    return FpProgressTick(s, 100);
}

} // namespace kestra
