#include "FpContext.h"

#include "FpEvalKinds.h"

#include <cstring>

namespace kestra {

namespace {

// Key of the two processor contexts in thread memory (one per scope).
const char gContextKey = 0;
// Process-wide state, changed only by start-up and shut-down, which callers
// must not run at the same time.
int32_t gLiveInitialisations = 0;
FpShared* gShared = nullptr;

FpThreadContext* findThread() {
    return static_cast<FpThreadContext*>(VxThreadMemFind(&gContextKey, VxScopeThread));
}
FpProcessContext* findProcess() {
    return static_cast<FpProcessContext*>(VxThreadMemFind(&gContextKey, VxScopeProcess));
}
void unlockThread() { VxThreadMemUnlock(&gContextKey, VxScopeThread); }
void unlockProcess() { VxThreadMemUnlock(&gContextKey, VxScopeProcess); }

// A new thread context with one use, left locked.
FpThreadContext* createThread(FpProcessContext* process) {
    auto* t = static_cast<FpThreadContext*>(VxThreadMemCreate(&gContextKey, VxScopeThread, sizeof(FpThreadContext)));
    if (!t) return nullptr;
    std::memset(t, 0, sizeof *t);
    t->process = process;
    t->useCount = 1;
    return t;
}

FpShared* makeShared(const FpInitOptionsRecord* options) {
    auto* shared = static_cast<FpShared*>(allocSysBufferPtr(sizeof(FpShared)));
    if (!shared) return nullptr;
    std::memset(shared, 0, sizeof *shared);
    shared->module = VxGetModuleHandle("Kestra.dll");
    shared->moduleAgain = shared->module;
    shared->options = options ? options->options : 0;
    FpClearEvalKinds(shared->kinds);
    FpRegisterEvalKind(kSeparableKind, shared->kinds);
    return shared;
}

} // namespace

FpShared* FpSharedRecord() { return gShared; }

FpStatus FpInitialize() { return FpInitializeWithOptions(nullptr); }

FpStatus FpInitializeWithOptions(const FpInitOptionsRecord* options) {
    if (gLiveInitialisations > 0) {
        if (FpThreadContext* t = findThread()) {
            ++t->useCount;
            unlockThread();
            return FpOk;
        }
        if (FpProcessContext* p = findProcess()) {
            FpThreadContext* t = createThread(p);
            if (!t) {
                unlockProcess();
                return FpNoThreadContext;
            }
            ++p->users;
            unlockThread();
            unlockProcess();
            return FpOk;
        }
    }
    bool madeShared = false;
    if (!gShared) {
        gShared = makeShared(options);
        if (!gShared) return FpNoSharedMemory;
        madeShared = true;
    }
    auto undoShared = [&] {
        if (madeShared) {
            freeSysBufferPtr(gShared);
            gShared = nullptr;
        }
    };
    bool madeThread = false;
    FpThreadContext* t = findThread();
    if (!t) {
        t = createThread(nullptr);
        if (!t) {
            undoShared();
            return FpNoThreadContext;
        }
        madeThread = true;
    }
    auto* p = static_cast<FpProcessContext*>(
        VxThreadMemCreate(&gContextKey, VxScopeProcess, sizeof(FpProcessContext)));
    if (!p) {
        unlockThread();
        if (madeThread) VxThreadMemDestroy(&gContextKey, VxScopeThread);
        undoShared();
        return FpNoThreadContext;
    }
    std::memset(p, 0, sizeof *p);
    p->users = 1;
    VxInitializeCriticalSection(&p->lock);
    p->shared = gShared;
    t->process = p;
    unlockProcess();
    unlockThread();
    ++gLiveInitialisations;
    return FpOk;
}

FpStatus FpTerminate() {
    FpThreadContext* t = FpEnterThread();
    if (!t) return FpNoThreadContext;
    if (t->useCount > 1) {
        --t->useCount;
        FpLeaveThread();
        return FpOk;
    }
    FpProcessContext* p = t->process;
    --p->users;
    if (p->users > 0) {
        FpLeaveThread();
        VxThreadMemDestroy(&gContextKey, VxScopeThread);
        return FpOk;
    }
    if (--gLiveInitialisations <= 0) {
        gLiveInitialisations = 0;
        freeSysBufferPtr(gShared);
        gShared = nullptr;
    }
    VxDeleteCriticalSection(&p->lock);
    FpLeaveThread();
    VxThreadMemDestroy(&gContextKey, VxScopeThread);
    VxThreadMemDestroy(&gContextKey, VxScopeProcess);
    return FpOk;
}

FpStatus FpAttachThread() {
    if (FpThreadContext* t = findThread()) {
        ++t->useCount;
        unlockThread();
        return FpOk;
    }
    if (!createThread(nullptr)) return FpNoThreadContext;
    unlockThread();
    return FpOk;
}

FpStatus FpDetachThread() {
    FpThreadContext* t = findThread();
    if (!t) return FpFailed;
    const bool last = --t->useCount == 0;
    unlockThread();
    if (last) VxThreadMemDestroy(&gContextKey, VxScopeThread);
    return FpOk;
}

FpThreadContext* FpEnterThread() {
    FpThreadContext* t = findThread();
    if (!t) return nullptr;
    FpProcessContext* p = findProcess();
    if (!p) {
        unlockThread();
        return nullptr;
    }
    t->process = p;
    return t;
}

void FpLeaveThread() {
    unlockProcess();
    unlockThread();
}

} // namespace kestra
