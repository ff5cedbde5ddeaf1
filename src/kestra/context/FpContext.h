#pragma once
// The processor's start-up, shut-down and thread attachment, and the contexts
// it keeps in thread memory: one per process, one per attached thread.
#include "FpRecords.h"
#include "FpStatus.h"

namespace kestra {

FpStatus FpInitialize();
FpStatus FpInitializeWithOptions(const FpInitOptionsRecord* options);
FpStatus FpTerminate();
FpStatus FpAttachThread();
FpStatus FpDetachThread();

// The calling thread's context, locked, its first word pointing at the locked
// process context; null when either is missing. FpLeaveThread unlocks both.
FpThreadContext* FpEnterThread();
void FpLeaveThread();

// The process-wide shared record, null before start-up.
FpShared* FpSharedRecord();

// Enters the thread for one scope and leaves it on every path.
class FpThreadScope {
public:
    FpThreadScope() : context_(FpEnterThread()) {}
    ~FpThreadScope() {
        if (context_) FpLeaveThread();
    }
    FpThreadScope(const FpThreadScope&) = delete;
    FpThreadScope& operator=(const FpThreadScope&) = delete;
    explicit operator bool() const { return context_ != nullptr; }
    FpThreadContext* operator->() const { return context_; }
    FpThreadContext* get() const { return context_; }

private:
    FpThreadContext* context_;
};

} // namespace kestra
