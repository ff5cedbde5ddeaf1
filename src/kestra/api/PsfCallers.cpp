// The library's frame: callers, threads, evaluation type, information and
// status texts.
#include "PsfCallers.h"

#include "FpAttributes.h"
#include "FpContext.h"
#include "FpEvalKinds.h"
#include "Kestra.h"
#include "KestraStrings.h"
#include "Locked.h"
#include "PsfStatus.h"

#include <cstring>
#include <string>

using namespace kestra;

namespace {

const char gRegistryKey = 0;
alignas(8) VxCriticalSection gLibraryLock; // made with the first caller, deleted with the last; never entered

PsfCallerRegistry* findOrCreateRegistry(bool& created) {
    created = false;
    if (auto* r = static_cast<PsfCallerRegistry*>(VxThreadMemFind(&gRegistryKey, VxScopeProcess))) return r;
    auto* r = static_cast<PsfCallerRegistry*>(
        VxThreadMemCreate(&gRegistryKey, VxScopeProcess, sizeof(PsfCallerRegistry)));
    if (r) {
        r->liveCallers = 0;
        r->lastNumber = 0;
        created = true;
    }
    return r;
}
void unlockRegistry() { VxThreadMemUnlock(&gRegistryKey, VxScopeProcess); }

// The text of a status's id; false when the table has none.
bool loadText(int32_t index, std::string& text) {
    char buf[256];
    if (VxGetCString(KestraModule(), kStatusTextBase, index, buf, sizeof buf) != 0) return false;
    text = buf;
    return true;
}

// Index of a status's text after the prefix; 0 for a status without text.
int32_t textIndex(int32_t status) {
    switch (status) {
    case PSFFailed: return 1;
    case PSFInProgress: return 2;
    case PSFSuccess: return 3;
    default:
        // Only the error range has texts; any other number is shown as it is.
        return status >= PSFErrArgumentOutOfRange && status <= PSFErrSampleTypes ? status - 1021 : 0;
    }
}

} // namespace

namespace kestra {

int32_t PsfCheckCaller(uint32_t caller) {
    if (!caller) return PSFErrBadCaller;
    Locked<PsfCallerRecord> record(caller);
    if (!record || record->magic != kCallerMagic) return PSFErrBadCaller;
    return PSFSuccess;
}

} // namespace kestra

extern "C" {

PSFStatus PSFInitializeEx(PSFCaller* caller, const PSFInitOptions* options) {
    if (!caller) return PSFErrArgumentOutOfRange;
    *caller = 0;
    bool created;
    PsfCallerRegistry* registry = findOrCreateRegistry(created);
    if (!registry) return PSFErrNoMemory;
    const bool starting = registry->liveCallers == 0;
    if (starting) {
        FpStatus st;
        if (options) {
            const FpInitOptionsRecord record{8, options->options};
            st = FpInitializeWithOptions(&record);
        } else {
            st = FpInitialize();
        }
        if (st != FpOk) {
            unlockRegistry();
            if (created) VxThreadMemDestroy(&gRegistryKey, VxScopeProcess);
            return PSFErrProcessorComponent;
        }
        VxInitializeCriticalSection(&gLibraryLock);
    }
    const Handle h = allocBufferHandle(sizeof(PsfCallerRecord));
    Locked<PsfCallerRecord> record(h);
    if (!record) {
        if (h) freeBuffer(h);
        if (starting) {
            // Undo the start so that the next caller starts afresh.
            VxDeleteCriticalSection(&gLibraryLock);
            FpTerminate();
        }
        unlockRegistry();
        if (created) VxThreadMemDestroy(&gRegistryKey, VxScopeProcess);
        return PSFErrNoMemory;
    }
    record->magic = kCallerMagic;
    record->evalType = 0;
    ++registry->liveCallers;
    record->number = ++registry->lastNumber;
    record.release();
    unlockRegistry();
    *caller = h;
    return PSFSuccess;
}

PSFStatus PSFInitialize(PSFCaller* caller) { return PSFInitializeEx(caller, nullptr); }

PSFStatus PSFTerminate(PSFCaller caller) {
    bool created;
    PsfCallerRegistry* registry = findOrCreateRegistry(created);
    if (!registry) return PSFErrNoMemory;
    if (PsfCheckCaller(caller) != PSFSuccess) {
        unlockRegistry();
        if (created) VxThreadMemDestroy(&gRegistryKey, VxScopeProcess);
        return PSFErrBadCaller;
    }
    {
        Locked<PsfCallerRecord> record(caller);
        record->magic = 0;
    }
    freeBuffer(caller);
    if (registry->liveCallers > 0) --registry->liveCallers;
    if (registry->liveCallers > 0) {
        unlockRegistry();
        return PSFSuccess;
    }
    VxDeleteCriticalSection(&gLibraryLock);
    FpTerminate();
    unlockRegistry();
    VxThreadMemDestroy(&gRegistryKey, VxScopeProcess);
    return PSFSuccess;
}

PSFStatus PSFInitThread(PSFCaller) { return FpAttachThread() == FpOk ? PSFSuccess : PSFErrProcessorComponent; }

PSFStatus PSFTermThread(PSFCaller) { return FpDetachThread() == FpOk ? PSFSuccess : PSFErrProcessorComponent; }

PSFStatus PSFSetEvalType(PSFCaller caller, int32_t type) {
    if (PsfCheckCaller(caller) != PSFSuccess) return PSFErrBadCaller;
    int32_t count;
    FpEvalKind kinds[kEvalKindSlots];
    if (FpGetEvalKinds(count, kinds) != FpOk) return PSFErrProcessorComponent;
    if (type < 0 || type > 5) return PSFErrArgumentOutOfRange;
    switch (type) {
    case 0:
        if (count < 1) return PSFErrProcessorComponent;
        break;
    case 1:
    case 2:
        return PSFErrArgumentOutOfRange;
    case 3:
    case 4:
        if (!FpHasEvalKind(3, kinds) && !FpHasEvalKind(4, kinds)) return PSFErrArgumentOutOfRange;
        break;
    default:
        if (!FpHasEvalKind(kSeparableKind, kinds)) return PSFErrArgumentOutOfRange;
        break;
    }
    Locked<PsfCallerRecord> record(caller);
    if (!record) return PSFFailed;
    record->evalType = uint32_t(type);
    return PSFSuccess;
}

PSFStatus PSFGetInfo(PSFInfo* info, void*) {
    if (!info) return PSFErrArgumentOutOfRange;
    int32_t count;
    if (FpGetEvalKinds(count, nullptr) != FpOk) return PSFErrProcessorComponent;
    char version[256];
    int32_t limit = sizeof version;
    if (FpGetAttributeText(0, kAttrProcessorVersion, limit, version) != FpOk) return PSFErrProcessorComponent;
    info->evalKinds = count - 1;
    std::memcpy(info->apiVersion, "3.1", 4);
    std::memset(info->processorVersion, 0, sizeof info->processorVersion);
    std::memcpy(info->processorVersion, version, strnlen(version, sizeof info->processorVersion));
    return PSFSuccess;
}

PSFStatus PSFComposeFilters(void) { return PSFErrNotImplemented; }

PSFStatus PSFGetErrorText(PSFStatus status, int32_t length, char* buffer) {
    if (length < 2 || !buffer) return PSFErrArgumentOutOfRange;
    std::string text;
    if (!loadText(0, text)) text.clear();
    std::string message;
    const int32_t index = textIndex(status);
    if (index == 0 || !loadText(index, message)) message = std::to_string(status);
    text += message;
    if (text.size() <= size_t(length - 1)) {
        std::memcpy(buffer, text.c_str(), text.size() + 1);
        return PSFSuccess;
    }
    std::memcpy(buffer, text.data(), size_t(length - 1));
    buffer[length - 1] = 0;
    return PSFErrBufferSize;
}

} // extern "C"
